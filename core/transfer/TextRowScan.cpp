#include "TextRowScan.h"

#include "ColumnKind.h"
#include "MySQLClientSession.h"
#include "SqlDialect.h"
#include "StatementCancel.h"
#include "Utf16.h"

#include <mysql.h>

#include <algorithm>

namespace {

// The server waits for a client that takes no rows for net_write_timeout
// (60 s by default) before it drops the stream; the comparison pauses only to
// write a sorted run of hashes, but a loaded machine should not end a read.
constexpr int kServerWaitSeconds = 3600;

bool isText(ColumnKind kind)
{
    return kind == ColumnKind::Text || kind == ColumnKind::LongText || kind == ColumnKind::Clob
        || kind == ColumnKind::Xml || kind == ColumnKind::Other;
}

std::string selectSql(const SqlDialect& dialect, const std::string& table, const std::vector<Field>& columns,
                      const std::vector<size_t>& order)
{
    std::string sql = "SELECT ";
    for (size_t i = 0; i < order.size(); ++i)
        sql += (i ? ", " : "") + dialect.comparedValueSql(columns[order[i]]);
    return sql + " FROM " + dialect.quoteIdentifier(table);
}

std::vector<size_t> inOrder(size_t count)
{
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = i;
    return order;
}

class MySQLTextScan final : public TextRowScan {
public:
    MySQLTextScan(const ConnectionProfile& login, int timeoutSeconds, StatementCanceller* canceller)
            : session_(login, timeoutSeconds, timeoutSeconds), canceller_(canceller)
    {
        for (const std::string& sql : MySQLDialect().sessionSetupSql())
            session_.execute(sql);
        // The statement's names in UTF-8 whatever the login's init_connect chose.
        session_.execute("SET NAMES utf8mb4");
        const std::string wait = std::to_string(kServerWaitSeconds);
        session_.execute("SET SESSION net_write_timeout = GREATEST(@@SESSION.net_write_timeout, " + wait + ")");
        session_.execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        session_.execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
        StatementCanceller::trackStop(canceller_, this, [session = &session_] { session->interrupt(); });
    }

    ~MySQLTextScan() override
    {
        StatementCanceller::forgetStop(this);
        if (result_) {
            // Rows left unread would be read to the end first: the link is cut instead.
            session_.interrupt();
            mysql_free_result(result_);
        }
    }

    void start(const std::string& table, const std::vector<Field>& columns) override
    {
        if (result_) {
            mysql_free_result(result_);
            result_ = nullptr;
        }
        const std::string sql = selectSql(MySQLDialect(), table, columns, inOrder(columns.size()));
        if (mysql_real_query(session_.handle(), sql.data(), sql.size()) != 0
            || !(result_ = mysql_use_result(session_.handle())))
            failed();
        if (mysql_num_fields(result_) != columns.size())
            throw DbError("HY000", 0, sql + ": the table's columns changed while it was compared");
        row_.assign(columns.size(), std::nullopt);
    }

    const std::vector<TextCell>* next() override
    {
        if (!result_)
            return nullptr;
        MYSQL_ROW row = mysql_fetch_row(result_);
        if (!row) {
            if (mysql_errno(session_.handle()) != 0)
                failed();
            mysql_free_result(result_);
            result_ = nullptr;
            return nullptr;
        }
        const unsigned long* lengths = mysql_fetch_lengths(result_);
        for (size_t c = 0; c < row_.size(); ++c)
            row_[c] = row[c] ? TextCell(std::string_view(row[c], lengths[c])) : std::nullopt;
        return &row_;
    }

private:
    [[noreturn]] void failed()
    {
        if (canceller_ && canceller_->cancelled())
            throw DbError("HY008", 0, "Operation canceled");
        throw session_.error();
    }

    MySQLClientSession session_;
    StatementCanceller* canceller_;
    MYSQL_RES* result_ = nullptr;
    std::vector<TextCell> row_;
};

class DB2TextScan final : public TextRowScan {
public:
    explicit DB2TextScan(DataConnection& db2)
            : db2_(db2), wide_(DB2Dialect().textTravelsWideOn(db2)),
              codePage_(DB2Dialect().databaseCodePage(db2).value_or(0))
    {
    }

    void start(const std::string& table, const std::vector<Field>& columns) override
    {
        statement_.reset();
        plan(columns);
        // Bound columns first: a driver need only give later columns piece by piece.
        std::vector<size_t> order;
        for (bool bound : {true, false})
            for (size_t c = 0; c < columns_.size(); ++c)
                if (columns_[c].bound == bound)
                    order.push_back(c);
        statement_ = db2_.newStatement();
        SQLHSTMT statement = statement_.get();
        const auto check = [&](SQLRETURN rc, const char* call) { checkOdbc(rc, SQL_HANDLE_STMT, statement, call); };
        check(SQLSetStmtAttr(statement, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
              "SQLSetStmtAttr");
        check(SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(arrayRows_), 0),
              "SQLSetStmtAttr");
        check(SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), "SQLSetStmtAttr");
        SqlWString sql = toSqlW(selectSql(DB2Dialect(), table, columns, order));
        check(SQLExecDirectW(statement, sql.data(), static_cast<SQLINTEGER>(sql.size())), "SQLExecDirect");
        for (size_t i = 0; i < order.size(); ++i) {
            Column& column = columns_[order[i]];
            column.position = static_cast<SQLUSMALLINT>(i + 1);
            if (column.bound)
                check(SQLBindCol(statement, column.position, column.cType, column.data.data(), column.width,
                                 column.lengths.data()),
                      "SQLBindCol");
        }
        fetched_ = at_ = 0;
        done_ = false;
        row_.assign(columns_.size(), std::nullopt);
    }

    const std::vector<TextCell>* next() override
    {
        if (done_)
            return nullptr;
        if (++at_ >= fetched_) {
            const SQLRETURN rc = SQLFetch(statement_.get());
            if (rc == SQL_NO_DATA || (odbcSucceeded(rc) && fetched_ == 0)) {
                done_ = true;
                statement_.reset();
                return nullptr;
            }
            checkOdbc(rc, SQL_HANDLE_STMT, statement_.get(), "SQLFetch");
            at_ = 0;
        }
        for (size_t c = 0; c < columns_.size(); ++c)
            row_[c] = columns_[c].bound ? boundValue(columns_[c]) : pieceByPiece(columns_[c]);
        return &row_;
    }

private:
    struct Column {
        std::string name;
        SQLSMALLINT cType = SQL_C_CHAR;
        SQLLEN width = 0;  // bytes per row when bound
        bool bound = true;
        SQLUSMALLINT position = 0;
        std::vector<char> data;
        std::vector<SQLLEN> lengths;
        std::string value;  // a value made UTF-8, or read piece by piece
    };

    // Longer values (LOBs, XML) are read piece by piece, one row at a time.
    static constexpr SQLLEN kWidestBound = 128 * 1024;
    static constexpr size_t kArrayBytes = 16u << 20, kMostArrayRows = 1024;
    static constexpr long kUnicodeCodePage = 1208;

    // The bytes a text value of `field` can take as fetched: a byte of the
    // database's code page is one UTF-16 unit and up to three bytes of
    // UTF-8 (one in a Unicode database), a UTF-16 unit of a graphic type up
    // to three.
    SQLLEN textBytes(const Field& field) const
    {
        const SQLLEN size = static_cast<SQLLEN>(field.columnSize);
        if (wide_)
            return size * static_cast<SQLLEN>(sizeof(SQLWCHAR)) + 2;
        const bool unicodeBytes = !IsSizedInCharacters(field.sqlType) && codePage_ == kUnicodeCodePage;
        return size * (unicodeBytes ? 1 : 3) + 1;
    }

    void plan(const std::vector<Field>& fields)
    {
        columns_.clear();
        size_t rowBytes = 0;
        bool allBound = true;
        for (const Field& field : fields) {
            Column column;
            column.name = field.name;
            if (field.isBinary) {
                column.cType = SQL_C_BINARY;
                column.width = static_cast<SQLLEN>(field.columnSize);
            } else if (isText(field.kind)) {
                column.cType = wide_ ? SQL_C_WCHAR : SQL_C_CHAR;
                column.width = textBytes(field);
            } else {
                column.width = 64;  // numbers, dates and times as text
            }
            const bool lob
                = field.kind == ColumnKind::Clob || field.kind == ColumnKind::Xml || field.kind == ColumnKind::Blob;
            column.bound = !lob && field.columnSize > 0 && column.width <= kWidestBound;
            allBound = allBound && column.bound;
            if (column.bound)
                rowBytes += static_cast<size_t>(column.width) + sizeof(SQLLEN);
            columns_.push_back(std::move(column));
        }
        arrayRows_ = allBound ? std::clamp<size_t>(kArrayBytes / std::max<size_t>(rowBytes, 1), 1, kMostArrayRows) : 1;
        for (Column& column : columns_)
            if (column.bound) {
                column.data.assign(static_cast<size_t>(column.width) * arrayRows_, '\0');
                column.lengths.assign(arrayRows_, 0);
            }
    }

    TextCell boundValue(Column& column)
    {
        const SQLLEN length = column.lengths[at_];
        if (length == SQL_NULL_DATA)
            return std::nullopt;
        const SQLLEN room = column.width - (column.cType == SQL_C_CHAR ? 1 : column.cType == SQL_C_WCHAR ? 2 : 0);
        if (length < 0 || length > room)
            throw DbError("01004", 0, "a value of column " + column.name + " is longer than the driver described it");
        const char* data = column.data.data() + static_cast<size_t>(column.width) * at_;
        if (column.cType != SQL_C_WCHAR)
            return std::string_view(data, static_cast<size_t>(length));
        return utf8(reinterpret_cast<const SQLWCHAR*>(data), static_cast<size_t>(length) / sizeof(SQLWCHAR), column);
    }

    TextCell utf8(const SQLWCHAR* units, size_t count, Column& column)
    {
        column.value.resize(Utf8Length(units, count));
        column.value.resize(WriteUtf8(units, count, column.value.data()));
        return std::string_view(column.value);
    }

    // A long value in pieces of 64 KB.
    TextCell pieceByPiece(Column& column)
    {
        constexpr size_t kPiece = 64 * 1024;
        const size_t terminator = column.cType == SQL_C_CHAR ? 1 : column.cType == SQL_C_WCHAR ? 2 : 0;
        std::string bytes;
        std::vector<char> piece(kPiece);
        for (;;) {
            SQLLEN length = 0;
            const SQLRETURN rc
                = SQLGetData(statement_.get(), column.position, column.cType, piece.data(), kPiece, &length);
            if (rc == SQL_NO_DATA)
                break;
            checkOdbc(rc, SQL_HANDLE_STMT, statement_.get(), "SQLGetData");
            if (length == SQL_NULL_DATA)
                return std::nullopt;
            const bool more = rc == SQL_SUCCESS_WITH_INFO
                && (length == SQL_NO_TOTAL || length > static_cast<SQLLEN>(kPiece - terminator));
            bytes.append(piece.data(), more ? kPiece - terminator : static_cast<size_t>(length));
            if (!more)
                break;
        }
        if (column.cType != SQL_C_WCHAR) {
            column.value = std::move(bytes);
            return std::string_view(column.value);
        }
        return utf8(reinterpret_cast<const SQLWCHAR*>(bytes.data()), bytes.size() / sizeof(SQLWCHAR), column);
    }

    DataConnection& db2_;
    bool wide_;
    long codePage_;
    OdbcHandle statement_;
    std::vector<Column> columns_;
    size_t arrayRows_ = 1;
    SQLULEN fetched_ = 0, at_ = 0;
    bool done_ = true;
    std::vector<TextCell> row_;
};

}  // namespace

std::unique_ptr<TextRowScan> OpenMySQLTextScan(const ConnectionProfile& login, int timeoutSeconds,
                                               StatementCanceller* canceller)
{
    return std::make_unique<MySQLTextScan>(login, timeoutSeconds, canceller);
}

std::unique_ptr<TextRowScan> OpenDB2TextScan(DataConnection& db2) { return std::make_unique<DB2TextScan>(db2); }
