#include "BlockFetcher.h"

#include "ColumnKind.h"
#include "DbError.h"
#include "Utf16.h"

#include <algorithm>

namespace {

constexpr size_t kBlockBytes = 16u << 20;  // bound on one block's buffers

// Rows per block so that the bound buffers stay within kBlockBytes.
size_t blockCapacity(const std::vector<ColumnPlan>& plans, size_t wanted)
{
    size_t rowBytes = 0;
    for (const auto& plan : plans)
        rowBytes += static_cast<size_t>(std::max<SQLLEN>(plan.readWidth, 64)) + sizeof(SQLLEN);
    return std::clamp<size_t>(kBlockBytes / std::max<size_t>(rowBytes, 1), 1, std::max<size_t>(wanted, 1));
}

// One cell read with SQLGetData: text and bytes in pieces, fixed kinds whole.
std::optional<std::string> getCell(SQLHSTMT statement, SQLUSMALLINT column, const ColumnPlan& plan)
{
    const SQLSMALLINT cType = ReadCType(plan.read);
    SQLLEN indicator = 0;
    if (!IsVariableLength(plan.read)) {
        char value[sizeof(SQL_TIMESTAMP_STRUCT) + 8];
        checkOdbc(SQLGetData(statement, column, cType, value, sizeof value, &indicator), SQL_HANDLE_STMT, statement,
                  "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        return std::string(value, static_cast<size_t>(plan.readWidth));
    }
    const size_t terminator = TerminatorBytes(plan.read);
    const bool toUtf8 = ReadsAsUtf8(plan);
    std::string bytes;
    // One unit in front for the high surrogate a UTF-16 piece may end in.
    SQLWCHAR units[32768 + 1];
    char* const chunk = reinterpret_cast<char*>(units + 1);
    const size_t chunkBytes = sizeof units - sizeof(SQLWCHAR);
    SQLWCHAR held = 0;
    for (bool first = true;; first = false) {
        const SQLRETURN rc = SQLGetData(statement, column, cType, chunk, static_cast<SQLLEN>(chunkBytes), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        checkOdbc(rc, SQL_HANDLE_STMT, statement, "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        // The first piece tells the whole length: one allocation of that size,
        // not a doubling string that briefly holds a huge value twice.
        if (first && indicator > 0)
            bytes.reserve(static_cast<size_t>(indicator) / (toUtf8 ? sizeof(SQLWCHAR) : 1));
        const size_t room = chunkBytes - terminator;
        const size_t got = (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room)
            ? room
            : static_cast<size_t>(indicator);
        if (!toUtf8) {
            bytes.append(chunk, got);
        } else {
            const SQLWCHAR* from = held ? (units[0] = held, units) : units + 1;
            size_t count = got / sizeof(SQLWCHAR) + (held ? 1 : 0);
            held = 0;
            if (rc != SQL_SUCCESS && count > 0 && from[count - 1] >= 0xD800 && from[count - 1] < 0xDC00)
                held = from[--count];
            const size_t at = bytes.size();
            bytes.resize(at + Utf8Length(from, count));
            WriteUtf8(from, count, bytes.data() + at);
        }
        if (rc == SQL_SUCCESS)
            break;
    }
    if (held) {  // a piece ended in half a pair and no other half came
        const size_t at = bytes.size();
        bytes.resize(at + Utf8Length(&held, 1));
        WriteUtf8(&held, 1, bytes.data() + at);
    }
    // (Bound text columns are tidied in the block.)
    if ((toUtf8 || (plan.read == ReadKind::Text && plan.readWidth == 0)) && plan.field.kind == ColumnKind::Xml)
        bytes.resize(DropXmlDeclaration(bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace

BlockFetcher::BlockFetcher(const std::vector<ColumnPlan>& plans, size_t wantedRows)
        : plans_(plans),
          bound_(std::all_of(plans.begin(), plans.end(), [](const ColumnPlan& p) { return p.readWidth > 0; })),
          capacity_(bound_ ? blockCapacity(plans, wantedRows) : std::max<size_t>(wantedRows, 1))
{
    block_.allocate(plans, capacity_);
    block_.boundToStatement = bound_;
    status_.resize(capacity_);
}

void BlockFetcher::attach(SQLHSTMT statement)
{
    statement_ = statement;
    if (!bound_)
        return;
    const SQLULEN rows = block_.capacity();
    checkOdbc(SQLSetStmtAttrW(statement, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
              SQL_HANDLE_STMT, statement, "SQLSetStmtAttr(ROW_BIND_TYPE)");
    checkOdbc(SQLSetStmtAttrW(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0),
              SQL_HANDLE_STMT, statement, "SQLSetStmtAttr(ROW_ARRAY_SIZE)");
    checkOdbc(SQLSetStmtAttrW(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), SQL_HANDLE_STMT, statement,
              "SQLSetStmtAttr(ROWS_FETCHED_PTR)");
    checkOdbc(SQLSetStmtAttrW(statement, SQL_ATTR_ROW_STATUS_PTR, status_.data(), 0), SQL_HANDLE_STMT, statement,
              "SQLSetStmtAttr(ROW_STATUS_PTR)");
    bindColumns();
}

void BlockFetcher::bindColumns()
{
    boundData_.assign(plans_.size(), nullptr);
    for (size_t c = 0; c < plans_.size(); ++c) {
        ColumnBuffer& buffer = block_.readColumn(c);
        checkOdbc(SQLBindCol(statement_, static_cast<SQLUSMALLINT>(c + 1), buffer.cType, buffer.data.data(),
                             buffer.width, buffer.lengths.data()),
                  SQL_HANDLE_STMT, statement_, "SQLBindCol");
        boundData_[c] = buffer.data.data();
    }
}

bool BlockFetcher::boundToBlock()
{
    for (size_t c = 0; c < plans_.size(); ++c)
        if (boundData_[c] != block_.readColumn(c).data.data())
            return false;
    return true;
}

RowBlock* BlockFetcher::next()
{
    // The reader ahead takes a block over and may hand back another one of
    // the same layout; the columns are bound to whichever block is here now.
    if (block_.capacity() != capacity_) {
        block_.allocate(plans_, capacity_);
        block_.boundToStatement = bound_;
    }
    if (bound_ && !boundToBlock())
        bindColumns();
    block_.rows = bound_ ? fetchBound() : fetchRowByRow();
    if (block_.rows == 0)
        return nullptr;
    block_.convert();
    return &block_;
}

size_t BlockFetcher::fetchBound()
{
    // MariaDB leaves the indicator of a fixed-size value alone unless it is
    // Null, so each fetch starts from "present".
    for (size_t c = 0; c < plans_.size(); ++c) {
        if (IsVariableLength(plans_[c].read))
            continue;
        ColumnBuffer& buffer = block_.readColumn(c);
        std::fill(buffer.lengths.begin(), buffer.lengths.end(), buffer.width);
    }
    fetched_ = 0;
    const SQLRETURN rc = SQLFetch(statement_);
    if (rc == SQL_NO_DATA)
        return 0;
    checkOdbc(rc, SQL_HANDLE_STMT, statement_, "SQLFetch");
    const size_t rows = fetched_;
    for (size_t c = 0; c < plans_.size(); ++c) {
        if (!IsVariableLength(plans_[c].read))
            continue;
        const ColumnBuffer& buffer = block_.readColumn(c);
        const SQLLEN room = buffer.width - static_cast<SQLLEN>(TerminatorBytes(plans_[c].read));
        for (size_t r = 0; r < rows; ++r)
            if (buffer.lengths[r] == SQL_NO_TOTAL || buffer.lengths[r] > room)
                throw DbError("01004", 0,
                              "A value of column " + plans_[c].field.name
                                  + " is longer than the column's declared size");
    }
    return rows;
}

size_t BlockFetcher::fetchRowByRow()
{
    // Long values: cells are gathered and laid out per block, each column
    // as wide as its longest cell, up to kBlockBytes. A row that would
    // widen the block past that waits for the next block, so a huge value
    // is never laid out once per row of its block.
    std::vector<std::vector<std::optional<std::string>>> cells(plans_.size());
    size_t rows = 0;
    std::vector<size_t> longest(plans_.size(), 0);
    const auto take = [&](std::vector<std::optional<std::string>>& row) {
        for (size_t c = 0; c < plans_.size(); ++c) {
            if (row[c])
                longest[c] = std::max(longest[c], row[c]->size());
            cells[c].push_back(std::move(row[c]));
        }
        ++rows;
    };
    const auto rowBytes = [&] {
        size_t bytes = 0;
        for (size_t c = 0; c < plans_.size(); ++c)
            bytes += longest[c] + sizeof(SQLLEN);
        return bytes;
    };
    if (!waiting_.empty())
        take(waiting_);
    waiting_.clear();
    while (rows < capacity_ && rows * rowBytes() < kBlockBytes) {
        const SQLRETURN rc = SQLFetch(statement_);
        if (rc == SQL_NO_DATA)
            break;
        checkOdbc(rc, SQL_HANDLE_STMT, statement_, "SQLFetch");
        std::vector<std::optional<std::string>> row;
        size_t widened = 0;
        for (size_t c = 0; c < plans_.size(); ++c) {
            row.push_back(getCell(statement_, static_cast<SQLUSMALLINT>(c + 1), plans_[c]));
            widened += std::max(longest[c], row.back() ? row.back()->size() : 0) + sizeof(SQLLEN);
        }
        if (rows > 0 && (rows + 1) * widened > kBlockBytes) {
            waiting_ = std::move(row);
            break;
        }
        take(row);
    }
    for (size_t c = 0; c < plans_.size(); ++c)
        block_.readColumn(c).pack(ReadsAsUtf8(plans_[c]) ? SQL_C_CHAR : ReadCType(plans_[c].read), cells[c]);
    return rows;
}
