#include "TableListing.h"

#include "DataConnection.h"
#include "DataRecordset.h"
#include "SqlDialect.h"

#include <algorithm>

namespace {

constexpr int kEstimatesLockWaitSeconds = 5;

// A staging table is a copy on its way in, or a leftover the next send
// drops: never a table of the user's.
std::vector<std::string> withoutStagingTables(std::vector<std::string> names)
{
    std::erase_if(names, [](const std::string& name) { return StagingNameTime(name).has_value(); });
    return names;
}

// Statistics only decorate the list: without them it is still complete.
// Reading them opens each table's entry in the catalogue, which waits while
// another session's DDL holds the table: a few seconds at most.
void readEstimates(const SqlDialect& dialect, DataConnection& connection, TableEstimates* estimates)
{
    if (!estimates)
        return;
    try {
        connection.execute(dialect.lockWaitSql(kEstimatesLockWaitSeconds));
        *estimates = dialect.tableEstimates(connection);
    } catch (const DbError&) {
        estimates->clear();
    }
}

}  // namespace

std::vector<std::string> ListMySQLTables(const ConnectionProfile& profile, TableEstimates* estimates)
{
    DataConnection connection;
    connection.setCursorLocation(kClientSideCursor);
    MySQLDialect().openConnection(connection, profile);
    std::vector<std::string> names = withoutStagingTables(ListMySQLTables(connection));
    readEstimates(MySQLDialect(), connection, estimates);
    return names;
}

std::vector<std::string> ListMySQLTables(DataConnection& connection)
{
    auto recordset = connection.execute("SHOW TABLES;");
    std::vector<std::string> names;
    if (!recordset)
        return names;
    for (; !recordset->eof(); recordset->moveNext())
        names.push_back(recordset->field(0).value.value_or(""));
    return names;
}

std::string CurrentDB2Schema(DataConnection& connection)
{
    auto recordset = connection.execute("VALUES CURRENT SCHEMA");
    if (!recordset || recordset->eof() || recordset->field(0).isNull())
        throw DbError("HY000", 0, "The DB2 server did not name the current schema");
    std::string schema = *recordset->field(0).value;
    while (!schema.empty() && schema.back() == ' ')
        schema.pop_back();
    return schema;
}

std::vector<std::string> ListDB2Tables(const ConnectionProfile& profile, TableEstimates* estimates)
{
    DataConnection connection;
    DB2Dialect().openSession(connection, profile);
    std::vector<std::string> names = withoutStagingTables(ListDB2Tables(connection));
    readEstimates(DB2Dialect(), connection, estimates);
    return names;
}

std::vector<std::string> ListDB2Tables(DataConnection& connection)
{
    const std::string schema = CurrentDB2Schema(connection);
    auto recordset = connection.openSchema(DataConnection::kSchemaTables, schema);
    std::vector<std::string> names;
    for (; !recordset->eof(); recordset->moveNext()) {
        const Field& type = recordset->field("TABLE_TYPE");
        const Field& owner = recordset->field("TABLE_SCHEM");
        // The schema argument is a pattern ("_" matches any letter): compare exactly.
        if (type.value == std::optional<std::string>("TABLE") && owner.value == std::optional<std::string>(schema))
            names.push_back(recordset->field("TABLE_NAME").value.value_or(""));
    }
    return names;
}
