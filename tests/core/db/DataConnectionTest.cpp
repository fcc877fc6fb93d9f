// The data-access layer against the real MariaDB server, reached through the
// driver name "MySQL ODBC 5.1 Driver" of the private odbcinst.ini.
#include "ColumnKind.h"
#include "ConnectChecks.h"
#include "DataConnection.h"
#include "SqlIdentifiers.h"
#include "TableListing.h"
#include "TestServers.h"

#include <gtest/gtest.h>

namespace {

class MySQLAccess : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, false); }

    void SetUp() override
    {
        connection.setCursorLocation(kClientSideCursor);
        connection.open(MySQLConnectionString(MySQLTestProfile()));
        connection.execute("DROP TABLE IF EXISTS db_access_t");
    }
    void TearDown() override { connection.execute("DROP TABLE IF EXISTS db_access_t"); }

    DataConnection connection;
};

TEST_F(MySQLAccess, ConnectsThroughTheRegisteredDriverName)
{
    EXPECT_TRUE(CanConnectMySQL(MySQLTestProfile()));
    auto rs = connection.execute("SELECT DATABASE()");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->field(0).value, MySQLTestProfile().database);
}

TEST_F(MySQLAccess, RefusedLoginCarriesSqlStateNativeCodeAndMessage)
{
    ConnectionProfile wrong = MySQLTestProfile();
    wrong.password += "-wrong";
    const auto error = TryConnectMySQL(wrong);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->sqlState(), "28000");
    EXPECT_EQ(error->nativeCode(), 1045);
    EXPECT_NE(error->description().find("Access denied"), std::string::npos) << error->description();
    EXPECT_FALSE(CanConnectMySQL(wrong));
}

TEST_F(MySQLAccess, FailedStatementRaisesTheDriverError)
{
    try {
        connection.execute("SELECT * FROM no_such_table_here");
        FAIL() << "statement on a missing table succeeded";
    } catch (const DbError& error) {
        EXPECT_EQ(error.sqlState(), "42S02");
        EXPECT_EQ(error.nativeCode(), 1146);
        EXPECT_NE(error.description().find("no_such_table_here"), std::string::npos);
    }
}

TEST_F(MySQLAccess, Utf8TextRoundTripsUnchanged)
{
    connection.execute("CREATE TABLE db_access_t (id INT PRIMARY KEY, s VARCHAR(100)) CHARACTER SET utf8mb4");
    const std::vector<std::string> texts
        = {"Grüße aus Köln", "日本語のテキスト", "emoji 😀🎉", "it's \"quoted\" `x`", ""};
    for (size_t i = 0; i < texts.size(); ++i)
        connection.execute("INSERT INTO db_access_t VALUES (" + std::to_string(i) + ", " + QuoteSqlText(texts[i])
                           + ")");
    connection.execute("INSERT INTO db_access_t VALUES (99, NULL)");
    auto rs = connection.execute("SELECT s FROM db_access_t ORDER BY id");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->recordCount(), static_cast<long long>(texts.size() + 1));
    for (const auto& text : texts) {
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->field(0).value, std::optional<std::string>(text));
        rs->moveNext();
    }
    ASSERT_FALSE(rs->eof());
    EXPECT_TRUE(rs->field("S").isNull()) << "Null must stay distinct from the empty text";
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
}

TEST_F(MySQLAccess, FieldsReportColumnKindsAndColumnDetails)
{
    connection.execute(
        "CREATE TABLE db_access_t (ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, iu INT UNSIGNED, bi BIGINT, "
        "bu BIGINT UNSIGNED, de DECIMAL(30,10), db DOUBLE, fl FLOAT, d DATE, dt DATETIME(6), t TIME, "
        "c CHAR(5), v VARCHAR(20), tx TEXT, bl BLOB, b1 BIT(1))");
    connection.execute(
        "INSERT INTO db_access_t VALUES (-128, 255, -32768, 4294967295, -9223372036854775808, 18446744073709551615, "
        "12345678901234567890.0123456789, 0.1, 1.1, '2024-02-29', '2024-02-29 13:14:15.123456', '838:59:59', "
        "'abc', 'v', 'text', X'00FF41', b'1')");
    auto rs = connection.execute("SELECT * FROM db_access_t");
    ASSERT_TRUE(rs);
    struct Expected {
        const char* name;
        ColumnKind kind;
        bool isUnsigned;
        std::string value;
    };
    const Expected expected[] = {
        {"ti", ColumnKind::TinyInt, false, "-128"},
        {"tu", ColumnKind::TinyInt, true, "255"},
        {"si", ColumnKind::SmallInt, false, "-32768"},
        {"iu", ColumnKind::Integer, true, "4294967295"},
        {"bi", ColumnKind::BigInt, false, "-9223372036854775808"},
        {"bu", ColumnKind::BigInt, true, "18446744073709551615"},
        {"de", ColumnKind::Decimal, false, "12345678901234567890.0123456789"},
        {"db", ColumnKind::Double, false, "0.1"},
        {"fl", ColumnKind::Real, false, "1.1"},
        {"d", ColumnKind::Date, false, "2024-02-29"},
        {"dt", ColumnKind::Timestamp, false, "2024-02-29 13:14:15.123456"},
        {"t", ColumnKind::Time, false, "838:59:59"},
        {"c", ColumnKind::Text, false, "abc"},
        {"v", ColumnKind::Text, false, "v"},
        {"tx", ColumnKind::LongText, false, "text"},
        {"bl", ColumnKind::LongBytes, false,
         std::string("\x00\xff"
                     "A",
                     3)},
        {"b1", ColumnKind::Boolean, false, "1"},
    };
    ASSERT_EQ(rs->fieldCount(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < rs->fieldCount(); ++i) {
        const Field& f = rs->field(i);
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.name, expected[i].name);
        EXPECT_EQ(f.kind, expected[i].kind) << "sql type " << f.sqlType;
        EXPECT_EQ(f.isUnsigned, expected[i].isUnsigned);
        EXPECT_EQ(f.value, std::optional<std::string>(expected[i].value));
    }
    // Text arrives wide: the sizes are in characters.
    EXPECT_EQ(rs->field("c").sqlType, SQL_WCHAR);
    EXPECT_EQ(rs->field("v").sqlType, SQL_WVARCHAR);
    EXPECT_EQ(rs->field("tx").sqlType, SQL_WLONGVARCHAR);
    EXPECT_EQ(rs->field("de").columnSize, 30u);
    EXPECT_EQ(rs->field("de").decimalDigits, 10);
    EXPECT_TRUE(rs->field("bl").isBinary);
}

TEST_F(MySQLAccess, ListingShowsTheDatabasesTables)
{
    connection.execute("CREATE TABLE db_access_t (id INT)");
    const auto names = ListMySQLTables(MySQLTestProfile());
    EXPECT_NE(std::find(names.begin(), names.end(), "db_access_t"), names.end());
}

TEST_F(MySQLAccess, LongValuesAreReadWhole)
{
    connection.execute("CREATE TABLE db_access_t (id INT, t LONGTEXT, b LONGBLOB)");
    connection.execute("INSERT INTO db_access_t VALUES (1, REPEAT('äb😀', 20000), REPEAT(X'00FF', 50000))");
    auto rs = connection.execute("SELECT t, b FROM db_access_t");
    ASSERT_TRUE(rs);
    std::string expectedText;
    for (int i = 0; i < 20000; ++i)
        expectedText += "äb😀";
    EXPECT_EQ(rs->field(0).value, expectedText);
    ASSERT_TRUE(rs->field(1).value.has_value());
    EXPECT_EQ(rs->field(1).value->size(), 100000u);
    EXPECT_EQ(rs->field(1).value->substr(0, 4), std::string("\x00\xff\x00\xff", 4));
}

}  // namespace
