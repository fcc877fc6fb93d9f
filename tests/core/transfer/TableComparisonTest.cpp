// Comparing a table with its copy: the self-check's values sent each way
// verify equal, keyed and keyless; after the copy is altered, exactly the
// altered rows and columns are named.
#include "RecordingObserver.h"
#include "SelfCheckCorpus.h"
#include "ServerHelpers.h"
#include "TableComparison.h"
#include "Transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

namespace {

// Compares and collects what was found as "row column" (a value),
// "row <source" or "row >target" (a row on one side only).
std::set<std::string> differencesOf(const TableComparison& table)
{
    std::set<std::string> found;
    for (const RowDifference& difference : table.differences)
        found.insert(difference.row
                     + (difference.kind == RowDifference::Kind::ValueDiffers   ? " " + difference.column
                            : difference.kind == RowDifference::Kind::OnlyOnSource ? " <source"
                                                                                   : " >target"));
    return found;
}

ComparisonSummary compare(TransferDirection direction, const std::string& table, const TransferOptions& options,
                          size_t rowsPerPass = kComparedRowsPerPass)
{
    ComparisonObserver observer;
    return CompareTables(direction, MySQLTestProfile(), DB2TestProfile(), {table}, observer, options, rowsPerPass);
}

void send(TransferDirection direction, const std::string& table, const TransferOptions& options)
{
    RecordingObserver observer;
    const TransferSummary summary
        = RunTransfer(direction, MySQLTestProfile(), DB2TestProfile(), {table}, observer, options);
    ASSERT_TRUE(summary.allSent()) << (observer.reports.empty() ? "" : observer.reports[0].description);
}

// Rows 4 to 6 beside the corpus's three: what the alterations work on.
struct ExtraRow {
    const char* id;
    const char* decimal;
    const char* text;
    const char* timestamp;
    const char* bytes;
};

// keyed: the source has a primary key; typed: DB2 holds typed columns
// (matching types), else text where the copy makes text.
using Case = std::tuple<TransferDirection, bool, bool>;

class VerifyCopy : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        RequireTestServers(true, true);
        OpenMySQL(mysql_);
        OpenDB2(db2_);
        DropMySQL(mysql_, kTable);
        DropDB2(db2_, kTable);
    }
    void TearDown() override
    {
        DropMySQL(mysql_, kTable);
        DropDB2(db2_, kTable);
    }

    bool toDB2() const { return std::get<0>(GetParam()) == TransferDirection::MySQLToDB2; }

    // The source table: the self-check's corpus of its side, a TIMESTAMP column and rows 4 to 6.
    void createSource()
    {
        const bool keyed = std::get<1>(GetParam());
        const auto columns = toDB2() ? MySQLCorpusColumns() : DB2CorpusColumns();
        const char* q = toDB2() ? "`" : "\"";
        const auto name = [&](const std::string& column) { return q + column + q; };
        std::string create = "CREATE TABLE " + name(kTable) + "(" + name(id_) + (toDB2() ? " INT" : " INTEGER")
            + (keyed ? " NOT NULL PRIMARY KEY" : "");
        for (const CorpusColumn& column : columns)
            create += ", " + name(column.name) + " " + column.type;
        create += ", " + name(ts_) + " TIMESTAMP(6) NULL";
        if (!toDB2())
            create.erase(create.size() - 5);  // DB2 columns are nullable unless said otherwise
        exec(create + ")" + (toDB2() ? " CHARACTER SET utf8mb4" : ""));
        const char* stamps[] = {"'2026-03-29 01:30:00.123456'", "'2038-01-19 03:14:07.999999'", "NULL"};
        for (size_t row = 1; row <= 3; ++row) {
            std::string insert = "INSERT INTO " + name(kTable) + " VALUES(" + std::to_string(row);
            for (const CorpusColumn& column : columns)
                insert += ", " + (row <= column.literals.size() ? column.literals[row - 1] : std::string("NULL"));
            exec(insert + ", " + stamps[row - 1] + ")");
        }
        const ExtraRow extra[] = {
            {"4", "1.50", "'x'", "'2026-10-25 01:30:00'", toDB2() ? "X'000102'" : "BX'000102'"},
            {"5", "NULL", "'y'", "NULL", "NULL"},
            {"6", "-2", "'z'", "'2026-10-25 02:30:00.5'", toDB2() ? "X'FF'" : "BX'FF'"},
        };
        for (const ExtraRow& row : extra)
            exec("INSERT INTO " + name(kTable) + "(" + name(id_) + ", " + name(decimal_) + ", " + name(text_) + ", "
                 + name(ts_) + ", " + name(bytes_) + ") VALUES(" + row.id + ", " + row.decimal + ", " + row.text
                 + ", " + row.timestamp + ", " + row.bytes + ")");
    }

    TransferOptions options() const
    {
        TransferOptions options;
        options.copyPrimaryKeys = std::get<1>(GetParam());
        if (std::get<2>(GetParam()))
            options.columnTypes = Db2ColumnTypes::Matching;
        return options;
    }

    void exec(const std::string& sql) { (toDB2() ? mysql_ : db2_).execute(sql); }
    void execOnTarget(const std::string& sql) { (toDB2() ? db2_ : mysql_).execute(sql); }
    std::string onTarget(const std::string& column) const
    {
        return toDB2() ? "\"" + column + "\"" : "`" + column + "`";
    }

    static constexpr const char* kTable = "vt_corpus";
    DataConnection mysql_, db2_;
    // The columns altered, by their names on the source side.
    std::string id_ = toDB2() ? "id" : "ID", decimal_ = toDB2() ? "de" : "DE", text_ = toDB2() ? "vc" : "VC",
                ts_ = toDB2() ? "ts" : "TS6", bytes_ = toDB2() ? "bl" : "BL";
};

TEST_P(VerifyCopy, UntouchedCopyIsEqualAndEachAlterationIsNamed)
{
    const TransferDirection direction = std::get<0>(GetParam());
    const bool keyed = std::get<1>(GetParam());
    createSource();
    send(direction, kTable, options());
    if (HasFatalFailure())
        return;

    const ComparisonSummary untouched = compare(direction, kTable, options());
    ASSERT_EQ(untouched.tables.size(), 1u);
    const TableComparison& equal = untouched.tables[0];
    EXPECT_EQ(equal.status, ComparisonStatus::Equal) << equal.reason << " " << ::testing::PrintToString(differencesOf(equal));
    EXPECT_EQ(equal.sourceRows, 6);
    EXPECT_EQ(equal.targetRows, 6);
    EXPECT_EQ(equal.key.empty(), !keyed);

    // The alterations, each on the target's copy.
    const std::string table = onTarget(kTable);
    // DB2 keeps MySQL's numbers as their text (LONG VARCHAR) unless the types match.
    const bool decimalAsText = toDB2() && !std::get<2>(GetParam());
    const auto where = [&](int id) {
        return " WHERE " + (decimalAsText ? "CAST(" + onTarget(id_) + " AS VARCHAR(20)) = '" : onTarget(id_) + " = ")
            + std::to_string(id) + (decimalAsText ? "'" : "");
    };
    execOnTarget("UPDATE " + table + " SET " + onTarget(decimal_) + " = "
                 + (decimalAsText ? "'999999999999999999999.9999999899'" : onTarget(decimal_) + " - 0.01") + where(1));
    execOnTarget("UPDATE " + table + " SET " + onTarget(text_) + " = NULL" + where(2));
    execOnTarget("UPDATE " + table + " SET " + onTarget(text_) + " = 'x '" + where(4));
    execOnTarget("UPDATE " + table + " SET " + onTarget(bytes_) + " = " + (toDB2() ? "BX'000103'" : "X'000103'")
                 + where(4));
    execOnTarget("DELETE FROM " + table + where(5));
    execOnTarget("UPDATE " + table + " SET " + onTarget(ts_) + " = '2026-10-25 03:30:00.5'" + where(6));
    execOnTarget("INSERT INTO " + table + "(" + onTarget(id_) + ", " + onTarget(decimal_) + ", " + onTarget(text_)
                 + ", " + onTarget(ts_) + ", " + onTarget(bytes_) + ") VALUES('7', '7', 'seven', '2020-01-01 00:00:00', "
                 + (toDB2() ? "BX'07'" : "X'07'") + ")");

    // Each pass holding the hashes of two rows per side: the same findings from several passes.
    const auto rowsPerPass = GetParam() == Case {TransferDirection::MySQLToDB2, true, false} ? 2 : kComparedRowsPerPass;
    const ComparisonSummary altered = compare(direction, kTable, options(), rowsPerPass);
    const TableComparison& different = altered.tables.at(0);
    EXPECT_EQ(different.status, ComparisonStatus::Different) << different.reason;
    EXPECT_FALSE(altered.allEqual());
    EXPECT_EQ(different.sourceRows, 6);
    EXPECT_EQ(different.targetRows, 6);
    const std::string id = id_ + "=";
    const std::set<std::string> expected = {
        id + "1 " + decimal_, id + "2 " + text_, id + "4 " + text_, id + "4 " + bytes_,
        id + "5 <source",     id + "6 " + ts_,   id + "7 >target",
    };
    EXPECT_EQ(differencesOf(different), expected);
    EXPECT_EQ(different.rowsDiffering, 4);
    EXPECT_EQ(different.rowsOnlyOnSource, 1);
    EXPECT_EQ(different.rowsOnlyOnTarget, 1);
    // Both values are shown: the '' made NULL is not taken for ''.
    const auto madeNull = std::find_if(different.differences.begin(), different.differences.end(),
                                       [&](const RowDifference& d) { return d.row == id + "2"; });
    ASSERT_NE(madeNull, different.differences.end());
    EXPECT_EQ(madeNull->sourceValue, std::optional<std::string>(""));
    EXPECT_EQ(madeNull->targetValue, std::nullopt);
}

// Without a key, a row's copies count: one more on the target is one row only there;
// text that sorts differently on the two servers is matched all the same.
TEST(VerifyKeyless, RowsCountAsAMultiset)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    DropMySQL(mysql, "vt_bag");
    DropDB2(db2, "vt_bag");
    mysql.execute("CREATE TABLE vt_bag(name VARCHAR(20), n INT) CHARACTER SET utf8mb4");
    mysql.execute("INSERT INTO vt_bag VALUES ('a', 1), ('a', 1), ('B', 2), ('b', 2), ('b ', 2), ('é', 3), (NULL, 4), ('', 4)");
    send(TransferDirection::MySQLToDB2, "vt_bag", {});
    const TableComparison equal = compare(TransferDirection::MySQLToDB2, "vt_bag", {}).tables.at(0);
    EXPECT_EQ(equal.status, ComparisonStatus::Equal) << ::testing::PrintToString(differencesOf(equal));
    EXPECT_TRUE(equal.key.empty());

    db2.execute("INSERT INTO \"vt_bag\" VALUES ('a', '1')");
    const TableComparison extra = compare(TransferDirection::MySQLToDB2, "vt_bag", {}).tables.at(0);
    EXPECT_EQ(extra.status, ComparisonStatus::Different);
    EXPECT_EQ(extra.rowsOnlyOnTarget, 1);
    EXPECT_EQ(extra.rowsOnlyOnSource, 0);
    EXPECT_EQ(differencesOf(extra), std::set<std::string>({"name=a >target"}));
    DropMySQL(mysql, "vt_bag");
    DropDB2(db2, "vt_bag");
}

// "(1, v(1)), (2, v(2)), ..." for rows 1 to n.
std::string rowsOf(int n, const std::function<std::string(int)>& value)
{
    std::string rows;
    for (int i = 1; i <= n; ++i)
        rows += (i > 1 ? ", (" : "(") + std::to_string(i) + ", " + value(i) + ")";
    return rows;
}

// Both sides made by hand, never by the copy, then compared: what verify
// finds whatever the copy's readers do.
struct ExactCase {
    const char* what;
    TransferDirection direction;
    std::string sourceColumns, sourceRows;  // "(...)" of CREATE TABLE and of INSERT ... VALUES
    std::string targetColumns, targetRows;
    long long differing = 0, onlyOnSource = 0, onlyOnTarget = 0;
};

std::vector<ExactCase> exactCases()
{
    const auto quarter = [](int i) { return std::to_string(i / 4.0); };
    // Every second row from row 198 read as 0: what a FLOAT bound at the wrong stride gave.
    const auto misread = [&](int i) { return i >= 198 && i % 2 == 0 ? std::string("0") : quarter(i); };
    const auto named = [](int i) { return "'r" + std::to_string(i) + "'"; };
    return {
        {"FLOAT of a keyed table past the first keyset page, and one of 7 digits", TransferDirection::MySQLToDB2,
         "(id INT PRIMARY KEY, price FLOAT)", rowsOf(250, quarter) + ", (251, 1.2345678)",
         "(\"id\" INTEGER NOT NULL PRIMARY KEY, \"price\" REAL)", rowsOf(250, quarter) + ", (251, 1.2345678)"},
        {"FLOAT values written wrong on the target", TransferDirection::MySQLToDB2, "(id INT PRIMARY KEY, price FLOAT)",
         rowsOf(250, quarter), "(\"id\" INTEGER NOT NULL PRIMARY KEY, \"price\" REAL)", rowsOf(250, misread), 27},
        {"FLOAT 16777216 against a DOUBLE edited to 16777216.5", TransferDirection::MySQLToDB2,
         "(id INT PRIMARY KEY, f FLOAT)", "(1, 16777216), (2, 1.2345678), (3, 0.1)",
         "(\"id\" INTEGER NOT NULL PRIMARY KEY, \"f\" DOUBLE)", "(1, 16777216.5), (2, 1.2345678), (3, 0.1)", 1},
        {"REAL 16777216 against a DOUBLE edited to 16777216.5", TransferDirection::DB2ToMySQL,
         "(\"ID\" INTEGER NOT NULL PRIMARY KEY, \"R\" REAL)", "(1, 16777216), (2, 0.1)",
         "(ID INT PRIMARY KEY, R DOUBLE)", "(1, 16777216.5), (2, 0.1)", 1},
        {"DECIMAL and BIGINT rounded by a DOUBLE", TransferDirection::MySQLToDB2,
         "(id INT PRIMARY KEY, de DECIMAL(30,10), bi BIGINT)",
         "(1, 12345678901234567890.1234567890, 1), (2, 0.10, 9007199254740993), (3, 0.10, 9007199254740992)",
         "(\"id\" INTEGER NOT NULL PRIMARY KEY, \"de\" DOUBLE, \"bi\" DOUBLE)",
         "(1, 12345678901234567890.1234567890, 1), (2, 0.1, 9007199254740993), (3, 0.1, 9007199254740992)", 2},
        {"TIME past a day, fractions, a zero date, BIT(1), text in a Latin-1 column", TransferDirection::MySQLToDB2,
         "(id INT PRIMARY KEY, t TIME(6), dt DATETIME(6), d DATE, b BIT(1), l VARCHAR(10) CHARACTER SET latin1)",
         "(1, '838:59:59.5', '2024-02-29 23:59:58.000001', '0000-00-00', 1, 'Zoë'),"
         " (2, '-01:00:00', '1000-01-01 00:00:00', '2024-01-02', 0, '')",
         "(\"id\" INTEGER NOT NULL PRIMARY KEY, \"t\" VARCHAR(20), \"dt\" TIMESTAMP(6), \"d\" DATE, \"b\" SMALLINT,"
         " \"l\" VARCHAR(10))",
         "(1, '838:59:59.500000', '2024-02-29 23:59:58.000001', NULL, 1, 'Zoë'),"
         " (2, '-01:00:00.000000', '1000-01-01 00:00:00', '2024-01-02', 0, '')",
         1},  // the zero date the copy stores as NULL, a known change
        {"rows without a key that differ in one column, past the first 20", TransferDirection::MySQLToDB2,
         "(n INT, name VARCHAR(20))", rowsOf(30, named) + ", (1000, 'x')", "(\"n\" INTEGER, \"name\" VARCHAR(20))",
         rowsOf(30, [](int i) { return "'r" + std::to_string(i + 100) + "'"; }) + ", (2000, 'y')", 30, 1, 1},
    };
}

TEST(VerifyExact, EachSideAsStored)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    for (const ExactCase& c : exactCases()) {
        SCOPED_TRACE(c.what);
        const bool toDB2 = c.direction == TransferDirection::MySQLToDB2;
        DropMySQL(mysql, "vt_exact");
        DropDB2(db2, "vt_exact");
        const auto make = [](DataConnection& side, bool isMySQL, const std::string& columns, const std::string& rows) {
            side.execute(std::string("CREATE TABLE ") + (isMySQL ? "`vt_exact`" : "\"vt_exact\"") + columns
                         + (isMySQL ? " CHARACTER SET utf8mb4" : ""));
            side.execute(std::string("INSERT INTO ") + (isMySQL ? "`vt_exact`" : "\"vt_exact\"") + " VALUES " + rows);
        };
        make(toDB2 ? mysql : db2, toDB2, c.sourceColumns, c.sourceRows);
        make(toDB2 ? db2 : mysql, !toDB2, c.targetColumns, c.targetRows);
        const TableComparison found = compare(c.direction, "vt_exact", {}).tables.at(0);
        const bool equal = c.differing + c.onlyOnSource + c.onlyOnTarget == 0;
        EXPECT_EQ(found.status, equal ? ComparisonStatus::Equal : ComparisonStatus::Different)
            << found.reason << " " << ::testing::PrintToString(differencesOf(found));
        EXPECT_EQ(found.rowsDiffering, c.differing);
        EXPECT_EQ(found.rowsOnlyOnSource, c.onlyOnSource);
        EXPECT_EQ(found.rowsOnlyOnTarget, c.onlyOnTarget);
    }
    DropMySQL(mysql, "vt_exact");
    DropDB2(db2, "vt_exact");
}

// 100 rows changed in one transaction while the source is read, with a
// few thousand rows' hashes held at a time: the comparison sees the table
// as it was when its read began, never a state that did not exist.
class ChangesSourceWhileRead : public ComparisonObserver {
public:
    void rowsDone(const std::string&, long long done, long long) override
    {
        if (changed_ || done == 0)
            return;
        changed_ = true;
        DataConnection writer;
        OpenMySQL(writer);
        writer.execute("UPDATE vt_snapshot SET n = n + 1 WHERE id % 100 = 0");
    }

private:
    bool changed_ = false;
};

TEST(VerifySnapshot, WritesDuringTheReadAreNotSeen)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    DropMySQL(mysql, "vt_snapshot");
    DropDB2(db2, "vt_snapshot");
    mysql.execute("CREATE TABLE vt_snapshot(id INT PRIMARY KEY, n INT) ENGINE=InnoDB");
    mysql.execute("INSERT INTO vt_snapshot SELECT seq, seq FROM seq_1_to_10000");
    db2.execute("CREATE TABLE \"vt_snapshot\"(\"id\" INTEGER NOT NULL PRIMARY KEY, \"n\" INTEGER)");
    db2.execute("INSERT INTO \"vt_snapshot\" VALUES " + rowsOf(10000, [](int i) { return std::to_string(i); }));
    ChangesSourceWhileRead observer;
    const TableComparison found = CompareTables(TransferDirection::MySQLToDB2, MySQLTestProfile(), DB2TestProfile(),
                                                {"vt_snapshot"}, observer, {}, 1000)
                                      .tables.at(0);
    EXPECT_EQ(QueryValue(mysql, "SELECT SUM(n) - SUM(id) FROM vt_snapshot"), "100");  // the change was made
    EXPECT_EQ(found.status, ComparisonStatus::Equal) << found.rowsDiffering << " rows differ";
    EXPECT_EQ(found.sourceRows, 10000);
    DropMySQL(mysql, "vt_snapshot");
    DropDB2(db2, "vt_snapshot");
}

// Tables made on each side by hand: DB2's CHAR gives its values padded with
// blanks, MySQL's drops them; that is no difference, a leading blank is.
TEST(VerifyOwnTables, CharPaddingIsNoDifference)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    DropMySQL(mysql, "vt_fixed");
    DropDB2(db2, "vt_fixed");
    mysql.execute("CREATE TABLE vt_fixed(id INT PRIMARY KEY, c CHAR(10))");
    mysql.execute("INSERT INTO vt_fixed VALUES (1, 'ab'), (2, ' a')");
    db2.execute("CREATE TABLE \"vt_fixed\"(\"id\" INTEGER NOT NULL PRIMARY KEY, \"c\" CHAR(10))");
    db2.execute("INSERT INTO \"vt_fixed\" VALUES (1, 'ab'), (2, 'a')");
    ASSERT_EQ(QueryValue(db2, "SELECT \"c\" FROM \"vt_fixed\" WHERE \"id\" = 1"), "ab        ");
    const TableComparison fixed = compare(TransferDirection::DB2ToMySQL, "vt_fixed", {}).tables.at(0);
    EXPECT_EQ(differencesOf(fixed), std::set<std::string>({"id=2 c"}));
    DropMySQL(mysql, "vt_fixed");
    DropDB2(db2, "vt_fixed");
}

INSTANTIATE_TEST_SUITE_P(
    BothWays, VerifyCopy,
    ::testing::Values(Case {TransferDirection::MySQLToDB2, true, false}, Case {TransferDirection::MySQLToDB2, false, false},
                      Case {TransferDirection::MySQLToDB2, true, true}, Case {TransferDirection::DB2ToMySQL, true, false},
                      Case {TransferDirection::DB2ToMySQL, false, false}),
    [](const ::testing::TestParamInfo<Case>& info) {
        return std::string(std::get<0>(info.param) == TransferDirection::MySQLToDB2 ? "ToDB2" : "ToMySQL")
            + (std::get<1>(info.param) ? "Keyed" : "Keyless") + (std::get<2>(info.param) ? "MatchingTypes" : "");
    });

}  // namespace
