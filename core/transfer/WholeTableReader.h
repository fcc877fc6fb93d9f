#pragma once

#include "BlockFetcher.h"
#include "SourceReader.h"

#include <memory>
#include <string>

// One SELECT read to its end, for a server that streams its results.
class WholeTableReader : public SourceReader {
public:
    WholeTableReader(DataConnection& connection, const std::string& sql, bool sourceIsMySQL, TargetSide target,
                     size_t blockRows);

    RowBlock* next() override;

private:
    OdbcHandle statement_;
    std::unique_ptr<BlockFetcher> fetcher_;
};
