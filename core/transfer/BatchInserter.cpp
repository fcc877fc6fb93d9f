#include "BatchInserter.h"

#include "Utf16.h"
#include "ValueText.h"

#include <algorithm>
#include <cstring>

namespace {

// IBM CLI's statement attribute for atomic parameter arrays (sqlcli1.h).
constexpr SQLINTEGER kAttrParamoptAtomic = 1260;
constexpr SQLULEN kAtomicNo = 0;

// UTF-8 cells of a send buffer as UTF-16 cells, from row `first` on.
void widen(const ColumnBuffer& in, size_t first, size_t rows, ColumnBuffer& out)
{
    // A value never takes more UTF-16 units than it has UTF-8 bytes.
    SQLLEN longestBytes = 1;
    for (size_t r = 0; r < rows; ++r)
        if (!in.isNull(first + r))
            longestBytes = std::max(longestBytes, in.lengths[first + r]);
    out.allocate(SQL_C_WCHAR, longestBytes * static_cast<SQLLEN>(sizeof(SQLWCHAR)), rows);
    for (size_t r = 0; r < rows; ++r) {
        if (in.isNull(first + r))
            continue;
        const std::string_view value(in.at(first + r), static_cast<size_t>(in.lengths[first + r]));
        const size_t units = WriteUtf16(value, reinterpret_cast<SQLWCHAR*>(out.at(r)));
        out.lengths[r] = static_cast<SQLLEN>(units * sizeof(SQLWCHAR));
    }
}

constexpr size_t kValueOverheadBytes = 16;   // type, length and null-bitmap bytes per value
constexpr size_t kValueShownInReport = 200;  // longer values are cut short in the statement a report shows
constexpr size_t kKeptWideBytes = 4u << 20;  // UTF-16 buffers kept between blocks
constexpr const char* kRowsSavepoint = "tablehop_rows";

void prepare(SQLHSTMT statement, const std::string& sql)
{
    SqlWString text = toSqlW(sql);
    checkOdbc(SQLPrepareW(statement, text.data(), static_cast<SQLINTEGER>(text.size())), SQL_HANDLE_STMT, statement,
              "SQLPrepare");
}

void setAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value, const char* what)
{
    checkOdbc(SQLSetStmtAttrW(statement, attribute, value, 0), SQL_HANDLE_STMT, statement, what);
}

// Whether ending a transaction throws away prepared statements (SQL_CB_DELETE).
bool endDeletesPrepared(SQLHDBC connection, SQLUSMALLINT infoType)
{
    SQLUSMALLINT behaviour = SQL_CB_PRESERVE;
    if (!odbcSucceeded(SQLGetInfoW(connection, infoType, &behaviour, sizeof behaviour, nullptr)))
        return true;  // unknown: prepare again to be safe
    return behaviour == SQL_CB_DELETE;
}

bool paramFailed(SQLUSMALLINT status)
{
    // MariaDB's bulk path marks every row 257 when the array fails.
    return status != SQL_PARAM_SUCCESS && status != SQL_PARAM_SUCCESS_WITH_INFO && status != SQL_PARAM_UNUSED;
}

}  // namespace

BatchInserter::BatchInserter(DataConnection& target, TargetSide side, const std::string& table,
                             std::vector<ColumnPlan> plans, const std::vector<std::string>& columnTypes)
        : target_(target), side_(side), limits_(DialectOf(side).sendLimits(target)), table_(table),
          plans_(std::move(plans)), arrayStatement_(target.newStatement()), rowStatement_(target.newStatement())
{
    digitBooleans_.assign(plans_.size(), false);
    for (size_t c = 0; c < plans_.size() && c < columnTypes.size(); ++c)
        digitBooleans_[c]
            = side_ == TargetSide::DB2 && plans_[c].read == ReadKind::Bool && columnTypes[c].rfind("BOOLEAN", 0) == 0;
    commitDeletes_ = endDeletesPrepared(target.handle(), SQL_CURSOR_COMMIT_BEHAVIOR);
    rollbackDeletes_ = endDeletesPrepared(target.handle(), SQL_CURSOR_ROLLBACK_BEHAVIOR);
    setAttr(arrayStatement_.get(), SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN),
            "SQLSetStmtAttr(PARAM_BIND_TYPE)");
    setAttr(arrayStatement_.get(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed_, "SQLSetStmtAttr(PARAMS_PROCESSED_PTR)");
    setNonAtomicArrays(true);
    checkWarnings_ = DialectOf(side).warnsOfChangedValues();
    wideText_ = DialectOf(side).textTravelsWideOn(target);
}

void BatchInserter::prepareIfNeeded(SQLHSTMT statement, bool& prepared)
{
    if (!prepared)
        prepare(statement, BuildParameterInsertSql(side_, table_, plans_.size(), columns_));
    prepared = true;
}

void BatchInserter::endTransaction(bool commit)
{
    if (commit)
        target_.commit();
    else
        target_.rollback();
    // Some drivers drop prepared statements at the end of a transaction.
    if (commit ? commitDeletes_ : rollbackDeletes_)
        arrayPrepared_ = rowPrepared_ = false;
}

void BatchInserter::bind(SQLHSTMT statement, const RowBlock& block, size_t firstRow, size_t rows)
{
    const SqlDialect& dialect = DialectOf(side_);
    wide_.resize(plans_.size());
    for (size_t c = 0; c < plans_.size(); ++c) {
        const ColumnBuffer* buffer = &block.sendColumn(c);
        size_t first = firstRow;
        SQLSMALLINT cType = SQL_C_CHAR, sqlType = dialect.textParameterType(buffer->width);
        if (plans_[c].send == SendKind::Binary) {
            cType = SQL_C_BINARY;
            sqlType = dialect.bytesParameterType(buffer->width);
        } else if (plans_[c].send == SendKind::TinyInt) {
            cType = SQL_C_UTINYINT;
            sqlType = SQL_TINYINT;
        } else if (digitBooleans_[c]) {
            // The reader wrote the texts True and False, as a text column takes them.
            std::vector<std::optional<std::string>> cells(rows);
            for (size_t r = 0; r < rows; ++r)
                if (!buffer->isNull(firstRow + r))
                    cells[r].emplace(1, *buffer->at(firstRow + r) == 'T' ? '1' : '0');
            if (wideText_) {
                digits_.pack(SQL_C_CHAR, cells);
                widen(digits_, 0, rows, wide_[c]);
                cType = SQL_C_WCHAR;
            } else {
                wide_[c].pack(SQL_C_CHAR, cells);
            }
            buffer = &wide_[c];
            first = 0;
        } else if (wideText_) {
            widen(*buffer, firstRow, rows, wide_[c]);
            buffer = &wide_[c];
            first = 0;
            cType = SQL_C_WCHAR;
        }
        // Text columns are declared in bytes as the target counts them (UTF-8).
        const SQLULEN columnSize = static_cast<SQLULEN>(std::max<SQLLEN>(block.sendColumn(c).width, 1));
        checkOdbc(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, cType, sqlType,
                                   columnSize, 0, const_cast<char*>(buffer->at(first)), buffer->width,
                                   const_cast<SQLLEN*>(buffer->lengths.data() + first)),
                  SQL_HANDLE_STMT, statement, "SQLBindParameter");
    }
}

// Only a row's own values cost the row. Anything else (the connection or the
// table gone, a full log or table space, a deadlock or lock timeout) would
// refuse every later row as well.
bool BatchInserter::endsTheCopy(const DbError& error) const { return !DialectOf(side_).isRowsOwnFault(error); }

std::optional<DbError> BatchInserter::changedValues()
{
    if (!checkWarnings_)
        return std::nullopt;
    std::vector<DiagRecord> warnings = DialectOf(side_).changedValueWarnings(target_);
    if (warnings.empty())
        return std::nullopt;
    warnings.front().message
        = "The server would have stored a value changed, so the row was not written: " + warnings.front().message;
    return DbError(std::move(warnings));
}

void BatchInserter::markUndoPoint()
{
    if (checkWarnings_)
        target_.execute(DialectOf(side_).savepointSql(kRowsSavepoint));
}

void BatchInserter::undoToMark() { target_.execute(DialectOf(side_).rollbackToSavepointSql(kRowsSavepoint)); }

size_t BatchInserter::rowBytes(const RowBlock& block, size_t row) const
{
    size_t bytes = 0;
    for (size_t c = 0; c < plans_.size(); ++c) {
        const ColumnBuffer& buffer = block.sendColumn(c);
        const SQLLEN length = buffer.lengths[row];
        bytes += kValueOverheadBytes + (length > 0 ? static_cast<size_t>(length) : 0);
        if (length >= 0 && buffer.cType == SQL_C_UTINYINT)
            bytes += 1;
    }
    return bytes;
}

bool BatchInserter::substitutionReported(SQLRETURN rc, SQLHSTMT statement) const
{
    if (rc != SQL_SUCCESS_WITH_INFO)
        return false;
    const SqlDialect& dialect = DialectOf(side_);
    for (const DiagRecord& record : readDiagnostics(SQL_HANDLE_STMT, statement))
        if (dialect.isCodePageSubstitution(record))
            return true;
    return false;
}

bool BatchInserter::sendArray(const RowBlock& block, size_t first, size_t count, std::vector<size_t>& substituted)
{
    SQLHSTMT statement = arrayStatement_.get();
    prepareIfNeeded(statement, arrayPrepared_);
    status_.assign(count, SQL_PARAM_UNUSED);
    // Asked every time: the setting can be turned off between blocks. A server
    // that refuses the request keeps its atomic arrays, which the retry covers.
    if (DialectOf(side_).offersNonAtomicArrays())
        SQLSetStmtAttrW(statement, kAttrParamoptAtomic,
                        reinterpret_cast<SQLPOINTER>(nonAtomic_ ? kAtomicNo : SQLULEN {1}), 0);
    setAttr(statement, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(count)),
            "SQLSetStmtAttr(PARAMSET_SIZE)");
    setAttr(statement, SQL_ATTR_PARAM_STATUS_PTR, status_.data(), "SQLSetStmtAttr(PARAM_STATUS_PTR)");
    bind(statement, block, first, count);
    // Outside one transaction the caller rolls a rejected array back.
    if (oneTransaction_)
        markUndoPoint();
    const SQLRETURN rc = SQLExecute(statement);
    if (!odbcSucceeded(rc)) {
        DbError error(readDiagnostics(SQL_HANDLE_STMT, statement));
        SQLFreeStmt(statement, SQL_CLOSE);
        if (endsTheCopy(error))
            throw error;
        return false;
    }
    const bool anySubstituted = substitutionReported(rc, statement);
    for (size_t r = 0; r < count; ++r)
        if (paramFailed(status_[r])) {
            SQLFreeStmt(statement, SQL_CLOSE);
            return false;
        }
    // Read before anything else runs on the connection. A changed value is
    // found per row by the row-by-row retry.
    const bool changed = changedValues().has_value();
    SQLFreeStmt(statement, SQL_CLOSE);
    if (changed) {
        if (oneTransaction_)
            undoToMark();
        return false;
    }
    if (anySubstituted)
        for (size_t r = 0; r < count; ++r)
            if (status_[r] == SQL_PARAM_SUCCESS_WITH_INFO)
                substituted.push_back(first + r);
    return true;
}

void BatchInserter::refuse(BatchOutcome& outcome, const RowBlock& block, size_t row, DbError error)
{
    ++outcome.refused;
    outcome.refusedRows.push_back(row);
    if (outcome.firstRefused)
        return;
    std::vector<Field> fields = block.rowFields(row);
    for (Field& field : fields)
        if (field.value && field.value->size() > kValueShownInReport) {
            field.value->resize(kValueShownInReport);
            field.value->append("...");
        }
    outcome.firstRefused.emplace(RefusedRow {BuildInsertSql(side_, table_, fields, columns_), std::move(error)});
}

void BatchInserter::sendRowByRow(const RowBlock& block, size_t first, size_t count, BatchOutcome& outcome)
{
    SQLHSTMT statement = rowStatement_.get();
    for (size_t r = first; r < first + count; ++r) {
        prepareIfNeeded(statement, rowPrepared_);
        bind(statement, block, r, 1);
        markUndoPoint();
        const SQLRETURN rc = SQLExecute(statement);
        if (odbcSucceeded(rc)) {
            if (auto changed = changedValues()) {
                SQLFreeStmt(statement, SQL_CLOSE);
                undoToMark();
                refuse(outcome, block, r, std::move(*changed));
                if (pace_)
                    pace_();
                continue;
            }
            ++outcome.inserted;
            if (substitutionReported(rc, statement))
                outcome.substitutedRows.push_back(r);
        } else {
            DbError error(readDiagnostics(SQL_HANDLE_STMT, statement));
            if (endsTheCopy(error))
                throw error;  // not this row's fault: the copy ends here
            refuse(outcome, block, r, std::move(error));
        }
        SQLFreeStmt(statement, SQL_CLOSE);
        if (pace_)
            pace_();
    }
}

void BatchInserter::sendRange(const RowBlock& block, size_t first, size_t count, BatchOutcome& outcome)
{
    // A single row goes straight to the row path, which reports its own error.
    std::vector<size_t> substituted;
    if (count > 1 && sendArray(block, first, count, substituted)) {
        if (!oneTransaction_)
            endTransaction(true);
        outcome.inserted += static_cast<long long>(count);
        outcome.substitutedRows.insert(outcome.substitutedRows.end(), substituted.begin(), substituted.end());
        return;
    }
    // Undo whatever part of the array went in, then let each row stand alone.
    if (!oneTransaction_)
        endTransaction(false);
    sendRowByRow(block, first, count, outcome);
    if (!oneTransaction_)
        endTransaction(true);
}

const std::string& BatchInserter::targetColumn(size_t column) const
{
    return column < columns_.size() ? columns_[column] : plans_[column].field.name;
}

std::map<size_t, DbError> BatchInserter::checkValues(RowBlock& block)
{
    std::map<size_t, DbError> unsent;
    roundedCells_.clear();
    for (size_t c = 0; c < fits_.size() && c < plans_.size(); ++c) {
        const ColumnFit& fit = fits_[c];
        if (fit.holdsEveryValue())
            continue;
        for (size_t r = 0; r < block.rows; ++r) {
            const auto value = block.sendView(c, r);
            if (!value || unsent.count(r))
                continue;
            const ValueChange change = fit.check(*value);
            if (change == ValueChange::None)
                continue;
            if (change == ValueChange::Rounded && allowRounding_) {
                block.shortenSendText(c, r, fit.rounded(*value));
                roundedCells_.emplace_back(r, c);
                continue;
            }
            std::string message
                = table_ + "." + targetColumn(c) + ": " + fit.why(change, *value) + "; the row was not written.";
            if (change == ValueChange::Rounded)
                message += " Allow rounding to store the nearest value the column holds instead.";
            unsent.emplace(r, DbError("HY000", 0, std::move(message)));
        }
    }
    return unsent;
}

void BatchInserter::countRounded(BatchOutcome& outcome) const
{
    for (const auto& [row, column] : roundedCells_)
        if (!std::binary_search(outcome.refusedRows.begin(), outcome.refusedRows.end(), row))
            ++outcome.valuesRounded[targetColumn(column)];
}

BatchOutcome BatchInserter::insert(RowBlock& block)
{
    BatchOutcome outcome;
    try {
        const std::map<size_t, DbError> unsent = checkValues(block);
        size_t first = 0;
        while (first < block.rows) {
            if (const auto refused = unsent.find(first); refused != unsent.end()) {
                refuse(outcome, block, first, refused->second);
                ++first;
                continue;
            }
            size_t end = first, bytes = 0;
            for (; end < block.rows; ++end) {
                const size_t row = rowBytes(block, end);
                if (row > limits_.rowBytes || (end > first && bytes + row > limits_.batchBytes)
                    || (end > first && unsent.count(end)))
                    break;
                bytes += row;
            }
            if (end == first) {
                // Sending it would cost the connection (MySQL drops it): refused here.
                const std::string message = DialectOf(side_).rowTooLongMessage(rowBytes(block, first), limits_);
                refuse(outcome, block, first, DbError("HY000", 0, message));
                ++first;
                continue;
            }
            sendRange(block, first, end - first, outcome);
            first = end;
        }
        countRounded(outcome);
        // UTF-16 copies of long values are not kept while the next block is read.
        for (ColumnBuffer& wide : wide_)
            if (wide.data.size() > kKeptWideBytes)
                wide = ColumnBuffer();
    } catch (const DbError& error) {
        if (!endsTheCopy(error))
            throw;
        outcome.endedCopy = error;
    }
    return outcome;
}
