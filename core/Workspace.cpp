#include "Workspace.h"

#include "ConnectChecks.h"
#include "DataConnection.h"
#include "ForwardingObserver.h"
#include "SqlDialect.h"
#include "StatementCancel.h"
#include "TableOperations.h"

namespace {

// The front end's observer, with the workspace's cancel added to its own;
// it keeps the reported failures for the activity log.
class CancellableObserver : public ForwardingObserver {
public:
    CancellableObserver(TransferObserver& inner, const std::atomic<bool>& cancelled)
            : ForwardingObserver(inner), cancelled_(cancelled)
    {
    }
    // The front end is asked even once cancelled: it may announce the stop.
    bool cancelRequested() override { return ForwardingObserver::cancelRequested() || cancelled_; }
    void report(TransferStep step, const std::string& description, const std::string& sql) override
    {
        errors.push_back(description);
        ForwardingObserver::report(step, description, sql);
    }

    std::vector<std::string> errors;

private:
    const std::atomic<bool>& cancelled_;
};

std::string describeFailure(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const DbError& error) {
        return "[" + error.sqlState() + "] " + error.description();
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown failure";
    }
}

}  // namespace

Workspace::Workspace() = default;

Workspace::Workspace(ConnectionProfile mysql, ConnectionProfile db2, TransferOptions options)
        : mysql_(std::move(mysql)), db2_(std::move(db2)), options_(options)
{
}

Workspace::~Workspace() = default;

const ConnectionProfile& Workspace::login(DatabaseSide side) const
{
    return side == DatabaseSide::MySQL ? mysql_ : db2_;
}

void Workspace::setLogin(DatabaseSide side, ConnectionProfile profile)
{
    ConnectionProfile& held = side == DatabaseSide::MySQL ? mysql_ : db2_;
    if (held == profile)
        return;
    close(side);  // a session belongs to the login it was opened with
    held = std::move(profile);
}

std::optional<DbError> Workspace::testLogin(DatabaseSide side) const
{
    return side == DatabaseSide::MySQL ? TryConnectMySQL(mysql_) : TryConnectDB2(db2_);
}

std::vector<std::string> Workspace::listTables(DatabaseSide side, TableEstimates* estimates) const
{
    return ListTables(side, login(side), estimates);
}

void Workspace::open(DatabaseSide side)
{
    try {
        session(side);
    } catch (...) {
        if (change_)
            change_->errors.push_back(describeFailure(std::current_exception()));
        throw;
    }
}

void Workspace::close(DatabaseSide side) { (side == DatabaseSide::MySQL ? mysqlSession_ : db2Session_).reset(); }

// The side's session, opened when it is not open yet. A failure is the
// caller's to record: a drop or rename records its own.
DataConnection& Workspace::session(DatabaseSide side)
{
    auto& held = side == DatabaseSide::MySQL ? mysqlSession_ : db2Session_;
    if (!held) {
        auto connection = std::make_unique<DataConnection>();
        OpenSide(side, *connection, login(side));
        held = std::move(connection);
    }
    return *held;
}

// Runs a drop or rename into the change under way, or into one of its own
// that is logged at once.
template <typename Step>
auto Workspace::recordedChange(TableChange change, DatabaseSide side, const std::string& table,
                               const std::string& newName, Step step)
{
    const bool ownEntry = !change_;
    if (ownEntry)
        beginTableChange(change, side, {table}, newName);
    struct EndOwnEntry {
        Workspace& workspace;
        bool own;
        ~EndOwnEntry()
        {
            if (own)
                workspace.endTableChange();
        }
    } endOwnEntry {*this, ownEntry};
    try {
        auto outcome = step();
        change_->done.push_back(table);
        return outcome;
    } catch (...) {
        change_->errors.push_back(describeFailure(std::current_exception()));
        throw;
    }
}

DropOutcome Workspace::dropTable(DatabaseSide side, const std::string& table, bool view)
{
    return recordedChange(TableChange::Delete, side, table, {},
                          [&] { return DropTable(side, session(side), table, view); });
}

void Workspace::renameTable(DatabaseSide side, const std::string& from, const std::string& to)
{
    recordedChange(TableChange::Rename, side, from, to, [&] {
        RenameTable(side, session(side), from, to);
        return true;
    });
}

void Workspace::beginTableChange(TableChange change, DatabaseSide side, std::vector<std::string> tables,
                                 std::string newName)
{
    change_ = TableChangeRecord {change, side, std::move(tables), std::move(newName), {}, {}};
}

TableChangeRecord Workspace::endTableChange()
{
    if (!change_)
        return {};  // nothing was begun, so nothing happened to log
    TableChangeRecord record = std::move(*change_);
    change_.reset();
    writeToActivityLog(EntryOf(record));
    return record;
}

void Workspace::writeToActivityLog(const ActivityEntry& entry)
{
    if (activityLog_.isEmpty())
        return;
    const std::string problem = ActivityLog(activityLog_).append(entry);
    if (!problem.empty() && logProblem_.empty())
        logProblem_ = problem;
}

std::optional<std::string> Workspace::takeActivityLogProblem()
{
    if (logProblem_.empty() || logProblemTold_)
        return std::nullopt;
    logProblemTold_ = true;
    return logProblem_;
}

TransferSummary Workspace::send(TransferDirection direction, const std::vector<std::string>& tables,
                                TransferObserver& observer)
{
    // The run's connections are made in the canceller's scope, so cancel() reaches their statements.
    StatementCanceller canceller;
    struct RunningSend {
        Workspace& workspace;
        RunningSend(Workspace& w, StatementCanceller& canceller) : workspace(w)
        {
            const std::lock_guard lock(workspace.sendLock_);
            workspace.sendCancelled_ = false;
            workspace.runningSend_ = &canceller;
        }
        ~RunningSend()
        {
            const std::lock_guard lock(workspace.sendLock_);
            workspace.runningSend_ = nullptr;
        }
    } running(*this, canceller);
    const StatementCancelScope scope(canceller);
    CancellableObserver cancellable(observer, sendCancelled_);
    TransferSummary summary = RunTransfer(direction, mysql_, db2_, tables, cancellable, options_);
    const std::string target
        = DialectOf(direction == TransferDirection::MySQLToDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL).displayName();
    std::string result;
    for (const auto& line : TransferSummaryLines(summary, target))
        result += (result.empty() ? "" : ". ") + line;
    writeToActivityLog({"send", target, tables, result, cancellable.errors});
    return summary;
}

void Workspace::cancel()
{
    const std::lock_guard lock(sendLock_);
    if (!runningSend_)
        return;
    sendCancelled_ = true;
    runningSend_->cancelRunning();
}
