#include "SourceReader.h"

#include "ColumnKind.h"
#include "DataRecordset.h"
#include "SqlIdentifiers.h"
#include "Utf16.h"
#include "ValueText.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <strings.h>
#include <thread>

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

void execDirect(SQLHSTMT statement, const std::string& sql)
{
    SqlWString text = toSqlW(sql);
    checkOdbc(SQLExecDirectW(statement, text.data(), static_cast<SQLINTEGER>(text.size())), SQL_HANDLE_STMT,
              statement, "SQLExecDirect");
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
            ? room : static_cast<size_t>(indicator);
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
    if (toUtf8 && plan.field.kind == ColumnKind::Xml)
        bytes.resize(DropXmlDeclaration(bytes.data(), bytes.size()));
    return bytes;
}

// Reads the result of an executed statement into one reusable block: bound
// row arrays when every column fits a fixed buffer, else row by row.
class BlockFetcher {
public:
    BlockFetcher(const std::vector<ColumnPlan>& plans, size_t wantedRows)
        : plans_(plans),
          bound_(std::all_of(plans.begin(), plans.end(), [](const ColumnPlan& p) { return p.readWidth > 0; })),
          capacity_(bound_ ? blockCapacity(plans, wantedRows) : std::max<size_t>(wantedRows, 1))
    {
        block_.allocate(plans, capacity_);
        block_.boundToStatement = bound_;
        status_.resize(capacity_);
    }

    // Binds the block to a freshly executed statement.
    void attach(SQLHSTMT statement)
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
        for (size_t c = 0; c < plans_.size(); ++c) {
            ColumnBuffer& buffer = block_.readColumn(c);
            checkOdbc(SQLBindCol(statement, static_cast<SQLUSMALLINT>(c + 1), buffer.cType, buffer.data.data(),
                                 buffer.width, buffer.lengths.data()),
                      SQL_HANDLE_STMT, statement, "SQLBindCol");
        }
    }

    // The next rows of the result, or nullptr at its end.
    RowBlock* next()
    {
        if (!bound_ && block_.capacity() == 0)
            block_.allocate(plans_, capacity_);  // the reader ahead took the last block
        block_.rows = bound_ ? fetchBound() : fetchRowByRow();
        if (block_.rows == 0)
            return nullptr;
        block_.convert();
        return &block_;
    }

private:
    size_t fetchBound()
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
                    throw DbError("01004", 0, "A value of column " + plans_[c].field.name
                                                  + " is longer than the column's declared size");
        }
        return rows;
    }

    size_t fetchRowByRow()
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

    std::vector<ColumnPlan> plans_;
    bool bound_;
    size_t capacity_;
    RowBlock block_;
    std::vector<std::optional<std::string>> waiting_;  // a row fetched for the next block
    std::vector<SQLUSMALLINT> status_;
    SQLULEN fetched_ = 0;
    SQLHSTMT statement_ = SQL_NULL_HANDLE;
};

// One SELECT read to its end.
class WholeTableReader : public SourceReader {
public:
    WholeTableReader(DataConnection& connection, const std::string& sql, bool sourceIsMySQL, TargetSide target,
                     size_t blockRows)
        : statement_(connection.newStatement())
    {
        selectSql_ = sql;
        execDirect(statement_.get(), sql);
        plans_ = PlanColumns(DescribeResultColumns(statement_.get()), sourceIsMySQL, target);
        fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows);
        fetcher_->attach(statement_.get());
    }

    RowBlock* next() override
    {
        if (!statement_)
            return nullptr;
        RowBlock* block = fetcher_->next();
        if (!block)
            statement_.reset();
        return block;
    }

private:
    OdbcHandle statement_;
    std::unique_ptr<BlockFetcher> fetcher_;
};

// A statement with text parameters: values in parameters read the same
// whatever the server's sql_mode makes of quotes and backslashes in literals.
class ParameterStatement {
public:
    explicit ParameterStatement(DataConnection& connection) : statement_(connection.newStatement()) {}

    // Runs sql with one parameter per value; `binary` marks the values that are bytes.
    void execute(const std::string& sql, std::vector<std::string> values, std::vector<bool> binary = {})
    {
        SQLHSTMT statement = statement_.get();
        SQLFreeStmt(statement, SQL_CLOSE);
        SQLFreeStmt(statement, SQL_RESET_PARAMS);
        values_ = std::move(values);
        lengths_.assign(values_.size(), 0);
        for (size_t i = 0; i < values_.size(); ++i) {
            const bool bytes = i < binary.size() && binary[i];
            lengths_[i] = static_cast<SQLLEN>(values_[i].size());
            checkOdbc(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                                       bytes ? SQL_C_BINARY : SQL_C_CHAR, bytes ? SQL_VARBINARY : SQL_VARCHAR,
                                       std::max<SQLULEN>(values_[i].size(), 1), 0, values_[i].data(),
                                       lengths_[i], &lengths_[i]),
                      SQL_HANDLE_STMT, statement, "SQLBindParameter");
        }
        execDirect(statement, sql);
    }

    // The rows of a small result as texts.
    std::vector<std::vector<std::optional<std::string>>> rows()
    {
        SQLHSTMT statement = statement_.get();
        SQLSMALLINT columns = 0;
        SQLNumResultCols(statement, &columns);
        ColumnPlan text;
        text.read = ReadKind::Text;
        std::vector<std::vector<std::optional<std::string>>> rows;
        while (checkOdbc(SQLFetch(statement), SQL_HANDLE_STMT, statement, "SQLFetch", SQL_NO_DATA) != SQL_NO_DATA) {
            rows.emplace_back();
            for (SQLSMALLINT c = 1; c <= columns; ++c)
                rows.back().push_back(getCell(statement, static_cast<SQLUSMALLINT>(c), text));
        }
        return rows;
    }

    SQLHSTMT get() const { return statement_.get(); }

private:
    OdbcHandle statement_;
    std::vector<std::string> values_;
    std::vector<SQLLEN> lengths_;
};

struct KeyColumn {
    std::string name;
    bool numeric = false;  // compared unquoted, so big integers compare exactly
};

struct TableFacts {
    size_t pageBytes = kMySQLPageBytes;
    std::vector<KeyColumn> pagingKey;  // empty: no usable key
    double averageRowBytes = 0;        // the server's estimate; 0 when it has none
    bool longValues = false;           // columns stored off-page, which the estimate may leave out
    bool snapshots = false;            // InnoDB, or a view (over InnoDB tables): reads can share one snapshot
    bool isView = false;
};

// What the server knows of a table. The paging key is the primary key, else
// the first unique key whose columns are all NOT NULL and of types whose
// order and comparison agree (no ENUM, SET, floats, prefixes).
TableFacts findTableFacts(DataConnection& mysql, const std::string& table)
{
    TableFacts facts;
    ParameterStatement query(mysql);
    query.execute("SELECT ENGINE, AVG_ROW_LENGTH, TABLE_TYPE = 'VIEW' FROM information_schema.TABLES"
                  " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?", {table});
    for (const auto& row : query.rows()) {
        facts.isView = row[2] == "1";
        facts.snapshots = facts.isView || (row[0] && strcasecmp(row[0]->c_str(), "InnoDB") == 0);
        facts.averageRowBytes = row[1] ? std::atof(row[1]->c_str()) : 0;
    }
    query.execute("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()"
                  " AND TABLE_NAME = ? AND CHARACTER_OCTET_LENGTH > 32768", {table});
    for (const auto& row : query.rows())
        facts.longValues = row[0] && *row[0] != "0";
    query.execute(
        "SELECT s.INDEX_NAME, s.COLUMN_NAME, c.DATA_TYPE, c.IS_NULLABLE, s.SUB_PART "
        "FROM information_schema.STATISTICS s JOIN information_schema.COLUMNS c "
        "ON c.TABLE_SCHEMA = s.TABLE_SCHEMA AND c.TABLE_NAME = s.TABLE_NAME AND c.COLUMN_NAME = s.COLUMN_NAME "
        "WHERE s.TABLE_SCHEMA = DATABASE() AND s.TABLE_NAME = ? "
        "AND s.NON_UNIQUE = 0 ORDER BY s.INDEX_NAME <> 'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX", {table});
    static const std::vector<std::string> numericTypes{"tinyint", "smallint", "mediumint", "int", "bigint", "decimal"};
    static const std::vector<std::string> otherTypes{"char", "varchar", "binary", "varbinary", "date", "datetime",
                                                     "timestamp", "time"};
    std::string index;
    std::vector<KeyColumn> key;
    bool usable = false;
    for (const auto& row : query.rows()) {
        const std::string name = NullToDefault(row[0], "");
        if (name != index) {
            if (usable && !key.empty())
                break;
            index = name;
            key.clear();
            usable = true;
        }
        const std::string type = NullToDefault(row[2], "");
        const bool numeric = std::find(numericTypes.begin(), numericTypes.end(), type) != numericTypes.end();
        const bool other = std::find(otherTypes.begin(), otherTypes.end(), type) != otherTypes.end();
        if ((!numeric && !other) || row[3] != "NO" || row[4].has_value())
            usable = false;
        key.push_back({NullToDefault(row[1], ""), numeric});
    }
    if (usable)
        facts.pagingKey = std::move(key);
    return facts;
}

bool isNumberText(const std::string& text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

// Before anything is measured the rows may weigh more than the server guesses.
constexpr size_t kFirstPageRows = 128, kPageGrowth = 8;
constexpr double kUnknownRowBytes = 64 * 1024;

// One read-only transaction over every page of a copy, so that on InnoDB
// the table arrives as it was when the copy started.
class ReadSnapshot {
public:
    ReadSnapshot(DataConnection& connection, bool enabled) : connection_(connection), active_(enabled)
    {
        if (!active_)
            return;
        connection_.execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        connection_.execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
    }
    ~ReadSnapshot()
    {
        if (!active_)
            return;
        try {
            connection_.execute("COMMIT");
        } catch (const DbError&) {
            // A lost connection ends the transaction anyway.
        }
    }
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

private:
    DataConnection& connection_;
    bool active_;
};

// A MySQL table read one page (one statement) at a time. The rows per page
// follow the bytes the rows weigh: the server's average row length for the
// first page, the bytes of the page before for every later one.
class PagedReader : public SourceReader {
public:
    RowBlock* next() override
    {
        while (!done_) {
            if (RowBlock* block = fetcher_->next()) {
                rowsInPage_ += block->rows;
                bytesInPage_ += block->valueBytes();
                pageRead(*block);
                return block;
            }
            // Page read: a short page was the last one.
            SQLFreeStmt(statement_.get(), SQL_CLOSE);
            if (pageWasLast(rowsInPage_, pageRows_)) {
                done_ = true;
                break;
            }
            if (rowsInPage_ > 0) {
                const double rowBytes = static_cast<double>(std::max<size_t>(bytesInPage_, 1)) / rowsInPage_;
                pageRows_ = wholeBlocks(std::min(rowsWithinBudget(rowBytes), pageRows_ * kPageGrowth));
            }
            rowsInPage_ = bytesInPage_ = 0;
            readPage(pageRows_, false);
        }
        return nullptr;
    }

protected:
    PagedReader(DataConnection& mysql, const TableFacts& facts, size_t blockRows, size_t maxPageRows)
        : snapshot_(mysql, facts.snapshots), statement_(mysql), blockRows_(std::max<size_t>(blockRows, 1)),
          maxPageRows_(std::max<size_t>(maxPageRows, 1)), pageBytes_(static_cast<double>(facts.pageBytes))
    {
        if (facts.longValues)
            pageRows_ = 1;  // nothing tells what such rows weigh before one is read
        else
            pageRows_ = wholeBlocks(facts.averageRowBytes > 0 ? std::min(rowsWithinBudget(facts.averageRowBytes),
                                                                         std::max(kFirstPageRows, blockRows_))
                                                              : rowsWithinBudget(kUnknownRowBytes));
    }

    // Runs the first page's statement and prepares the blocks; derived
    // constructors call it once their own state is set.
    void start()
    {
        readPage(pageRows_, true);
        plans_ = PlanColumns(DescribeResultColumns(statement_.get()), true, TargetSide::DB2);
        describePlans();
        fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows_);
        fetcher_->attach(statement_.get());
    }

    // Executes the statement for the next `rows` rows on statement().
    virtual void readPage(size_t rows, bool first) = 0;
    // A short page is the last one.
    virtual bool pageWasLast(size_t rowsInPage, size_t pageRows) const { return rowsInPage < pageRows; }
    virtual void describePlans() {}
    virtual void pageRead(const RowBlock&) {}
    ParameterStatement& statement() { return statement_; }

private:
    size_t rowsWithinBudget(double rowBytes) const
    {
        return std::clamp<size_t>(static_cast<size_t>(pageBytes_ / std::max(rowBytes, 1.0)), 1, maxPageRows_);
    }
    // Pages of whole blocks keep the batches sent at their full size.
    size_t wholeBlocks(size_t rows) const { return rows < blockRows_ ? rows : rows - rows % blockRows_; }

    ReadSnapshot snapshot_;
    ParameterStatement statement_;
    std::unique_ptr<BlockFetcher> fetcher_;
    size_t blockRows_, maxPageRows_;
    double pageBytes_;
    size_t pageRows_ = 1;
    size_t rowsInPage_ = 0, bytesInPage_ = 0;
    bool done_ = false;
};

// A MySQL table read in key order, each page starting after the last key
// read; the key values travel as parameters.
class KeysetReader : public PagedReader {
public:
    KeysetReader(DataConnection& mysql, const std::string& table, const TableFacts& facts, size_t blockRows,
                 size_t pageRows)
        : PagedReader(mysql, facts, blockRows, pageRows), key_(facts.pagingKey)
    {
        from_ = "SELECT * FROM " + QuoteMySQLIdentifier(table);
        for (size_t i = 0; i < key_.size(); ++i)
            orderBy_ += (i ? ", " : " ORDER BY ") + QuoteMySQLIdentifier(key_[i].name);
        selectSql_ = from_ + orderBy_;
        start();
    }

private:
    void describePlans() override
    {
        for (const KeyColumn& k : key_) {
            const auto it = std::find_if(plans_.begin(), plans_.end(), [&](const ColumnPlan& p) {
                return strcasecmp(p.field.name.c_str(), k.name.c_str()) == 0;
            });
            if (it == plans_.end())
                throw DbError("42S22", 0, "Key column " + k.name + " is not in the result");
            keyIndex_.push_back(static_cast<size_t>(it - plans_.begin()));
        }
    }

    void readPage(size_t rows, bool first) override
    {
        std::string where;
        std::vector<std::string> values;
        std::vector<bool> binary;
        if (!first) {
            // A page that ends where the one before ended would be read again
            // without end: the key order cannot be trusted, so the read stops.
            if (lastKey_ == pageStartKey_)
                throw DbError("HY000", 0, "Reading " + selectSql_ + " in key order made no progress past the key "
                                              + keyText(lastKey_));
            pageStartKey_ = lastKey_;
            // (k1, k2) > (v1, v2) spelled out, so the range optimizer uses the index.
            const auto value = [&](size_t i) {
                if (key_[i].numeric)
                    return lastKey_[i];
                values.push_back(lastKey_[i]);
                binary.push_back(plans_[keyIndex_[i]].send == SendKind::Binary);
                return std::string("?");
            };
            for (size_t i = 0; i < key_.size(); ++i) {
                std::string term;
                for (size_t j = 0; j < i; ++j)
                    term += QuoteMySQLIdentifier(key_[j].name) + " = " + value(j) + " AND ";
                term += QuoteMySQLIdentifier(key_[i].name) + " > " + value(i);
                where += (i ? " OR (" : " WHERE (") + term + ")";
            }
        }
        statement().execute(from_ + where + orderBy_ + " LIMIT " + std::to_string(rows), std::move(values),
                            std::move(binary));
    }

    void pageRead(const RowBlock& block) override
    {
        const size_t row = block.rows - 1;
        lastKey_.clear();
        for (size_t i = 0; i < key_.size(); ++i) {
            const auto value = block.sendText(keyIndex_[i], row);
            if (!value)
                throw DbError("22002", 0, "Key column " + key_[i].name + " read as Null");
            if (key_[i].numeric && !isNumberText(*value))
                throw DbError("22018", 0, "Key column " + key_[i].name + " read as " + *value);
            lastKey_.push_back(*value);
        }
    }

    static std::string keyText(const std::vector<std::string>& key)
    {
        std::string text;
        for (const auto& value : key)
            text += (text.empty() ? "(" : ", ") + value;
        return text + ")";
    }

    std::vector<KeyColumn> key_;
    std::vector<size_t> keyIndex_;
    std::string from_, orderBy_;
    std::vector<std::string> lastKey_, pageStartKey_;  // the last key read, and the one the current page started after
};

// A MySQL table or view without a usable key, read in pages by position
// (LIMIT ... OFFSET) inside the same consistent snapshot as a keyed table:
// plain reads that lock no row and need no copy on the server, whatever the
// login may do. Each page reads the rows before it again, so pages are as
// large as the byte budget allows. A base table is read by a table scan, so
// every page sees the rows in the same order.
class PositionReader : public PagedReader {
public:
    PositionReader(DataConnection& mysql, const std::string& table, const TableFacts& facts, size_t blockRows,
                   size_t pageRows)
        : PagedReader(mysql, facts, blockRows, pageRows)
    {
        selectSql_ = "SELECT * FROM " + QuoteMySQLIdentifier(table);
        from_ = selectSql_ + (facts.isView ? "" : " USE INDEX ()");
        note_ = table + ": no primary or unique NOT NULL key, read in pages by position (slower on large tables)";
        if (!facts.snapshots)
            note_ += "; its engine keeps no snapshot, so rows changed while it was read may be missing or repeated";
        start();
    }

private:
    void readPage(size_t rows, bool) override
    {
        statement().execute(from_ + " LIMIT " + std::to_string(rows) + " OFFSET " + std::to_string(offset_), {});
        offset_ += rows;
    }

    std::string from_;
    unsigned long long offset_ = 0;
};

// Reads the next block on a worker thread while the caller sends the current
// one, so the source and the target server work at the same time. The source
// connection belongs to the worker until the reader is gone.
class PrefetchingReader : public SourceReader {
public:
    explicit PrefetchingReader(std::unique_ptr<SourceReader> inner) : inner_(std::move(inner))
    {
        plans_ = inner_->plans();
        selectSql_ = inner_->selectSql();
        note_ = inner_->readingNote();
        worker_ = std::thread([this] { run(); });
    }

    ~PrefetchingReader() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    RowBlock* next() override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (holding_) {
            // A block that held a huge value is let go rather than kept for reuse.
            if (current_.boundToStatement)
                spare_.push_back(std::move(current_));
            current_ = RowBlock();
            holding_ = false;
        }
        changed_.wait(lock, [this] { return !ready_.empty() || done_; });
        if (!ready_.empty()) {
            current_ = std::move(ready_.front());
            ready_.pop_front();
            holding_ = true;
            changed_.notify_all();
            return &current_;
        }
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
        return nullptr;
    }

private:
    void run()
    {
        for (;;) {
            RowBlock copy;
            bool end = false;
            try {
                RowBlock* block = inner_->next();
                end = block == nullptr;
                std::unique_lock<std::mutex> lock(mutex_);
                if (!spare_.empty()) {
                    copy = std::move(spare_.front());
                    spare_.pop_front();
                }
                lock.unlock();
                if (block && block->boundToStatement)
                    copy = *block;  // reuses the spare block's buffers
                else if (block)
                    std::swap(copy, *block);  // its buffers are laid out anew for every block
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex_);
                failure_ = std::current_exception();
                end = true;
            }
            std::unique_lock<std::mutex> lock(mutex_);
            if (end) {
                done_ = true;
                changed_.notify_all();
                return;
            }
            changed_.wait(lock, [this] { return ready_.empty() || stop_; });
            if (stop_)
                return;
            ready_.push_back(std::move(copy));
            changed_.notify_all();
        }
    }

    std::unique_ptr<SourceReader> inner_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<RowBlock> ready_, spare_;
    RowBlock current_;
    bool holding_ = false, done_ = false, stop_ = false;
    std::exception_ptr failure_;
};

}  // namespace

std::unique_ptr<SourceReader> ReadAhead(std::unique_ptr<SourceReader> reader)
{
    return std::make_unique<PrefetchingReader>(std::move(reader));
}

std::vector<Field> SourceReader::columns() const
{
    std::vector<Field> fields;
    fields.reserve(plans_.size());
    for (const auto& plan : plans_)
        fields.push_back(plan.field);
    return fields;
}

std::unique_ptr<SourceReader> OpenMySQLSource(DataConnection& mysql, const std::string& table, size_t blockRows,
                                              size_t pageRows, size_t pageBytes)
{
    TableFacts facts = findTableFacts(mysql, table);
    facts.pageBytes = pageBytes;
    if (!facts.pagingKey.empty())
        return std::make_unique<KeysetReader>(mysql, table, facts, blockRows, pageRows ? pageRows : kMySQLPageRows);
    return std::make_unique<PositionReader>(mysql, table, facts, blockRows,
                                            pageRows ? pageRows : kMySQLPositionPageRows);
}

std::unique_ptr<SourceReader> OpenDB2Source(DataConnection& db2, const std::string& table, size_t blockRows)
{
    return std::make_unique<WholeTableReader>(db2, "SELECT * FROM " + QuoteDB2Identifier(table), false,
                                              TargetSide::MySQL, blockRows);
}

std::map<std::string, std::string> ReadMySQLColumnDeclarations(DataConnection& mysql, const std::string& table)
{
    // The name goes as a parameter: how a literal reads depends on the server's sql_mode.
    ParameterStatement query(mysql);
    query.execute("SELECT COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS"
                  " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = ?", {table});
    std::map<std::string, std::string> declarations;
    for (const auto& row : query.rows())
        declarations[row[0].value_or("")] = row[1].value_or("");
    return declarations;
}

long long CountRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table)
{
    auto rs = connection.execute(dialect.countRowsSql(table));
    if (!rs || rs->eof() || !rs->field(0).value)
        throw DbError("24000", 0, "SELECT COUNT(*) returned no row");
    return std::stoll(*rs->field(0).value);
}
