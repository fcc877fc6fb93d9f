#include "ConnectChecks.h"

#include "DataConnection.h"

namespace {

template <typename BuildText>
std::optional<DbError> tryConnect(const ConnectionProfile& profile, BuildText buildText)
{
    DataConnection connection;  // outside the catch: a missing ODBC layer is the caller's failure
    try {
        connection.open(buildText(profile));
    } catch (const DbError& error) {
        return error;
    }
    return std::nullopt;
}

}  // namespace

std::optional<DbError> TryConnectMySQL(const ConnectionProfile& profile)
{
    return tryConnect(profile, MySQLConnectionString);
}

std::optional<DbError> TryConnectDB2(const ConnectionProfile& profile)
{
    return tryConnect(profile, DB2ConnectionString);
}
