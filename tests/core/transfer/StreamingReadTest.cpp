// Tables without a key read in one pass by a second session of the same
// login: the same blocks and values as the paged read, over TLS and with a
// login that may only SELECT, stopped by Cancel, and the paged read when the
// second session cannot be had.
#include "MySQLSqlDialect.h"
#include "ServerHelpers.h"
#include "SourceReader.h"
#include "StatementCancel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

constexpr const char* kReader = "th_stream_reader";
constexpr const char* kReaderPassword = "Stream-reader-pw1";

ConnectionProfile selectOnlyProfile()
{
    ConnectionProfile profile = MySQLTestProfile();
    profile.user = kReader;
    profile.password = kReaderPassword;
    return profile;
}

// Every kind of value a MySQL column holds, at its edges: floats that text
// would round, values longer than any first buffer, zero dates, bits, bytes
// with zeros, four-byte characters, Nulls.
const char* const kKindsTable = "CREATE TABLE kl_kinds(i INT, u BIGINT UNSIGNED, ti TINYINT(1), y YEAR,"
                                " dec_ DECIMAL(65,30), f FLOAT, d DOUBLE, b1 BIT(1), b8 BIT(8), dt DATETIME(6),"
                                " ts TIMESTAMP(2) NULL, da DATE, tm TIME(3), ch CHAR(5), vc VARCHAR(300),"
                                " tx TEXT, lt LONGTEXT, bn BINARY(4), vb VARBINARY(600), bl LONGBLOB,"
                                " en ENUM('a','b c'), st SET('x','y'), js JSON) ENGINE=InnoDB";
const char* const kKindsRows
    = "INSERT INTO kl_kinds VALUES"
      " (-2147483648, 18446744073709551615, 1, 2024, -12345678901234567890.123456789012345678901234567890,"
      "  16777217, 0.1 + 0.2, b'1', b'10100101', '2024-01-02 03:04:05.000100', '2024-03-31 01:30:00.50',"
      "  '2024-02-29', '-838:59:59.500', 'ab', REPEAT('é', 300), REPEAT('x', 5000), REPEAT('abc😀', 100000),"
      "  X'00FF0001', REPEAT(X'00', 600), REPEAT(X'00FE', 70000), 'b c', 'x,y', '{\"k\": [1, 2.5]}'),"
      " (0, 0, 0, 0, 0, 3.4028234e38, 4.9e-324, b'0', b'0', '0000-00-00 00:00:00', NULL, '0000-00-00',"
      "  '00:00:00', '', '', '', '', X'00000000', '', '', 'a', '', 'null'),"
      " (NULL, NULL, NULL, NULL, NULL, 1.17549435e-38, -1.7976931348623157e308, NULL, NULL, NULL, NULL, NULL,"
      "  NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
      " (7, 7, 7, 1901, 0.5, -0.0, 123456789.123456789, b'1', b'1', '9999-12-31 23:59:59.999999',"
      "  '2038-01-19 03:14:07.99', '1000-01-01', '838:59:59.999', 'abc  ', 'tail  ', 'x', 'y', X'01',"
      "  X'02', X'03', 'a', 'y', '\"text\"')";

struct Reading {
    std::vector<ColumnPlan> plans;
    std::vector<Row> rows;
    size_t blocks = 0;
    std::string note;
};

Reading readAll(DataConnection& connection, const std::string& table, size_t blockRows)
{
    Reading reading;
    auto reader = OpenMySQLSource(connection, table, blockRows);
    reading.plans = reader->plans();
    reading.note = reader->readingNote();
    while (RowBlock* block = reader->next()) {
        ++reading.blocks;
        for (size_t r = 0; r < block->rows; ++r) {
            Row row;
            for (const Field& f : block->rowFields(r))
                row.push_back(f.value);
            reading.rows.push_back(std::move(row));
        }
    }
    return reading;
}

class StreamingRead : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RequireTestServers(true, false);
        DataConnection admin;
        OpenMySQL(admin);
        for (const char* host : {"%", "localhost"}) {
            const std::string user = std::string("'") + kReader + "'@'" + host + "'";
            admin.execute("CREATE OR REPLACE USER " + user + " IDENTIFIED BY '" + kReaderPassword + "'");
            admin.execute("GRANT SELECT ON `" + MySQLTestProfile().database + "`.* TO " + user);
        }
    }
    static void TearDownTestSuite()
    {
        DataConnection admin;
        OpenMySQL(admin);
        admin.execute(std::string("DROP USER IF EXISTS '") + kReader + "'@'%', '" + kReader + "'@'localhost'");
    }
    void SetUp() override
    {
        OpenMySQL(paged);  // opened without a login: read in pages
        for (const char* sql : {"DROP VIEW IF EXISTS kl_view", "DROP TABLE IF EXISTS kl_kinds"})
            paged.execute(sql);
        // The rows go in on the server that is read, the TLS one too.
        for (const ConnectionProfile& profile : {MySQLTestProfile(), TlsMySQLTestProfile()}) {
            DataConnection setup;
            MySQLDialect().openSession(setup, profile);
            setup.execute("DROP VIEW IF EXISTS kl_view");
            setup.execute("DROP TABLE IF EXISTS kl_kinds");
            setup.execute("SET SESSION sql_mode = ''");  // zero dates
            setup.execute(kKindsTable);
            setup.execute(kKindsRows);
            setup.execute("CREATE VIEW kl_view AS SELECT d, lt, bl, i FROM kl_kinds WHERE i IS NOT NULL");
        }
    }

    // A table of kRows rows, far more than the sockets between server and client hold.
    static constexpr int kRows = 400000;
    void makeBigTable()
    {
        paged.execute("DROP TABLE IF EXISTS kl_big");
        paged.execute("CREATE TABLE kl_big(n INT, v VARCHAR(100)) ENGINE=InnoDB");
        paged.execute("INSERT INTO kl_big SELECT seq, REPEAT('v', 90) FROM seq_1_to_" + std::to_string(kRows));
    }
    // The server's session that reads kl_big in one pass.
    std::string readingSession()
    {
        return QueryValue(paged,
                          "SELECT ID FROM information_schema.PROCESSLIST"
                          " WHERE INFO LIKE 'SELECT * FROM `kl_big`%'")
            .value_or("0");
    }

    DataConnection paged;
};

// Plans and values equal the paged read's, whatever the login and transport;
// blocks of 2 rows keep a value held back for the next block in play.
TEST_F(StreamingRead, GivesThePagedReadsPlansAndValues)
{
    const struct {
        const char* name;
        ConnectionProfile profile;
    } logins[] = {{"plain", MySQLTestProfile()}, {"tls", TlsMySQLTestProfile()}, {"select-only", selectOnlyProfile()}};
    for (const char* table : {"kl_kinds", "kl_view"}) {
        const Reading expected = readAll(paged, table, 2);
        ASSERT_EQ(expected.rows.size(), std::string(table) == "kl_kinds" ? 4u : 3u) << table;
        EXPECT_NE(expected.note, "") << table;
        for (const auto& login : logins) {
            SCOPED_TRACE(std::string(table) + " / " + login.name);
            DataConnection streamed;
            MySQLDialect().openSession(streamed, login.profile);
            const Reading got = readAll(streamed, table, 2);
            EXPECT_EQ(got.note, "");  // read in one pass, not in pages
            ASSERT_EQ(got.plans.size(), expected.plans.size());
            for (size_t c = 0; c < got.plans.size(); ++c) {
                EXPECT_EQ(got.plans[c].field.name, expected.plans[c].field.name);
                EXPECT_EQ(got.plans[c].field.sqlType, expected.plans[c].field.sqlType) << c;
                EXPECT_EQ(static_cast<int>(got.plans[c].read), static_cast<int>(expected.plans[c].read)) << c;
            }
            ASSERT_EQ(got.rows.size(), expected.rows.size());
            for (size_t r = 0; r < got.rows.size(); ++r)
                for (size_t c = 0; c < got.plans.size(); ++c)
                    EXPECT_TRUE(got.rows[r][c] == expected.rows[r][c])
                        << "row " << r << ", column " << got.plans[c].field.name << ": "
                        << got.rows[r][c].value_or("NULL").substr(0, 40) << " instead of "
                        << expected.rows[r][c].value_or("NULL").substr(0, 40);
            EXPECT_GE(got.blocks, 2u);
        }
    }
}

// A row wider than a block's bound (16 MB) that begins a block is read in a
// block of its own, and the rows after it follow.
TEST(StreamingReadWideRow, ARowWiderThanABlockIsReadAndTheRestFollow)
{
    RequireTestServers(true, false);
    DataConnection mysql;
    OpenMySQL(mysql);
    mysql.execute("DROP TABLE IF EXISTS kl_wide");
    mysql.execute("CREATE TABLE kl_wide(a LONGTEXT, b LONGTEXT, c LONGTEXT) ENGINE=InnoDB");
    mysql.execute("INSERT INTO kl_wide VALUES (REPEAT('a', 6000000), REPEAT('b', 6000000), REPEAT('c', 6000000)),"
                  " ('x', 'y', 'z')");
    DataConnection streamed;
    MySQLDialect().openSession(streamed, MySQLTestProfile());
    const Reading got = readAll(streamed, "kl_wide", 100);
    EXPECT_EQ(got.note, "");
    ASSERT_EQ(got.rows.size(), 2u);
    EXPECT_TRUE(got.rows[0][2] == std::string(6000000, 'c'));
    EXPECT_EQ(got.rows[1], (Row {"x", "y", "z"}));
    mysql.execute("DROP TABLE kl_wide");
}

// The second session is refused (here: a password that no longer works):
// the table is read in pages as before, and the note says why.
TEST_F(StreamingRead, ASessionThatCannotBeHadFallsBackToPages)
{
    DataConnection connection;
    MySQLDialect().openSession(connection, MySQLTestProfile());
    ConnectionProfile stale = MySQLTestProfile();
    stale.password = "not-the-password";
    connection.rememberProfile(stale);
    const Reading got = readAll(connection, "kl_kinds", 100);
    EXPECT_NE(got.note.find("read in pages by position"), std::string::npos) << got.note;
    EXPECT_NE(got.note.find("could not be read in one pass"), std::string::npos) << got.note;
    EXPECT_NE(got.note.find("Access denied"), std::string::npos) << got.note;
    EXPECT_TRUE(got.rows == readAll(paged, "kl_kinds", 100).rows);
}

// Cancel from another thread ends a read part-way: the next block fails as
// cancelled instead of the rest being read, and the server ends the read.
TEST_F(StreamingRead, CancelStopsTheReadPartWay)
{
    makeBigTable();
    StatementCanceller canceller;
    size_t rowsRead = 0;
    std::string state;
    {
        const StatementCancelScope scope(canceller);
        DataConnection streamed;
        MySQLDialect().openSession(streamed, MySQLTestProfile());
        auto reader = OpenMySQLSource(streamed, "kl_big", 1000);
        ASSERT_EQ(reader->readingNote(), "");
        ASSERT_NE(reader->next(), nullptr);
        std::thread([&] { canceller.cancelRunning(); }).join();
        try {
            while (RowBlock* block = reader->next())
                rowsRead += block->rows;
        } catch (const DbError& error) {
            state = error.sqlState();
        }
    }
    EXPECT_EQ(state, "HY008");
    EXPECT_LT(rowsRead, static_cast<size_t>(kRows / 2));
    // The server lets the read go: no session of the login still runs it.
    std::string running = "1";
    for (int i = 0; i < 50 && running != "0"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        running = QueryValue(paged, "SELECT COUNT(*) FROM information_schema.PROCESSLIST"
                                    " WHERE INFO LIKE 'SELECT * FROM `kl_big`%'")
                      .value_or("?");
    }
    EXPECT_EQ(running, "0");
    // Nor holds the table: a DROP waits at most 5 s for it.
    paged.execute("SET SESSION lock_wait_timeout = 5");
    EXPECT_NO_THROW(paged.execute("DROP TABLE kl_big"));
}

// The server's own ends of a read: its limit on a statement's time is
// lifted for the reading session, so a read that outlasts it goes on; a
// KILL ends the read with the error's number and message.
TEST_F(StreamingRead, ServerSideEndsOfTheRead)
{
    makeBigTable();
    struct Case {
        const char* what;
        const char* global;  // set for the reader's sessions, then restored
        bool kill;           // the reading session (c.what), after the first block
        long error;          // the error's number; 0: every row arrives
        const char* message;
    };
    for (const Case& c : {Case {"max_statement_time", "max_statement_time = 1", false, 0, ""},
                          Case {"KILL QUERY", nullptr, true, 1317, "Query execution was interrupted"},
                          Case {"KILL CONNECTION", nullptr, true, 2013, "Lost connection to server"}}) {
        SCOPED_TRACE(c.what);
        const std::string old = QueryValue(paged, "SELECT @@GLOBAL.max_statement_time").value_or("0");
        if (c.global)
            paged.execute(std::string("SET GLOBAL ") + c.global);
        size_t rowsRead = 0;
        std::optional<DbError> failure;
        try {
            DataConnection streamed;
            MySQLDialect().openSession(streamed, MySQLTestProfile());
            auto reader = OpenMySQLSource(streamed, "kl_big", 1000);
            EXPECT_EQ(reader->readingNote(), "");  // (no ASSERT: the global is restored below)
            for (RowBlock* block = reader->next(); block; block = reader->next()) {
                if (rowsRead == 0 && c.kill)
                    paged.execute(std::string(c.what) + " " + readingSession());
                else if (rowsRead == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the server waits to send rows
                rowsRead += block->rows;
            }
        } catch (const DbError& error) {
            failure = error;
        }
        paged.execute("SET GLOBAL max_statement_time = " + old);
        if (!c.error) {
            EXPECT_FALSE(failure) << failure->description();
            EXPECT_EQ(rowsRead, static_cast<size_t>(kRows));
            continue;
        }
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->nativeCode(), c.error) << failure->description();
        EXPECT_NE(failure->description().find(c.message), std::string::npos) << failure->description();
        EXPECT_LT(rowsRead, static_cast<size_t>(kRows));
    }
    paged.execute("DROP TABLE kl_big");
}

}  // namespace
