// Tables copied in parallel streams, one per range of their key, against
// MariaDB and the DB2 stand-in: ranges from the key's real order, every row
// once, and failures that keep the old table.
#include "KeyRanges.h"
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "StagingTable.h"
#include "TableComparison.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kStreams = 3;

// Rows of a table made on MySQL; every table has 3000 of them.
struct KeyCase {
    const char* table;
    const char* columns;  // the CREATE TABLE's column list
    const char* rows;     // a SELECT of 3000 rows over seq_1_to_3000 (its column seq)
    bool keyed;
};

// 90% of the keys lie in 1..2700, the rest far apart: ranges of equal key
// steps would give one stream nearly every row. Text keys in a collation that
// ignores case and trailing spaces ('b' sorts between 'A' and 'C'), and in
// one that does not, where 'a' and 'A' are two keys.
const KeyCase kCases[] = {
    {"ps_skewed", "id BIGINT PRIMARY KEY, v VARCHAR(20)",
     "SELECT IF(seq <= 2700, seq, 1000000000000 + seq * 1000003), CONCAT('v', seq) FROM seq_1_to_3000", true},
    {"ps_keyless", "id INT, v VARCHAR(20)", "SELECT seq % 7, CONCAT('v', seq) FROM seq_1_to_3000", false},
    {"ps_text_ci", "k VARCHAR(20) PRIMARY KEY, v INT",
     "SELECT CONCAT(IF(seq % 2, UPPER(CHAR(97 + seq % 26)), CHAR(97 + seq % 26)), seq, IF(seq % 3, '', '  ')), seq "
     "FROM seq_1_to_3000",
     true},
    {"ps_text_cs", "k VARCHAR(20) COLLATE utf8mb4_bin PRIMARY KEY, v INT",
     "SELECT CONCAT(CHAR(IF(seq % 2, 65, 97) + (seq DIV 2) % 26), (seq - 1) DIV 52, IF(seq % 5, '', ' ')), seq "
     "FROM seq_1_to_3000",
     true},
    {"ps_two_columns", "a INT, b VARCHAR(10), v INT, PRIMARY KEY (a, b)",
     "SELECT seq DIV 1000, CONCAT('b', seq % 1000), seq FROM seq_1_to_3000", true},
    // Bytes compare as bytes: 0x00 and 0xFF among them.
    {"ps_bytes", "k VARBINARY(8) PRIMARY KEY, v INT",
     "SELECT UNHEX(CONCAT(LPAD(HEX(seq % 256), 2, '0'), LPAD(HEX(seq * 40503 % 65536), 4, '0'))), seq "
     "FROM seq_1_to_3000",
     true},
};

std::string mysqlRowsSql(const KeyCase& c) { return std::string("INSERT INTO ") + c.table + " " + c.rows; }

class ParallelStreamsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RequireTestServers(true, true);
        DataConnection mysql, db2;
        OpenMySQL(mysql);
        OpenDB2(db2);
        for (const KeyCase& c : kCases) {
            DropMySQL(mysql, c.table);
            mysql.execute(std::string("CREATE TABLE ") + c.table + " (" + c.columns + ") ENGINE=InnoDB");
            mysql.execute(mysqlRowsSql(c));
        }
    }

    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        options.parallelStreams = kStreams;
        options.splitFromRows = 100;
        options.copyPrimaryKeys = true;  // DB2 tables are cut by their primary key,
        options.columnTypes = Db2ColumnTypes::Matching;  // which LONG VARCHAR cannot be part of
    }

    void TearDown() override
    {
        for (const auto& name : StagingTablesOn(mysql, MySQLDialect()))
            DropMySQL(mysql, name);
        for (const auto& name : StagingTablesOn(db2, DB2Dialect()))
            DropDB2(db2, name);
    }

    DataConnection& side(DatabaseSide s) { return s == DatabaseSide::MySQL ? mysql : db2; }

    // The sessions of the test login on a side: each stream has its own.
    long long sessions(DatabaseSide s)
    {
        const char* sql = s == DatabaseSide::MySQL
            ? "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE USER = SUBSTRING_INDEX(CURRENT_USER(), '@', 1)"
            : "SELECT COUNT(*) FROM \"pg_catalog\".\"pg_stat_activity\" WHERE \"datname\" = \"current_database\"() "
              "AND \"usename\" = CURRENT_USER";
        return std::stoll(QueryValue(side(s), sql).value_or("0"));
    }

    TransferSummary send(TransferDirection direction, const std::vector<std::string>& tables)
    {
        return RunTransfer(direction, MySQLTestProfile(), DB2TestProfile(), tables, observer, options);
    }

    DataConnection mysql, db2;
    TransferOptions options;
    RecordingObserver observer;
};

// Every range holds about a third of the rows however the keys are spread,
// and together they hold each row once, counted by the server with the very
// conditions the streams read by.
TEST_F(ParallelStreamsTest, RangesFollowTheKeysOrderAndHoldEveryRowOnce)
{
    for (const DatabaseSide s : {DatabaseSide::MySQL, DatabaseSide::DB2}) {
        if (s == DatabaseSide::DB2) {
            // The tables' copies on DB2, with their keys.
            TransferOptions oneStream = options;
            oneStream.parallelStreams = 1;
            std::vector<std::string> tables;
            for (const KeyCase& c : kCases)
                tables.push_back(c.table);
            RecordingObserver sending;
            const auto sent = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), tables,
                                          sending, oneStream);
            ASSERT_EQ(sent.tablesSent(), static_cast<int>(tables.size())) << sending.reportsText();
        }
        const SqlDialect& dialect = DialectOf(s);
        for (const KeyCase& c : kCases) {
            SCOPED_TRACE(std::string(c.table) + " on " + dialect.displayName());
            const auto split = SplitByKey(side(s), dialect, c.table, 3000, kStreams);
            if (!c.keyed) {
                EXPECT_FALSE(split.has_value());
                continue;
            }
            ASSERT_TRUE(split.has_value());
            ASSERT_EQ(split->ranges.size(), 3u);
            EXPECT_TRUE(split->ranges.front().from.empty());
            EXPECT_TRUE(split->ranges.back().to.empty());
            long long total = 0;
            for (const KeyRange& range : split->ranges) {
                const KeyCondition condition = RangeCondition(dialect, split->key, range);
                KeyStatement count(side(s), dialect);
                count.execute("SELECT COUNT(*) FROM " + dialect.quoteIdentifier(c.table) + " WHERE " + condition.sql,
                              condition);
                SQLBIGINT rows = 0;
                SQLLEN indicator = 0;
                ASSERT_EQ(SQLFetch(count.get()), SQL_SUCCESS);
                SQLGetData(count.get(), 1, SQL_C_SBIGINT, &rows, sizeof rows, &indicator);
                EXPECT_EQ(rows, 1000);
                total += rows;
            }
            EXPECT_EQ(total, 3000);
        }
    }
}

// Sent with three streams each way, one table to a run: every table arrives
// whole, equal value for value; a keyed table goes in three streams of
// connections of their own, a keyless one in one.
TEST_F(ParallelStreamsTest, TablesArriveWholeBothWays)
{
    std::vector<std::string> tables;
    for (const KeyCase& c : kCases)
        tables.push_back(c.table);
    for (const TransferDirection direction : {TransferDirection::MySQLToDB2, TransferDirection::DB2ToMySQL}) {
        const bool toDB2 = direction == TransferDirection::MySQLToDB2;
        SCOPED_TRACE(toDB2 ? "to DB2" : "to MySQL");
        const DatabaseSide source = toDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2;
        const long long before = sessions(source);
        for (size_t i = 0; i < tables.size(); ++i) {
            SCOPED_TRACE(tables[i]);
            // The most sessions of the source seen while the table was copied.
            long long most = 0;
            RecordingObserver watching;
            watching.onRowsDone = [&](long long) { most = std::max(most, sessions(source) - before); };
            const TransferSummary summary
                = RunTransfer(direction, MySQLTestProfile(), DB2TestProfile(), {tables[i]}, watching, options);
            ASSERT_EQ(summary.tablesSent(), 1) << watching.reportsText();
            EXPECT_EQ(watching.reportsText(), "");
            EXPECT_EQ(summary.tables[0].rowsRead, 3000);
            EXPECT_EQ(summary.tables[0].rowsWritten, 3000);
            EXPECT_EQ(summary.tables[0].rowsOnTarget, 3000);
            EXPECT_EQ(summary.tables[0].rowsRefused, 0);
            // The run's own source connection, and one of each stream's; a
            // keyless MySQL table also has its one-pass read's own session.
            if (kCases[i].keyed)
                EXPECT_GE(most, 1 + kStreams);
            else
                EXPECT_LE(most, source == DatabaseSide::MySQL ? 2 : 1);
        }
        ComparisonObserver quiet;
        const ComparisonSummary compared
            = CompareTables(direction, MySQLTestProfile(), DB2TestProfile(), tables, quiet, options);
        for (const TableComparison& table : compared.tables) {
            EXPECT_EQ(table.status, ComparisonStatus::Equal) << table.name;
            EXPECT_EQ(table.sourceRows, 3000) << table.name;
            EXPECT_EQ(table.targetRows, 3000) << table.name;
        }
        EXPECT_EQ(StagingTablesOn(side(toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL),
                                  DialectOf(toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL)),
                  std::vector<std::string> {});
    }
}

// Several tables at once, each lane on connections of its own: the observer
// is still called on the caller's thread only; a table named twice goes after
// its first and is refused as when the tables go in turn; two tables go side
// by side as six do; Cancel part-way leaves no staging table, and a table not
// sent is not on the target.
TEST_F(ParallelStreamsTest, TablesGoSideBySide)
{
    struct SideBySideObserver : RecordingObserver {
        const std::thread::id caller = std::this_thread::get_id();
        int offThread = 0;  // counted on the caller's thread, else its count is what tells
        std::set<std::string> copying;
        bool overlapped = false;
        int rowsDoneCalls = 0, cancelAfterRowsDone = -1;
        void onCaller()
        {
            if (std::this_thread::get_id() != caller)
                ++offThread;
        }
        void tableStarting(const std::string& table) override
        {
            onCaller();
            RecordingObserver::tableStarting(table);
        }
        bool confirmOverwrite(const std::string& table, const std::string& existing) override
        {
            onCaller();
            return RecordingObserver::confirmOverwrite(table, existing);
        }
        void rowsDone(const std::string& table, long long, long long) override
        {
            onCaller();
            copying.insert(table);
            overlapped = overlapped || copying.size() >= 2;
            ++rowsDoneCalls;
        }
        void tableFinished(const TableResult& result) override
        {
            onCaller();
            copying.erase(result.name);
        }
        void progress(int percent) override
        {
            onCaller();
            RecordingObserver::progress(percent);
        }
        void report(const std::string& table, TransferStep step, const std::string& description,
                    const std::string& sql) override
        {
            onCaller();
            RecordingObserver::report(table, step, description, sql);
        }
        bool cancelRequested() override { return cancelAfterRowsDone >= 0 && rowsDoneCalls >= cancelAfterRowsDone; }
    };
    std::vector<std::string> tables;
    for (const KeyCase& c : kCases)
        tables.push_back(c.table);
    options.parallelStreams = 2;
    for (const bool cancel : {false, true}) {
        for (const TransferDirection direction : {TransferDirection::MySQLToDB2, TransferDirection::DB2ToMySQL}) {
            const bool toDB2 = direction == TransferDirection::MySQLToDB2;
            SCOPED_TRACE(std::string(toDB2 ? "to DB2" : "to MySQL") + (cancel ? ", cancelled" : ""));
            const DatabaseSide targetSide = toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL;
            DataConnection& target = side(targetSide);
            const SqlDialect& targetDialect = DialectOf(targetSide);
            // To MySQL, two tables: with the one named twice, two groups.
            const std::vector<std::string> given
                = toDB2 || cancel ? tables : std::vector<std::string>(tables.begin(), tables.begin() + 2);
            std::vector<std::string> sent = given;
            if (!cancel)
                sent.push_back(tables.front());  // named twice
            SideBySideObserver watching;
            watching.cancelAfterRowsDone = cancel ? 3 : -1;
            const TransferSummary summary
                = RunTransfer(direction, MySQLTestProfile(), DB2TestProfile(), sent, watching, options);
            EXPECT_EQ(watching.offThread, 0);
            EXPECT_EQ(StagingTablesOn(target, targetDialect), std::vector<std::string> {});
            const std::vector<std::string> there = targetDialect.tableNames(target);
            if (!cancel) {
                EXPECT_TRUE(watching.overlapped);
                ASSERT_EQ(summary.tablesSent(), static_cast<int>(given.size())) << watching.reportsText();
                const TableResult& twice = summary.tables.back();
                EXPECT_EQ(twice.status, TableStatus::Failed);
                EXPECT_NE(twice.reason.find("sent by this run"), std::string::npos) << twice.reason;
                for (size_t i = 0; i < given.size(); ++i) {
                    EXPECT_EQ(summary.tables[i].rowsOnTarget, 3000) << given[i];
                    EXPECT_EQ(summary.tables[i].rowsRefused, 0) << given[i];
                }
                ComparisonObserver quiet;
                for (const TableComparison& table :
                     CompareTables(direction, MySQLTestProfile(), DB2TestProfile(), given, quiet, options).tables)
                    EXPECT_EQ(table.status, ComparisonStatus::Equal) << table.name;
                continue;
            }
            // Every table was on the target before: one not sent is kept as it was.
            EXPECT_TRUE(summary.cancelled);
            EXPECT_LT(summary.tablesSent(), static_cast<int>(tables.size()));
            for (const TableResult& table : summary.tables) {
                const bool replaced
                    = std::find(watching.dropped.begin(), watching.dropped.end(), table.name) != watching.dropped.end();
                EXPECT_EQ(replaced, table.status == TableStatus::Sent) << table.name << ": " << table.reason;
                EXPECT_NE(std::find(there.begin(), there.end(), table.name), there.end()) << table.name;
                EXPECT_EQ(QueryValue(target, targetDialect.countRowsSql(table.name)), "3000") << table.name;
            }
        }
    }
}

// Cancel, or one stream's connection killed, part-way: the old table stays as
// it was, no staging table is left, and a failure is told once.
TEST_F(ParallelStreamsTest, CancelOrAKilledStreamKeepsTheOldTable)
{
    // A stream's connection goes: on DB2 the stand-in closes each stream's
    // after 3000 rows inserted (SQL30081N), on MySQL the connection opened
    // last, a stream's target, is killed.
    struct Case {
        TransferDirection direction;
        bool kill;  // else Cancel
        const char* reason;
    };
    const Case cases[] = {
        {TransferDirection::MySQLToDB2, false, "cancelled"},
        {TransferDirection::MySQLToDB2, true, "writing stopped part-way"},
        {TransferDirection::DB2ToMySQL, false, "cancelled"},
        {TransferDirection::DB2ToMySQL, true, "writing stopped part-way"},
    };
    // 60000 rows, 600 to a batch, on both sides.
    DropMySQL(mysql, "ps_cut");
    mysql.execute("CREATE TABLE ps_cut (id INT PRIMARY KEY, v VARCHAR(40)) ENGINE=InnoDB");
    mysql.execute("INSERT INTO ps_cut SELECT seq, REPEAT('x', 40) FROM seq_1_to_60000");
    TransferOptions oneStream = options;
    oneStream.parallelStreams = 1;
    RecordingObserver sending;
    ASSERT_EQ(RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"ps_cut"}, sending,
                          oneStream)
                  .tablesSent(),
              1)
        << sending.reportsText();
    for (const Case& c : cases) {
        const bool toDB2 = c.direction == TransferDirection::MySQLToDB2;
        SCOPED_TRACE(std::string(toDB2 ? "to DB2, " : "to MySQL, ") + (c.kill ? "killed" : "cancelled"));
        const DatabaseSide targetSide = toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL;
        DataConnection& target = side(targetSide);
        const SqlDialect& targetDialect = DialectOf(targetSide);
        // The target's ps_cut is an old table of one row.
        const std::string old = targetDialect.quoteIdentifier("ps_cut");
        target.execute(targetDialect.dropTableSql("ps_cut"));
        target.execute("CREATE TABLE " + old + " (id INT)");
        target.execute("INSERT INTO " + old + " VALUES (7)");

        observer = RecordingObserver();
        observer.targetList = {"ps_cut"};
        bool killed = false;
        observer.onRowsDone = [&](long long done) {
            if (done < 6000 || killed)
                return;
            if (!c.kill) {
                observer.cancelAfterProgressCalls = 0;
                return;
            }
            killed = true;
            if (toDB2)
                return;
            const auto newest = QueryValue(mysql,
                                           "SELECT MAX(ID) FROM information_schema.PROCESSLIST WHERE "
                                           "USER = SUBSTRING_INDEX(CURRENT_USER(), '@', 1)");
            mysql.execute("KILL CONNECTION " + newest.value_or("0"));
        };
        if (toDB2 && c.kill) {
            setenv("DB2STANDIN_FAIL_INSERT", "08001,-30081,3000", 1);
            killed = true;
        }
        const TransferSummary summary = send(c.direction, {"ps_cut"});
        unsetenv("DB2STANDIN_FAIL_INSERT");

        ASSERT_EQ(summary.tables.size(), 1u);
        const TableResult& table = summary.tables[0];
        EXPECT_EQ(table.status, TableStatus::Incomplete) << observer.reportsText();
        EXPECT_EQ(table.reason, std::string(c.reason) + ", the old table was not replaced");
        EXPECT_LT(table.rowsRead, 60000);
        EXPECT_EQ(table.rowsWritten, 0);
        EXPECT_EQ(summary.cancelled, !c.kill);
        EXPECT_FALSE(summary.connectionLost);  // the run's own connections still answer
        if (c.kill) {
            EXPECT_TRUE(killed);
            ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
            EXPECT_EQ(observer.reports[0].description.rfind("Stream ", 0), 0u) << observer.reportsText();
        } else {
            EXPECT_EQ(observer.reportsText(), "");
        }
        EXPECT_EQ(QueryRows(target, "SELECT * FROM " + old), (std::vector<Row> {{"7"}}));
        EXPECT_TRUE(observer.dropped.empty());
        EXPECT_TRUE(observer.arrived.empty());
        EXPECT_EQ(StagingTablesOn(target, targetDialect), std::vector<std::string> {});
        if (toDB2 && c.kill) {
            // The source of the next cases: DB2's ps_cut of 60000 rows again.
            RecordingObserver again;
            ASSERT_EQ(RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"ps_cut"},
                                  again, oneStream)
                          .tablesSent(),
                      1)
                << again.reportsText();
        }
    }
}

// The DB2 source goes away mid-read (its sessions ended on the server), or
// its result ends early without an error: whether the old table is to be
// replaced or its rows added to or replaced, in one stream or in ranges, the
// table is incomplete and the target keeps what it had.
TEST_F(ParallelStreamsTest, ALostOrShortDB2ReadKeepsTheOldTableOrItsRows)
{
    struct Case {
        ExistingTables mode;
        int streams;
        bool endSessions;  // else every result ends after 5000 rows
        const char* kept;
        const char* report;  // in the one report
    };
    const char* const replaced = "the old table was not replaced";
    const char* const lost = "SQL30081N";
    const char* const short_ = "The result ended after 5000 rows, but the source held ";
    const Case cases[] = {
        {ExistingTables::ReplaceTable, 1, true, replaced, lost},
        {ExistingTables::ReplaceTable, 3, true, replaced, lost},
        {ExistingTables::AddRows, 1, true, "no row was added", lost},
        {ExistingTables::AddRows, 3, true, "no row was added", lost},
        {ExistingTables::ReplaceRows, 1, true, "the old rows were kept", lost},
        {ExistingTables::ReplaceRows, 3, true, "the old rows were kept", lost},
        {ExistingTables::ReplaceTable, 1, false, replaced, short_},
        {ExistingTables::ReplaceTable, 3, false, replaced, short_},
        {ExistingTables::ReplaceRows, 1, false, "the old rows were kept", short_},
    };
    // 60000 rows on DB2, 600 to a batch; the MySQL table of one row is the old one.
    DropDB2(db2, "ps_lost");
    db2.execute("CREATE TABLE \"ps_lost\" (\"id\" INTEGER NOT NULL PRIMARY KEY, \"v\" VARCHAR(40))");
    db2.execute("INSERT INTO \"ps_lost\" SELECT g, REPEAT('x', 40) FROM generate_series(1, 60000) g");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.mode)) + ", " + std::to_string(c.streams) + " streams, "
                     + (c.endSessions ? "sessions ended" : "results cut short"));
        DropMySQL(mysql, "ps_lost");
        mysql.execute("CREATE TABLE ps_lost (id INT, v VARCHAR(40))");
        mysql.execute("INSERT INTO ps_lost VALUES (7, 'old')");
        options.existingTables = c.mode;
        options.parallelStreams = c.streams;
        observer = RecordingObserver();
        observer.targetList = {"ps_lost"};
        bool ended = false;
        observer.onRowsDone = [&](long long done) {
            if (c.endSessions && done >= 6000 && !std::exchange(ended, true))
                EndOtherDB2Sessions(db2);
        };
        if (!c.endSessions)
            setenv("DB2STANDIN_END_RESULTS_AFTER", "5000", 1);
        const TransferSummary summary = send(TransferDirection::DB2ToMySQL, {"ps_lost"});
        unsetenv("DB2STANDIN_END_RESULTS_AFTER");

        EXPECT_EQ(ended, c.endSessions);
        ASSERT_EQ(summary.tables.size(), 1u);
        const TableResult& table = summary.tables[0];
        EXPECT_EQ(table.status, TableStatus::Incomplete) << observer.reportsText();
        EXPECT_EQ(table.reason, std::string("reading stopped part-way, ") + c.kept);
        EXPECT_LT(table.rowsRead, 60000);
        EXPECT_EQ(table.rowsWritten, 0);
        EXPECT_EQ(observer.reports.size(), 1u) << observer.reportsText();
        for (const RecordingObserver::Report& report : observer.reports) {
            EXPECT_EQ(report.step, TransferStep::ReadRows);
            EXPECT_NE(report.description.find(c.report), std::string::npos) << report.description;
        }
        EXPECT_EQ(QueryRows(mysql, "SELECT * FROM ps_lost"), (std::vector<Row> {{"7", "old"}}));
        EXPECT_TRUE(observer.dropped.empty());
        EXPECT_TRUE(observer.arrived.empty());
        EXPECT_EQ(StagingTablesOn(mysql, MySQLDialect()), std::vector<std::string> {});
    }
    DropMySQL(mysql, "ps_lost");
    DropDB2(db2, "ps_lost");
}

}  // namespace
