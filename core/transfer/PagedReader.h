#pragma once

#include "BlockFetcher.h"
#include "MySQLSqlDialect.h"
#include "ParameterStatement.h"
#include "SourceReader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One read-only transaction over every page of a copy, so that on InnoDB
// the table arrives as it was when the copy started.
class ReadSnapshot {
public:
    ReadSnapshot(DataConnection& connection, bool enabled);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    DataConnection& connection_;
    bool active_;
};

// A MySQL table read one page (one statement) at a time. The rows per page
// follow the bytes the rows weigh: the server's average row length for the
// first page, the bytes of the page before for every later one. Its rows are
// counted in its snapshot (or, without one, before and after the read) and
// must all arrive.
class PagedReader : public SourceReader {
public:
    RowBlock* next() override;

protected:
    PagedReader(DataConnection& mysql, const MySQLTableFacts& facts, size_t blockRows, size_t maxPageRows,
                size_t pageBytes);

    // Counts the rows, runs the first page's statement and prepares the
    // blocks; derived constructors call it once their own state is set.
    void start();

    // The rows the reader is to bring, counted with count().
    virtual long long countRows() = 0;
    // The number a counting statement answers with, on the reader's session.
    long long count(const std::string& sql, std::vector<std::string> values = {}, std::vector<bool> binary = {});
    // Executes the statement for the next `rows` rows on statement().
    virtual void readPage(size_t rows, bool first) = 0;
    // A short page is the last one.
    virtual bool pageWasLast(size_t rowsInPage, size_t pageRows) const { return rowsInPage < pageRows; }
    virtual void describePlans() { }
    virtual void pageRead(const RowBlock&) { }
    ParameterStatement& statement() { return statement_; }

private:
    size_t rowsWithinBudget(double rowBytes) const;
    // Pages of whole blocks keep the batches sent at their full size.
    size_t wholeBlocks(size_t rows) const { return rows < blockRows_ ? rows : rows - rows % blockRows_; }

    DataConnection& mysql_;
    const bool inSnapshot_;
    ReadSnapshot snapshot_;
    std::optional<ExpectedRows> expected_;
    ParameterStatement statement_;
    std::unique_ptr<BlockFetcher> fetcher_;
    size_t blockRows_, maxPageRows_;
    double pageBytes_;
    size_t pageRows_ = 1;
    size_t rowsInPage_ = 0, bytesInPage_ = 0;
    bool done_ = false;
};
