#pragma once

#include "RowBlock.h"

#include <optional>
#include <string>
#include <vector>

// Reads the result of an executed statement into a reusable block: bound
// row arrays when every column fits a fixed buffer, else row by row. The
// caller may take the block over (swap it with an empty block or one of the
// same layout) between fetches.
class BlockFetcher {
public:
    BlockFetcher(const std::vector<ColumnPlan>& plans, size_t wantedRows);

    // Binds the block to a freshly executed statement.
    void attach(SQLHSTMT statement);

    // The next rows of the result, or nullptr at its end.
    RowBlock* next();

private:
    void bindColumns();
    bool boundToBlock();
    size_t fetchBound();
    size_t fetchRowByRow();

    std::vector<ColumnPlan> plans_;
    bool bound_;
    size_t capacity_;
    RowBlock block_;
    std::vector<std::optional<std::string>> waiting_;  // a row fetched for the next block
    std::vector<SQLUSMALLINT> status_;
    SQLULEN fetched_ = 0;
    SQLHSTMT statement_ = SQL_NULL_HANDLE;
    std::vector<const char*> boundData_;  // where each column is bound
};
