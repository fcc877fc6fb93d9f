#include "WholeTableReader.h"

#include "ParameterStatement.h"

namespace {

const SqlDialect& dialectOf(bool sourceIsMySQL)
{
    return DialectOf(sourceIsMySQL ? DatabaseSide::MySQL : DatabaseSide::DB2);
}

}  // namespace

WholeTableReader::WholeTableReader(DataConnection& connection, const std::string& table, bool sourceIsMySQL,
                                   TargetSide target, size_t blockRows)
        : expected_(
            [&connection, &dialect = dialectOf(sourceIsMySQL), table] { return CountRows(connection, dialect, table); },
            false),
          statement_(connection.newStatement())
{
    const SqlDialect& dialect = dialectOf(sourceIsMySQL);
    selectSql_ = "SELECT * FROM " + dialect.quoteIdentifier(table);
    const bool wideText = dialect.textTravelsWideOn(connection);
    ExecuteDirect(statement_.get(), selectSql_);
    plans_ = PlanColumns(DescribeResultColumns(statement_.get()), sourceIsMySQL, target, wideText);
    fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows);
    fetcher_->attach(statement_.get());
}

RowBlock* WholeTableReader::next()
{
    if (!statement_)
        return nullptr;
    RowBlock* block = fetcher_->next();
    if (!block) {
        statement_.reset();
        expected_.checkAtEnd();
        return nullptr;
    }
    expected_.arrived(block->rows);
    return block;
}
