// Every column type of each side, 1,500 rows of varied values with NULLs
// spread over the columns, through every way a table is read: keyset pages,
// key ranges of parallel streams, the one-pass read of a keyless table, pages
// by position (an engine without snapshots), and the DB2 reads on the way
// back. The tables go there and back with matching types; the server that
// holds both the original and what came back then compares them value by
// value itself, so no fault of the tool's readers can hide on both sides.
// Blocks are a hundredth of the rows, pages start at 128 rows: every block,
// array and page boundary is crossed many times.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "Transfer.h"

#include <gtest/gtest.h>

namespace {

constexpr int kRows = 1500;

struct MatrixColumn {
    const char* name;
    const char* type;
    const char* value;        // of the row number s
    bool numeric = false;     // compared as numbers (floating point), not as their text
    bool longValues = false;  // too long for a bound array: its table is read row by row
};

// MySQL: every type the tool claims to carry.
const MatrixColumn kMySQLColumns[] = {
    {"ti", "TINYINT", "s % 256 - 128"},
    {"tiu", "TINYINT UNSIGNED", "s % 256"},
    {"si", "SMALLINT", "s * 37 % 65536 - 32768"},
    {"siu", "SMALLINT UNSIGNED", "s * 37 % 65536"},
    {"mi", "MEDIUMINT", "s * 7919 % 16777216 - 8388608"},
    {"miu", "MEDIUMINT UNSIGNED", "s * 7919 % 16777216"},
    {"i", "INT", "s * 2654435761 % 4294967296 - 2147483648"},
    {"iu", "INT UNSIGNED", "s * 2654435761 % 4294967296"},
    {"bi", "BIGINT", "IF(s % 2, -1, 1) * (6000000000000000 * s + s)"},
    {"biu", "BIGINT UNSIGNED", "CAST(s AS UNSIGNED) * 12000000000000000 + s"},
    {"de", "DECIMAL(30,10)", "CAST(CONCAT(IF(s % 2, '-', ''), s, '98765432109876.0123456789') AS DECIMAL(30,10))"},
    {"dp", "DECIMAL(5,5)", "IF(s % 3, -1, 1) * (s % 100000) / 100000"},
    {"flt", "FLOAT", "s * 1.1 * POW(10, s % 60 - 30)", true},
    {"fl2", "FLOAT", "s / 4", true},
    {"dbl", "DOUBLE", "SQRT(s) * POW(10, s % 600 - 300)", true},
    {"b1", "BIT(1)", "s % 2"},
    {"b8", "BIT(8)", "s % 256"},
    {"t1", "TINYINT(1)", "s % 2"},
    {"yr", "YEAR", "1901 + s % 255"},
    {"d", "DATE", "'1000-01-01' + INTERVAL s * 1000 DAY"},
    {"dt", "DATETIME", "'1000-01-01' + INTERVAL s * 2000003 MINUTE"},
    {"dt6", "DATETIME(6)", "'1970-01-01' + INTERVAL s * 1234567 SECOND + INTERVAL s * 7 MICROSECOND"},
    {"ts", "TIMESTAMP(6) NULL", "FROM_UNIXTIME(s * 987654 + 1) + INTERVAL s MICROSECOND"},
    {"tm", "TIME", "SEC_TO_TIME(s * 1987 % 6040000 - 3020000)"},
    {"tm6", "TIME(6)", "SEC_TO_TIME(s * 11 % 86400) + INTERVAL s MICROSECOND"},
    {"ch", "CHAR(10)", "LEFT(CONCAT('c', s, 'é'), 10)"},
    {"vc", "VARCHAR(100)", "CONCAT('Zoë ', s, ' 😀 ''ap'' \\\\ \"q\" `t`', REPEAT('x', s % 50))"},
    {"tt", "TINYTEXT", "CONCAT('tt', s)"},
    {"tx", "TEXT", "REPEAT(CONCAT('é', s), s % 40)", false, true},
    {"mt", "MEDIUMTEXT", "CONCAT('日本語', s)", false, true},
    {"lt", "LONGTEXT", "REPEAT('ü', s * 3)", false, true},
    {"bn", "BINARY(4)", "UNHEX(LPAD(HEX(s * 2654435761 % 4294967296), 8, '0'))"},
    {"vb", "VARBINARY(16)", "UNHEX(CONCAT('00FF', HEX(s)))"},
    {"tb", "TINYBLOB", "UNHEX(LPAD(HEX(s), 4, '0'))"},
    {"bl", "BLOB", "REPEAT(UNHEX('00FF7F80'), s % 100)", false, true},
    {"mb", "MEDIUMBLOB", "UNHEX(SHA2(s, 256))", false, true},
    {"lb", "LONGBLOB", "REPEAT(UNHEX(SHA2(s, 256)), s % 5)", false, true},
    {"en", "ENUM('a','b c','Zoë')", "ELT(1 + s % 3, 'a', 'b c', 'Zoë')"},
    {"st", "SET('x','y','z')", "s % 8"},
    {"js", "JSON", "JSON_OBJECT('n', s, 's', CONCAT('x\"', s))", false, true},
};

// How one way of reading a MySQL table is chosen: by its key, its engine
// and the streams.
struct ReadingPath {
    const char* name;
    const char* keyAndEngine;  // after the columns of the CREATE TABLE
    int streams;
};

const ReadingPath kPaths[] = {
    {"keyset pages", ", PRIMARY KEY(id)) ENGINE=InnoDB", 1},
    {"key ranges", ", PRIMARY KEY(id)) ENGINE=InnoDB", 3},
    {"one pass", ") ENGINE=InnoDB", 1},
    {"pages by position", ") ENGINE=Aria", 1},
};

class TypeMatrix : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RequireTestServers(true, true); }
    void SetUp() override
    {
        OpenMySQL(mysql);
        OpenDB2(db2);
        dropAll();
    }
    void TearDown() override { dropAll(); }
    void dropAll()
    {
        mysql.execute("DROP TABLE IF EXISTS tm_all, tm_orig");
        DropDB2(db2, "tm_all");
        DropDB2(db2, "tm_orig");
    }

    TransferOptions options(int streams) const
    {
        TransferOptions o {Db2ColumnTypes::Matching, true};
        o.parallelStreams = streams;
        o.splitFromRows = 100;
        return o;
    }

    // Sends tm_all one way and checks that it arrived whole and unchanged in number.
    void send(TransferDirection direction, int streams)
    {
        RecordingObserver observer;
        const TransferSummary summary
            = RunTransfer(direction, MySQLTestProfile(), DB2TestProfile(), {"tm_all"}, observer, options(streams));
        ASSERT_EQ(observer.reportsText(), "");
        ASSERT_EQ(summary.tables.size(), 1u);
        EXPECT_EQ(summary.tables[0].status, TableStatus::Sent) << summary.tables[0].reason;
        EXPECT_EQ(summary.tables[0].rowsWritten, kRows);
        EXPECT_EQ(summary.tables[0].rowsOnTarget, kRows);
    }

    DataConnection mysql, db2;
};

// Every path twice: a table whose columns all fit bound arrays, and one
// with long values too, which is read row by row.
std::vector<std::pair<ReadingPath, bool>> pathsWithAndWithoutLongValues()
{
    std::vector<std::pair<ReadingPath, bool>> runs;
    for (const ReadingPath& path : kPaths)
        for (const bool longValues : {false, true})
            runs.emplace_back(path, longValues);
    return runs;
}

// Column c of row s is NULL every 7th row, each column at another phase.
std::string nullSpread(size_t column, const std::string& value)
{
    return "IF(s % 7 = " + std::to_string(column % 7) + ", NULL, " + value + ")";
}

TEST_F(TypeMatrix, EveryMySQLTypeThroughEveryReadingPathComesBackUnchanged)
{
    for (const auto& [path, longValues] : pathsWithAndWithoutLongValues()) {
        SCOPED_TRACE(std::string(path.name) + (longValues ? ", long values" : ", bound arrays"));
        dropAll();
        std::string create = "CREATE TABLE tm_all(id INT NOT NULL", select = "SELECT s";
        std::vector<MatrixColumn> columns;
        for (size_t c = 0; c < std::size(kMySQLColumns); ++c) {
            if (kMySQLColumns[c].longValues && !longValues)
                continue;
            columns.push_back(kMySQLColumns[c]);
            create += std::string(", ") + kMySQLColumns[c].name + " " + kMySQLColumns[c].type;
            select += ", " + nullSpread(c, kMySQLColumns[c].value);
        }
        mysql.execute(create + path.keyAndEngine + " CHARACTER SET utf8mb4");
        mysql.execute("INSERT INTO tm_all " + select + " FROM (SELECT CAST(seq AS SIGNED) AS s FROM seq_1_to_"
                      + std::to_string(kRows) + " LIMIT " + std::to_string(kRows) + ") numbers");
        ASSERT_EQ(QueryValue(mysql, "SELECT COUNT(*) FROM tm_all"), std::to_string(kRows));

        send(TransferDirection::MySQLToDB2, path.streams);
        mysql.execute("RENAME TABLE tm_all TO tm_orig");
        send(TransferDirection::DB2ToMySQL, path.streams);
        // Rows are matched by id; keyless tables get an index for it only now.
        if (!QueryValue(mysql,
                        "SELECT 1 FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE()"
                        " AND TABLE_NAME = 'tm_all'"))
            mysql.execute("ALTER TABLE tm_all ADD INDEX(id)");

        for (const MatrixColumn& column : columns) {
            const std::string n = std::string("n.") + column.name, o = std::string("o.") + column.name;
            const std::string same = column.numeric
                ? n + " <=> " + o
                : "BINARY CAST(" + n + " AS CHAR) <=> BINARY CAST(" + o + " AS CHAR)";
            EXPECT_EQ(QueryValue(mysql,
                                 "SELECT COUNT(*) FROM tm_orig o LEFT JOIN tm_all n ON n.id = o.id"
                                 " WHERE n.id IS NULL OR NOT ("
                                     + same + ")"),
                      "0")
                << column.name << " " << column.type;
        }
    }
}

}  // namespace
