#include "Statement.h"

#include "Values.h"

#include <algorithm>
#include <cstring>

namespace db2standin {

bool Stmt::beginAtomic(bool& ownTransaction, Diag& err)
{
    ownTransaction = false;
    if (!conn->txnOpen) {
        PGresult* b = conn->exec("BEGIN");
        const bool ok = !resultFailed(b);
        if (!ok)
            err = conn->mapError(b, nullptr);
        PQclear(b);
        if (!ok)
            return false;
        conn->txnOpen = true;
        ownTransaction = conn->autocommit;
    }
    PQclear(conn->exec("SAVEPOINT db2atomic"));
    return true;
}

void Stmt::endAtomic(bool ownTransaction, bool keep)
{
    PQclear(conn->exec(keep ? "RELEASE SAVEPOINT db2atomic"
                            : "ROLLBACK TO SAVEPOINT db2atomic; RELEASE SAVEPOINT db2atomic"));
    if (ownTransaction) {
        PQclear(conn->exec("COMMIT"));
        conn->txnOpen = false;
    }
}

SQLRETURN Stmt::failAtomic(size_t badRow, Diag err)
{
    // Per-row statuses of an atomic array say nothing about the other rows.
    // An unknown row (badRow past the end) marks them all.
    const bool known = badRow < paramsetSize;
    for (size_t i = 0; paramStatus && i < paramsetSize; ++i)
        paramStatus[i] = i == badRow || !known ? SQL_PARAM_ERROR : SQL_PARAM_UNUSED;
    if (paramsProcessed)
        *paramsProcessed = known ? badRow + 1 : paramsetSize;
    rowCount = 0;
    err.row = known ? static_cast<long>(badRow + 1) : 0;
    return fail(err);
}

// Array input, row by row: each row stands alone as DB2 does for non-atomic
// arrays; an atomic one is undone at its first bad row.
SQLRETURN Stmt::runArray()
{
    size_t rows = paramsetSize;
    size_t good = 0;
    std::vector<char> arrived(rows, 0);
    rowCount = 0;
    std::vector<std::optional<std::string>> values;
    std::vector<const char*> pointers;
    bool ownTransaction = false;
    if (Diag atomicError; atomicArrays && !beginAtomic(ownTransaction, atomicError))
        return fail(atomicError);
    for (size_t i = 0; i < rows; ++i) {
        Diag err;
        bool ok = rowValues(i, values, err);
        PGresult* result = nullptr;
        if (ok) {
            pointers.clear();
            for (auto& value : values)
                pointers.push_back(value ? value->c_str() : nullptr);
            result = conn->run(tr.sql, pointers, err, &tr);
            ok = result != nullptr;
        }
        if (ok) {
            rowCount += std::atoll(PQcmdTuples(result));
            PQclear(result);
            ++good;
        } else if (atomicArrays) {
            endAtomic(ownTransaction, false);
            return failAtomic(i, err);
        } else {
            err.row = static_cast<long>(i + 1);
            diags.push_back(err);
        }
        if (paramStatus)
            paramStatus[i] = ok ? SQL_PARAM_SUCCESS : SQL_PARAM_ERROR;
        arrived[i] = ok;
    }
    if (atomicArrays)
        endAtomic(ownTransaction, true);
    if (paramsProcessed)
        *paramsProcessed = rows;
    return substitutionWarnings(good == rows ? SQL_SUCCESS : good == 0 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO, &arrived);
}

namespace {
enum class BinaryWire { Text, Bytes, Date, None };

// How a column of this DB2 type travels in binary COPY: text and byte columns
// as they are, dates as days since 2000-01-01; anything else only as text.
BinaryWire binaryWire(Kind kind)
{
    switch (kind) {
    case Kind::VarChar:
    case Kind::LongVarChar:
    case Kind::Clob:
    case Kind::VarGraphic:
    case Kind::LongVarGraphic:
    case Kind::DbClob: return BinaryWire::Text;
    case Kind::Binary:
    case Kind::VarBinary:
    case Kind::LongVarBinary:
    case Kind::Blob: return BinaryWire::Bytes;
    case Kind::Date: return BinaryWire::Date;
    default: return BinaryWire::None;
    }
}

void putInt32(std::string& out, int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    const char b[4]
        = {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
    out.append(b, 4);
}

void putInt16(std::string& out, int16_t v)
{
    const uint16_t u = static_cast<uint16_t>(v);
    const char b[2] = {static_cast<char>(u >> 8), static_cast<char>(u)};
    out.append(b, 2);
}

// Days from 2000-01-01 to a 'yyyy-mm-dd' date (proleptic Gregorian calendar);
// a day that does not exist is refused as DB2 refuses it.
int32_t daysSince2000(const std::string& date)
{
    long y = std::atol(date.substr(0, 4).c_str());
    const long m = std::atol(date.substr(5, 2).c_str()), d = std::atol(date.substr(8, 2).c_str());
    static const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > monthDays[m - 1] + (m == 2 && leap))
        throw SqlError {
            serverError("22007", -181, "SQL0181N  The string representation of a datetime value is out of range.")};
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<int32_t>(era * 146097 + doe - 719468 - 10957);  // 1970-01-01, then 2000-01-01
}

void copyEscape(std::string& out, const char* run, size_t length)
{
    // Plain runs are appended whole; only the four special characters are rewritten.
    const char* end = run + length;
    for (const char* p = run; p < end; ++p) {
        const char* rep;
        switch (*p) {
        case '\\': rep = "\\\\"; break;
        case '\n': rep = "\\n"; break;
        case '\r': rep = "\\r"; break;
        case '\t': rep = "\\t"; break;
        default: continue;
        }
        out.append(run, p);
        out += rep;
        run = p + 1;
    }
    out.append(run, end);
}
}  // namespace

// Text bound as characters goes into a character column straight from the
// application's buffer when it fits; everything else takes the cast of rowValues.
bool Stmt::binaryCopyPossible() const
{
    if (tr.paramColumn.size() != static_cast<size_t>(tr.paramCount))
        return false;
    for (int col : tr.paramColumn)
        if (col < 0 || binaryWire(tr.columns[col].type.kind) == BinaryWire::None)
            return false;
    return true;
}

bool Stmt::appendCopyValue(size_t p, size_t row, std::string& out, std::string& scratch, Diag& err, bool binary)
{
    const ParamBinding& binding = params[p];
    const int col = p < tr.paramColumn.size() ? tr.paramColumn[p] : -1;
    if (binding.cType == SQL_C_CHAR && col >= 0 && binding.data && binding.ind
        && paramBindType == SQL_PARAM_BIND_BY_COLUMN) {
        const Kind kind = tr.columns[col].type.kind;
        const size_t offset = paramBindOffset ? *paramBindOffset : 0;
        const SQLLEN length = *reinterpret_cast<const SQLLEN*>(reinterpret_cast<const char*>(binding.ind) + offset
                                                               + sizeof(SQLLEN) * row);
        if (length == SQL_NULL_DATA) {
            if (binary)
                putInt32(out, -1);
            else
                out += "\\N";
            return true;
        }
        const bool plainText = kind == Kind::VarChar || kind == Kind::LongVarChar || kind == Kind::Clob;
        if (plainText && conn->appCodeset.empty() && conn->unicodeDatabase() && length >= 0
            && length <= tr.columns[col].type.length) {
            const char* text
                = static_cast<const char*>(binding.data) + offset + static_cast<size_t>(binding.bufLen) * row;
            try {
                checkDeclaredLength(p, text, static_cast<size_t>(length));
                refuseNulInText(text, static_cast<size_t>(length));
            } catch (const SqlError& error) {
                err = error.diag;
                return false;
            }
            if (binary) {
                putInt32(out, static_cast<int32_t>(length));
                out.append(text, static_cast<size_t>(length));
            } else {
                copyEscape(out, text, static_cast<size_t>(length));
            }
            return true;
        }
    }
    bool bad = false;
    std::optional<std::string> value = paramValue(p, row, err, bad);
    if (bad)
        return false;
    if (!value) {
        if (binary)
            putInt32(out, -1);
        else
            out += "\\N";
        return true;
    }
    if (binary) {
        try {
            checkDeclaredLength(p, value->data(), value->size());
            const TypeDesc& type = tr.columns[col].type;
            scratch = castForColumn(type, *value, tr.columns[col].name);  // validates: length, date syntax
            storeInDatabaseCodePage(scratch, type, row);
            switch (binaryWire(type.kind)) {
            case BinaryWire::Date:
                putInt32(out, 4);
                putInt32(out, daysSince2000(scratch));
                return true;
            case BinaryWire::Bytes:
                putInt32(out, static_cast<int32_t>(value->size()));
                out += *value;
                return true;
            default:
                putInt32(out, static_cast<int32_t>(scratch.size()));
                out += scratch;
                return true;
            }
        } catch (const SqlError& error) {
            err = error.diag;
            return false;
        }
    }
    try {
        checkDeclaredLength(p, value->data(), value->size());
        if (col >= 0 && isNumericC(binding.cType) && tr.columns[col].type.isNumeric() && finiteNumber(*value)) {
        } else if (col >= 0) {
            scratch = castForColumn(tr.columns[col].type, std::move(*value), tr.columns[col].name);
            storeInDatabaseCodePage(scratch, tr.columns[col].type, row);
            value = std::move(scratch);
        } else if (binding.cType == SQL_C_BINARY) {
            value = "\\x" + bytesToHex(*value);
        } else {
            refuseNulInText(value->data(), value->size());
        }
    } catch (const SqlError& error) {
        err = error.diag;
        return false;
    }
    copyEscape(out, value->data(), value->size());
    return true;
}

// Array INSERT in one round trip through COPY; when the server refuses the batch,
// the rows go again one by one to find the bad ones.
SQLRETURN Stmt::copyArray()
{
    size_t rows = paramsetSize;
    std::vector<char> arrived(rows, 1);
    std::vector<std::optional<std::string>> values;
    size_t diagsBefore = diags.size();
    std::string columnList;
    for (size_t p = 0; p < tr.paramColumn.size(); ++p)
        columnList += (p ? ", " : "") + quoteIdent(tr.columns[tr.paramColumn[p]].name);
    Diag err;
    bool ownTransaction = false;
    if (atomicArrays) {
        if (!beginAtomic(ownTransaction, err))
            return fail(err);
    } else if (!conn->beginIfNeeded(err)) {
        return fail(err);
    }
    bool ownSavepoint = !atomicArrays && conn->txnOpen;
    if (ownSavepoint)
        PQclear(conn->exec("SAVEPOINT db2copy"));
    std::optional<size_t> atomicBadRow;
    Diag atomicError;
    // Binary COPY where every column allows it: the server reads it with less work.
    const bool binary = binaryCopyPossible();
    PGresult* result
        = conn->exec("COPY " + tr.table + " (" + columnList + ") FROM STDIN" + (binary ? " WITH (FORMAT binary)" : ""));
    bool copying = PQresultStatus(result) == PGRES_COPY_IN;
    if (copying)
        PQclear(result);
    // Rows go out in chunks while the next ones are converted, so the server works meanwhile.
    std::string chunk;
    chunk.reserve(1 << 16);
    std::string scratch;
    if (binary) {
        chunk.append("PGCOPY\n\377\r\n\0", 11);
        putInt32(chunk, 0);  // flags
        putInt32(chunk, 0);  // header extension
    }
    for (size_t i = 0; i < rows; ++i) {
        Diag rowError;
        const size_t rowStart = chunk.size();
        bool rowOk = true;
        if (binary)
            putInt16(chunk, static_cast<int16_t>(tr.paramCount));
        for (size_t p = 0; rowOk && p < static_cast<size_t>(tr.paramCount); ++p) {
            if (p && !binary)
                chunk += '\t';
            rowOk = appendCopyValue(p, i, chunk, scratch, rowError, binary);
        }
        if (!rowOk && atomicArrays) {
            atomicBadRow = i;
            atomicError = rowError;
            break;
        }
        if (!rowOk) {
            chunk.resize(rowStart);
            arrived[i] = 0;
            rowError.row = static_cast<long>(i + 1);
            diags.push_back(rowError);
            continue;
        }
        if (!binary)
            chunk += '\n';
        if (copying && chunk.size() >= (1 << 16)) {
            PQputCopyData(conn->pg, chunk.data(), static_cast<int>(chunk.size()));
            chunk.clear();
        }
    }
    bool batchOk = copying;
    long long inserted = 0;
    if (copying) {
        if (binary)
            putInt16(chunk, -1);  // end of data
        if (!chunk.empty() && !atomicBadRow)
            PQputCopyData(conn->pg, chunk.data(), static_cast<int>(chunk.size()));
        PQputCopyEnd(conn->pg, atomicBadRow ? "row refused" : nullptr);
        result = PQgetResult(conn->pg);
        PGresult* extra;
        while ((extra = PQgetResult(conn->pg)) != nullptr)
            PQclear(extra);
    }
    batchOk = !resultFailed(result);
    if (batchOk)
        inserted = std::atoll(PQcmdTuples(result));
    if (atomicArrays && (atomicBadRow || !batchOk)) {
        // Which row the server refused is not known: the array fails as a whole.
        const Diag why = atomicBadRow ? atomicError : conn->mapError(result, &tr);
        PQclear(result);
        endAtomic(ownTransaction, false);
        return failAtomic(atomicBadRow.value_or(SIZE_MAX), why);
    }
    if (atomicArrays)
        endAtomic(ownTransaction, true);
    PQclear(result);
    if (ownSavepoint)
        PQclear(conn->exec(batchOk ? "RELEASE SAVEPOINT db2copy"
                                   : "ROLLBACK TO SAVEPOINT db2copy; RELEASE SAVEPOINT db2copy"));
    if (!batchOk) {
        inserted = 0;
        std::vector<const char*> pointers;
        for (size_t i = 0; i < rows; ++i) {
            if (!arrived[i])
                continue;
            Diag rowError;
            rowValues(i, values, rowError);
            pointers.clear();
            for (auto& value : values)
                pointers.push_back(value ? value->c_str() : nullptr);
            PGresult* result = conn->run(tr.sql, pointers, rowError, &tr);
            if (result) {
                inserted += std::atoll(PQcmdTuples(result));
                PQclear(result);
            } else {
                arrived[i] = 0;
                rowError.row = static_cast<long>(i + 1);
                diags.push_back(rowError);
            }
        }
    }
    // Row numbers in order, as the application reads them.
    std::stable_sort(diags.begin() + static_cast<long>(diagsBefore), diags.end(),
                     [](const Diag& a, const Diag& b) { return a.row < b.row; });
    rowCount = inserted;
    size_t good = 0;
    for (size_t i = 0; i < rows; ++i) {
        if (paramStatus)
            paramStatus[i] = arrived[i] ? SQL_PARAM_SUCCESS : SQL_PARAM_ERROR;
        good += arrived[i];
    }
    if (paramsProcessed)
        *paramsProcessed = rows;
    return substitutionWarnings(good == rows ? SQL_SUCCESS : good == 0 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO, &arrived);
}

}  // namespace db2standin
