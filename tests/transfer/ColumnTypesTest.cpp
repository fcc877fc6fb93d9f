#include "ColumnTypes.h"
#include "FieldMaker.h"

#include <gtest/gtest.h>

namespace {

using namespace ado;

struct TypeCase {
    const char* what;
    Field column;
    const char* db2;
    const char* mysql;
};

const TypeCase kTypes[] = {
    {"INTEGER", MakeField("c", adInteger, SQL_INTEGER, 10), "LONG VARCHAR", "INT"},
    {"SMALLINT", MakeField("c", adSmallInt, SQL_SMALLINT, 5), "LONG VARCHAR", "SMALLINT"},
    {"BIGINT", MakeField("c", adBigInt, SQL_BIGINT, 19), "LONG VARCHAR", "BIGINT"},
    {"BIGINT UNSIGNED", MakeField("c", adUnsignedBigInt, SQL_BIGINT, 20, 0, true), "LONG VARCHAR", "BIGINT UNSIGNED"},
    {"TINYINT", MakeField("c", adTinyInt, SQL_TINYINT, 3), "LONG VARCHAR", "TINYINT"},
    {"TINYINT UNSIGNED", MakeField("c", adUnsignedTinyInt, SQL_TINYINT, 3, 0, true), "LONG VARCHAR", "TINYINT UNSIGNED"},
    {"INT UNSIGNED", MakeField("c", adUnsignedInt, SQL_INTEGER, 10, 0, true), "LONG VARCHAR", "INT UNSIGNED"},
    {"VARCHAR(100)", MakeField("c", adVarWChar, SQL_WVARCHAR, 100), "LONG VARCHAR", "TEXT"},
    {"CHAR(10)", MakeField("c", adWChar, SQL_WCHAR, 10), "LONG VARCHAR", "TEXT"},
    {"VARCHAR fitting LONG VARCHAR", MakeField("c", adVarWChar, SQL_WVARCHAR, 8175), "LONG VARCHAR", "TEXT"},
    {"VARCHAR outgrowing LONG VARCHAR", MakeField("c", adVarWChar, SQL_WVARCHAR, 8176), "CLOB(32704)", "TEXT"},
    {"VARCHAR outgrowing TEXT", MakeField("c", adVarChar, SQL_VARCHAR, 32672), "CLOB(130688)", "LONGTEXT"},
    {"TEXT", MakeField("c", adLongVarWChar, SQL_WLONGVARCHAR, 65535), "CLOB(262140)", "LONGTEXT"},
    {"LONGTEXT", MakeField("c", adLongVarWChar, SQL_WLONGVARCHAR, 4294967295u), "CLOB(1073741824)", "LONGTEXT"},
    {"CLOB", MakeField("c", adLongVarChar, db2sql::kClob, 1048576), "CLOB(4194304)", "LONGTEXT"},
    {"DATE", MakeField("c", adDBDate, SQL_TYPE_DATE, 10), "DATE", "DATETIME"},
    {"adDate", MakeField("c", adDate, SQL_TYPE_DATE, 10), "DATE", "DATETIME"},
    {"TIMESTAMP(6)", MakeField("c", adDBTimeStamp, SQL_TYPE_TIMESTAMP, 26, 6), "LONG VARCHAR", "DATETIME(6)"},
    {"TIMESTAMP(12)", MakeField("c", adDBTimeStamp, SQL_TYPE_TIMESTAMP, 32, 12), "LONG VARCHAR", "LONGTEXT"},
    {"TIME", MakeField("c", adDBTime, SQL_TYPE_TIME, 8), "LONG VARCHAR", "TIME"},
    {"BLOB", MakeField("c", adLongVarBinary, SQL_LONGVARBINARY, 65535), "BLOB(65535)", "LONGBLOB"},
    {"LONGBLOB", MakeField("c", adLongVarBinary, SQL_LONGVARBINARY, 4294967295u), "BLOB(1073741824)", "LONGBLOB"},
    {"BINARY(16)", MakeField("c", adBinary, SQL_BINARY, 16), "BLOB(16)", "LONGBLOB"},
    {"VARBINARY(40)", MakeField("c", adVarBinary, SQL_VARBINARY, 40), "BLOB(40)", "LONGBLOB"},
    {"BOOLEAN", MakeField("c", adBoolean, SQL_BIT, 1), "LONG VARCHAR", "BIT"},
    {"currency", MakeField("c", adCurrency, SQL_DECIMAL, 19, 4), "LONG VARCHAR", "DECIMAL(19,4)"},
    {"DECIMAL(30,10)", MakeField("c", adNumeric, SQL_DECIMAL, 30, 10), "LONG VARCHAR", "DECIMAL(30,10)"},
    {"adDecimal", MakeField("c", adDecimal, SQL_DECIMAL, 5, 2), "LONG VARCHAR", "DECIMAL(5,2)"},
    {"adVarNumeric", MakeField("c", adVarNumeric, SQL_NUMERIC, 31, 0), "LONG VARCHAR", "DECIMAL(31,0)"},
    {"NUMERIC too wide for MySQL", MakeField("c", adNumeric, SQL_NUMERIC, 70, 2), "LONG VARCHAR", "LONGTEXT"},
    {"DECFLOAT", MakeField("c", adNumeric, db2sql::kDecFloat, 34), "LONG VARCHAR", "LONGTEXT"},
    {"REAL", MakeField("c", adSingle, SQL_REAL, 7), "LONG VARCHAR", "FLOAT"},
    {"DOUBLE", MakeField("c", adDouble, SQL_DOUBLE, 15), "LONG VARCHAR", "DOUBLE"},
    {"GUID", MakeField("c", adGUID, SQL_GUID, 36), "LONG VARCHAR", "LONGTEXT"},
    {"adChapter", MakeField("c", adChapter, 0, 0), "LONG VARCHAR", "LONGTEXT"},
    {"unlisted code", MakeField("c", 137, 0, 0), "LONG VARCHAR", "LONGTEXT"},
};

TEST(TargetColumnType, ChoosesASoundTypeForEverySourceType)
{
    for (const auto& c : kTypes) {
        EXPECT_EQ(TargetColumnType(TargetSide::DB2, c.column), c.db2) << c.what;
        EXPECT_EQ(TargetColumnType(TargetSide::MySQL, c.column), c.mysql) << c.what;
    }
}

std::vector<Field> ordersColumns()
{
    return {MakeField("id", adInteger, SQL_INTEGER, 10), MakeField("name", adVarWChar, SQL_WVARCHAR, 50),
            MakeField("created", adDBTimeStamp, SQL_TYPE_TIMESTAMP, 26, 6)};
}

TEST(BuildCreateTableSql, OrdersForDB2KeepsTheStatementOfTheOriginal)
{
    EXPECT_EQ(BuildCreateTableSql(TargetSide::DB2, "orders", ordersColumns()),
              "CREATE TABLE \"orders\"(\"id\" LONG VARCHAR,\"name\" LONG VARCHAR,\"created\" LONG VARCHAR)");
}

TEST(BuildCreateTableSql, OrdersForMySQLUsesSoundTypesAndUtf8mb4)
{
    EXPECT_EQ(BuildCreateTableSql(TargetSide::MySQL, "orders", ordersColumns()),
              "CREATE TABLE `orders`(`id` INT,`name` TEXT,`created` DATETIME(6)) CHARACTER SET utf8mb4;");
}

TEST(BuildCreateTableSql, SingleDateColumnForDB2)
{
    EXPECT_EQ(BuildCreateTableSql(TargetSide::DB2, "t", {MakeField("d", adDate, SQL_TYPE_DATE, 10)}),
              "CREATE TABLE \"t\"(\"d\" DATE)");
}

TEST(BuildCreateTableSql, QuoteCharactersInNamesAreDoubled)
{
    EXPECT_EQ(BuildCreateTableSql(TargetSide::DB2, "a\"b", {MakeField("c\"d", adInteger, SQL_INTEGER)}),
              "CREATE TABLE \"a\"\"b\"(\"c\"\"d\" LONG VARCHAR)");
    EXPECT_EQ(BuildCreateTableSql(TargetSide::MySQL, "a`b c", {MakeField("x`", adDouble, SQL_DOUBLE)}),
              "CREATE TABLE `a``b c`(`x``` DOUBLE) CHARACTER SET utf8mb4;");
}

}  // namespace
