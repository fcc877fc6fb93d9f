#include "FieldMaker.h"
#include "RowBlock.h"
#include "TableComparison.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

Field text(const char* name, std::optional<std::string> value)
{
    return MakeField(name, SQL_WVARCHAR, 100, 0, false, std::move(value));
}
Field number(const char* name, std::optional<std::string> value)
{
    return MakeField(name, SQL_INTEGER, 10, 0, false, std::move(value));
}
Field boolean(const char* name, std::optional<std::string> value)
{
    return MakeField(name, SQL_BIT, 1, 0, false, std::move(value));
}
Field bytes(const char* name, std::optional<std::string> value)
{
    return MakeField(name, SQL_LONGVARBINARY, 65535, 0, false, std::move(value));
}

// What DB2's serialization puts before an XML value read as text goes; the
// value's own processing instructions stay.
TEST(DropXmlDeclaration, TakesOffTheMarkAndTheDeclarationOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\" ?><a>\xC3\xBC</a>", "<a>\xC3\xBC</a>"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\" ?><a/>", "<a/>"},
        {"\xEF\xBB\xBF<a/>", "<a/>"},
        {"<?xml-stylesheet href=\"s.xsl\"?><a/>", "<?xml-stylesheet href=\"s.xsl\"?><a/>"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?><?xml-stylesheet href=\"s.xsl\"?><a/>",
         "<?xml-stylesheet href=\"s.xsl\"?><a/>"},
        {"<a>x</a>", "<a>x</a>"},
        {"", ""},
    };
    for (const auto& [read, stored] : cases) {
        std::string value = read;
        value.resize(DropXmlDeclaration(value.data(), value.size()));
        EXPECT_EQ(value, stored) << read;
    }
}

TEST(NullToDefault, OnlyNullTakesTheFallback)
{
    EXPECT_EQ(NullToDefault(std::nullopt, "fallback"), "fallback");
    EXPECT_EQ(NullToDefault(std::string(), "fallback"), "");
    EXPECT_EQ(NullToDefault(std::string("x"), "fallback"), "x");
}

TEST(BuildInsertSql, PeopleRowKeepsTheStatementOfTheOriginal)
{
    const std::vector<Field> row {number("id", "1"), text("nick", std::nullopt), text("name", "O'Brien")};
    EXPECT_EQ(BuildInsertSql(TargetSide::DB2, "people", row), "INSERT INTO \"people\" VALUES('1', NULL, 'O''Brien')");
    EXPECT_EQ(BuildInsertSql(TargetSide::MySQL, "people", row), "INSERT INTO `people` VALUES('1', NULL, 'O''Brien')");
}

TEST(BuildInsertSql, FlagsRowOnMySQLWritesBooleansAsNumbers)
{
    const std::vector<Field> row {boolean("a", "1"), boolean("b", "0"), text("c", "x")};
    EXPECT_EQ(BuildInsertSql(TargetSide::MySQL, "flags", row), "INSERT INTO `flags` VALUES(1, 0, 'x')");
    EXPECT_EQ(BuildInsertSql(TargetSide::DB2, "flags", row), "INSERT INTO \"flags\" VALUES('True', 'False', 'x')");
}

struct LiteralCase {
    const char* what;
    Field column;
    const char* db2;
    const char* mysql;
};

const LiteralCase kLiterals[] = {
    {"Null", text("c", std::nullopt), "NULL", "NULL"},
    {"empty text stays a text", text("c", ""), "''", "''"},
    {"text reading True is no boolean", text("c", "True"), "'True'", "'True'"},
    {"text reading False is no boolean", text("c", "False"), "'False'", "'False'"},
    {"boolean True text", boolean("c", "True"), "'True'", "1"},
    {"boolean false", boolean("c", "0"), "'False'", "0"},
    {"number quoted", number("c", "5"), "'5'", "'5'"},
    {"backslash", text("c", "a\\b"), "'a\\b'", "'a\\\\b'"},
    {"double quote and backquote", text("c", "\"`"), "'\"`'", "'\"`'"},
    {"apostrophes", text("c", "''"), "''''''", "''''''"},
    {"non-ASCII", text("c", "Zoë 😀"), "'Zoë 😀'", "'Zoë 😀'"},
    {"bytes", bytes("c", std::string("\x00\xff\x10", 3)), "BX'00FF10'", "X'00FF10'"},
    {"no bytes", bytes("c", std::string()), "BX''", "X''"},
};

TEST(SqlLiteral, WritesEachValueInAFormTheTargetReadsBack)
{
    for (const auto& c : kLiterals) {
        EXPECT_EQ(SqlLiteral(TargetSide::DB2, c.column), c.db2) << c.what;
        EXPECT_EQ(SqlLiteral(TargetSide::MySQL, c.column), c.mysql) << c.what;
    }
}

TEST(BuildInsertSql, NullPositions)
{
    EXPECT_EQ(BuildInsertSql(TargetSide::DB2, "t", {text("a", std::nullopt)}), "INSERT INTO \"t\" VALUES(NULL)");
    EXPECT_EQ(BuildInsertSql(TargetSide::DB2, "t", {text("a", std::nullopt), text("b", "x")}),
              "INSERT INTO \"t\" VALUES(NULL, 'x')");
    EXPECT_EQ(BuildInsertSql(TargetSide::MySQL, "t", {text("a", "x"), text("b", std::nullopt)}),
              "INSERT INTO `t` VALUES('x', NULL)");
}

TEST(BuildParameterInsertSql, OneMarkerPerColumn)
{
    EXPECT_EQ(BuildParameterInsertSql(TargetSide::MySQL, "t`x", 3), "INSERT INTO `t``x` VALUES(?, ?, ?)");
    EXPECT_EQ(BuildParameterInsertSql(TargetSide::DB2, "T", 1), "INSERT INTO \"T\" VALUES(?)");
}

TEST(ValueText, NumbersReadBackToTheSameValue)
{
    EXPECT_EQ(FormatDouble(0.1), "0.1");
    EXPECT_EQ(FormatDouble(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(FormatDouble(-1.7976931348623157e308), "-1.7976931348623157e+308");
    EXPECT_EQ(FormatDouble(16777217.0), "16777217");
    EXPECT_EQ(FormatFloat(3.14f), "3.14");
}

// Integers fetched as numbers are written by the tool; floating values in
// the shortest text that reads back to the very same bits.
TEST(ValueText, NumbersAtTheirLimitsAreWrittenExactly)
{
    char out[kNumberTextBytes];
    const struct {
        long long value;
        const char* text;
    } integers[] = {{std::numeric_limits<long long>::min(), "-9223372036854775808"},
                    {std::numeric_limits<long long>::max(), "9223372036854775807"},
                    {0, "0"},
                    {-1, "-1"},
                    {-32768, "-32768"}};
    for (const auto& c : integers)
        EXPECT_EQ(std::string(out, WriteIntegerText(out, c.value)), c.text);
    EXPECT_EQ(std::string(out, WriteUnsignedText(out, std::numeric_limits<unsigned long long>::max())),
              "18446744073709551615");
    EXPECT_EQ(std::string(out, WriteUnsignedText(out, 0)), "0");

    EXPECT_EQ(FormatDouble(-0.0), "-0");
    EXPECT_EQ(FormatDouble(12.5), "12.5");
    for (const double value : {-0.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, -1e-300, 0.1 + 0.2,
                               123456789012345678.0}) {
        const std::string text(out, WriteDoubleText(out, value));
        const double back = std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    }
    for (const float value : {-0.0f, 1e-45f, 1.17549435e-38f, std::numeric_limits<float>::max(),
                              -std::numeric_limits<float>::max(), 0.1f, 16777216.0f}) {
        const std::string text(out, WriteFloatText(out, value));
        const float back = std::strtof(text.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    }
}

TEST(ValueText, DatesAndTimesInIsoForm)
{
    EXPECT_EQ(FormatDate({2024, 1, 2}), "2024-01-02");
    EXPECT_EQ(FormatTime({3, 4, 5}), "03:04:05");
    const SQL_TIMESTAMP_STRUCT stamp {2024, 12, 31, 23, 59, 58, 123456000};
    EXPECT_EQ(FormatTimestamp(stamp, 6), "2024-12-31 23:59:58.123456");
    EXPECT_EQ(FormatTimestamp({2024, 1, 2, 3, 4, 5, 0}, 0), "2024-01-02 03:04:05");
    EXPECT_EQ(FormatTimestamp({2024, 1, 2, 3, 4, 5, 0}, 6), "2024-01-02 03:04:05.000000");
    // Finer parts than the column declares are kept, not cut.
    EXPECT_EQ(FormatTimestamp({2024, 1, 2, 3, 4, 5, 500000000}, 0), "2024-01-02 03:04:05.5");
    EXPECT_EQ(FormatTimestamp({2024, 1, 2, 3, 4, 5, 123456789}, 6), "2024-01-02 03:04:05.123456789");
}

// Two values of a column, one read on each side: whether a comparison takes them for the same.
struct SameMeaningCase {
    const char* what;
    SQLSMALLINT sourceType, targetType;
    std::optional<std::string> source, target;
    bool same;
};

const SameMeaningCase kSameMeaning[] = {
    {"decimal .5 is 0.50", SQL_DECIMAL, SQL_DECIMAL, ".5", "0.50", true},
    {"decimal 1 is 1.00", SQL_DECIMAL, SQL_INTEGER, "1.00", "1", true},
    {"negative zero", SQL_DECIMAL, SQL_DECIMAL, "-0.00", "0", true},
    {"a cent off", SQL_DECIMAL, SQL_DECIMAL, "10.00", "10.01", false},
    {"comma decimal", SQL_DECIMAL, SQL_DECIMAL, "2,5", "2.50", true},
    {"decimal kept as text: the copy's text", SQL_DECIMAL, SQL_LONGVARCHAR, "1.50", "1.5", false},
    {"trailing space in text", SQL_VARCHAR, SQL_LONGVARCHAR, "x", "x ", false},
    {"CHAR padding", SQL_CHAR, SQL_VARCHAR, "ab   ", "ab", true},
    {"NULL is not ''", SQL_VARCHAR, SQL_VARCHAR, std::nullopt, "", false},
    {"NULL is NULL", SQL_INTEGER, SQL_INTEGER, std::nullopt, std::nullopt, true},
    {"bytes exactly", SQL_LONGVARBINARY, SQL_LONGVARBINARY, std::string("a\0b", 3), std::string("a\0c", 3), false},
    {"timestamp separators", SQL_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, "2024-01-02 03:04:05.500000",
     "2024-01-02-03.04.05.5", true},
    {"timestamp an hour later", SQL_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, "2024-01-02 03:04:05", "2024-01-02 04:04:05",
     false},
    {"a microsecond apart", SQL_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, "2024-01-02 03:04:05.000001", "2024-01-02 03:04:05",
     false},
    {"date and midnight timestamp", SQL_TYPE_DATE, SQL_TYPE_TIMESTAMP, "2024-01-02", "2024-01-02 00:00:00", true},
    {"date and a time that day", SQL_TYPE_DATE, SQL_TYPE_TIMESTAMP, "2024-01-02", "2024-01-02 00:00:01", false},
    {"boolean True is 1", SQL_BIT, SQL_TINYINT, "True", "1", true},
    {"double in a REAL column", SQL_DOUBLE, SQL_REAL, "0.1", "0.1", true},
    {"double rounded by REAL", SQL_DOUBLE, SQL_REAL, "0.30000000000000004", "0.3", false},
    {"REAL as the copy writes it, in a DOUBLE", SQL_REAL, SQL_DOUBLE, "1.2345677614212036", "1.2345678", true},
    {"REAL in a DOUBLE edited", SQL_REAL, SQL_DOUBLE, "16777216", "16777216.5", false},
    {"decimal a DOUBLE holds", SQL_DECIMAL, SQL_DOUBLE, "0.10", "0.1", true},
    {"decimal rounded by DOUBLE", SQL_DECIMAL, SQL_DOUBLE, "12345678901234567890.1234567890", "1.2345678901234567e19",
     false},
    {"big integer rounded by DOUBLE", SQL_BIGINT, SQL_DOUBLE, "9007199254740993", "9007199254740992", false},
    {"DECFLOAT with an exponent", SQL_DECIMAL, db2sql::kDecFloat, "1500", "1.5E+3", true},
    {"REAL kept as text: the copy's text", SQL_REAL, SQL_LONGVARCHAR, "0.10000000149011612", "0.1", true},
    {"double differs", SQL_DOUBLE, SQL_DOUBLE, "0.30000000000000004", "0.3", false},
};

TEST(ValueForm, ValuesCompareByWhatTheyMean)
{
    for (const SameMeaningCase& c : kSameMeaning) {
        const ColumnForms forms = FormsOf(MakeField("a", c.sourceType), MakeField("a", c.targetType));
        EXPECT_EQ(NormalizedValue(forms.source, c.source) == NormalizedValue(forms.target, c.target), c.same) << c.what;
    }
}

}  // namespace
