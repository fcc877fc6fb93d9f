// The staging-table pieces of each side's dialect: names and swap statements; unquoted names.
#include "SqlDialect.h"

#include <gtest/gtest.h>

namespace {

TEST(StagingNames, AreRecognisableUniqueAndFitEveryServer)
{
    const std::time_t made = 1796684264;  // 2026-12-07 22:57:44 UTC
    const std::string name = StagingName(made);
    EXPECT_EQ(name.rfind("tablehop_stage_20261207225744_", 0), 0u) << name;
    // PostgreSQL behind the stand-in keeps 63 bytes, MySQL 64, DB2 128.
    EXPECT_LE(name.size(), 63u);
    EXPECT_LE(name.size(), MySQLDialect().maxNameBytes());
    EXPECT_LE(name.size(), DB2Dialect().maxNameBytes());
    EXPECT_NE(StagingName(made), StagingName(made));
    EXPECT_EQ(StagingNameTime(name), made);
    EXPECT_EQ(MySQLDialect().quoteIdentifier(name), "`" + name + "`");
    EXPECT_EQ(DB2Dialect().quoteIdentifier(name), "\"" + name + "\"");
}

TEST(StagingNames, OtherNamesAreNotTakenForLeftovers)
{
    for (const char* name : {"orders", "tablehop_stage_", "tablehop_stage_20261207225744_0123abc",
                             "tablehop_stage_20261207225744_0123ABCD", "tablehop_stage_20261207225744-0123abcd",
                             "tablehop_stage_2026120722574x_0123abcd", "TABLEHOP_STAGE_20261207225744_0123abcd",
                             "tablehop_stage_20261207225744_0123abcd_orders"})
        EXPECT_FALSE(StagingNameTime(name).has_value()) << name;
    EXPECT_TRUE(StagingNameTime("tablehop_stage_20261207225744_0123abcd").has_value());
}

TEST(SwapStatements, PerSide)
{
    struct Case {
        const SqlDialect& dialect;
        bool replacing;
        std::vector<std::string> statements;
    };
    const Case cases[] = {
        {MySQLDialect(), true, {"RENAME TABLE `it``s` TO `aside`, `stage` TO `it``s`", "DROP TABLE `aside`"}},
        {MySQLDialect(), false, {"RENAME TABLE `stage` TO `it``s`"}},
        {DB2Dialect(), true, {"DROP TABLE \"it`s\"", "RENAME \"stage\" TO \"it`s\""}},
        {DB2Dialect(), false, {"RENAME \"stage\" TO \"it`s\""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.dialect.swapSql("stage", "it`s", "aside", c.replacing), c.statements)
            << c.dialect.displayName() << " replacing " << c.replacing;
    // Only DB2 can undo a DROP: its swap is one unit of work. MySQL renames
    // back when the old table cannot be dropped.
    EXPECT_TRUE(DB2Dialect().ddlInUnitOfWork());
    EXPECT_FALSE(MySQLDialect().ddlInUnitOfWork());
    EXPECT_EQ(MySQLDialect().undoSwapSql("stage", "it`s", "aside"),
              "RENAME TABLE `it``s` TO `stage`, `aside` TO `it``s`");
}

// The name an unquoted identifier stands for: DB2 folds a to z only, as its
// own parser does; multi-byte letters and what needs quotes anyway stay.
TEST(UnquotedNames, PerSide)
{
    struct Case {
        const SqlDialect& dialect;
        std::string name, unquoted;
    };
    const Case cases[] = {
        {DB2Dialect(), "orders", "ORDERS"},
        {DB2Dialect(), "Order_Items2", "ORDER_ITEMS2"},
        {DB2Dialect(), "café_straße", "CAFé_STRAßE"},
        {DB2Dialect(), "it\"s odd", "IT\"S ODD"},
        {MySQLDialect(), "Order_Items", "Order_Items"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.dialect.unquotedName(c.name), c.unquoted) << c.dialect.displayName() << " " << c.name;
}

// A name exactly as long as the server allows is taken; one byte or one
// character more is refused, with what the server counts.
TEST(NameLimits, AtTheLimitTakenOneMoreRefused)
{
    NameRules rules;
    rules.maxTableNameBytes = 63;
    rules.maxColumnNameBytes = 30;
    NameRules characters;  // MySQL's way: 64 characters of up to four bytes each
    characters.maxTableNameBytes = characters.maxColumnNameBytes = 256;
    characters.maxNameCharacters = 64;
    std::string umlauts;
    for (int i = 0; i < 64; ++i)
        umlauts += "\xC3\xBC";  // ü, two bytes
    struct Case {
        const NameRules& rules;
        std::string name;
        bool table;
        const char* problem;  // empty: taken
    };
    const Case cases[] = {
        {rules, std::string(63, 't'), true, ""},
        {rules, std::string(64, 't'), true, " has 64 bytes; Server takes at most 63."},
        {rules, std::string(30, 'c'), false, ""},
        {rules, std::string(31, 'c'), false, " has 31 bytes; Server takes at most 30."},
        {rules, std::string(61, 't') + "\xC3\xBC", true, ""},
        {rules, std::string(62, 't') + "\xC3\xBC", true, " has 64 bytes; Server takes at most 63."},
        {characters, umlauts, true, ""},
        {characters, umlauts, false, ""},
        {characters, umlauts + "x", true, " has 65 characters; Server takes at most 64."},
        {characters, umlauts + "x", false, " has 65 characters; Server takes at most 64."},
    };
    for (const Case& c : cases) {
        const auto problem = c.rules.nameProblem(c.name, c.table, "Server");
        if (!*c.problem) {
            EXPECT_FALSE(problem.has_value()) << *problem;
            continue;
        }
        ASSERT_TRUE(problem.has_value()) << c.name;
        EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
        EXPECT_EQ(problem->rfind(std::string("The ") + (c.table ? "table" : "column") + " name ", 0), 0u) << *problem;
    }
}

}  // namespace

// A lost connection ends the run at once; a refused statement does not.
TEST(ConnectionLost, ByStateAndNativeCode)
{
    struct Case {
        const SqlDialect& dialect;
        const char* sqlState;
        long nativeCode;
        bool lost;
    };
    const Case cases[] = {
        {MySQLDialect(), "08S01", 0, true},    {MySQLDialect(), "HY000", 2013, true},
        {MySQLDialect(), "40003", 0, false},   {MySQLDialect(), "42S02", 1146, false},
        {DB2Dialect(), "08S01", -30081, true}, {DB2Dialect(), "40003", -30081, true},
        {DB2Dialect(), "40003", 0, true},  // statement completion unknown
        {DB2Dialect(), "57011", -1224, true},  {DB2Dialect(), "40001", -911, false},
        {DB2Dialect(), "42704", -204, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.dialect.isConnectionLost(DbError(c.sqlState, c.nativeCode, "message")), c.lost)
            << c.dialect.displayName() << " " << c.sqlState << " " << c.nativeCode;
}
