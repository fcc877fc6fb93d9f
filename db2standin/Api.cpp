// ODBC entry points, narrow (UTF-8) and wide (UTF-16).
#include "Driver.h"

#include <sqlucode.h>

#include <cstring>

using namespace db2standin;

namespace db2standin {

std::string utf16ToUtf8(const SQLWCHAR* s, long long units)
{
    std::string out;
    if (!s)
        return out;
    if (units < 0) {
        units = 0;
        while (s[units])
            ++units;
    }
    out.reserve(static_cast<size_t>(units));
    long long ascii = 0;  // the common case: a run of ASCII copied in one go
    while (ascii < units && s[ascii] < 0x80)
        ++ascii;
    out.resize(static_cast<size_t>(ascii));
    char* to = out.data();
    for (long long i = 0; i < ascii; ++i)
        to[i] = static_cast<char>(s[i]);
    for (long long i = ascii; i < units; ++i) {
        unsigned cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80)
            out += static_cast<char>(cp);
        else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

namespace {
// Calls put(unit) for each UTF-16 code unit of UTF-8 text.
template <class Put> void forEachUtf16Unit(const char* s, size_t n, Put put)
{
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        unsigned cp;
        size_t extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            cp = 0xFFFD;
            extra = 0;
        }
        ++i;
        for (size_t k = 0; k < extra && i < n; ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
}
}  // namespace

std::u16string utf8ToUtf16(const std::string& s)
{
    std::u16string out;
    out.reserve(s.size());
    forEachUtf16Unit(s.data(), s.size(), [&](char16_t unit) { out += unit; });
    return out;
}

// The same as the bytes an SQL_C_WCHAR buffer holds.
std::string utf8ToUtf16Bytes(const char* s, size_t n)
{
    std::string out;
    out.reserve(2 * n);
    forEachUtf16Unit(s, n, [&](char16_t unit) { out.append(reinterpret_cast<const char*>(&unit), sizeof unit); });
    return out;
}

}  // namespace db2standin

namespace {

std::string narrow(const SQLCHAR* s, long long len)
{
    if (!s)
        return "";
    if (len == SQL_NTS || len < 0)
        return reinterpret_cast<const char*>(s);
    return std::string(reinterpret_cast<const char*>(s), static_cast<size_t>(len));
}

std::string wide(const SQLWCHAR* s, long long len) { return utf16ToUtf8(s, len == SQL_NTS ? -1 : len); }

// Copies text into a narrow buffer of bufBytes; reports the full length. true when cut.
template <typename L> bool putA(const std::string& v, SQLPOINTER buf, long long bufBytes, L* outLen)
{
    if (outLen)
        *outLen = static_cast<L>(v.size());
    if (!buf || bufBytes <= 0)
        return !v.empty();
    size_t n = std::min(v.size(), static_cast<size_t>(bufBytes - 1));
    std::memcpy(buf, v.data(), n);
    static_cast<char*>(buf)[n] = 0;
    return n < v.size();
}

// Same for a wide buffer of bufChars characters; lengths in characters (or bytes when inBytes).
template <typename L>
bool putW(const std::string& v, SQLPOINTER buf, long long bufChars, L* outLen, bool inBytes = false)
{
    std::u16string w = utf8ToUtf16(v);
    if (outLen)
        *outLen = static_cast<L>(inBytes ? w.size() * 2 : w.size());
    if (!buf || bufChars <= 0)
        return !w.empty();
    size_t n = std::min(w.size(), static_cast<size_t>(bufChars - 1));
    std::memcpy(buf, w.data(), n * 2);
    static_cast<SQLWCHAR*>(buf)[n] = 0;
    return n < w.size();
}

Diag truncated() { return clientError("01004", 0, "CLI0002W  Data truncated. SQLSTATE=01004"); }

template <typename H> H* check(SQLHANDLE h, SQLSMALLINT type)
{
    auto* b = static_cast<HandleBase*>(h);
    if (!b || b->handleType != type)
        return nullptr;
    return static_cast<H*>(b);
}

#define ENV_OR_INVALID(h)                                                                                              \
    Env* env = check<Env>(h, SQL_HANDLE_ENV);                                                                          \
    if (!env)                                                                                                          \
        return SQL_INVALID_HANDLE;                                                                                     \
    env->diags.clear()
#define DBC_OR_INVALID(h)                                                                                              \
    Conn* dbc = check<Conn>(h, SQL_HANDLE_DBC);                                                                        \
    if (!dbc)                                                                                                          \
        return SQL_INVALID_HANDLE;                                                                                     \
    std::lock_guard<std::recursive_mutex> lock(dbc->mutex);                                                            \
    dbc->diags.clear()
#define STMT_OR_INVALID(h)                                                                                             \
    Stmt* stmt = check<Stmt>(h, SQL_HANDLE_STMT);                                                                      \
    if (!stmt)                                                                                                         \
        return SQL_INVALID_HANDLE;                                                                                     \
    std::lock_guard<std::recursive_mutex> lock(stmt->conn->mutex);                                                     \
    stmt->diags.clear()

Diag notConnected() { return clientError("08003", -99999, "CLI0106E  Connection is closed. SQLSTATE=08003"); }

// -------------------------------------------------------------- shared bodies

SQLRETURN connectCommon(Conn* dbc, const std::string& cs)
{
    if (dbc->pg)
        return dbc->fail(clientError("08002", -99999, "CLI0118E  Connection name in use. SQLSTATE=08002"));
    return dbc->connect(cs);
}

struct InfoValue {
    bool isString = false;
    std::string s;
    SQLUINTEGER u = 0;
    bool isShort = false;
};

bool infoValue(Conn* dbc, SQLUSMALLINT type, InfoValue& v)
{
    auto str = [&](const std::string& x) {
        v.isString = true;
        v.s = x;
        return true;
    };
    auto u32 = [&](SQLUINTEGER x) {
        v.u = x;
        return true;
    };
    auto u16 = [&](SQLUSMALLINT x) {
        v.u = x;
        v.isShort = true;
        return true;
    };
    switch (type) {
    case SQL_DRIVER_ODBC_VER: return str("03.51");
    case SQL_ODBC_VER: return str("03.51.0000");
    case SQL_DBMS_NAME: return str("DB2/LINUXX8664");
    case SQL_DBMS_VER: return str("11.05.0900");
    case SQL_DRIVER_NAME: return str("libdb2o.so");
    case SQL_DRIVER_VER: return str("11.05.0900");
    case SQL_SERVER_NAME: return str("DB2");
    case SQL_DATABASE_NAME: return str(upperAscii(dbc->database));
    case SQL_DATA_SOURCE_NAME: return str(upperAscii(dbc->database));
    case SQL_USER_NAME: return str(upperAscii(dbc->user));
    case SQL_IDENTIFIER_QUOTE_CHAR: return str("\"");
    case SQL_CATALOG_NAME_SEPARATOR: return str(".");
    case SQL_CATALOG_TERM: return str("");
    case SQL_CATALOG_NAME: return str("N");
    case SQL_SCHEMA_TERM: return str("schema");
    case SQL_TABLE_TERM: return str("table");
    case SQL_PROCEDURE_TERM: return str("stored procedure");
    case SQL_SEARCH_PATTERN_ESCAPE: return str("\\");
    case SQL_SPECIAL_CHARACTERS: return str("@#");
    case SQL_DATA_SOURCE_READ_ONLY: return str("N");
    case SQL_ACCESSIBLE_TABLES: return str("N");
    case SQL_ACCESSIBLE_PROCEDURES: return str("N");
    case SQL_COLUMN_ALIAS: return str("Y");
    case SQL_EXPRESSIONS_IN_ORDERBY: return str("Y");
    case SQL_LIKE_ESCAPE_CLAUSE: return str("Y");
    case SQL_MULT_RESULT_SETS: return str("Y");
    case SQL_MULTIPLE_ACTIVE_TXN: return str("Y");
    case SQL_NEED_LONG_DATA_LEN: return str("N");
    case SQL_ORDER_BY_COLUMNS_IN_SELECT: return str("N");
    case SQL_OUTER_JOINS: return str("Y");
    case SQL_PROCEDURES: return str("Y");
    case SQL_ROW_UPDATES: return str("N");
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG: return str("N");
    case SQL_INTEGRITY: return str("Y");
    case SQL_KEYWORDS: return str("");
    case SQL_XOPEN_CLI_YEAR: return str("1995");
    case SQL_COLLATION_SEQ: return str("");
    case SQL_DESCRIBE_PARAMETER: return str("Y");
    case SQL_IDENTIFIER_CASE: return u16(SQL_IC_UPPER);
    case SQL_QUOTED_IDENTIFIER_CASE: return u16(SQL_IC_SENSITIVE);
    // The names PostgreSQL underneath keeps whole (DB2 itself takes 128 bytes).
    case SQL_MAX_IDENTIFIER_LEN:
    case SQL_MAX_COLUMN_NAME_LEN:
    case SQL_MAX_TABLE_NAME_LEN:
    case SQL_MAX_SCHEMA_NAME_LEN: return u16(63);
    case SQL_MAX_CURSOR_NAME_LEN:
    case SQL_MAX_USER_NAME_LEN: return u16(128);
    case SQL_MAX_CATALOG_NAME_LEN: return u16(0);
    case SQL_MAX_COLUMNS_IN_TABLE:
    case SQL_MAX_COLUMNS_IN_SELECT: return u16(1012);
    case SQL_MAX_DRIVER_CONNECTIONS:
    case SQL_MAX_CONCURRENT_ACTIVITIES: return u16(0);
    case SQL_TXN_CAPABLE: return u16(SQL_TC_ALL);
    // Ending a transaction closes open cursors; prepared statements stay usable.
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR: return u16(SQL_CB_CLOSE);
    case SQL_CONCAT_NULL_BEHAVIOR: return u16(SQL_CB_NULL);
    case SQL_NULL_COLLATION: return u16(SQL_NC_HIGH);
    case SQL_GROUP_BY: return u16(SQL_GB_GROUP_BY_CONTAINS_SELECT);
    case SQL_CORRELATION_NAME: return u16(SQL_CN_ANY);
    case SQL_NON_NULLABLE_COLUMNS: return u16(SQL_NNC_NON_NULL);
    case SQL_CATALOG_LOCATION: return u16(0);
    case SQL_FILE_USAGE: return u16(SQL_FILE_NOT_SUPPORTED);
    case SQL_TXN_ISOLATION_OPTION:
        return u32(SQL_TXN_READ_UNCOMMITTED | SQL_TXN_READ_COMMITTED | SQL_TXN_REPEATABLE_READ | SQL_TXN_SERIALIZABLE);
    case SQL_DEFAULT_TXN_ISOLATION: return u32(SQL_TXN_READ_COMMITTED);
    case SQL_GETDATA_EXTENSIONS: return u32(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND);
    case SQL_SCROLL_OPTIONS: return u32(SQL_SO_FORWARD_ONLY);
    case SQL_SCROLL_CONCURRENCY: return u32(SQL_SCCO_READ_ONLY);
    case SQL_ODBC_INTERFACE_CONFORMANCE: return u32(SQL_OIC_CORE);
    case SQL_ODBC_API_CONFORMANCE: return u16(SQL_OAC_LEVEL1);
    case SQL_ODBC_SQL_CONFORMANCE: return u16(SQL_OSC_CORE);
    case SQL_SQL_CONFORMANCE: return u32(SQL_SC_SQL92_ENTRY);
    case SQL_PARAM_ARRAY_ROW_COUNTS: return u32(SQL_PARC_BATCH);
    case SQL_PARAM_ARRAY_SELECTS: return u32(SQL_PAS_NO_SELECT);
    case SQL_ASYNC_MODE: return u32(SQL_AM_NONE);
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS: return u32(0);
    case SQL_BATCH_SUPPORT: return u32(0);
    case SQL_BATCH_ROW_COUNT: return u32(0);
    case SQL_SCHEMA_USAGE: return u32(SQL_SU_DML_STATEMENTS | SQL_SU_TABLE_DEFINITION | SQL_SU_PRIVILEGE_DEFINITION);
    case SQL_CATALOG_USAGE: return u32(0);
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2:
    case SQL_STATIC_CURSOR_ATTRIBUTES2: return u32(0);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: return u32(SQL_CA1_NEXT);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2: return u32(SQL_CA2_READ_ONLY_CONCURRENCY);
    case SQL_CURSOR_SENSITIVITY: return u32(SQL_INSENSITIVE);
    case SQL_POS_OPERATIONS:
    case SQL_POSITIONED_STATEMENTS:
    case SQL_LOCK_TYPES:
    case SQL_STATIC_SENSITIVITY: return u32(0);
    case SQL_BOOKMARK_PERSISTENCE: return u32(0);
    case SQL_TXN_ISOLATION: return u32(SQL_TXN_READ_COMMITTED);
    case SQL_MAX_STATEMENT_LEN:
    case SQL_MAX_ROW_SIZE: return u32(2097152);
    case SQL_MAX_BINARY_LITERAL_LEN: return u32(32672);
    case SQL_MAX_INDEX_SIZE: return u32(1024);
    case SQL_MAX_TABLES_IN_SELECT: return u16(0);
    case SQL_MAX_COLUMNS_IN_GROUP_BY:
    case SQL_MAX_COLUMNS_IN_INDEX:
    case SQL_MAX_COLUMNS_IN_ORDER_BY: return u16(0);
    case SQL_MAX_PROCEDURE_NAME_LEN: return u16(128);
    case SQL_CONVERT_FUNCTIONS: return u32(SQL_FN_CVT_CAST);
    case SQL_NUMERIC_FUNCTIONS:
    case SQL_STRING_FUNCTIONS:
    case SQL_SYSTEM_FUNCTIONS:
    case SQL_TIMEDATE_FUNCTIONS:
    case SQL_TIMEDATE_ADD_INTERVALS:
    case SQL_TIMEDATE_DIFF_INTERVALS: return u32(0);
    case SQL_OJ_CAPABILITIES:
        return u32(SQL_OJ_LEFT | SQL_OJ_RIGHT | SQL_OJ_FULL | SQL_OJ_NESTED | SQL_OJ_NOT_ORDERED | SQL_OJ_INNER
                   | SQL_OJ_ALL_COMPARISON_OPS);
    case SQL_SUBQUERIES:
        return u32(SQL_SQ_CORRELATED_SUBQUERIES | SQL_SQ_COMPARISON | SQL_SQ_EXISTS | SQL_SQ_IN | SQL_SQ_QUANTIFIED);
    case SQL_UNION: return u32(SQL_U_UNION | SQL_U_UNION_ALL);
    case SQL_ALTER_TABLE: return u32(SQL_AT_ADD_COLUMN);
    case SQL_CREATE_TABLE: return u32(SQL_CT_CREATE_TABLE | SQL_CT_COLUMN_DEFAULT | SQL_CT_COLUMN_CONSTRAINT);
    case SQL_CREATE_VIEW: return u32(SQL_CV_CREATE_VIEW);
    case SQL_DROP_TABLE: return u32(SQL_DT_DROP_TABLE);
    case SQL_DROP_VIEW: return u32(SQL_DV_DROP_VIEW);
    case SQL_INSERT_STATEMENT: return u32(SQL_IS_INSERT_LITERALS | SQL_IS_INSERT_SEARCHED);
    case SQL_DATETIME_LITERALS: return u32(SQL_DL_SQL92_DATE | SQL_DL_SQL92_TIME | SQL_DL_SQL92_TIMESTAMP);
    case SQL_AGGREGATE_FUNCTIONS:
        return u32(SQL_AF_ALL | SQL_AF_AVG | SQL_AF_COUNT | SQL_AF_DISTINCT | SQL_AF_MAX | SQL_AF_MIN | SQL_AF_SUM);
    case SQL_INFO_SCHEMA_VIEWS: return u32(0);
    case SQL_STANDARD_CLI_CONFORMANCE: return u32(SQL_SCC_XOPEN_CLI_VERSION1);
    case SQL_CONVERT_BIGINT:
    case SQL_CONVERT_BINARY:
    case SQL_CONVERT_BIT:
    case SQL_CONVERT_CHAR:
    case SQL_CONVERT_DATE:
    case SQL_CONVERT_DECIMAL:
    case SQL_CONVERT_DOUBLE:
    case SQL_CONVERT_FLOAT:
    case SQL_CONVERT_INTEGER:
    case SQL_CONVERT_LONGVARBINARY:
    case SQL_CONVERT_LONGVARCHAR:
    case SQL_CONVERT_NUMERIC:
    case SQL_CONVERT_REAL:
    case SQL_CONVERT_SMALLINT:
    case SQL_CONVERT_TIME:
    case SQL_CONVERT_TIMESTAMP:
    case SQL_CONVERT_TINYINT:
    case SQL_CONVERT_VARBINARY:
    case SQL_CONVERT_VARCHAR:
    case SQL_CONVERT_WCHAR:
    case SQL_CONVERT_WLONGVARCHAR:
    case SQL_CONVERT_WVARCHAR: return u32(0);
    case SQL_ACTIVE_ENVIRONMENTS: return u16(0);
    case SQL_DRIVER_HDESC:
    case SQL_DRIVER_HSTMT:
    case SQL_DRIVER_HDBC:
    case SQL_DRIVER_HENV: return u32(0);
    default: return false;
    }
}

SQLRETURN getInfo(Conn* dbc, SQLUSMALLINT type, SQLPOINTER buf, SQLSMALLINT bufLen, SQLSMALLINT* outLen, bool w)
{
    InfoValue v;
    if (!infoValue(dbc, type, v))
        return dbc->fail(clientError("HY096", -99999, "CLI0133E  Option type out of range. SQLSTATE=HY096"));
    if (v.isString) {
        bool cut = w ? putW(v.s, buf, bufLen / 2, outLen, true) : putA(v.s, buf, bufLen, outLen);
        return cut && buf ? dbc->warn(truncated()) : SQL_SUCCESS;
    }
    if (v.isShort) {
        if (buf)
            *static_cast<SQLUSMALLINT*>(buf) = static_cast<SQLUSMALLINT>(v.u);
        if (outLen)
            *outLen = sizeof(SQLUSMALLINT);
    } else {
        if (buf)
            *static_cast<SQLUINTEGER*>(buf) = v.u;
        if (outLen)
            *outLen = sizeof(SQLUINTEGER);
    }
    return SQL_SUCCESS;
}

SQLRETURN setConnectAttr(Conn* dbc, SQLINTEGER attr, SQLPOINTER value)
{
    switch (attr) {
    case SQL_ATTR_AUTOCOMMIT: {
        bool on = reinterpret_cast<SQLULEN>(value) == SQL_AUTOCOMMIT_ON;
        if (on && !dbc->autocommit && dbc->txnOpen && dbc->pg) {
            // Switching autocommit on commits the unit of work.
            PQclear(dbc->exec("COMMIT"));
            dbc->txnOpen = false;
            dbc->openCursors = 0;
        }
        dbc->autocommit = on;
        return SQL_SUCCESS;
    }
    case SQL_ATTR_LOGIN_TIMEOUT:
        dbc->loginTimeout = static_cast<SQLUINTEGER>(reinterpret_cast<SQLULEN>(value));
        return SQL_SUCCESS;
    case kAttrLongDataCompat: dbc->longDataCompat = reinterpret_cast<SQLULEN>(value) != 0; return SQL_SUCCESS;
    default: return SQL_SUCCESS;
    }
}

SQLRETURN getConnectAttr(Conn* dbc, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER bufLen, SQLINTEGER* outLen, bool w)
{
    SQLUINTEGER v = 0;
    switch (attr) {
    case SQL_ATTR_AUTOCOMMIT: v = dbc->autocommit ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF; break;
    case SQL_ATTR_LOGIN_TIMEOUT: v = dbc->loginTimeout; break;
    case SQL_ATTR_CONNECTION_DEAD:
        v = dbc->pg && PQstatus(dbc->pg) == CONNECTION_OK ? SQL_CD_FALSE : SQL_CD_TRUE;
        break;
    case SQL_ATTR_TXN_ISOLATION: v = SQL_TXN_READ_COMMITTED; break;
    case SQL_ATTR_ACCESS_MODE: v = SQL_MODE_READ_WRITE; break;
    case SQL_ATTR_CONNECTION_TIMEOUT: v = 0; break;
    case SQL_ATTR_CURRENT_CATALOG: {
        std::string s = upperAscii(dbc->database);
        bool cut = w ? putW(s, value, bufLen / 2, outLen, true) : putA(s, value, bufLen, outLen);
        return cut && value ? dbc->warn(truncated()) : SQL_SUCCESS;
    }
    default: v = 0; break;
    }
    if (value)
        *static_cast<SQLUINTEGER*>(value) = v;
    if (outLen)
        *outLen = sizeof(SQLUINTEGER);
    return SQL_SUCCESS;
}

SQLRETURN setStmtAttr(Stmt* s, SQLINTEGER attr, SQLPOINTER value)
{
    SQLULEN v = reinterpret_cast<SQLULEN>(value);
    switch (attr) {
    case SQL_ATTR_PARAMSET_SIZE:
        // IBM's CLI takes arrays of at most 32,767 rows.
        if (v > 32767)
            return s->fail(clientError("HY024", -99999, "CLI0191E  Invalid attribute value. SQLSTATE=HY024"));
        if (v == 0)
            v = 1;
        s->paramsetSize = v;
        break;
    case SQL_ATTR_PARAM_STATUS_PTR: s->paramStatus = static_cast<SQLUSMALLINT*>(value); break;
    case SQL_ATTR_PARAMS_PROCESSED_PTR: s->paramsProcessed = static_cast<SQLULEN*>(value); break;
    case SQL_ATTR_PARAM_BIND_TYPE: s->paramBindType = v; break;
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR: s->paramBindOffset = static_cast<SQLULEN*>(value); break;
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ROWSET_SIZE:
        if (v == 0)
            v = 1;
        s->rowArraySize = v;
        break;
    case SQL_ATTR_ROW_BIND_TYPE: s->rowBindType = v; break;
    case SQL_ATTR_ROWS_FETCHED_PTR: s->rowsFetched = static_cast<SQLULEN*>(value); break;
    case SQL_ATTR_ROW_STATUS_PTR: s->rowStatus = static_cast<SQLUSMALLINT*>(value); break;
    case SQL_ATTR_ROW_BIND_OFFSET_PTR: s->rowBindOffset = static_cast<SQLULEN*>(value); break;
    case SQL_ATTR_QUERY_TIMEOUT: s->queryTimeout = v; break;
    case SQL_ATTR_CURSOR_TYPE: s->cursorType = v; break;
    case SQL_ATTR_CONCURRENCY: s->concurrency = v; break;
    case SQL_ATTR_MAX_ROWS: s->maxRows = v; break;
    case SQL_ATTR_MAX_LENGTH: s->maxLength = v; break;
    case SQL_ATTR_NOSCAN: s->noscan = v; break;
    case SQL_ATTR_RETRIEVE_DATA: s->retrieveData = v; break;
    case SQL_ATTR_CURSOR_SCROLLABLE: s->cursorScrollable = v; break;
    case kAttrParamoptAtomic: s->atomicArrays = v != 0; break;
    default: break;
    }
    return SQL_SUCCESS;
}

SQLRETURN getStmtAttr(Stmt* s, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER* outLen)
{
    SQLULEN v = 0;
    switch (attr) {
    case SQL_ATTR_PARAMSET_SIZE: v = s->paramsetSize; break;
    case kAttrParamoptAtomic: v = s->atomicArrays ? 1 : 0; break;
    case SQL_ATTR_PARAM_STATUS_PTR: v = reinterpret_cast<SQLULEN>(s->paramStatus); break;
    case SQL_ATTR_PARAMS_PROCESSED_PTR: v = reinterpret_cast<SQLULEN>(s->paramsProcessed); break;
    case SQL_ATTR_PARAM_BIND_TYPE: v = s->paramBindType; break;
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR: v = reinterpret_cast<SQLULEN>(s->paramBindOffset); break;
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ROWSET_SIZE: v = s->rowArraySize; break;
    case SQL_ATTR_ROW_BIND_TYPE: v = s->rowBindType; break;
    case SQL_ATTR_ROWS_FETCHED_PTR: v = reinterpret_cast<SQLULEN>(s->rowsFetched); break;
    case SQL_ATTR_ROW_STATUS_PTR: v = reinterpret_cast<SQLULEN>(s->rowStatus); break;
    case SQL_ATTR_ROW_BIND_OFFSET_PTR: v = reinterpret_cast<SQLULEN>(s->rowBindOffset); break;
    case SQL_ATTR_QUERY_TIMEOUT: v = s->queryTimeout; break;
    case SQL_ATTR_CURSOR_TYPE: v = s->cursorType; break;
    case SQL_ATTR_CONCURRENCY: v = s->concurrency; break;
    case SQL_ATTR_MAX_ROWS: v = s->maxRows; break;
    case SQL_ATTR_MAX_LENGTH: v = s->maxLength; break;
    case SQL_ATTR_NOSCAN: v = s->noscan; break;
    case SQL_ATTR_RETRIEVE_DATA: v = s->retrieveData; break;
    case SQL_ATTR_CURSOR_SCROLLABLE: v = s->cursorScrollable; break;
    case SQL_ATTR_CURSOR_SENSITIVITY: v = SQL_INSENSITIVE; break;
    case SQL_ATTR_ROW_NUMBER: v = s->hasResult ? static_cast<SQLULEN>(s->row + 1) : 0; break;
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
    case SQL_ATTR_IMP_ROW_DESC:
    case SQL_ATTR_IMP_PARAM_DESC:
        // Descriptors are not offered; a stable non-null handle keeps driver managers content.
        v = reinterpret_cast<SQLULEN>(s) + static_cast<SQLULEN>(attr - SQL_ATTR_APP_ROW_DESC + 1);
        break;
    default: break;
    }
    if (value)
        std::memcpy(value, &v, sizeof v);
    if (outLen)
        *outLen = sizeof v;
    return SQL_SUCCESS;
}

SQLRETURN describeCol(Stmt* s, SQLUSMALLINT col, SQLPOINTER name, SQLSMALLINT nameLen, SQLSMALLINT* nameOut,
                      SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable, bool w)
{
    if (!s->hasResult)
        return s->fail(clientError("07005", -99999, "CLI0125E  Prepared statement is not a query. SQLSTATE=07005"));
    if (col < 1 || col > s->columns.size())
        return s->fail(clientError("07009", -99999, "CLI0125E  Invalid column number. SQLSTATE=07009"));
    const ResultColumn& c = s->columns[col - 1];
    bool cut = w ? putW(c.name, name, nameLen, nameOut) : putA(c.name, name, nameLen, nameOut);
    if (type)
        *type = odbcType(c.type, w);
    if (size)
        *size = columnSize(c.type);
    if (digits)
        *digits = decimalDigits(c.type);
    if (nullable)
        *nullable = c.nullable;
    return cut && name ? s->warn(truncated()) : SQL_SUCCESS;
}

SQLRETURN colAttribute(Stmt* s, SQLUSMALLINT col, SQLUSMALLINT field, SQLPOINTER buf, SQLSMALLINT bufLen,
                       SQLSMALLINT* outLen, SQLLEN* num, bool w)
{
    if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
        if (num)
            *num = static_cast<SQLLEN>(s->columns.size());
        return SQL_SUCCESS;
    }
    if (!s->hasResult)
        return s->fail(clientError("07005", -99999, "CLI0125E  Prepared statement is not a query. SQLSTATE=07005"));
    if (col < 1 || col > s->columns.size())
        return s->fail(clientError("07009", -99999, "CLI0125E  Invalid column number. SQLSTATE=07009"));
    const ResultColumn& c = s->columns[col - 1];
    const TypeDesc& t = c.type;
    auto text = [&](const std::string& v) {
        bool cut = w ? putW(v, buf, bufLen / 2, outLen, true) : putA(v, buf, bufLen, outLen);
        return cut && buf ? s->warn(truncated()) : SQL_SUCCESS;
    };
    SQLLEN n = 0;
    short ot = odbcType(t, w);
    switch (field) {
    case SQL_DESC_NAME:
    case SQL_DESC_LABEL:
    case SQL_COLUMN_NAME:
    case SQL_DESC_BASE_COLUMN_NAME: return text(c.name);
    case SQL_DESC_TYPE_NAME: return text(db2TypeName(t));
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME:
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME: return text("");
    case SQL_DESC_LITERAL_PREFIX:
    case SQL_DESC_LITERAL_SUFFIX:
        return text(t.isText() ? "'" : t.isBinary() ? (field == SQL_DESC_LITERAL_PREFIX ? "X'" : "'") : "");
    case SQL_DESC_LOCAL_TYPE_NAME: return text("");
    case SQL_DESC_TYPE: n = (ot == 91 || ot == 92 || ot == 93) ? SQL_DATETIME : ot; break;
    case SQL_DESC_CONCISE_TYPE: n = ot; break;
    case SQL_DESC_DATETIME_INTERVAL_CODE:
        n = ot == 91 ? SQL_CODE_DATE : ot == 92 ? SQL_CODE_TIME : ot == 93 ? SQL_CODE_TIMESTAMP : 0;
        break;
    case SQL_DESC_LENGTH:
    case SQL_DESC_PRECISION:
    case SQL_COLUMN_PRECISION:
        n = static_cast<SQLLEN>(columnSize(t));
        if (field != SQL_DESC_LENGTH && (t.kind == Kind::Timestamp))
            n = t.scale;
        break;
    case SQL_COLUMN_LENGTH:
    case SQL_DESC_OCTET_LENGTH: n = octetLength(t); break;
    case SQL_DESC_SCALE:
    case SQL_COLUMN_SCALE: n = decimalDigits(t); break;
    case SQL_DESC_DISPLAY_SIZE: n = displaySize(t); break;
    case SQL_DESC_UNSIGNED: n = t.isNumeric() ? SQL_FALSE : SQL_TRUE; break;
    case SQL_DESC_NULLABLE:
    case SQL_COLUMN_NULLABLE: n = c.nullable; break;
    case SQL_DESC_NUM_PREC_RADIX:
        n = (t.kind == Kind::Real || t.kind == Kind::Double) ? 2 : t.isNumeric() ? 10 : 0;
        break;
    case SQL_DESC_FIXED_PREC_SCALE:
        n = (t.kind == Kind::Decimal || t.kind == Kind::Numeric) ? SQL_TRUE : SQL_FALSE;
        break;
    case SQL_DESC_CASE_SENSITIVE: n = t.isText() ? SQL_TRUE : SQL_FALSE; break;
    case SQL_DESC_SEARCHABLE: n = SQL_PRED_SEARCHABLE; break;
    case SQL_DESC_UPDATABLE: n = SQL_ATTR_READWRITE_UNKNOWN; break;
    case SQL_DESC_AUTO_UNIQUE_VALUE: n = SQL_FALSE; break;
    case SQL_DESC_UNNAMED: n = SQL_NAMED; break;
    default: n = 0; break;
    }
    if (num)
        *num = n;
    return SQL_SUCCESS;
}

SQLRETURN getDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, std::string* state, SQLINTEGER* native,
                     std::string* msg)
{
    auto* b = static_cast<HandleBase*>(h);
    if (!b || b->handleType != type)
        return SQL_INVALID_HANDLE;
    if (rec < 1)
        return SQL_ERROR;
    if (static_cast<size_t>(rec) > b->diags.size())
        return SQL_NO_DATA;
    const Diag& d = b->diags[rec - 1];
    *state = d.state;
    if (native)
        *native = d.native;
    *msg = d.message;
    return SQL_SUCCESS;
}

SQLRETURN getDiagField(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER info,
                       SQLSMALLINT bufLen, SQLSMALLINT* outLen, bool w)
{
    auto* b = static_cast<HandleBase*>(h);
    if (!b || b->handleType != type)
        return SQL_INVALID_HANDLE;
    auto text = [&](const std::string& v) {
        bool cut = w ? putW(v, info, bufLen / 2, outLen, true) : putA(v, info, bufLen, outLen);
        return cut && info ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
    };
    if (rec == 0) {
        switch (id) {
        case SQL_DIAG_NUMBER:
            if (info)
                *static_cast<SQLINTEGER*>(info) = static_cast<SQLINTEGER>(b->diags.size());
            return SQL_SUCCESS;
        case SQL_DIAG_RETURNCODE:
            if (info)
                *static_cast<SQLRETURN*>(info) = b->diags.empty() ? SQL_SUCCESS : SQL_ERROR;
            return SQL_SUCCESS;
        case SQL_DIAG_ROW_COUNT:
            if (type != SQL_HANDLE_STMT)
                return SQL_ERROR;
            if (info)
                *static_cast<SQLLEN*>(info) = static_cast<Stmt*>(b)->rowCount;
            return SQL_SUCCESS;
        case SQL_DIAG_CURSOR_ROW_COUNT:
            if (info)
                *static_cast<SQLLEN*>(info) = -1;
            return SQL_SUCCESS;
        case SQL_DIAG_DYNAMIC_FUNCTION: return text("");
        case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
            if (info)
                *static_cast<SQLINTEGER*>(info) = SQL_DIAG_UNKNOWN_STATEMENT;
            return SQL_SUCCESS;
        default: return SQL_ERROR;
        }
    }
    if (static_cast<size_t>(rec) > b->diags.size())
        return SQL_NO_DATA;
    const Diag& d = b->diags[rec - 1];
    switch (id) {
    case SQL_DIAG_SQLSTATE: return text(d.state);
    case SQL_DIAG_NATIVE:
        if (info)
            *static_cast<SQLINTEGER*>(info) = d.native;
        return SQL_SUCCESS;
    case SQL_DIAG_MESSAGE_TEXT: return text(d.message);
    case SQL_DIAG_CLASS_ORIGIN: return text(d.state.compare(0, 2, "IM") == 0 ? "ODBC 3.0" : "ISO 9075");
    case SQL_DIAG_SUBCLASS_ORIGIN: return text("ODBC 3.0");
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME: return text("");
    case SQL_DIAG_ROW_NUMBER:
        if (info)
            *static_cast<SQLLEN*>(info) = d.row ? d.row : SQL_ROW_NUMBER_UNKNOWN;
        return SQL_SUCCESS;
    case SQL_DIAG_COLUMN_NUMBER:
        if (info)
            *static_cast<SQLINTEGER*>(info) = SQL_COLUMN_NUMBER_UNKNOWN;
        return SQL_SUCCESS;
    default: return SQL_ERROR;
    }
}

}  // namespace

extern "C" {

// ------------------------------------------------------------------ handles

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* out)
{
    if (!out)
        return SQL_ERROR;
    switch (type) {
    case SQL_HANDLE_ENV: *out = static_cast<HandleBase*>(new Env()); return SQL_SUCCESS;
    case SQL_HANDLE_DBC: {
        Env* env = check<Env>(input, SQL_HANDLE_ENV);
        if (!env)
            return SQL_INVALID_HANDLE;
        *out = static_cast<HandleBase*>(new Conn(env));
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
        Conn* dbc = check<Conn>(input, SQL_HANDLE_DBC);
        if (!dbc)
            return SQL_INVALID_HANDLE;
        if (!dbc->pg)
            return dbc->fail(notConnected());
        *out = static_cast<HandleBase*>(new Stmt(dbc));
        return SQL_SUCCESS;
    }
    default: return SQL_ERROR;
    }
}

SQLRETURN SQL_API SQLAllocEnv(SQLHENV* env) { return SQLAllocHandle(SQL_HANDLE_ENV, nullptr, env); }
SQLRETURN SQL_API SQLAllocConnect(SQLHENV env, SQLHDBC* dbc) { return SQLAllocHandle(SQL_HANDLE_DBC, env, dbc); }
SQLRETURN SQL_API SQLAllocStmt(SQLHDBC dbc, SQLHSTMT* stmt) { return SQLAllocHandle(SQL_HANDLE_STMT, dbc, stmt); }

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE h)
{
    switch (type) {
    case SQL_HANDLE_ENV: {
        Env* e = check<Env>(h, type);
        if (!e)
            return SQL_INVALID_HANDLE;
        delete e;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
        Conn* c = check<Conn>(h, type);
        if (!c)
            return SQL_INVALID_HANDLE;
        delete c;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
        Stmt* s = check<Stmt>(h, type);
        if (!s)
            return SQL_INVALID_HANDLE;
        std::lock_guard<std::recursive_mutex> lock(s->conn->mutex);
        delete s;
        return SQL_SUCCESS;
    }
    default: return SQL_ERROR;
    }
}

SQLRETURN SQL_API SQLFreeEnv(SQLHENV env) { return SQLFreeHandle(SQL_HANDLE_ENV, env); }
SQLRETURN SQL_API SQLFreeConnect(SQLHDBC dbc) { return SQLFreeHandle(SQL_HANDLE_DBC, dbc); }

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT h, SQLUSMALLINT option)
{
    if (option == SQL_DROP)
        return SQLFreeHandle(SQL_HANDLE_STMT, h);
    STMT_OR_INVALID(h);
    switch (option) {
    case SQL_CLOSE: stmt->closeResult(); break;
    case SQL_UNBIND: stmt->binds.clear(); break;
    case SQL_RESET_PARAMS: stmt->params.clear(); break;
    default: break;
    }
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT h)
{
    STMT_OR_INVALID(h);
    if (!stmt->hasResult)
        return stmt->fail(clientError("24000", -99999, "CLI0115E  Invalid cursor state. SQLSTATE=24000"));
    stmt->closeResult();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT h)
{
    Stmt* stmt = check<Stmt>(h, SQL_HANDLE_STMT);
    if (!stmt)
        return SQL_INVALID_HANDLE;
    // Not the connection's lock: cancelling is meant to interrupt a call
    // running in another thread, which holds it.
    const std::lock_guard<std::mutex> lock(stmt->conn->cancelMutex);
    if (stmt->conn->cancel) {
        char err[256];
        PQcancel(stmt->conn->cancel, err, sizeof err);
    }
    return SQL_SUCCESS;
}

// -------------------------------------------------------------- environment

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER)
{
    ENV_OR_INVALID(h);
    if (attr == SQL_ATTR_ODBC_VERSION)
        env->odbcVersion = static_cast<SQLINTEGER>(reinterpret_cast<SQLLEN>(value));
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER, SQLINTEGER* outLen)
{
    ENV_OR_INVALID(h);
    SQLINTEGER v = 0;
    if (attr == SQL_ATTR_ODBC_VERSION)
        v = env->odbcVersion;
    else if (attr == SQL_ATTR_OUTPUT_NTS)
        v = SQL_TRUE;
    else if (attr == SQL_ATTR_CONNECTION_POOLING)
        v = SQL_CP_OFF;
    if (value)
        *static_cast<SQLINTEGER*>(value) = v;
    if (outLen)
        *outLen = sizeof v;
    return SQL_SUCCESS;
}

// --------------------------------------------------------------- connection

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC h, SQLHWND, SQLCHAR* in, SQLSMALLINT inLen, SQLCHAR* out, SQLSMALLINT outMax,
                                   SQLSMALLINT* outLen, SQLUSMALLINT)
{
    DBC_OR_INVALID(h);
    std::string cs = narrow(in, inLen);
    SQLRETURN r = connectCommon(dbc, cs);
    if (!SQL_SUCCEEDED(r))
        return r;
    if (putA(cs, out, outMax, outLen) && out)
        return dbc->warn(truncated());
    return r;
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC h, SQLHWND, SQLWCHAR* in, SQLSMALLINT inLen, SQLWCHAR* out,
                                    SQLSMALLINT outMax, SQLSMALLINT* outLen, SQLUSMALLINT)
{
    DBC_OR_INVALID(h);
    std::string cs = wide(in, inLen);
    SQLRETURN r = connectCommon(dbc, cs);
    if (!SQL_SUCCEEDED(r))
        return r;
    if (putW(cs, out, outMax, outLen) && out)
        return dbc->warn(truncated());
    return r;
}

static std::string dsnConnString(const std::string& dsn, const std::string& uid, const std::string& pwd)
{
    std::string cs = "DSN=" + dsn + ";";
    if (!uid.empty())
        cs += "UID=" + uid + ";";
    if (!pwd.empty())
        cs += "PWD=" + pwd + ";";
    return cs;
}

SQLRETURN SQL_API SQLConnect(SQLHDBC h, SQLCHAR* dsn, SQLSMALLINT dsnLen, SQLCHAR* uid, SQLSMALLINT uidLen,
                             SQLCHAR* pwd, SQLSMALLINT pwdLen)
{
    DBC_OR_INVALID(h);
    return connectCommon(dbc, dsnConnString(narrow(dsn, dsnLen), narrow(uid, uidLen), narrow(pwd, pwdLen)));
}

SQLRETURN SQL_API SQLConnectW(SQLHDBC h, SQLWCHAR* dsn, SQLSMALLINT dsnLen, SQLWCHAR* uid, SQLSMALLINT uidLen,
                              SQLWCHAR* pwd, SQLSMALLINT pwdLen)
{
    DBC_OR_INVALID(h);
    return connectCommon(dbc, dsnConnString(wide(dsn, dsnLen), wide(uid, uidLen), wide(pwd, pwdLen)));
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC h)
{
    DBC_OR_INVALID(h);
    if (!dbc->pg)
        return dbc->fail(notConnected());
    dbc->disconnect();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER)
{
    DBC_OR_INVALID(h);
    return setConnectAttr(dbc, attr, value);
}
SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER)
{
    DBC_OR_INVALID(h);
    return setConnectAttr(dbc, attr, value);
}
SQLRETURN SQL_API SQLSetConnectOption(SQLHDBC h, SQLUSMALLINT attr, SQLULEN value)
{
    DBC_OR_INVALID(h);
    return setConnectAttr(dbc, attr, reinterpret_cast<SQLPOINTER>(value));
}
SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER bufLen, SQLINTEGER* outLen)
{
    DBC_OR_INVALID(h);
    return getConnectAttr(dbc, attr, value, bufLen, outLen, false);
}
SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER bufLen,
                                     SQLINTEGER* outLen)
{
    DBC_OR_INVALID(h);
    return getConnectAttr(dbc, attr, value, bufLen, outLen, true);
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC h, SQLUSMALLINT type, SQLPOINTER buf, SQLSMALLINT bufLen, SQLSMALLINT* outLen)
{
    DBC_OR_INVALID(h);
    return getInfo(dbc, type, buf, bufLen, outLen, false);
}
SQLRETURN SQL_API SQLGetInfoW(SQLHDBC h, SQLUSMALLINT type, SQLPOINTER buf, SQLSMALLINT bufLen, SQLSMALLINT* outLen)
{
    DBC_OR_INVALID(h);
    return getInfo(dbc, type, buf, bufLen, outLen, true);
}

static const SQLUSMALLINT kFunctions[]
    = {SQL_API_SQLALLOCHANDLE,      SQL_API_SQLFREEHANDLE,     SQL_API_SQLALLOCENV,
       SQL_API_SQLALLOCCONNECT,     SQL_API_SQLALLOCSTMT,      SQL_API_SQLFREEENV,
       SQL_API_SQLFREECONNECT,      SQL_API_SQLFREESTMT,       SQL_API_SQLSETENVATTR,
       SQL_API_SQLGETENVATTR,       SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR,
       SQL_API_SQLSETCONNECTOPTION, SQL_API_SQLDRIVERCONNECT,  SQL_API_SQLCONNECT,
       SQL_API_SQLDISCONNECT,       SQL_API_SQLGETINFO,        SQL_API_SQLGETFUNCTIONS,
       SQL_API_SQLENDTRAN,          SQL_API_SQLTRANSACT,       SQL_API_SQLEXECDIRECT,
       SQL_API_SQLPREPARE,          SQL_API_SQLEXECUTE,        SQL_API_SQLBINDPARAMETER,
       SQL_API_SQLNUMPARAMS,        SQL_API_SQLDESCRIBEPARAM,  SQL_API_SQLSETSTMTATTR,
       SQL_API_SQLGETSTMTATTR,      SQL_API_SQLNUMRESULTCOLS,  SQL_API_SQLDESCRIBECOL,
       SQL_API_SQLCOLATTRIBUTE,     SQL_API_SQLBINDCOL,        SQL_API_SQLFETCH,
       SQL_API_SQLFETCHSCROLL,      SQL_API_SQLGETDATA,        SQL_API_SQLROWCOUNT,
       SQL_API_SQLMORERESULTS,      SQL_API_SQLCLOSECURSOR,    SQL_API_SQLCANCEL,
       SQL_API_SQLTABLES,           SQL_API_SQLPRIMARYKEYS,    SQL_API_SQLGETDIAGREC,
       SQL_API_SQLGETDIAGFIELD,     SQL_API_SQLNATIVESQL};

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC h, SQLUSMALLINT id, SQLUSMALLINT* supported)
{
    DBC_OR_INVALID(h);
    if (!supported)
        return SQL_SUCCESS;
    if (id == SQL_API_ODBC3_ALL_FUNCTIONS) {
        std::memset(supported, 0, sizeof(SQLUSMALLINT) * SQL_API_ODBC3_ALL_FUNCTIONS_SIZE);
        for (SQLUSMALLINT f : kFunctions)
            supported[f >> 4] |= static_cast<SQLUSMALLINT>(1 << (f & 15));
        return SQL_SUCCESS;
    }
    if (id == SQL_API_ALL_FUNCTIONS) {
        std::memset(supported, 0, sizeof(SQLUSMALLINT) * 100);
        for (SQLUSMALLINT f : kFunctions)
            if (f < 100)
                supported[f] = SQL_TRUE;
        return SQL_SUCCESS;
    }
    *supported = SQL_FALSE;
    for (SQLUSMALLINT f : kFunctions)
        if (f == id)
            *supported = SQL_TRUE;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT completion)
{
    if (type == SQL_HANDLE_ENV)
        return SQL_SUCCESS;  // the driver manager calls each connection
    DBC_OR_INVALID(h);
    return dbc->endTran(completion == SQL_COMMIT);
}

SQLRETURN SQL_API SQLTransact(SQLHENV, SQLHDBC h, SQLUSMALLINT completion)
{
    if (!h)
        return SQL_SUCCESS;
    return SQLEndTran(SQL_HANDLE_DBC, h, static_cast<SQLSMALLINT>(completion));
}

// --------------------------------------------------------------- statements

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT h, SQLCHAR* text, SQLINTEGER len)
{
    STMT_OR_INVALID(h);
    return stmt->execDirect(narrow(text, len));
}
SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT h, SQLWCHAR* text, SQLINTEGER len)
{
    STMT_OR_INVALID(h);
    return stmt->execDirect(wide(text, len));
}
SQLRETURN SQL_API SQLPrepare(SQLHSTMT h, SQLCHAR* text, SQLINTEGER len)
{
    STMT_OR_INVALID(h);
    return stmt->prepare(narrow(text, len));
}
SQLRETURN SQL_API SQLPrepareW(SQLHSTMT h, SQLWCHAR* text, SQLINTEGER len)
{
    STMT_OR_INVALID(h);
    return stmt->prepare(wide(text, len));
}
SQLRETURN SQL_API SQLExecute(SQLHSTMT h)
{
    STMT_OR_INVALID(h);
    return stmt->execute();
}

SQLRETURN SQL_API SQLNativeSql(SQLHDBC h, SQLCHAR* in, SQLINTEGER inLen, SQLCHAR* out, SQLINTEGER outMax,
                               SQLINTEGER* outLen)
{
    DBC_OR_INVALID(h);
    return putA(narrow(in, inLen), out, outMax, outLen) && out ? dbc->warn(truncated()) : SQL_SUCCESS;
}
SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC h, SQLWCHAR* in, SQLINTEGER inLen, SQLWCHAR* out, SQLINTEGER outMax,
                                SQLINTEGER* outLen)
{
    DBC_OR_INVALID(h);
    return putW(wide(in, inLen), out, outMax, outLen) && out ? dbc->warn(truncated()) : SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT h, SQLUSMALLINT num, SQLSMALLINT io, SQLSMALLINT cType, SQLSMALLINT sqlType,
                                   SQLULEN size, SQLSMALLINT digits, SQLPOINTER data, SQLLEN bufLen, SQLLEN* ind)
{
    STMT_OR_INVALID(h);
    if (num < 1)
        return stmt->fail(clientError("07009", -99999, "CLI0125E  Invalid parameter number. SQLSTATE=07009"));
    if (io != SQL_PARAM_INPUT)
        return stmt->fail(clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00"));
    if (stmt->params.size() < num)
        stmt->params.resize(num);
    ParamBinding& b = stmt->params[num - 1];
    b.bound = true;
    b.cType = cType;
    b.sqlType = sqlType;
    b.columnSize = size;
    b.digits = digits;
    b.data = data;
    b.bufLen = bufLen;
    b.ind = ind;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT h, SQLSMALLINT* count)
{
    STMT_OR_INVALID(h);
    if (count)
        *count = static_cast<SQLSMALLINT>(stmt->tr.paramCount);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT h, SQLUSMALLINT num, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                   SQLSMALLINT* nullable)
{
    STMT_OR_INVALID(h);
    if (num < 1 || num > stmt->tr.paramCount)
        return stmt->fail(clientError("07009", -99999, "CLI0125E  Invalid parameter number. SQLSTATE=07009"));
    int col = num - 1 < static_cast<int>(stmt->tr.paramColumn.size()) ? stmt->tr.paramColumn[num - 1] : -1;
    TypeDesc t;
    t.kind = Kind::VarChar;
    t.length = 32672;
    bool notNull = false;
    if (col >= 0) {
        t = stmt->tr.columns[col].type;
        notNull = stmt->tr.columns[col].notNull;
    }
    if (type)
        *type = odbcType(t, false);
    if (size)
        *size = columnSize(t);
    if (digits)
        *digits = decimalDigits(t);
    if (nullable)
        *nullable = notNull ? SQL_NO_NULLS : SQL_NULLABLE;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER)
{
    STMT_OR_INVALID(h);
    return setStmtAttr(stmt, attr, value);
}
SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER)
{
    STMT_OR_INVALID(h);
    return setStmtAttr(stmt, attr, value);
}
SQLRETURN SQL_API SQLSetStmtOption(SQLHSTMT h, SQLUSMALLINT attr, SQLULEN value)
{
    STMT_OR_INVALID(h);
    return setStmtAttr(stmt, attr, reinterpret_cast<SQLPOINTER>(value));
}
SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER, SQLINTEGER* outLen)
{
    STMT_OR_INVALID(h);
    return getStmtAttr(stmt, attr, value, outLen);
}
SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT h, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER, SQLINTEGER* outLen)
{
    STMT_OR_INVALID(h);
    return getStmtAttr(stmt, attr, value, outLen);
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT h, SQLSMALLINT* count)
{
    STMT_OR_INVALID(h);
    if (count)
        *count = stmt->hasResult ? static_cast<SQLSMALLINT>(stmt->columns.size()) : 0;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT h, SQLUSMALLINT col, SQLCHAR* name, SQLSMALLINT nameLen, SQLSMALLINT* nameOut,
                                 SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable)
{
    STMT_OR_INVALID(h);
    return describeCol(stmt, col, name, nameLen, nameOut, type, size, digits, nullable, false);
}
SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT h, SQLUSMALLINT col, SQLWCHAR* name, SQLSMALLINT nameLen,
                                  SQLSMALLINT* nameOut, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                  SQLSMALLINT* nullable)
{
    STMT_OR_INVALID(h);
    return describeCol(stmt, col, name, nameLen, nameOut, type, size, digits, nullable, true);
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT h, SQLUSMALLINT col, SQLUSMALLINT field, SQLPOINTER buf, SQLSMALLINT bufLen,
                                  SQLSMALLINT* outLen, SQLLEN* num)
{
    STMT_OR_INVALID(h);
    return colAttribute(stmt, col, field, buf, bufLen, outLen, num, false);
}
SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT h, SQLUSMALLINT col, SQLUSMALLINT field, SQLPOINTER buf, SQLSMALLINT bufLen,
                                   SQLSMALLINT* outLen, SQLLEN* num)
{
    STMT_OR_INVALID(h);
    return colAttribute(stmt, col, field, buf, bufLen, outLen, num, true);
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER data, SQLLEN bufLen,
                             SQLLEN* ind)
{
    STMT_OR_INVALID(h);
    if (col < 1)
        return stmt->fail(clientError("07009", -99999, "CLI0125E  Invalid column number. SQLSTATE=07009"));
    if (stmt->binds.size() < col)
        stmt->binds.resize(col);
    ColBinding& b = stmt->binds[col - 1];
    b.bound = data != nullptr || ind != nullptr;
    b.cType = cType;
    b.data = data;
    b.bufLen = bufLen;
    b.ind = ind;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT h)
{
    STMT_OR_INVALID(h);
    return stmt->fetch();
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT h, SQLSMALLINT orientation, SQLLEN)
{
    STMT_OR_INVALID(h);
    if (orientation != SQL_FETCH_NEXT)
        return stmt->fail(clientError("HY106", -99999, "CLI0145E  Fetch type out of range. SQLSTATE=HY106"));
    return stmt->fetch();
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER buf, SQLLEN bufLen,
                             SQLLEN* ind)
{
    STMT_OR_INVALID(h);
    return stmt->getData(col, cType, buf, bufLen, ind);
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT h, SQLLEN* count)
{
    STMT_OR_INVALID(h);
    if (count)
        *count = stmt->rowCount;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT h)
{
    STMT_OR_INVALID(h);
    stmt->closeResult();
    return SQL_NO_DATA;
}

SQLRETURN SQL_API SQLTables(SQLHSTMT h, SQLCHAR* cat, SQLSMALLINT catLen, SQLCHAR* schem, SQLSMALLINT schemLen,
                            SQLCHAR* table, SQLSMALLINT tableLen, SQLCHAR* types, SQLSMALLINT typesLen)
{
    STMT_OR_INVALID(h);
    return stmt->tables(narrow(cat, catLen), narrow(schem, schemLen), narrow(table, tableLen), narrow(types, typesLen),
                        !schem, !table);
}
SQLRETURN SQL_API SQLTablesW(SQLHSTMT h, SQLWCHAR* cat, SQLSMALLINT catLen, SQLWCHAR* schem, SQLSMALLINT schemLen,
                             SQLWCHAR* table, SQLSMALLINT tableLen, SQLWCHAR* types, SQLSMALLINT typesLen)
{
    STMT_OR_INVALID(h);
    return stmt->tables(wide(cat, catLen), wide(schem, schemLen), wide(table, tableLen), wide(types, typesLen), !schem,
                        !table);
}

// The table name is required (HY009 without it, as DB2 CLI answers).
SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT h, SQLCHAR*, SQLSMALLINT, SQLCHAR* schem, SQLSMALLINT schemLen,
                                 SQLCHAR* table, SQLSMALLINT tableLen)
{
    STMT_OR_INVALID(h);
    if (!table)
        return stmt->fail(clientError("HY009", -99999, "CLI0124E  Invalid argument value. SQLSTATE=HY009"));
    return stmt->primaryKeys(narrow(schem, schemLen), narrow(table, tableLen), !schem);
}
SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT h, SQLWCHAR*, SQLSMALLINT, SQLWCHAR* schem, SQLSMALLINT schemLen,
                                  SQLWCHAR* table, SQLSMALLINT tableLen)
{
    STMT_OR_INVALID(h);
    if (!table)
        return stmt->fail(clientError("HY009", -99999, "CLI0124E  Invalid argument value. SQLSTATE=HY009"));
    return stmt->primaryKeys(wide(schem, schemLen), wide(table, tableLen), !schem);
}

// -------------------------------------------------------------- diagnostics

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, SQLCHAR* state, SQLINTEGER* native,
                                SQLCHAR* msg, SQLSMALLINT msgMax, SQLSMALLINT* msgLen)
{
    std::string st, m;
    SQLRETURN r = getDiagRec(type, h, rec, &st, native, &m);
    if (r != SQL_SUCCESS)
        return r;
    if (state)
        putA(st, state, 6, static_cast<SQLSMALLINT*>(nullptr));
    return putA(m, msg, msgMax, msgLen) && msg ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}
SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, SQLWCHAR* state, SQLINTEGER* native,
                                 SQLWCHAR* msg, SQLSMALLINT msgMax, SQLSMALLINT* msgLen)
{
    std::string st, m;
    SQLRETURN r = getDiagRec(type, h, rec, &st, native, &m);
    if (r != SQL_SUCCESS)
        return r;
    if (state)
        putW(st, state, 6, static_cast<SQLSMALLINT*>(nullptr));
    return putW(m, msg, msgMax, msgLen) && msg ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER info,
                                  SQLSMALLINT bufLen, SQLSMALLINT* outLen)
{
    return getDiagField(type, h, rec, id, info, bufLen, outLen, false);
}
SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT rec, SQLSMALLINT id, SQLPOINTER info,
                                   SQLSMALLINT bufLen, SQLSMALLINT* outLen)
{
    return getDiagField(type, h, rec, id, info, bufLen, outLen, true);
}

}  // extern "C"
