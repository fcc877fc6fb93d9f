#include "Workspace.h"

#include "ConnectChecks.h"
#include "DataConnection.h"
#include "ForwardingObserver.h"
#include "StatementCancel.h"
#include "TableOperations.h"

namespace {

// The front end's observer, with the workspace's cancel added to its own.
class CancellableObserver : public ForwardingObserver {
public:
    CancellableObserver(TransferObserver& inner, const std::atomic<bool>& cancelled)
            : ForwardingObserver(inner), cancelled_(cancelled)
    {
    }
    // The front end is asked even once cancelled: it may announce the stop.
    bool cancelRequested() override { return ForwardingObserver::cancelRequested() || cancelled_; }

private:
    const std::atomic<bool>& cancelled_;
};

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
    auto& held = side == DatabaseSide::MySQL ? mysqlSession_ : db2Session_;
    if (held)
        return;
    auto connection = std::make_unique<DataConnection>();
    OpenSide(side, *connection, login(side));
    held = std::move(connection);
}

void Workspace::close(DatabaseSide side) { (side == DatabaseSide::MySQL ? mysqlSession_ : db2Session_).reset(); }

DataConnection& Workspace::session(DatabaseSide side)
{
    open(side);
    return *(side == DatabaseSide::MySQL ? mysqlSession_ : db2Session_);
}

DropOutcome Workspace::dropTable(DatabaseSide side, const std::string& table)
{
    return DropTable(side, session(side), table);
}

void Workspace::renameTable(DatabaseSide side, const std::string& from, const std::string& to)
{
    RenameTable(side, session(side), from, to);
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
    return RunTransfer(direction, mysql_, db2_, tables, cancellable, options_);
}

void Workspace::cancel()
{
    const std::lock_guard lock(sendLock_);
    if (!runningSend_)
        return;
    sendCancelled_ = true;
    runningSend_->cancelRunning();
}
