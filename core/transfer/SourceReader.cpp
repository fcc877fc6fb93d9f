#include "SourceReader.h"

#include "KeysetReader.h"
#include "MySQLSqlDialect.h"
#include "PositionReader.h"
#include "SqlIdentifiers.h"
#include "StreamingReader.h"
#include "Transfer.h"
#include "WholeTableReader.h"

#include <utility>

std::vector<Field> SourceReader::columns() const
{
    std::vector<Field> fields;
    fields.reserve(plans_.size());
    for (const auto& plan : plans_)
        fields.push_back(plan.field);
    return fields;
}

ExpectedRows::ExpectedRows(Count count, bool inSnapshot)
        : count_(std::move(count)), inSnapshot_(inSnapshot), atStart_(count_())
{
}

void ExpectedRows::checkAtEnd()
{
    const std::string got = "The result ended after " + CountsText(arrived_) + ", but the source ";
    if (inSnapshot_) {
        if (arrived_ < atStart_)
            throw RowsMissing(got + "holds " + CountsText(atStart_)
                              + " in the snapshot it was read from: the other rows did not arrive.");
        return;
    }
    if (arrived_ >= atStart_)
        return;
    const long long atEnd = count_();
    if (arrived_ < atEnd)
        throw RowsMissing(got + "held " + CountsText(atStart_) + " when the read began and " + CountsText(atEnd)
                          + " when it ended: more rows were lost on the way than writers meanwhile can explain.");
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
    return std::make_unique<WholeTableReader>(db2, table, false, TargetSide::MySQL, blockRows);
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
