#pragma once

#include "KeyRanges.h"
#include "PagedReader.h"

#include <string>
#include <vector>

// A MySQL table read in key order, each page starting after the last key
// read; the key values travel as parameters. Given a range (and its key's
// columns), only the rows of that range.
class KeysetReader : public PagedReader {
public:
    KeysetReader(DataConnection& mysql, const std::string& table, const MySQLTableFacts& facts, size_t blockRows,
                 size_t pageRows, size_t pageBytes, const std::vector<KeyColumn>& rangeKey = {},
                 KeyRange range = {});

private:
    long long countRows() override;
    void describePlans() override;
    void readPage(size_t rows, bool first) override;
    void pageRead(const RowBlock& block) override;

    std::vector<KeyColumn> key_;
    KeyRange range_;
    std::vector<size_t> keyIndex_;
    std::string table_, from_, orderBy_;
    std::vector<std::string> lastKey_, pageStartKey_;  // the last key read, and the one the current page started after
};
