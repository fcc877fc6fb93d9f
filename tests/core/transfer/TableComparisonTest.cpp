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
