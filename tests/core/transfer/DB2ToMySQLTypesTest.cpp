// DB2 -> MySQL for every DB2 column type: sound MySQL types and equal values,
// with the default types and with matching ones.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DB2Column {
    const char* name;
    const char* db2Type;
    const char* literal;       // the value inserted on DB2
    const char* mysqlType;     // information_schema COLUMN_TYPE of the new MySQL column
    const char* expected;      // the value read back from MySQL as text
    const char* matchingType;  // the MySQL column type when types match
};

// A long text whose emoji straddles two of the pieces the reader fetches.
const std::string kStraddling = std::string(32766, 'x') + "😀end";

const DB2Column kColumns[] = {
    {"SI", "SMALLINT", "-32768", "smallint(6)", "-32768", "smallint(6)"},
    {"IN", "INTEGER", "2147483647", "int(11)", "2147483647", "int(11)"},
    {"BI", "BIGINT", "-9223372036854775808", "bigint(20)", "-9223372036854775808", "bigint(20)"},
    {"DE", "DECIMAL(31,5)", "12345678901234567890123456.78901", "decimal(31,5)", "12345678901234567890123456.78901",
     "decimal(31,5)"},
    {"NU", "NUMERIC(10,2)", "-0.05", "decimal(10,2)", "-0.05", "decimal(10,2)"},
    {"RE", "REAL", "3.5", "float", "3.5", "float"},
    {"DB", "DOUBLE", "0.30000000000000004", "double", "0.30000000000000004", "double"},
    {"DF", "DECFLOAT(34)", "-1234567890123456789012.345678901234", "longtext", "-1234567890123456789012.345678901234",
     "longtext"},
    {"CH", "CHAR(10)", "'O''Brien'", "text", "O'Brien   ", "varchar(10)"},
    {"VC", "VARCHAR(100)", "'Zoë 😀 \\ `x` \"y\"'", "text", "Zoë 😀 \\ `x` \"y\"", "varchar(100)"},
    {"LV", "LONG VARCHAR", "'long'", "longtext", "long", "text"},
    {"CL", "CLOB(1M)", "'clob text'", "longtext", "clob text", "mediumtext"},
    {"CS", "CLOB(1M)", "REPEAT('x', 32766) || '😀end'", "longtext", kStraddling.c_str(), "mediumtext"},
    {"GR", "GRAPHIC(3)", "'日本語'", "text", "日本語", "varchar(3)"},
    {"VG", "VARGRAPHIC(20)", "'vargraphic 😀'", "text", "vargraphic 😀", "varchar(20)"},
    {"LG", "LONG VARGRAPHIC", "'long graphic'", "longtext", "long graphic", "text"},
    {"DC", "DBCLOB(1000)", "'dbclob'", "longtext", "dbclob", "text"},
    {"BN", "BINARY(4)", "BX'00FF10AB'", "longblob", "00FF10AB", "binary(4)"},
    {"VB", "VARBINARY(10)", "BX'0102'", "longblob", "0102", "varbinary(10)"},
    {"FB", "CHAR(4) FOR BIT DATA", "BX'DEADBEEF'", "longblob", "DEADBEEF", "binary(4)"},
    {"VF", "VARCHAR(8) FOR BIT DATA", "BX'00'", "longblob", "00", "varbinary(8)"},
    {"BL", "BLOB(1000)", "BX'000102FF'", "longblob", "000102FF", "blob"},
    {"XM", "XML", "'<a>x</a>'", "longtext", "<a>x</a>", "longtext"},
    // Read as UTF-16 with a byte-order mark and a declaration naming UTF-16:
    // both stay behind in utf8mb4.
    {"XU", "XML", "'<r n=\"1\">Ωmega 日本 😀</r>'", "longtext", "<r n=\"1\">Ωmega 日本 😀</r>", "longtext"},
    {"BO", "BOOLEAN", "TRUE", "bit(1)", "1", "bit(1)"},
    {"DA", "DATE", "'2024-02-29'", "datetime", "2024-02-29 00:00:00", "date"},
    {"TI", "TIME", "'23:59:58'", "time", "23:59:58", "time"},
    {"TS", "TIMESTAMP", "'2024-02-29 13:14:15.123456'", "datetime(6)", "2024-02-29 13:14:15.123456", "datetime(6)"},
};

class DB2Source : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }
    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        DropMySQL(mysql, "DB2_ALL");
        DropDB2(db2, "DB2_ALL");
    }
    void TearDown() override
    {
        DropMySQL(mysql, "DB2_ALL");
        DropDB2(db2, "DB2_ALL");
    }
    DataConnection mysql, db2;
};

bool isBinaryType(const std::string& mysqlType)
{
    return mysqlType.find("blob") != std::string::npos || mysqlType.find("binary") != std::string::npos;
}
bool isBitType(const std::string& mysqlType) { return mysqlType == "bit(1)"; }

TEST_F(DB2Source, EveryDB2TypeArrivesWithASoundTypeAndItsValue)
{
    for (const bool matching : {false, true}) {
        SCOPED_TRACE(matching ? "matching types" : "default types");
        const TransferOptions options {matching ? Db2ColumnTypes::Matching : Db2ColumnTypes::Text, false};
        DropMySQL(mysql, "DB2_ALL");
        DropDB2(db2, "DB2_ALL");
        std::string create = "CREATE TABLE DB2_ALL(ID INTEGER";
        std::string values = "INSERT INTO DB2_ALL VALUES(1";
        std::string nulls = "INSERT INTO DB2_ALL(ID) VALUES(2)";
        for (const auto& c : kColumns) {
            create += std::string(", ") + c.name + " " + c.db2Type;
            values += std::string(", ") + c.literal;
        }
        db2.execute(create + ")");
        db2.execute(values + ")");
        db2.execute(nulls);

        RecordingObserver observer;
        const auto summary = RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(),
                                         {"DB2_ALL"}, observer, options);
        ASSERT_EQ(observer.reportsText(), "");
        EXPECT_EQ(summary.rowsCopied(), 2);
        for (const auto& c : kColumns) {
            const std::string col = c.name;
            const std::string type = matching ? c.matchingType : c.mysqlType;
            // A DATE stays a date when types match, not a DATETIME.
            const std::string expected = matching && type == "date" ? std::string(c.expected, 10) : c.expected;
            EXPECT_EQ(QueryValue(mysql,
                                 "SELECT COLUMN_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()"
                                 " AND TABLE_NAME = 'DB2_ALL' AND COLUMN_NAME = '"
                                     + col + "'"),
                      type)
                << col;
            std::string expr = "`" + col + "`";
            if (isBinaryType(type))
                expr = "HEX(" + expr + ")";
            else if (isBitType(type))
                expr += " + 0";
            EXPECT_EQ(QueryRows(mysql, "SELECT " + expr + " FROM DB2_ALL ORDER BY ID"),
                      (std::vector<Row> {{expected}, {std::nullopt}}))
                << col;
        }
    }
}

}  // namespace
