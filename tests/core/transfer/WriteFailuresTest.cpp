// Writes that the target changes or cannot finish: a MySQL server that is
// not strict, a load in which no row could be written, failures that are no
// row's fault in the middle of a copy, and a COMMIT whose answer is lost.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "SourceReader.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace {

std::string q(bool db2, const std::string& name) { return (db2 ? DB2Dialect() : MySQLDialect()).quoteIdentifier(name); }

// Sets a variable of the environment the stand-in reads when the run
// connects, and removes it again.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
};

std::set<std::string> flags(const std::string& mode)
{
    std::set<std::string> found;
    std::stringstream in(mode);
    for (std::string flag; std::getline(in, flag, ',');)
        if (!flag.empty())
            found.insert(flag);
    return found;
}

// Rows of the source that each hold one value a non-strict MySQL would store
// changed, among rows that arrive unchanged: 512 rows in arrays of 5.
struct ChangedValue {
    const char* what;
    const char* column;
    const char* value;  // as a DB2 literal
};

const std::vector<ChangedValue> kChangedValues {
    {"ten characters into VARCHAR(5)", "txt", "'ten chars!'"},
    {"3000000000 into INT", "num", "3000000000"},
    {"Greek and Japanese into latin1", "lat", "'Ωmega 日本'"},
    {"the 30th of February into DATE", "dt", "'2021-02-30'"},
    {"trailing spaces cut (a note even in strict mode)", "pad", "'xyz   '"},
    {"a decimal rounded (a note even in strict mode)", "amount", "1.234"},
};

class NonStrictTarget : public ::testing::TestWithParam<ExistingTables> {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }
    void SetUp() override
    {
        db2.setCursorLocation(kClientSideCursor);
        db2.open(DB2ConnectionString(DB2TestProfile()));
        mysql.setCursorLocation(kClientSideCursor);
        mysql.open(MySQLConnectionString(FoldingMySQLTestProfile()));
        DropDB2(db2, "strict_items");
        DropMySQL(mysql, "strict_items");
    }
    DataConnection db2, mysql;
};

INSTANTIATE_TEST_SUITE_P(AddAndReplaceRows, NonStrictTarget,
                         ::testing::Values(ExistingTables::AddRows, ExistingTables::ReplaceRows), [](const auto& info) {
                             return std::string(info.param == ExistingTables::AddRows ? "AddRows" : "ReplaceRows");
                         });

TEST_P(NonStrictTarget, AChangedValueCostsItsRowAndNoRowArrivesChanged)
{
    ASSERT_EQ(flags(QueryValue(mysql, "SELECT @@GLOBAL.sql_mode").value_or("")).count("STRICT_TRANS_TABLES"), 0u)
        << "the folding test server is meant to run without strict mode";
    db2.execute("CREATE TABLE \"strict_items\"(\"id\" INTEGER NOT NULL PRIMARY KEY, \"txt\" VARCHAR(20), \"num\" "
                "BIGINT, \"lat\" VARCHAR(40), \"dt\" VARCHAR(10), \"pad\" VARCHAR(10), \"amount\" DECIMAL(6,3))");
    db2.execute("INSERT INTO \"strict_items\" VALUES(1, 'abc', 7, 'plain', '2021-02-03', 'xyz', 1.250)");
    for (int bit = 0; bit < 9; ++bit)
        db2.execute("INSERT INTO \"strict_items\" SELECT \"id\" + " + std::to_string(1 << bit)
                    + ", \"txt\", \"num\", \"lat\", \"dt\", \"pad\", \"amount\" FROM \"strict_items\"");
    std::vector<int> changedIds;
    for (size_t i = 0; i < kChangedValues.size(); ++i) {
        changedIds.push_back(37 * static_cast<int>(i + 1));
        db2.execute(std::string("UPDATE \"strict_items\" SET \"") + kChangedValues[i].column
                    + "\" = " + kChangedValues[i].value + " WHERE \"id\" = " + std::to_string(changedIds.back()));
    }
    mysql.execute("CREATE TABLE strict_items(id INT PRIMARY KEY, txt VARCHAR(5), num INT, lat VARCHAR(20) CHARACTER "
                  "SET latin1, dt DATE, pad VARCHAR(3), amount DECIMAL(5,2)) ENGINE=InnoDB CHARACTER SET utf8mb4");
    mysql.execute("INSERT INTO strict_items VALUES(0, 'old', 0, 'old', '2000-01-01', 'old', 0)");

    RecordingObserver observer;
    observer.targetList = {"strict_items"};
    TransferOptions options;
    options.existingTables = GetParam();
    const auto summary = RunTransfer(TransferDirection::DB2ToMySQL, FoldingMySQLTestProfile(), DB2TestProfile(),
                                     {"strict_items"}, observer, options);

    ASSERT_EQ(summary.tables.size(), 1u);
    const TableResult& items = summary.tables[0];
    EXPECT_EQ(items.status, TableStatus::Sent) << items.reason << "\n" << observer.reportsText();
    EXPECT_EQ(items.rowsRefused, static_cast<long long>(kChangedValues.size()));
    EXPECT_EQ(items.rowsWritten, 512 - static_cast<long long>(kChangedValues.size()));
    const long long old = GetParam() == ExistingTables::AddRows ? 1 : 0;
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM strict_items"), std::to_string(items.rowsWritten + old));
    // Every row that arrived holds the source's values.
    EXPECT_EQ(QueryValue(mysql,
                         "SELECT COUNT(*) FROM strict_items WHERE txt = 'abc' AND num = 7 AND lat = 'plain' "
                         "AND dt = '2021-02-03' AND pad = 'xyz' AND amount = 1.25"),
              std::to_string(items.rowsWritten));
    for (size_t i = 0; i < kChangedValues.size(); ++i) {
        SCOPED_TRACE(kChangedValues[i].what);
        EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM strict_items WHERE id = " + std::to_string(changedIds[i])),
                  "0");
    }
    ASSERT_FALSE(observer.reports.empty());
    EXPECT_EQ(observer.reports[0].step, TransferStep::Insert) << observer.reportsText();
}

// A copy into a table of its own (each array committed, as into a staging
// table) on the non-strict server: the warnings of each array find the rows
// even strict mode stores changed.
TEST(NonStrictCopy, ArraysWithAChangedValueAreSentAgainRowByRow)
{
    RequireTestServers(true, false);
    DataConnection source, target;
    OpenMySQL(source);
    MySQLDialect().openSession(target, FoldingMySQLTestProfile());
    DropMySQL(source, "strict_src");
    DropMySQL(target, "strict_dst");
    source.execute("CREATE TABLE strict_src(id INT PRIMARY KEY, code VARCHAR(10), amount DECIMAL(6,3))");
    source.execute("INSERT INTO strict_src SELECT seq, 'abc', 1.5 FROM seq_1_to_300");
    source.execute("UPDATE strict_src SET code = 'abc  ' WHERE id IN (50, 250)");  // spaces cut: a note
    source.execute("UPDATE strict_src SET amount = 2.125 WHERE id = 150");         // rounded: a note
    source.execute("UPDATE strict_src SET code = 'abcdef' WHERE id = 120");        // too long: an error
    target.execute("CREATE TABLE strict_dst(id INT, code VARCHAR(3), amount DECIMAL(5,2)) ENGINE=InnoDB");
    auto reader = OpenMySQLSource(source, "strict_src", 100);
    RecordingObserver observer;
    const CopyResult result = CopyRows(TargetSide::MySQL, "strict_dst", "strict_dst", *reader, 300,
                                       {"INT", "VARCHAR(3)", "DECIMAL(5,2)"}, target, observer);
    reader.reset();
    EXPECT_EQ(result.copied, 296);
    EXPECT_EQ(result.refused, 4);
    EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM strict_dst WHERE code = 'abc' AND amount = 1.5"), "296");
    EXPECT_EQ(QueryValue(target, "SELECT COUNT(*) FROM strict_dst WHERE id IN (50, 120, 150, 250)"), "0");
    ASSERT_FALSE(observer.reports.empty());
    EXPECT_NE(observer.reports[0].description.find("Data truncated for column 'code'"), std::string::npos)
        << observer.reportsText();
    DropMySQL(source, "strict_src");
    DropMySQL(target, "strict_dst");
}

// Loads into an existing table, both directions: items(id, name) on the
// source, the target's own table with its old rows.
class LoadFailureTest : public ::testing::TestWithParam<TransferDirection> {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }
    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        DropMySQL(mysql, table);
        DropDB2(db2, table);
    }
    bool toDB2() const { return GetParam() == TransferDirection::MySQLToDB2; }
    DataConnection& source() { return toDB2() ? mysql : db2; }
    DataConnection& target() { return toDB2() ? db2 : mysql; }
    std::string sq(const std::string& name) const { return q(!toDB2(), name); }
    std::string tq(const std::string& name) const { return q(toDB2(), name); }

    // `rows` source rows (a power of two) named `name`, ids 1 to rows.
    void makeSource(int rows, const std::string& name)
    {
        source().execute("CREATE TABLE " + sq(table) + "(" + sq("id") + " INTEGER NOT NULL PRIMARY KEY, " + sq("name")
                         + " VARCHAR(40))");
        source().execute("INSERT INTO " + sq(table) + " VALUES(1, '" + name + "')");
        for (int bit = 0; (1 << bit) < rows; ++bit)
            source().execute("INSERT INTO " + sq(table) + " SELECT " + sq("id") + " + " + std::to_string(1 << bit)
                             + ", " + sq("name") + " FROM " + sq(table));
    }
    void makeTarget(const std::string& nameType, const std::vector<int>& oldIds)
    {
        target().execute("CREATE TABLE " + tq(table) + "(" + tq("id") + " INTEGER NOT NULL PRIMARY KEY, " + tq("name")
                         + " " + nameType + ")" + (toDB2() ? "" : " ENGINE=InnoDB"));
        for (int id : oldIds)
            target().execute("INSERT INTO " + tq(table) + " VALUES(" + std::to_string(id) + ", 'old')");
    }
    TransferSummary run(ExistingTables mode, const std::vector<std::string>& tables = {})
    {
        observer.targetList = {table};
        TransferOptions options;
        options.existingTables = mode;
        return RunTransfer(GetParam(), MySQLTestProfile(), DB2TestProfile(),
                           tables.empty() ? std::vector {table} : tables, observer, options);
    }
    std::vector<Row> targetRows()
    {
        return QueryRows(target(), "SELECT " + tq("id") + ", " + tq("name") + " FROM " + tq(table) + " ORDER BY 1");
    }

    std::string table = "fault_items";
    DataConnection mysql, db2;
    RecordingObserver observer;
};

std::string DirectionName(const ::testing::TestParamInfo<TransferDirection>& info)
{
    return info.param == TransferDirection::MySQLToDB2 ? "ToDB2" : "ToMySQL";
}

INSTANTIATE_TEST_SUITE_P(BothDirections, LoadFailureTest,
                         ::testing::Values(TransferDirection::MySQLToDB2, TransferDirection::DB2ToMySQL),
                         DirectionName);

// Every row refused: the table keeps its old rows instead of ending empty.
TEST_P(LoadFailureTest, ReplacingRowsWithNotOneWrittenKeepsTheOldRows)
{
    makeSource(4, "far too long for the target");
    makeTarget("VARCHAR(5)", {7, 8});
    const auto summary = run(ExistingTables::ReplaceRows);
    const TableResult& items = summary.tables.at(0);
    EXPECT_EQ(items.status, TableStatus::Failed);
    EXPECT_EQ(items.reason, "not one row could be written, the old rows were kept");
    EXPECT_EQ(items.rowsRefused, 4);
    EXPECT_EQ(items.rowsWritten, 0);
    EXPECT_NE(observer.reportsText().find("Not one of the 4 rows read could be written to fault_items"),
              std::string::npos)
        << observer.reportsText();
    EXPECT_EQ(targetRows(), (std::vector<Row> {{"7", "old"}, {"8", "old"}}));
}

// A failure that is no row's fault ends the load part-way; the old rows
// stay. MySQL raises them from a trigger (as the server would answer), the
// stand-in from DB2STANDIN_FAIL_INSERT, after 20 rows. A MySQL table with an
// INSERT trigger is refused for replacing rows before anything is deleted,
// so there only adding rows meets the failure.
TEST_P(LoadFailureTest, AServerFailureEndsTheLoadAndKeepsTheOldRows)
{
    struct Failure {
        const char* what;
        std::string sqlState;
        long code;
        std::string named;  // in the report
    };
    const std::vector<Failure> failures = toDB2()
        ? std::vector<Failure> {{"table space full", "57011", -289, "SQL0289N"},
                                {"deadlock", "40001", -911, "SQL0911N"},
                                {"client reroute", "08506", -30108, "SQL30108N"}}
        : std::vector<Failure> {{"table full", "HY000", 1114, "The table fault_items is full"},
                                {"lock wait timeout", "HY000", 1205, "Lock wait timeout exceeded"},
                                {"deadlock", "40001", 1213, "Deadlock found"},
                                {"disk full", "HY000", 1021, "Disk full"}};
    const std::vector<ExistingTables> modes = toDB2()
        ? std::vector {ExistingTables::AddRows, ExistingTables::ReplaceRows}
        : std::vector {ExistingTables::AddRows};
    for (const ExistingTables mode : modes)
        for (const Failure& failure : failures) {
            SCOPED_TRACE(std::string(failure.what) + (mode == ExistingTables::AddRows ? ", adding" : ", replacing"));
            SetUp();
            observer = RecordingObserver();
            makeSource(256, "new");  // arrays of 2
            makeTarget("VARCHAR(40)", {100});
            std::optional<ScopedEnv> injected;
            if (toDB2()) {
                injected.emplace("DB2STANDIN_FAIL_INSERT",
                                 failure.sqlState + "," + std::to_string(failure.code) + ",20");
            } else {
                mysql.execute("CREATE TRIGGER fault_items_fails BEFORE INSERT ON fault_items FOR EACH ROW "
                              "IF NEW.id > 20 THEN SIGNAL SQLSTATE '"
                              + failure.sqlState + "' SET MYSQL_ERRNO = " + std::to_string(failure.code)
                              + ", MESSAGE_TEXT = '" + failure.named + "'; END IF");
            }
            const auto summary = run(mode);
            const TableResult& items = summary.tables.at(0);
            EXPECT_EQ(items.status, TableStatus::Incomplete) << observer.reportsText();
            EXPECT_EQ(items.reason,
                      std::string("writing stopped part-way, ")
                          + (mode == ExistingTables::AddRows ? "no row was added" : "the old rows were kept"));
            EXPECT_EQ(items.rowsWritten, 0);
            EXPECT_NE(observer.reportsText().find(failure.named), std::string::npos) << observer.reportsText();
            EXPECT_EQ(targetRows(), (std::vector<Row> {{"100", "old"}}));
        }
}

// The same failures in a copy to a new or replaced DB2 table: the copy is
// dropped, the old table stays as it was.
TEST(NewTableFailure, AServerFailureEndsTheCopyAndTheOldTableStays)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    const std::string table = "fault_copy";
    DropMySQL(mysql, table);
    mysql.execute("CREATE TABLE fault_copy(id INT PRIMARY KEY, name VARCHAR(40))");
    mysql.execute("INSERT INTO fault_copy VALUES(1, 'new')");
    for (int bit = 0; bit < 8; ++bit)  // 256 rows, arrays of 2
        mysql.execute("INSERT INTO fault_copy SELECT id + " + std::to_string(1 << bit) + ", name FROM fault_copy");
    for (const bool replacing : {false, true})
        for (const auto& [failure, named] :
             std::vector<std::pair<std::string, std::string>> {{"57011,-289,20", "SQL0289N"},
                                                               {"40001,-911,20", "SQL0911N"},
                                                               {"58004,-901,20", "SQL0901N"},
                                                               {"08001,-30081,20", "SQL30081N"}}) {
            SCOPED_TRACE(failure + (replacing ? ", replacing" : ", new"));
            DropDB2(db2, table);
            if (replacing) {
                db2.execute("CREATE TABLE \"fault_copy\"(\"id\" INTEGER, \"kept\" VARCHAR(10))");
                db2.execute("INSERT INTO \"fault_copy\" VALUES(5, 'old')");
            }
            RecordingObserver observer;
            TransferSummary summary;
            {
                ScopedEnv injected("DB2STANDIN_FAIL_INSERT", failure);
                summary = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {table},
                                      observer, TransferOptions());
            }
            const TableResult& copy = summary.tables.at(0);
            EXPECT_EQ(copy.status, TableStatus::Incomplete) << observer.reportsText();
            EXPECT_EQ(copy.reason,
                      std::string("writing stopped part-way, ")
                          + (replacing ? "the old table was not replaced" : "no table was created"));
            EXPECT_NE(observer.reportsText().find(named), std::string::npos) << observer.reportsText();
            if (replacing)
                EXPECT_EQ(QueryRows(db2, "SELECT \"id\", \"kept\" FROM \"fault_copy\""),
                          (std::vector<Row> {{"5", "old"}}));
            else
                EXPECT_THROW(db2.execute("SELECT COUNT(*) FROM \"fault_copy\""), DbError);
        }
}

// The answer to the COMMIT is lost with the connection after the server
// committed, or before it did (DB2STANDIN_LOSE_COMMIT): the tool looks again
// on a new session, reports what the table holds and drops a copy left under
// its staging name.
TEST(LostCommit, TheTargetIsAskedWhatItNowHolds)
{
    RequireTestServers(true, true);
    struct LostCase {
        const char* what;
        ExistingTables mode;
        const char* lose;
        int oldRows;
        TableStatus status;
        std::string finding;  // in the report
        long long rowsOnTarget;
        std::string reason;
        const char* newRowsOnTarget;
    };
    const std::vector<LostCase> cases {
        {"adding rows", ExistingTables::AddRows, "INSERT", 1, TableStatus::Sent,
         "lost_items now holds 4 rows, as the load leaves it: the COMMIT took effect.", 4, "", "3"},
        {"replacing rows", ExistingTables::ReplaceRows, "INSERT", 1, TableStatus::Sent,
         "lost_items now holds 3 rows, as the load leaves it: the COMMIT took effect.", 3, "", "3"},
        {"replacing as many rows", ExistingTables::ReplaceRows, "INSERT", 3, TableStatus::Failed,
         "lost_items now holds 3 rows, as many with the load as without it: outcome unknown.", -1,
         "the connection was lost during COMMIT; lost_items now holds 3 rows, as many with the load as without it: "
         "outcome unknown.",
         "3"},
        {"replacing the table", ExistingTables::ReplaceTable, "RENAME", 1, TableStatus::Sent,
         "The copy took the name lost_items, which now holds 3 rows: the swap took effect.", 3, "", "3"},
        {"replacing the table, lost before the COMMIT", ExistingTables::ReplaceTable, "RENAME BEFORE", 1,
         TableStatus::Failed, ": lost_items was not replaced.", -1,
         "the connection was lost during the swap; the old table was not replaced", "0"},
    };
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    DropMySQL(mysql, "lost_items");
    for (const std::string& leftover : StagingTablesOn(db2, DB2Dialect()))
        DropDB2(db2, leftover);
    mysql.execute("CREATE TABLE lost_items(id INT PRIMARY KEY, name VARCHAR(40))");
    mysql.execute("INSERT INTO lost_items VALUES(1, 'new'), (2, 'new'), (3, 'new')");
    for (const LostCase& lost : cases) {
        SCOPED_TRACE(lost.what);
        DropDB2(db2, "lost_items");
        db2.execute("CREATE TABLE \"lost_items\"(\"id\" INTEGER NOT NULL PRIMARY KEY, \"name\" VARCHAR(40))");
        for (int id = 1; id <= lost.oldRows; ++id)
            db2.execute("INSERT INTO \"lost_items\" VALUES(" + std::to_string(100 + id) + ", 'old')");
        RecordingObserver observer;
        observer.targetList = {"lost_items"};
        TransferOptions options;
        options.existingTables = lost.mode;
        TransferSummary summary;
        {
            ScopedEnv injected("DB2STANDIN_LOSE_COMMIT", lost.lose);
            summary = RunTransfer(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(), {"lost_items"},
                                  observer, options);
        }
        const TableResult& items = summary.tables.at(0);
        EXPECT_EQ(items.status, lost.status) << items.reason << "\n" << observer.reportsText();
        EXPECT_TRUE(summary.connectionLost);
        EXPECT_EQ(items.rowsOnTarget, lost.rowsOnTarget);
        EXPECT_NE(observer.reportsText().find("SQL30081N"), std::string::npos) << observer.reportsText();
        EXPECT_NE(observer.reportsText().find(lost.finding), std::string::npos) << observer.reportsText();
        EXPECT_EQ(items.reason, lost.reason);
        EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"lost_items\" WHERE \"name\" = 'new'"), lost.newRowsOnTarget);
        EXPECT_EQ(StagingTablesOn(db2, DB2Dialect()), std::vector<std::string> {});
    }
}

}  // namespace
