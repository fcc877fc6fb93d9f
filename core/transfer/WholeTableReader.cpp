#include "WholeTableReader.h"

#include "ParameterStatement.h"

WholeTableReader::WholeTableReader(DataConnection& connection, const std::string& sql, bool sourceIsMySQL,
                                   TargetSide target, size_t blockRows)
        : statement_(connection.newStatement())
{
    selectSql_ = sql;
    const bool wideText
        = DialectOf(sourceIsMySQL ? DatabaseSide::MySQL : DatabaseSide::DB2).textTravelsWideOn(connection);
    ExecuteDirect(statement_.get(), sql);
    plans_ = PlanColumns(DescribeResultColumns(statement_.get()), sourceIsMySQL, target, wideText);
    fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows);
    fetcher_->attach(statement_.get());
}

RowBlock* WholeTableReader::next()
{
    if (!statement_)
        return nullptr;
    RowBlock* block = fetcher_->next();
    if (!block)
        statement_.reset();
    return block;
}
