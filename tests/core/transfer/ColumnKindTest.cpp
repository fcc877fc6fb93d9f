#include "ColumnKind.h"

#include <gtest/gtest.h>

#include <sqlext.h>
#include <sqlucode.h>

namespace {

struct KindCase {
    SQLSMALLINT sqlType;
    ColumnKind kind;
    bool sizedInCharacters;
    bool binary;
};

// Every ODBC type the two drivers describe columns with, DB2's own included,
// and codes neither names.
const KindCase kKinds[] = {
    {SQL_BIT, ColumnKind::Boolean, false, false},
    {db2sql::kBoolean, ColumnKind::Boolean, false, false},
    {SQL_TINYINT, ColumnKind::TinyInt, false, false},
    {SQL_SMALLINT, ColumnKind::SmallInt, false, false},
    {SQL_INTEGER, ColumnKind::Integer, false, false},
    {SQL_BIGINT, ColumnKind::BigInt, false, false},
    {SQL_DECIMAL, ColumnKind::Decimal, false, false},
    {SQL_NUMERIC, ColumnKind::Decimal, false, false},
    {db2sql::kDecFloat, ColumnKind::DecFloat, false, false},
    {SQL_REAL, ColumnKind::Real, false, false},
    {SQL_FLOAT, ColumnKind::Double, false, false},
    {SQL_DOUBLE, ColumnKind::Double, false, false},
    {SQL_TYPE_DATE, ColumnKind::Date, false, false},
    {SQL_DATE, ColumnKind::Date, false, false},
    {SQL_TYPE_TIME, ColumnKind::Time, false, false},
    {SQL_TIME, ColumnKind::Time, false, false},
    {SQL_TYPE_TIMESTAMP, ColumnKind::Timestamp, false, false},
    {SQL_TIMESTAMP, ColumnKind::Timestamp, false, false},
    {SQL_CHAR, ColumnKind::Text, false, false},
    {SQL_VARCHAR, ColumnKind::Text, false, false},
    {SQL_WCHAR, ColumnKind::Text, true, false},
    {SQL_WVARCHAR, ColumnKind::Text, true, false},
    {db2sql::kGraphic, ColumnKind::Text, true, false},
    {db2sql::kVarGraphic, ColumnKind::Text, true, false},
    {SQL_LONGVARCHAR, ColumnKind::LongText, false, false},
    {SQL_WLONGVARCHAR, ColumnKind::LongText, true, false},
    {db2sql::kLongVarGraphic, ColumnKind::LongText, true, false},
    {db2sql::kClob, ColumnKind::Clob, false, false},
    {db2sql::kDbClob, ColumnKind::Clob, true, false},
    {db2sql::kXml, ColumnKind::Xml, false, false},
    {SQL_BINARY, ColumnKind::FixedBytes, false, true},
    {SQL_VARBINARY, ColumnKind::Bytes, false, true},
    {SQL_LONGVARBINARY, ColumnKind::LongBytes, false, true},
    {db2sql::kBlob, ColumnKind::Blob, false, true},
    {SQL_GUID, ColumnKind::Other, false, false},
    {SQL_UNKNOWN_TYPE, ColumnKind::Other, false, false},
    {137, ColumnKind::Other, false, false},
    {-154, ColumnKind::Other, false, false},
    {32767, ColumnKind::Other, false, false},
};

TEST(ColumnKind, ChosenFromTheOdbcType)
{
    for (const auto& c : kKinds) {
        EXPECT_EQ(ColumnKindOf(c.sqlType), c.kind) << c.sqlType;
        EXPECT_EQ(IsSizedInCharacters(c.sqlType), c.sizedInCharacters) << c.sqlType;
        EXPECT_EQ(isBinarySqlType(c.sqlType), c.binary) << c.sqlType;
    }
}

}  // namespace
