#include "ColumnTypes.h"
#include "FieldMaker.h"
#include "Transfer.h"

#include <gtest/gtest.h>

namespace {

struct TypeCase {
    const char* what;
    Field column;
    const char* db2;
    const char* mysql;
};

const TypeCase kTypes[] = {
    {"INTEGER", MakeField("c", SQL_INTEGER, 10), "LONG VARCHAR", "INT"},
    {"SMALLINT", MakeField("c", SQL_SMALLINT, 5), "LONG VARCHAR", "SMALLINT"},
    {"BIGINT", MakeField("c", SQL_BIGINT, 19), "LONG VARCHAR", "BIGINT"},
    {"BIGINT UNSIGNED", MakeField("c", SQL_BIGINT, 20, 0, true), "LONG VARCHAR", "BIGINT UNSIGNED"},
    {"TINYINT", MakeField("c", SQL_TINYINT, 3), "LONG VARCHAR", "TINYINT"},
    {"TINYINT UNSIGNED", MakeField("c", SQL_TINYINT, 3, 0, true), "LONG VARCHAR", "TINYINT UNSIGNED"},
    {"INT UNSIGNED", MakeField("c", SQL_INTEGER, 10, 0, true), "LONG VARCHAR", "INT UNSIGNED"},
    {"VARCHAR(100)", MakeField("c", SQL_WVARCHAR, 100), "LONG VARCHAR", "TEXT"},
    {"CHAR(10)", MakeField("c", SQL_WCHAR, 10), "LONG VARCHAR", "TEXT"},
    {"VARCHAR fitting LONG VARCHAR", MakeField("c", SQL_WVARCHAR, 8175), "LONG VARCHAR", "TEXT"},
    {"VARCHAR outgrowing LONG VARCHAR", MakeField("c", SQL_WVARCHAR, 8176), "CLOB(32704)", "TEXT"},
    {"VARCHAR outgrowing TEXT", MakeField("c", SQL_VARCHAR, 32672), "CLOB(130688)", "LONGTEXT"},
    {"TEXT", MakeField("c", SQL_WLONGVARCHAR, 65535), "CLOB(262140)", "LONGTEXT"},
    {"LONGTEXT", MakeField("c", SQL_WLONGVARCHAR, 4294967295u), "CLOB(1073741824)", "LONGTEXT"},
    {"CLOB", MakeField("c", db2sql::kClob, 1048576), "CLOB(4194304)", "LONGTEXT"},
    {"DBCLOB(16384)", MakeField("c", db2sql::kDbClob, 16384), "CLOB(65536)", "LONGTEXT"},
    {"VARGRAPHIC(100)", MakeField("c", db2sql::kVarGraphic, 100), "LONG VARCHAR", "TEXT"},
    {"LONG VARGRAPHIC", MakeField("c", db2sql::kLongVarGraphic, 16350), "CLOB(65400)", "LONGTEXT"},
    {"XML", MakeField("c", db2sql::kXml, 0), "CLOB(1073741824)", "LONGTEXT"},
    {"DATE", MakeField("c", SQL_TYPE_DATE, 10), "DATE", "DATETIME"},
    {"DATE as ODBC 2 names it", MakeField("c", SQL_DATE, 10), "DATE", "DATETIME"},
    {"TIMESTAMP(6)", MakeField("c", SQL_TYPE_TIMESTAMP, 26, 6), "LONG VARCHAR", "DATETIME(6)"},
    {"TIMESTAMP(12)", MakeField("c", SQL_TYPE_TIMESTAMP, 32, 12), "LONG VARCHAR", "LONGTEXT"},
    {"TIME", MakeField("c", SQL_TYPE_TIME, 8), "LONG VARCHAR", "TIME"},
    {"BLOB", MakeField("c", SQL_LONGVARBINARY, 65535), "BLOB(65535)", "LONGBLOB"},
    {"LONGBLOB", MakeField("c", SQL_LONGVARBINARY, 4294967295u), "BLOB(1073741824)", "LONGBLOB"},
    {"BINARY(16)", MakeField("c", SQL_BINARY, 16), "BLOB(16)", "LONGBLOB"},
    {"VARBINARY(40)", MakeField("c", SQL_VARBINARY, 40), "BLOB(40)", "LONGBLOB"},
    {"DB2 BLOB(1M)", MakeField("c", db2sql::kBlob, 1048576), "BLOB(1048576)", "LONGBLOB"},
    {"BOOLEAN", MakeField("c", SQL_BIT, 1), "LONG VARCHAR", "BIT"},
    {"DB2 BOOLEAN", MakeField("c", db2sql::kBoolean, 1), "LONG VARCHAR", "BIT"},
    {"DECIMAL(19,4), money", MakeField("c", SQL_DECIMAL, 19, 4), "LONG VARCHAR", "DECIMAL(19,4)"},
    {"DECIMAL(30,10)", MakeField("c", SQL_DECIMAL, 30, 10), "LONG VARCHAR", "DECIMAL(30,10)"},
    {"DECIMAL(5,2)", MakeField("c", SQL_DECIMAL, 5, 2), "LONG VARCHAR", "DECIMAL(5,2)"},
    {"NUMERIC(31,0)", MakeField("c", SQL_NUMERIC, 31, 0), "LONG VARCHAR", "DECIMAL(31,0)"},
    {"NUMERIC too wide for MySQL", MakeField("c", SQL_NUMERIC, 70, 2), "LONG VARCHAR", "LONGTEXT"},
    {"DECFLOAT", MakeField("c", db2sql::kDecFloat, 34), "LONG VARCHAR", "LONGTEXT"},
    {"REAL", MakeField("c", SQL_REAL, 7), "LONG VARCHAR", "FLOAT"},
    {"DOUBLE", MakeField("c", SQL_DOUBLE, 15), "LONG VARCHAR", "DOUBLE"},
    {"GUID", MakeField("c", SQL_GUID, 36), "LONG VARCHAR", "LONGTEXT"},
    {"no type", MakeField("c", 0, 0), "LONG VARCHAR", "LONGTEXT"},
    {"unlisted type code", MakeField("c", 137, 0, 0), "LONG VARCHAR", "LONGTEXT"},
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
    return {MakeField("id", SQL_INTEGER, 10), MakeField("name", SQL_WVARCHAR, 50),
            MakeField("created", SQL_TYPE_TIMESTAMP, 26, 6)};
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
    EXPECT_EQ(BuildCreateTableSql(TargetSide::DB2, "t", {MakeField("d", SQL_TYPE_DATE, 10)}),
              "CREATE TABLE \"t\"(\"d\" DATE)");
}

TEST(BuildCreateTableSql, QuoteCharactersInNamesAreDoubled)
{
    EXPECT_EQ(BuildCreateTableSql(TargetSide::DB2, "a\"b", {MakeField("c\"d", SQL_INTEGER)}),
              "CREATE TABLE \"a\"\"b\"(\"c\"\"d\" LONG VARCHAR)");
    EXPECT_EQ(BuildCreateTableSql(TargetSide::MySQL, "a`b c", {MakeField("x`", SQL_DOUBLE)}),
              "CREATE TABLE `a``b c`(`x``` DOUBLE) CHARACTER SET utf8mb4;");
}

}  // namespace

namespace {

// The DB2 type for each MySQL declaration (information_schema COLUMN_TYPE)
// when the types are to match.
const std::pair<const char*, const char*> kMatchingDb2Types[] = {
    {"tinyint(4)", "SMALLINT"},
    {"tinyint(1)", "SMALLINT"},
    {"tinyint(3) unsigned", "SMALLINT"},
    {"smallint(6)", "SMALLINT"},
    {"smallint(5) unsigned", "INTEGER"},
    {"mediumint(9)", "INTEGER"},
    {"mediumint(8) unsigned", "INTEGER"},
    {"int(11)", "INTEGER"},
    {"int(10) unsigned", "BIGINT"},
    {"bigint(20)", "BIGINT"},
    {"bigint(20) unsigned", "DECIMAL(20,0)"},
    {"decimal(12,2)", "DECIMAL(12,2)"},
    {"decimal(31,31)", "DECIMAL(31,31)"},
    {"decimal(10,0) unsigned", "DECIMAL(10,0)"},
    {"decimal(32,4)", "VARCHAR(34)"},
    {"decimal(65,30)", "VARCHAR(67)"},
    {"float", "REAL"},
    {"float(7,4)", "REAL"},
    {"double", "DOUBLE"},
    {"double(10,2)", "DOUBLE"},
    {"date", "DATE"},
    {"datetime", "TIMESTAMP(0)"},
    {"datetime(6)", "TIMESTAMP(6)"},
    {"timestamp(3)", "TIMESTAMP(3)"},
    {"time", "VARCHAR(10)"},
    {"time(6)", "VARCHAR(17)"},
    {"year(4)", "SMALLINT"},
    {"bit(1)", "BOOLEAN"},
    {"bit(8)", "BINARY(1)"},
    {"bit(12)", "BINARY(2)"},
    {"bit(64)", "BINARY(8)"},
    {"char(10)", "VARCHAR(40)"},
    {"char(0)", "VARCHAR(1)"},
    {"varchar(50)", "VARCHAR(200)"},
    {"varchar(8168)", "VARCHAR(32672)"},
    {"varchar(8169)", "CLOB(32676)"},
    {"tinytext", "VARCHAR(255)"},
    {"text", "CLOB(65535)"},
    {"mediumtext", "CLOB(16777215)"},
    {"longtext", "CLOB(1073741824)"},
    {"json", "CLOB(1073741824)"},
    {"binary(16)", "BINARY(16)"},
    {"varbinary(40)", "VARBINARY(40)"},
    {"varbinary(40000)", "BLOB(40000)"},
    {"tinyblob", "VARBINARY(255)"},
    {"blob", "BLOB(65535)"},
    {"mediumblob", "BLOB(16777215)"},
    {"longblob", "BLOB(1073741824)"},
    {"enum('a','b c')", "VARCHAR(3)"},
    {"enum('it''s','x,y')", "VARCHAR(4)"},
    {"set('a','bb','ccc')", "VARCHAR(8)"},
    {"geometry", ""},
};

// Where the DB2 database sizes text in characters (a Unicode one), a VARCHAR
// keeps its length in characters; the rest is as above.
const std::pair<const char*, const char*> kMatchingDb2TypesInCharacters[] = {
    {"varchar(50)", "VARCHAR(50 CODEUNITS32)"}, {"char(10)", "VARCHAR(10 CODEUNITS32)"},
    {"char(0)", "VARCHAR(1 CODEUNITS32)"},      {"varchar(8168)", "VARCHAR(8168 CODEUNITS32)"},
    {"varchar(8169)", "CLOB(32676)"},           {"text", "CLOB(65535)"},
    {"enum('a','b c')", "VARCHAR(3)"},          {"int(11)", "INTEGER"},
};

TEST(MatchingDb2Type, HoldsEveryValueOfEachMySQLType)
{
    for (const auto& [declaration, db2] : kMatchingDb2Types)
        EXPECT_EQ(MatchingDb2Type(declaration), db2) << declaration;
    for (const auto& [declaration, db2] : kMatchingDb2TypesInCharacters)
        EXPECT_EQ(MatchingDb2Type(declaration, TextLengths::Characters), db2) << declaration;
}

Field inCharacters(Field field, SQLULEN characters)
{
    field.declaredCharacters = characters;
    return field;
}

// DB2 columns as the driver describes them, and the MySQL type when matching.
const TypeCase kMatchingMySQLTypes[] = {
    {"SMALLINT", MakeField("c", SQL_SMALLINT, 5), "", "SMALLINT"},
    {"INTEGER", MakeField("c", SQL_INTEGER, 10), "", "INT"},
    {"BIGINT", MakeField("c", SQL_BIGINT, 19), "", "BIGINT"},
    {"DECIMAL(12,2)", MakeField("c", SQL_DECIMAL, 12, 2), "", "DECIMAL(12,2)"},
    {"REAL", MakeField("c", SQL_REAL, 7), "", "FLOAT"},
    {"DOUBLE", MakeField("c", SQL_DOUBLE, 15), "", "DOUBLE"},
    {"DECFLOAT", MakeField("c", db2sql::kDecFloat, 34), "", "LONGTEXT"},
    {"BOOLEAN", MakeField("c", db2sql::kBoolean, 1), "", "BIT"},
    {"DATE", MakeField("c", SQL_TYPE_DATE, 10), "", "DATE"},
    {"TIME", MakeField("c", SQL_TYPE_TIME, 8), "", "TIME"},
    {"TIMESTAMP(0)", MakeField("c", SQL_TYPE_TIMESTAMP, 19, 0), "", "DATETIME"},
    {"TIMESTAMP(6)", MakeField("c", SQL_TYPE_TIMESTAMP, 26, 6), "", "DATETIME(6)"},
    {"TIMESTAMP(12)", MakeField("c", SQL_TYPE_TIMESTAMP, 32, 12), "", "LONGTEXT"},
    {"CHAR(3)", MakeField("c", SQL_CHAR, 3), "", "VARCHAR(3)"},
    {"VARCHAR(200)", MakeField("c", SQL_VARCHAR, 200), "", "VARCHAR(200)"},
    // Declared in characters: the catalogue's length counts, however the
    // driver describes the column (in bytes, or for the CLOB in characters).
    {"VARCHAR(50 CODEUNITS32)", inCharacters(MakeField("c", SQL_VARCHAR, 200), 50), "", "VARCHAR(50)"},
    {"CHAR(63 CODEUNITS32)", inCharacters(MakeField("c", SQL_CHAR, 252), 63), "", "VARCHAR(63)"},
    {"CLOB(20000 CODEUNITS32)", inCharacters(MakeField("c", db2sql::kClob, 20000), 20000), "", "MEDIUMTEXT"},
    {"VARCHAR(32672)", MakeField("c", SQL_VARCHAR, 32672), "", "TEXT"},
    {"VARGRAPHIC(16336)", MakeField("c", db2sql::kVarGraphic, 16336), "", "VARCHAR(16336)"},
    {"DBCLOB(16383)", MakeField("c", db2sql::kDbClob, 16383), "", "TEXT"},
    {"DBCLOB(16384)", MakeField("c", db2sql::kDbClob, 16384), "", "MEDIUMTEXT"},
    {"LONG VARCHAR", MakeField("c", SQL_LONGVARCHAR, 32700), "", "TEXT"},
    {"CLOB(65535)", MakeField("c", db2sql::kClob, 65535), "", "TEXT"},
    {"CLOB(1M)", MakeField("c", db2sql::kClob, 1048576), "", "MEDIUMTEXT"},
    {"BINARY(16)", MakeField("c", SQL_BINARY, 16), "", "BINARY(16)"},
    {"VARBINARY(40)", MakeField("c", SQL_VARBINARY, 40), "", "VARBINARY(40)"},
    {"BLOB(65535)", MakeField("c", db2sql::kBlob, 65535), "", "BLOB"},
    {"LONG VARBINARY", MakeField("c", SQL_LONGVARBINARY, 32700), "", "BLOB"},
    {"XML", MakeField("c", db2sql::kXml, 0), "", "LONGTEXT"},
    {"GRAPHIC(10)", MakeField("c", db2sql::kGraphic, 10), "", "VARCHAR(10)"},
    {"BLOB(1G)", MakeField("c", db2sql::kBlob, 1073741824), "", "LONGBLOB"},
};

TEST(MatchingMySQLType, HoldsEveryValueOfEachDB2Type)
{
    for (const auto& c : kMatchingMySQLTypes)
        EXPECT_EQ(MatchingMySQLType(c.column), c.mysql) << c.what;
}

Field declared(const std::string& name, const std::string& declaration, Field field)
{
    field.name = name;
    field.declaredType = declaration;
    return field;
}

const TransferOptions kBoth {Db2ColumnTypes::Matching, true};

TEST(PlanTargetTable, DefaultsGiveTheStatementOfToday)
{
    const TargetTable plan = PlanTargetTable(TargetSide::DB2, "orders", ordersColumns(), {"id"}, TransferOptions {});
    EXPECT_EQ(plan.createSql, BuildCreateTableSql(TargetSide::DB2, "orders", ordersColumns()));
    EXPECT_TRUE(plan.notes.empty());
    EXPECT_EQ(PlanTargetTable(TargetSide::MySQL, "orders", ordersColumns(), {"id"}, TransferOptions {}).createSql,
              BuildCreateTableSql(TargetSide::MySQL, "orders", ordersColumns()));
}

TEST(PlanTargetTable, KeysAndMatchingTypesBothWays)
{
    const std::vector<Field> fromMySQL {declared("id", "int(11)", MakeField("", SQL_INTEGER, 10)),
                                        declared("name", "varchar(50)", MakeField("", SQL_WVARCHAR, 50))};
    EXPECT_EQ(
        PlanTargetTable(TargetSide::DB2, "t", fromMySQL, {"id", "name"}, kBoth).createSql,
        "CREATE TABLE \"t\"(\"id\" INTEGER NOT NULL,\"name\" VARCHAR(200) NOT NULL,PRIMARY KEY(\"id\",\"name\"))");
    EXPECT_EQ(
        PlanTargetTable(TargetSide::DB2, "t", fromMySQL, {"id", "name"}, kBoth, TextLengths::Characters).createSql,
        "CREATE TABLE \"t\"(\"id\" INTEGER NOT NULL,\"name\" VARCHAR(50 CODEUNITS32) NOT NULL,"
        "PRIMARY KEY(\"id\",\"name\"))");
    // Keys with text types: on MySQL a binary collation, so 'a' and 'A' are two keys as on DB2.
    const std::vector<Field> fromDB2 {MakeField("K", SQL_VARCHAR, 20), MakeField("N", SQL_INTEGER)};
    EXPECT_EQ(PlanTargetTable(TargetSide::MySQL, "T", fromDB2, {"K"}, kBoth).createSql,
              "CREATE TABLE `T`(`K` VARCHAR(20) COLLATE utf8mb4_bin NOT NULL,`N` INT,PRIMARY KEY(`K`)) CHARACTER SET "
              "utf8mb4;");
}

TEST(PlanTargetTable, KeyATargetCannotHoldIsLeftOutWithANote)
{
    // Text types: LONG VARCHAR on DB2 and TEXT on MySQL are no key columns.
    const TransferOptions keysOnly {Db2ColumnTypes::Text, true};
    const TargetTable db2 = PlanTargetTable(TargetSide::DB2, "orders", ordersColumns(), {"id"}, keysOnly);
    EXPECT_EQ(db2.createSql, BuildCreateTableSql(TargetSide::DB2, "orders", ordersColumns()));
    EXPECT_EQ(db2.notes,
              std::vector<std::string> {"orders: primary key left out: its column id is LONG VARCHAR, "
                                        "which cannot be part of a key on IBM DB2"});
    const std::vector<Field> wide {MakeField("k", SQL_VARCHAR, 1000)};
    const TargetTable mysql = PlanTargetTable(TargetSide::MySQL, "w", wide, {"k"}, kBoth);
    EXPECT_EQ(mysql.createSql, "CREATE TABLE `w`(`k` VARCHAR(1000)) CHARACTER SET utf8mb4;");
    EXPECT_EQ(mysql.notes,
              std::vector<std::string> {"w: primary key left out: its columns take 4002 bytes, "
                                        "more than the 3072 a key takes on MySQL"});
    const std::vector<Field> longKey {declared("k", "varchar(300)", MakeField("", SQL_WVARCHAR, 300))};
    // In characters the key takes the same four bytes a character.
    for (const TextLengths lengths : {TextLengths::Bytes, TextLengths::Characters})
        EXPECT_EQ(
            PlanTargetTable(TargetSide::DB2, "l", longKey, {"k"}, kBoth, lengths).notes,
            std::vector<std::string> {"l: primary key left out: its columns take 1204 bytes, more than the 1024 a key "
                                      "takes on IBM DB2"});
    // The window and the CLI show the note with the run's summary.
    TransferSummary summary;
    summary.tables.push_back(TableResult {"w", TableStatus::Sent, 1, 1, 0, 1, {}, "", mysql.notes, {}, {}});
    EXPECT_EQ(TransferSummaryLines(summary, "MySQL").back(), mysql.notes[0]);
}

TEST(PlanTargetTable, LongVarcharsMoveOutOfAMySQLRowUntilItFits)
{
    // MySQL moves the widest VARCHARs that are no key out to TEXT until the row fits.
    std::vector<Field> fromDB2;
    for (int i = 0; i < 5; ++i)
        fromDB2.push_back(MakeField("c" + std::to_string(i), SQL_VARCHAR, 4000));
    EXPECT_EQ(
        PlanTargetTable(TargetSide::MySQL, "wide", fromDB2, {}, kBoth).createSql,
        "CREATE TABLE `wide`(`c0` TEXT,`c1` VARCHAR(4000),`c2` VARCHAR(4000),`c3` VARCHAR(4000),`c4` VARCHAR(4000))"
        " CHARACTER SET utf8mb4;");
}

}  // namespace
