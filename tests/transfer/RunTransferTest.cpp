// The whole run against MariaDB and the DB2 stand-in: overwrite question,
// refused DROP / CREATE / rows, cancel, progress.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "SqlIdentifiers.h"
#include "Transfer.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace {

class RunTransferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }

    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        for (const char* t : {"people", "PEOPLE", "flags", "four", "parent", "child", "dates", "many", "wide", "floats"}) {
            DropMySQL(mysql, t);
            DropDB2(db2, t);
        }
        DropMySQL(mysql, "child");
    }

    TransferSummary toDB2(const std::vector<std::string>& tables)
    {
        return RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), tables, observer);
    }
    TransferSummary toMySQL(const std::vector<std::string>& tables)
    {
        return RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(), tables, observer);
    }

    void makePeople()
    {
        // Every column fits a bound buffer; DECIMAL(5,5) needs its sign and leading zero too.
        mysql.execute("CREATE TABLE people(id INT PRIMARY KEY, nick VARCHAR(20), name VARCHAR(50), share DECIMAL(5,5))");
        mysql.execute("INSERT INTO people VALUES(1, NULL, 'O''Brien', -0.12345), (2, '', 'x', 0.99999)");
    }

    DataConnection mysql, db2;
    RecordingObserver observer;
};

TEST_F(RunTransferTest, SendsANewTableToDB2AndListsIt)
{
    makePeople();
    const auto summary = toDB2({"people"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_TRUE(observer.asked.empty());
    EXPECT_EQ(observer.arrived, std::vector<std::string>{"people"});
    EXPECT_EQ(observer.progressValues, (std::vector<int>{50, 100, 0}));
    EXPECT_EQ(summary.tablesSent(), 1);
    EXPECT_EQ(summary.rowsCopied(), 2);
    EXPECT_EQ(summary.rowsRefused(), 0);
    EXPECT_FALSE(summary.cancelled);
    const auto rows = QueryRows(db2, "SELECT \"id\", \"nick\", \"name\", \"share\" FROM \"people\" ORDER BY \"id\"");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (Row{"1", std::nullopt, "O'Brien", "-0.12345"}));
    EXPECT_EQ(rows[1], (Row{"2", "", "x", "0.99999"}));  // an empty text stays a text
}

TEST_F(RunTransferTest, CaseOnlyMatchAsksAndYesReplacesTheTable)
{
    makePeople();
    db2.execute("CREATE TABLE \"people\"(\"old\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(7)");
    observer.targetList = {"PEOPLE"};
    toDB2({"people"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(observer.asked, std::vector<std::string>{"people"});
    EXPECT_EQ(observer.dropped, std::vector<std::string>{"people"});
    // The removal is exact, so the differently cased entry stays beside the new one.
    EXPECT_EQ(observer.targetList, (std::vector<std::string>{"PEOPLE", "people"}));
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"people\""), "2");
    EXPECT_EQ(QueryValue(db2, "SELECT \"name\" FROM \"people\" WHERE \"id\" = '1'"), "O'Brien");
}

TEST_F(RunTransferTest, NoKeepsTheTargetTableUntouched)
{
    makePeople();
    db2.execute("CREATE TABLE \"people\"(\"old\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(7)");
    observer.targetList = {"people"};
    observer.answerNo = {"people"};
    const auto summary = toDB2({"people"});
    EXPECT_EQ(observer.asked, std::vector<std::string>{"people"});
    EXPECT_TRUE(observer.dropped.empty());
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_TRUE(observer.progressValues.empty());
    EXPECT_EQ(summary.tablesSent(), 0);
    EXPECT_EQ(QueryValue(db2, "SELECT \"old\" FROM \"people\""), "7");
}

TEST_F(RunTransferTest, TablesGoInTheOrderGivenAndEachGetsItsQuestion)
{
    makePeople();
    mysql.execute("CREATE TABLE flags(a BIT(1), b BIT(1), c VARCHAR(5))");
    mysql.execute("INSERT INTO flags VALUES(1, 0, 'x')");
    observer.targetList = {"FLAGS"};
    toDB2({"people", "flags"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(observer.asked, std::vector<std::string>{"flags"});
    EXPECT_EQ(observer.arrived, (std::vector<std::string>{"people", "flags"}));
    // Booleans reach DB2's text column as the texts True and False.
    EXPECT_EQ(QueryRows(db2, "SELECT \"a\", \"b\", \"c\" FROM \"flags\""), (std::vector<Row>{{"True", "False", "x"}}));
}

TEST_F(RunTransferTest, OddTableNamesAreSentWithAndWithoutAKey)
{
    const std::string keyed = "o'neil", keyless = "o'neil \\ \"q\" `t`";
    for (const std::string& name : {keyed, keyless}) {
        mysql.execute("DROP TABLE IF EXISTS " + QuoteMySQLIdentifier(name));
        const std::string quoted = QuoteDB2Identifier(name);
        DropDB2(db2, quoted.substr(1, quoted.size() - 2));  // the helper adds the outer quotes
    }
    mysql.execute("CREATE TABLE " + QuoteMySQLIdentifier(keyed) + "(id INT PRIMARY KEY, v VARCHAR(5))");
    mysql.execute("CREATE TABLE " + QuoteMySQLIdentifier(keyless) + "(id INT, v VARCHAR(5))");
    for (const std::string& name : {keyed, keyless})
        mysql.execute("INSERT INTO " + QuoteMySQLIdentifier(name) + " SELECT seq, 'x' FROM seq_1_to_30");
    const auto summary = toDB2({keyed, keyless});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(summary.rowsCopied(), 60);
    for (const std::string& name : {keyed, keyless}) {
        EXPECT_EQ(QueryValue(db2, "SELECT COUNT(DISTINCT \"id\") FROM " + QuoteDB2Identifier(name)), "30") << name;
        mysql.execute("DROP TABLE " + QuoteMySQLIdentifier(name));
        db2.execute("DROP TABLE " + QuoteDB2Identifier(name));
    }
}

TEST_F(RunTransferTest, SourceThatCannotBeReadCostsNoTargetTable)
{
    db2.execute("CREATE TABLE \"people\"(\"old\" INTEGER)");
    observer.targetList = {"people"};
    const auto summary = toDB2({"people"});  // no MySQL table of that name
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, 148);
    EXPECT_EQ(observer.reports[0].sql, "SELECT * FROM `people`");
    EXPECT_TRUE(observer.dropped.empty());
    EXPECT_EQ(summary.namesWith(TableStatus::Failed), std::vector<std::string>{"people"});
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"people\""), "0");
}

TEST_F(RunTransferTest, RefusedDropReportsAndSkipsTheTable)
{
    db2.execute("CREATE TABLE \"parent\"(\"id\" INTEGER)");
    db2.execute("INSERT INTO \"parent\" VALUES(5)");
    mysql.execute("CREATE TABLE parent(id INT PRIMARY KEY)");
    mysql.execute("CREATE TABLE child(pid INT, FOREIGN KEY (pid) REFERENCES parent(id))");
    observer.targetList = {"parent", "child"};
    const auto summary = toMySQL({"parent"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, 144);
    EXPECT_EQ(observer.reports[0].sql, "DROP TABLE `parent`");
    EXPECT_NE(observer.reports[0].description.find("foreign key"), std::string::npos) << observer.reports[0].description;
    EXPECT_TRUE(observer.dropped.empty());
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(summary.tablesSent(), 0);
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM parent"), "0");
    DropMySQL(mysql, "child");
}

TEST_F(RunTransferTest, RefusedCreateWritesNoRowsAndListsNothing)
{
    db2.execute("CREATE TABLE \"people\"(\"id\" INTEGER, \"name\" VARCHAR(20))");
    db2.execute("INSERT INTO \"people\" VALUES(1, 'new')");
    // The table exists on MySQL although the list does not show it.
    mysql.execute("CREATE TABLE people(id TEXT, name TEXT)");
    mysql.execute("INSERT INTO people VALUES('9', 'old')");
    const auto summary = toMySQL({"people"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, 218);
    EXPECT_EQ(observer.reports[0].sql, "CREATE TABLE `people`(`id` INT,`name` TEXT) CHARACTER SET utf8mb4;");
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(summary.rowsCopied(), 0);
    EXPECT_EQ(QueryRows(mysql, "SELECT id, name FROM people"), (std::vector<Row>{{"9", "old"}}));
}

TEST_F(RunTransferTest, TableTooWideForTheDB2PagesIsRefusedBeforeTheOldOneIsDropped)
{
    // 41 text columns leave 41 descriptors of 25 bytes in a row: more than a 1K page holds.
    std::string columns;
    for (int c = 0; c < 40; ++c)
        columns += ", c" + std::to_string(c) + " VARCHAR(10)";
    mysql.execute("CREATE TABLE many(id INT" + columns + ")");
    db2.execute("CREATE TABLE \"many\"(\"old\" INTEGER)");
    db2.execute("INSERT INTO \"many\" VALUES(7)");
    observer.targetList = {"many"};
    setenv("DB2STANDIN_PAGE_SIZE", "1024", 1);  // read by the stand-in when a connection opens
    const auto summary = toDB2({"many"});
    unsetenv("DB2STANDIN_PAGE_SIZE");
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, StepsOf(TransferDirection::MySQLToDB2).createTable);
    EXPECT_NE(observer.reports[0].description.find("rows of 1025 bytes in 41 columns"), std::string::npos)
        << observer.reports[0].description;
    EXPECT_NE(observer.reports[0].description.find("table space with larger pages"), std::string::npos);
    EXPECT_TRUE(observer.dropped.empty());
    EXPECT_EQ(summary.namesWith(TableStatus::Failed), std::vector<std::string>{"many"});
    EXPECT_EQ(QueryValue(db2, "SELECT \"old\" FROM \"many\""), "7");
}

TEST_F(RunTransferTest, FourRowsMoveTheBarBy25ThenBackTo0)
{
    db2.execute("CREATE TABLE \"four\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"four\" VALUES(1), (2), (3), (4)");
    const auto summary = toMySQL({"four"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(observer.progressValues, (std::vector<int>{25, 50, 75, 100, 0}));
    EXPECT_EQ(summary.rowsCopied(), 4);
    EXPECT_EQ(QueryValue(mysql, "SELECT SUM(n) FROM four"), "10");
}

TEST_F(RunTransferTest, RefusedRowsAreCountedAndTheFirstIsReportedWithItsStatement)
{
    // DB2 has no year 0: these two dates are refused, every other row arrives.
    mysql.execute("CREATE TABLE dates(id INT PRIMARY KEY, d DATE, note VARCHAR(10))");
    mysql.execute("INSERT INTO dates SELECT seq, '2024-05-06', 'ok' FROM seq_1_to_1000");
    // Ten rows a batch: the refused rows sit mid-batch, so rows after them in their batch must arrive too.
    mysql.execute("UPDATE dates SET d = '0000-01-01', note = 'bad\\\\' WHERE id IN (405, 703)");
    const auto summary = toDB2({"dates"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, 252);
    EXPECT_EQ(observer.reports[0].sql, "INSERT INTO \"dates\" VALUES('405', '0000-01-01', 'bad\\')");
    EXPECT_EQ(observer.refusedMessages, (std::vector<std::pair<std::string, long long>>{{"dates", 1}}));
    EXPECT_EQ(summary.rowsCopied(), 998);
    EXPECT_EQ(summary.rowsRefused(), 2);
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);  // read whole; the refused rows are counted
    EXPECT_EQ(summary.tables[0].rowsRead, 1000);
    EXPECT_EQ(summary.tables[0].rowsOnTarget, 998);
    EXPECT_EQ(observer.arrived, std::vector<std::string>{"dates"});
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"dates\" WHERE \"note\" = 'ok'"), "998");
    EXPECT_EQ(observer.progressValues.back(), 0);
}

TEST_F(RunTransferTest, CancelStopsAfterTheCurrentBatchAndKeepsWhatWasSent)
{
    mysql.execute("CREATE TABLE many(id INT PRIMARY KEY)");
    mysql.execute("INSERT INTO many SELECT seq FROM seq_1_to_5000");
    mysql.execute("CREATE TABLE people(id INT)");
    observer.cancelAfterProgressCalls = 3;  // 50 rows per batch: three batches go
    const auto summary = toDB2({"many", "people"});
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.rowsCopied(), 150);
    EXPECT_EQ(observer.arrived, std::vector<std::string>{"many"});  // the table stays listed
    EXPECT_EQ(observer.progressValues, (std::vector<int>{1, 2, 3, 0}));
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"many\""), "150");
}

TEST_F(RunTransferTest, ConnectionThatCannotOpenIsReportedOnceAndNothingIsSent)
{
    makePeople();
    ConnectionProfile wrong = DB2TestProfile();
    wrong.password += "-wrong";
    const auto summary = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), wrong, {"people", "flags"}, observer);
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, 116);
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(summary.tablesSent(), 0);

    RecordingObserver second;
    ConnectionProfile wrongMySQL = MySQLTestProfile();
    wrongMySQL.password += "-wrong";
    RunTransfer(TransferDirection::DB2ToMySQL, wrongMySQL, DB2TestProfile(), {"people"}, second);
    ASSERT_EQ(second.reports.size(), 1u) << second.reportsText();
    EXPECT_EQ(second.reports[0].step, 126);
    EXPECT_NE(second.reports[0].description.find("Access denied"), std::string::npos);
}

// The transfer's own MySQL connections: every one of the test user but the given one.
std::vector<std::string> otherMySQLConnections(DataConnection& mine)
{
    std::vector<std::string> ids;
    for (const Row& row : QueryRows(mine, "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() "
                                          "AND USER = SUBSTRING_INDEX(CURRENT_USER(), '@', 1) AND DB = DATABASE()"))
        ids.push_back(*row[0]);
    return ids;
}

TEST_F(RunTransferTest, ConnectionKilledMidTableEndsTheRunOnceWithExactCounts)
{
    struct Case {
        TransferDirection direction;
        bool killDB2;  // end the PostgreSQL backend behind the DB2 stand-in, else the MySQL connection
        const char* reason;
    };
    // To MySQL the target's connection dies between batches; to DB2 the
    // source's, between two key-order pages, or the target's.
    for (const Case& c : {Case{TransferDirection::DB2ToMySQL, false, "writing stopped part-way"},
                          Case{TransferDirection::MySQLToDB2, false, "reading stopped part-way"},
                          Case{TransferDirection::MySQLToDB2, true, "writing stopped part-way"}}) {
        SCOPED_TRACE(c.reason);
        for (const char* t : {"many", "people", "four"}) {
            DropMySQL(mysql, t);
            DropDB2(db2, t);
        }
        RecordingObserver run;
        const bool toDB2 = c.direction == TransferDirection::MySQLToDB2;
        if (toDB2) {
            mysql.execute("CREATE TABLE many(id INT PRIMARY KEY, v VARCHAR(10))");
            mysql.execute("INSERT INTO many SELECT seq, 'x' FROM seq_1_to_45000");
        } else {
            db2.execute("CREATE TABLE \"many\"(\"id\" INTEGER, \"v\" VARCHAR(10))");
            db2.execute("INSERT INTO \"many\" SELECT g, 'x' FROM generate_series(1, 5000) g");
        }
        makePeople();
        const std::string fixtureId = *QueryValue(mysql, "SELECT CONNECTION_ID()");
        run.onRowsDone = [&](long long done) {
            if (done != (toDB2 ? 450 : 150))
                return;
            if (c.killDB2) {
                db2.execute("SELECT \"pg_terminate_backend\"(\"pid\") FROM \"pg_catalog\".\"pg_stat_activity\" "
                            "WHERE \"pid\" <> \"pg_backend_pid\"() AND \"datname\" = \"current_database\"() "
                            "AND \"usename\" = CURRENT_USER");
                return;
            }
            for (const auto& id : otherMySQLConnections(mysql))
                if (id != fixtureId)
                    mysql.execute("KILL CONNECTION " + id);
        };
        const TransferSummary summary = RunTransfer(c.direction, MySQLTestProfile(), DB2TestProfile(),
                                                    {"many", "people", "four"}, run);
        ASSERT_EQ(run.reports.size(), 1u) << run.reportsText();  // one report, no "Connection not open" after it
        ASSERT_EQ(summary.tables.size(), 3u);
        const TableResult& many = summary.tables[0];
        EXPECT_EQ(many.status, TableStatus::Incomplete);
        EXPECT_EQ(many.reason, c.reason);
        EXPECT_EQ(many.rowsRefused, 0);
        DataConnection& target = toDB2 ? db2 : mysql;
        EXPECT_EQ(QueryValue(target, toDB2 ? "SELECT COUNT(*) FROM \"many\"" : "SELECT COUNT(*) FROM many"),
                  std::to_string(many.rowsWritten));
        EXPECT_GT(many.rowsWritten, 0);
        EXPECT_LT(many.rowsRead, toDB2 ? 45000 : 5000);
        EXPECT_GE(many.rowsRead, many.rowsWritten);
        EXPECT_TRUE(summary.connectionLost);
        for (size_t i : {1u, 2u}) {
            EXPECT_EQ(summary.tables[i].status, TableStatus::Skipped);
            EXPECT_EQ(summary.tables[i].reason, "not sent: the connection was lost");
        }
        const auto lines = TransferSummaryLines(summary, "MySQL");
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Not sent (the connection was lost): people, four"), lines.end());
        EXPECT_EQ(lines[0].find("Sent 0 tables"), 0u) << lines[0];
    }
}

TEST_F(RunTransferTest, TargetRenamedMidTableIsIncompleteAndTheRunGoesOn)
{
    db2.execute("CREATE TABLE \"many\"(\"id\" INTEGER)");
    db2.execute("INSERT INTO \"many\" SELECT g FROM generate_series(1, 5000) g");
    db2.execute("CREATE TABLE \"four\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"four\" VALUES(1), (2), (3), (4)");
    DropMySQL(mysql, "many_moved");
    observer.onRowsDone = [&](long long done) {
        if (done == 150)
            mysql.execute("RENAME TABLE many TO many_moved");
    };
    const TransferSummary summary = toMySQL({"many", "four"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();  // not one per row
    EXPECT_EQ(observer.reports[0].step, 264);
    ASSERT_EQ(summary.tables.size(), 2u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Incomplete);
    EXPECT_EQ(summary.tables[0].rowsWritten, 150);
    EXPECT_EQ(summary.tables[0].rowsRefused, 0);
    EXPECT_FALSE(summary.connectionLost);
    EXPECT_EQ(summary.tables[1].status, TableStatus::Sent);
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM many_moved"), "150");
    DropMySQL(mysql, "many_moved");
}

TEST_F(RunTransferTest, TargetHoldingOtherRowsThanWrittenIsReportedAndIncomplete)
{
    db2.execute("CREATE TABLE \"four\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"four\" VALUES(1), (2), (3), (4)");
    observer.onRowsDone = [&](long long done) {
        if (done == 4)
            mysql.execute("INSERT INTO four VALUES(99)");  // another program writes meanwhile
    };
    const TransferSummary summary = toMySQL({"four"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, 226);
    EXPECT_EQ(observer.reports[0].description, "The table holds 5 rows after the copy, but 4 rows were written.");
    EXPECT_EQ(observer.reports[0].sql, "SELECT COUNT(*) FROM `four`");
    EXPECT_EQ(summary.tables[0].status, TableStatus::Incomplete);
    EXPECT_EQ(summary.tables[0].rowsOnTarget, 5);
    EXPECT_EQ(summary.tables[0].rowsWritten, 4);
}

TEST_F(RunTransferTest, RowsOverThePacketLimitAreRefusedAloneAndTheRestArrive)
{
    // 300 rows of 20 KB, three a batch, against a 64 KiB packet: arrays are
    // split by bytes; the 100 KB row in the middle of its batch cannot go at all.
    db2.execute("CREATE TABLE \"wide\"(\"id\" INTEGER, \"t\" CLOB(1M))");
    db2.execute("INSERT INTO \"wide\" SELECT g, REPEAT('a', CASE WHEN g = 152 THEN 100000 ELSE 20000 END) "
                "FROM generate_series(1, 300) g");
    const std::string saved = *QueryValue(mysql, "SELECT @@GLOBAL.max_allowed_packet");
    mysql.execute("SET GLOBAL max_allowed_packet = 65536");
    const TransferSummary summary = toMySQL({"wide"});
    mysql.execute("SET GLOBAL max_allowed_packet = " + saved);
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_NE(observer.reports[0].description.find("max_allowed_packet of 65536 bytes"), std::string::npos)
        << observer.reports[0].description;
    EXPECT_NE(observer.reports[0].description.find("SET GLOBAL max_allowed_packet"), std::string::npos);
    EXPECT_EQ(observer.reports[0].sql.substr(0, 28), "INSERT INTO `wide` VALUES('1");
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);
    EXPECT_EQ(summary.tables[0].rowsWritten, 299);
    EXPECT_EQ(summary.tables[0].rowsRefused, 1);
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM wide WHERE LENGTH(t) = 20000 AND id <> 152"), "299");
}

TEST_F(RunTransferTest, FloatsAtTheirLimitsArriveAndReadBackEqual)
{
    const std::vector<float> values{FLT_MAX, -FLT_MAX, FLT_MIN, std::nextafter(0.0f, 1.0f), -0.1f, 16777216.0f};
    db2.execute("CREATE TABLE \"floats\"(\"id\" INTEGER, \"f\" REAL)");
    for (size_t i = 0; i < values.size(); ++i)
        db2.execute("INSERT INTO \"floats\" VALUES(" + std::to_string(i) + ", " + FormatDouble(values[i]) + ")");
    const TransferSummary summary = toMySQL({"floats"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(summary.rowsCopied(), static_cast<long long>(values.size()));
    // FLOAT + 0e0 is the stored single as a double, printed exactly enough to read back.
    const auto rows = QueryRows(mysql, "SELECT id, f + 0e0 FROM floats ORDER BY id");
    ASSERT_EQ(rows.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(static_cast<float>(std::stod(*rows[i][1])), values[i]) << *rows[i][1];
}

TEST_F(RunTransferTest, ProgressStaysAt100WhenTheTableGrowsDuringTheCopy)
{
    // MyISAM has no snapshot to read from, so rows added during the copy are read too.
    mysql.execute("CREATE TABLE many(id INT PRIMARY KEY) ENGINE=MyISAM");
    mysql.execute("INSERT INTO many SELECT seq FROM seq_1_to_25000");
    DataConnection writer;
    OpenMySQL(writer);
    observer.onRowsDone = [&](long long done) {
        if (done == 250)  // the first batch: rows beyond the first key-order page
            writer.execute("INSERT INTO many SELECT seq FROM seq_25001_to_35000");
    };
    const auto summary = toDB2({"many"});
    EXPECT_EQ(observer.reportsText(), "");
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].rowsRead, 35000);  // read to the end, past the count
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);
    EXPECT_EQ(*std::max_element(observer.progressValues.begin(), observer.progressValues.end()), 100);
}

}  // namespace
