#include "SourceReader.h"

#include "DataRecordset.h"
#include "SqlIdentifiers.h"
#include "Utf16.h"
#include "ValueText.h"

#include <algorithm>
#include <condition_variable>
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
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const SQLRETURN rc = SQLGetData(statement, column, cType, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        checkOdbc(rc, SQL_HANDLE_STMT, statement, "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const size_t room = sizeof chunk - terminator;
        const size_t got = (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room)
            ? room : static_cast<size_t>(indicator);
        bytes.append(chunk, got);
        if (rc == SQL_SUCCESS)
            break;
    }
    return bytes;
}

// Reads the result of an executed statement into one reusable block: bound
// row arrays when every column fits a fixed buffer, else row by row.
class BlockFetcher {
public:
    BlockFetcher(const std::vector<ColumnPlan>& plans, size_t wantedRows)
        : plans_(plans),
          bound_(std::all_of(plans.begin(), plans.end(), [](const ColumnPlan& p) { return p.readWidth > 0; }))
    {
        block_.allocate(plans, bound_ ? blockCapacity(plans, wantedRows) : std::max<size_t>(wantedRows, 1));
        status_.resize(block_.capacity());
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
        // Long values: cells are gathered and laid out per block, up to kBlockBytes.
        std::vector<std::vector<std::optional<std::string>>> cells(plans_.size());
        size_t rows = 0, rowBytes = 0;
        std::vector<size_t> longest(plans_.size(), 0);
        while (rows < block_.capacity()) {
            const SQLRETURN rc = SQLFetch(statement_);
            if (rc == SQL_NO_DATA)
                break;
            checkOdbc(rc, SQL_HANDLE_STMT, statement_, "SQLFetch");
            rowBytes = 0;
            for (size_t c = 0; c < plans_.size(); ++c) {
                cells[c].push_back(getCell(statement_, static_cast<SQLUSMALLINT>(c + 1), plans_[c]));
                if (cells[c].back())
                    longest[c] = std::max(longest[c], cells[c].back()->size());
                rowBytes += longest[c] + sizeof(SQLLEN);
            }
            ++rows;
            if (rows * rowBytes >= kBlockBytes)
                break;
        }
        for (size_t c = 0; c < plans_.size(); ++c)
            block_.readColumn(c).pack(ReadCType(plans_[c].read), cells[c]);
        return rows;
    }

    std::vector<ColumnPlan> plans_;
    bool bound_;
    RowBlock block_;
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

struct KeyColumn {
    std::string name;
    bool numeric = false;  // compared unquoted, so big integers compare exactly
};

// Primary key, else the first unique key whose columns are all NOT NULL and
// of types whose order and comparison agree (no ENUM, SET, floats, prefixes).
std::vector<KeyColumn> findPagingKey(DataConnection& mysql, const std::string& table)
{
    const std::string sql =
        "SELECT s.INDEX_NAME, s.COLUMN_NAME, c.DATA_TYPE, c.IS_NULLABLE, s.SUB_PART "
        "FROM information_schema.STATISTICS s JOIN information_schema.COLUMNS c "
        "ON c.TABLE_SCHEMA = s.TABLE_SCHEMA AND c.TABLE_NAME = s.TABLE_NAME AND c.COLUMN_NAME = s.COLUMN_NAME "
        "WHERE s.TABLE_SCHEMA = DATABASE() AND s.TABLE_NAME = " + QuoteTextLiteral(TargetSide::MySQL, table)
        + " AND s.NON_UNIQUE = 0 ORDER BY s.INDEX_NAME <> 'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX";
    static const std::vector<std::string> numericTypes{"tinyint", "smallint", "mediumint", "int", "bigint", "decimal"};
    static const std::vector<std::string> otherTypes{"char", "varchar", "binary", "varbinary", "date", "datetime",
                                                     "timestamp", "time"};
    auto rs = mysql.execute(sql);
    std::string index;
    std::vector<KeyColumn> key;
    bool usable = false;
    for (; rs && !rs->eof(); rs->moveNext()) {
        const std::string name = NullToDefault(rs->field(0).value, "");
        if (name != index) {
            if (usable && !key.empty())
                return key;
            index = name;
            key.clear();
            usable = true;
        }
        const std::string type = NullToDefault(rs->field(2).value, "");
        const bool numeric = std::find(numericTypes.begin(), numericTypes.end(), type) != numericTypes.end();
        const bool other = std::find(otherTypes.begin(), otherTypes.end(), type) != otherTypes.end();
        if ((!numeric && !other) || rs->field(3).value != "NO" || rs->field(4).value.has_value())
            usable = false;
        key.push_back({NullToDefault(rs->field(1).value, ""), numeric});
    }
    return usable ? key : std::vector<KeyColumn>{};
}

bool isNumberText(const std::string& text)
{
    return !text.empty()
        && std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

// A MySQL table read in key order, one page of rows per query.
class KeysetReader : public SourceReader {
public:
    KeysetReader(DataConnection& mysql, const std::string& table, std::vector<KeyColumn> key, size_t blockRows,
                 size_t pageRows)
        : statement_(mysql.newStatement()), key_(std::move(key)), pageRows_(std::max<size_t>(pageRows, 1))
    {
        from_ = "SELECT * FROM " + QuoteMySQLIdentifier(table);
        for (size_t i = 0; i < key_.size(); ++i)
            orderBy_ += (i ? ", " : " ORDER BY ") + QuoteMySQLIdentifier(key_[i].name);
        selectSql_ = from_ + orderBy_;
        execDirect(statement_.get(), pageSql());
        plans_ = PlanColumns(DescribeResultColumns(statement_.get()), true, TargetSide::DB2);
        for (const KeyColumn& k : key_) {
            const auto it = std::find_if(plans_.begin(), plans_.end(), [&](const ColumnPlan& p) {
                return strcasecmp(p.field.name.c_str(), k.name.c_str()) == 0;
            });
            if (it == plans_.end())
                throw DbError("42S22", 0, "Key column " + k.name + " is not in the result");
            keyIndex_.push_back(static_cast<size_t>(it - plans_.begin()));
        }
        fetcher_ = std::make_unique<BlockFetcher>(plans_, blockRows);
        fetcher_->attach(statement_.get());
    }

    RowBlock* next() override
    {
        while (!done_) {
            if (RowBlock* block = fetcher_->next()) {
                rowsInPage_ += block->rows;
                rememberLastKey(*block);
                return block;
            }
            // Page read: a short page was the last one.
            SQLFreeStmt(statement_.get(), SQL_CLOSE);
            if (rowsInPage_ < pageRows_) {
                done_ = true;
                break;
            }
            rowsInPage_ = 0;
            execDirect(statement_.get(), pageSql());
        }
        return nullptr;
    }

private:
    std::string pageSql() const
    {
        std::string where;
        if (!lastKey_.empty()) {
            // (k1, k2) > (v1, v2) spelled out, so the range optimizer uses the index.
            for (size_t i = 0; i < key_.size(); ++i) {
                std::string term;
                for (size_t j = 0; j < i; ++j)
                    term += QuoteMySQLIdentifier(key_[j].name) + " = " + lastKey_[j] + " AND ";
                term += QuoteMySQLIdentifier(key_[i].name) + " > " + lastKey_[i];
                where += (i ? " OR (" : " WHERE (") + term + ")";
            }
        }
        return from_ + where + orderBy_ + " LIMIT " + std::to_string(pageRows_);
    }

    void rememberLastKey(const RowBlock& block)
    {
        const size_t row = block.rows - 1;
        lastKey_.clear();
        for (size_t i = 0; i < key_.size(); ++i) {
            const auto value = block.sendText(keyIndex_[i], row);
            if (!value)
                throw DbError("22002", 0, "Key column " + key_[i].name + " read as Null");
            if (key_[i].numeric && !isNumberText(*value))
                throw DbError("22018", 0, "Key column " + key_[i].name + " read as " + *value);
            if (key_[i].numeric)
                lastKey_.push_back(*value);
            else if (plans_[keyIndex_[i]].send == SendKind::Binary)
                lastKey_.push_back(SqlLiteral(TargetSide::MySQL, block.rowFields(row)[keyIndex_[i]]));
            else
                lastKey_.push_back(QuoteTextLiteral(TargetSide::MySQL, *value));
        }
    }

    OdbcHandle statement_;
    std::vector<KeyColumn> key_;
    std::vector<size_t> keyIndex_;
    std::string from_, orderBy_;
    std::vector<std::string> lastKey_;
    std::unique_ptr<BlockFetcher> fetcher_;
    size_t pageRows_;
    size_t rowsInPage_ = 0;
    bool done_ = false;
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
            spare_.push_back(std::move(current_));
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
                if (block)
                    copy = *block;  // reuses the spare block's buffers
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
                                              size_t pageRows)
{
    std::vector<KeyColumn> key = findPagingKey(mysql, table);
    if (!key.empty())
        return std::make_unique<KeysetReader>(mysql, table, std::move(key), blockRows, pageRows);
    return std::make_unique<WholeTableReader>(mysql, "SELECT * FROM " + QuoteMySQLIdentifier(table), true,
                                              TargetSide::DB2, blockRows);
}

std::unique_ptr<SourceReader> OpenDB2Source(DataConnection& db2, const std::string& table, size_t blockRows)
{
    return std::make_unique<WholeTableReader>(db2, "SELECT * FROM " + QuoteDB2Identifier(table), false,
                                              TargetSide::MySQL, blockRows);
}

long long CountRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table)
{
    auto rs = connection.execute(dialect.countRowsSql(table));
    if (!rs || rs->eof() || !rs->field(0).value)
        throw DbError("24000", 0, "SELECT COUNT(*) returned no row");
    return std::stoll(*rs->field(0).value);
}
