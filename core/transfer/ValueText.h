#pragma once

#include "ColumnTypes.h"
#include "DataRecordset.h"

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The value, or the fallback when it is Null.
std::string NullToDefault(const std::optional<std::string>& value, const std::string& fallback);

// Value texts in forms both servers read the same way whatever the locale.
std::string FormatDouble(double value);  // shortest text that reads back to the same double
std::string FormatFloat(float value);
std::string FormatDate(const SQL_DATE_STRUCT& date);  // YYYY-MM-DD
std::string FormatTime(const SQL_TIME_STRUCT& time);  // hh:mm:ss
// YYYY-MM-DD hh:mm:ss, then a fraction of `digits` digits (more when the
// value has finer parts, so nothing is cut off).
std::string FormatTimestamp(const SQL_TIMESTAMP_STRUCT& stamp, int digits);

// The same written into a buffer of at least the given size; return the length.
constexpr size_t kNumberTextBytes = 32, kDateTextBytes = 10, kTimeTextBytes = 8, kTimestampTextBytes = 29;
size_t WriteIntegerText(char* out, long long value);
size_t WriteUnsignedText(char* out, unsigned long long value);
size_t WriteDoubleText(char* out, double value);
size_t WriteFloatText(char* out, float value);
size_t WriteDateText(char* out, const SQL_DATE_STRUCT& date);
size_t WriteTimeText(char* out, const SQL_TIME_STRUCT& time);
size_t WriteTimestampText(char* out, const SQL_TIMESTAMP_STRUCT& stamp, int digits);

// A MySQL date text whose month or day is zero: '0000-00-00', '2000-00-15 10:00:00'.
bool IsZeroOrPartialDate(std::string_view text);

// Whether every character of a UTF-8 text exists in a DB2 code page (819,
// 1252, ...; 1208 is Unicode). An unknown code page (0 or less, or one this
// system cannot convert to) is taken to hold ASCII only.
bool TextFitsCodePage(std::string_view utf8, long codePage);

// Whether the column holds booleans (only these get the 1/0 form on MySQL).
bool IsBooleanColumn(const Field& column);

// One value as an SQL literal for the side: NULL, a quoted text (apostrophes
// doubled; backslashes doubled too on MySQL, which reads them as escapes),
// a hexadecimal literal for bytes, and for booleans 1/0 on MySQL and
// 'True'/'False' on DB2. A boolean value reads "1"/"True" or "0"/"False".
std::string SqlLiteral(TargetSide side, const Field& column);

// A quoted text literal: apostrophes doubled, and on MySQL backslashes (and
// NUL) escaped, since MySQL reads a backslash in a literal as an escape.
std::string QuoteTextLiteral(TargetSide side, const std::string& text);

// The row's own INSERT statement: INSERT INTO "people" VALUES('1', NULL, 'O''Brien')
// With `columns`, the values go into those columns of the table:
// INSERT INTO "people"("id", "note") VALUES('1', NULL)
std::string BuildInsertSql(TargetSide side, const std::string& table, const std::vector<Field>& row,
                           const std::vector<std::string>& columns = {});

// The same statement with one parameter marker per column, for batches.
std::string BuildParameterInsertSql(TargetSide side, const std::string& table, size_t columnCount,
                                    const std::vector<std::string>& columns = {});
