#include "Values.h"

#include "CodePages.h"
#include "Statement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace db2standin {

namespace {

// An XML value read without XMLSERIALIZE is serialized by the server with a
// declaration naming the encoding the application receives.
std::string xmlDeclaration(const std::string& encoding)
{
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\" ?>";
}

std::string formatDouble(double v)
{
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, v);  // shortest text that reads back the same
    return std::string(buf, res.ptr);
}

// DB2 CLI's character form of a value.
// A DECFLOAT as DB2 writes it (IEEE 754's to-scientific-string): at most
// `digits` digits of coefficient, an exponent once the number is large or very
// small. PostgreSQL's numeric writes every digit, 385 of them for 1E384.
std::string decfloatText(const std::string& number, size_t digits)
{
    if (number.find_first_not_of("-.0123456789") != std::string::npos)
        return number;  // NaN, Infinity
    const bool negative = !number.empty() && number[0] == '-';
    std::string coefficient;
    long long exponent = 0;
    bool fraction = false;
    for (const char c : number) {
        if (c == '.')
            fraction = true;
        else if (c != '-') {
            coefficient += c;
            exponent -= fraction ? 1 : 0;
        }
    }
    coefficient.erase(0, std::min(coefficient.find_first_not_of('0'), coefficient.size() - 1));
    while (coefficient.size() > digits && coefficient.back() == '0') {
        coefficient.pop_back();
        ++exponent;
    }
    const long long adjusted = exponent + static_cast<long long>(coefficient.size()) - 1;
    std::string text = negative ? "-" : "";
    if (exponent <= 0 && adjusted >= -6) {
        const auto point = static_cast<long long>(coefficient.size()) + exponent;
        if (exponent == 0)
            text += coefficient;
        else if (point > 0)
            text += coefficient.substr(0, static_cast<size_t>(point)) + "."
                + coefficient.substr(static_cast<size_t>(point));
        else
            text += "0." + std::string(static_cast<size_t>(-point), '0') + coefficient;
        return text;
    }
    text += coefficient.substr(0, 1);
    if (coefficient.size() > 1)
        text += "." + coefficient.substr(1);
    return text + "E" + (adjusted >= 0 ? "+" : "") + std::to_string(adjusted);
}

std::string charForm(const ResultColumn& col, const char* v, int len)
{
    const TypeDesc& t = col.type;
    if (t.kind == Kind::DecFloat)
        return decfloatText(std::string(v, static_cast<size_t>(len)), static_cast<size_t>(t.length));
    if (t.kind == Kind::Boolean)
        return v[0] == 't' ? "1" : "0";
    if (t.isBinary() || col.pgType == 17)
        return bytesToHex(pgByteaToBytes(v, static_cast<size_t>(len)));
    if (t.kind == Kind::Timestamp) {
        std::string s(v, static_cast<size_t>(len));
        size_t dot = s.find('.', 19);
        std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
        std::string base = s.substr(0, 19);
        if (t.scale > 0) {
            frac.resize(static_cast<size_t>(t.scale), '0');
            return base + "." + frac;
        }
        return base;
    }
    return std::string(v, static_cast<size_t>(len));
}

// Numbers as PostgreSQL writes them, whatever locale the application set.
bool parseDouble(const std::string& s, double& out)
{
    const char *first = s.c_str(), *last = first + s.size();
    const auto [end, error] = std::from_chars(first, last, out);
    return error == std::errc() && end == last && end != first;
}

bool parseInt(const std::string& s, long long& out)
{
    char* end = nullptr;
    errno = 0;
    double d = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno == 0 && end && *end == 0 && end != s.c_str()) {
        out = v;
        return true;
    }
    if (!parseDouble(s, d))
        return false;
    if (d > 9.2e18 || d < -9.2e18)
        return false;
    out = static_cast<long long>(d);
    return true;
}

// Writes x into an application's buffer (if any) as a T; false when a T cannot hold it.
template <typename T> bool putInteger(long long x, char* buffer)
{
    if (!std::in_range<T>(x))
        return false;
    if (buffer) {
        const T value = static_cast<T>(x);
        std::memcpy(buffer, &value, sizeof value);
    }
    return true;
}

}  // namespace

size_t fixedSize(SQLSMALLINT cType)
{
    switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_ULONG:
    case SQL_C_LONG: return sizeof(SQLINTEGER);
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
    case SQL_C_SHORT: return sizeof(SQLSMALLINT);
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_TINYINT:
    case SQL_C_BIT: return 1;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT: return sizeof(SQLBIGINT);
    case SQL_C_FLOAT: return sizeof(SQLREAL);
    case SQL_C_DOUBLE: return sizeof(SQLDOUBLE);
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    case SQL_C_NUMERIC: return sizeof(SQL_NUMERIC_STRUCT);
    default: return 0;
    }
}

SQLSMALLINT defaultCType(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
    case kSqlBlob: return SQL_C_BINARY;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_BIGINT: return SQL_C_SBIGINT;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_FLOAT:
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME: return SQL_C_TYPE_TIME;
    case SQL_TYPE_TIMESTAMP: return SQL_C_TYPE_TIMESTAMP;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case kSqlGraphic:
    case kSqlVarGraphic:
    case kSqlLongVarGraphic:
    case kSqlDbclob: return SQL_C_WCHAR;
    case kSqlBoolean: return SQL_C_BIT;
    default: return SQL_C_CHAR;
    }
}

bool isNumericC(SQLSMALLINT cType)
{
    switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_LONG:
    case SQL_C_ULONG:
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
    case SQL_C_USHORT:
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
    case SQL_C_DOUBLE:
    case SQL_C_FLOAT: return true;
    default: return false;
    }
}

bool finiteNumber(const std::string& text)
{
    double d = 0;
    return std::from_chars(text.data(), text.data() + text.size(), d).ec == std::errc() && std::isfinite(d);
}

std::optional<std::string> Stmt::paramValue(size_t p, size_t row, Diag& err, bool& bad)
{
    const ParamBinding& binding = params[p];
    SQLSMALLINT cType = binding.cType == SQL_C_DEFAULT ? defaultCType(binding.sqlType) : binding.cType;
    size_t elementBytes = fixedSize(cType);
    size_t stride = paramBindType != SQL_PARAM_BIND_BY_COLUMN
        ? paramBindType
        : (elementBytes ? elementBytes : static_cast<size_t>(binding.bufLen));
    size_t indicatorStride = paramBindType != SQL_PARAM_BIND_BY_COLUMN ? paramBindType : sizeof(SQLLEN);
    size_t offset = paramBindOffset ? *paramBindOffset : 0;
    const char* data = binding.data ? static_cast<const char*>(binding.data) + offset + stride * row : nullptr;
    const SQLLEN* indicator = binding.ind
        ? reinterpret_cast<const SQLLEN*>(reinterpret_cast<const char*>(binding.ind) + offset + indicatorStride * row)
        : nullptr;
    SQLLEN length = indicator ? *indicator : SQL_NTS;
    if (length == SQL_NULL_DATA)
        return std::nullopt;
    if (length == SQL_DATA_AT_EXEC || length <= SQL_LEN_DATA_AT_EXEC_OFFSET) {
        err = clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
        bad = true;
        return std::nullopt;
    }
    if (!data)
        return std::nullopt;
    char text[64];
    switch (cType) {
    case SQL_C_CHAR: {
        std::string raw = length == SQL_NTS ? std::string(data) : std::string(data, static_cast<size_t>(length));
        return conn->appCodeset.empty() ? raw : convertText(raw, "UTF-8", conn->appCodeset);
    }
    case SQL_C_NUMERIC: {
        // Sign 1 is positive; the value is a little-endian integer scaled by 10^-scale.
        auto numeric = reinterpret_cast<const SQL_NUMERIC_STRUCT*>(data);
        unsigned __int128 magnitude = 0;
        for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i)
            magnitude = magnitude << 8 | numeric->val[i];
        std::string digits;
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
            magnitude /= 10;
        } while (magnitude);
        if (numeric->scale > 0) {
            if (digits.size() <= static_cast<size_t>(numeric->scale))
                digits.insert(0, static_cast<size_t>(numeric->scale) + 1 - digits.size(), '0');
            digits.insert(digits.size() - static_cast<size_t>(numeric->scale), 1, '.');
        } else if (numeric->scale < 0) {
            digits.append(static_cast<size_t>(-numeric->scale), '0');
        }
        return (numeric->sign ? "" : "-") + digits;
    }
    case SQL_C_WCHAR: {
        const SQLWCHAR* units = reinterpret_cast<const SQLWCHAR*>(data);
        return utf16ToUtf8(units, length == SQL_NTS ? -1 : length / 2);
    }
    case SQL_C_BINARY: return std::string(data, static_cast<size_t>(length < 0 ? 0 : length));
    case SQL_C_SLONG:
    case SQL_C_LONG: return std::to_string(*reinterpret_cast<const SQLINTEGER*>(data));
    case SQL_C_ULONG: return std::to_string(*reinterpret_cast<const SQLUINTEGER*>(data));
    case SQL_C_SSHORT:
    case SQL_C_SHORT: return std::to_string(*reinterpret_cast<const SQLSMALLINT*>(data));
    case SQL_C_USHORT: return std::to_string(*reinterpret_cast<const SQLUSMALLINT*>(data));
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: return std::to_string(*reinterpret_cast<const signed char*>(data));
    case SQL_C_UTINYINT:
    case SQL_C_BIT: return std::to_string(*reinterpret_cast<const unsigned char*>(data));
    case SQL_C_SBIGINT: return std::to_string(*reinterpret_cast<const SQLBIGINT*>(data));
    case SQL_C_UBIGINT: return std::to_string(*reinterpret_cast<const SQLUBIGINT*>(data));
    case SQL_C_FLOAT: return formatDouble(*reinterpret_cast<const SQLREAL*>(data));
    case SQL_C_DOUBLE: return formatDouble(*reinterpret_cast<const SQLDOUBLE*>(data));
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
        auto value = reinterpret_cast<const SQL_DATE_STRUCT*>(data);
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", value->year, value->month, value->day);
        return std::string(text);
    }
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME: {
        auto value = reinterpret_cast<const SQL_TIME_STRUCT*>(data);
        std::snprintf(text, sizeof text, "%02u:%02u:%02u", value->hour, value->minute, value->second);
        return std::string(text);
    }
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: {
        auto value = reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(data);
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u.%06u", value->year, value->month, value->day,
                      value->hour, value->minute, value->second, value->fraction / 1000);
        return std::string(text);
    }
    default:
        err = clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
        bad = true;
        return std::nullopt;
    }
}

// The parameter values of one row of the array, cast as DB2 casts them into their columns.
bool Stmt::rowValues(size_t row, std::vector<std::optional<std::string>>& out, Diag& err)
{
    out.assign(tr.paramCount, std::nullopt);
    for (int p = 0; p < tr.paramCount; ++p) {
        bool bad = false;
        auto value = paramValue(static_cast<size_t>(p), row, err, bad);
        if (bad)
            return false;
        if (value) {
            int col = p < static_cast<int>(tr.paramColumn.size()) ? tr.paramColumn[p] : -1;
            SQLSMALLINT cType = params[p].cType;
            try {
                checkDeclaredLength(static_cast<size_t>(p), value->data(), value->size());
                // Numbers from numeric C types are already in the form PostgreSQL reads.
                if (col >= 0 && isNumericC(cType) && tr.columns[col].type.isNumeric() && finiteNumber(*value)) {
                } else if (col >= 0) {
                    value = castForColumn(tr.columns[col].type, std::move(*value), tr.columns[col].name);
                    storeInDatabaseCodePage(*value, tr.columns[col].type, row);
                } else if (cType == SQL_C_BINARY)
                    value = "\\x" + bytesToHex(*value);
                else
                    refuseNulInText(value->data(), value->size());
            } catch (const SqlError& e) {
                err = e.diag;
                return false;
            }
        }
        out[p] = std::move(value);
    }
    return true;
}

SQLRETURN Stmt::putValue(int c, SQLSMALLINT cType, char* buffer, SQLLEN bufLen, SQLLEN* indicator, long long* offset)
{
    const ResultColumn& col = columns[c];
    if (cType == SQL_C_DEFAULT)
        cType = defaultCType(odbcType(col.type, false));
    if (PQgetisnull(res, row, c)) {
        if (offset && *offset >= 0)
            return SQL_NO_DATA;
        if (offset)
            *offset = 0;
        if (!indicator)
            return fail(clientError(
                "22002", -99999,
                "CLI0164E  Null value not allowed... Indicator variable required but not supplied. SQLSTATE=22002"));
        *indicator = SQL_NULL_DATA;
        return SQL_SUCCESS;
    }
    const char* text = PQgetvalue(res, row, c);
    int length = PQgetlength(res, row, c);
    bool piecewise = cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
    if (offset && *offset >= 0 && !piecewise)
        return SQL_NO_DATA;
    if (piecewise) {
        std::string local;
        const std::string* data;
        if (offset && *offset >= 0) {
            data = &gdData[c];
        } else {
            if (cType == SQL_C_CHAR) {
                if (col.type.kind == Kind::Boolean || col.type.isBinary() || col.type.kind == Kind::Timestamp
                    || col.type.kind == Kind::DecFloat || col.pgType == 17)
                    local = charForm(col, text, length);
                else
                    local.assign(text, static_cast<size_t>(length));
                // Characters in the application code page, decimals with the locale's decimal point.
                if (!conn->appCodeset.empty() && col.type.isText())
                    local = convertText(local, conn->appCodeset, "UTF-8");
                if (col.type.kind == Kind::Decimal || col.type.kind == Kind::Numeric || col.type.kind == Kind::DecFloat)
                    std::replace(local.begin(), local.end(), '.', conn->decimalPoint);
                if (col.type.kind == Kind::Xml)
                    local = xmlDeclaration(conn->appCodeset.empty() ? "UTF-8" : conn->appCodeset) + local;
            } else if (cType == SQL_C_WCHAR) {
                if (col.type.isText() && col.type.kind != Kind::Xml) {
                    local = utf8ToUtf16Bytes(
                        text, static_cast<size_t>(length));  // straight from the result: a long text is copied once
                } else {
                    std::string form = charForm(col, text, length);
                    if (col.type.kind == Kind::Decimal || col.type.kind == Kind::Numeric
                        || col.type.kind == Kind::DecFloat)
                        std::replace(form.begin(), form.end(), '.', conn->decimalPoint);
                    // DB2's default serialization (CLI keyword XMLDeclaration=7) also puts a
                    // byte-order mark in front of UTF-16, never of UTF-8.
                    if (col.type.kind == Kind::Xml)
                        form = "\xEF\xBB\xBF" + xmlDeclaration("UTF-16") + form;
                    local = utf8ToUtf16Bytes(form.data(), form.size());
                }
            } else {
                local = (col.type.isBinary() || col.pgType == 17) ? pgByteaToBytes(text, static_cast<size_t>(length))
                                                                  : charForm(col, text, length);
                if (col.type.kind == Kind::Xml)
                    local = xmlDeclaration("UTF-8") + local;
            }
            if (offset) {
                gdData[c] = std::move(local);
                data = &gdData[c];
                *offset = 0;
            } else {
                data = &local;
            }
        }
        size_t done = offset ? static_cast<size_t>(*offset) : 0;
        if (offset && done > 0 && done >= data->size())
            return SQL_NO_DATA;
        size_t remaining = data->size() - done;
        size_t term = cType == SQL_C_CHAR ? 1 : cType == SQL_C_WCHAR ? 2 : 0;
        size_t room = bufLen > static_cast<SQLLEN>(term) ? static_cast<size_t>(bufLen) - term : 0;
        if (cType == SQL_C_WCHAR)
            room &= ~static_cast<size_t>(1);
        size_t n = std::min(remaining, room);
        if (buffer && bufLen > 0) {
            std::memcpy(buffer, data->data() + done, n);
            if (term)
                std::memset(buffer + n, 0, term);
        }
        if (indicator)
            *indicator = static_cast<SQLLEN>(remaining);
        if (offset)
            *offset = static_cast<long long>(done + n);
        if (n < remaining) {
            if (offset && done + n == data->size()) { }
            diags.push_back(clientError("01004", 0, "CLI0002W  Data truncated. SQLSTATE=01004"));
            return SQL_SUCCESS_WITH_INFO;
        }
        if (offset && data->empty())
            *offset = 1;  // an empty value was returned once
        if (offset)
            gdData[c] = std::string();  // all of it went: a long value is not held on to
        return SQL_SUCCESS;
    }
    if (offset)
        *offset = 0;
    std::string s = charForm(col, text, length);
    auto bad = [&](const char* state, int native, const char* text) { return fail(clientError(state, native, text)); };
    switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_LONG:
    case SQL_C_ULONG:
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
    case SQL_C_USHORT:
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_BIT:
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT: {
        long long x;
        if (!parseInt(s, x))
            return bad("22018", -99999, "CLI0112E  Error in assignment. SQLSTATE=22018");
        bool ok = true;
        switch (cType) {
        case SQL_C_SLONG:
        case SQL_C_LONG: ok = putInteger<SQLINTEGER>(x, buffer); break;
        case SQL_C_ULONG: ok = putInteger<SQLUINTEGER>(x, buffer); break;
        case SQL_C_SSHORT:
        case SQL_C_SHORT: ok = putInteger<SQLSMALLINT>(x, buffer); break;
        case SQL_C_USHORT: ok = putInteger<SQLUSMALLINT>(x, buffer); break;
        case SQL_C_STINYINT:
        case SQL_C_TINYINT: ok = putInteger<signed char>(x, buffer); break;
        case SQL_C_UTINYINT:
        case SQL_C_BIT: ok = putInteger<unsigned char>(x, buffer); break;
        case SQL_C_SBIGINT: ok = putInteger<SQLBIGINT>(x, buffer); break;
        case SQL_C_UBIGINT: ok = putInteger<SQLUBIGINT>(x, buffer); break;
        }
        if (!ok)
            return bad("22003", -99999, "CLI0111E  Numeric value out of range. SQLSTATE=22003");
        if (indicator)
            *indicator = static_cast<SQLLEN>(fixedSize(cType));
        return SQL_SUCCESS;
    }
    case SQL_C_NUMERIC: {
        if (!col.type.isNumeric())
            return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
        SQL_NUMERIC_STRUCT n {};
        n.sign = s.empty() || s[0] != '-';
        const std::string body = s[0] == '-' || s[0] == '+' ? s.substr(1) : s;
        const size_t point = body.find('.');
        std::string digits = body.substr(0, point);
        std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
        const int scale = col.type.kind == Kind::Decimal || col.type.kind == Kind::Numeric
            ? col.type.scale
            : static_cast<int>(fraction.size());
        fraction.resize(static_cast<size_t>(scale), '0');
        digits += fraction;
        if (digits.size() > 38 || digits.find_first_not_of("0123456789") != std::string::npos)
            return bad("22003", -99999, "CLI0111E  Numeric value out of range. SQLSTATE=22003");
        unsigned __int128 text = 0;
        for (char ch : digits)
            text = text * 10 + static_cast<unsigned>(ch - '0');
        for (int k = 0; k < SQL_MAX_NUMERIC_LEN; ++k, text >>= 8)
            n.val[k] = static_cast<SQLCHAR>(text & 0xFF);
        n.precision = static_cast<SQLCHAR>(std::max<size_t>(digits.size(), 1));
        n.scale = static_cast<SQLSCHAR>(scale);
        if (buffer)
            std::memcpy(buffer, &n, sizeof n);
        if (indicator)
            *indicator = sizeof n;
        return SQL_SUCCESS;
    }
    case SQL_C_DOUBLE:
    case SQL_C_FLOAT: {
        double d = 0;
        if (!parseDouble(s, d))
            return bad("22018", -99999, "CLI0112E  Error in assignment. SQLSTATE=22018");
        if (buffer) {
            if (cType == SQL_C_DOUBLE)
                std::memcpy(buffer, &d, sizeof d);
            else {
                float f = static_cast<float>(d);
                std::memcpy(buffer, &f, sizeof f);
            }
        }
        if (indicator)
            *indicator = static_cast<SQLLEN>(fixedSize(cType));
        return SQL_SUCCESS;
    }
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE:
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME:
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: {
        int Y = 0, M = 0, D = 0, h = 0, m = 0, sec = 0;
        unsigned long frac = 0;
        const Kind k = col.type.kind;
        if (k == Kind::Time) {
            if (std::sscanf(s.c_str(), "%d:%d:%d", &h, &m, &sec) != 3)
                return bad("22007", -99999,
                           "CLI0113E  SQLSTATE 22007: An invalid datetime format was detected. SQLSTATE=22007");
        } else if (k == Kind::Date || k == Kind::Timestamp || k == Kind::VarChar || k == Kind::Char) {
            int got = std::sscanf(s.c_str(), "%d-%d-%d%*[ T-]%d%*[:.]%d%*[:.]%d", &Y, &M, &D, &h, &m, &sec);
            if (got != 3 && got != 6)
                return bad("22007", -99999,
                           "CLI0113E  SQLSTATE 22007: An invalid datetime format was detected. SQLSTATE=22007");
            size_t dot = s.find('.', 19);
            if (got == 6 && dot != std::string::npos) {
                std::string f = s.substr(dot + 1);
                f.resize(9, '0');
                frac = std::strtoul(f.c_str(), nullptr, 10);
            }
        } else {
            return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
        }
        if (cType == SQL_C_TYPE_DATE || cType == SQL_C_DATE) {
            if (k == Kind::Time)
                return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
            SQL_DATE_STRUCT d {static_cast<SQLSMALLINT>(Y), static_cast<SQLUSMALLINT>(M), static_cast<SQLUSMALLINT>(D)};
            if (buffer)
                std::memcpy(buffer, &d, sizeof d);
        } else if (cType == SQL_C_TYPE_TIME || cType == SQL_C_TIME) {
            if (k == Kind::Date)
                return bad("07006", -99999, "CLI0102E  Invalid conversion. SQLSTATE=07006");
            SQL_TIME_STRUCT t {static_cast<SQLUSMALLINT>(h), static_cast<SQLUSMALLINT>(m),
                               static_cast<SQLUSMALLINT>(sec)};
            if (buffer)
                std::memcpy(buffer, &t, sizeof t);
        } else {
            SQL_TIMESTAMP_STRUCT t {};
            if (k != Kind::Time) {
                t.year = static_cast<SQLSMALLINT>(Y);
                t.month = static_cast<SQLUSMALLINT>(M);
                t.day = static_cast<SQLUSMALLINT>(D);
            }
            t.hour = static_cast<SQLUSMALLINT>(h);
            t.minute = static_cast<SQLUSMALLINT>(m);
            t.second = static_cast<SQLUSMALLINT>(sec);
            t.fraction = static_cast<SQLUINTEGER>(frac);
            if (buffer)
                std::memcpy(buffer, &t, sizeof t);
        }
        if (indicator)
            *indicator = static_cast<SQLLEN>(fixedSize(cType));
        return SQL_SUCCESS;
    }
    default: return bad("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
    }
}

SQLRETURN Stmt::getData(SQLUSMALLINT col, SQLSMALLINT cType, SQLPOINTER buf, SQLLEN bufLen, SQLLEN* ind)
{
    if (!hasResult || row < 0 || row >= nrows)
        return fail(clientError("24000", -99999, "CLI0115E  Invalid cursor state. SQLSTATE=24000"));
    if (col < 1 || col > columns.size())
        return fail(clientError("07009", -99999, "CLI0125E  Invalid column number. SQLSTATE=07009"));
    return putValue(col - 1, cType, static_cast<char*>(buf), bufLen, ind, &gdOffset[col - 1]);
}

bool Stmt::bindingsUsable(Diag& err) const
{
    const size_t rows = tr.paramCount > 0 ? paramsetSize : 1;
    const size_t off = paramBindOffset ? *paramBindOffset : 0;
    const size_t indStride = paramBindType != SQL_PARAM_BIND_BY_COLUMN ? paramBindType : sizeof(SQLLEN);
    for (int p = 0; p < tr.paramCount; ++p) {
        const ParamBinding& b = params[p];
        const SQLSMALLINT cType = b.cType == SQL_C_DEFAULT ? defaultCType(b.sqlType) : b.cType;
        bool usable = fixedSize(cType) > 0 || cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
        for (size_t r = 0; usable && b.ind && r < rows; ++r) {
            const SQLLEN len
                = *reinterpret_cast<const SQLLEN*>(reinterpret_cast<const char*>(b.ind) + off + indStride * r);
            usable = len != SQL_DATA_AT_EXEC && len > SQL_LEN_DATA_AT_EXEC_OFFSET;
        }
        if (!usable) {
            err = clientError("HYC00", -99999, "CLI0150E  Driver not capable. SQLSTATE=HYC00");
            return false;
        }
    }
    return true;
}

void Stmt::storeInDatabaseCodePage(std::string& value, const TypeDesc& type, size_t row)
{
    if (conn->unicodeDatabase() || !type.isText() || type.isBinary() || type.isGraphic())
        return;
    const std::string codeset = codesetOf(conn->databaseCodePage);
    std::string stored = convertText(convertText(value, codeset, "UTF-8"), "UTF-8", codeset);
    if (stored == value)
        return;
    value = std::move(stored);
    substitutedRows.insert(row);
}

SQLRETURN Stmt::substitutionWarnings(SQLRETURN rc, const std::vector<char>* arrived)
{
    for (size_t row : substitutedRows) {
        if (arrived && !(*arrived)[row])
            continue;
        Diag d = serverError("01517", 335,
                             "SQL0335N  A character that could not be converted was replaced with a substitute "
                             "character.  SQLSTATE=01517");
        d.row = arrived ? static_cast<long>(row + 1) : 0;
        diags.push_back(d);
        if (paramStatus && (arrived || row == 0))
            paramStatus[row] = SQL_PARAM_SUCCESS_WITH_INFO;
        if (rc == SQL_SUCCESS)
            rc = SQL_SUCCESS_WITH_INFO;
    }
    return rc;
}

void Stmt::checkDeclaredLength(size_t p, const char* value, size_t length) const
{
    const ParamBinding& b = params[p];
    // Without LongDataCompat the ODBC long types are DB2's LONG types, not LOBs.
    const bool lobs = conn->longDataCompat;
    long long limit = 0;
    bool wideUnits = false;
    switch (b.sqlType) {
    case SQL_VARCHAR:
    case SQL_VARBINARY: limit = 32672; break;
    case SQL_LONGVARCHAR:
    case SQL_LONGVARBINARY: limit = lobs ? 2147483647LL : 32700; break;
    case SQL_WVARCHAR:
        limit = 16336;
        wideUnits = true;
        break;
    case SQL_WLONGVARCHAR:
        limit = lobs ? 1073741823LL : 16350;
        wideUnits = true;
        break;
    case kSqlClob:
    case kSqlBlob: limit = b.columnSize ? static_cast<long long>(b.columnSize) : 2147483647LL; break;
    case kSqlDbclob:
        limit = b.columnSize ? static_cast<long long>(b.columnSize) : 1073741823LL;
        wideUnits = true;
        break;
    default: return;
    }
    if (static_cast<long long>(length) <= limit)
        return;  // UTF-16 never takes more units than UTF-8 has bytes
    const long long size = wideUnits ? static_cast<long long>(utf8ToUtf16(std::string(value, length)).size())
                                     : static_cast<long long>(length);
    if (size > limit)
        throw SqlError {serverError("22001", -302,
                                    "SQL0302N  The value of a host variable in the EXECUTE or OPEN statement is out of "
                                    "range for its corresponding use.")};
}

}  // namespace db2standin
