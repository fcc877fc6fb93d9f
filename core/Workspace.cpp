#include "Workspace.h"

#include "ConnectChecks.h"
#include "DataConnection.h"
#include "TableOperations.h"

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
    close(side);  // a session belongs to the login it was opened with
    (side == DatabaseSide::MySQL ? mysql_ : db2_) = std::move(profile);
}

std::optional<DbError> Workspace::testLogin(DatabaseSide side) const
{
    return side == DatabaseSide::MySQL ? TryConnectMySQL(mysql_) : TryConnectDB2(db2_);
}

std::vector<std::string> Workspace::listTables(DatabaseSide side) const { return ListTables(side, login(side)); }

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
                                TransferObserver& observer) const
{
    return RunTransfer(direction, mysql_, db2_, tables, observer, options_);
}
