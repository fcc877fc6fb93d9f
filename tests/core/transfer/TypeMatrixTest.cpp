// Every column type of each side, 1,500 rows of varied values with NULLs
// spread over the columns, through every way a table is read: keyset pages,
// key ranges of parallel streams, the one-pass read of a keyless table, pages
// by position (an engine without snapshots); and DB2's reads: by key in one
// stream or in key ranges of parallel streams, and of a keyless table. The
// tables go there and back with matching types; the server that
// holds both the original and what came back then compares them value by
// value itself, so no fault of the tool's readers can hide on both sides.
// Blocks are a hundredth of the rows, pages start at 128 rows: every block,
// array and page boundary is crossed many times.
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "Transfer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>

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

// DB2: every type the stand-in takes, each value a DB2 literal of the row
// number s. The PostgreSQL database under the stand-in holds the original and
// what came back, and compares them as text; a type that comes back as another
// one gets only the normalisation that change forces.
struct Db2MatrixColumn {
    const char* name;
    const char* type;
    std::string (*value)(long long s);
    bool longValues = false;           // LOB, LONG VARCHAR, XML: read row by row
    const char* original = "$::text";  // $ is the column, as PostgreSQL reads it
    const char* returned = "$::text";
};

std::string Quoted(const std::string& text)
{
    std::string q = "'";
    for (const char c : text)
        q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
}

// Row s takes one of the extremes every tenth row (a period prime to the NULLs'
// seven), else the general value.
std::string Cycle(long long s, std::initializer_list<const char*> extremes, const std::string& general)
{
    const auto i = static_cast<size_t>(s % 10);
    return i < extremes.size() ? *(extremes.begin() + i) : general;
}

std::string Printed(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Repeated(const std::string& text, long long times)
{
    std::string all;
    for (long long i = 0; i < times; ++i)
        all += text;
    return all;
}

std::string Hex(long long s, int bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (int i = bytes - 1; i >= 0; --i) {
        const auto b = static_cast<unsigned>((s * 2654435761LL) >> (8 * (i % 8))) & 0xFF;
        hex += {digits[b >> 4], digits[b & 15]};
    }
    return hex;
}

// DECFLOAT comes back as text in DB2's notation (1E-383): read as a number
// again, PostgreSQL writes it with every digit and its scale, as it does the
// original.
constexpr const char* kDecFloatAsText = "$::numeric::text";
// CHAR and GRAPHIC come back as VARCHAR and VARGRAPHIC, blanks kept: the
// original is taken as stored, blanks included (a cast to text trims them;
// format makes NULL an empty string).
constexpr const char* kPaddedText = "CASE WHEN $ IS NOT NULL THEN format('%s', $) END";

const Db2MatrixColumn kDb2Columns[] = {
    {"SI", "SMALLINT",
     [](long long s) {
         return Cycle(s, {"-32768", "32767", "0"}, std::to_string(s * 37 % 65536 - 32768));
     }},
    {"I", "INTEGER",
     [](long long s) {
         return Cycle(s, {"-2147483648", "2147483647"}, std::to_string(s * 2654435761LL % 4294967296LL - 2147483648LL));
     }},
    {"BI", "BIGINT",
     [](long long s) {
         return Cycle(s, {"-9223372036854775808", "9223372036854775807"},
                      std::to_string((s % 2 ? -1 : 1) * (6000000000000000LL * s + s)));
     }},
    {"DE", "DECIMAL(31,10)",
     [](long long s) {
         return Cycle(s, {"-999999999999999999999.9999999999", "999999999999999999999.9999999999", "0.0000000001"},
                      (s % 2 ? "-" : "") + std::to_string(s) + "98765432109876.0123456789");
     }},
    {"D5", "DECIMAL(5,0)",
     [](long long s) {
         return Cycle(s, {"-99999", "99999"}, std::to_string(s * 67 % 199999 - 99999));
     }},
    {"RE", "REAL",
     [](long long s) {
         return Cycle(s, {"3.4028234E38", "-3.4028234E38", "1.1754944E-37"},
                      Printed("%.9g", s * 1.1 * std::pow(10.0, s % 60 - 30)));
     }},
    {"DO", "DOUBLE",
     [](long long s) {
         return Cycle(s, {"1.7976931348623157E308", "-2.2250738585072014E-307"},
                      Printed("%.17g", std::sqrt(double(s)) * std::pow(10.0, s % 600 - 300)));
     }},
    {"DF16", "DECFLOAT(16)",
     [](long long s) {
         return Cycle(s, {"9.999999999999999E384", "-1E-383", "1234567890123456"},
                      std::to_string(s) + "." + std::to_string(s * 7 % 1000));
     },
     false, "$::text", kDecFloatAsText},
    {"DF34", "DECFLOAT(34)",
     [](long long s) {
         return Cycle(s, {"-9.999999999999999999999999999999999E6144", "1E-6143"},
                      std::to_string(s) + "1234567890123456789012345678.9");
     },
     false, "$::text", kDecFloatAsText},
    {"CH", "CHAR(10)",
     [](long long s) {
         return Quoted(Cycle(s, {"", "😀é"}, "c" + std::to_string(s) + "é"));
     },
     false, kPaddedText},
    {"VC", "VARCHAR(100)",
     [](long long s) {
         return Quoted(Cycle(s, {""}, "Zoë " + std::to_string(s) + " 😀 'ap' \\ \"q\" " + Repeated("x", s % 50)));
     }},
    {"LV", "LONG VARCHAR", [](long long s) { return Quoted(Repeated("ü" + std::to_string(s), s % 300)); }, true},
    {"CL", "CLOB", [](long long s) { return Quoted(Repeated("日本語😀" + std::to_string(s), s % 100)); }, true},
    {"GR", "GRAPHIC(5)",
     [](long long s) {
         return Quoted(Cycle(s, {"", "😀"}, "グ" + std::to_string(s % 1000)));
     },
     false, kPaddedText},
    {"VG", "VARGRAPHIC(20)", [](long long s) { return Quoted(Cycle(s, {""}, "Zoë😀" + std::to_string(s))); }},
    {"DC", "DBCLOB", [](long long s) { return Quoted(Repeated("ß" + std::to_string(s), s % 200)); }, true},
    {"BL", "BLOB", [](long long s) { return "BX'" + Repeated("00FF7F80", s % 100) + Hex(s, 4) + "'"; }, true},
    {"BN", "BINARY(4)",
     [](long long s) {
         return Cycle(s, {"X'00000000'", "X'FFFFFFFF'"}, "X'" + Hex(s, 4) + "'");
     }},
    {"VB", "VARBINARY(16)", [](long long s) { return Cycle(s, {"X''"}, "X'00FF" + Hex(s, s % 15) + "'"); }},
    {"CB", "CHAR(4) FOR BIT DATA",
     [](long long s) {
         return Cycle(s, {"X'00000000'", "X'FFFFFFFF'"}, "X'" + Hex(s + 1, 4) + "'");
     }},
    {"VCB", "VARCHAR(16) FOR BIT DATA", [](long long s) { return Cycle(s, {"X''"}, "X'FF00" + Hex(s, s % 15) + "'"); }},
    {"DA", "DATE",
     [](long long s) {
         return Quoted(Cycle(s, {"0001-01-01", "9999-12-31"},
                             Printed("%04.0f", 1000 + s * 5 % 8999) + "-" + Printed("%02.0f", 1 + s % 12) + "-"
                                 + Printed("%02.0f", 1 + s % 28)));
     }},
    {"TI", "TIME",
     [](long long s) {
         return Quoted(Cycle(s, {"00:00:00", "23:59:59"},
                             Printed("%02.0f", s % 24) + ":" + Printed("%02.0f", s * 7 % 60) + ":"
                                 + Printed("%02.0f", s * 13 % 60)));
     }},
    {"T0", "TIMESTAMP(0)",
     [](long long s) {
         return Quoted(Cycle(s, {"0001-01-01-00.00.00", "9999-12-31-23.59.59"},
                             Printed("%04.0f", 1000 + s * 5 % 8999) + "-02-28-13.14." + Printed("%02.0f", s % 60)));
     }},
    {"T6", "TIMESTAMP(6)",
     [](long long s) {
         return Quoted(
             Cycle(s, {"0001-01-01-00.00.00.000000", "9999-12-31-23.59.59.999999"},
                   Printed("%04.0f", 1970 + s % 100) + "-07-15-01.02.03." + Printed("%06.0f", s * 7919 % 1000000)));
     }},
    {"T12", "TIMESTAMP(12)",
     [](long long s) {
         return Quoted(Cycle(s, {"0001-01-01-00.00.00.000000000000", "9999-12-31-23.59.59.999999999999"},
                             Printed("%04.0f", 1970 + s % 100) + "-12-31-23.59.59."
                                 + Printed("%06.0f", s * 7919 % 1000000) + Printed("%06.0f", s)));
     }},
    {"BO", "BOOLEAN", [](long long s) { return std::string(s % 2 ? "TRUE" : "FALSE"); }},
    {"XM", "XML",
     [](long long s) { return Quoted("<r a=\"" + std::to_string(s) + "\">Zoë 😀 &amp; " + std::to_string(s) + "</r>"); },
     true},
};

// How one way of reading a DB2 table is chosen: by its key and the streams.
const ReadingPath kDb2Paths[] = {
    {"keyed", ", PRIMARY KEY(ID))", 1},
    {"key ranges", ", PRIMARY KEY(ID))", 3},
    {"keyless", ")", 1},
};

// The PostgreSQL database the stand-in keeps its DB2 tables in.
class StandinDatabase {
public:
    StandinDatabase()
    {
        const char* socketDir = std::getenv("TABLEHOP_TEST_PG_SOCKET_DIR");
        const ConnectionProfile db2 = DB2TestProfile();
        std::string database = db2.database;
        for (char& c : database)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
        const char* values[] = {socketDir ? socketDir : "", std::getenv("TABLEHOP_TEST_DB2_PORT"),
                                database.c_str(),           db2.user.c_str(),
                                db2.password.c_str(),       nullptr};
        pg_.reset(PQconnectdbParams(keys, values, 0));
        if (!socketDir || PQstatus(pg_.get()) != CONNECTION_OK)
            ADD_FAILURE() << "PostgreSQL under the DB2 stand-in: " << PQerrorMessage(pg_.get());
    }

    std::string value(const std::string& sql)
    {
        std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(pg_.get(), sql.c_str()), PQclear);
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) != 1)
            return std::string("failed: ") + PQerrorMessage(pg_.get());
        return PQgetvalue(result.get(), 0, 0);
    }

private:
    std::unique_ptr<PGconn, decltype(&PQfinish)> pg_ {nullptr, PQfinish};
};

TEST_F(TypeMatrix, EveryDB2TypeThroughEveryReadingPathComesBackUnchanged)
{
    StandinDatabase pg;
    const std::string schema = "\"" + QueryValue(db2, "VALUES CURRENT SCHEMA").value_or("") + "\"";
    for (const ReadingPath& path : kDb2Paths) {
        for (const bool longValues : {false, true}) {
            SCOPED_TRACE(std::string(path.name) + (longValues ? ", long values" : ", bound arrays"));
            dropAll();
            std::string create = "CREATE TABLE \"tm_all\"(ID INTEGER NOT NULL", names = "ID";
            std::vector<size_t> columns;
            for (size_t c = 0; c < std::size(kDb2Columns); ++c) {
                if (kDb2Columns[c].longValues && !longValues)
                    continue;
                columns.push_back(c);
                create += std::string(", ") + kDb2Columns[c].name + " " + kDb2Columns[c].type;
                names += std::string(", ") + kDb2Columns[c].name;
            }
            db2.execute(create + path.keyAndEngine);
            for (long long first = 1; first <= kRows; first += 100) {
                std::string insert = "INSERT INTO \"tm_all\"(" + names + ") VALUES ";
                for (long long s = first; s < first + 100; ++s) {
                    insert += (s == first ? "(" : ", (") + std::to_string(s);
                    for (const size_t c : columns)
                        insert += ", " + (s % 7 == static_cast<long long>(c % 7) ? "NULL" : kDb2Columns[c].value(s));
                    insert += ")";
                }
                db2.execute(insert);
            }
            ASSERT_EQ(QueryValue(db2, "SELECT COUNT(*) FROM \"tm_all\""), std::to_string(kRows));

            ASSERT_NO_FATAL_FAILURE(send(TransferDirection::DB2ToMySQL, path.streams));
            db2.execute("RENAME TABLE \"tm_all\" TO \"tm_orig\"");
            ASSERT_NO_FATAL_FAILURE(send(TransferDirection::MySQLToDB2, path.streams));

            for (const size_t c : columns) {
                const Db2MatrixColumn& column = kDb2Columns[c];
                auto read = [&](std::string expression, const char* table) {
                    const std::string ref = std::string(table) + ".\"" + column.name + "\"";
                    for (size_t at; (at = expression.find('$')) != std::string::npos;)
                        expression.replace(at, 1, ref);
                    return expression;
                };
                EXPECT_EQ(pg.value("SELECT COUNT(*) FROM " + schema + ".\"tm_orig\" o LEFT JOIN " + schema
                                   + ".\"tm_all\" n ON n.\"ID\" = o.\"ID\" WHERE n.\"ID\" IS NULL OR "
                                   + read(column.original, "o") + " IS DISTINCT FROM " + read(column.returned, "n")),
                          "0")
                    << column.name << " " << column.type;
            }
        }
    }
}

}  // namespace
