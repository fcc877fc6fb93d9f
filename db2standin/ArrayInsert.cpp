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
    size_t n = paramsetSize;
    size_t good = 0;
    std::vector<char> arrived(n, 0);
    rowCount = 0;
    std::vector<std::optional<std::string>> vals;
    std::vector<const char*> ptrs;
    bool ownTransaction = false;
    if (Diag e; atomicArrays && !beginAtomic(ownTransaction, e))
        return fail(e);
    for (size_t i = 0; i < n; ++i) {
        Diag err;
        bool ok = rowValues(i, vals, err);
        PGresult* r = nullptr;
        if (ok) {
            ptrs.clear();
            for (auto& v : vals)
                ptrs.push_back(v ? v->c_str() : nullptr);
            r = conn->run(tr.sql, ptrs, err, &tr);
            ok = r != nullptr;
        }
        if (ok) {
            rowCount += std::atoll(PQcmdTuples(r));
            PQclear(r);
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
        *paramsProcessed = n;
    return substitutionWarnings(good == n ? SQL_SUCCESS : good == 0 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO, &arrived);
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
    case Kind::DbClob:
        return BinaryWire::Text;
    case Kind::Binary:
    case Kind::VarBinary:
    case Kind::LongVarBinary:
    case Kind::Blob:
        return BinaryWire::Bytes;
    case Kind::Date:
        return BinaryWire::Date;
    default:
        return BinaryWire::None;
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
        case '\\':
            rep = "\\\\";
            break;
        case '\n':
            rep = "\\n";
            break;
        case '\r':
            rep = "\\r";
            break;
        case '\t':
            rep = "\\t";
            break;
        default:
            continue;
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
    const ParamBinding& b = params[p];
    const int col = p < tr.paramColumn.size() ? tr.paramColumn[p] : -1;
    if (b.cType == SQL_C_CHAR && col >= 0 && b.data && b.ind && paramBindType == SQL_PARAM_BIND_BY_COLUMN) {
        const Kind kind = tr.columns[col].type.kind;
        const size_t off = paramBindOffset ? *paramBindOffset : 0;
        const SQLLEN len
            = *reinterpret_cast<const SQLLEN*>(reinterpret_cast<const char*>(b.ind) + off + sizeof(SQLLEN) * row);
        if (len == SQL_NULL_DATA) {
            if (binary)
                putInt32(out, -1);
            else
                out += "\\N";
            return true;
        }
        const bool plainText = kind == Kind::VarChar || kind == Kind::LongVarChar || kind == Kind::Clob;
        if (plainText && conn->appCodeset.empty() && conn->unicodeDatabase() && len >= 0
            && len <= tr.columns[col].type.length) {
            const char* text = static_cast<const char*>(b.data) + off + static_cast<size_t>(b.bufLen) * row;
            try {
                checkDeclaredLength(p, text, static_cast<size_t>(len));
                refuseNulInText(text, static_cast<size_t>(len));
            } catch (const SqlError& e) {
                err = e.diag;
                return false;
            }
            if (binary) {
                putInt32(out, static_cast<int32_t>(len));
                out.append(text, static_cast<size_t>(len));
            } else {
                copyEscape(out, text, static_cast<size_t>(len));
            }
            return true;
        }
    }
    bool bad = false;
    std::optional<std::string> v = paramValue(p, row, err, bad);
    if (bad)
        return false;
    if (!v) {
        if (binary)
            putInt32(out, -1);
        else
            out += "\\N";
        return true;
    }
    if (binary) {
        try {
            checkDeclaredLength(p, v->data(), v->size());
            const TypeDesc& type = tr.columns[col].type;
            scratch = castForColumn(type, *v, tr.columns[col].name);  // validates: length, date syntax
            storeInDatabaseCodePage(scratch, type, row);
            switch (binaryWire(type.kind)) {
            case BinaryWire::Date:
                putInt32(out, 4);
                putInt32(out, daysSince2000(scratch));
                return true;
            case BinaryWire::Bytes:
                putInt32(out, static_cast<int32_t>(v->size()));
                out += *v;
                return true;
            default:
                putInt32(out, static_cast<int32_t>(scratch.size()));
                out += scratch;
                return true;
            }
        } catch (const SqlError& e) {
            err = e.diag;
            return false;
        }
    }
    try {
        checkDeclaredLength(p, v->data(), v->size());
        if (col >= 0 && isNumericC(b.cType) && tr.columns[col].type.isNumeric() && finiteNumber(*v)) {
        } else if (col >= 0) {
            scratch = castForColumn(tr.columns[col].type, std::move(*v), tr.columns[col].name);
            storeInDatabaseCodePage(scratch, tr.columns[col].type, row);
            v = std::move(scratch);
        } else if (b.cType == SQL_C_BINARY) {
            v = "\\x" + bytesToHex(*v);
        } else {
            refuseNulInText(v->data(), v->size());
        }
    } catch (const SqlError& e) {
        err = e.diag;
        return false;
    }
    copyEscape(out, v->data(), v->size());
    return true;
}

// Array INSERT in one round trip through COPY; when the server refuses the batch,
// the rows go again one by one to find the bad ones.
SQLRETURN Stmt::copyArray()
{
    size_t n = paramsetSize;
    std::vector<char> ok(n, 1);
    std::vector<std::optional<std::string>> rv;
    size_t nDiag = diags.size();
    std::string collist;
    for (size_t p = 0; p < tr.paramColumn.size(); ++p)
        collist += (p ? ", " : "") + quoteIdent(tr.columns[tr.paramColumn[p]].name);
    Diag err;
    bool ownTransaction = false;
    if (atomicArrays) {
        if (!beginAtomic(ownTransaction, err))
            return fail(err);
    } else if (!conn->beginIfNeeded(err)) {
        return fail(err);
    }
    bool sp = !atomicArrays && conn->txnOpen;
    if (sp)
        PQclear(conn->exec("SAVEPOINT db2copy"));
    std::optional<size_t> atomicBadRow;
    Diag atomicError;
    // Binary COPY where every column allows it: the server reads it with less work.
    const bool binary = binaryCopyPossible();
    PGresult* r
        = conn->exec("COPY " + tr.table + " (" + collist + ") FROM STDIN" + (binary ? " WITH (FORMAT binary)" : ""));
    bool copying = PQresultStatus(r) == PGRES_COPY_IN;
    if (copying)
        PQclear(r);
    // Rows go out in chunks while the next ones are converted, so the server works meanwhile.
    std::string buf;
    buf.reserve(1 << 16);
    size_t sent = 0;
    std::string scratch;
    if (binary) {
        buf.append("PGCOPY\n\377\r\n\0", 11);
        putInt32(buf, 0);  // flags
        putInt32(buf, 0);  // header extension
    }
    for (size_t i = 0; i < n; ++i) {
        Diag e;
        const size_t rowStart = buf.size();
        bool rowOk = true;
        if (binary)
            putInt16(buf, static_cast<int16_t>(tr.paramCount));
        for (size_t p = 0; rowOk && p < static_cast<size_t>(tr.paramCount); ++p) {
            if (p && !binary)
                buf += '\t';
            rowOk = appendCopyValue(p, i, buf, scratch, e, binary);
        }
        if (!rowOk && atomicArrays) {
            atomicBadRow = i;
            atomicError = e;
            break;
        }
        if (!rowOk) {
            buf.resize(rowStart);
            ok[i] = 0;
            e.row = static_cast<long>(i + 1);
            diags.push_back(e);
            continue;
        }
        if (!binary)
            buf += '\n';
        ++sent;
        if (copying && buf.size() >= (1 << 16)) {
            PQputCopyData(conn->pg, buf.data(), static_cast<int>(buf.size()));
            buf.clear();
        }
    }
    bool batchOk = copying;
    long long inserted = 0;
    if (copying) {
        if (binary)
            putInt16(buf, -1);  // end of data
        if (!buf.empty() && !atomicBadRow)
            PQputCopyData(conn->pg, buf.data(), static_cast<int>(buf.size()));
        PQputCopyEnd(conn->pg, atomicBadRow ? "row refused" : nullptr);
        r = PQgetResult(conn->pg);
        PGresult* extra;
        while ((extra = PQgetResult(conn->pg)) != nullptr)
            PQclear(extra);
    }
    batchOk = !resultFailed(r);
    if (batchOk)
        inserted = std::atoll(PQcmdTuples(r));
    if (atomicArrays && (atomicBadRow || !batchOk)) {
        // Which row the server refused is not known: the array fails as a whole.
        const Diag why = atomicBadRow ? atomicError : conn->mapError(r, &tr);
        PQclear(r);
        endAtomic(ownTransaction, false);
        return failAtomic(atomicBadRow.value_or(SIZE_MAX), why);
    }
    if (atomicArrays)
        endAtomic(ownTransaction, true);
    PQclear(r);
    if (sp)
        PQclear(conn->exec(batchOk ? "RELEASE SAVEPOINT db2copy"
                                   : "ROLLBACK TO SAVEPOINT db2copy; RELEASE SAVEPOINT db2copy"));
    (void)sent;
    if (!batchOk) {
        inserted = 0;
        std::vector<const char*> ptrs;
        for (size_t i = 0; i < n; ++i) {
            if (!ok[i])
                continue;
            Diag e;
            rowValues(i, rv, e);
            ptrs.clear();
            for (auto& v : rv)
                ptrs.push_back(v ? v->c_str() : nullptr);
            PGresult* r = conn->run(tr.sql, ptrs, e, &tr);
            if (r) {
                inserted += std::atoll(PQcmdTuples(r));
                PQclear(r);
            } else {
                ok[i] = 0;
                e.row = static_cast<long>(i + 1);
                diags.push_back(e);
            }
        }
    }
    // Row numbers in order, as the application reads them.
    std::stable_sort(diags.begin() + static_cast<long>(nDiag), diags.end(),
                     [](const Diag& a, const Diag& b) { return a.row < b.row; });
    rowCount = inserted;
    size_t good = 0;
    for (size_t i = 0; i < n; ++i) {
        if (paramStatus)
            paramStatus[i] = ok[i] ? SQL_PARAM_SUCCESS : SQL_PARAM_ERROR;
        good += ok[i];
    }
    if (paramsProcessed)
        *paramsProcessed = n;
    return substitutionWarnings(good == n ? SQL_SUCCESS : good == 0 ? SQL_ERROR : SQL_SUCCESS_WITH_INFO, &ok);
}

}  // namespace db2standin
