#include "SourceReader.h"

#include "KeysetReader.h"
#include "MySQLSqlDialect.h"
#include "PositionReader.h"
#include "SqlIdentifiers.h"
#include "StreamingReader.h"
#include "WholeTableReader.h"

std::vector<Field> SourceReader::columns() const
{
    std::vector<Field> fields;
    fields.reserve(plans_.size());
    for (const auto& plan : plans_)
        fields.push_back(plan.field);
    return fields;
}

std::unique_ptr<SourceReader> OpenMySQLSource(DataConnection& mysql, const std::string& table, size_t blockRows,
                                              size_t pageRows, size_t pageBytes)
{
    const MySQLTableFacts facts = MySQLSqlDialect::tableFacts(mysql, table);
    if (!facts.pagingKey.empty())
        return std::make_unique<KeysetReader>(mysql, table, facts, blockRows, pageRows ? pageRows : kMySQLPageRows,
                                              pageBytes);
    std::string streamProblem;
    if (facts.snapshots && mysql.profile()) {
        try {
            return std::make_unique<StreamingReader>(mysql, table, blockRows);
        } catch (const StreamingReader::StreamUnavailable& error) {
            streamProblem = error.description();
        }
    }
    return std::make_unique<PositionReader>(mysql, table, facts, blockRows,
                                            pageRows ? pageRows : kMySQLPositionPageRows, pageBytes, streamProblem);
}

std::unique_ptr<SourceReader> OpenDB2Source(DataConnection& db2, const std::string& table, size_t blockRows)
{
    return std::make_unique<WholeTableReader>(db2, "SELECT * FROM " + QuoteDB2Identifier(table), false,
                                              TargetSide::MySQL, blockRows);
}

std::unique_ptr<SourceReader> OpenSource(DatabaseSide side, DataConnection& connection, const std::string& table,
                                         size_t blockRows)
{
    return side == DatabaseSide::MySQL ? OpenMySQLSource(connection, table, blockRows)
                                       : OpenDB2Source(connection, table, blockRows);
}

std::map<std::string, std::string> ReadMySQLColumnDeclarations(DataConnection& mysql, const std::string& table)
{
    return MySQLSqlDialect::columnDeclarations(mysql, table);
}

long long CountRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table)
{
    auto rs = connection.execute(dialect.countRowsSql(table));
    if (!rs || rs->eof() || !rs->field(0).value)
        throw DbError("24000", 0, "SELECT COUNT(*) returned no row");
    return std::stoll(*rs->field(0).value);
}
