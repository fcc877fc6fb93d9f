#include "ConnectChecks.h"

#include "DataConnection.h"
#include "SqlDialect.h"

std::optional<DbError> TryConnect(DatabaseSide side, DataConnection& connection, const ConnectionProfile& profile)
{
    try {
        DialectOf(side).openConnection(connection, profile);
    } catch (const DbError& error) {
        return error;
    }
    return std::nullopt;
}

std::optional<DbError> TryConnectMySQL(const ConnectionProfile& profile)
{
    DataConnection connection;  // outside the catch: a missing ODBC layer is the caller's failure
    return TryConnect(DatabaseSide::MySQL, connection, profile);
}

std::optional<DbError> TryConnectDB2(const ConnectionProfile& profile)
{
    DataConnection connection;
    return TryConnect(DatabaseSide::DB2, connection, profile);
}
