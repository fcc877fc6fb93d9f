#include "StreamingReader.h"

#include "ParameterStatement.h"
#include "SqlIdentifiers.h"
#include "StatementCancel.h"

#include <mysql.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kBlockBytes = 16u << 20;  // bound on one block's values, as for ODBC reads
constexpr size_t kStagingBytes = 256;      // longer values are fetched again at their own length

// While the rows of one block are written to the other side, this session
// takes nothing off the network; once the socket buffers are full the
// server waits, and drops the stream after net_write_timeout (60 s by
// default). One block's writing is bounded by the tool's statement timeout,
// and a block refused whole is retried row by row, so the server waits up to
// that long and at least an hour, never less than it would anyway; a day
// when statements have no timeout. A dead client still ends the stream when
// its connection goes.
int serverWaitSeconds(int statementSeconds)
{
    constexpr int kHour = 3600, kDay = 86400;
    return statementSeconds > 0 ? std::max(statementSeconds, kHour) : kDay;
}

// A server's limit on a statement's time would end the read of a large
// table part-way, however fast it goes: lifted for this session, on MariaDB
// (max_statement_time) or MySQL (max_execution_time). A server that knows
// neither has no such limit.
void liftStatementTimeLimit(MySQLClientSession& session)
{
    constexpr long kUnknownVariable = 1193;
    for (const char* sql : {"SET SESSION max_statement_time = 0", "SET SESSION max_execution_time = 0"}) {
        try {
            session.execute(sql);
            return;
        } catch (const DbError& error) {
            if (error.nativeCode() != kUnknownVariable)
                throw;
        }
    }
}

enum_field_types bindType(ReadKind kind)
{
    switch (kind) {
    case ReadKind::Integer:
    case ReadKind::Unsigned: return MYSQL_TYPE_LONGLONG;  // 64 bits, as SQL_C_SBIGINT / SQL_C_UBIGINT
    case ReadKind::Double:
    case ReadKind::Real: return MYSQL_TYPE_DOUBLE;  // as the ODBC readers fetch a REAL
    case ReadKind::Binary: return MYSQL_TYPE_BLOB;
    default: return MYSQL_TYPE_STRING;  // the server's text, as the ODBC driver gives it
    }
}

bool streamable(ReadKind kind)
{
    return kind == ReadKind::Text || kind == ReadKind::Binary || kind == ReadKind::Integer
        || kind == ReadKind::Unsigned || kind == ReadKind::Double || kind == ReadKind::Real || kind == ReadKind::Bool;
}

}  // namespace

// One column's landing place for the row being fetched.
struct StreamingReader::Column {
    ReadKind kind = ReadKind::Text;
    size_t width = 0;  // bytes of a fixed-size value
    std::vector<char> staging;
    unsigned long length = 0;
    my_bool isNull = 0, truncated = 0;
};

StreamingReader::StreamingReader(DataConnection& mysql, const std::string& table, size_t blockRows)
        : mysql_(mysql), canceller_(mysql.canceller()), capacity_(std::max<size_t>(blockRows, 1))
{
    selectSql_ = "SELECT * FROM " + QuoteMySQLIdentifier(table);
    countSql_ = "SELECT COUNT(*) FROM " + QuoteMySQLIdentifier(table);
    // The ODBC session describes the columns, so they are planned as there.
    {
        ParameterStatement describe(mysql);
        describe.execute(selectSql_ + " LIMIT 0", {});
        plans_ = PlanColumns(DescribeResultColumns(describe.get()), true, TargetSide::DB2);
    }
    for (const ColumnPlan& plan : plans_)
        if (!streamable(plan.read))
            throw StreamUnavailable("HYC00", 0, "column " + plan.field.name + " is of a kind read only through ODBC");
    openSession(mysql);
    startSelect();
    block_.allocate(plans_, capacity_);
}

void StreamingReader::CloseStatement::operator()(MYSQL_STMT* statement) const { mysql_stmt_close(statement); }

StreamingReader::CancelRegistration::~CancelRegistration()
{
    if (owner)
        StatementCanceller::forgetStop(owner);
}

StreamingReader::~StreamingReader() { abandon(); }

void StreamingReader::abandon() noexcept
{
    if (drained_ || abandoned_ || !session_)
        return;
    abandoned_ = true;
    // Rows left unread would be read to the end before the statement could
    // close: the session is ended instead. The server, waiting to send rows
    // nobody takes, may not notice a closed connection for a long while, so
    // it is told to end the session (which holds the table's definition
    // against ALTER and DROP); any login may end its own sessions.
    session_->interrupt();
    try {
        mysql_.execute("KILL " + std::to_string(session_->threadId()));
    } catch (const DbError&) {
        // Gone already, or the connection is: the server ends it when it sees it closed.
    }
}

void StreamingReader::openSession(DataConnection& mysql)
{
    const std::optional<ConnectionProfile>& profile = mysql.profile();
    if (!profile)
        throw StreamUnavailable("HY000", 0, "the login is not known to this session");
    try {
        session_ = std::make_unique<MySQLClientSession>(*profile, mysql.connectionTimeout(), mysql.commandTimeout());
        const SqlDialect& dialect = DialectOf(DatabaseSide::MySQL);
        for (const auto& setup : {dialect.connectionSetupSql(), dialect.sessionSetupSql()})
            for (const std::string& sql : setup)
                session_->execute(sql);
        const std::string wait = std::to_string(serverWaitSeconds(mysql.commandTimeout()));
        session_->execute("SET SESSION net_write_timeout = GREATEST(@@SESSION.net_write_timeout, " + wait
                          + "), SESSION net_read_timeout = GREATEST(@@SESSION.net_read_timeout, " + wait + ")");
        liftStatementTimeLimit(*session_);
    } catch (const DbError& error) {
        session_.reset();
        throw StreamUnavailable(error.records());
    }
    StatementCanceller::trackStop(canceller_, this, [session = session_.get()] { session->interrupt(); });
    registration_.owner = this;
    if (canceller_ && canceller_->cancelled())
        failed(DbError("HY008", 0, "Operation canceled"));
}

void StreamingReader::startSelect()
{
    try {
        // Every row as it was when the read began, and no row locked.
        session_->execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
        session_->execute("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY");
        expected_.emplace([this] { return std::stoll(session_->firstValue(countSql_).value_or("0")); }, true);
    } catch (const DbError& error) {
        failed(error);
    }
    statement_.reset(mysql_stmt_init(session_->handle()));
    if (!statement_)
        failed(session_->error());
    // No cursor: the rows come as the server reads them, nothing is kept
    // aside on the server, and the client holds one row at a time.
    if (mysql_stmt_prepare(statement_.get(), selectSql_.data(), selectSql_.size()) != 0
        || mysql_stmt_execute(statement_.get()) != 0)
        failed(session_->error(statement_.get()));
    if (mysql_stmt_field_count(statement_.get()) != plans_.size())
        failed(DbError("HY000", 0, selectSql_ + ": the table's columns changed while it was being read"));
    columns_.resize(plans_.size());
    std::vector<MYSQL_BIND> binds(plans_.size());
    for (size_t c = 0; c < plans_.size(); ++c) {
        Column& column = columns_[c];
        column.kind = plans_[c].read;
        column.width = IsVariableLength(column.kind) ? 0 : static_cast<size_t>(plans_[c].readWidth);
        column.staging.assign(std::max(kStagingBytes, column.width), '\0');
        MYSQL_BIND& bind = binds[c];
        std::memset(&bind, 0, sizeof bind);
        bind.buffer_type = bindType(column.kind);
        bind.is_unsigned = column.kind == ReadKind::Unsigned;
        bind.buffer = column.staging.data();
        bind.buffer_length = column.staging.size();
        bind.length = &column.length;
        bind.is_null = &column.isNull;
        bind.error = &column.truncated;
    }
    if (mysql_stmt_bind_result(statement_.get(), binds.data()) != 0)
        failed(session_->error(statement_.get()));
}

RowBlock* StreamingReader::next()
{
    if (done_ && waiting_.empty())
        return nullptr;
    // Cells gathered per block and laid out as wide as the longest of each
    // column; a row that would widen the block past kBlockBytes waits for the
    // next block, so a huge value is never laid out once per row.
    std::vector<std::vector<std::optional<std::string>>> cells(plans_.size());
    std::vector<size_t> longest(plans_.size(), 0);
    size_t rows = 0, rowBytes = 0;
    const auto take = [&](std::vector<std::optional<std::string>>& row) {
        rowBytes = 0;
        for (size_t c = 0; c < plans_.size(); ++c) {
            if (row[c])
                longest[c] = std::max(longest[c], row[c]->size());
            rowBytes += longest[c] + sizeof(SQLLEN);
            cells[c].push_back(std::move(row[c]));
        }
        ++rows;
    };
    if (!waiting_.empty())
        take(waiting_);
    waiting_.clear();
    std::vector<std::optional<std::string>> row(plans_.size());
    while (!done_ && rows < capacity_ && rows * rowBytes < kBlockBytes) {
        if (!fetchRow(row)) {
            done_ = true;
            break;
        }
        size_t widened = 0;
        for (size_t c = 0; c < plans_.size(); ++c)
            widened += std::max(longest[c], row[c] ? row[c]->size() : 0) + sizeof(SQLLEN);
        if (rows > 0 && (rows + 1) * widened > kBlockBytes) {
            waiting_ = std::move(row);
            row.assign(plans_.size(), std::nullopt);
            break;
        }
        take(row);
    }
    if (rows == 0)
        return nullptr;
    if (block_.capacity() == 0)
        block_.allocate(plans_, capacity_);  // the reader ahead took the last block
    for (size_t c = 0; c < plans_.size(); ++c)
        block_.readColumn(c).pack(ReadCType(plans_[c].read), cells[c]);
    block_.rows = rows;
    block_.convert();
    return &block_;
}

bool StreamingReader::fetchRow(std::vector<std::optional<std::string>>& row)
{
    const int rc = mysql_stmt_fetch(statement_.get());
    if (rc == MYSQL_NO_DATA) {
        drained_ = true;
        // The whole table is read: the snapshot is let go at once.
        try {
            session_->execute("COMMIT");
        } catch (const DbError&) {
            // Every row arrived; an ending transaction has nothing left to lose.
        }
        expected_->checkAtEnd();
        return false;
    }
    if (rc != 0 && rc != MYSQL_DATA_TRUNCATED)
        failed(session_->error(statement_.get()));
    expected_->arrived(1);
    for (size_t c = 0; c < columns_.size(); ++c) {
        Column& column = columns_[c];
        if (column.isNull) {
            row[c].reset();
            continue;
        }
        if (column.width > 0) {  // fixed size: the bytes of the value as ODBC gives them
            if (column.kind == ReadKind::Bool) {
                const bool set = std::any_of(column.staging.begin(),
                                             column.staging.begin() + std::min<size_t>(column.length, kStagingBytes),
                                             [](char b) { return b != 0; });
                row[c] = std::string(1, set ? '\1' : '\0');
            } else {
                row[c] = std::string(column.staging.data(), column.width);
            }
            continue;
        }
        if (!column.truncated) {
            row[c] = std::string(column.staging.data(), column.length);
            continue;
        }
        // Longer than the staging buffer: fetched again whole, in one allocation.
        std::string value(column.length, '\0');
        MYSQL_BIND bind;
        std::memset(&bind, 0, sizeof bind);
        unsigned long length = 0;
        bind.buffer_type = bindType(column.kind);
        bind.buffer = value.data();
        bind.buffer_length = value.size();
        bind.length = &length;
        if (mysql_stmt_fetch_column(statement_.get(), &bind, static_cast<unsigned int>(c), 0) != 0)
            failed(session_->error(statement_.get()));
        value.resize(std::min<size_t>(length, value.size()));
        row[c] = std::move(value);
    }
    return true;
}

void StreamingReader::failed(DbError error)
{
    done_ = true;
    waiting_.clear();
    // A failed read leaves its session of no further use.
    abandon();
    if (canceller_ && canceller_->cancelled())
        throw DbError("HY008", 0, "Operation canceled");
    throw error;
}
