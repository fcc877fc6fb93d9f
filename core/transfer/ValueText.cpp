#include "ValueText.h"

#include "ColumnKind.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdio>
#include <map>

std::string NullToDefault(const std::optional<std::string>& value, const std::string& fallback)
{
    return value ? *value : fallback;
}

namespace {

char* putDigits(char* out, unsigned long value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

char* putDate(char* out, long year, unsigned month, unsigned day)
{
    out = putDigits(out, static_cast<unsigned long>(std::clamp(year, 0L, 9999L)), 4);
    *out++ = '-';
    out = putDigits(out, month, 2);
    *out++ = '-';
    return putDigits(out, day, 2);
}

char* putTime(char* out, unsigned hour, unsigned minute, unsigned second)
{
    out = putDigits(out, hour, 2);
    *out++ = ':';
    out = putDigits(out, minute, 2);
    *out++ = ':';
    return putDigits(out, second, 2);
}

const char* hexDigits = "0123456789ABCDEF";

std::string hexText(const std::string& bytes)
{
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex += hexDigits[c >> 4];
        hex += hexDigits[c & 15];
    }
    return hex;
}

}  // namespace

std::string QuoteTextLiteral(TargetSide side, const std::string& text) { return DialectOf(side).quoteText(text); }

namespace {

bool isTrueText(const std::string& value) { return value == "1" || value == "True" || value == "true"; }

}  // namespace

size_t WriteIntegerText(char* out, long long value)
{
    return static_cast<size_t>(std::to_chars(out, out + kNumberTextBytes, value).ptr - out);
}

size_t WriteUnsignedText(char* out, unsigned long long value)
{
    return static_cast<size_t>(std::to_chars(out, out + kNumberTextBytes, value).ptr - out);
}

size_t WriteDoubleText(char* out, double value)
{
    return static_cast<size_t>(std::to_chars(out, out + 32, value).ptr - out);
}
size_t WriteFloatText(char* out, float value)
{
    // The shortest text of the largest float reads as a double just above the
    // float range, which MySQL refuses for a FLOAT column; the double's own
    // shortest text reads back to exactly this float.
    if (std::fabs(value) == std::numeric_limits<float>::max())
        return WriteDoubleText(out, static_cast<double>(value));
    return static_cast<size_t>(std::to_chars(out, out + 32, value).ptr - out);
}

bool IsZeroOrPartialDate(std::string_view text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return false;
    const auto zero = [&](size_t from, size_t count) {
        return text.substr(from, count).find_first_not_of('0') == std::string_view::npos;
    };
    return zero(5, 2) || zero(8, 2);
}

size_t WriteDateText(char* out, const SQL_DATE_STRUCT& date)
{
    return static_cast<size_t>(putDate(out, date.year, date.month, date.day) - out);
}

size_t WriteTimeText(char* out, const SQL_TIME_STRUCT& time)
{
    return static_cast<size_t>(putTime(out, time.hour, time.minute, time.second) - out);
}

size_t WriteTimestampText(char* out, const SQL_TIMESTAMP_STRUCT& stamp, int digits)
{
    char* p = putDate(out, stamp.year, stamp.month, stamp.day);
    *p++ = ' ';
    p = putTime(p, stamp.hour, stamp.minute, stamp.second);
    digits = std::clamp(digits, 0, 9);
    const unsigned long fraction = stamp.fraction % 1000000000UL;  // nanoseconds
    // Keep finer parts than the column declares rather than cutting them off.
    unsigned long unit = 1;
    for (int i = digits; i < 9; ++i)
        unit *= 10;
    while (digits < 9 && fraction % unit != 0) {
        ++digits;
        unit /= 10;
    }
    if (digits > 0) {
        *p++ = '.';
        p = putDigits(p, fraction / unit, digits);
    }
    return static_cast<size_t>(p - out);
}

std::string FormatDouble(double value)
{
    char text[32];
    return std::string(text, WriteDoubleText(text, value));
}

std::string FormatFloat(float value)
{
    char text[32];
    return std::string(text, WriteFloatText(text, value));
}

std::string FormatDate(const SQL_DATE_STRUCT& date)
{
    char text[kDateTextBytes];
    return std::string(text, WriteDateText(text, date));
}

std::string FormatTime(const SQL_TIME_STRUCT& time)
{
    char text[kTimeTextBytes];
    return std::string(text, WriteTimeText(text, time));
}

std::string FormatTimestamp(const SQL_TIMESTAMP_STRUCT& stamp, int digits)
{
    char text[kTimestampTextBytes];
    return std::string(text, WriteTimestampText(text, stamp, digits));
}

bool TextFitsCodePage(std::string_view utf8, long codePage)
{
    const auto ascii = [&] {
        return std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (codePage == 1208)
        return true;
    if (codePage <= 0)
        return ascii();
    const std::string codeset = codePage == 819 ? "ISO-8859-1"
        : codePage == 923                       ? "ISO-8859-15"
                                                : "CP" + std::to_string(codePage);
    // One converter per thread and code page: every value of a substituted row passes here.
    thread_local std::map<std::string, iconv_t> converters;
    auto found = converters.find(codeset);
    if (found == converters.end())
        found = converters.emplace(codeset, iconv_open(codeset.c_str(), "UTF-8")).first;
    if (found->second == reinterpret_cast<iconv_t>(-1))
        return ascii();
    iconv(found->second, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char out[256];
    while (inLeft > 0) {
        char* to = out;
        size_t outLeft = sizeof out;
        if (iconv(found->second, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) && errno != E2BIG)
            return false;
    }
    return true;
}

bool IsBooleanColumn(const Field& column) { return column.kind == ColumnKind::Boolean; }

std::string SqlLiteral(TargetSide side, const Field& column)
{
    if (!column.value)
        return "NULL";
    const std::string& value = *column.value;
    if (IsBooleanColumn(column)) {
        if (side == TargetSide::MySQL)
            return isTrueText(value) ? "1" : "0";
        return isTrueText(value) ? "'True'" : "'False'";
    }
    if (column.isBinary)
        return (side == TargetSide::DB2 ? "BX'" : "X'") + hexText(value) + "'";
    return QuoteTextLiteral(side, value);
}

namespace {

std::string insertInto(TargetSide side, const std::string& table, const std::vector<std::string>& columns)
{
    std::string sql = "INSERT INTO " + QuoteIdentifier(side, table);
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i > 0 ? ", " : "(") + QuoteIdentifier(side, columns[i]) + (i + 1 == columns.size() ? ")" : "");
    return sql + " VALUES(";
}

}  // namespace

std::string BuildInsertSql(TargetSide side, const std::string& table, const std::vector<Field>& row,
                           const std::vector<std::string>& columns)
{
    std::string sql = insertInto(side, table, columns);
    for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            sql += ", ";
        sql += SqlLiteral(side, row[i]);
    }
    return sql + ")";
}

std::string BuildParameterInsertSql(TargetSide side, const std::string& table, size_t columnCount,
                                    const std::vector<std::string>& columns)
{
    std::string sql = insertInto(side, table, columns);
    for (size_t i = 0; i < columnCount; ++i)
        sql += i > 0 ? ", ?" : "?";
    return sql + ")";
}
