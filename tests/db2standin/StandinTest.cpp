// The DB2 stand-in driver seen through unixODBC, against the real PostgreSQL test server.
#include "OdbcHelpers.h"

#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <tuple>

using namespace standintest;

namespace {

// IBM CLI attribute and SQL types (sqlcli1.h).
constexpr SQLINTEGER kAttrParamoptAtomic = 1260;
constexpr SQLSMALLINT kSqlClob = -99, kSqlBlob = -98;

// Sets an environment variable for the connections opened while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Runs a one-parameter INSERT with the given binding; the diagnostics when it fails.
SQLRETURN insertOne(Statement& s, const std::string& sql, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size,
                    std::string& value)
{
    SQLLEN len = static_cast<SQLLEN>(value.size());
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    std::u16string text = u16(sql);
    if (!SQL_SUCCEEDED(SQLPrepareW(s.h(), W(text), SQL_NTS)))
        return SQL_ERROR;
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, cType, sqlType, size, 0, value.data(), len, &len);
    return SQLExecute(s.h());
}

class Standin : public ::testing::Test {
protected:
    void SetUp() override
    {
        conn.connectOrFail();
        ASSERT_FALSE(HasFatalFailure());
    }
    // Drops a table left over by an earlier run; a missing one is fine.
    void dropIfExists(const std::string& name)
    {
        Statement s(conn);
        s.exec("DROP TABLE " + name);
    }
    Connection conn;
};

int refusedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

}  // namespace

// ------------------------------------------------------------------ logins

TEST(StandinLogin, GoodLoginWithBlanksAroundPassword)
{
    Connection c;
    std::string cs = connectionString(env("TABLEHOP_TEST_DB2_USER"), "  " + env("TABLEHOP_TEST_DB2_PASSWORD") + " ",
                                      env("TABLEHOP_TEST_DB2_SERVER"), env("TABLEHOP_TEST_DB2_PORT"),
                                      env("TABLEHOP_TEST_DB2_DATABASE"));
    // Keywords in any case.
    cs.replace(cs.find("Hostname"), 8, "HOSTNAME");
    ASSERT_TRUE(SQL_SUCCEEDED(c.connect(cs))) << c.lastError();
    SQLWCHAR name[64];
    SQLSMALLINT len = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLGetInfoW(c.dbc(), SQL_DBMS_NAME, name, sizeof name, &len)));
    EXPECT_EQ(utf8(std::u16string(reinterpret_cast<char16_t*>(name))), "DB2/LINUXX8664");
    Statement s(c);
    EXPECT_EQ(s.scalar("VALUES CURRENT SCHEMA"), upperAscii(env("TABLEHOP_TEST_DB2_USER")));
    EXPECT_EQ(s.scalar("SELECT CURRENT SCHEMA FROM SYSIBM.SYSDUMMY1"), upperAscii(env("TABLEHOP_TEST_DB2_USER")));
}

struct BadLogin {
    const char* what;
    std::string user, password, host, port, database;
    const char* state;
    int native;
    const char* messagePart;
};

TEST(StandinLogin, BadLoginsReportDb2Errors)
{
    std::string user = env("TABLEHOP_TEST_DB2_USER"), pw = env("TABLEHOP_TEST_DB2_PASSWORD"),
                host = env("TABLEHOP_TEST_DB2_SERVER"), port = env("TABLEHOP_TEST_DB2_PORT"),
                db = env("TABLEHOP_TEST_DB2_DATABASE");
    std::vector<BadLogin> cases = {
        {"wrong password", user, "wrong-pw", host, port, db, "08001", -30082,
         "SQL30082N  Security processing failed with reason \"24\" (\"USERNAME AND/OR PASSWORD INVALID\")"},
        {"unknown user", "nosuchuser", pw, host, port, db, "08001", -30082, "SQL30082N"},
        {"unknown host", user, pw, "no-such-host.invalid", port, db, "08001", -1336,
         "SQL1336N  The remote host \"no-such-host.invalid\" was not found."},
        {"refused port", user, pw, "127.0.0.1", std::to_string(refusedPort()), db, "08001", -30081, "\"111\""},
        {"unknown database", user, pw, host, port, "NOSUCHDB", "08004", -30061,
         "SQL30061N  The database alias or database name \"NOSUCHDB\" was not found at the remote node."},
        {"no host name", user, pw, "", port, db, "08001", -1013, "SQL1013N"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Connection conn;
        std::string cs = connectionString(c.user, c.password, c.host, c.port, c.database);
        if (c.host.empty())
            cs.replace(cs.find("Hostname=;"), 10, "");
        EXPECT_EQ(conn.connect(cs), SQL_ERROR);
        auto d = diagnostics(SQL_HANDLE_DBC, conn.dbc());
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, c.state);
        EXPECT_EQ(d[0].native, c.native);
        EXPECT_EQ(d[0].message.rfind("[IBM][CLI Driver]", 0), 0u) << d[0].message;
        EXPECT_NE(d[0].message.find(c.messagePart), std::string::npos) << d[0].message;
    }
}

// ------------------------------------------------------------- type words

TEST_F(Standin, CreateTableAcceptsDb2Types)
{
    const char* types[]
        = {"SMALLINT", "INTEGER", "INT", "BIGINT", "DECIMAL(31,10)", "DEC(5)", "NUMERIC(12,2)", "NUM(3,1)", "REAL",
           "DOUBLE", "DOUBLE PRECISION", "FLOAT(10)", "FLOAT(40)", "DECFLOAT(16)", "DECFLOAT(34)", "CHAR(255)",
           "CHARACTER(1)", "VARCHAR(32672)", "LONG VARCHAR", "CLOB", "CLOB(1M)", "CLOB(2G)", "GRAPHIC(127)",
           "VARGRAPHIC(16336)", "LONG VARGRAPHIC", "DBCLOB(1000)", "BLOB(2G)", "BINARY(255)", "VARBINARY(32672)",
           "CHAR(16) FOR BIT DATA", "VARCHAR(100) FOR BIT DATA", "DATE", "TIME", "TIMESTAMP", "TIMESTAMP(0)",
           "TIMESTAMP(12)", "BOOLEAN", "XML",
           // String units: characters (CODEUNITS32) have limits of their own.
           "CHAR(63 CODEUNITS32)", "VARCHAR(8168 CODEUNITS32)", "CLOB(536870911 CODEUNITS32)", "CLOB(1K OCTETS)",
           "VARGRAPHIC(10 CODEUNITS16)"};
    // The longest VARCHARs need a 32K page.
    ScopedEnv page("DB2STANDIN_PAGE_SIZE", "32K");
    Connection big;
    big.connectOrFail();
    Statement s(big);
    for (const char* t : types) {
        SCOPED_TRACE(t);
        dropIfExists("SI_TYPES");
        s.ok(std::string("CREATE TABLE SI_TYPES (C ") + t + " NOT NULL)");
        s.ok("DROP TABLE SI_TYPES");
    }
}

TEST_F(Standin, CreateTableRefusesOtherTypes)
{
    struct Case {
        const char* type;
        const char* state;
        int native;
        const char* name;
    } cases[] = {
        {"DATETIME", "42704", -204, "\"DATETIME\" is an undefined name."},
        {"TEXT", "42704", -204, "\"TEXT\" is an undefined name."},
        {"BIT", "42704", -204, "\"BIT\""},
        {"TINYINT", "42704", -204, "\"TINYINT\""},
        {"MEDIUMTEXT", "42704", -204, "\"MEDIUMTEXT\""},
        {"LONGBLOB", "42704", -204, "\"LONGBLOB\""},
        {"CURRENCY", "42704", -204, "\"CURRENCY\""},
        {"OLEOBJECT", "42704", -204, "\"OLEOBJECT\""},
        {"VARCHAR", "42704", -204, "\"VARCHAR\""},
        {"CHAR(256)", "42611", -604, "SQL0604N"},
        {"VARCHAR(32673)", "42611", -604, "SQL0604N"},
        {"DECIMAL(32,2)", "42611", -604, "SQL0604N"},
        {"GRAPHIC(128)", "42611", -604, "SQL0604N"},
        {"TIMESTAMP(13)", "42611", -604, "SQL0604N"},
        {"DECFLOAT(20)", "42611", -604, "SQL0604N"},
        {"VARCHAR(8169 CODEUNITS32)", "42611", -604, "SQL0604N"},
        {"CHAR(64 CODEUNITS32)", "42611", -604, "SQL0604N"},
        {"VARCHAR(5 CODEUNITS16)", "42601", -104, "SQL0104N  An unexpected token \"CODEUNITS16\""},
        // Keys: NOT NULL columns only, and none of LOB, LONG or XML type.
        {"INTEGER PRIMARY KEY", "42831", -542, "SQL0542N  The column named \"C\""},
        {"INTEGER, PRIMARY KEY (C)", "42831", -542, "SQL0542N"},
        {"CLOB(1M) NOT NULL PRIMARY KEY", "42962", -350, "SQL0350N"},
        {"LONG VARCHAR NOT NULL, CONSTRAINT K PRIMARY KEY (C)", "42962", -350, "SQL0350N"},
    };
    Statement s(conn);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        dropIfExists("SI_BADTYPE");
        EXPECT_EQ(s.exec(std::string("CREATE TABLE SI_BADTYPE (C ") + c.type + ")"), SQL_ERROR);
        auto d = s.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, c.state);
        EXPECT_EQ(d[0].native, c.native);
        EXPECT_EQ(d[0].message.rfind("[IBM][CLI Driver][DB2/LINUXX8664] ", 0), 0u) << d[0].message;
        EXPECT_NE(d[0].message.find(c.name), std::string::npos) << d[0].message;
    }
}

// ---------------------------------------------------------- identifiers

TEST_F(Standin, IdentifiersFoldAndQuotedOnesKeepTheirCase)
{
    dropIfExists("SI_FOLD");
    dropIfExists("\"si fold \"\"q\"\" `b` 'a' é\"");
    Statement s(conn);
    s.ok("create table si_fold (lower_col int, \"Mixed Col\" int, \"q\"\"x\" int)");
    s.ok("insert into Si_Fold values (1, 2, 3)");
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT * FROM \"SI_FOLD\"")));
    std::vector<std::string> names;
    for (SQLUSMALLINT c = 1; c <= 3; ++c) {
        SQLWCHAR name[64];
        SQLSMALLINT len = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLDescribeColW(s.h(), c, name, 64, &len, &type, &size, &digits, &nullable)));
        names.push_back(utf8(std::u16string(reinterpret_cast<char16_t*>(name), len)));
    }
    EXPECT_EQ(names, (std::vector<std::string> {"LOWER_COL", "Mixed Col", "q\"x"}));
    EXPECT_EQ(s.scalar("SELECT \"Mixed Col\" + LOWER_COL FROM SI_FOLD"), "3");
    EXPECT_EQ(s.exec("SELECT mixed_col FROM si_fold"), SQL_ERROR);
    // A quoted table name with blanks, quotes, backquotes, apostrophes and accents.
    s.ok("CREATE TABLE \"si fold \"\"q\"\" `b` 'a' é\" (\"v\" VARCHAR(10))");
    s.ok("INSERT INTO \"si fold \"\"q\"\" `b` 'a' é\" VALUES ('it''s')");
    EXPECT_EQ(s.scalar("SELECT \"v\" FROM \"si fold \"\"q\"\" `b` 'a' é\""), "it's");
    s.ok("DROP TABLE \"si fold \"\"q\"\" `b` 'a' é\"");
    s.ok("DROP TABLE SI_FOLD");
}

TEST_F(Standin, DropOfMissingTable)
{
    Statement s(conn);
    EXPECT_EQ(s.exec("DROP TABLE SI_NOT_THERE"), SQL_ERROR);
    auto d = s.diags();
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d[0].state, "42S02");
    EXPECT_EQ(d[0].native, -204);
    EXPECT_NE(d[0].message.find("SQL0204N  \"" + upperAscii(env("TABLEHOP_TEST_DB2_USER"))
                                + ".SI_NOT_THERE\" is an undefined name."),
              std::string::npos)
        << d[0].message;
}

// Names longer than the server keeps are refused, never cut short.
TEST_F(Standin, OverlongNamesAreRefused)
{
    const std::string fits(63, 'N'), tooLong(64, 'N');
    dropIfExists(fits);
    Statement s(conn);
    s.ok("CREATE TABLE \"" + fits + "\" (\"" + tooLong.substr(1) + "\" INTEGER)");
    for (const std::string& sql :
         {"CREATE TABLE \"" + tooLong + "\" (A INTEGER)", "CREATE TABLE SI_LONGCOL (" + tooLong + " INTEGER)",
          "SELECT \"" + tooLong + "\" FROM \"" + fits + "\""}) {
        EXPECT_EQ(s.exec(sql), SQL_ERROR) << sql;
        auto d = s.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, "42622");
        EXPECT_EQ(d[0].native, -107);
    }
    s.ok("DROP TABLE \"" + fits + "\"");
}

TEST_F(Standin, RenameTable)
{
    dropIfExists("SI_REN_A");
    dropIfExists("SI_REN_B");
    dropIfExists("SI_REN_C");
    Statement s(conn);
    s.ok("CREATE TABLE SI_REN_A (X INT)");
    s.ok("CREATE TABLE SI_REN_C (X INT)");
    s.ok("RENAME TABLE SI_REN_A TO SI_REN_B");
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_REN_B"), "0");
    struct Case {
        const char *sql, *state;
        int native;
    } cases[] = {{"RENAME TABLE SI_REN_A TO SI_REN_D", "42704", -204}, {"RENAME SI_REN_B TO SI_REN_C", "42710", -601}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(s.exec(c.sql), SQL_ERROR);
        auto d = s.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, c.state);
        EXPECT_EQ(d[0].native, c.native);
    }
    s.ok("DROP TABLE SI_REN_B");
    s.ok("DROP TABLE SI_REN_C");
}

// A table in a referential constraint (parent or child), or one that a view
// or a trigger uses, keeps its name: SQL0750N, as DB2 answers (views and
// triggers: as with auto_reval DISABLED, the stricter setting).
TEST_F(Standin, RenameRefusedForATableOthersUse)
{
    Statement s(conn);
    const auto reset = [&] {
        s.exec("DROP VIEW SI_RN_VIEW");
        s.exec("DROP FUNCTION SI_RN_COUNT");
        for (const char* table : {"SI_RN_CHILD", "SI_RN_LOG", "SI_RN_T", "SI_RN_NEW"})
            dropIfExists(table);
    };
    struct Case {
        const char* what;
        std::vector<std::string> setup;
    };
    const std::vector<Case> cases {
        {"parent of a foreign key",
         {"CREATE TABLE SI_RN_CHILD (P INT, CONSTRAINT SI_RN_FK FOREIGN KEY (P) REFERENCES SI_RN_T (ID))"}},
        {"child of a foreign key",
         {"DROP TABLE SI_RN_T", "CREATE TABLE SI_RN_CHILD (ID INT NOT NULL PRIMARY KEY)",
          "CREATE TABLE SI_RN_T (ID INT NOT NULL PRIMARY KEY, P INT, CONSTRAINT SI_RN_FK FOREIGN KEY (P) "
          "REFERENCES SI_RN_CHILD (ID))"}},
        {"read by a view", {"CREATE VIEW SI_RN_VIEW AS SELECT ID FROM SI_RN_T"}},
        {"subject of a trigger",
         {"CREATE TABLE SI_RN_LOG (ID INT)",
          "CREATE TRIGGER SI_RN_TRG AFTER DELETE ON SI_RN_T REFERENCING OLD AS O FOR EACH ROW "
          "INSERT INTO SI_RN_LOG VALUES (O.ID)"}},
        {"used by an SQL function",
         {"CREATE FUNCTION SI_RN_COUNT () RETURNS INTEGER LANGUAGE SQL READS SQL DATA NO EXTERNAL ACTION "
          "RETURN SELECT COUNT(*) FROM SI_RN_T"}},
        {"used by a trigger on another table",
         {"CREATE TABLE SI_RN_LOG (ID INT)",
          "CREATE TRIGGER SI_RN_TRG AFTER INSERT ON SI_RN_LOG FOR EACH ROW DELETE FROM SI_RN_T"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset();
        s.ok("CREATE TABLE SI_RN_T (ID INT NOT NULL PRIMARY KEY)");
        for (const auto& sql : c.setup)
            s.ok(sql);
        EXPECT_EQ(s.exec("RENAME TABLE SI_RN_T TO SI_RN_NEW"), SQL_ERROR);
        auto d = s.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, "42986");
        EXPECT_EQ(d[0].native, -750);
        EXPECT_NE(d[0].message.find("SQL0750N"), std::string::npos) << d[0].message;
        EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SYSCAT.TABLES WHERE TABNAME = 'SI_RN_T'"), "1");
        if (std::string(c.what) == "used by an SQL function") {
            EXPECT_EQ(s.query("SELECT R.ROUTINENAME, D.BTYPE, D.BNAME FROM SYSCAT.ROUTINEDEP D JOIN SYSCAT.ROUTINES R"
                              " ON R.ROUTINESCHEMA = D.ROUTINESCHEMA AND R.SPECIFICNAME = D.SPECIFICNAME"
                              " WHERE D.BNAME = 'SI_RN_T'"),
                      (std::vector<std::vector<std::string>> {{"SI_RN_COUNT", "T", "SI_RN_T"}}));
        }
    }
    // Triggers are listed with what they use; without them the table may be renamed.
    EXPECT_EQ(s.query("SELECT TRIGNAME, TABNAME, TRIGTIME, TRIGEVENT, GRANULARITY FROM SYSCAT.TRIGGERS"
                      " WHERE TRIGNAME = 'SI_RN_TRG'"),
              (std::vector<std::vector<std::string>> {{"SI_RN_TRG", "SI_RN_LOG", "A", "I", "R"}}));
    EXPECT_EQ(s.query("SELECT BNAME FROM SYSCAT.TRIGDEP WHERE TRIGNAME = 'SI_RN_TRG' ORDER BY 1"),
              (std::vector<std::vector<std::string>> {{"SI_RN_LOG"}, {"SI_RN_T"}}));
    s.ok("DROP TRIGGER SI_RN_TRG");
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SYSCAT.TRIGDEP WHERE TRIGNAME = 'SI_RN_TRG'"), "0");
    s.ok("RENAME TABLE SI_RN_T TO SI_RN_NEW");
    reset();
    // A row change timestamp is the table's own column, not a trigger of the user's.
    s.ok("CREATE TABLE SI_RN_T (ID INT, CHANGED TIMESTAMP NOT NULL GENERATED ALWAYS FOR EACH ROW ON UPDATE AS ROW "
         "CHANGE TIMESTAMP)");
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SYSCAT.TRIGGERS WHERE TABNAME = 'SI_RN_T'"), "0");
    s.ok("RENAME TABLE SI_RN_T TO SI_RN_NEW");
    reset();
}

// A trigger's statements run as DB2 runs them, with the correlation names
// given; its SIGNAL refuses the row with SQL0438N and the SQLSTATE signalled.
TEST_F(Standin, TriggerStatementsRunWithTheirCorrelationNames)
{
    Statement s(conn);
    for (const char* table : {"SI_TG_LOG", "SI_TG_T"})
        dropIfExists(table);
    s.ok("CREATE TABLE SI_TG_T (ID INT, NAME VARCHAR(10))");
    s.ok("CREATE TABLE SI_TG_LOG (ID INT, WHAT VARCHAR(10))");
    s.ok("CREATE TRIGGER SI_TG_DEL AFTER DELETE ON SI_TG_T REFERENCING OLD AS O FOR EACH ROW MODE DB2SQL "
         "INSERT INTO SI_TG_LOG VALUES (O.ID, 'deleted')");
    s.ok("CREATE TRIGGER SI_TG_INS NO CASCADE BEFORE INSERT ON SI_TG_T REFERENCING NEW AS N FOR EACH ROW "
         "WHEN (N.NAME IS NULL) BEGIN ATOMIC SET N.NAME = 'none'; END");
    s.ok("CREATE TRIGGER SI_TG_NO BEFORE INSERT ON SI_TG_T REFERENCING NEW AS N FOR EACH ROW WHEN (N.ID = 3) "
         "SIGNAL SQLSTATE '75001' SET MESSAGE_TEXT = 'no 3'");
    s.ok("INSERT INTO SI_TG_T VALUES (1, NULL), (2, 'two')");
    EXPECT_EQ(s.exec("INSERT INTO SI_TG_T VALUES (3, 'three')"), SQL_ERROR);
    const auto refused = s.diags();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].state, "75001");
    EXPECT_EQ(refused[0].native, -438);
    EXPECT_NE(refused[0].message.find("SQL0438N  Application raised error or warning with diagnostic text: \"no 3\"."),
              std::string::npos)
        << refused[0].message;
    s.ok("DELETE FROM SI_TG_T WHERE ID = 2");
    EXPECT_EQ(s.query("SELECT ID, NAME FROM SI_TG_T"), (std::vector<std::vector<std::string>> {{"1", "none"}}));
    EXPECT_EQ(s.query("SELECT ID, WHAT FROM SI_TG_LOG"), (std::vector<std::vector<std::string>> {{"2", "deleted"}}));
    s.ok("DROP TABLE SI_TG_T");
    s.ok("DROP TABLE SI_TG_LOG");
}

// DROP TABLE keeps the views that read the table, directly or through
// another view, as inoperative views: listed, unusable, until CREATE VIEW
// replaces or DROP VIEW removes them.
TEST_F(Standin, DropLeavesDependentViewsInoperative)
{
    Statement s(conn);
    s.exec("DROP VIEW SI_IV_OUTER");
    s.exec("DROP VIEW SI_IV_INNER");
    dropIfExists("SI_IV_T");
    s.ok("CREATE TABLE SI_IV_T (X INT)");
    s.ok("CREATE VIEW SI_IV_INNER AS SELECT X FROM SI_IV_T");
    s.ok("CREATE VIEW SI_IV_OUTER AS SELECT X FROM SI_IV_INNER");
    EXPECT_EQ(s.query("SELECT VIEWNAME, VALID FROM SYSCAT.VIEWS WHERE VIEWNAME LIKE 'SI_IV_%' ORDER BY 1"),
              (std::vector<std::vector<std::string>> {{"SI_IV_INNER", "Y"}, {"SI_IV_OUTER", "Y"}}));
    s.ok("DROP TABLE SI_IV_T");
    EXPECT_EQ(s.query("SELECT VIEWNAME, VALID FROM SYSCAT.VIEWS WHERE VIEWNAME LIKE 'SI_IV_%' ORDER BY 1"),
              (std::vector<std::vector<std::string>> {{"SI_IV_INNER", "X"}, {"SI_IV_OUTER", "X"}}));
    EXPECT_NE(s.scalar("SELECT TEXT FROM SYSCAT.VIEWS WHERE VIEWNAME = 'SI_IV_INNER'").find("SI_IV_T"),
              std::string::npos);
    std::u16string pattern = u16("SI\\_IV\\_%");
    SQLFreeStmt(s.h(), SQL_CLOSE);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLTablesW(s.h(), nullptr, 0, nullptr, 0, W(pattern), SQL_NTS, nullptr, 0)))
        << s.errors();
    const auto listed = s.rows();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0][3], "INOPERATIVE VIEW");
    EXPECT_EQ(listed[1][3], "INOPERATIVE VIEW");
    for (const char* view : {"SI_IV_INNER", "SI_IV_OUTER"}) {
        SCOPED_TRACE(view);
        EXPECT_EQ(s.exec(std::string("SELECT * FROM ") + view), SQL_ERROR);
        auto d = s.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, "51024");
        EXPECT_EQ(d[0].native, -575);
        EXPECT_NE(d[0].message.find("SQL0575N"), std::string::npos) << d[0].message;
    }
    // The name is taken until the view is replaced or dropped.
    EXPECT_EQ(s.exec("CREATE TABLE SI_IV_INNER (Y INT)"), SQL_ERROR);
    s.ok("CREATE VIEW SI_IV_INNER AS SELECT 1 AS Y FROM SYSIBM.SYSDUMMY1");
    EXPECT_EQ(s.scalar("SELECT Y FROM SI_IV_INNER"), "1");
    s.ok("DROP VIEW SI_IV_OUTER");
    EXPECT_EQ(s.query("SELECT VIEWNAME, VALID FROM SYSCAT.VIEWS WHERE VIEWNAME LIKE 'SI_IV_%' ORDER BY 1"),
              (std::vector<std::vector<std::string>> {{"SI_IV_INNER", "Y"}}));
    s.ok("DROP VIEW SI_IV_INNER");
}

// --------------------------------------------------------- implicit casts

TEST_F(Standin, ImplicitCastsOfStringLiterals)
{
    dropIfExists("SI_CAST");
    Statement s(conn);
    s.ok("CREATE TABLE SI_CAST (I INTEGER, D DECIMAL(8,2), DT DATE, T TIME, TS TIMESTAMP, B BOOLEAN, C CHAR(3), V "
         "VARCHAR(4), L LONG VARCHAR, "
         "U VARCHAR(3 CODEUNITS32), UC CHAR(2 CODEUNITS32))");
    struct Case {
        const char *column, *literal, *expected;  // expected text, or SQLSTATE when it starts with '#'
    } cases[] = {
        {"I", "' 42 '", "42"},
        {"I", "''", "#22018"},
        {"I", "'abc'", "#22018"},
        {"D", "'  1.5'", "1.50"},
        {"D", "'x1'", "#22018"},
        {"DT", "'2021-03-04'", "2021-03-04"},
        {"DT", "'03/04/2021'", "2021-03-04"},
        {"DT", "'04.03.2021'", "2021-03-04"},
        {"DT", "'2021/03/04'", "#22007"},
        {"DT", "'yesterday'", "#22007"},
        {"T", "'13:14:15'", "13:14:15"},
        {"T", "'13.14.15'", "13:14:15"},
        {"T", "'1314'", "#22007"},
        {"TS", "'2021-03-04-13.14.15.123456'", "2021-03-04 13:14:15.123456"},
        {"TS", "'2021-03-04 13:14:15.5'", "2021-03-04 13:14:15.500000"},
        {"TS", "'2021-03-04 25'", "#22007"},
        {"B", "'yes'", "1"},
        {"B", "'off'", "0"},
        {"B", "'True'", "#22018"},
        {"B", "'t'", "1"},
        {"B", "'0'", "0"},
        {"B", "1", "1"},
        {"B", "'maybe'", "#22018"},
        {"C", "'abcd'", "#22001"},
        {"C", "'ab'", "ab "},
        {"V", "'abcde'", "#22001"},
        {"V", "'éé'", "éé"},
        {"V", "'ééé'", "#22001"},
        {"U", "'é😀ü'", "é😀ü"},
        {"U", "'é😀üa'", "#22001"},
        {"U", "'aé😀  '", "aé😀"},
        {"UC", "'😀'", "😀 "},
        {"UC", "'😀😀😀'", "#22001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " <- " + c.literal);
        s.ok("DELETE FROM SI_CAST");
        SQLRETURN r = s.exec(std::string("INSERT INTO SI_CAST (") + c.column + ") VALUES (" + c.literal + ")");
        if (c.expected[0] == '#') {
            EXPECT_EQ(r, SQL_ERROR);
            auto d = s.diags();
            ASSERT_FALSE(d.empty());
            EXPECT_EQ(d[0].state, c.expected + 1) << d[0].message;
            EXPECT_EQ(d[0].message.rfind("[IBM][CLI Driver][DB2/LINUXX8664] SQL", 0), 0u) << d[0].message;
        } else {
            ASSERT_TRUE(SQL_SUCCEEDED(r)) << s.errors();
            EXPECT_EQ(s.scalar(std::string("SELECT ") + c.column + " FROM SI_CAST"), c.expected);
        }
    }
    // LONG VARCHAR holds at most 32,700 bytes.
    s.ok("DELETE FROM SI_CAST");
    EXPECT_TRUE(SQL_SUCCEEDED(s.exec("INSERT INTO SI_CAST (L) VALUES ('" + std::string(32700, 'x') + "')")))
        << s.errors();
    EXPECT_EQ(s.exec("INSERT INTO SI_CAST (L) VALUES ('" + std::string(32701, 'x') + "')"), SQL_ERROR);
    EXPECT_EQ(s.diags().at(0).state, "22001");
    s.ok("DROP TABLE SI_CAST");
}

// ------------------------------------------------------------ transactions

TEST_F(Standin, FailedStatementLeavesTheUnitOfWork)
{
    dropIfExists("SI_TXN");
    Statement s(conn);
    s.ok("CREATE TABLE SI_TXN (X INT)");
    ASSERT_TRUE(SQL_SUCCEEDED(
        SQLSetConnectAttr(conn.dbc(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)));
    s.ok("INSERT INTO SI_TXN VALUES (1)");
    EXPECT_EQ(s.exec("INSERT INTO SI_TXN VALUES ('bad')"), SQL_ERROR);
    s.ok("INSERT INTO SI_TXN VALUES (2)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, conn.dbc(), SQL_COMMIT)));
    s.ok("INSERT INTO SI_TXN VALUES (3)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, conn.dbc(), SQL_ROLLBACK)));
    EXPECT_EQ(s.query("SELECT X FROM SI_TXN ORDER BY X"), (std::vector<std::vector<std::string>> {{"1"}, {"2"}}));
    SQLEndTran(SQL_HANDLE_DBC, conn.dbc(), SQL_COMMIT);
    SQLSetConnectAttr(conn.dbc(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    // Autocommit: another connection sees the row at once.
    s.ok("INSERT INTO SI_TXN VALUES (4)");
    Connection other;
    other.connectOrFail();
    Statement o(other);
    EXPECT_EQ(o.scalar("SELECT COUNT(*) FROM SI_TXN"), "3");
    s.ok("DROP TABLE SI_TXN");
}

// DB2 runs DDL inside a unit of work: a DROP and a RENAME commit or roll back
// together. Without waiting for locks, a statement meeting another unit of
// work's lock fails at once with SQL0911N and ends its own unit of work.
TEST_F(Standin, DdlInAUnitOfWorkAndLockTimeouts)
{
    dropIfExists("SI_SWAP_OLD");
    dropIfExists("SI_SWAP_NEW");
    dropIfExists("SI_SWAP_LOG");
    Statement s(conn);
    s.ok("CREATE TABLE SI_SWAP_OLD (X INT)");
    s.ok("INSERT INTO SI_SWAP_OLD VALUES (1)");
    s.ok("CREATE TABLE SI_SWAP_NEW (X INT)");
    s.ok("INSERT INTO SI_SWAP_NEW VALUES (2)");
    s.ok("CREATE TABLE SI_SWAP_LOG (X INT)");
    auto autocommit = [&](Connection& c, bool on) {
        ASSERT_TRUE(SQL_SUCCEEDED(
            SQLSetConnectAttr(c.dbc(), SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0)));
    };
    autocommit(conn, false);
    for (SQLSMALLINT end : {SQL_ROLLBACK, SQL_COMMIT}) {
        s.ok("DROP TABLE SI_SWAP_OLD");
        s.ok("RENAME SI_SWAP_NEW TO SI_SWAP_OLD");
        ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, conn.dbc(), end)));
        EXPECT_EQ(s.scalar("SELECT X FROM SI_SWAP_OLD"), end == SQL_ROLLBACK ? "1" : "2");
        SQLEndTran(SQL_HANDLE_DBC, conn.dbc(), SQL_COMMIT);
    }

    // conn holds a table lock from a query in its open unit of work.
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_SWAP_OLD"), "1");
    Connection other;
    other.connectOrFail();
    Statement o(other);
    for (const char* sql :
         {"SET CURRENT LOCK TIMEOUT WAIT 5", "SET CURRENT LOCK TIMEOUT = -1", "SET CURRENT LOCK TIMEOUT WAIT",
          "SET CURRENT LOCK TIMEOUT NULL", "SET CURRENT LOCK TIMEOUT = NOT WAIT"})
        o.ok(sql);
    EXPECT_EQ(o.exec("SET CURRENT LOCK TIMEOUT SOON"), SQL_ERROR);
    EXPECT_EQ(o.diags().at(0).state, "42601");
    autocommit(other, false);
    o.ok("INSERT INTO SI_SWAP_LOG VALUES (1)");
    EXPECT_EQ(o.exec("DROP TABLE SI_SWAP_OLD"), SQL_ERROR);
    auto d = o.diags();
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d[0].state, "40001");
    EXPECT_EQ(d[0].native, -911);
    EXPECT_NE(d[0].message.find("\"68\""), std::string::npos) << d[0].message;
    EXPECT_EQ(o.scalar("SELECT COUNT(*) FROM SI_SWAP_LOG"), "0");  // the whole unit of work went
    SQLEndTran(SQL_HANDLE_DBC, other.dbc(), SQL_ROLLBACK);
    autocommit(other, true);
    o.ok("SET CURRENT LOCK TIMEOUT NULL");
    SQLEndTran(SQL_HANDLE_DBC, conn.dbc(), SQL_COMMIT);
    autocommit(conn, true);
    s.ok("DROP TABLE SI_SWAP_OLD");
    s.ok("DROP TABLE SI_SWAP_LOG");
}

// Isolation RR (TxnIsolation=8 in the connection text or in db2cli.ini) keeps
// a query's table lock until the unit of work ends, against every writer;
// WITH UR takes a lock that only DROP and RENAME wait for.
TEST_F(Standin, RepeatableReadQueriesKeepWritersOut)
{
    dropIfExists("SI_RR");
    Statement s(conn);
    s.ok("CREATE TABLE SI_RR (X INT)");
    char dir[] = "/tmp/si_cliini_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string ini = std::string(dir) + "/db2cli.ini";
    std::ofstream(ini) << "[COMMON]\nTxnIsolation=8\n[OTHERDB]\nTxnIsolation=2\n";
    struct Case {
        const char* cliIniPath;      // nullptr: none
        const char* connectionText;  // added to the login
        const char* query;
        bool writersWait;
    } cases[] = {
        {nullptr, "", "SELECT COUNT_BIG(*) FROM SI_RR", false},
        {nullptr, "TxnIsolation=8;", "SELECT COUNT_BIG(*) FROM SI_RR", true},
        {dir, "", "SELECT COUNT_BIG(*) FROM SI_RR", true},
        {ini.c_str(), "", "SELECT COUNT_BIG(*) FROM SI_RR s WHERE s.X > 0", true},
        {dir, "TxnIsolation=2;", "SELECT COUNT_BIG(*) FROM SI_RR", false},
        {dir, "", "SELECT COUNT_BIG(*) FROM SI_RR WITH UR", false},
        {nullptr, "", "SELECT COUNT_BIG(*) FROM SI_RR WITH RR", true},
    };
    Connection writer;
    writer.connectOrFail();
    Statement w(writer);
    w.ok("SET CURRENT LOCK TIMEOUT NOT WAIT");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.connectionText) + c.query + (c.cliIniPath ? " with db2cli.ini" : ""));
        std::optional<ScopedEnv> cliIni;
        if (c.cliIniPath)
            cliIni.emplace("DB2CLIINIPATH", c.cliIniPath);
        Connection reader;
        ASSERT_TRUE(SQL_SUCCEEDED(reader.connect(defaultConnectionString() + c.connectionText))) << reader.lastError();
        ASSERT_TRUE(SQL_SUCCEEDED(
            SQLSetConnectAttr(reader.dbc(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)));
        Statement r(reader);
        EXPECT_EQ(r.scalar(c.query), "0");
        const SQLRETURN inserted = w.exec("INSERT INTO SI_RR VALUES (1)");
        if (c.writersWait) {
            ASSERT_EQ(inserted, SQL_ERROR);
            EXPECT_EQ(w.diags().at(0).native, -911);
        } else {
            EXPECT_EQ(inserted, SQL_SUCCESS) << w.errors();
            w.ok("DELETE FROM SI_RR");
        }
        EXPECT_EQ(w.exec("DROP TABLE SI_RR"), SQL_ERROR);  // a Z lock waits for every reader
        SQLEndTran(SQL_HANDLE_DBC, reader.dbc(), SQL_ROLLBACK);
    }
    std::remove(ini.c_str());
    rmdir(dir);
    s.ok("DROP TABLE SI_RR");
}

// ---------------------------------------------------------------- catalog

TEST_F(Standin, TablesListsDb2ObjectTypes)
{
    Statement s(conn);
    s.exec("DROP ALIAS SI_CAT_ALIAS");
    s.exec("DROP VIEW SI_CAT_VIEW");
    dropIfExists("SI_CAT_TABLE");
    dropIfExists("SI_OTHER.SI_CAT_OTHER");
    s.ok("CREATE TABLE SI_CAT_TABLE (X INT)");
    s.ok("CREATE VIEW SI_CAT_VIEW AS SELECT X FROM SI_CAT_TABLE");
    s.ok("CREATE ALIAS SI_CAT_ALIAS FOR SI_CAT_TABLE");
    s.ok("CREATE TABLE SI_OTHER.SI_CAT_OTHER (Y INT)");
    std::string schema = upperAscii(env("TABLEHOP_TEST_DB2_USER"));

    auto tables = [&](const char* schem, const char* table, const char* types) {
        std::u16string ws = u16(schem ? schem : ""), wt = u16(table), wty = u16(types ? types : "");
        SQLFreeStmt(s.h(), SQL_CLOSE);
        EXPECT_TRUE(SQL_SUCCEEDED(SQLTablesW(s.h(), nullptr, 0, schem ? W(ws) : nullptr, SQL_NTS, W(wt), SQL_NTS,
                                             types ? W(wty) : nullptr, SQL_NTS)))
            << s.errors();
        return s.rows();
    };
    auto all = tables(nullptr, "SI\\_CAT\\_%", nullptr);
    // Ordered by type, schema and name.
    std::vector<std::vector<std::string>> expected = {{"<NULL>", schema, "SI_CAT_ALIAS", "ALIAS", "<NULL>"},
                                                      {"<NULL>", schema, "SI_CAT_TABLE", "TABLE", "<NULL>"},
                                                      {"<NULL>", "SI_OTHER", "SI_CAT_OTHER", "TABLE", "<NULL>"},
                                                      {"<NULL>", schema, "SI_CAT_VIEW", "VIEW", "<NULL>"}};
    EXPECT_EQ(all, expected);
    EXPECT_EQ(tables("SI_OTHER", "%", nullptr).size(), 1u);
    auto views = tables(schema.c_str(), "SI_CAT%", "'VIEW','ALIAS'");
    ASSERT_EQ(views.size(), 2u);
    EXPECT_EQ(views[0][3], "ALIAS");
    EXPECT_EQ(views[1][3], "VIEW");
    // Catalog objects are system tables, and PostgreSQL's own never show up.
    auto sys = tables("SYSIBM", "SYSDUMMY1", nullptr);
    ASSERT_EQ(sys.size(), 1u);
    EXPECT_EQ(sys[0][3], "SYSTEM TABLE");
    EXPECT_TRUE(tables("pg_catalog", "%", nullptr).empty());
    EXPECT_TRUE(tables("information_schema", "%", nullptr).empty());
    for (const auto& row : tables("%", "%", "TABLE"))
        EXPECT_TRUE(row[1] != "pg_catalog" && row[1] != "SYSIBM") << row[1];
    // An alias reads like its table.
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_CAT_ALIAS"), "0");
    s.ok("DROP ALIAS SI_CAT_ALIAS");
    s.ok("DROP VIEW SI_CAT_VIEW");
    s.ok("DROP TABLE SI_CAT_TABLE");
    s.ok("DROP TABLE SI_OTHER.SI_CAT_OTHER");
}

TEST_F(Standin, PrimaryKeysInKeyOrder)
{
    Statement s(conn);
    dropIfExists("SI_KEYS");
    s.ok("CREATE TABLE SI_KEYS (A INT NOT NULL, \"b\" VARCHAR(5) NOT NULL, C INT, PRIMARY KEY (\"b\", A))");
    std::u16string table = u16("SI_KEYS");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrimaryKeysW(s.h(), nullptr, 0, nullptr, 0, W(table), SQL_NTS))) << s.errors();
    const auto rows = s.rows();
    ASSERT_EQ(rows.size(), 2u);
    const std::string schema = upperAscii(env("TABLEHOP_TEST_DB2_USER"));
    EXPECT_EQ(std::vector<std::string>(rows[0].begin(), rows[0].begin() + 5),
              (std::vector<std::string> {"<NULL>", schema, "SI_KEYS", "b", "1"}));
    EXPECT_EQ(std::vector<std::string>(rows[1].begin(), rows[1].begin() + 5),
              (std::vector<std::string> {"<NULL>", schema, "SI_KEYS", "A", "2"}));
    SQLFreeStmt(s.h(), SQL_CLOSE);
    EXPECT_EQ(SQLPrimaryKeysW(s.h(), nullptr, 0, nullptr, 0, nullptr, 0), SQL_ERROR);
    EXPECT_EQ(s.diags().at(0).state, "HY009");
    s.ok("DROP TABLE SI_KEYS");
}

// ---------------------------------------------------- described columns

TEST_F(Standin, DescribedTypesAndValues)
{
    struct Case {
        const char *decl, *literal;
        SQLSMALLINT narrowType, wideType;  // unixODBC routes narrow calls to the wide entry points: both give wideType
        SQLULEN size;
        SQLSMALLINT scale;
        const char* text;
    } cases[] = {
        {"SMALLINT", "-12", 5, 5, 5, 0, "-12"},
        {"INTEGER", "123456", 4, 4, 10, 0, "123456"},
        {"BIGINT", "9007199254740993", -5, -5, 19, 0, "9007199254740993"},
        {"DECIMAL(10,3)", "12.5", 3, 3, 10, 3, "12.500"},
        {"NUMERIC(6,2)", "-0.5", 2, 2, 6, 2, "-0.50"},
        {"REAL", "1.5", 7, 7, 24, 0, "1.5"},
        {"DOUBLE", "0.1", 8, 8, 53, 0, "0.1"},
        {"DECFLOAT(34)", "1.25", -360, -360, 34, 0, "1.25"},
        // DB2's notation once the exponent is large or very small, not every digit.
        {"DECFLOAT(16)", "9.999999999999999E384", -360, -360, 16, 0, "9.999999999999999E+384"},
        {"DECFLOAT(34)", "-0.00000012", -360, -360, 34, 0, "-1.2E-7"},
        {"CHAR(4)", "'ab'", 1, 1, 4, 0, "ab  "},
        {"VARCHAR(20)", "'héllo'", 12, 12, 20, 0, "héllo"},
        // Characters are described as the bytes they may take.
        {"VARCHAR(3 CODEUNITS32)", "'é😀ü'", 12, 12, 12, 0, "é😀ü"},
        {"CHAR(2 CODEUNITS32)", "'é'", 1, 1, 8, 0, "é "},
        {"LONG VARCHAR", "'long'", -1, -1, 32700, 0, "long"},
        {"CLOB(1K)", "'clob text'", -99, -99, 1024, 0, "clob text"},
        {"GRAPHIC(3)", "'日本'", -95, -8, 3, 0, "日本 "},
        {"VARGRAPHIC(10)", "'日本語'", -96, -9, 10, 0, "日本語"},
        {"LONG VARGRAPHIC", "'g'", -97, -10, 16350, 0, "g"},
        {"DBCLOB(100)", "'dbclob'", -350, -350, 100, 0, "dbclob"},
        {"BINARY(2)", "X'0A1B'", -2, -2, 2, 0, "0A1B"},
        {"CHAR(3) FOR BIT DATA", "BX'FF00'", -2, -2, 3, 0, "FF00"},
        {"VARBINARY(8)", "X'00FF'", -3, -3, 8, 0, "00FF"},
        {"VARCHAR(8) FOR BIT DATA", "X'CAFE'", -3, -3, 8, 0, "CAFE"},
        {"LONG VARCHAR FOR BIT DATA", "X'01'", -4, -4, 32700, 0, "01"},
        {"BLOB(1M)", "X'DEADBEEF'", -98, -98, 1048576, 0, "DEADBEEF"},
        {"BOOLEAN", "TRUE", -7, -7, 1, 0, "1"},  // SQL_BIT, as IBM's CLI without patch keywords
        {"DATE", "'2024-02-29'", 91, 91, 10, 0, "2024-02-29"},
        {"TIME", "'23:59:58'", 92, 92, 8, 0, "23:59:58"},
        {"TIMESTAMP", "'2024-02-29-23.59.58.000001'", 93, 93, 26, 6, "2024-02-29 23:59:58.000001"},
        {"TIMESTAMP(0)", "'2024-02-29 23:59:58'", 93, 93, 19, 0, "2024-02-29 23:59:58"},
        {"TIMESTAMP(12)", "'2024-02-29-23.59.58.123456789012'", 93, 93, 32, 12, "2024-02-29 23:59:58.123456789012"},
        {"TIMESTAMP(9)", "'2024-02-29 23:59:58.5'", 93, 93, 29, 9, "2024-02-29 23:59:58.500000000"},
    };
    Statement s(conn);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decl);
        dropIfExists("SI_DESC");
        s.ok(std::string("CREATE TABLE SI_DESC (C ") + c.decl + " NOT NULL)");
        s.ok(std::string("INSERT INTO SI_DESC VALUES (") + c.literal + ")");
        ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT C FROM SI_DESC"))) << s.errors();
        SQLCHAR name[32];
        SQLSMALLINT len = 0, type = 0, scale = -1, nullable = -1;
        SQLULEN size = 0;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLDescribeCol(s.h(), 1, name, 32, &len, &type, &size, &scale, &nullable)));
        EXPECT_EQ(type, c.wideType);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(scale, c.scale);
        EXPECT_EQ(nullable, SQL_NO_NULLS);
        SQLWCHAR wname[32];
        ASSERT_TRUE(SQL_SUCCEEDED(SQLDescribeColW(s.h(), 1, wname, 32, &len, &type, &size, &scale, &nullable)));
        EXPECT_EQ(type, c.wideType);
        SQLLEN concise = 0, unsignedFlag = -1;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLColAttributeW(s.h(), 1, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &concise)));
        EXPECT_EQ(concise, c.wideType);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLColAttributeW(s.h(), 1, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &unsignedFlag)));
        bool numeric = (c.narrowType >= 2 && c.narrowType <= 8) || c.narrowType == -5 || c.narrowType == -360;
        EXPECT_EQ(unsignedFlag, numeric ? SQL_FALSE : SQL_TRUE);
        ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
        // Narrow text, then wide text of the same value.
        char buf[256];
        SQLLEN ind = 0;
        ASSERT_EQ(SQLGetData(s.h(), 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS) << s.errors();
        EXPECT_EQ(std::string(buf), c.text);
        SQLFreeStmt(s.h(), SQL_CLOSE);
        ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT C FROM SI_DESC")));
        ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
        EXPECT_EQ(s.text(1), c.text);
    }
    s.ok("DROP TABLE SI_DESC");
}

// DB2 serializes an XML value read as text with a declaration of the
// encoding the application receives, and UTF-16 with a byte-order mark.
TEST_F(Standin, XmlReadAsTextStartsWithADeclaration)
{
    ScopedEnv codePage("DB2CODEPAGE", "1208");
    Connection utf8;
    utf8.connectOrFail();
    Statement s(utf8);
    dropIfExists("SI_XML");
    s.ok("CREATE TABLE SI_XML (C XML)");
    s.ok("INSERT INTO SI_XML VALUES ('<a>ü</a>')");
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT C FROM SI_XML")));
    SQLSMALLINT len = 0, type = 0, scale = -1, nullable = -1;
    SQLULEN size = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLDescribeColW(s.h(), 1, nullptr, 0, &len, &type, &size, &scale, &nullable)));
    EXPECT_EQ(std::make_tuple(type, size), std::make_tuple(SQLSMALLINT {-370}, SQLULEN {2147483647}));
    ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
    char buf[256];
    SQLLEN ind = 0;
    ASSERT_EQ(SQLGetData(s.h(), 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS) << s.errors();
    EXPECT_EQ(std::string(buf), "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><a>ü</a>");
    SQLFreeStmt(s.h(), SQL_CLOSE);
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT C FROM SI_XML")));
    ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
    // Wide text also starts with a byte-order mark (UTF-8 narrow text never does).
    EXPECT_EQ(s.text(1), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\" ?><a>ü</a>");
    SQLFreeStmt(s.h(), SQL_CLOSE);
    s.ok("DROP TABLE SI_XML");
}

// Columns the table computes: DB2's identity, expression and row change
// timestamp clauses, listed in SYSCAT.COLUMNS as DB2 lists them; a value for
// a GENERATED ALWAYS column is refused on every path, DEFAULT is taken.
TEST_F(Standin, GeneratedColumnsTakeDb2SyntaxAndRefuseValues)
{
    dropIfExists("SI_GEN");
    dropIfExists("SI_GEND");
    Statement s(conn);
    s.ok("CREATE TABLE SI_GEN (ID INTEGER GENERATED ALWAYS AS IDENTITY (START WITH 10, INCREMENT BY 5, NO CACHE, "
         "NO CYCLE), NAME VARCHAR(10), UP VARCHAR(10) GENERATED ALWAYS AS (UPPER(NAME)), CHANGED TIMESTAMP NOT NULL "
         "GENERATED ALWAYS FOR EACH ROW ON UPDATE AS ROW CHANGE TIMESTAMP, PRIMARY KEY (ID))");
    s.ok("CREATE TABLE SI_GEND (ID BIGINT GENERATED BY DEFAULT AS IDENTITY (START WITH 1 INCREMENT BY 1 MINVALUE 1 "
         "NO MAXVALUE CACHE 20 ORDER), NAME VARCHAR(10))");
    EXPECT_EQ(s.query("SELECT TABNAME, COLNAME, \"IDENTITY\", \"GENERATED\", ROWCHANGETIMESTAMP, \"NULLS\" FROM "
                      "SYSCAT.COLUMNS WHERE TABNAME IN ('SI_GEN', 'SI_GEND') ORDER BY TABNAME, COLNO"),
              (std::vector<std::vector<std::string>> {{"SI_GEN", "ID", "Y", "A", "N", "N"},
                                                      {"SI_GEN", "NAME", "N", " ", "N", "Y"},
                                                      {"SI_GEN", "UP", "N", "A", "N", "Y"},
                                                      {"SI_GEN", "CHANGED", "N", "A", "Y", "N"},
                                                      {"SI_GEND", "ID", "Y", "D", "N", "N"},
                                                      {"SI_GEND", "NAME", "N", " ", "N", "Y"}}));
    s.ok("INSERT INTO SI_GEN (NAME) VALUES ('abc')");
    s.ok("INSERT INTO SI_GEN (ID, NAME, UP, CHANGED) VALUES (DEFAULT, 'xy', DEFAULT, DEFAULT)");
    EXPECT_EQ(
        s.query("SELECT ID, NAME, UP, CASE WHEN CHANGED IS NULL THEN 'no' ELSE 'yes' END FROM SI_GEN ORDER BY ID"),
        (std::vector<std::vector<std::string>> {{"10", "abc", "ABC", "yes"}, {"15", "xy", "XY", "yes"}}));

    struct Refused {
        const char* sql;
        const char* column;
    };
    const Refused refused[] = {
        {"INSERT INTO SI_GEN (ID, NAME) VALUES (1, 'a')", "ID"},
        {"INSERT INTO SI_GEN (NAME, UP) VALUES ('a', 'A')", "UP"},
        {"INSERT INTO SI_GEN (NAME, CHANGED) VALUES ('a', CURRENT TIMESTAMP)", "CHANGED"},
        {"INSERT INTO SI_GEN VALUES (1, 'a', 'A', CURRENT TIMESTAMP)", "ID"},
        {"INSERT INTO SI_GEN (ID, NAME) SELECT ID + 100, NAME FROM SI_GEN", "ID"},
        {"UPDATE SI_GEN SET ID = 1", "ID"},
        {"UPDATE SI_GEN SET CHANGED = '2000-01-01 00:00:00'", "CHANGED"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.sql);
        EXPECT_EQ(s.exec(r.sql), SQL_ERROR);
        const auto d = s.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(std::make_tuple(d[0].state, d[0].native), std::make_tuple(std::string("428C9"), SQLINTEGER {-798}));
        EXPECT_NE(d[0].message.find(std::string("SQL0798N  A value cannot be specified for column \"") + r.column
                                    + "\" which is defined as GENERATED ALWAYS."),
                  std::string::npos)
            << d[0].message;
    }
    // Parameters, one row and arrays (atomic or not, on both of the driver's array paths).
    for (const char* insert :
         {"INSERT INTO SI_GEN (ID, NAME) VALUES (?, ?)", "INSERT INTO SI_GEN (NAME, UP) VALUES (?, ?)"})
        for (const SQLULEN rows : {SQLULEN {1}, SQLULEN {3}})
            for (const SQLULEN atomic : {SQLULEN {1}, SQLULEN {0}}) {
                SCOPED_TRACE(std::string(insert) + " rows " + std::to_string(rows) + (atomic ? " atomic" : ""));
                const bool text = std::string(insert).find("UP") != std::string::npos;
                SQLINTEGER ids[3] = {1, 2, 3};
                char names[3][4] = {"a", "b", "c"};
                SQLLEN nameInd[3] = {SQL_NTS, SQL_NTS, SQL_NTS};
                std::u16string sql = u16(insert);
                SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
                SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
                SQLSetStmtAttr(s.h(), kAttrParamoptAtomic, reinterpret_cast<SQLPOINTER>(atomic), 0);
                SQLRETURN rc = SQLPrepareW(s.h(), W(sql), SQL_NTS);
                if (SQL_SUCCEEDED(rc)) {  // DB2 may defer the prepare to the first execute
                    if (text)
                        SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 3, 0, names, 4, nameInd);
                    else
                        SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
                    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 3, 0, names, 4, nameInd);
                    rc = SQLExecute(s.h());
                }
                EXPECT_EQ(rc, SQL_ERROR);
                const auto d = s.diags();
                ASSERT_FALSE(d.empty());
                EXPECT_EQ(d[0].state, "428C9");
                EXPECT_EQ(d[0].native, -798);
            }
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLSetStmtAttr(s.h(), kAttrParamoptAtomic, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_GEN"), "2");

    // An update gives the row change timestamp the time of the update.
    const std::string before = s.scalar("SELECT CHANGED FROM SI_GEN WHERE ID = 10");
    s.ok("UPDATE SI_GEN SET NAME = 'new' WHERE ID = 10");
    EXPECT_GT(s.scalar("SELECT CHANGED FROM SI_GEN WHERE ID = 10"), before);
    EXPECT_EQ(s.scalar("SELECT UP FROM SI_GEN WHERE ID = 10"), "NEW");

    // BY DEFAULT takes values and does not move past them; RESTART does.
    s.ok("INSERT INTO SI_GEND VALUES (5, 'given')");
    s.ok("INSERT INTO SI_GEND (NAME) VALUES ('made')");
    EXPECT_EQ(s.scalar("SELECT ID FROM SI_GEND WHERE NAME = 'made'"), "1");
    EXPECT_EQ(s.query("SELECT COLNAME, NEXTCACHEFIRSTVALUE, INCREMENT, CACHE FROM SYSCAT.COLIDENTATTRIBUTES "
                      "WHERE TABNAME = 'SI_GEND'"),
              (std::vector<std::vector<std::string>> {{"ID", "21", "1", "20"}}));
    s.ok("ALTER TABLE SI_GEND ALTER COLUMN ID RESTART WITH 6");
    s.ok("INSERT INTO SI_GEND (NAME) VALUES ('next')");
    EXPECT_EQ(s.scalar("SELECT ID FROM SI_GEND WHERE NAME = 'next'"), "6");

    // One identity and one row change timestamp per table, as DB2 allows.
    EXPECT_EQ(s.exec("CREATE TABLE SI_GEN2 (A INTEGER GENERATED ALWAYS AS IDENTITY, B INTEGER GENERATED BY DEFAULT "
                     "AS IDENTITY)"),
              SQL_ERROR);
    EXPECT_EQ(s.diags().at(0).state, "428C1");
    s.ok("DROP TABLE SI_GEN");
    s.ok("DROP TABLE SI_GEND");
}

TEST_F(Standin, TypedAndPiecewiseReads)
{
    dropIfExists("SI_READ");
    Statement s(conn);
    s.ok("CREATE TABLE SI_READ (I INTEGER, D DOUBLE, TS TIMESTAMP, DT DATE, B BLOB(100), V VARCHAR(100), N INTEGER)");
    s.ok("INSERT INTO SI_READ VALUES (-7, 2.5, '2020-01-02 03:04:05.678901', '1999-12-31', X'00010203', 'abcdefghij', "
         "NULL)");
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT * FROM SI_READ")));
    ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
    SQLINTEGER i = 0;
    SQLBIGINT big = 0;
    double d = 0;
    SQLLEN ind = 0;
    EXPECT_EQ(SQLGetData(s.h(), 1, SQL_C_SLONG, &i, 0, &ind), SQL_SUCCESS);
    EXPECT_EQ(i, -7);
    EXPECT_EQ(SQLGetData(s.h(), 1, SQL_C_SBIGINT, &big, 0, &ind), SQL_NO_DATA);  // a fixed value is read once
    EXPECT_EQ(SQLGetData(s.h(), 2, SQL_C_DOUBLE, &d, 0, &ind), SQL_SUCCESS);
    EXPECT_EQ(d, 2.5);
    SQL_TIMESTAMP_STRUCT ts {};
    EXPECT_EQ(SQLGetData(s.h(), 3, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind), SQL_SUCCESS);
    EXPECT_EQ(ts.year, 2020);
    EXPECT_EQ(ts.second, 5);
    EXPECT_EQ(ts.fraction, 678901000u);
    SQL_DATE_STRUCT dt {};
    EXPECT_EQ(SQLGetData(s.h(), 4, SQL_C_TYPE_DATE, &dt, sizeof dt, &ind), SQL_SUCCESS);
    EXPECT_EQ(dt.year, 1999);
    EXPECT_EQ(dt.month, 12);
    EXPECT_EQ(dt.day, 31);
    unsigned char bytes[3];
    EXPECT_EQ(SQLGetData(s.h(), 5, SQL_C_BINARY, bytes, 3, &ind), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(ind, 4);
    EXPECT_EQ(s.diags().at(0).state, "01004");
    EXPECT_EQ(bytes[2], 2);
    EXPECT_EQ(SQLGetData(s.h(), 5, SQL_C_BINARY, bytes, 3, &ind), SQL_SUCCESS);
    EXPECT_EQ(ind, 1);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(SQLGetData(s.h(), 5, SQL_C_BINARY, bytes, 3, &ind), SQL_NO_DATA);
    // Piecewise text: 4 bytes at a time including the terminator.
    char piece[4];
    std::string whole;
    SQLRETURN r;
    std::vector<SQLLEN> remaining;
    while ((r = SQLGetData(s.h(), 6, SQL_C_CHAR, piece, sizeof piece, &ind)) != SQL_NO_DATA) {
        ASSERT_TRUE(SQL_SUCCEEDED(r));
        remaining.push_back(ind);
        whole += piece;
    }
    EXPECT_EQ(whole, "abcdefghij");
    EXPECT_EQ(remaining, (std::vector<SQLLEN> {10, 7, 4, 1}));
    EXPECT_EQ(SQLGetData(s.h(), 7, SQL_C_SLONG, &i, 0, &ind), SQL_SUCCESS);
    EXPECT_EQ(ind, SQL_NULL_DATA);
    EXPECT_EQ(SQLFetch(s.h()), SQL_NO_DATA);
    SQLLEN count = 0;
    SQLRowCount(s.h(), &count);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(SQLMoreResults(s.h()), SQL_NO_DATA);
    s.ok("DROP TABLE SI_READ");
}

// --------------------------------------------------------- Unicode text

TEST_F(Standin, NonAsciiRoundTripThroughWideCalls)
{
    dropIfExists("SI_UNI");
    Statement s(conn);
    s.ok("CREATE TABLE SI_UNI (ID INT, T VARCHAR(200))");
    const std::vector<std::string> values = {"Crème brûlée", "日本語テキスト", "emoji 😀🎉 done", "Ελληνικά", ""};
    std::u16string insert = u16("INSERT INTO SI_UNI VALUES (?, ?)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(insert), SQL_NTS)));
    for (size_t k = 0; k < values.size(); ++k) {
        SQLINTEGER id = static_cast<SQLINTEGER>(k);
        std::u16string w = u16(values[k]);
        SQLLEN len = static_cast<SQLLEN>(w.size() * 2);
        SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &id, 0, nullptr);
        SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 200, 0, W(w), len, &len);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLExecute(s.h()))) << s.errors();
    }
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    auto rows = s.query("SELECT T FROM SI_UNI ORDER BY ID");
    ASSERT_EQ(rows.size(), values.size());
    for (size_t k = 0; k < values.size(); ++k)
        EXPECT_EQ(rows[k][0], values[k]);
    // Narrow reads give UTF-8; literals in W statements arrive unchanged.
    s.ok("INSERT INTO SI_UNI VALUES (99, '🎉 ünïcode')");
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT T FROM SI_UNI WHERE ID = 99")));
    ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
    char buf[64];
    SQLLEN ind = 0;
    ASSERT_EQ(SQLGetData(s.h(), 1, SQL_C_CHAR, buf, sizeof buf, &ind), SQL_SUCCESS);
    EXPECT_EQ(std::string(buf), "🎉 ünïcode");
    s.ok("DROP TABLE SI_UNI");
}

// -------------------------------------------------------- array input

TEST_F(Standin, ParameterArrayWithOneBadRow)
{
    dropIfExists("SI_ARR");
    Statement s(conn);
    s.ok("CREATE TABLE SI_ARR (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(10), AMOUNT DOUBLE, BIG BIGINT, DATA "
         "VARBINARY(4), D DATE)");
    const SQLULEN n = 5;
    SQLINTEGER ids[n] = {1, 2, 3, 4, 5};
    char16_t names[n][11] = {};
    SQLLEN nameInd[n];
    const char* texts[n] = {"one", "twö", "three", nullptr, "five"};
    for (SQLULEN k = 0; k < n; ++k) {
        if (!texts[k]) {
            nameInd[k] = SQL_NULL_DATA;
            continue;
        }
        std::u16string w = u16(texts[k]).substr(0, 10);
        std::memcpy(names[k], w.data(), w.size() * 2);
        nameInd[k] = SQL_NTS;
    }
    double amounts[n] = {1.5, 2.25, 3, 4, 5.125};
    SQLBIGINT bigs[n] = {1, 2, 3, 4, 9007199254740993LL};
    unsigned char data[n][4] = {{1}, {2, 2}, {3}, {4}, {5}};
    SQLLEN dataLen[n] = {1, 2, 1, SQL_NULL_DATA, 4};
    char dates[n][11] = {"2020-01-01", "02/03/2021", "not a date", "2020-01-04", "31.12.1999"};
    SQLLEN dateInd[n] = {SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS};
    SQLUSMALLINT status[n];
    SQLULEN processed = 0;
    std::u16string sql = u16("INSERT INTO SI_ARR (ID, NAME, AMOUNT, BIG, DATA, D) VALUES (?, ?, ?, ?, ?, ?)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(sql), SQL_NTS)));
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(n), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_STATUS_PTR, status, 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
    SQLSetStmtAttr(s.h(), kAttrParamoptAtomic, reinterpret_cast<SQLPOINTER>(0), 0);  // each row stands alone
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 10, 0, names, sizeof names[0], nameInd);
    SQLBindParameter(s.h(), 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, amounts, 0, nullptr);
    SQLBindParameter(s.h(), 4, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, bigs, 0, nullptr);
    SQLBindParameter(s.h(), 5, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 4, 0, data, 4, dataLen);
    SQLBindParameter(s.h(), 6, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_TYPE_DATE, 10, 0, dates, 11, dateInd);
    EXPECT_EQ(SQLExecute(s.h()), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(processed, n);
    EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + n),
              (std::vector<SQLUSMALLINT> {SQL_PARAM_SUCCESS, SQL_PARAM_SUCCESS, SQL_PARAM_ERROR, SQL_PARAM_SUCCESS,
                                          SQL_PARAM_SUCCESS}));
    auto d = s.diags();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].state, "22007");
    SQLLEN rowNumber = 0;
    SQLGetDiagField(SQL_HANDLE_STMT, s.h(), 1, SQL_DIAG_ROW_NUMBER, &rowNumber, 0, nullptr);
    EXPECT_EQ(rowNumber, 3);
    SQLLEN count = 0;
    SQLRowCount(s.h(), &count);
    EXPECT_EQ(count, 4);

    // A server-side failure (duplicate key) in the middle of a batch.
    SQLINTEGER ids2[n] = {10, 11, 1, 12, 13};
    std::memcpy(ids, ids2, sizeof ids);
    std::memcpy(dates[2], "2020-01-03", 11);
    EXPECT_EQ(SQLExecute(s.h()), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(status[2], SQL_PARAM_ERROR);
    EXPECT_EQ(status[4], SQL_PARAM_SUCCESS);
    d = s.diags();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].state, "23505");
    EXPECT_EQ(d[0].native, -803);

    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    auto rows = s.query("SELECT ID, NAME, AMOUNT, BIG, DATA, D FROM SI_ARR ORDER BY ID");
    std::vector<std::vector<std::string>> expected = {
        {"1", "one", "1.5", "1", "01", "2020-01-01"},
        {"2", "twö", "2.25", "2", "0202", "2021-02-03"},
        {"4", "<NULL>", "4", "4", "<NULL>", "2020-01-04"},
        {"5", "five", "5.125", "9007199254740993", "05000000", "1999-12-31"},
        {"10", "one", "1.5", "1", "01", "2020-01-01"},
        {"11", "twö", "2.25", "2", "0202", "2021-02-03"},
        {"12", "<NULL>", "4", "4", "<NULL>", "2020-01-04"},
        {"13", "five", "5.125", "9007199254740993", "05000000", "1999-12-31"},
    };
    EXPECT_EQ(rows, expected);
    s.ok("DROP TABLE SI_ARR");
}

// Columns of text, bytes and dates only take the binary COPY path; values must
// arrive unchanged and bad rows stand alone there too.
TEST_F(Standin, ParameterArrayIntoTextBytesAndDates)
{
    dropIfExists("SI_BIN");
    Statement s(conn);
    s.ok("CREATE TABLE SI_BIN (NAME VARCHAR(6), NOTE LONG VARCHAR, DATA BLOB(8), D DATE)");
    const SQLULEN n = 6;
    char names[n][16] = {"plain", "tab\tnl", "toolong!", "", "x\\y", "ünï"};
    SQLLEN nameInd[n] = {5, 6, 8, SQL_NULL_DATA, 3, 5};
    char16_t notes[n][16] = {};
    SQLLEN noteInd[n];
    const char* noteTexts[n] = {"a\nb\r\\c", "😀 emoji", "n", nullptr, "", "x"};
    for (SQLULEN k = 0; k < n; ++k) {
        if (!noteTexts[k]) {
            noteInd[k] = SQL_NULL_DATA;
            continue;
        }
        std::u16string w = u16(noteTexts[k]);
        std::memcpy(notes[k], w.data(), w.size() * 2);
        noteInd[k] = static_cast<SQLLEN>(w.size() * 2);
    }
    unsigned char data[n][8] = {{0, 255}, {9, 10, 13, 92}, {1}, {2}, {3}, {4}};
    SQLLEN dataLen[n] = {2, 4, 1, SQL_NULL_DATA, 0, 1};
    char dates[n][11] = {"2024-02-29", "0001-01-01", "2020-01-01", "9999-12-31", "2023-02-29", "31.12.1999"};
    SQLLEN dateInd[n] = {SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS, SQL_NTS};
    SQLUSMALLINT status[n];
    std::u16string insert = u16("INSERT INTO SI_BIN VALUES (?, ?, ?, ?)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(insert), SQL_NTS)));
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(n), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_STATUS_PTR, status, 0);
    SQLSetStmtAttr(s.h(), kAttrParamoptAtomic, reinterpret_cast<SQLPOINTER>(0), 0);
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 6, 0, names, sizeof names[0], nameInd);
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WLONGVARCHAR, 15, 0, notes, sizeof notes[0], noteInd);
    SQLBindParameter(s.h(), 3, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, 8, 0, data, 8, dataLen);
    SQLBindParameter(s.h(), 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_TYPE_DATE, 10, 0, dates, 11, dateInd);
    EXPECT_EQ(SQLExecute(s.h()), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + n),
              (std::vector<SQLUSMALLINT> {SQL_PARAM_SUCCESS, SQL_PARAM_SUCCESS, SQL_PARAM_ERROR, SQL_PARAM_SUCCESS,
                                          SQL_PARAM_ERROR, SQL_PARAM_SUCCESS}));
    auto d = s.diags();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].state, "22001");  // eight bytes into VARCHAR(6)
    EXPECT_EQ(d[1].state, "22007");  // no 29 February in 2023
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    auto rows = s.query("SELECT NAME, NOTE, DATA, D FROM SI_BIN ORDER BY D");
    std::vector<std::vector<std::string>> expected = {
        {"tab\tnl", "😀 emoji", "090A0D5C", "0001-01-01"},
        {"ünï", "x", "04", "1999-12-31"},
        {"plain", "a\nb\r\\c", "00FF", "2024-02-29"},
        {"<NULL>", "<NULL>", "<NULL>", "9999-12-31"},
    };
    EXPECT_EQ(rows, expected);
    s.ok("DROP TABLE SI_BIN");
}

// A column that only the text path takes (INTEGER) sends the whole array
// through it: text bound as bytes and as UTF-16 arrives exactly, backslashes
// and what looks like an escape or NULL included.
TEST_F(Standin, ParameterArrayThroughTheTextPathKeepsBackslashes)
{
    dropIfExists("SI_BSL");
    Statement s(conn);
    s.ok("CREATE TABLE SI_BSL (ID INTEGER, NAME VARCHAR(12), NOTE VARCHAR(12))");
    const SQLULEN n = 4;
    const char* texts[n] = {"C:\\new\\t", "\\N", "a\\\\b", "tab\there\n"};
    SQLINTEGER ids[n] = {1, 2, 3, 4};
    char names[n][13] = {};
    char16_t notes[n][13] = {};
    SQLLEN nameInd[n], noteInd[n];
    for (SQLULEN k = 0; k < n; ++k) {
        std::strcpy(names[k], texts[k]);
        nameInd[k] = SQL_NTS;
        const std::u16string w = u16(texts[k]);
        std::memcpy(notes[k], w.data(), w.size() * 2);
        noteInd[k] = static_cast<SQLLEN>(w.size() * 2);
    }
    std::u16string insert = u16("INSERT INTO SI_BSL VALUES (?, ?, ?)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(insert), SQL_NTS)));
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(n), 0);
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 12, 0, names, sizeof names[0], nameInd);
    SQLBindParameter(s.h(), 3, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 12, 0, notes, sizeof notes[0], noteInd);
    EXPECT_EQ(SQLExecute(s.h()), SQL_SUCCESS) << s.errors();
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    std::vector<std::vector<std::string>> expected;
    for (SQLULEN k = 0; k < n; ++k)
        expected.push_back({std::to_string(ids[k]), texts[k], texts[k]});
    EXPECT_EQ(s.query("SELECT ID, NAME, NOTE FROM SI_BSL ORDER BY ID"), expected);
    s.ok("DROP TABLE SI_BSL");
}

// DB2 CLI maps SQL_LONGVARCHAR/SQL_LONGVARBINARY to LONG VARCHAR (32,700
// bytes) unless LongDataCompat is set; SQL_CLOB/SQL_BLOB take what they declare.
TEST_F(Standin, DeclaredParameterTypesAreHonoured)
{
    dropIfExists("SI_LONG");
    dropIfExists("SI_LONGB");
    Statement s(conn);
    s.ok("CREATE TABLE SI_LONG (T CLOB(200K))");
    s.ok("CREATE TABLE SI_LONGB (B BLOB(200K))");
    std::string text(40000, 'x'), bytes(40000, '\xFF');
    struct Case {
        const char* table;
        SQLSMALLINT cType, sqlType;
        SQLULEN size;
        std::string* value;
        bool accepted;
    } cases[] = {
        {"SI_LONG", SQL_C_CHAR, SQL_LONGVARCHAR, 40000, &text, false},
        {"SI_LONGB", SQL_C_BINARY, SQL_LONGVARBINARY, 40000, &bytes, false},
        {"SI_LONG", SQL_C_CHAR, SQL_VARCHAR, 40000, &text, false},
        {"SI_LONG", SQL_C_CHAR, kSqlClob, 40000, &text, true},
        {"SI_LONGB", SQL_C_BINARY, kSqlBlob, 40000, &bytes, true},
        {"SI_LONG", SQL_C_CHAR, kSqlClob, 1000, &text, false},  // longer than it declares
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sqlType) + " " + std::to_string(c.size));
        SQLRETURN r
            = insertOne(s, std::string("INSERT INTO ") + c.table + " VALUES (?)", c.cType, c.sqlType, c.size, *c.value);
        if (c.accepted) {
            EXPECT_EQ(r, SQL_SUCCESS) << s.errors();
        } else {
            ASSERT_EQ(r, SQL_ERROR);
            auto d = s.diags();
            ASSERT_FALSE(d.empty());
            EXPECT_EQ(d[0].state, "22001");
            EXPECT_EQ(d[0].native, -302);
        }
    }
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_LONG"), "1");
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_LONGB"), "1");

    Connection compat;
    ASSERT_TRUE(SQL_SUCCEEDED(compat.connect(defaultConnectionString() + "LongDataCompat=1;"))) << compat.lastError();
    Statement c(compat);
    EXPECT_EQ(insertOne(c, "INSERT INTO SI_LONG VALUES (?)", SQL_C_CHAR, SQL_LONGVARCHAR, 40000, text), SQL_SUCCESS)
        << c.errors();
    EXPECT_EQ(c.scalar("SELECT COUNT(*) FROM SI_LONG"), "2");
    s.ok("DROP TABLE SI_LONG");
    s.ok("DROP TABLE SI_LONGB");
}

// One bad row fails a whole array unless the application asks for non-atomic
// arrays; through the COPY path (parameters only) and the row path alike.
TEST_F(Standin, ArraysAreAtomicUnlessAskedOtherwise)
{
    dropIfExists("SI_ATOM");
    Statement s(conn);
    s.ok("CREATE TABLE SI_ATOM (ID INTEGER NOT NULL PRIMARY KEY, NOTE VARCHAR(10))");
    s.ok("INSERT INTO SI_ATOM VALUES (2, 'old')");
    EXPECT_EQ(SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(32768), 0),
              SQL_ERROR);  // 32,767 at most
    for (const char* insert : {"INSERT INTO SI_ATOM VALUES (?, ?)", "INSERT INTO SI_ATOM VALUES (?, 'lit')"}) {
        for (SQLULEN atomic : {SQLULEN {1}, SQLULEN {0}}) {
            SCOPED_TRACE(std::string(insert) + (atomic ? " atomic" : " not atomic"));
            s.ok("DELETE FROM SI_ATOM WHERE ID <> 2");
            SQLINTEGER ids[3] = {1, 2, 3};
            char notes[3][4] = {"a", "b", "c"};
            SQLLEN noteInd[3] = {SQL_NTS, SQL_NTS, SQL_NTS};
            SQLUSMALLINT status[3];
            std::u16string sql = u16(insert);
            ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(sql), SQL_NTS)));
            SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
            SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_STATUS_PTR, status, 0);
            if (!atomic)
                SQLSetStmtAttr(s.h(), kAttrParamoptAtomic, reinterpret_cast<SQLPOINTER>(atomic), 0);
            SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
            SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 3, 0, notes, 4, noteInd);
            EXPECT_EQ(SQLExecute(s.h()), atomic ? SQL_ERROR : SQL_SUCCESS_WITH_INFO);
            EXPECT_EQ(status[1], SQL_PARAM_ERROR);
            EXPECT_EQ(s.diags().at(0).state, "23505");
            SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
            SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
            SQLSetStmtAttr(s.h(), kAttrParamoptAtomic, reinterpret_cast<SQLPOINTER>(1), 0);
            SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
            EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_ATOM"), atomic ? "1" : "3");
        }
    }
    s.ok("DROP TABLE SI_ATOM");
}

// SQL_C_NUMERIC works both ways; a C type the driver does not take fails the
// statement before any row goes in, never row by row.
TEST_F(Standin, NumericBindingsAndUnsupportedOnes)
{
    dropIfExists("SI_NUM");
    Statement s(conn);
    s.ok("CREATE TABLE SI_NUM (ID INTEGER, AMOUNT DECIMAL(12,3))");
    SQL_NUMERIC_STRUCT values[3] = {};
    values[0].sign = 1;
    values[0].scale = 3;
    values[0].val[0] = 0x39;
    values[0].val[1] = 0x30;  // 12.345
    values[1].sign = 0;
    values[1].scale = 1;
    values[1].val[0] = 5;  // -0.5
    SQLLEN ind[3] = {sizeof(SQL_NUMERIC_STRUCT), sizeof(SQL_NUMERIC_STRUCT), SQL_NULL_DATA};
    SQLINTEGER ids[3] = {1, 2, 3};
    std::u16string sql = u16("INSERT INTO SI_NUM VALUES (?, ?)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(sql), SQL_NTS)));
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(3), 0);
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_NUMERIC, SQL_DECIMAL, 12, 3, values, sizeof values[0], ind);
    EXPECT_EQ(SQLExecute(s.h()), SQL_SUCCESS) << s.errors();
    // An interval is no C type this driver takes: the whole array fails.
    SQL_INTERVAL_STRUCT intervals[3] = {};
    SQLLEN intervalInd[3] = {sizeof intervals[0], sizeof intervals[0], sizeof intervals[0]};
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_INTERVAL_DAY, SQL_DECIMAL, 12, 3, intervals, sizeof intervals[0],
                     intervalInd);
    EXPECT_EQ(SQLExecute(s.h()), SQL_ERROR);
    EXPECT_EQ(s.diags().at(0).state, "HYC00");
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    EXPECT_EQ(s.query("SELECT ID, AMOUNT FROM SI_NUM ORDER BY ID"),
              (std::vector<std::vector<std::string>> {{"1", "12.345"}, {"2", "-0.500"}, {"3", "<NULL>"}}));
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT AMOUNT FROM SI_NUM WHERE ID = 2")));
    ASSERT_EQ(SQLFetch(s.h()), SQL_SUCCESS);
    SQL_NUMERIC_STRUCT back {};
    SQLLEN backInd = 0;
    ASSERT_EQ(SQLGetData(s.h(), 1, SQL_C_NUMERIC, &back, sizeof back, &backInd), SQL_SUCCESS) << s.errors();
    EXPECT_EQ(back.sign, 0);
    EXPECT_EQ(back.scale, 3);
    EXPECT_EQ(back.val[0], 0xF4);  // 500
    EXPECT_EQ(back.val[1], 0x01);
    SQLFreeStmt(s.h(), SQL_CLOSE);
    s.ok("DROP TABLE SI_NUM");
}

// A database created without options has one 4K table space: rows up to 4,005
// bytes and 500 columns; wider tables need larger pages (SQL0286N), and no
// page holds more than 32,677 bytes or 1,012 columns.
TEST_F(Standin, CreateTableKeepsToThePageSize)
{
    auto columns = [](int count, const std::string& type, const std::string& more = "") {
        std::string list;
        for (int k = 0; k < count; ++k)
            list += (k ? ", C" : "C") + std::to_string(k) + " " + type;
        return "CREATE TABLE SI_WIDE (" + list + more + ")";
    };
    struct Outcome {
        const char* state;  // nullptr: created
        int native;
        const char* messagePart;
    };
    // With extended_row_sz ENABLE (a new database's default) and DISABLE.
    struct Case {
        std::string sql;
        Outcome enabled, disabled;
    } cases[] = {
        {columns(150, "LONG VARCHAR"), {nullptr, 0, ""}, {nullptr, 0, ""}},
        {columns(15, "CLOB(1G)"),
         {"42727", -286, "page size of at least \"8192\""},
         {"42727", -286, "page size of at least \"8192\""}},
        {columns(501, "INTEGER"), {"42727", -286, "\"8192\""}, {"42727", -286, "\"8192\""}},
        {columns(501, "VARCHAR(1)"), {"42727", -286, "\"8192\""}, {"42727", -286, "\"8192\""}},
        {columns(1013, "SMALLINT"), {"54011", -680, "SQL0680N"}, {"54011", -680, "SQL0680N"}},
        {"CREATE TABLE SI_WIDE (A VARCHAR(32672), B VARCHAR(100))", {nullptr, 0, ""}, {"54010", -670, "\"4005\""}},
        {"CREATE TABLE SI_WIDE (A VARCHAR(1001 CODEUNITS32))",
         {nullptr, 0, ""},
         {"42727", -286, "\"8192\""}},  // 4,004 + 4 + 1
        {columns(5, "VARCHAR(250 CODEUNITS32)"), {nullptr, 0, ""}, {"42727", -286, "\"8192\""}},
        // Only varying-length values leave the row: the rest must fit the page.
        {columns(16, "CHAR(254)", ", V VARCHAR(10)"), {"42727", -286, "\"8192\""}, {"42727", -286, "\"8192\""}},
        {columns(4, "VARBINARY(1500)"), {"42727", -286, "\"8192\""}, {"42727", -286, "\"8192\""}},
        {columns(33, "VARCHAR(32672)"), {"54010", -670, "\"1048319\""}, {"54010", -670, "SQL0670N"}},
    };
    for (const bool extended : {true, false}) {
        ScopedEnv setting("DB2STANDIN_EXTENDED_ROW_SZ", extended ? "ENABLE" : "DISABLE");
        Connection c;
        c.connectOrFail();
        Statement s(c);
        EXPECT_EQ(s.scalar("SELECT MAX(PAGESIZE) FROM SYSCAT.TABLESPACES WHERE DATATYPE IN ('A', 'L')"), "4096");
        EXPECT_EQ(s.scalar("SELECT VALUE FROM SYSIBMADM.DBCFG WHERE NAME = 'extended_row_sz'"),
                  extended ? "ENABLE" : "DISABLE");
        for (const auto& k : cases) {
            SCOPED_TRACE(k.sql.substr(0, 60) + (extended ? " ENABLE" : " DISABLE"));
            const Outcome& expected = extended ? k.enabled : k.disabled;
            dropIfExists("SI_WIDE");
            SQLRETURN r = s.exec(k.sql);
            if (!expected.state) {
                EXPECT_EQ(r, SQL_SUCCESS) << s.errors();
                continue;
            }
            ASSERT_EQ(r, SQL_ERROR);
            auto d = s.diags();
            ASSERT_FALSE(d.empty());
            EXPECT_EQ(d[0].state, expected.state);
            EXPECT_EQ(d[0].native, expected.native);
            EXPECT_NE(d[0].message.find(expected.messagePart), std::string::npos) << d[0].message;
        }
    }
    // The same database with a 32K table space.
    ScopedEnv page("DB2STANDIN_PAGE_SIZE", "32K");
    Connection big;
    big.connectOrFail();
    Statement b(big);
    dropIfExists("SI_WIDE");
    EXPECT_EQ(b.exec(columns(15, "CLOB(1G)")), SQL_SUCCESS) << b.errors();
    EXPECT_EQ(b.scalar("SELECT MAX(PAGESIZE) FROM SYSCAT.TABLESPACES"), "32768");
    dropIfExists("SI_WIDE");
}

// SYSCAT.COLUMNS tells the string units a character column was declared in;
// a database that is not Unicode has none, and refuses CODEUNITS32.
TEST_F(Standin, SyscatColumnsShowStringUnits)
{
    Statement s(conn);
    s.exec("DROP VIEW SI_UNITS_V");
    dropIfExists("SI_UNITS");
    s.ok("CREATE TABLE SI_UNITS (N INTEGER, V VARCHAR(10), \"u\" VARCHAR(5 CODEUNITS32), G VARGRAPHIC(4), B BLOB(1K), "
         "C CLOB(7 CODEUNITS32))");
    s.ok("CREATE VIEW SI_UNITS_V AS SELECT \"u\" FROM SI_UNITS");
    const std::string units
        = "SELECT TABNAME, COLNAME, COLNO, TYPESTRINGUNITS, STRINGUNITSLENGTH FROM SYSCAT.COLUMNS "
          "WHERE TABSCHEMA = CURRENT SCHEMA AND TABNAME IN ('SI_UNITS', 'SI_UNITS_V') ORDER BY TABNAME, COLNO";
    const std::vector<std::vector<std::string>> expected = {
        {"SI_UNITS", "N", "0", "<NULL>", "<NULL>"},   {"SI_UNITS", "V", "1", "OCTETS", "10"},
        {"SI_UNITS", "u", "2", "CODEUNITS32", "5"},   {"SI_UNITS", "G", "3", "CODEUNITS16", "4"},
        {"SI_UNITS", "B", "4", "<NULL>", "<NULL>"},   {"SI_UNITS", "C", "5", "CODEUNITS32", "7"},
        {"SI_UNITS_V", "u", "0", "CODEUNITS32", "5"},
    };
    EXPECT_EQ(s.query(units), expected);
    std::string sixCharacters = "ü😀ü😀üa";  // 15 bytes, within the 20 the column may take
    EXPECT_EQ(insertOne(s, "INSERT INTO SI_UNITS (\"u\") VALUES (?)", SQL_C_CHAR, SQL_VARCHAR, 20, sixCharacters),
              SQL_ERROR);
    EXPECT_EQ(s.diags().at(0).state, "22001");
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    {
        ScopedEnv codePage("DB2STANDIN_DATABASE_CODEPAGE", "819");
        Connection latin;
        latin.connectOrFail();
        Statement l(latin);
        EXPECT_EQ(l.exec("CREATE TABLE SI_UNITS_X (V VARCHAR(5 CODEUNITS32))"), SQL_ERROR);
        auto d = l.diags();
        ASSERT_FALSE(d.empty());
        EXPECT_EQ(d[0].state, "42601");
        EXPECT_NE(d[0].message.find("SQL0104N  An unexpected token \"CODEUNITS32\""), std::string::npos)
            << d[0].message;
        EXPECT_EQ(l.query("SELECT COUNT(*), COUNT(TYPESTRINGUNITS), COUNT(STRINGUNITSLENGTH) FROM SYSCAT.COLUMNS WHERE "
                          "TABNAME = 'SI_UNITS'"),
                  (std::vector<std::vector<std::string>> {{"6", "0", "0"}}));
    }
    s.ok("DROP VIEW SI_UNITS_V");
    s.ok("DROP TABLE SI_UNITS");
}

// CARD and NPAGES are -1 until RUNSTATS (ANALYZE underneath) collects them; a view has none.
TEST_F(Standin, SyscatTablesShowStatisticsAfterRunstats)
{
    Statement s(conn);
    s.exec("DROP VIEW SI_STATS_V");
    dropIfExists("SI_STATS");
    s.ok("CREATE TABLE SI_STATS (N INTEGER, T VARCHAR(100))");
    s.ok("CREATE VIEW SI_STATS_V AS SELECT N FROM SI_STATS");
    const std::string statistics
        = "SELECT T.TABNAME, T.CARD, T.NPAGES, T.TBSPACE, S.PAGESIZE FROM SYSCAT.TABLES T LEFT JOIN SYSCAT.TABLESPACES "
          "S"
          " ON S.TBSPACE = T.TBSPACE WHERE T.TABSCHEMA = CURRENT SCHEMA AND T.TABNAME LIKE 'SI\\_STATS%' ESCAPE '\\'"
          " ORDER BY T.TABNAME";
    const std::string pageSize = s.scalar("SELECT PAGESIZE FROM SYSCAT.TABLESPACES");
    EXPECT_EQ(s.query(statistics),
              (std::vector<std::vector<std::string>> {{"SI_STATS", "-1", "-1", "USERSPACE1", pageSize},
                                                      {"SI_STATS_V", "-1", "-1", "<NULL>", "<NULL>"}}));
    s.ok("INSERT INTO SI_STATS VALUES (1, REPEAT('x', 100))");
    for (int doubling = 0; doubling < 10; ++doubling)
        s.ok("INSERT INTO SI_STATS SELECT N + (SELECT MAX(N) FROM SI_STATS), T FROM SI_STATS");
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_STATS"), "1024");
    s.ok("CALL SYSPROC.ADMIN_CMD('RUNSTATS ON TABLE " + s.scalar("VALUES CURRENT SCHEMA") + ".SI_STATS')");
    const auto rows = s.query(statistics);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "1024");
    // About 130 bytes a row: at least 130,000 bytes of pages, well under a megabyte.
    const long long bytes = std::stoll(rows[0][2]) * std::stoll(pageSize);
    EXPECT_GE(bytes, 130000);
    EXPECT_LT(bytes, 1000000);
    EXPECT_EQ(rows[1][1], "-1");
    EXPECT_EQ(s.exec("CALL SYSPROC.ADMIN_CMD('REORG TABLE SI_STATS')"), SQL_ERROR);
    EXPECT_EQ(s.diags().at(0).state, "42601");
    s.ok("DROP VIEW SI_STATS_V");
    s.ok("DROP TABLE SI_STATS");
}

// COUNT_BIG counts; SQL_C_CHAR follows the application code page (DB2CODEPAGE
// or the locale) and decimals read as text carry the locale's decimal separator.
TEST_F(Standin, CharDataFollowsTheApplicationCodePage)
{
    dropIfExists("SI_CP");
    Statement s(conn);
    s.ok("CREATE TABLE SI_CP (ID INTEGER, T VARCHAR(20), D DECIMAL(10,3))");
    s.ok("INSERT INTO SI_CP VALUES (1, 'ü😀', 12.5)");
    EXPECT_EQ(s.scalar("SELECT COUNT_BIG(*) FROM SI_CP"), "1");
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT COUNT_BIG(ID) FROM SI_CP")));
    SQLSMALLINT countType = 0, countScale = -1, nameLength = 0, nullable = 0;
    SQLULEN countSize = 0;
    SQLDescribeColW(s.h(), 1, nullptr, 0, &nameLength, &countType, &countSize, &countScale, &nullable);
    EXPECT_EQ(std::make_tuple(countType, countSize, countScale),
              std::make_tuple(SQLSMALLINT {SQL_DECIMAL}, SQLULEN {31}, SQLSMALLINT {0}));
    SQLFreeStmt(s.h(), SQL_CLOSE);
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT COUNT(*) FROM SI_CP")));
    SQLDescribeColW(s.h(), 1, nullptr, 0, &nameLength, &countType, &countSize, &countScale, &nullable);
    EXPECT_EQ(countType, SQL_INTEGER);  // COUNT is INTEGER on DB2
    SQLFreeStmt(s.h(), SQL_CLOSE);
    {
        ScopedEnv codePage("DB2CODEPAGE", "819");
        Connection latin;
        latin.connectOrFail();
        Statement l(latin);
        std::string latinText = "\xE9t\xE9";  // "été" in ISO-8859-1
        EXPECT_EQ(insertOne(l, "INSERT INTO SI_CP (ID, T) VALUES (2, ?)", SQL_C_CHAR, SQL_VARCHAR, 3, latinText),
                  SQL_SUCCESS)
            << l.errors();
        SQLFreeStmt(l.h(), SQL_RESET_PARAMS);
        ASSERT_TRUE(SQL_SUCCEEDED(l.exec("SELECT T FROM SI_CP ORDER BY ID")));
        char buf[64];
        SQLLEN ind = 0;
        ASSERT_EQ(SQLFetch(l.h()), SQL_SUCCESS);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLGetData(l.h(), 1, SQL_C_CHAR, buf, sizeof buf, &ind)));
        EXPECT_EQ(std::string(buf), "\xFC\x1A");  // the emoji has no Latin-1 form
        ASSERT_EQ(SQLFetch(l.h()), SQL_SUCCESS);
        ASSERT_TRUE(SQL_SUCCEEDED(SQLGetData(l.h(), 1, SQL_C_CHAR, buf, sizeof buf, &ind)));
        EXPECT_EQ(std::string(buf), latinText);
        SQLFreeStmt(l.h(), SQL_CLOSE);
    }
    EXPECT_EQ(s.scalar("SELECT T FROM SI_CP WHERE ID = 2"), "été");  // stored as the characters meant
    {
        ScopedEnv locale("LC_ALL", "de_DE.UTF-8");
        Connection german;
        german.connectOrFail();
        Statement g(german);
        ASSERT_TRUE(SQL_SUCCEEDED(g.exec("SELECT D FROM SI_CP WHERE ID = 1")));
        ASSERT_EQ(SQLFetch(g.h()), SQL_SUCCESS);
        char buf[32];
        SQLLEN ind = 0;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLGetData(g.h(), 1, SQL_C_CHAR, buf, sizeof buf, &ind)));
        EXPECT_EQ(std::string(buf), "12,500");
        SQLFreeStmt(g.h(), SQL_CLOSE);
        EXPECT_EQ(g.scalar("SELECT D FROM SI_CP WHERE ID = 1"), "12,500");  // wide text alike
    }
    s.ok("DROP TABLE SI_CP");
}

// A database in a single-byte code page stores a character it lacks as the
// substitution character 0x1A and warns (01517): the statement, or the row of
// an array, succeeds with information.
TEST_F(Standin, DatabaseCodePageSubstitutesWithAWarning)
{
    ScopedEnv codePage("DB2STANDIN_DATABASE_CODEPAGE", "819");
    Connection latin;
    latin.connectOrFail();
    Statement s(latin);
    dropIfExists("SI_SUB");
    s.ok("CREATE TABLE SI_SUB (ID INTEGER, T VARCHAR(20), C CLOB(1K))");
    const std::u16string alone = u16("é😀");
    std::string wide(reinterpret_cast<const char*>(alone.data()), alone.size() * 2);
    EXPECT_EQ(insertOne(s, "INSERT INTO SI_SUB (ID, T) VALUES (1, ?)", SQL_C_WCHAR, SQL_WVARCHAR, 20, wide),
              SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(s.diags().at(0).state, "01517");
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);

    const SQLULEN n = 3;
    SQLINTEGER ids[n] = {2, 3, 4};
    char16_t texts[n][8] = {};
    SQLLEN lengths[n];
    const char* values[n] = {"ünï", "a€b", "x"};  // the euro sign is not in code page 819
    for (SQLULEN k = 0; k < n; ++k) {
        const std::u16string w = u16(values[k]);
        std::memcpy(texts[k], w.data(), w.size() * 2);
        lengths[k] = static_cast<SQLLEN>(w.size() * 2);
    }
    SQLUSMALLINT status[n];
    std::u16string sql = u16("INSERT INTO SI_SUB (ID, T, C) VALUES (?, ?, ?)");
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepareW(s.h(), W(sql), SQL_NTS)));
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(n), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_STATUS_PTR, status, 0);
    SQLBindParameter(s.h(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, ids, 0, nullptr);
    SQLBindParameter(s.h(), 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 8, 0, texts, sizeof texts[0], lengths);
    SQLBindParameter(s.h(), 3, SQL_PARAM_INPUT, SQL_C_WCHAR, kSqlClob, 8, 0, texts, sizeof texts[0], lengths);
    EXPECT_EQ(SQLExecute(s.h()), SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + n),
              (std::vector<SQLUSMALLINT> {SQL_PARAM_SUCCESS, SQL_PARAM_SUCCESS_WITH_INFO, SQL_PARAM_SUCCESS}));
    auto d = s.diags();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].state, "01517");
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
    SQLFreeStmt(s.h(), SQL_RESET_PARAMS);
    EXPECT_EQ(s.query("SELECT T, C FROM SI_SUB ORDER BY ID"),
              (std::vector<std::vector<std::string>> {{"é\x1A", "<NULL>"},
                                                      {"ünï", "ünï"},
                                                      {"a\x1A"
                                                       "b",
                                                       "a\x1A"
                                                       "b"},
                                                      {"x", "x"}}));
    s.ok("DROP TABLE SI_SUB");
}

// ------------------------------------------------------------ streaming

TEST_F(Standin, BlockFetchWithRowArrays)
{
    dropIfExists("SI_STREAM");
    Statement s(conn);
    s.ok("CREATE TABLE SI_STREAM (ID INTEGER, T VARCHAR(20))");
    const int total = 12345;
    s.ok("INSERT INTO SI_STREAM SELECT g, 'row ' || g FROM generate_series(1, " + std::to_string(total) + ") g");
    ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT ID, T FROM SI_STREAM ORDER BY ID")));
    const SQLULEN block = 500;
    SQLINTEGER ids[block];
    SQLLEN idInd[block], tInd[block];
    char16_t texts[block][21];
    SQLULEN fetched = 0;
    SQLSetStmtAttr(s.h(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(s.h(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    SQLBindCol(s.h(), 1, SQL_C_SLONG, ids, 0, idInd);
    SQLBindCol(s.h(), 2, SQL_C_WCHAR, texts, sizeof texts[0], tInd);
    long long seen = 0, sum = 0;
    bool textsOk = true;
    SQLRETURN r;
    while ((r = SQLFetchScroll(s.h(), SQL_FETCH_NEXT, 0)) == SQL_SUCCESS) {
        for (SQLULEN k = 0; k < fetched; ++k) {
            ++seen;
            sum += ids[k];
            if (utf8(std::u16string(texts[k])) != "row " + std::to_string(ids[k]))
                textsOk = false;
        }
    }
    EXPECT_EQ(r, SQL_NO_DATA);
    EXPECT_EQ(seen, total);
    EXPECT_EQ(sum, static_cast<long long>(total) * (total + 1) / 2);
    EXPECT_TRUE(textsOk);
    SQLFreeStmt(s.h(), SQL_UNBIND);
    SQLSetStmtAttr(s.h(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    EXPECT_EQ(s.scalar("SELECT COUNT(*) FROM SI_STREAM"), std::to_string(total));
    EXPECT_EQ(s.query("SELECT ID FROM SI_STREAM ORDER BY ID DESC FETCH FIRST 2 ROWS ONLY"),
              (std::vector<std::vector<std::string>> {{std::to_string(total)}, {std::to_string(total - 1)}}));
    s.ok("DROP TABLE SI_STREAM");
}

// The session ends on the server while a result is read (as when DB2 is
// restarted or the network fails): whichever way the rows are fetched, the
// next fetch that needs the server fails with SQL30081N, SQLSTATE 40003, as
// DB2 does; never the rows so far and then "no more rows", nor later.
TEST_F(Standin, ALostConnectionFailsEveryFetchPath)
{
    dropIfExists("SI_LOST");
    Statement setup(conn);
    setup.ok("CREATE TABLE SI_LOST (ID INTEGER, T VARCHAR(20))");
    const long long total = 12345;
    setup.ok("INSERT INTO SI_LOST SELECT g, 'row ' || g FROM generate_series(1, " + std::to_string(total) + ") g");
    struct Case {
        const char* what;
        SQLULEN rowArray;  // rows per fetch; columns are bound when more than one
        bool scroll;       // SQLFetchScroll, else SQLFetch
    };
    for (const Case& c :
         {Case {"SQLFetch and SQLGetData, row by row", 1, false}, Case {"SQLFetch of bound row arrays", 500, false},
          Case {"SQLFetchScroll of bound row arrays", 500, true}}) {
        SCOPED_TRACE(c.what);
        Connection victim;
        victim.connectOrFail();
        Statement s(victim);
        const std::string pid = s.scalar("SELECT \"pg_backend_pid\"() FROM SYSIBM.SYSDUMMY1");
        ASSERT_TRUE(SQL_SUCCEEDED(s.exec("SELECT ID, T FROM SI_LOST ORDER BY ID"))) << s.errors();
        std::vector<SQLINTEGER> ids(c.rowArray);
        std::vector<SQLLEN> indicators(c.rowArray);
        SQLULEN fetched = 0;
        if (c.rowArray > 1) {
            SQLSetStmtAttr(s.h(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(c.rowArray), 0);
            SQLSetStmtAttr(s.h(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
            SQLBindCol(s.h(), 1, SQL_C_SLONG, ids.data(), 0, indicators.data());
        }
        const auto fetch = [&] { return c.scroll ? SQLFetchScroll(s.h(), SQL_FETCH_NEXT, 0) : SQLFetch(s.h()); };
        long long seen = 0;
        SQLRETURN r = fetch();
        ASSERT_EQ(r, SQL_SUCCESS) << s.errors();
        // Ended on the server, and gone before the next fetch asks it for rows.
        Statement killer(conn);
        killer.ok("SELECT \"pg_terminate_backend\"(" + pid + ", 5000) FROM SYSIBM.SYSDUMMY1");
        for (; r == SQL_SUCCESS; r = fetch()) {
            if (c.rowArray > 1) {
                seen += static_cast<long long>(fetched);
            } else {
                ++seen;
                SQLINTEGER id = 0;
                SQLLEN indicator = 0;
                ASSERT_EQ(SQLGetData(s.h(), 1, SQL_C_SLONG, &id, 0, &indicator), SQL_SUCCESS) << s.errors();
                EXPECT_EQ(id, seen);
            }
        }
        EXPECT_EQ(r, SQL_ERROR);
        EXPECT_LT(seen, total);
        const std::vector<DiagRecord> diags = s.diags();
        EXPECT_EQ(diags.size(), 1u);
        for (const DiagRecord& diag : diags) {
            EXPECT_EQ(diag.state, "40003");
            EXPECT_EQ(diag.native, -30081);
            EXPECT_NE(diag.message.find("SQL30081N"), std::string::npos) << diag.message;
        }
        EXPECT_EQ(fetch(), SQL_ERROR);  // not "no more rows" either
    }
    setup.ok("DROP TABLE SI_LOST");
}

TEST_F(Standin, RowCountAfterChanges)
{
    dropIfExists("SI_COUNT");
    Statement s(conn);
    s.ok("CREATE TABLE SI_COUNT (X INT)");
    struct Case {
        const char* sql;
        SQLLEN count;
    } cases[] = {{"INSERT INTO SI_COUNT VALUES (1), (2), (3)", 3},
                 {"UPDATE SI_COUNT SET X = X + 1 WHERE X > 1", 2},
                 {"DELETE FROM SI_COUNT WHERE X = 4", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        ASSERT_TRUE(SQL_SUCCEEDED(s.exec(c.sql))) << s.errors();
        SQLLEN count = 0;
        SQLRowCount(s.h(), &count);
        EXPECT_EQ(count, c.count);
    }
    s.ok("DROP TABLE SI_COUNT");
}
