#pragma once

#include "BlockFetcher.h"
#include "SourceReader.h"

#include <memory>
#include <string>

// A table read by one SELECT to its end, for a server that streams its
// results and keeps no snapshot of them: its rows are counted before and,
// when fewer arrived, after the read.
class WholeTableReader : public SourceReader {
public:
    WholeTableReader(DataConnection& connection, const std::string& table, bool sourceIsMySQL, TargetSide target,
                     size_t blockRows);

    RowBlock* next() override;

private:
    ExpectedRows expected_;
    OdbcHandle statement_;
    std::unique_ptr<BlockFetcher> fetcher_;
};
