// Loading into a table that exists on the target, both directions, both
// modes: the table and what relies on it stay, its rows change all or nothing.
#include "ExistingTableLoad.h"
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using LoadCase = std::tuple<TransferDirection, ExistingTables>;

class LoadExistingTest : public ::testing::TestWithParam<LoadCase> {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }

    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        for (DataConnection* side : {&mysql, &db2})
            for (const char* statement :
                 {"DROP VIEW items_view", "DROP VIEW \"items_view\"", "DROP VIEW items", "DROP VIEW \"items\""})
                try {
                    side->execute(statement);
                } catch (const DbError&) {
                }
        for (const char* t : {"items_child", "items", "items_base", "items_log"}) {
            DropMySQL(mysql, t);
            DropDB2(db2, t);
        }
    }

    bool toDB2() const { return std::get<0>(GetParam()) == TransferDirection::MySQLToDB2; }
    bool adding() const { return std::get<1>(GetParam()) == ExistingTables::AddRows; }
    DataConnection& source() { return toDB2() ? mysql : db2; }
    DataConnection& target() { return toDB2() ? db2 : mysql; }
    std::string q(const std::string& name, bool onTarget = true) const
    {
        return ((onTarget == toDB2()) ? DB2Dialect() : MySQLDialect()).quoteIdentifier(name);
    }
    std::string targetEngine() const { return toDB2() ? "" : " ENGINE=InnoDB"; }

    // Source items(id, name): 1 'short', 2 thirty characters, 3 'ok'; the
    // target's items holds one old row.
    void makeItems(const std::string& targetColumns, const std::string& oldRow,
                   const std::string& mysqlEngine = "InnoDB")
    {
        source().execute("CREATE TABLE " + q("items", false) + "(" + q("id", false) + " INTEGER, " + q("name", false)
                         + " VARCHAR(40))");
        source().execute("INSERT INTO " + q("items", false) + " VALUES(1, 'short'), (2, '" + std::string(30, 'x')
                         + "'), (3, 'ok')");
        target().execute("CREATE TABLE " + q("items") + "(" + targetColumns + ")"
                         + (toDB2() ? "" : " ENGINE=" + mysqlEngine));
        target().execute("INSERT INTO " + q("items") + " VALUES(" + oldRow + ")");
    }

    TransferSummary run()
    {
        observer.targetList = {"items"};
        TransferOptions options;
        options.existingTables = std::get<1>(GetParam());
        return RunTransfer(std::get<0>(GetParam()), MySQLTestProfile(), DB2TestProfile(), {"items"}, observer, options);
    }

    std::vector<Row> targetRows(const std::string& columns)
    {
        return QueryRows(target(), "SELECT " + columns + " FROM " + q("items") + " ORDER BY 1");
    }

    DataConnection mysql, db2;
    RecordingObserver observer;
};

std::string CaseName(const ::testing::TestParamInfo<LoadCase>& info)
{
    return std::string(std::get<0>(info.param) == TransferDirection::MySQLToDB2 ? "ToDB2" : "ToMySQL")
        + (std::get<1>(info.param) == ExistingTables::AddRows ? "AddRows" : "ReplaceRows");
}

INSTANTIATE_TEST_SUITE_P(BothDirectionsBothModes, LoadExistingTest,
                         ::testing::Combine(::testing::Values(TransferDirection::MySQLToDB2,
                                                              TransferDirection::DB2ToMySQL),
                                            ::testing::Values(ExistingTables::AddRows, ExistingTables::ReplaceRows)),
                         CaseName);

TEST_P(LoadExistingTest, RowsGoIntoTheTargetsOwnColumnsAndATooLongValueCostsItsRow)
{
    // Other order, other types, a column the source lacks (it gets its default).
    makeItems(q("name") + " VARCHAR(20), " + q("extra") + " INTEGER DEFAULT 5, " + q("id") + " INTEGER", "'old', 1, 9");
    const auto summary = run();
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, TransferStep::Insert) << observer.reportsText();
    EXPECT_EQ(observer.loadQuestions,
              std::vector<std::string> {adding() ? "Add 3 rows to the existing table items?"
                                                 : "Replace the 1 row of the existing table items? Its definition, "
                                                   "indexes and permissions are kept."});
    EXPECT_TRUE(observer.dropped.empty());
    ASSERT_EQ(summary.tables.size(), 1u);
    const TableResult& items = summary.tables[0];
    EXPECT_EQ(items.status, TableStatus::Sent) << items.reason;
    EXPECT_EQ(items.rowsWritten, 2);
    EXPECT_EQ(items.rowsRefused, 1);
    EXPECT_EQ(items.rowsOnTarget, adding() ? 3 : 2);
    std::vector<Row> expected {{"1", "short", "5"}, {"3", "ok", "5"}};
    if (adding())
        expected.push_back(Row {"9", "old", "1"});
    EXPECT_EQ(targetRows(q("id") + ", " + q("name") + ", " + q("extra")), expected);
}

// Each refusal comes before any row moves: the old rows stay as they were.
TEST_P(LoadExistingTest, RefusedBeforeAnyRowMoves)
{
    struct Refusal {
        const char* what;
        std::string targetColumns, oldRow, child;  // child: a table whose key references items
        bool replacingOnly;
        std::string message;
        bool myisam = false;                     // the MySQL target only
        const char* onlyOn = nullptr;            // "MySQL" or "DB2": that target only
        const char* sourceColumnAlso = nullptr;  // a further source column, added after makeItems
    };
    const std::string id = q("id"), name = q("name"), key = q("key"), code = q("code");
    const std::vector<Refusal> refusals {
        {"a source column the target lacks", id + " INTEGER", "9", "", false,
         "items has no column name; no row was loaded"},
        {"a NOT NULL target column without a default",
         id + " INTEGER, " + name + " VARCHAR(40), " + key + " INTEGER NOT NULL", "9, 'old', 1", "", false,
         "items needs a value for key (NOT NULL without a default), which the source does not have; no row was "
         "loaded"},
        {"a reference that cascades", id + " INTEGER NOT NULL PRIMARY KEY, " + name + " VARCHAR(40)", "9, 'old'",
         "ON DELETE CASCADE", true, "would change the rows of other tables through foreign key "},
        {"a reference that sets NULL", id + " INTEGER NOT NULL PRIMARY KEY, " + name + " VARCHAR(40)", "9, 'old'",
         "ON DELETE SET NULL", true, "would change the rows of other tables through foreign key "},
        {"a MyISAM table", id + " INTEGER, " + name + " VARCHAR(40)", "9, 'old'", "", false,
         "items: its storage engine MyISAM cannot roll back, so its rows cannot be loaded all or nothing", true},
        // Columns the target computes: strict MySQL refuses every row, a
        // server without strict mode stores its own value instead.
        {"a VIRTUAL generated column",
         id + " INTEGER, " + code + " VARCHAR(40), " + name + " VARCHAR(40) AS (UPPER(" + code + ")) VIRTUAL",
         "9, 'old', DEFAULT", "", false,
         "items computes name (a VIRTUAL generated column) itself and takes no value for it; no row was loaded", false,
         "MySQL"},
        {"STORED and VIRTUAL generated columns",
         id + " INTEGER AS (LENGTH(" + code + ")) STORED, " + code + " VARCHAR(40), " + name + " VARCHAR(40) AS (UPPER("
             + code + ")) VIRTUAL",
         "DEFAULT, 'old', DEFAULT", "", false,
         "items computes id (a STORED generated column), name (a VIRTUAL generated column) itself and takes no value "
         "for them; no row was loaded",
         false, "MySQL"},
        // DB2 refuses every row of these (SQL0798N).
        {"a GENERATED ALWAYS identity", id + " INTEGER GENERATED ALWAYS AS IDENTITY, " + name + " VARCHAR(40)",
         "DEFAULT, 'old'", "", false,
         "items computes id (GENERATED ALWAYS AS IDENTITY) itself and takes no value for it; no row was loaded", false,
         "DB2"},
        {"a row change timestamp and an expression",
         id + " TIMESTAMP NOT NULL GENERATED ALWAYS FOR EACH ROW ON UPDATE AS ROW CHANGE TIMESTAMP, " + code
             + " VARCHAR(40), " + name + " VARCHAR(40) GENERATED ALWAYS AS (UPPER(" + code + "))",
         "DEFAULT, 'old', DEFAULT", "", false,
         "items computes id (a row change timestamp, GENERATED ALWAYS), name (GENERATED ALWAYS AS (expression)) "
         "itself and takes no value for them; no row was loaded",
         false, "DB2"},
        // DB2 tells "NAME" from "name"; MySQL's column names ignore case.
        {"a target column named in other case", id + " INTEGER, " + q("NAME") + " VARCHAR(40)", "9, 'old'", "", false,
         "items has no column name; no row was loaded", false, "DB2"},
        // DB2 tells "NAME" from "name"; MySQL's `name` would take both.
        {"two source columns named alike but for case", id + " INTEGER, " + name + " VARCHAR(40)", "9, 'old'", "",
         false, "the source columns name and NAME both match name of items", false, "MySQL", "NAME"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        if ((refusal.replacingOnly && adding()) || (refusal.myisam && toDB2())
            || (refusal.onlyOn && (std::string(refusal.onlyOn) == "DB2") != toDB2()))
            continue;
        SetUp();
        observer = RecordingObserver();
        makeItems(refusal.targetColumns, refusal.oldRow, refusal.myisam ? "MyISAM" : "InnoDB");
        if (refusal.sourceColumnAlso)
            source().execute("ALTER TABLE " + q("items", false) + " ADD COLUMN " + q(refusal.sourceColumnAlso, false)
                             + " VARCHAR(40)");
        if (!refusal.child.empty()) {
            target().execute("CREATE TABLE " + q("items_child") + "(" + q("item") + " INTEGER, CONSTRAINT "
                             + q("fk_items") + " FOREIGN KEY(" + q("item") + ") REFERENCES " + q("items") + "(" + id
                             + ") " + refusal.child + ")" + targetEngine());
            target().execute("INSERT INTO " + q("items_child") + " VALUES(9)");
        }
        const std::vector<Row> before = targetRows("*");
        const auto summary = run();
        ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
        EXPECT_NE(observer.reports[0].description.find(refusal.message), std::string::npos)
            << observer.reports[0].description;
        EXPECT_EQ(summary.tables[0].status, TableStatus::Failed);
        EXPECT_EQ(summary.tables[0].rowsWritten, 0);
        EXPECT_EQ(targetRows("*"), before);
        if (!refusal.child.empty())
            EXPECT_EQ(QueryValue(target(), "SELECT COUNT(*) FROM " + q("items_child") + " WHERE " + q("item") + " = 9"),
                      "1");
    }
}

// A parent table: the child's foreign key and the view stay; a row that
// breaks the key is refused alone.
TEST_P(LoadExistingTest, ParentKeepsTheChildsForeignKeyAndItsView)
{
    const std::string id = q("id");
    makeItems(id + " INTEGER NOT NULL PRIMARY KEY, " + q("name") + " VARCHAR(40)", "1, 'old'");
    target().execute("CREATE TABLE " + q("items_child") + "(" + q("item") + " INTEGER, CONSTRAINT " + q("fk_items")
                     + " FOREIGN KEY(" + q("item") + ") REFERENCES " + q("items") + "(" + id + "))" + targetEngine());
    target().execute("CREATE VIEW " + q("items_view") + " AS SELECT " + id + " FROM " + q("items"));
    const auto summary = run();
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Sent) << observer.reportsText();
    EXPECT_EQ(summary.tables[0].rowsRefused, adding() ? 1 : 0);  // adding: id 1 is there already
    EXPECT_EQ(observer.reports.size(), adding() ? 1u : 0u) << observer.reportsText();
    EXPECT_EQ(targetRows(id + ", " + q("name")),
              (std::vector<Row> {{"1", adding() ? "old" : "short"}, {"2", std::string(30, 'x')}, {"3", "ok"}}));
    EXPECT_EQ(QueryValue(target(), "SELECT COUNT(*) FROM " + q("items_view")), "3");
    target().execute("INSERT INTO " + q("items_child") + " VALUES(3)");
    EXPECT_THROW(target().execute("INSERT INTO " + q("items_child") + " VALUES(99)"), DbError);
}

// The source's ids go into the target's own id column. MySQL's AUTO_INCREMENT
// moves past them by itself; DB2's GENERATED BY DEFAULT identity stays where
// it was, so the summary says so with the statement that moves it on.
TEST_P(LoadExistingTest, AnIdentityLeftBehindTheLoadedValuesIsNamedWithItsRestart)
{
    const std::string id = q("id"), name = q("name");
    makeItems(toDB2() ? id + " INTEGER NOT NULL GENERATED BY DEFAULT AS IDENTITY, " + name + " VARCHAR(40)"
                      : id + " INTEGER NOT NULL AUTO_INCREMENT, " + name + " VARCHAR(40), KEY(" + id + ")",
              "DEFAULT, 'old'");  // the old row takes id 1
    const auto summary = run();
    ASSERT_EQ(summary.tables[0].status, TableStatus::Sent) << observer.reportsText();
    const std::vector<std::string>& notes = summary.tables[0].notes;
    if (toDB2()) {
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0],
                  "items.id: its identity (GENERATED BY DEFAULT) may next hand out 2, but the table now holds values "
                  "up to 3; rows added without a value for it would repeat them. Restart it: ALTER TABLE \"items\" "
                  "ALTER COLUMN \"id\" RESTART WITH 4");
        target().execute(notes[0].substr(notes[0].find("ALTER TABLE")));
    } else {
        EXPECT_EQ(notes, std::vector<std::string> {});
    }
    target().execute("INSERT INTO " + q("items") + "(" + name + ") VALUES('new')");
    EXPECT_EQ(QueryValue(target(), "SELECT " + id + " FROM " + q("items") + " WHERE " + name + " = 'new'"), "4");
}

TEST_P(LoadExistingTest, CancelPartWayLeavesTheOldRowsWhole)
{
    makeItems(q("id") + " INTEGER, " + q("name") + " VARCHAR(40)", "9, 'old'");
    source().execute("INSERT INTO " + q("items", false) + " SELECT " + q("id", false) + " + 10, " + q("name", false)
                     + " FROM " + q("items", false));
    for (int i = 0; i < 9; ++i)  // 3 * 2^9 = 1,536 rows: batches of 15
        source().execute("INSERT INTO " + q("items", false) + " SELECT " + q("id", false) + " + 100 * "
                         + std::to_string(i + 1) + ", " + q("name", false) + " FROM " + q("items", false));
    observer.cancelAfterProgressCalls = 3;
    const auto summary = run();
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Incomplete);
    EXPECT_EQ(summary.tables[0].reason, adding() ? "cancelled, no row was added" : "cancelled, the old rows were kept");
    EXPECT_EQ(targetRows("*"), (std::vector<Row> {{"9", "old"}}));
}

}  // namespace

// A view has no rows of its own: what is written through it lands in the
// tables it reads, which neither the rollback check nor the count can see
// through it (a MyISAM table under a MySQL view kept 300 rows of a load
// reported as rolled back). Refused before anything is written, on DB2 too,
// where a view is not among the tables listed.
TEST_P(LoadExistingTest, ViewIsRefusedBeforeAnyRowMoves)
{
    makeItems(q("id") + " INTEGER, " + q("name") + " VARCHAR(40)", "9, 'old'", "MyISAM");
    target().execute("RENAME TABLE " + q("items") + " TO " + q("items_base"));
    target().execute("CREATE VIEW " + q("items") + " AS SELECT " + q("id") + ", " + q("name") + " FROM "
                     + q("items_base"));
    const auto summary = run();
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_NE(observer.reports[0].description.find("items is a view on " + std::string(toDB2() ? "IBM DB2" : "MySQL")
                                                   + ", not a table"),
              std::string::npos)
        << observer.reportsText();
    ASSERT_EQ(summary.tables.size(), 1u);
    EXPECT_EQ(summary.tables[0].status, TableStatus::Failed);
    EXPECT_EQ(summary.tables[0].rowsWritten, 0);
    EXPECT_EQ(QueryRows(target(), "SELECT * FROM " + q("items_base")), (std::vector<Row> {{"9", "old"}}));
    EXPECT_EQ(StagingTablesOn(target(), toDB2() ? DB2Dialect() : MySQLDialect()), std::vector<std::string> {});
}

// Replacing rows runs the target's DELETE and INSERT triggers for every
// row: refused, naming them, before anything is deleted. Adding rows runs
// the INSERT triggers, as any insert into the table does; a row a trigger
// refuses (SIGNAL) costs that row alone.
TEST_P(LoadExistingTest, ReplacingRowsIsRefusedWhereTriggersWouldFire)
{
    struct TriggerCase {
        const char* event;
        const char* timing;
        bool refusesRow2;  // else it logs every row
    };
    for (const TriggerCase& c : {TriggerCase {"DELETE", "AFTER", false}, TriggerCase {"INSERT", "BEFORE", false},
                                 TriggerCase {"INSERT", "BEFORE", true}}) {
        SCOPED_TRACE(c.event);
        SetUp();
        observer = RecordingObserver();
        makeItems(q("id") + " INTEGER, " + q("name") + " VARCHAR(40)", "9, 'old'");
        target().execute("CREATE TABLE " + q("items_log") + "(" + q("id") + " INTEGER)" + targetEngine());
        const bool deleting = std::string(c.event) == "DELETE";
        const std::string row = toDB2() ? "r." : (deleting ? "OLD." : "NEW.");
        const std::string action = !c.refusesRow2 ? "INSERT INTO " + q("items_log") + " VALUES (" + row + q("id") + ")"
            : toDB2() ? "WHEN (r.\"id\" = 2) SIGNAL SQLSTATE '75001' SET MESSAGE_TEXT = 'no 2'"
                      : "IF NEW.id = 2 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no 2'; END IF";
        target().execute("CREATE TRIGGER " + q("items_audit") + " " + c.timing + " " + c.event + " ON " + q("items")
                         + (toDB2() ? (deleting ? " REFERENCING OLD AS r" : " REFERENCING NEW AS r") : "")
                         + " FOR EACH ROW " + action);
        const auto summary = run();
        ASSERT_EQ(summary.tables.size(), 1u);
        if (adding()) {
            EXPECT_EQ(summary.tables[0].status, TableStatus::Sent) << observer.reportsText();
            if (c.refusesRow2) {
                EXPECT_EQ(summary.tables[0].rowsRefused, 1);
                EXPECT_EQ(targetRows(q("id")), (std::vector<Row> {{"1"}, {"3"}, {"9"}}));
                EXPECT_NE(observer.reportsText().find("no 2"), std::string::npos) << observer.reportsText();
            } else {
                EXPECT_EQ(QueryValue(target(), "SELECT COUNT(*) FROM " + q("items_log")), deleting ? "0" : "3");
            }
            continue;
        }
        ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
        EXPECT_EQ(observer.reports[0].description,
                  "Replacing the rows of items would fire trigger items_audit (" + std::string(c.timing) + " "
                      + c.event + ") for each row deleted or inserted; nothing was deleted. Remove those first.");
        EXPECT_EQ(summary.tables[0].status, TableStatus::Failed);
        EXPECT_EQ(targetRows("*"), (std::vector<Row> {{"9", "old"}}));
        EXPECT_EQ(QueryValue(target(), "SELECT COUNT(*) FROM " + q("items_log")), "0");
    }
}

// The source table went away after the list was read: a read failure, the old rows untouched.
TEST_P(LoadExistingTest, SourceGoneIsAReadFailure)
{
    makeItems(q("id") + " INTEGER, " + q("name") + " VARCHAR(40)", "9, 'old'");
    source().execute("DROP TABLE " + q("items", false));
    const auto summary = run();
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(observer.reports[0].step, TransferStep::OpenSource) << observer.reportsText();
    EXPECT_EQ(summary.tables[0].status, TableStatus::Failed);
    EXPECT_EQ(targetRows("*"), (std::vector<Row> {{"9", "old"}}));
}

// A table the target's transaction log cannot hold is rolled back whole and
// the report says what to change. The stand-in's log holds as many changed
// rows as DB2STANDIN_LOG_ROWS says; MySQL's limit (max_binlog_cache_size)
// needs a binary log, which the test server does not keep.
class LoadLogFullTest : public LoadExistingTest {
protected:
    void TearDown() override { unsetenv("DB2STANDIN_LOG_ROWS"); }
};

TEST_P(LoadLogFullTest, TableTheLogCannotHoldIsRolledBackWithAdvice)
{
    makeItems(q("id") + " INTEGER, " + q("name") + " VARCHAR(40)", "9, 'old'");
    setenv("DB2STANDIN_LOG_ROWS", "2", 1);  // read when the run connects
    const auto summary = run();
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_NE(observer.reports[0].description.find("SQL0964C"), std::string::npos) << observer.reportsText();
    EXPECT_NE(observer.reports[0].description.find("Raise LOGSECOND"), std::string::npos) << observer.reportsText();
    EXPECT_EQ(summary.tables[0].status, TableStatus::Incomplete);  // writing stopped part-way
    EXPECT_EQ(summary.tables[0].reason,
              adding() ? "writing stopped part-way, no row was added"
                       : "writing stopped part-way, the old rows were kept");
    EXPECT_EQ(summary.tables[0].rowsWritten, 0);
    EXPECT_EQ(targetRows("*"), (std::vector<Row> {{"9", "old"}}));
}

INSTANTIATE_TEST_SUITE_P(ToDB2BothModes, LoadLogFullTest,
                         ::testing::Combine(::testing::Values(TransferDirection::MySQLToDB2),
                                            ::testing::Values(ExistingTables::AddRows, ExistingTables::ReplaceRows)),
                         CaseName);

// Values an existing column would change without a word are refused with
// their rows, before they are sent; with rounding allowed, a value the column
// would only round goes in rounded and is counted. Each case: the source
// column, the target column, a value that fits and one that would change.
class LoadChangedValuesTest : public LoadExistingTest {
protected:
    struct ChangeCase {
        const char* what;
        const char* sourceOnMySQL;  // nullptr: no such case in this direction
        const char* sourceOnDB2;
        const char* target;  // the type of the target's column, on either side
        const char* fits;    // as SQL literals
        const char* changes;
        const char* sent;  // the value that would change, as the copy sends it
        bool rounding;     // allowing rounding lets it in
        const char* why;
    };

    // Source items(id, v) holds (1, fits) and (2, changes); the target's items(id, v) is empty.
    void makeChangeCase(const ChangeCase& c)
    {
        SetUp();
        observer = RecordingObserver();
        source().execute("CREATE TABLE " + q("items", false) + "(" + q("id", false) + " INTEGER, " + q("v", false) + " "
                         + (toDB2() ? c.sourceOnMySQL : c.sourceOnDB2) + ")");
        source().execute("INSERT INTO " + q("items", false) + " VALUES(1, " + c.fits + "), (2, " + c.changes + ")");
        target().execute("CREATE TABLE " + q("items") + "(" + q("id") + " INTEGER, " + q("v") + " " + c.target + ")"
                         + targetEngine());
    }

    // The changing row is refused, told with its column and value; allowing
    // rounding lets it in where the column would only round it.
    void refusedThenAllowedRounded(const ChangeCase& c)
    {
        makeChangeCase(c);
        auto summary = runAllowingRounding(false);
        ASSERT_EQ(summary.tables[0].status, TableStatus::Sent) << observer.reportsText();
        EXPECT_EQ(summary.tables[0].rowsWritten, 1);
        EXPECT_EQ(summary.tables[0].rowsRefused, 1);
        EXPECT_EQ(targetRows(q("id")), std::vector<Row> {{"1"}});
        ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
        const std::string& why = observer.reports[0].description;
        EXPECT_NE(why.find("items.v: "), std::string::npos) << why;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_NE(why.find(c.sent), std::string::npos) << why;
        EXPECT_NE(observer.reports[0].sql.find(c.sent), std::string::npos) << observer.reports[0].sql;

        makeChangeCase(c);
        summary = runAllowingRounding(true);
        EXPECT_EQ(summary.tables[0].rowsWritten, c.rounding ? 2 : 1) << observer.reportsText();
        EXPECT_EQ(summary.tables[0].valuesRounded,
                  (c.rounding ? std::map<std::string, long long> {{"v", 1}} : std::map<std::string, long long> {}));
        EXPECT_EQ(targetRows(q("id")).size(), c.rounding ? 2u : 1u);
    }

    TransferSummary runAllowingRounding(bool allowed)
    {
        observer.targetList = {"items"};
        TransferOptions options;
        options.existingTables = ExistingTables::AddRows;
        options.allowRounding = allowed;
        return RunTransfer(std::get<0>(GetParam()), MySQLTestProfile(), DB2TestProfile(), {"items"}, observer, options);
    }
};

TEST_P(LoadChangedValuesTest, ValuesTheColumnWouldChangeCostTheirRows)
{
    const std::vector<ChangeCase> cases {
        {"DATETIME(6) cut by DATETIME", "DATETIME(6)", "TIMESTAMP(6)", toDB2() ? "TIMESTAMP(0)" : "DATETIME",
         "'2024-01-31 10:00:00'", "'2024-01-31 10:00:00.123456'", "2024-01-31 10:00:00.123456", true,
         "would cut the fraction of a second"},
        // DB2 takes no fraction in a TIME text: it refuses every MySQL TIME(6) value.
        {"TIME fraction cut by TIME", nullptr, "VARCHAR(20)", "TIME", "'10:11:12'", "'10:11:12.500000'",
         "10:11:12.500000", true, "would cut the fraction of a second"},
        {"SMALLINT 69 into YEAR, stored as 2069", nullptr, "SMALLINT", "YEAR", "2024", "69", "69", false,
         "YEAR(4) cannot hold 69"},
        {"the text '1e2' into INT, stored as 100", "VARCHAR(20)", "VARCHAR(20)", "INTEGER", "'100'", "'1e2'", "1e2",
         false, "would read the text '1e2' as a value it writes otherwise"},
        {"DOUBLE 1e-50 into FLOAT, stored as 0", "DOUBLE", "DOUBLE", toDB2() ? "REAL" : "FLOAT", "0.5", "1e-50",
         "1e-50", false, "cannot hold 1e-50"},
        {"DECIMAL(30,10) rounded by DOUBLE", "DECIMAL(30,10)", "DECIMAL(30,10)", "DOUBLE", "0.1",
         "12345678901234567890.123456789", "12345678901234567890.1234567890", true, "would round"},
        {"DECIMAL(30,10) rounded by REAL", "DECIMAL(30,10)", "DECIMAL(30,10)", toDB2() ? "REAL" : "FLOAT", "0.5", "0.1",
         "0.1000000000", true, "would round"},
        {"BIGINT beyond 2^53 rounded by DOUBLE", "BIGINT", "BIGINT", "DOUBLE", "9007199254740992", "9007199254740993",
         "9007199254740993", true, "would round"},
        {"BIGINT beyond 2^24 rounded by REAL", "BIGINT", "BIGINT", toDB2() ? "REAL" : "FLOAT", "16777216", "16777217",
         "16777217", true, "would round"},
    };
    for (const ChangeCase& c : cases)
        if (toDB2() ? c.sourceOnMySQL : c.sourceOnDB2) {
            SCOPED_TRACE(c.what);
            refusedThenAllowedRounded(c);
        }
}

INSTANTIATE_TEST_SUITE_P(BothDirections, LoadChangedValuesTest,
                         ::testing::Combine(::testing::Values(TransferDirection::MySQLToDB2,
                                                              TransferDirection::DB2ToMySQL),
                                            ::testing::Values(ExistingTables::AddRows)),
                         CaseName);
