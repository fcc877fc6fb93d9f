#include "Workspace.h"

#include "ConnectChecks.h"
#include "DataConnection.h"
#include "ForwardingObserver.h"
#include "SelfCheck.h"
#include "SqlDialect.h"
#include "StatementCancel.h"
#include "TableOperations.h"

namespace {

// The front end's observer, with the workspace's cancel added to its own;
// it keeps the reported failures for the activity log.
class CancellableObserver : public ForwardingObserver {
public:
    CancellableObserver(TransferObserver& inner, const std::atomic<bool>& cancelled, StatementCanceller& canceller)
            : ForwardingObserver(inner), cancelled_(cancelled), canceller_(canceller)
    {
    }
    // The front end is asked even once cancelled: it may announce the stop.
    // The front end may learn of a Cancel before it reaches the statements:
    // they are stopped before the run goes on, so no stop meets the
    // statements that clean up after it.
    bool cancelRequested() override
    {
        if (!ForwardingObserver::cancelRequested() && !cancelled_)
            return false;
        canceller_.cancelRunning();
        return true;
    }
    void report(const std::string& table, TransferStep step, const std::string& description,
                const std::string& sql) override
    {
        errors.push_back(description);
        ForwardingObserver::report(table, step, description, sql);
    }

    std::vector<std::string> errors;

private:
    const std::atomic<bool>& cancelled_;
    StatementCanceller& canceller_;
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

namespace {

// Makes cancel() reach a running send or verify: the run's connections are
// made in the canceller's scope, so their statements can be stopped.
struct RunningWork {
    std::mutex& lock;
    StatementCanceller*& running;
    RunningWork(std::mutex& l, StatementCanceller*& r, std::atomic<bool>& cancelled, StatementCanceller& canceller)
            : lock(l), running(r)
    {
        const std::lock_guard guard(lock);
        cancelled = false;
        running = &canceller;
    }
    ~RunningWork()
    {
        const std::lock_guard guard(lock);
        running = nullptr;
    }
};

// A comparison after a send, told to the send's observer.
class VerifyAfterSend : public ComparisonObserver {
public:
    explicit VerifyAfterSend(TransferObserver& send) : send_(send) { }
    // The bar only: the send's row counts would tell the comparison as sending.
    void rowsDone(const std::string&, long long done, long long total) override
    {
        const int percent = total > 0 ? static_cast<int>(std::min<long long>(100, done * 100 / total)) : 100;
        if (percent != shown_)
            send_.progress(shown_ = percent);
    }
    void report(const std::string& table, const std::string& description, const std::string& sql) override
    {
        send_.report(table, TransferStep::ReadRows, description, sql);
    }
    void tableCompared(const TableComparison&) override
    {
        send_.progress(shown_ = 0);
    }
    bool cancelRequested() override { return send_.cancelRequested(); }
    void yield() override { send_.yield(); }

private:
    TransferObserver& send_;
    int shown_ = 0;
};

// Counts a comparison's failures for the activity log and adds Cancel.
class LoggedComparison : public ComparisonObserver {
public:
    LoggedComparison(ComparisonObserver& inner, const std::atomic<bool>& cancelled)
            : inner_(inner), cancelled_(cancelled)
    {
    }
    void tableStarting(const std::string& table) override { inner_.tableStarting(table); }
    void rowsDone(const std::string& table, long long done, long long total) override
    {
        inner_.rowsDone(table, done, total);
    }
    void report(const std::string& table, const std::string& description, const std::string& sql) override
    {
        errors.push_back(description);
        inner_.report(table, description, sql);
    }
    void tableCompared(const TableComparison& result) override { inner_.tableCompared(result); }
    bool cancelRequested() override { return inner_.cancelRequested() || cancelled_; }
    void yield() override { inner_.yield(); }

    std::vector<std::string> errors;

private:
    ComparisonObserver& inner_;
    const std::atomic<bool>& cancelled_;
};

std::string targetNameOf(TransferDirection direction)
{
    return DialectOf(direction == TransferDirection::MySQLToDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL)
        .displayName();
}

std::string sourceNameOf(TransferDirection direction)
{
    return DialectOf(direction == TransferDirection::MySQLToDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2)
        .displayName();
}

}  // namespace

TransferSummary Workspace::send(TransferDirection direction, const std::vector<std::string>& tables,
                                TransferObserver& observer)
{
    StatementCanceller canceller;
    const RunningWork running(sendLock_, runningSend_, sendCancelled_, canceller);
    const StatementCancelScope scope(canceller);
    CancellableObserver cancellable(observer, sendCancelled_, canceller);
    TransferSummary summary = RunTransfer(direction, mysql_, db2_, tables, cancellable, options_);
    const std::string target = targetNameOf(direction);
    std::string result;
    for (const auto& line : TransferSummaryLines(summary, target))
        result += (result.empty() ? "" : ". ") + line;
    writeToActivityLog({"send", target, tables, result, cancellable.errors});
    const std::vector<std::string> sent = summary.namesWith(TableStatus::Sent);
    if (options_.verifyAfterSending && !summary.cancelled && !sent.empty()) {
        VerifyAfterSend verifying(cancellable);
        summary.verification = compareAndLog(direction, sent, verifying);
        summary.cancelled = summary.cancelled || summary.verification->cancelled;
    }
    return summary;
}

ComparisonSummary Workspace::verify(TransferDirection direction, const std::vector<std::string>& tables,
                                    ComparisonObserver& observer)
{
    StatementCanceller canceller;
    const RunningWork running(sendLock_, runningSend_, sendCancelled_, canceller);
    const StatementCancelScope scope(canceller);
    return compareAndLog(direction, tables, observer);
}

ComparisonSummary Workspace::compareAndLog(TransferDirection direction, const std::vector<std::string>& tables,
                                           ComparisonObserver& observer)
{
    LoggedComparison logged(observer, sendCancelled_);
    ComparisonSummary summary = CompareTables(direction, mysql_, db2_, tables, logged, options_);
    std::string result;
    for (const auto& line : ComparisonSummaryLines(summary, sourceNameOf(direction), targetNameOf(direction)))
        result += (result.empty() ? "" : ". ") + line;
    writeToActivityLog({"verify", targetNameOf(direction), tables, result, logged.errors});
    return summary;
}

int Workspace::selfCheck(SelfCheckObserver& observer) { return RunSelfCheck(*this, observer); }

void Workspace::cancel()
{
    const std::lock_guard lock(sendLock_);
    if (!runningSend_)
        return;
    sendCancelled_ = true;
    runningSend_->cancelRunning();
}
