// The whole run against MariaDB and the DB2 stand-in: overwrite question,
// refused DROP / CREATE / rows, cancel, progress, the staging table swap.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "SourceReader.h"
#include "SqlIdentifiers.h"
#include "StagingTable.h"
#include "TableChanges.h"
#include "Transfer.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <utility>

#include <unistd.h>

namespace {

class RunTransferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }

    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        DropDB2(db2, "child");
        for (const char* view : {"many_view", "MANY_VIEW"})
            try {
                db2.execute(std::string("DROP VIEW \"") + view + "\"");
            } catch (const DbError&) {
            }
        for (const char* t : {"people", "PEOPLE", "flags", "four", "parent", "child", "dates", "many", "wide", "floats",
                              "nul_src", "nul_dst", "full_width", "full_width_orig"}) {
            DropMySQL(mysql, t);
            DropDB2(db2, t);
        }
        DropMySQL(mysql, "child");
        dropStagingTables();
    }
    // Staging tables left by a test on purpose or by one that failed.
    void TearDown() override { dropStagingTables(); }
    void dropStagingTables()
    {
        DataConnection m, d;
        OpenMySQL(m);
        OpenDB2(d);
        for (const auto& name : StagingTablesOn(m, MySQLDialect()))
            DropMySQL(m, name);
        for (const auto& name : StagingTablesOn(d, DB2Dialect()))
            DropDB2(d, name);
    }

    TransferSummary run(TransferDirection direction, const std::vector<std::string>& tables)
    {
        return RunTransfer(direction, MySQLTestProfile(), DB2TestProfile(), tables, observer);
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
        mysql.execute(
            "CREATE TABLE people(id INT PRIMARY KEY, nick VARCHAR(20), name VARCHAR(50), share DECIMAL(5,5))");
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
    EXPECT_EQ(observer.arrived, std::vector<std::string> {"people"});
    EXPECT_EQ(observer.progressValues, (std::vector<int> {50, 100, 0}));
    EXPECT_EQ(summary.tablesSent(), 1);
    EXPECT_EQ(summary.rowsCopied(), 2);
    EXPECT_EQ(summary.rowsRefused(), 0);
    EXPECT_FALSE(summary.cancelled);
    const auto rows = QueryRows(db2, "SELECT \"id\", \"nick\", \"name\", \"share\" FROM \"people\" ORDER BY \"id\"");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (Row {"1", std::nullopt, "O'Brien", "-0.12345"}));
    EXPECT_EQ(rows[1], (Row {"2", "", "x", "0.99999"}));  // an empty text stays a text
}

TEST_F(RunTransferTest, ExistingTableAsksAndYesReplacesIt)
{
    makePeople();
    db2.execute("CREATE TABLE \"people\"(\"old\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(7)");
    observer.targetList = {"people"};
    toDB2({"people"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(observer.asked, std::vector<std::string> {"people"});
    EXPECT_EQ(observer.dropped, std::vector<std::string> {"people"});
    EXPECT_EQ(observer.targetList, std::vector<std::string> {"people"});
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
    EXPECT_EQ(observer.asked, std::vector<std::string> {"people"});
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
    db2.execute("CREATE TABLE \"flags\"(\"old\" INTEGER)");
    observer.targetList = {"flags"};
    toDB2({"people", "flags"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(observer.asked, std::vector<std::string> {"flags"});
    EXPECT_EQ(observer.arrived, (std::vector<std::string> {"people", "flags"}));
    // Booleans reach DB2's text column as the texts True and False.
    EXPECT_EQ(QueryRows(db2, "SELECT \"a\", \"b\", \"c\" FROM \"flags\""), (std::vector<Row> {{"True", "False", "x"}}));
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
    EXPECT_EQ(SendReportLineOf(TransferDirection::MySQLToDB2, observer.reports[0].step), 148);
    EXPECT_EQ(observer.reports[0].sql, "SELECT * FROM `people`");
    EXPECT_TRUE(observer.dropped.empty());
    EXPECT_EQ(summary.namesWith(TableStatus::Failed), std::vector<std::string> {"people"});
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"people\""), "0");
}

TEST_F(RunTransferTest, RefusedCreateOrRenameLeavesTheTargetAsItWas)
{
    // DB2 tells "id" from "ID"; MySQL refuses the pair in one table.
    db2.execute("CREATE TABLE \"people\"(\"id\" INTEGER, \"ID\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(1, 2)");
    mysql.execute("CREATE TABLE people(id TEXT, name TEXT)");
    mysql.execute("INSERT INTO people VALUES('9', 'old')");
    observer.targetList = {"people"};
    auto summary = toMySQL({"people"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(SendReportLineOf(TransferDirection::DB2ToMySQL, observer.reports[0].step), 218);
    const std::string& create = observer.reports[0].sql;
    EXPECT_EQ(create.rfind("CREATE TABLE `tablehop_stage_", 0), 0u) << create;
    EXPECT_NE(create.find("`(`id` INT,`ID` INT) CHARACTER SET utf8mb4;"), std::string::npos) << create;
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(observer.targetList, std::vector<std::string> {"people"});
    EXPECT_EQ(summary.rowsCopied(), 0);
    EXPECT_EQ(QueryRows(mysql, "SELECT id, name FROM people"), (std::vector<Row> {{"9", "old"}}));

    // A table made on the target while the rows travel is not replaced unasked.
    db2.execute("DROP TABLE \"people\"");
    db2.execute("CREATE TABLE \"people\"(\"id\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(1)");
    mysql.execute("DROP TABLE people");
    observer = RecordingObserver();
    observer.onRowsDone = [&](long long) {
        mysql.execute("CREATE TABLE people(id TEXT, name TEXT)");
        mysql.execute("INSERT INTO people VALUES('9', 'old')");
    };
    summary = toMySQL({"people"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(SendReportLineOf(TransferDirection::DB2ToMySQL, observer.reports[0].step), 144);
    EXPECT_EQ(observer.reports[0].sql.rfind("RENAME TABLE `tablehop_stage_", 0), 0u) << observer.reports[0].sql;
    EXPECT_NE(observer.reports[0].description.find("already exists"), std::string::npos)
        << observer.reports[0].description;
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(summary.tablesSent(), 0);
    EXPECT_EQ(QueryRows(mysql, "SELECT id, name FROM people"), (std::vector<Row> {{"9", "old"}}));
    EXPECT_EQ(StagingTablesOn(mysql, MySQLDialect()), std::vector<std::string> {});
}

TEST_F(RunTransferTest, ListedTableGoneMeanwhileIsCreatedWithoutAQuestion)
{
    mysql.execute("CREATE TABLE four(n INT)");
    mysql.execute("INSERT INTO four VALUES(1), (2), (3), (4)");
    // The lists still show "four" on the target, but it is not there: the target is asked, not the list.
    observer.targetList = {"four"};
    toDB2({"four"});
    DropMySQL(mysql, "four");
    RecordingObserver back;
    back.targetList = {"four"};
    RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(), {"four"}, back);
    for (RecordingObserver* run : {&observer, &back}) {
        EXPECT_EQ(run->reportsText(), "");
        EXPECT_TRUE(run->asked.empty());
        EXPECT_EQ(run->arrived, std::vector<std::string> {"four"});
    }
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"four\""), "4");
    EXPECT_EQ(QueryValue(mysql, "SELECT SUM(n) FROM four"), "10");
}

TEST_F(RunTransferTest, DB2SwapRefusedHalfWayRollsBackTheDrop)
{
    db2.execute("CREATE TABLE \"people\"(\"old\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(7)");
    DataConnection target, claim;
    OpenDB2(target);
    OpenDB2(claim);
    StagingTable staging(target, claim, DB2Dialect(), "people");
    ASSERT_FALSE(staging.create("CREATE TABLE \"" + staging.name() + "\"(\"n\" INTEGER)"));
    // Gone inside the claim's own unit of work, so the RENAME after the DROP fails.
    claim.execute(DB2Dialect().dropTableSql(staging.name()));
    const auto refused = staging.swapIn(true);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->sql, "RENAME \"" + staging.name() + "\" TO \"people\"");
    EXPECT_EQ(QueryRows(db2, "SELECT \"old\" FROM \"people\""), (std::vector<Row> {{"7"}}));
    staging.discard();
    EXPECT_EQ(StagingTablesOn(db2, DB2Dialect()), std::vector<std::string> {});
}

// The text of a statement on the server that matches the LIKE pattern `infoLike`, once
// it waits for a metadata lock; empty when none does within 15 s.
std::string WaitForLockedStatement(DataConnection& mysql, const std::string& infoLike)
{
    for (int tries = 0; tries < 300; ++tries) {
        if (const auto info = QueryValue(mysql,
                                         "SELECT INFO FROM information_schema.PROCESSLIST WHERE INFO LIKE '" + infoLike
                                             + "' AND STATE LIKE 'Waiting for table metadata lock%'"))
            return *info;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "no statement like " << infoLike << " waited for a lock";
    return "";
}

TEST_F(RunTransferTest, OldTableDroppedByAnotherRunBetweenRenameAndDropStillEndsSent)
{
    db2.execute("CREATE TABLE \"wide\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"wide\" VALUES(1), (2), (3)");
    mysql.execute("CREATE TABLE wide(old INT)");
    mysql.execute("INSERT INTO wide VALUES(7)");
    observer.targetList = {"wide"};
    // A reader of the old table holds the swap's RENAME, which by then holds
    // the name it moves the old table to ("tablehop_..." sorts before "wide").
    // Another run's clean-up queues its DROP of that name before the swap's own.
    DataConnection reader, cleanUp;
    OpenMySQL(reader);
    OpenMySQL(cleanUp);
    reader.setAutoCommit(false);
    QueryRows(reader, "SELECT COUNT(*) FROM wide");
    TransferSummary summary;
    std::thread run([&] { summary = toMySQL({"wide"}); });
    const std::string rename = WaitForLockedStatement(mysql, "RENAME TABLE `wide` TO %");
    const size_t at = rename.find(" TO `") + 5;
    const std::string aside = rename.empty() ? "" : rename.substr(at, rename.find('`', at) - at);
    std::string dropError;
    std::thread drop([&] {
        try {
            cleanUp.execute("DROP TABLE `" + aside + "`");
        } catch (const DbError& error) {
            dropError = error.description();
        }
    });
    WaitForLockedStatement(mysql, "DROP TABLE `" + aside + "`");
    reader.rollback();
    drop.join();
    run.join();
    EXPECT_EQ(dropError, "");
    EXPECT_EQ(observer.reportsText(), "");
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);
    EXPECT_EQ(observer.dropped, std::vector<std::string> {"wide"});
    EXPECT_EQ(QueryValue(mysql, "SELECT SUM(n) FROM wide"), "6");
    EXPECT_EQ(StagingTablesOn(mysql, MySQLDialect()), std::vector<std::string> {});
}

TEST_F(RunTransferTest, TableTooWideForTheDB2PagesIsRefusedBeforeTheOldOneIsDropped)
{
    struct Case {
        const char* columns;
        Db2ColumnTypes types;
        const char* pageSize;
        const char* extendedRowSize;
        const char* problem;  // nullptr: the table is sent
    };
    std::string tenCharacters;
    for (int c = 0; c < 40; ++c)
        tenCharacters += ", c" + std::to_string(c) + " VARCHAR(10)";
    const std::string fiveLong = ", a VARCHAR(250), b VARCHAR(250), c VARCHAR(250), d VARCHAR(250), e VARCHAR(250)";
    const Case cases[] = {
        // 41 text columns leave 41 descriptors of 25 bytes in a row: more than a 1K page holds.
        {tenCharacters.c_str(), Db2ColumnTypes::Text, "1024", "ENABLE", "rows of 1025 bytes in 41 columns"},
        // VARCHAR(250 CODEUNITS32) takes 1,005 bytes: five outgrow a 4K page,
        // which only a database without extended row size refuses.
        {fiveLong.c_str(), Db2ColumnTypes::Matching, "4096", "ENABLE", nullptr},
        {fiveLong.c_str(), Db2ColumnTypes::Matching, "4096", "DISABLE", "rows of 5030 bytes in 6 columns"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.extendedRowSize) + c.columns);
        DropMySQL(mysql, "many");
        DropDB2(db2, "many");
        mysql.execute(std::string("CREATE TABLE many(id INT") + c.columns + ")");
        mysql.execute("INSERT INTO many(id) VALUES (1)");
        if (!c.problem)
            mysql.execute("UPDATE many SET a = REPEAT('é', 250), e = REPEAT('é', 250)");
        db2.execute("CREATE TABLE \"many\"(\"old\" INTEGER)");
        db2.execute("INSERT INTO \"many\" VALUES(7)");
        observer = RecordingObserver();
        observer.targetList = {"many"};
        // Read by the stand-in when a connection opens.
        setenv("DB2STANDIN_PAGE_SIZE", c.pageSize, 1);
        setenv("DB2STANDIN_EXTENDED_ROW_SZ", c.extendedRowSize, 1);
        TransferOptions options;
        options.columnTypes = c.types;
        const auto summary = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"many"},
                                         observer, options);
        unsetenv("DB2STANDIN_PAGE_SIZE");
        unsetenv("DB2STANDIN_EXTENDED_ROW_SZ");
        if (!c.problem) {
            EXPECT_EQ(observer.reportsText(), "");
            EXPECT_EQ(summary.tablesSent(), 1);
            EXPECT_EQ(QueryValue(db2, "SELECT \"e\" FROM \"many\""), QueryValue(mysql, "SELECT e FROM many"));
            continue;
        }
        ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
        EXPECT_EQ(observer.reports[0].step, TransferStep::CreateTable);
        EXPECT_NE(observer.reports[0].description.find(c.problem), std::string::npos)
            << observer.reports[0].description;
        EXPECT_NE(observer.reports[0].description.find("table space with larger pages"), std::string::npos);
        EXPECT_TRUE(observer.dropped.empty());
        EXPECT_EQ(summary.namesWith(TableStatus::Failed), std::vector<std::string> {"many"});
        EXPECT_EQ(QueryValue(db2, "SELECT \"old\" FROM \"many\""), "7");
    }
}

// The swap's DROP waits for another unit of work that read the old table only
// a few short lock waits long: then the table is refused and the old one kept.
TEST_F(RunTransferTest, OverwriteOfATableAnotherUnitOfWorkHoldsIsRefusedWithinTheLockTimeout)
{
    makePeople();
    db2.execute("CREATE TABLE \"people\"(\"old\" INTEGER)");
    db2.execute("INSERT INTO \"people\" VALUES(7)");
    DataConnection holder;
    OpenDB2(holder);
    holder.setAutoCommit(false);
    EXPECT_EQ(QueryValue(holder, "SELECT COUNT(*) FROM \"people\""), "1");
    observer.targetList = {"people"};
    auto running = std::async(std::launch::async, [&] { return toDB2({"people"}); });
    const bool endedWhileHeld = running.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    holder.rollback();
    const auto summary = running.get();
    EXPECT_TRUE(endedWhileHeld);
    EXPECT_LT(summary.seconds, 15);
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, TransferStep::ReplaceTable);
    EXPECT_EQ(observer.reports[0].description,
              "people is in use by another session; the old table was kept. Try again when it is free.");
    EXPECT_EQ(summary.namesWith(TableStatus::Failed), std::vector<std::string> {"people"});
    EXPECT_EQ(summary.tables[0].reason, "in use by another session; the old table was kept");
    EXPECT_EQ(QueryValue(db2, "SELECT \"old\" FROM \"people\""), "7");
    EXPECT_EQ(StagingTablesOn(db2, DB2Dialect()), std::vector<std::string> {});
}

// Reading a DB2 table another application holds (its change to the table is
// not committed yet) waits the session's lock timeout, not until that
// application ends: then the table is reported and nothing is created.
TEST_F(RunTransferTest, DB2SourceAnotherUnitOfWorkHoldsIsReportedWithinTheLockTimeout)
{
    db2.execute("CREATE TABLE \"four\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"four\" VALUES(1), (2), (3), (4)");
    DataConnection holder;
    OpenDB2(holder);
    holder.setAutoCommit(false);
    holder.execute("ALTER TABLE \"four\" ADD COLUMN \"m\" INTEGER");
    auto running = std::async(std::launch::async, [&] { return toMySQL({"four"}); });
    const bool endedWhileHeld = running.wait_for(std::chrono::seconds(15)) == std::future_status::ready;
    holder.rollback();
    const auto summary = running.get();
    EXPECT_TRUE(endedWhileHeld) << "the run waited for the other application";
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(summary.namesWith(TableStatus::Failed), std::vector<std::string> {"four"});
    EXPECT_EQ(QueryValue(mysql,
                         "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"
                         " AND TABLE_NAME = 'four'"),
              "0");
    EXPECT_EQ(StagingTablesOn(mysql, MySQLDialect()), std::vector<std::string> {});
}

// Isolation RR, set for every connection in db2cli.ini, must not let the
// claim on the staging table lock out the run's own inserts.
TEST_F(RunTransferTest, IsolationRRForEveryConnectionDoesNotHoldTheRunUp)
{
    makePeople();
    char dir[] = "/tmp/tablehop_cliini_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string ini = std::string(dir) + "/db2cli.ini";
    std::ofstream(ini) << "[COMMON]\nTxnIsolation=8\n";
    setenv("DB2CLIINIPATH", dir, 1);  // read by the stand-in when a connection opens
    const auto summary = toDB2({"people"});
    unsetenv("DB2CLIINIPATH");
    std::remove(ini.c_str());
    rmdir(dir);
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(summary.tablesSent(), 1);
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"people\""), "2");
}

TEST_F(RunTransferTest, FourRowsMoveTheBarBy25ThenBackTo0)
{
    db2.execute("CREATE TABLE \"four\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"four\" VALUES(1), (2), (3), (4)");
    const auto summary = toMySQL({"four"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(observer.progressValues, (std::vector<int> {25, 50, 75, 100, 0}));
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
    EXPECT_EQ(SendReportLineOf(TransferDirection::MySQLToDB2, observer.reports[0].step), 252);
    // The real statement: rows go into the staging table.
    const std::string& insert = observer.reports[0].sql;
    EXPECT_EQ(insert.rfind("INSERT INTO \"tablehop_stage_", 0), 0u) << insert;
    EXPECT_NE(insert.find("\" VALUES('405', '0000-01-01', 'bad\\')"), std::string::npos) << insert;
    EXPECT_EQ(observer.refusedMessages, (std::vector<std::pair<std::string, long long>> {{"dates", 1}}));
    EXPECT_EQ(summary.rowsCopied(), 998);
    EXPECT_EQ(summary.rowsRefused(), 2);
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);  // read whole; the refused rows are counted
    EXPECT_EQ(summary.tables[0].rowsRead, 1000);
    EXPECT_EQ(summary.tables[0].rowsOnTarget, 998);
    EXPECT_EQ(observer.arrived, std::vector<std::string> {"dates"});
    EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"dates\" WHERE \"note\" = 'ok'"), "998");
    EXPECT_EQ(observer.progressValues.back(), 0);
}

TEST_F(RunTransferTest, ConnectionThatCannotOpenIsReportedOnceAndNothingIsSent)
{
    makePeople();
    ConnectionProfile wrong = DB2TestProfile();
    wrong.password += "-wrong";
    const auto summary
        = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), wrong, {"people", "flags"}, observer);
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(SendReportLineOf(TransferDirection::MySQLToDB2, observer.reports[0].step), 116);
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(summary.tablesSent(), 0);

    RecordingObserver second;
    ConnectionProfile wrongMySQL = MySQLTestProfile();
    wrongMySQL.password += "-wrong";
    RunTransfer(TransferDirection::DB2ToMySQL, wrongMySQL, DB2TestProfile(), {"people"}, second);
    ASSERT_EQ(second.reports.size(), 1u) << second.reportsText();
    EXPECT_EQ(SendReportLineOf(TransferDirection::DB2ToMySQL, second.reports[0].step), 126);
    EXPECT_NE(second.reports[0].description.find("Access denied"), std::string::npos);
}

// The transfer's own MySQL connections: every one of the test user but the given one.
std::vector<std::string> otherMySQLConnections(DataConnection& mine)
{
    std::vector<std::string> ids;
    for (const Row& row : QueryRows(mine,
                                    "SELECT ID FROM information_schema.PROCESSLIST WHERE ID <> CONNECTION_ID() "
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
        bool duringRetry = false;  // the first batch holds a bad row; the connection dies while it is sent row by row
    };
    // To MySQL the target's connection dies between batches; to DB2 the
    // source's, between two key-order pages, or the target's.
    for (const Case& c : {Case {TransferDirection::DB2ToMySQL, false, "writing stopped part-way"},
                          Case {TransferDirection::MySQLToDB2, false, "reading stopped part-way"},
                          Case {TransferDirection::MySQLToDB2, true, "writing stopped part-way"},
                          Case {TransferDirection::MySQLToDB2, true, "writing stopped part-way", true}}) {
        SCOPED_TRACE(std::string(c.reason) + (c.duringRetry ? " during a retry" : ""));
        for (const char* t : {"many", "people", "four"}) {
            DropMySQL(mysql, t);
            DropDB2(db2, t);
        }
        dropStagingTables();  // the copy on a connection that died could not drop its own
        RecordingObserver run;
        bool killed = false;
        const bool toDB2 = c.direction == TransferDirection::MySQLToDB2;
        if (toDB2) {
            mysql.execute("CREATE TABLE many(id INT PRIMARY KEY, v VARCHAR(10), d DATE)");
            mysql.execute("INSERT INTO many SELECT seq, 'x', '2024-05-06' FROM seq_1_to_45000");
            if (c.duringRetry) {
                // DB2 has no year 0. A yield after each retried row lets the
                // connection die while the retry goes on.
                mysql.execute("UPDATE many SET d = '0000-01-01' WHERE id = 1");
                run.yieldEvery = std::chrono::milliseconds(0);
                run.onYield = [&] {
                    if (run.progressValues.empty() && !StagingTablesOn(db2, DB2Dialect()).empty()
                        && !std::exchange(killed, true))
                        EndOtherDB2Sessions(db2);
                };
            }
        } else {
            db2.execute("CREATE TABLE \"many\"(\"id\" INTEGER, \"v\" VARCHAR(10))");
            db2.execute("INSERT INTO \"many\" SELECT g, 'x' FROM generate_series(1, 5000) g");
        }
        makePeople();
        const std::string fixtureId = *QueryValue(mysql, "SELECT CONNECTION_ID()");
        run.onRowsDone = [&](long long done) {
            if (done != (toDB2 ? 450 : 150) || c.duringRetry)
                return;
            if (c.killDB2) {
                EndOtherDB2Sessions(db2);
                return;
            }
            for (const auto& id : otherMySQLConnections(mysql))
                if (id != fixtureId)
                    mysql.execute("KILL CONNECTION " + id);
        };
        const TransferSummary summary
            = RunTransfer(c.direction, MySQLTestProfile(), DB2TestProfile(), {"many", "people", "four"}, run);
        ASSERT_EQ(run.reports.size(), 1u) << run.reportsText();  // one report, no "Connection not open" after it
        ASSERT_EQ(summary.tables.size(), 3u);
        const TableResult& many = summary.tables[0];
        EXPECT_EQ(many.status, TableStatus::Incomplete);
        EXPECT_EQ(many.reason, std::string(c.reason) + ", no table was created");
        // Rows lost with the connection are not refused rows; the bad one is.
        EXPECT_EQ(many.rowsRefused, c.duringRetry ? 1 : 0);
        EXPECT_EQ(killed, c.duringRetry);
        // The partial copy never takes the table's name.
        DataConnection& target = toDB2 ? db2 : mysql;
        const auto names = DialectOf(toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL).tableNames(target);
        EXPECT_EQ(std::count(names.begin(), names.end(), "many"), 0);
        EXPECT_EQ(many.rowsWritten, 0);
        EXPECT_GT(many.rowsRead, 0);
        EXPECT_LT(many.rowsRead, toDB2 ? 45000 : 5000);
        EXPECT_TRUE(summary.connectionLost);
        for (size_t i : {1u, 2u}) {
            EXPECT_EQ(summary.tables[i].status, TableStatus::Skipped);
            EXPECT_EQ(summary.tables[i].reason, "not sent: the connection was lost");
        }
        const auto lines = TransferSummaryLines(summary, "MySQL");
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Not sent (the connection was lost): people, four"),
                  lines.end());
        EXPECT_EQ(lines[0].find("Sent 0 tables"), 0u) << lines[0];
    }
}

// Servers set up as many real ones are: the run's own sessions hold under
// the server's global settings, for every table of the run.
TEST_F(RunTransferTest, SessionSettingsHoldUnderTheServersGlobals)
{
    struct Case {
        TransferDirection direction;
        const char* global;   // set for the run's new sessions, then restored
        const char* restore;  // a variable whose value is read before
        int pauseSeconds;     // the run idles this long after its first batch
    };
    // An idle limit shorter than the copy: without care the target's or the
    // claim's session ends mid-table, or the source's before the next table.
    for (const Case& c : {Case {TransferDirection::DB2ToMySQL, "wait_timeout = 1", "wait_timeout", 3},
                          Case {TransferDirection::MySQLToDB2, "wait_timeout = 1", "wait_timeout", 3}}) {
        SCOPED_TRACE(std::string(c.global) + (c.direction == TransferDirection::MySQLToDB2 ? " to DB2" : " to MySQL"));
        for (const char* t : {"many", "four"}) {
            DropMySQL(mysql, t);
            DropDB2(db2, t);
        }
        const bool toDB2 = c.direction == TransferDirection::MySQLToDB2;
        DataConnection& source = toDB2 ? mysql : db2;
        DataConnection& target = toDB2 ? db2 : mysql;
        const SqlDialect& sourceDialect = toDB2 ? MySQLDialect() : DB2Dialect();
        const SqlDialect& targetDialect = toDB2 ? DB2Dialect() : MySQLDialect();
        const auto q = [&](const char* name) { return sourceDialect.quoteIdentifier(name); };
        source.execute("CREATE TABLE " + q("many") + "(" + q("id") + " INTEGER, " + q("v") + " VARCHAR(10))");
        source.execute("INSERT INTO " + q("many") + " VALUES(1, 'x'), (2, 'y'), (3, 'z')");
        source.execute("CREATE TABLE " + q("four") + "(" + q("n") + " INTEGER)");
        source.execute("INSERT INTO " + q("four") + " VALUES(1), (2), (3), (4)");

        const std::string old = QueryValue(mysql, std::string("SELECT @@GLOBAL.") + c.restore).value_or("");
        mysql.execute(std::string("SET GLOBAL ") + c.global);
        RecordingObserver run;
        bool paused = false;
        run.onRowsDone = [&](long long) {
            if (!paused)
                std::this_thread::sleep_for(std::chrono::seconds(c.pauseSeconds));
            paused = true;
        };
        const TransferSummary summary
            = RunTransfer(c.direction, MySQLTestProfile(), DB2TestProfile(), {"many", "four"}, run);
        mysql.execute(std::string("SET GLOBAL ") + c.restore + " = " + old);

        EXPECT_EQ(run.reportsText(), "");
        EXPECT_EQ(summary.tablesSent(), 2);
        EXPECT_EQ(run.arrived, (std::vector<std::string> {"many", "four"}));
        const auto t = [&](const char* name) { return targetDialect.quoteIdentifier(name); };
        EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM " + t("many")), "3");
        EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM " + t("four")), "4");
        EXPECT_EQ(StagingTablesOn(target, targetDialect), std::vector<std::string> {});
    }
}

// NUL characters inside text: MySQL keeps them, read and written by the tool;
// the DB2 stand-in cannot store them and refuses the row aloud rather than
// keep the text up to the NUL.
TEST_F(RunTransferTest, NulCharactersInTextArriveWholeOrTheRowIsRefusedAloud)
{
    mysql.execute("CREATE TABLE nul_src(id INT PRIMARY KEY, t TEXT, v VARCHAR(10)) CHARACTER SET utf8mb4");
    mysql.execute("INSERT INTO nul_src VALUES(1, 'a\\0b', CONCAT(CHAR(0), 'y', CHAR(0))), (2, 'plain', 'z')");
    const std::string hexSql = "SELECT id, HEX(t), HEX(v) FROM %s ORDER BY id";
    const auto hexOf = [&](const char* table) {
        std::string sql = hexSql;
        return QueryRows(mysql, sql.replace(sql.find("%s"), 2, table));
    };
    struct Case {
        TargetSide target;
        long long refused;
        const char* reportFragment;  // empty: no report
    };
    for (const Case& c : {Case {TargetSide::MySQL, 0, ""}, Case {TargetSide::DB2, 1, "NUL (U+0000)"}}) {
        RecordingObserver run;
        long long written = 0;
        if (c.target == TargetSide::DB2) {
            const TransferSummary summary
                = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"nul_src"}, run);
            ASSERT_EQ(summary.tables.size(), 1u);
            EXPECT_EQ(summary.tables[0].rowsRefused, c.refused);
            written = summary.tables[0].rowsWritten;
            EXPECT_EQ(QueryRows(db2, "SELECT \"id\", \"t\", \"v\" FROM \"nul_src\""),
                      (std::vector<Row> {{"2", "plain", "z"}}));
        } else {
            mysql.execute("CREATE TABLE nul_dst(id INT, t TEXT, v VARCHAR(10)) CHARACTER SET utf8mb4");
            DataConnection source, target;
            OpenMySQL(source);
            OpenMySQL(target);
            auto reader = OpenMySQLSource(source, "nul_src", 10);
            const CopyResult copy = CopyRows(TargetSide::MySQL, "nul_dst", "nul_dst", *reader, 2,
                                             {"INT", "TEXT", "VARCHAR(10)"}, target, run);
            EXPECT_EQ(copy.refused, c.refused);
            written = copy.copied;
            EXPECT_EQ(hexOf("nul_dst"), hexOf("nul_src"));
        }
        EXPECT_EQ(written, 2 - c.refused);
        if (*c.reportFragment) {
            ASSERT_EQ(run.reports.size(), 1u);
            EXPECT_NE(run.reports[0].description.find(c.reportFragment), std::string::npos) << run.reportsText();
        } else {
            EXPECT_EQ(run.reportsText(), "");
        }
    }
}

TEST_F(RunTransferTest, TargetRenamedMidTableIsIncompleteAndTheRunGoesOn)
{
    db2.execute("CREATE TABLE \"many\"(\"id\" INTEGER)");
    db2.execute("INSERT INTO \"many\" SELECT g FROM generate_series(1, 5000) g");
    db2.execute("CREATE TABLE \"four\"(\"n\" INTEGER)");
    db2.execute("INSERT INTO \"four\" VALUES(1), (2), (3), (4)");
    DropMySQL(mysql, "many_moved");
    // The rows go into the staging table until the copy is complete.
    observer.onRowsDone = [&](long long done) {
        if (done == 150)
            mysql.execute("RENAME TABLE `" + StagingTablesOn(mysql, MySQLDialect()).at(0) + "` TO many_moved");
    };
    const TransferSummary summary = toMySQL({"many", "four"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();  // not one per row
    EXPECT_EQ(SendReportLineOf(TransferDirection::DB2ToMySQL, observer.reports[0].step), 264);
    ASSERT_EQ(summary.tables.size(), 2u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Incomplete);
    EXPECT_EQ(summary.tables[0].reason, "writing stopped part-way, no table was created");
    EXPECT_EQ(summary.tables[0].rowsWritten, 0);
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
    std::string staging;
    observer.onRowsDone = [&](long long done) {
        staging = StagingTablesOn(mysql, MySQLDialect()).at(0);
        if (done == 4)
            mysql.execute("INSERT INTO `" + staging + "` VALUES(99)");  // another program writes meanwhile
    };
    const TransferSummary summary = toMySQL({"four"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(SendReportLineOf(TransferDirection::DB2ToMySQL, observer.reports[0].step), 226);
    EXPECT_EQ(observer.reports[0].description, "The table holds 5 rows after the copy, but 4 rows were written.");
    EXPECT_EQ(observer.reports[0].sql, "SELECT COUNT(*) FROM `" + staging + "`");
    // That copy never takes the table's name.
    EXPECT_EQ(summary.tables[0].status, TableStatus::Incomplete);
    EXPECT_EQ(summary.tables[0].reason, "the target holds 5 rows, 4 written, no table was created");
    EXPECT_EQ(summary.tables[0].rowsWritten, 0);
    EXPECT_TRUE(observer.arrived.empty());
    EXPECT_EQ(StagingTablesOn(mysql, MySQLDialect()), std::vector<std::string> {});
}

TEST_F(RunTransferTest, RowsOverThePacketLimitAreRefusedAloneAndTheRestArrive)
{
    // 1,000 rows of 20 KB, ten a block, against a 64 KiB packet: each block
    // goes as arrays of the three rows that fit a packet; the 100 KB row in the
    // middle of its block cannot go at all.
    db2.execute("CREATE TABLE \"wide\"(\"id\" INTEGER, \"t\" CLOB(1M))");
    db2.execute("INSERT INTO \"wide\" SELECT g, REPEAT('a', CASE WHEN g = 155 THEN 100000 ELSE 20000 END) "
                "FROM generate_series(1, 1000) g");
    const std::string saved = *QueryValue(mysql, "SELECT @@GLOBAL.max_allowed_packet");
    mysql.execute("SET GLOBAL max_allowed_packet = 65536");
    const TransferSummary summary = toMySQL({"wide"});
    mysql.execute("SET GLOBAL max_allowed_packet = " + saved);
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_NE(observer.reports[0].description.find("max_allowed_packet of 65536 bytes"), std::string::npos)
        << observer.reports[0].description;
    EXPECT_NE(observer.reports[0].description.find("SET GLOBAL max_allowed_packet"), std::string::npos);
    EXPECT_EQ(observer.reports[0].sql.rfind("INSERT INTO `tablehop_stage_", 0), 0u);  // the staging table
    EXPECT_NE(observer.reports[0].sql.find("` VALUES('155', 'aaa"), std::string::npos)
        << observer.reports[0].sql.substr(0, 80);
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);
    EXPECT_EQ(summary.tables[0].rowsWritten, 999);
    EXPECT_EQ(summary.tables[0].rowsRefused, 1);
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM wide WHERE LENGTH(t) = 20000 AND id <> 155"), "999");
}

TEST_F(RunTransferTest, RowOverTheArrayBudgetArrivesWholeOnDB2)
{
    // DB2 takes a LOB row far larger than one array may hold: it goes alone, whole.
    const std::string saved = *QueryValue(mysql, "SELECT @@GLOBAL.max_allowed_packet");
    mysql.execute("SET GLOBAL max_allowed_packet = 67108864");
    DataConnection roomy;  // a session takes the packet limit when it connects
    OpenMySQL(roomy);
    roomy.execute("CREATE TABLE wide(id INT PRIMARY KEY, t LONGTEXT, b LONGBLOB)");
    roomy.execute("INSERT INTO wide VALUES(1, REPEAT('t', 20000000), NULL), (2, 'x', REPEAT(UNHEX('00FF'), 9000000))");
    const TransferSummary summary = toDB2({"wide"});
    mysql.execute("SET GLOBAL max_allowed_packet = " + saved);
    EXPECT_EQ(observer.reportsText(), "");
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent);
    EXPECT_EQ(summary.tables[0].rowsWritten, 2);
    EXPECT_EQ(QueryRows(db2, "SELECT LENGTH(\"t\"), LENGTH(\"b\") FROM \"wide\" ORDER BY \"id\""),
              (std::vector<Row> {{"20000000", std::nullopt}, {"1", "18000000"}}));
}

TEST_F(RunTransferTest, FloatsAtTheirLimitsArriveAndReadBackEqual)
{
    const std::vector<float> values {FLT_MAX, -FLT_MAX, FLT_MIN, std::nextafter(0.0f, 1.0f), -0.1f, 16777216.0f};
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

// Text exactly as long as its column allows, in characters of four bytes:
// every column is read in blocks, and each value arrives whole both ways.
TEST_F(RunTransferTest, TextAtItsColumnsFullWidthArrivesWholeBothWays)
{
    mysql.execute("CREATE TABLE full_width(id INT PRIMARY KEY, v VARCHAR(8), c CHAR(4), m VARCHAR(3))"
                  " CHARACTER SET utf8mb4");
    mysql.execute("INSERT INTO full_width VALUES(1, REPEAT('😀', 8), REPEAT('𝄞', 4), 'ü😀x'), (2, 'x', NULL, '')");
    ASSERT_EQ(QueryValue(mysql, "SELECT CONCAT(LENGTH(v), ' ', LENGTH(c)) FROM full_width WHERE id = 1"), "32 16");
    const std::vector<Row> expected {{"1", "😀😀😀😀😀😀😀😀", "𝄞𝄞𝄞𝄞", "ü😀x"}, {"2", "x", std::nullopt, ""}};
    const TransferOptions matching {Db2ColumnTypes::Matching, true};

    RecordingObserver there;
    const auto sent = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"full_width"},
                                  there, matching);
    ASSERT_EQ(there.reportsText(), "");
    EXPECT_EQ(sent.tables.at(0).status, TableStatus::Sent);
    EXPECT_EQ(QueryRows(db2, "SELECT \"id\", \"v\", RTRIM(\"c\"), \"m\" FROM \"full_width\" ORDER BY \"id\""),
              expected);

    mysql.execute("RENAME TABLE full_width TO full_width_orig");
    RecordingObserver back;
    const auto returned = RunTransfer(TransferDirection::DB2ToMySQL, MySQLTestProfile(), DB2TestProfile(),
                                      {"full_width"}, back, matching);
    ASSERT_EQ(back.reportsText(), "");
    EXPECT_EQ(returned.tables.at(0).status, TableStatus::Sent);
    EXPECT_EQ(QueryRows(mysql, "SELECT id, v, RTRIM(c), m FROM full_width ORDER BY id"), expected);
    EXPECT_EQ(QueryValue(mysql,
                         "SELECT COUNT(*) FROM full_width n JOIN full_width_orig o ON o.id = n.id"
                         " WHERE BINARY n.v <=> BINARY o.v AND BINARY RTRIM(n.c) <=> BINARY o.c"
                         " AND BINARY n.m <=> BINARY o.m"),
              "2");
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

// Both directions: a source table of 50,000 rows and an older target table of that name.
struct Overwrite {
    TransferDirection direction;
    DataConnection *source, *target;
    const SqlDialect& targetDialect;
};

class OverwriteTest : public RunTransferTest, public ::testing::WithParamInterface<TransferDirection> {
protected:
    Overwrite sides()
    {
        if (GetParam() == TransferDirection::MySQLToDB2)
            return {GetParam(), &mysql, &db2, DB2Dialect()};
        return {GetParam(), &db2, &mysql, MySQLDialect()};
    }
    void makeTables()
    {
        mysql.execute("CREATE TABLE many(id INT PRIMARY KEY)");
        mysql.execute("INSERT INTO many SELECT seq FROM seq_1_to_50000");
        if (GetParam() == TransferDirection::DB2ToMySQL) {
            RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"many"}, observer);
            DropMySQL(mysql, "many");
            mysql.execute("CREATE TABLE many(old INT)");
            mysql.execute("INSERT INTO many VALUES(7)");
        } else {
            db2.execute("CREATE TABLE \"many\"(\"old\" INTEGER)");
            db2.execute("INSERT INTO \"many\" VALUES(7)");
        }
        ASSERT_EQ(observer.reportsText(), "");
        observer = RecordingObserver();
        observer.targetList = {"many"};
    }
    std::string q(const std::string& name) { return sides().targetDialect.quoteIdentifier(name); }
    // The old table intact and listed, no staging table left, and the summary says so.
    void expectOldTableIntact(const TransferSummary& summary, const std::string& why)
    {
        EXPECT_EQ(QueryRows(*sides().target, "SELECT * FROM " + q("many")), (std::vector<Row> {{"7"}}));
        EXPECT_EQ(observer.targetList, std::vector<std::string> {"many"});
        EXPECT_TRUE(observer.dropped.empty());
        EXPECT_TRUE(observer.arrived.empty());
        EXPECT_EQ(StagingTablesOn(*sides().target, sides().targetDialect), std::vector<std::string> {});
        ASSERT_FALSE(summary.tables.empty());
        const TableResult& many = summary.tables[0];
        EXPECT_EQ(many.status, TableStatus::Incomplete);
        EXPECT_EQ(many.reason, why + ", the old table was not replaced");
        EXPECT_EQ(many.rowsWritten, 0);
        EXPECT_EQ(summary.tablesSent(), 0);
        const auto lines = TransferSummaryLines(summary, "the target");
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1].rfind("Incomplete: many (" + why + ", the old table was not replaced; 0 of ", 0), 0u)
            << lines[1];
    }
};

INSTANTIATE_TEST_SUITE_P(BothDirections, OverwriteTest,
                         ::testing::Values(TransferDirection::MySQLToDB2, TransferDirection::DB2ToMySQL));

TEST_P(OverwriteTest, CancelPartWayLeavesTheOldTable)
{
    makeTables();
    observer.cancelAfterProgressCalls = 3;  // 500 rows per batch: three batches go
    const auto summary = run(GetParam(), {"many", "people"});
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(observer.progressValues, (std::vector<int> {1, 2, 3, 0}));
    EXPECT_EQ(observer.reportsText(), "");
    expectOldTableIntact(summary, "cancelled");
}

TEST_P(OverwriteTest, CancelWhileTheSwapWaitsStopsTheWaitAndLeavesTheOldTable)
{
    makeTables();
    // Another session reads the old table: the swap waits for it, three lock waits of 2 s.
    DataConnection reader;
    if (GetParam() == TransferDirection::MySQLToDB2)
        OpenDB2(reader);
    else
        OpenMySQL(reader);
    reader.setAutoCommit(false);
    reader.execute("SELECT * FROM " + q("many"));
    StatementCanceller canceller;
    observer.canceller = &canceller;
    std::thread user;
    std::chrono::steady_clock::time_point rowsIn;
    observer.onRowsDone = [&](long long done) {
        if (done < 50000)
            return;
        rowsIn = std::chrono::steady_clock::now();
        user = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            canceller.cancelRunning();
        });
    };
    TransferSummary summary;
    {
        const StatementCancelScope scope(canceller);
        summary = run(GetParam(), {"many"});
    }
    const auto afterRows = std::chrono::steady_clock::now() - rowsIn;
    user.join();
    reader.rollback();
    EXPECT_LT(afterRows, std::chrono::seconds(4));  // the waits alone take over 6 s
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(observer.reportsText(), "");  // a stopped statement is no failure
    expectOldTableIntact(summary, "cancelled");
}

TEST_P(OverwriteTest, SourceConnectionKilledPartWayLeavesTheOldTable)
{
    makeTables();
    // The source is the only connection of the run on its side.
    observer.onRowsDone = [&](long long done) {
        if (done != 500)
            return;
        if (GetParam() == TransferDirection::MySQLToDB2) {
            for (const auto& id : otherMySQLConnections(mysql))
                mysql.execute("KILL CONNECTION " + id);
        } else {
            EndOtherDB2Sessions(db2);
        }
    };
    const auto summary = run(GetParam(), {"many"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, TransferStep::ReadRows) << observer.reportsText();
    expectOldTableIntact(summary, "reading stopped part-way");
}

TEST_P(OverwriteTest, TwoOverwritesAtOnceLeaveExactlyOneCopy)
{
    makeTables();
    RecordingObserver second;
    second.targetList = {"many"};
    std::thread other([&] { RunTransfer(GetParam(), MySQLTestProfile(), DB2TestProfile(), {"many"}, second); });
    const auto summary = run(GetParam(), {"many"});
    other.join();
    EXPECT_EQ(observer.reportsText() + second.reportsText(), "");
    EXPECT_EQ(summary.tablesSent(), 1);
    const std::string id = q("id");
    EXPECT_EQ(QueryRows(*sides().target, "SELECT COUNT(*), COUNT(DISTINCT " + id + ") FROM " + q("many")),
              (std::vector<Row> {{"50000", "50000"}}));
    EXPECT_EQ(StagingTablesOn(*sides().target, sides().targetDialect), std::vector<std::string> {});
}

TEST_P(OverwriteTest, ReplacesTheTableAndCleansUpLeftoversOfKilledRunsOnly)
{
    makeTables();
    DataConnection& target = *sides().target;
    const SqlDialect& dialect = sides().targetDialect;
    // Killed, live and young runs' staging tables; young is within DB2's grace
    // period (MySQL claims a name before the table exists and needs none).
    const std::time_t now = std::time(nullptr), grace = dialect.leftoverGraceSeconds();
    const std::string killed = StagingName(now - 2 * grace - 60);
    const std::string young = StagingName(now - 5);
    const std::string live = StagingName(now - 3 * grace - 60);
    for (const auto& name : {killed, young, live})
        target.execute("CREATE TABLE " + q(name) + "(" + q("n") + " INTEGER)");
    // A run still at work holds the claim on its staging table.
    DataConnection liveRun;
    (GetParam() == TransferDirection::MySQLToDB2 ? OpenDB2 : OpenMySQL)(liveRun);
    dialect.claimStaging(liveRun, live);

    const auto summary = run(GetParam(), {"many"});
    EXPECT_EQ(observer.reportsText(), "");
    EXPECT_EQ(summary.tablesSent(), 1);
    EXPECT_EQ(summary.rowsCopied(), 50000);
    EXPECT_EQ(observer.dropped, std::vector<std::string> {"many"});
    EXPECT_EQ(observer.targetList, std::vector<std::string> {"many"});
    EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM " + q("many")), "50000");
    auto left = StagingTablesOn(target, dialect);
    std::sort(left.begin(), left.end());
    const std::vector<std::string> kept
        = grace > 5 ? std::vector<std::string> {live, young} : std::vector<std::string> {live};
    EXPECT_EQ(left, kept);
    dialect.releaseStaging(liveRun, live);
}

// DB2 drops the foreign keys that reference a dropped table and makes its
// views inoperative; MySQL would refuse the DROP after the copy. An overwrite
// is refused before any row is read, naming what relies on the table.
TEST_P(OverwriteTest, TableOthersRelyOnIsRefusedBeforeAnyRowAndKeepsThem)
{
    makeTables();
    DataConnection& target = *sides().target;
    const bool toDB2 = GetParam() == TransferDirection::MySQLToDB2;
    target.execute("DROP TABLE " + q("many"));
    target.execute("CREATE TABLE " + q("many") + "(" + q("old") + " INTEGER NOT NULL PRIMARY KEY)");
    target.execute("INSERT INTO " + q("many") + " VALUES(7)");
    target.execute("CREATE TABLE " + q("child") + "(" + q("pid") + " INTEGER, CONSTRAINT " + q("child_many")
                   + " FOREIGN KEY (" + q("pid") + ") REFERENCES " + q("many") + "(" + q("old") + "))");
    std::string dependents = "foreign key child_many of child";
    if (toDB2) {
        target.execute("CREATE VIEW " + q("many_view") + " AS SELECT " + q("old") + " FROM " + q("many"));
        dependents += ", view many_view";
    }
    // A trigger goes with its table (MySQL) or is left inoperative (DB2).
    try {
        target.execute("DROP TABLE " + q("many_log"));
    } catch (const DbError&) {
    }
    target.execute("CREATE TABLE " + q("many_log") + "(" + q("n") + " INTEGER)");
    target.execute("CREATE TRIGGER " + q("many_audit") + " AFTER INSERT ON " + q("many")
                   + " FOR EACH ROW INSERT INTO " + q("many_log") + " VALUES (1)");
    dependents += ", trigger many_audit";
    if (toDB2) {  // an SQL function that reads it is left inoperative
        target.execute("CREATE FUNCTION " + q("many_count") + " () RETURNS INTEGER LANGUAGE SQL READS SQL DATA RETURN "
                       "SELECT COUNT(*) FROM " + q("many"));
        dependents += ", routine many_count";
    }
    const auto summary = run(GetParam(), {"many"});
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(SendReportLineOf(GetParam(), observer.reports[0].step), 144);
    EXPECT_EQ(observer.reports[0].description,
              "many is needed by " + dependents + "; the old table was kept. Remove or change those first.");
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Failed);
    EXPECT_EQ(summary.tables[0].reason, "needed by " + dependents + "; the old table was kept");
    EXPECT_EQ(summary.tables[0].rowsRead, 0);
    // Deleting it is refused alike, and on DB2, where the rename would be
    // refused or leave the views invalid, renaming it.
    const auto refusal = [](const std::function<void()>& change) {
        try {
            change();
        } catch (const TableChangeRefused& refused) {
            return std::string(refused.what());
        }
        return std::string("done");
    };
    const SqlDialect& dialect = sides().targetDialect;
    EXPECT_EQ(refusal([&] { DropUserTable(target, dialect, "many"); }),
              "many is needed by " + dependents + "; the table was kept. Remove or change those first.");
    if (toDB2) {
        EXPECT_EQ(refusal([&] { RenameUserTable(target, dialect, "many", "many_renamed"); }),
                  "many is needed by " + dependents + "; it keeps its name. Remove or change those first.");
        // DB2 renames no table in a foreign key, the child as little as the parent.
        EXPECT_EQ(refusal([&] { RenameUserTable(target, dialect, "child", "child_renamed"); }),
                  "child has foreign key child_many to many, and IBM DB2 renames no table in a foreign key; it "
                  "keeps its name. Remove those first.");
        EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM " + q("child")), "0");
    }
    EXPECT_EQ(QueryRows(target, "SELECT * FROM " + q("many")), (std::vector<Row> {{"7"}}));
    EXPECT_THROW(target.execute("INSERT INTO " + q("child") + " VALUES(8)"), DbError);  // the key still holds
    target.execute("INSERT INTO " + q("child") + " VALUES(7)");
    if (toDB2) {
        EXPECT_EQ(QueryRows(target, "SELECT * FROM " + q("many_view")), (std::vector<Row> {{"7"}}));
    }
    EXPECT_TRUE(observer.dropped.empty());
    EXPECT_EQ(StagingTablesOn(target, sides().targetDialect), std::vector<std::string> {});
    target.execute("INSERT INTO " + q("many") + " VALUES(8)");  // the trigger is still there
    EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM " + q("many_log")), "1");
    if (toDB2)
        target.execute("DROP VIEW " + q("many_view"));
    target.execute("DROP TABLE " + q("child"));
    target.execute("DROP TABLE " + q("many_log"));
}

// Another session's open transaction holds the table. Replacing, deleting and
// renaming it each wait for it a few seconds at a time, letting the sessions
// queued behind them through in between, and then keep the table; another
// session reading it meanwhile never waits 3 s.
TEST_P(OverwriteTest, HeldTableIsKeptByEveryChangeWhileItsReadersWaitSecondsAtMost)
{
    makeTables();
    const auto open = GetParam() == TransferDirection::MySQLToDB2 ? OpenDB2 : OpenMySQL;
    DataConnection holder, reader;
    open(holder);
    open(reader);
    holder.setAutoCommit(false);
    QueryRows(holder, "SELECT * FROM " + q("many"));
    const SqlDialect& dialect = sides().targetDialect;
    DataConnection& target = *sides().target;
    const std::vector<std::pair<std::string, std::function<std::string()>>> changes {
        {"the old table was kept",
         [&] {
             const auto summary = run(GetParam(), {"many"});
             EXPECT_EQ(summary.tables.at(0).status, TableStatus::Failed);
             EXPECT_EQ(summary.tables.at(0).reason, "in use by another session; the old table was kept");
             return observer.reports.empty() ? std::string() : observer.reports.back().description;
         }},
        {"the table was kept",
         [&] {
             DropUserTable(target, dialect, "many");
             return std::string();
         }},
        {"it keeps its name",
         [&] {
             RenameUserTable(target, dialect, "many", "many_renamed");
             return std::string();
         }},
    };
    for (const auto& [kept, change] : changes) {
        SCOPED_TRACE(kept);
        std::atomic<bool> done {false};
        double longestRead = 0;
        std::thread reads([&] {
            while (!done) {
                const auto started = std::chrono::steady_clock::now();
                QueryRows(reader, "SELECT COUNT(*) FROM " + q("many"));
                longestRead = std::max(
                    longestRead, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        const auto started = std::chrono::steady_clock::now();
        std::string message;
        try {
            message = change();
        } catch (const TableChangeRefused& refusal) {
            message = refusal.what();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        done = true;
        reads.join();
        EXPECT_EQ(message, "many is in use by another session; " + kept + ". Try again when it is free.");
        EXPECT_LT(seconds, 20);
        EXPECT_LT(longestRead, 3);
        EXPECT_EQ(QueryRows(target, "SELECT * FROM " + q("many")), (std::vector<Row> {{"7"}}));
    }
    EXPECT_EQ(StagingTablesOn(target, dialect), std::vector<std::string> {});
    holder.rollback();
    holder.setAutoCommit(true);
}

}  // namespace
