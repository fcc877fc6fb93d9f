#include "TableStatements.h"

#include "SqlIdentifiers.h"

std::string DropTableSql(DatabaseSide side, const std::string& table)
{
    return "DROP TABLE " + (side == DatabaseSide::MySQL ? QuoteMySQLIdentifier(table) : QuoteDB2Identifier(table));
}

std::string RenameTableSql(DatabaseSide side, const std::string& from, const std::string& to)
{
    if (side == DatabaseSide::MySQL)
        return "RENAME TABLE " + QuoteMySQLIdentifier(from) + " TO " + QuoteMySQLIdentifier(to);
    return "RENAME " + QuoteDB2Identifier(from) + " TO " + QuoteDB2Identifier(to);
}

std::string ConnectionStringFor(DatabaseSide side, const ConnectionProfile& profile)
{
    return side == DatabaseSide::MySQL ? MySQLConnectionString(profile) : DB2ConnectionString(profile);
}

bool IsNoSuchTableError(const DbError& error)
{
    for (const auto& record : error.records())
        if (record.sqlState == "42S02" || record.nativeCode == 1051 || record.nativeCode == 1146
            || record.nativeCode == -204)
            return true;
    return false;
}
