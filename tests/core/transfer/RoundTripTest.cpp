// MySQL -> DB2 -> MySQL for every MySQL column type and the self-check's
// values: each value comes back equal, as text where the DB2 side keeps text,
// and with matching types and primary keys; DB2 -> MySQL -> DB2 for a key
// told apart by case.
#include "ColumnKind.h"
#include "RecordingObserver.h"
#include "SelfCheckCorpus.h"
#include "ServerHelpers.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <map>

namespace {

// The window runs in the user's locale (Qt applies it at start): so do these
// tests, which ctest runs again under a comma-decimal and a Latin-1 locale.
const bool kUserLocale = std::setlocale(LC_ALL, "") != nullptr;

// Types and values beside the self-check's (MySQLCorpusColumns): rows 1 and 2.
struct MoreColumn {
    const char* name;
    const char* type;
    const char* one;
    const char* two;
};

const MoreColumn kMoreColumns[] = {
    {"ti", "TINYINT", "127", "-128"},
    {"siu", "SMALLINT UNSIGNED", "65535", "0"},
    {"mi", "MEDIUMINT", "8388607", "-8388608"},
    {"miu", "MEDIUMINT UNSIGNED", "16777215", "0"},
    {"iu", "INT UNSIGNED", "4294967295", "0"},
    {"biu", "BIGINT UNSIGNED", "18446744073709551615", "0"},
    {"yr", "YEAR", "2155", "1901"},
    {"tx", "TEXT", "REPEAT('é', 16500)", "''"},
    {"lt", "LONGTEXT", "'日本語 😀 \\\\n'", "''"},
    {"b1", "BIT(1)", "1", "0"},
    {"t1", "TINYINT(1)", "1", "0"},
    {"en", "ENUM('a','b c')", "'b c'", "'a'"},
    {"js", "JSON", "'{\"a\": [1, \"x\\\\\"y\"]}'", "'[]'"},
    {"dp", "DECIMAL(5,5)", "0.99999", "-0.12345"},
    {"big", "LONGTEXT", "REPEAT('ü', 200000)", "''"},
};

// rt_all with every column and three rows, the third all NULL. key: the
// primary key, or none (then the table is read in pages by position).
void createAllTypesTable(DataConnection& mysql, const std::string& key)
{
    std::string create = "CREATE TABLE rt_all(id INT " + key, one = "1", two = "2";
    const auto add
        = [&](const std::string& name, const std::string& type, const std::string& rowOne, const std::string& rowTwo) {
              create += ", " + name + " " + type;
              one += ", " + rowOne;
              two += ", " + rowTwo;
          };
    for (const CorpusColumn& column : MySQLCorpusColumns())
        add(column.name, column.type, column.literals.at(0), column.literals.at(1));
    for (const MoreColumn& column : kMoreColumns)
        add(column.name, column.type, column.one, column.two);
    mysql.execute(create + ") CHARACTER SET utf8mb4");
    mysql.execute("INSERT INTO rt_all VALUES(" + one + ")");
    mysql.execute("INSERT INTO rt_all VALUES(" + two + ")");
    mysql.execute("INSERT INTO rt_all(id) VALUES(3)");
}

// Text of row 1, 2 and 3 (all Null) per column, as the final MySQL table holds it.
struct ColumnCase {
    const char* column;
    const char* max;
    const char* min;
};

const ColumnCase kColumns[] = {
    {"ti", "127", "-128"},
    {"tiu", "255", "0"},
    {"si", "32767", "-32768"},
    {"siu", "65535", "0"},
    {"mi", "8388607", "-8388608"},
    {"miu", "16777215", "0"},
    {"i", "2147483647", "-2147483648"},
    {"iu", "4294967295", "0"},
    {"bi", "9223372036854775807", "-9223372036854775808"},
    {"biu", "18446744073709551615", "0"},
    {"de", "999999999999999999999.9999999999", "-0.0000000001"},
    {"dbl", "1.7976931348623157e+308", "0.30000000000000004"},
    {"flt", "3.14", "-1.5e-10"},
    {"dt", "9999-12-31 23:59:59.999999", "1000-01-01 00:00:00.000000"},
    {"tm", "838:59:59", "-838:59:59"},
    {"yr", "2155", "1901"},
    {"ch", "O'Brien", ""},
    {"vc", "back\\slash `tick` \"dq\" 'ap' Zoë 😀 \n", ""},
    {"lt", "日本語 😀 \\n", ""},
    {"b1", "True", "False"},  // DB2 keeps the boolean as its text
    {"t1", "1", "0"},
    {"en", "b c", "a"},
    {"js", "{\"a\": [1, \"x\\\"y\"]}", "[]"},
    {"dp", "0.99999", "-0.12345"},
};

class RoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }
    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        dropAll();
    }
    void TearDown() override { dropAll(); }
    void dropAll()
    {
        DropMySQL(mysql, "rt_all");
        DropMySQL(mysql, "rt_orig");
        DropDB2(db2, "rt_all");
        DropMySQL(mysql, "RT_KEYS");
        DropDB2(db2, "RT_KEYS");
    }

    DataConnection mysql, db2;
};

const TransferOptions kMatchingTypesAndKeys {Db2ColumnTypes::Matching, true};

class KeyedAndKeylessRoundTrip : public RoundTrip, public ::testing::WithParamInterface<const char*> { };

TEST_P(KeyedAndKeylessRoundTrip, EveryMySQLTypeComesBackEqual)
{
    ASSERT_TRUE(kUserLocale) << "the locale of LC_ALL/LANG is not installed (scripts/setup generates it)";
    for (const bool matching : {false, true}) {
        SCOPED_TRACE(matching ? "matching types and keys" : "text types");
        const TransferOptions options = matching ? kMatchingTypesAndKeys : TransferOptions {};
        dropAll();
        createAllTypesTable(mysql, GetParam());
        ASSERT_EQ(QueryValue(mysql, "SELECT LENGTH(bl) FROM rt_all WHERE id = 1"), "256");
        // 100 KB text and bytes: over LONG VARCHAR's 32,700 bytes, so they travel as LOBs.
        ASSERT_EQ(QueryValue(mysql, "SELECT CONCAT(LENGTH(lx), ' ', LENGTH(lb)) FROM rt_all WHERE id = 1"),
                  "115200 102400");

        RecordingObserver there;
        RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"rt_all"}, there, options);
        ASSERT_EQ(there.reportsText(), "");
        // Long text and bytes get DB2 types that hold them; dates stay dates.
        auto described = db2.execute("SELECT * FROM \"rt_all\"");
        ASSERT_TRUE(described);
        EXPECT_EQ(described->field("tx").sqlType, db2sql::kClob);
        EXPECT_EQ(described->field("bl").sqlType, db2sql::kBlob);
        EXPECT_EQ(described->field("d").sqlType, SQL_TYPE_DATE);
        EXPECT_EQ(described->field("vc").sqlType, matching ? SQL_VARCHAR : SQL_LONGVARCHAR);
        described.reset();
        EXPECT_EQ(QueryValue(db2, "SELECT \"tx\" FROM \"rt_all\" WHERE \"id\" = '1'")->size(), 33000u);

        mysql.execute("RENAME TABLE rt_all TO rt_orig");
        RecordingObserver back;
        RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(), {"rt_all"}, back, options);
        ASSERT_EQ(back.reportsText(), "");
        ASSERT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM rt_all"), "3");

        for (const auto& c : kColumns) {
            const std::string col = c.column;
            const auto rows = QueryRows(mysql, "SELECT " + col + " FROM rt_all ORDER BY CAST(id AS SIGNED)");
            // With matching types BIT(1) travels as a DB2 BOOLEAN and comes back a bit.
            const bool bit = matching && col == "b1";
            EXPECT_EQ(rows, (std::vector<Row> {{bit ? "1" : c.max}, {bit ? "0" : c.min}, {std::nullopt}})) << col;
        }
        // Dates come back as the same day; long text, and every byte of the blob.
        EXPECT_EQ(QueryRows(mysql, "SELECT DATE_FORMAT(d, '%Y-%m-%d') FROM rt_all ORDER BY CAST(id AS SIGNED)"),
                  (std::vector<Row> {{"9999-12-31"}, {"1000-01-01"}, {std::nullopt}}));
        EXPECT_EQ(QueryValue(mysql,
                             "SELECT COUNT(*) FROM rt_all n JOIN rt_orig o ON o.id = n.id"
                             " WHERE n.tx = o.tx AND n.bl = o.bl AND n.lt = o.lt AND n.vc = o.vc"
                             " AND n.vc50 = o.vc50 AND n.lx = o.lx AND n.lb = o.lb AND n.big = o.big"),
                  "2");
        // A text read in pieces: 200,000 characters.
        EXPECT_EQ(QueryValue(mysql, "SELECT CHAR_LENGTH(big) FROM rt_all WHERE id = '1'"), "200000");
        EXPECT_EQ(
            QueryValue(mysql, "SELECT HEX(bl) = (SELECT HEX(bl) FROM rt_orig WHERE id = 1) FROM rt_all WHERE id = '1'"),
            "1");
        EXPECT_EQ(QueryValue(
                      mysql,
                      "SELECT CAST(dbl AS DOUBLE) = (SELECT dbl FROM rt_orig WHERE id = 1) FROM rt_all WHERE id = '1'"),
                  "1");
        EXPECT_EQ(
            QueryValue(mysql,
                       "SELECT CAST(flt AS FLOAT) = (SELECT flt FROM rt_orig WHERE id = 1) FROM rt_all WHERE id = '1'"),
            "1");
    }
}

// Column names, types and keys of a MySQL table.
std::vector<Row> mysqlColumns(DataConnection& mysql, const std::string& table)
{
    return QueryRows(mysql,
                     "SELECT COLUMN_NAME, COLUMN_TYPE, COLUMN_KEY, IS_NULLABLE FROM information_schema.COLUMNS"
                     " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
                         + table + "' ORDER BY ORDINAL_POSITION");
}

TEST_F(RoundTrip, TypicalTableComesBackWithItsTypesAndKeyWhenTypesMatch)
{
    // A Unicode DB2 database keeps VARCHAR(50) in characters; any other sizes
    // it in the bytes 50 characters may take, and that size comes back. Code
    // page 819 has no emoji: row 1's VARCHAR arrives substituted, and counted.
    const struct {
        const char* databaseCodePage;
        const char* varchar;
        std::map<std::string, long long> changed;
        const char* rowsKept;
    } kDatabases[] = {{"1208", "varchar(50)", {}, "3"}, {"819", "varchar(200)", {{"vc", 1}}, "2"}};
    for (const auto& database : kDatabases) {
        SCOPED_TRACE(database.databaseCodePage);
        setenv("DB2STANDIN_DATABASE_CODEPAGE", database.databaseCodePage, 1);  // read when a connection opens
        mysql.execute("DROP TABLE IF EXISTS rt_all, rt_orig");
        DropDB2(db2, "rt_all");
        mysql.execute("CREATE TABLE rt_all(id INT PRIMARY KEY, bi BIGINT, de DECIMAL(12,2), dbl DOUBLE, d DATE,"
                      " dt DATETIME(6), vc VARCHAR(50), tx TEXT, bl BLOB) CHARACTER SET utf8mb4");
        // Row 1's VARCHAR is 50 characters in 168 bytes.
        mysql.execute("INSERT INTO rt_all VALUES"
                      "(1, 9223372036854775807, -9999999999.99, 0.30000000000000004, '9999-12-31',"
                      " '2024-02-29 23:59:59.999999', CONCAT('Zoë 😀 ''ap'' \\\\', REPEAT('😀', 38)), REPEAT('é', 30000),"
                      " UNHEX('00FF10')),"
                      "(2, -9223372036854775808, 0.01, -1.5e-300, '1000-01-01', '1000-01-01 00:00:00', '', '', ''),"
                      "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
        ASSERT_EQ(QueryValue(mysql, "SELECT CONCAT(CHAR_LENGTH(vc), ' ', LENGTH(vc)) FROM rt_all WHERE id = 1"),
                  "50 168");

        RecordingObserver there;
        const auto toDB2 = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"rt_all"},
                                       there, kMatchingTypesAndKeys);
        ASSERT_EQ(there.reportsText(), "");
        EXPECT_TRUE(toDB2.tables.at(0).notes.empty());
        EXPECT_EQ(toDB2.tables.at(0).valuesChangedByCodePage, database.changed);
        const auto lines = TransferSummaryLines(toDB2, "IBM DB2");
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "rt_all.vc: 1 value changed by the database's code page"),
                  static_cast<long>(database.changed.size()));
        auto described = db2.execute("SELECT * FROM \"rt_all\"");
        ASSERT_TRUE(described);
        const std::pair<const char*, SQLSMALLINT> kDb2Types[]
            = {{"id", SQL_INTEGER}, {"bi", SQL_BIGINT},    {"de", SQL_DECIMAL},
               {"dbl", SQL_DOUBLE}, {"d", SQL_TYPE_DATE},  {"dt", SQL_TYPE_TIMESTAMP},
               {"vc", SQL_VARCHAR}, {"tx", db2sql::kClob}, {"bl", db2sql::kBlob}};
        for (const auto& [column, sqlType] : kDb2Types)
            EXPECT_EQ(described->field(column).sqlType, sqlType) << column;
        EXPECT_EQ(described->field("vc").columnSize, 200u);  // described in bytes either way
        EXPECT_EQ(described->field("dt").decimalDigits, 6);
        described.reset();
        EXPECT_EQ(db2.primaryKeyColumns("rt_all"), std::vector<std::string> {"id"});

        mysql.execute("RENAME TABLE rt_all TO rt_orig");
        RecordingObserver back;
        RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(), {"rt_all"}, back,
                    kMatchingTypesAndKeys);
        ASSERT_EQ(back.reportsText(), "");
        auto expected = mysqlColumns(mysql, "rt_orig");
        ASSERT_EQ(expected.size(), 9u);
        expected[6][1] = database.varchar;
        EXPECT_EQ(mysqlColumns(mysql, "rt_all"), expected);
        EXPECT_EQ(QueryValue(mysql,
                             "SELECT COUNT(*) FROM rt_all n JOIN rt_orig o ON o.id = n.id WHERE n.bi <=> o.bi"
                             " AND n.de <=> o.de AND n.dbl <=> o.dbl AND n.d <=> o.d AND n.dt <=> o.dt"
                             " AND BINARY n.vc <=> BINARY o.vc AND BINARY n.tx <=> BINARY o.tx AND n.bl <=> o.bl"),
                  database.rowsKept);
    }
    unsetenv("DB2STANDIN_DATABASE_CODEPAGE");
}

TEST_F(RoundTrip, KeyTextDifferingOnlyInCaseArrivesBothWays)
{
    db2.execute("CREATE TABLE \"RT_KEYS\"(\"K\" VARCHAR(10) NOT NULL, \"N\" INTEGER, PRIMARY KEY(\"K\"))");
    db2.execute("INSERT INTO \"RT_KEYS\" VALUES('a', 1), ('A', 2), ('b', 3)");

    RecordingObserver toMySQL;
    RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(), {"RT_KEYS"}, toMySQL,
                kMatchingTypesAndKeys);
    ASSERT_EQ(toMySQL.reportsText(), "");
    EXPECT_EQ(mysqlColumns(mysql, "RT_KEYS"),
              (std::vector<Row> {{"K", "varchar(10)", "PRI", "NO"}, {"N", "int(11)", "", "YES"}}));
    EXPECT_EQ(QueryRows(mysql, "SELECT K, N FROM RT_KEYS ORDER BY N"),
              (std::vector<Row> {{"a", "1"}, {"A", "2"}, {"b", "3"}}));

    DropDB2(db2, "RT_KEYS");
    RecordingObserver toDB2;
    RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"RT_KEYS"}, toDB2,
                kMatchingTypesAndKeys);
    ASSERT_EQ(toDB2.reportsText(), "");
    EXPECT_EQ(db2.primaryKeyColumns("RT_KEYS"), std::vector<std::string> {"K"});
    EXPECT_EQ(QueryRows(db2, "SELECT \"K\", \"N\" FROM \"RT_KEYS\" ORDER BY \"N\""),
              (std::vector<Row> {{"a", "1"}, {"A", "2"}, {"b", "3"}}));
}

INSTANTIATE_TEST_SUITE_P(KeyedAndKeyless, KeyedAndKeylessRoundTrip, ::testing::Values("PRIMARY KEY", ""));

}  // namespace
