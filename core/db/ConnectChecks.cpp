#include "ConnectChecks.h"

#include "DataConnection.h"

std::optional<DbError> TryConnect(DatabaseSide side, DataConnection& connection, const ConnectionProfile& profile)
{
    try {
        connection.open(side == DatabaseSide::MySQL ? MySQLConnectionString(profile) : DB2ConnectionString(profile));
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
