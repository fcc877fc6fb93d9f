#include "TableOperations.h"

#include "SqlDialect.h"
#include "TableListing.h"
#include "TableNames.h"

void OpenSide(DatabaseSide side, DataConnection& connection, const ConnectionProfile& profile)
{
    DialectOf(side).openSession(connection, profile);
}

std::vector<std::string> ListTables(DatabaseSide side, const ConnectionProfile& profile, TableEstimates* estimates)
{
    std::vector<std::string> names
        = side == DatabaseSide::MySQL ? ListMySQLTables(profile, estimates) : ListDB2Tables(profile, estimates);
    SortTableNames(names);
    return names;
}

DropOutcome DropTable(DatabaseSide side, DataConnection& connection, const std::string& table, bool view)
{
    return DropUserTable(connection, DialectOf(side), table, view);
}

void RenameTable(DatabaseSide side, DataConnection& connection, const std::string& from, const std::string& to)
{
    RenameUserTable(connection, DialectOf(side), from, to);
}
