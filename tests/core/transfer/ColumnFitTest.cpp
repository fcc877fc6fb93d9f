// Whether a target column holds a source column's values: per pair of
// column types, and per value where the pair may change one.
#include "ColumnFit.h"
#include "FieldMaker.h"

#include <gtest/gtest.h>

namespace {

// Columns as the drivers describe them; MySQL's carry their declaration.
Field Declared(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, const char* declaration, bool isUnsigned = false)
{
    Field f = MakeField("c", sqlType, size, digits, isUnsigned);
    f.declaredType = declaration;
    return f;
}

const Field kTinyInt = MakeField("c", SQL_TINYINT, 3);
const Field kSmallInt = MakeField("c", SQL_SMALLINT, 5);
const Field kInteger = MakeField("c", SQL_INTEGER, 10);
const Field kIntUnsigned = MakeField("c", SQL_INTEGER, 10, 0, true);
const Field kBigInt = MakeField("c", SQL_BIGINT, 19);
const Field kDecimal30 = MakeField("c", SQL_DECIMAL, 30, 10);
const Field kDecimal15 = MakeField("c", SQL_DECIMAL, 15, 5);
const Field kDecimal5 = MakeField("c", SQL_DECIMAL, 5, 2);
const Field kDecFloat = MakeField("c", db2sql::kDecFloat, 34);
const Field kReal = MakeField("c", SQL_REAL, 7);
const Field kDouble = MakeField("c", SQL_DOUBLE, 15);
const Field kBoolean = MakeField("c", db2sql::kBoolean, 1);
const Field kVarchar = MakeField("c", SQL_VARCHAR, 40);
const Field kBytes = MakeField("c", SQL_VARBINARY, 40);
const Field kDate = MakeField("c", SQL_TYPE_DATE, 10);
const Field kTime = MakeField("c", SQL_TYPE_TIME, 8);
const Field kTimestamp0 = MakeField("c", SQL_TYPE_TIMESTAMP, 19, 0);
const Field kTimestamp6 = MakeField("c", SQL_TYPE_TIMESTAMP, 26, 6);
const Field kMySQLDatetime = Declared(SQL_TYPE_TIMESTAMP, 19, 0, "datetime");
const Field kMySQLDatetime6 = Declared(SQL_TYPE_TIMESTAMP, 26, 6, "datetime(6)");
const Field kMySQLTime = Declared(SQL_TYPE_TIME, 8, 0, "time");
const Field kMySQLTime6 = Declared(SQL_TYPE_TIME, 15, 6, "time(6)");
const Field kMySQLYear = Declared(SQL_SMALLINT, 4, 0, "year(4)");
const Field kMySQLMediumInt = Declared(SQL_INTEGER, 8, 0, "mediumint(9)");
const Field kMySQLFloat = Declared(SQL_REAL, 12, 0, "float");
const Field kMySQLFloat73 = Declared(SQL_REAL, 7, 3, "float(7,3)");
const Field kMySQLBit = Declared(SQL_BIT, 1, 0, "bit(1)");

struct PairCase {
    const char* what;
    Field source, target;
    bool holdsEveryValue;
};

const PairCase kPairs[] = {
    {"SMALLINT into INTEGER", kSmallInt, kInteger, true},
    {"INTEGER into SMALLINT", kInteger, kSmallInt, false},
    {"INT UNSIGNED into INTEGER", kIntUnsigned, kInteger, false},
    {"INT UNSIGNED into BIGINT", kIntUnsigned, kBigInt, true},
    {"INTEGER into MEDIUMINT", kInteger, kMySQLMediumInt, false},
    {"SMALLINT into YEAR", kSmallInt, kMySQLYear, false},
    {"YEAR into YEAR: 0 would come back as 2000", kMySQLYear, kMySQLYear, false},
    {"BIGINT into DECIMAL(30,10)", kBigInt, kDecimal30, true},
    {"INTEGER into DECIMAL(5,2)", kInteger, kDecimal5, false},
    {"DECIMAL(5,2) into DECIMAL(30,10)", kDecimal5, kDecimal30, true},
    {"DECIMAL(30,10) into DECIMAL(5,2)", kDecimal30, kDecimal5, false},
    {"DECIMAL(5,2) into INTEGER", kDecimal5, kInteger, false},
    {"DECIMAL(15,5) into DOUBLE: 15 digits come back", kDecimal15, kDouble, true},
    {"DECIMAL(30,10) into DOUBLE", kDecimal30, kDouble, false},
    {"DECIMAL(5,2) into REAL", kDecimal5, kReal, true},
    {"DECIMAL(15,5) into REAL", kDecimal15, kReal, false},
    {"INTEGER into DOUBLE", kInteger, kDouble, true},
    {"BIGINT into DOUBLE", kBigInt, kDouble, false},
    {"SMALLINT into REAL", kSmallInt, kReal, true},
    {"INTEGER into REAL", kInteger, kReal, false},
    {"REAL into DOUBLE", kReal, kDouble, true},
    {"DOUBLE into DOUBLE", kDouble, kDouble, true},
    {"DOUBLE into REAL", kDouble, kReal, false},
    {"DOUBLE into MySQL FLOAT", kDouble, kMySQLFloat, false},
    {"REAL into FLOAT(7,3), which rounds to 3 digits", kReal, kMySQLFloat73, false},
    {"DOUBLE into DECIMAL", kDouble, kDecimal30, false},
    {"DOUBLE into DECFLOAT(34)", kDouble, kDecFloat, false},
    {"DECIMAL(30,10) into DECFLOAT(34)", kDecimal30, kDecFloat, true},
    {"BOOLEAN into BIT(1)", kBoolean, kMySQLBit, true},
    {"BOOLEAN into SMALLINT", kBoolean, kSmallInt, true},
    {"TINYINT into BIT(1)", kTinyInt, kMySQLBit, false},
    {"VARCHAR into INTEGER", kVarchar, kInteger, false},
    {"VARCHAR into DOUBLE", kVarchar, kDouble, false},
    {"VARCHAR into DATE", kVarchar, kDate, false},
    {"bytes into INTEGER", kBytes, kInteger, false},
    {"anything into VARCHAR", kDouble, kVarchar, true},
    {"anything into bytes", kTimestamp6, kBytes, true},
    {"DATE into DATE", kDate, kDate, true},
    {"DATE into DATETIME", kDate, kMySQLDatetime, true},
    {"TIMESTAMP(0) into DATETIME", kTimestamp0, kMySQLDatetime, true},
    {"TIMESTAMP(6) into DATETIME", kTimestamp6, kMySQLDatetime, false},
    {"DATETIME(6) into TIMESTAMP(0)", kMySQLDatetime6, kTimestamp0, false},
    {"DATETIME(6) into TIMESTAMP(6)", kMySQLDatetime6, kTimestamp6, true},
    {"TIMESTAMP into DATE", kTimestamp0, kDate, false},
    {"TIME into MySQL TIME", kTime, kMySQLTime, true},
    {"MySQL TIME into TIME: beyond a day", kMySQLTime, kTime, false},
    {"TIME(6) into TIME", kMySQLTime6, kMySQLTime, false},
    {"TIME into TIME(6)", kMySQLTime, kMySQLTime6, true},
};

TEST(ColumnFit, TellsPerPairOfTypesWhetherEveryValueArrives)
{
    for (const PairCase& c : kPairs)
        EXPECT_EQ(FitColumn(c.source, c.target).holdsEveryValue(), c.holdsEveryValue) << c.what;
}

struct ValueCase {
    const char* what;
    Field source, target;
    const char* text;  // as the copy sends it
    ValueChange change;
};

const ValueCase kValues[] = {
    {"a SMALLINT in range", kInteger, kSmallInt, "-32768", ValueChange::None},
    {"a SMALLINT out of range", kInteger, kSmallInt, "32768", ValueChange::OutOfRange},
    {"69 into YEAR, stored as 2069", kSmallInt, kMySQLYear, "69", ValueChange::OutOfRange},
    {"0 into YEAR, stored as 2000", kSmallInt, kMySQLYear, "0", ValueChange::OutOfRange},
    {"a year YEAR holds", kSmallInt, kMySQLYear, "2024", ValueChange::None},
    {"the text '1e2' into INTEGER, stored as 100", kVarchar, kInteger, "1e2", ValueChange::OtherForm},
    {"the text '007' into INTEGER", kVarchar, kInteger, "007", ValueChange::OtherForm},
    {"the text ' 5' into INTEGER", kVarchar, kInteger, " 5", ValueChange::OtherForm},
    {"the text '+5' into INTEGER", kVarchar, kInteger, "+5", ValueChange::OtherForm},
    {"the text '-0' into INTEGER", kVarchar, kInteger, "-0", ValueChange::OtherForm},
    {"the text '-12' into INTEGER", kVarchar, kInteger, "-12", ValueChange::None},
    {"the text '1.5' into INTEGER", kVarchar, kInteger, "1.5", ValueChange::Rounded},
    {"the text '0.50' into DECIMAL(5,2)", kVarchar, kDecimal5, "0.50", ValueChange::None},
    {"the text 'abc' into DECIMAL", kVarchar, kDecimal5, "abc", ValueChange::OtherForm},
    {"DECIMAL 12.50 into INTEGER", kDecimal5, kInteger, "12.50", ValueChange::Rounded},
    {"DECIMAL 12.00 into INTEGER", kDecimal5, kInteger, "12.00", ValueChange::None},
    {"DB2's decimal text without a leading zero", kDecimal5, kInteger, "-.00", ValueChange::None},
    {"DECIMAL 1.2345678901 into DECIMAL(5,2)", kDecimal30, kDecimal5, "1.2345678901", ValueChange::Rounded},
    {"DECIMAL 1.2300000000 into DECIMAL(5,2)", kDecimal30, kDecimal5, "1.2300000000", ValueChange::None},
    {"DECIMAL 1000.0000000000 into DECIMAL(5,2)", kDecimal30, kDecimal5, "1000.0000000000", ValueChange::OutOfRange},
    {"DECIMAL(30,10) rounded by DOUBLE", kDecimal30, kDouble, "12345678901234567890.1234567890", ValueChange::Rounded},
    {"DECIMAL 0.1000000000 in a DOUBLE comes back", kDecimal30, kDouble, "0.1000000000", ValueChange::None},
    {"DECIMAL 0.1000000000 in a REAL does not", kDecimal30, kReal, "0.1000000000", ValueChange::Rounded},
    {"DECIMAL -2.5000000000 in a REAL comes back", kDecimal30, kReal, "-2.5000000000", ValueChange::None},
    {"BIGINT 2^53 + 1 rounded by DOUBLE", kBigInt, kDouble, "9007199254740993", ValueChange::Rounded},
    {"BIGINT 2^53 in a DOUBLE", kBigInt, kDouble, "9007199254740992", ValueChange::None},
    {"BIGINT 2^63 - 1 rounded by DOUBLE", kBigInt, kDouble, "9223372036854775807", ValueChange::Rounded},
    {"INTEGER 16777217 rounded by REAL", kInteger, kReal, "16777217", ValueChange::Rounded},
    {"DOUBLE 1e-50 into a FLOAT, stored as 0", kDouble, kMySQLFloat, "1e-50", ValueChange::OutOfRange},
    {"DOUBLE 1e+39 into a REAL", kDouble, kReal, "1e+39", ValueChange::OutOfRange},
    {"DOUBLE 0.1 rounded by REAL", kDouble, kReal, "0.1", ValueChange::Rounded},
    {"DOUBLE 0.5 in a REAL", kDouble, kReal, "0.5", ValueChange::None},
    {"DOUBLE that is a float with more digits", kDouble, kReal, "0.10000000149011612", ValueChange::None},
    {"DOUBLE 0 into a REAL", kDouble, kReal, "-0", ValueChange::None},
    {"DOUBLE 1.5 into INTEGER", kDouble, kInteger, "1.5", ValueChange::Rounded},
    {"DOUBLE 1e+20 into BIGINT", kDouble, kBigInt, "1e+20", ValueChange::OutOfRange},
    {"DOUBLE 1e+18 into BIGINT", kDouble, kBigInt, "1e+18", ValueChange::None},
    {"DOUBLE 0.30000000000000004 into DECIMAL(5,2)", kDouble, kDecimal5, "0.30000000000000004", ValueChange::Rounded},
    {"DOUBLE 0.25 into DECIMAL(5,2)", kDouble, kDecimal5, "0.25", ValueChange::None},
    {"DECFLOAT Infinity into DOUBLE", kDecFloat, kDouble, "Infinity", ValueChange::OutOfRange},
    {"DECFLOAT 1.5E+10 into DOUBLE", kDecFloat, kDouble, "1.5E+10", ValueChange::None},
    {"REAL 1.234 into FLOAT(7,3)", kReal, kMySQLFloat73, "1.234", ValueChange::None},
    {"REAL 1.2345 into FLOAT(7,3)", kReal, kMySQLFloat73, "1.2345", ValueChange::Rounded},
    {"the text '0.1' into DOUBLE", kVarchar, kDouble, "0.1", ValueChange::None},
    {"the text '1e2' into DOUBLE", kVarchar, kDouble, "1e2", ValueChange::OtherForm},
    {"the text '0.10000000000000001' into DOUBLE", kVarchar, kDouble, "0.10000000000000001", ValueChange::Rounded},
    {"the text '1' into BIT(1)", kVarchar, kMySQLBit, "1", ValueChange::None},
    {"True into BIT(1)", kBoolean, kMySQLBit, "True", ValueChange::None},
    {"2 into BIT(1)", kTinyInt, kMySQLBit, "2", ValueChange::OutOfRange},
    {"fraction cut by DATETIME", kTimestamp6, kMySQLDatetime, "2024-01-31 10:00:00.123456", ValueChange::Rounded},
    {"no fraction to cut", kTimestamp6, kMySQLDatetime, "2024-01-31 10:00:00.000000", ValueChange::None},
    {"DB2's own timestamp text", MakeField("c", SQL_TYPE_TIMESTAMP, 32, 12), kMySQLDatetime6,
     "2024-01-31-10.00.00.123456789012", ValueChange::Rounded},
    {"a time of day into DATE", kTimestamp0, kDate, "2024-01-31 10:00:00", ValueChange::OutOfRange},
    {"midnight into DATE", kTimestamp0, kDate, "2024-01-31 00:00:00", ValueChange::None},
    {"fraction cut by TIME", kMySQLTime6, kMySQLTime, "10:11:12.500000", ValueChange::Rounded},
    {"MySQL TIME beyond a day into TIME", kMySQLTime, kTime, "100:00:00", ValueChange::OutOfRange},
    {"negative MySQL TIME into TIME", kMySQLTime, kTime, "-01:00:00", ValueChange::OutOfRange},
    {"MySQL TIME within a day into TIME", kMySQLTime, kTime, "23:59:59", ValueChange::None},
    {"the text '2024-01-31 10:00:00' into DATETIME", kVarchar, kMySQLDatetime, "2024-01-31 10:00:00",
     ValueChange::None},
    {"the text '2024/01/31' into DATE", kVarchar, kDate, "2024/01/31", ValueChange::OtherForm},
    {"the text '20240131' into DATE", kVarchar, kDate, "20240131", ValueChange::OtherForm},
    {"the text '10:00' into TIME", kVarchar, kMySQLTime, "10:00", ValueChange::OtherForm},
    {"any text into VARCHAR", kVarchar, kVarchar, "1e2", ValueChange::None},
};

TEST(ColumnFit, TellsWhatTheTargetWouldDoToEachValue)
{
    for (const ValueCase& c : kValues)
        EXPECT_EQ(FitColumn(c.source, c.target).check(c.text), c.change) << c.what;
}

TEST(ColumnFit, RoundsAcceptedValuesTheWayTheTargetKeepsThem)
{
    const struct {
        Field source, target;
        const char* text;
        const char* sent;
    } cases[] = {
        {kDecimal30, kDecimal5, "1.2350000000", "1.24"},
        {kDecimal30, kDecimal5, "-999.9950000000", "-1000.00"},
        {kDecimal30, kDecimal5, "0.0040000000", "0.00"},
        {kDecimal5, kInteger, "-2.50", "-3"},
        {kDouble, kInteger, "1.55e+1", "16"},
        {kTimestamp6, kMySQLDatetime, "2024-01-31 10:00:00.999999", "2024-01-31 10:00:00"},
        {kMySQLTime6, Declared(SQL_TYPE_TIME, 10, 1, "time(1)"), "10:11:12.250000", "10:11:12.2"},
        {kDouble, kReal, "0.1", "0.1"},  // the server takes the nearest float itself
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitColumn(c.source, c.target).rounded(c.text), c.sent) << c.text;
}

TEST(ColumnFit, SaysWhyAValueDoesNotArriveNamingTheTargetType)
{
    EXPECT_EQ(FitColumn(kSmallInt, kMySQLYear).why(ValueChange::OutOfRange, "69"), "YEAR(4) cannot hold 69");
    EXPECT_EQ(FitColumn(kBigInt, kDouble).why(ValueChange::Rounded, "9007199254740993"),
              "DOUBLE would round 9007199254740993 to the digits it keeps");
    EXPECT_EQ(FitColumn(kVarchar, kInteger).why(ValueChange::OtherForm, "1e2"),
              "INTEGER would read the text '1e2' as a value it writes otherwise");
    EXPECT_EQ(FitColumn(kTimestamp6, kMySQLDatetime).why(ValueChange::Rounded, "2024-01-31 10:00:00.5"),
              "DATETIME would cut the fraction of a second of 2024-01-31 10:00:00.5 to the digits it keeps");
}

}  // namespace
