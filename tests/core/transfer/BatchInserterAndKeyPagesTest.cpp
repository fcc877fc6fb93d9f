// The MySQL side on its own: bulk batches with refused rows, the report's
// statement text, and reading a table in key order page by page.
#include "BatchInserter.h"
#include "MySQLSqlDialect.h"
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "SourceReader.h"
#include "Transfer.h"
#include "ValueText.h"
#include "FieldMaker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

namespace {

class MySQLSide : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, false); }
    void SetUp() override
    {
        OpenMySQL(mysql);
        for (const char* t : {"side_src", "side_dst", "side_lit", "side_keys", "side_nokey", "side_myisam"})
            DropMySQL(mysql, t);
    }
    void TearDown() override
    {
        for (const char* t : {"side_src", "side_dst", "side_lit", "side_keys", "side_nokey", "side_myisam"})
            DropMySQL(mysql, t);
    }

    // Reads every row of a source, in order, as the texts it would send.
    static std::vector<Row> readAll(SourceReader& reader)
    {
        std::vector<Row> rows;
        while (RowBlock* block = reader.next())
            for (size_t r = 0; r < block->rows; ++r) {
                Row row;
                for (const Field& f : block->rowFields(r))
                    row.push_back(f.value);
                rows.push_back(std::move(row));
            }
        return rows;
    }

    // The last column's values of every row, and the number of blocks they came in.
    static std::multiset<std::string> lastColumn(SourceReader& reader, size_t& blocks)
    {
        std::multiset<std::string> values;
        while (RowBlock* block = reader.next()) {
            ++blocks;
            for (size_t r = 0; r < block->rows; ++r)
                values.insert(*block->sendText(reader.plans().size() - 1, r));
        }
        return values;
    }

    DataConnection mysql;
};

TEST_F(MySQLSide, BulkBatchWithRefusedRowsInTheMiddleLosesOnlyThoseRows)
{
    mysql.execute("CREATE TABLE side_src(id INT PRIMARY KEY, v VARCHAR(10))");
    mysql.execute("INSERT INTO side_src SELECT seq, seq FROM seq_1_to_300");
    mysql.execute("CREATE TABLE side_dst(id INT, v VARCHAR(10), CHECK (v <> '150' AND v <> '151'))");
    DataConnection target;
    OpenMySQL(target);
    auto reader = OpenMySQLSource(mysql, "side_src", 100);
    RecordingObserver observer;
    const CopyResult result
        = CopyRows(TargetSide::MySQL, "side_dst", "side_dst", *reader, 300, {"INT", "VARCHAR(10)"}, target, observer);
    reader.reset();  // ends its snapshot, so this connection sees the new rows
    EXPECT_EQ(result.copied, 298);
    EXPECT_EQ(result.refused, 2);
    ASSERT_EQ(observer.reports.size(), 1u) << observer.reportsText();
    EXPECT_EQ(SendReportLineOf(TransferDirection::DB2ToMySQL, observer.reports[0].step), 264);
    EXPECT_EQ(observer.reports[0].sql, "INSERT INTO `side_dst` VALUES('150', '150')");
    EXPECT_NE(observer.reports[0].description.find("CONSTRAINT"), std::string::npos) << observer.reports[0].description;
    EXPECT_EQ(observer.refusedMessages, (std::vector<std::pair<std::string, long long>> {{"side_dst", 1}}));
    EXPECT_EQ(observer.progressValues, (std::vector<int> {33, 66, 100}));
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM side_dst"), "298");
    EXPECT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM side_dst WHERE id BETWEEN 101 AND 200"), "98");
}

// DB2 fails a whole parameter array for one bad row unless asked not to; the
// row-by-row retry loses only that row either way.
TEST_F(MySQLSide, IntoDB2ABadRowCostsOnlyItselfWhetherArraysAreAtomicOrNot)
{
    RequireTestServers(true, true);
    mysql.execute("CREATE TABLE side_src(id INT PRIMARY KEY, v VARCHAR(10))");
    mysql.execute("INSERT INTO side_src SELECT seq, seq FROM seq_1_to_120");
    DataConnection db2;
    OpenDB2(db2);
    for (bool nonAtomic : {true, false}) {
        SCOPED_TRACE(nonAtomic ? "non-atomic arrays" : "atomic arrays");
        DropDB2(db2, "SIDE_ARRAYS");
        db2.execute(
            "CREATE TABLE \"SIDE_ARRAYS\"(\"id\" LONG VARCHAR, \"v\" VARCHAR(2))");  // '100' and up are too long
        auto reader = OpenMySQLSource(mysql, "side_src", 120);
        db2.setAutoCommit(false);
        BatchInserter inserter(db2, TargetSide::DB2, "SIDE_ARRAYS", reader->plans());
        inserter.setNonAtomicArrays(nonAtomic);
        long long inserted = 0, refused = 0;
        while (RowBlock* block = reader->next()) {
            const BatchOutcome outcome = inserter.insert(*block);
            inserted += outcome.inserted;
            refused += outcome.refused;
            if (outcome.firstRefused) {
                EXPECT_EQ(outcome.firstRefused->error.records().at(0).sqlState, "22001");
            }
        }
        db2.setAutoCommit(true);
        EXPECT_EQ(inserted, 99);
        EXPECT_EQ(refused, 21);
        EXPECT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"SIDE_ARRAYS\""), "99");
    }
    DropDB2(db2, "SIDE_ARRAYS");
}

TEST_F(MySQLSide, ReportedStatementStoresTheExactValuesWhenRun)
{
    mysql.execute("CREATE TABLE side_lit(t TEXT, b LONGBLOB, f BIT(1), e TEXT)");
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    const std::string text = "O'Brien \\ \\' \\\\n `tick` \"dq\" Zoë 😀 True";
    const std::vector<Field> row {
        MakeField("t", SQL_WLONGVARCHAR, 65535, 0, false, text),
        MakeField("b", SQL_LONGVARBINARY, 65535, 0, false, allBytes),
        MakeField("f", SQL_BIT, 1, 0, false, "1"),
        MakeField("e", SQL_WLONGVARCHAR, 65535, 0, false, ""),
    };
    mysql.execute(BuildInsertSql(TargetSide::MySQL, "side_lit", row));
    EXPECT_EQ(QueryRows(mysql, "SELECT t, HEX(b), f + 0, e IS NULL, e FROM side_lit"),
              (std::vector<Row> {{text, QueryValue(mysql, "SELECT HEX(" + SqlLiteral(TargetSide::MySQL, row[1]) + ")"),
                                  "1", "0", ""}}));
    EXPECT_EQ(QueryValue(mysql, "SELECT LENGTH(b) FROM side_lit"), "256");
}

TEST_F(MySQLSide, KeyOrderPagesReadEveryRowOnceWhateverTheKeyValues)
{
    mysql.execute("CREATE TABLE side_keys(a BIGINT NOT NULL, s VARCHAR(20) NOT NULL, n INT, UNIQUE KEY(a, s))");
    // Keys with quotes, backslashes, the BIGINT limits and rows that share the first key part.
    mysql.execute("INSERT INTO side_keys SELECT CAST(seq AS SIGNED) % 37 - 18, CONCAT('k''\\\\', LPAD(seq, 4, '0')), "
                  "seq FROM seq_1_to_500");
    mysql.execute("INSERT INTO side_keys VALUES(-9223372036854775808, 'min', 501), (9223372036854775807, 'max', 502),"
                  "(9223372036854775806, 'max', 503)");
    // The server's modes must not change how the last key of a page is read.
    for (const char* mode : {"NO_BACKSLASH_ESCAPES", "ANSI_QUOTES", "STRICT_TRANS_TABLES"}) {
        mysql.execute(std::string("SET SESSION sql_mode = '") + mode + "'");
        for (size_t page : {7u, 500u, 503u, 20000u}) {
            auto reader = OpenMySQLSource(mysql, "side_keys", 3, page);
            const auto rows = readAll(*reader);
            std::set<std::string> seen;
            for (const Row& row : rows)
                seen.insert(*row[2]);
            EXPECT_EQ(rows.size(), 503u) << mode << ", page " << page;
            EXPECT_EQ(seen.size(), 503u) << mode << ", page " << page;
            ASSERT_FALSE(rows.empty());
            EXPECT_EQ(rows.front()[0], "-9223372036854775808");
            EXPECT_EQ(rows.back()[0], "9223372036854775807");
            EXPECT_EQ(reader->selectSql(), "SELECT * FROM `side_keys` ORDER BY `a`, `s`");
        }
    }
}

TEST_F(MySQLSide, RowsChangedDuringAKeyOrderCopyArriveAsTheyWereWhenItBegan)
{
    mysql.execute("CREATE TABLE side_keys(k VARCHAR(10) PRIMARY KEY, n INT) ENGINE=InnoDB");
    mysql.execute("INSERT INTO side_keys SELECT LPAD(seq, 4, '0'), seq FROM seq_1_to_300");
    auto reader = OpenMySQLSource(mysql, "side_keys", 10, 20);
    std::vector<std::string> seen;
    RowBlock* block = reader->next();
    ASSERT_NE(block, nullptr);
    for (size_t r = 0; r < block->rows; ++r)
        seen.push_back(*block->sendText(1, r));
    // Another connection moves rows behind and ahead of the pages read so far,
    // deletes one ahead and adds one.
    DataConnection writer;
    OpenMySQL(writer);
    writer.execute("UPDATE side_keys SET k = '0000a' WHERE n = 250");
    writer.execute("UPDATE side_keys SET k = '9999' WHERE n = 3");
    writer.execute("DELETE FROM side_keys WHERE n = 200");
    writer.execute("INSERT INTO side_keys VALUES('0150a', 1000)");
    while ((block = reader->next()))
        for (size_t r = 0; r < block->rows; ++r)
            seen.push_back(*block->sendText(1, r));
    std::vector<std::string> expected;
    for (int n = 1; n <= 300; ++n)
        expected.push_back(std::to_string(n));
    EXPECT_EQ(seen, expected);
}

TEST_F(MySQLSide, RowsFarWiderThanAPageArriveWhole)
{
    mysql.execute("CREATE TABLE side_keys(id INT PRIMARY KEY, body LONGTEXT)");
    mysql.execute("CREATE TABLE side_nokey(body LONGBLOB)");
    mysql.execute("INSERT INTO side_keys SELECT seq, REPEAT(CHAR(64 + seq), 100000 + seq) FROM seq_1_to_12");
    mysql.execute("INSERT INTO side_nokey SELECT body FROM side_keys");
    for (const char* table : {"side_keys", "side_nokey"}) {
        // Pages of 30 KB: each row is a page of its own.
        auto reader = OpenMySQLSource(mysql, table, 100, 20000, 30000);
        size_t blocks = 0;
        const auto bodies = lastColumn(*reader, blocks);
        EXPECT_EQ(blocks, 12u) << table;
        std::multiset<std::string> expected;
        for (int n = 1; n <= 12; ++n)
            expected.insert(std::string(100000 + n, static_cast<char>(64 + n)));
        EXPECT_TRUE(bodies == expected) << table << ": " << bodies.size() << " values";
    }
}

TEST_F(MySQLSide, TableWithoutUsableKeyIsReadInPiecesEveryRowOnce)
{
    // A unique key over a nullable column cannot order the pages; rows that are
    // exact duplicates must still all arrive, and zero dates under a mode that
    // would not store them again. A column may carry any name, also one the
    // tool might have used for numbering rows.
    mysql.execute("SET SESSION sql_mode = ''");
    mysql.execute("CREATE TABLE side_nokey(d DATE, a INT NULL, Tablehop_Row_Number INT, n INT, UNIQUE KEY(a))");
    mysql.execute(
        "INSERT INTO side_nokey SELECT '0000-00-00', IF(seq % 5 = 0, NULL, seq), IF(seq % 3 = 0, NULL, seq * 10),"
        " seq FROM seq_1_to_50");
    mysql.execute("INSERT INTO side_nokey VALUES(NULL, NULL, 0, 7), (NULL, NULL, 0, 7)");
    mysql.execute("CREATE OR REPLACE VIEW side_view AS SELECT tablehop_row_number, n FROM side_nokey WHERE n > 10");
    mysql.execute("CREATE TABLE side_myisam ENGINE=MyISAM SELECT * FROM side_nokey");
    const std::string strict = "STRICT_TRANS_TABLES,NO_ZERO_IN_DATE,NO_ZERO_DATE";
    mysql.execute("SET SESSION sql_mode = '" + strict + "'");
    for (const char* table : {"side_nokey", "side_view", "side_myisam"}) {
        const std::vector<Row> stored = QueryRows(mysql, std::string("SELECT * FROM ") + table);
        auto reader = OpenMySQLSource(mysql, table, 100, 7);
        EXPECT_EQ(reader->selectSql(), std::string("SELECT * FROM `") + table + "`");
        // Without a snapshot, a row deleted behind a page shifts the later ones.
        const std::string snapshotless = table == std::string("side_myisam")
            ? "; its engine keeps no snapshot, so rows changed while it was read may be missing or repeated"
            : "";
        EXPECT_EQ(reader->readingNote(),
                  std::string(table)
                      + ": no primary or unique NOT NULL key, read in pages by "
                        "position (slower on large tables)"
                      + snapshotless);
        size_t blocks = 0;
        std::multiset<Row> seen;
        while (RowBlock* block = reader->next()) {
            ++blocks;
            for (size_t r = 0; r < block->rows; ++r) {
                Row row;
                for (const Field& f : block->rowFields(r))
                    row.push_back(f.value);
                seen.insert(row);
            }
        }
        const bool view = table == std::string("side_view");
        EXPECT_EQ(stored.size(), view ? 40u : 52u) << table;
        EXPECT_EQ(seen, std::multiset<Row>(stored.begin(), stored.end())) << table;
        EXPECT_GE(blocks, 6u) << table;  // pages of 7 rows
        EXPECT_EQ(QueryValue(mysql, "SELECT @@SESSION.sql_mode"), strict);
    }
    mysql.execute("DROP VIEW side_view");
}

// Reading takes no row lock: a writer whose lock waits end after 3 s changes
// single rows of a table without a key while it is read, even while a third
// session's open transaction holds a row the reader has yet to reach; read in
// pages (a connection opened without a login) and in one pass (opened from one).
TEST_F(MySQLSide, WritersOfATableWithoutKeyNeverWaitForItsReader)
{
    for (const bool onePass : {false, true}) {
        SCOPED_TRACE(onePass ? "one pass" : "pages");
        DataConnection reading;
        if (onePass)
            MySQLDialect().openSession(reading, MySQLTestProfile());
        else
            OpenMySQL(reading);
        DropMySQL(mysql, "side_nokey");
        mysql.execute("CREATE TABLE side_nokey(n INT, v VARCHAR(10)) ENGINE=InnoDB");
        mysql.execute("INSERT INTO side_nokey SELECT seq, 'old' FROM seq_1_to_3000");
        DataConnection holder, writer;
        OpenMySQL(holder);
        OpenMySQL(writer);
        holder.execute("SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED");  // locks only the row it changes
        holder.execute("START TRANSACTION");
        holder.execute("UPDATE side_nokey SET v = 'held' WHERE n = 3000");
        writer.execute("SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED");
        writer.execute("SET SESSION innodb_lock_wait_timeout = 3");
        std::unique_ptr<SourceReader> reader;
        std::thread opening([&] { reader = OpenMySQLSource(reading, "side_nokey", 100, 500); });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // a locking reader would now wait at row 3000
        for (int n : {10, 1500, 2999})
            EXPECT_NO_THROW(writer.execute("UPDATE side_nokey SET v = 'new' WHERE n = " + std::to_string(n))) << n;
        holder.execute("COMMIT");  // a DELETE, unlike an UPDATE, would wait for the held row itself
        opening.join();
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->readingNote().empty(), onePass) << reader->readingNote();
        for (int n : {11, 1501, 2998})
            EXPECT_NO_THROW(writer.execute("DELETE FROM side_nokey WHERE n = " + std::to_string(n))) << n;
        std::multiset<std::string> seen;
        while (RowBlock* block = reader->next())
            for (size_t r = 0; r < block->rows; ++r)
                seen.insert(*block->sendText(0, r) + *block->sendText(1, r));
        std::multiset<std::string> expected;
        for (int n = 1; n <= 3000; ++n)
            expected.insert(std::to_string(n) + "old");  // as the table was when reading began
        EXPECT_EQ(seen, expected);
    }
}

}  // namespace

// The tool asks DB2 clients for UTF-8 text (DB2CODEPAGE=1208) unless the user
// chose a code page; each connection is checked, and only one that gives
// UTF-8 reads and sends text as SQL_C_CHAR. Either way the values read are
// the same, decimals with a point.
TEST_F(MySQLSide, DB2TextTravelsAsUtf8OnlyWhereTheConnectionShowsIt)
{
    RequireTestServers(true, true);
    DataConnection setup;
    OpenDB2(setup);
    DropDB2(setup, "SIDE_CODEPAGE");
    setup.execute("CREATE TABLE \"SIDE_CODEPAGE\"(\"t\" VARCHAR(20), \"d\" DECIMAL(6,2), \"c\" CLOB(1M))");
    setup.execute("INSERT INTO \"SIDE_CODEPAGE\" VALUES ('\xC3\xA9\xCE\xA9', -1234.5, '\xE2\x82\xAC long')");
    const char* const before = std::getenv("DB2CODEPAGE");
    const std::optional<std::string> chosen = before ? std::optional<std::string>(before) : std::nullopt;
    const struct {
        std::optional<std::string> codePage;  // nullopt: as the tool set it
        bool wide;
    } cases[] = {{std::nullopt, false}, {"819", true}, {"1208", false}, {"1252", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage.value_or("the tool's own"));
        if (c.codePage)
            setenv("DB2CODEPAGE", c.codePage->c_str(), 1);
        DataConnection db2;
        OpenDB2(db2);
        // Where the whole run has a code page of the user's, it stands.
        const bool wide = c.codePage ? c.wide : chosen && *chosen != "1208";
        EXPECT_EQ(DB2Dialect().textTravelsWideOn(db2), wide);
        EXPECT_FALSE(MySQLDialect().textTravelsWideOn(mysql));
        auto reader = OpenDB2Source(db2, "SIDE_CODEPAGE", 10);
        EXPECT_EQ(reader->plans().at(0).read, wide ? ReadKind::WideText : ReadKind::Text);
        EXPECT_EQ(readAll(*reader),
                  (std::vector<Row> {{"\xC3\xA9\xCE\xA9", "-1234.50", "\xE2\x82\xAC long"}}));
        if (chosen)
            setenv("DB2CODEPAGE", chosen->c_str(), 1);
        else
            unsetenv("DB2CODEPAGE");
    }
    DropDB2(setup, "SIDE_CODEPAGE");
}
