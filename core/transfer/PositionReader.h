#pragma once

#include "PagedReader.h"

#include <string>

// A MySQL table or view without a usable key, read in pages by position
// (LIMIT ... OFFSET) inside the same consistent snapshot as a keyed table:
// plain reads that lock no row and need no copy on the server, whatever the
// login may do. Each page reads the rows before it again, so pages are as
// large as the byte budget allows. A base table is read by a table scan, so
// every page sees the rows in the same order. `streamProblem` says why the
// table is not read in one pass, for the note.
class PositionReader : public PagedReader {
public:
    PositionReader(DataConnection& mysql, const std::string& table, const MySQLTableFacts& facts, size_t blockRows,
                   size_t pageRows, size_t pageBytes, const std::string& streamProblem = {});

private:
    long long countRows() override;
    void readPage(size_t rows, bool first) override;

    std::string table_, from_;
    unsigned long long offset_ = 0;
};
