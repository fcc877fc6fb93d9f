// Logins as production servers want them, against the private test servers:
// a DB2 schema other than the login's own, and encrypted connections to
// servers that require them (scripts/test-services makes the CA).
#include "DataConnection.h"
#include "MySQLClientSession.h"
#include "RecordingObserver.h"
#include "ServerHelpers.h"
#include "Workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        throw std::runtime_error(std::string(name) + " is unset (run: eval \"$(scripts/test-services env)\")");
    return value;
}

bool listed(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What went wrong in a send, for a failed assertion.
std::string told(const TransferSummary& summary, const RecordingObserver& observer)
{
    std::string text;
    for (const TableResult& table : summary.tables)
        text += table.name + ": " + table.reason + "\n";
    for (const auto& report : observer.reports)
        text += report.description + "\n";
    return text;
}

std::string count(DataConnection& connection, const std::string& sql)
{
    return QueryValue(connection, sql).value_or("?");
}

// The MariaDB that accepts only encrypted connections, and the DB2 login that may only use TLS.
ConnectionProfile tlsMySQL() { return TlsMySQLTestProfile(); }

ConnectionProfile tlsDB2()
{
    ConnectionProfile profile = DB2TestProfile();
    profile.user = env("TABLEHOP_TEST_TLS_DB2_USER");
    profile.password = env("TABLEHOP_TEST_TLS_DB2_PASSWORD");
    profile.encrypted = true;
    profile.caCertificate = env("TABLEHOP_TEST_TLS_CA");
    return profile;
}

constexpr const char* kSchema = "TH_SALES35";

// Everything a user does with tables happens in the schema the login names;
// a table of the same name in the login's own schema is never touched.
TEST(DB2Schema, TablesAreListedSentRenamedAndDroppedInTheGivenSchema)
{
    RequireTestServers(true, true);
    ConnectionProfile inSchema = DB2TestProfile();
    inSchema.schema = kSchema;
    DataConnection mysql, db2;
    OpenMySQL(mysql);
    OpenDB2(db2);
    for (const char* table : {"s35_orders", "s35_orders_2016"}) {
        DropMySQL(mysql, table);
        DropDB2(db2, table);
        DropDB2(db2, std::string(kSchema) + "\".\"" + table);
    }
    mysql.execute("CREATE TABLE s35_orders (id INT PRIMARY KEY, note VARCHAR(20))");
    mysql.execute("INSERT INTO s35_orders VALUES (1, 'a'), (2, 'b'), (3, NULL)");
    db2.execute("CREATE TABLE \"s35_orders\" (ID INTEGER)");  // the login's own schema
    db2.execute("INSERT INTO \"s35_orders\" VALUES (42)");

    Workspace workspace(MySQLTestProfile(), inSchema);
    RecordingObserver observer;
    TransferSummary sent = workspace.send(TransferDirection::MySQLToDB2, {"s35_orders"}, observer);
    ASSERT_TRUE(sent.allSent()) << told(sent, observer);
    EXPECT_EQ(count(db2, "SELECT COUNT(*) FROM \"TH_SALES35\".\"s35_orders\""), "3");
    EXPECT_EQ(count(db2, "SELECT COUNT(*) FROM \"s35_orders\""), "1") << "the own schema's table was replaced";
    EXPECT_TRUE(StagingTablesOn(db2, DB2Dialect()).empty());

    // Loading into the schema's existing table: its columns are the ones read
    // (the own schema's table of that name has other columns).
    TransferOptions addRows;
    addRows.existingTables = ExistingTables::AddRows;
    workspace.setOptions(addRows);
    TransferSummary added = workspace.send(TransferDirection::MySQLToDB2, {"s35_orders"}, observer);
    ASSERT_TRUE(added.allSent()) << told(added, observer);
    EXPECT_EQ(count(db2, "SELECT COUNT(*) FROM \"TH_SALES35\".\"s35_orders\""), "6");
    EXPECT_EQ(count(db2, "SELECT COUNT(*) FROM \"s35_orders\""), "1");
    workspace.setOptions({});

    workspace.renameTable(DatabaseSide::DB2, "s35_orders", "s35_orders_2016");
    const std::vector<std::string> afterRename = workspace.listTables(DatabaseSide::DB2);
    EXPECT_TRUE(listed(afterRename, "s35_orders_2016"));
    EXPECT_FALSE(listed(afterRename, "s35_orders")) << "the own schema's table is listed in the other schema";
    EXPECT_EQ(count(db2,
                    "SELECT COUNT(*) FROM SYSCAT.TABLES WHERE TABSCHEMA = 'TH_SALES35' AND TABNAME = "
                    "'s35_orders_2016'"),
              "1");

    TransferSummary back = workspace.send(TransferDirection::DB2ToMySQL, {"s35_orders_2016"}, observer);
    ASSERT_TRUE(back.allSent()) << told(back, observer);
    EXPECT_EQ(count(mysql, "SELECT COUNT(*) FROM s35_orders_2016 WHERE note IS NULL OR note IN ('a', 'b')"), "6");

    EXPECT_EQ(workspace.dropTable(DatabaseSide::DB2, "s35_orders_2016"), DropOutcome::Dropped);
    EXPECT_FALSE(listed(workspace.listTables(DatabaseSide::DB2), "s35_orders_2016"));
    EXPECT_EQ(count(db2, "SELECT COUNT(*) FROM \"s35_orders\""), "1");
    EXPECT_TRUE(listed(Workspace(MySQLTestProfile(), DB2TestProfile()).listTables(DatabaseSide::DB2), "s35_orders"));

    // The key is looked up in the schema worked in: a table of that name in
    // the login's own schema has none.
    DropDB2(db2, std::string(kSchema) + "\".\"s35_keyed");
    DropDB2(db2, "s35_keyed");
    DropMySQL(mysql, "s35_keyed");
    db2.execute(std::string("CREATE TABLE \"") + kSchema + "\".\"s35_keyed\"(\"ID\" INTEGER NOT NULL PRIMARY KEY, \"N\" INTEGER)");
    db2.execute(std::string("INSERT INTO \"") + kSchema + "\".\"s35_keyed\" VALUES(1, 1), (2, 2)");
    db2.execute("CREATE TABLE \"s35_keyed\"(\"ID\" INTEGER, \"N\" INTEGER)");
    workspace.setOptions({Db2ColumnTypes::Matching, true});
    TransferSummary keyed = workspace.send(TransferDirection::DB2ToMySQL, {"s35_keyed"}, observer);
    ASSERT_TRUE(keyed.allSent()) << told(keyed, observer);
    EXPECT_EQ(count(mysql, "SELECT GROUP_CONCAT(COLUMN_NAME) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA ="
                           " DATABASE() AND TABLE_NAME = 's35_keyed' AND COLUMN_KEY = 'PRI'"),
              "ID");
    EXPECT_EQ(count(mysql, "SELECT COUNT(*) FROM s35_keyed"), "2");

    DropDB2(db2, "s35_orders");
    DropDB2(db2, std::string(kSchema) + "\".\"s35_keyed");
    DropDB2(db2, "s35_keyed");
    for (const char* table : {"s35_orders", "s35_orders_2016", "s35_keyed"})
        DropMySQL(mysql, table);
}

struct LoginCase {
    const char* label;
    DatabaseSide side;
    ConnectionProfile profile;
    std::string failureSays;  // empty: the login works
};

// Each login as "Test Connection" tries it; a MySQL login that works opens
// the MariaDB client library's session (the one-pass reads) with it too.
void expectLogins(const std::vector<LoginCase>& cases)
{
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.label);
        Workspace workspace;
        workspace.setLogin(c.side, c.profile);
        const std::optional<DbError> error = workspace.testLogin(c.side);
        if (c.failureSays.empty()) {
            EXPECT_FALSE(error) << error->description();
            if (c.side == DatabaseSide::MySQL) {
                EXPECT_NO_THROW(MySQLClientSession(c.profile, 10, 10));
            }
            continue;
        }
        if (!error) {
            ADD_FAILURE() << "the login worked";
            continue;
        }
        EXPECT_NE(error->description().find(c.failureSays), std::string::npos) << error->description();
    }
}

TEST(EncryptedLogins, WorkOnlyWithTlsAndTheCaThatSignedTheServer)
{
    RequireTestServers(true, true);
    ConnectionProfile mysqlPlain = tlsMySQL();
    mysqlPlain.encrypted = false;
    ConnectionProfile mysqlOtherCa = tlsMySQL();
    mysqlOtherCa.caCertificate = env("TABLEHOP_TEST_TLS_OTHER_CA");
    ConnectionProfile mysqlNoCa = tlsMySQL();
    mysqlNoCa.caCertificate.clear();
    ConnectionProfile mysqlOtherName = tlsMySQL();
    mysqlOtherName.server = env("TABLEHOP_TEST_TLS_MYSQL_OTHER_NAME");
    ConnectionProfile mysqlWithoutTls = MySQLTestProfile();
    mysqlWithoutTls.encrypted = true;
    mysqlWithoutTls.caCertificate = tlsMySQL().caCertificate;
    ConnectionProfile mysqlNoFile = tlsMySQL();
    mysqlNoFile.caCertificate += ".missing";
    ConnectionProfile x509 = tlsMySQL();
    x509.user = env("TABLEHOP_TEST_TLS_X509_MYSQL_USER");
    ConnectionProfile x509WithCertificate = x509;
    x509WithCertificate.clientCertificate = env("TABLEHOP_TEST_TLS_CLIENT_CERT");
    x509WithCertificate.clientKey = env("TABLEHOP_TEST_TLS_CLIENT_KEY");
    ConnectionProfile keyFolder = x509WithCertificate;
    keyFolder.clientKey = std::filesystem::path(keyFolder.clientKey).parent_path().string();
    ConnectionProfile keyNotAKey = x509WithCertificate;
    keyNotAKey.clientKey = keyNotAKey.clientCertificate;
    ConnectionProfile db2Plain = tlsDB2();
    db2Plain.encrypted = false;
    ConnectionProfile db2OtherCa = tlsDB2();
    db2OtherCa.caCertificate = env("TABLEHOP_TEST_TLS_OTHER_CA");

    expectLogins({
        {"MySQL with TLS and its CA", DatabaseSide::MySQL, tlsMySQL(), ""},
        {"MySQL without TLS", DatabaseSide::MySQL, mysqlPlain, "server accepts only encrypted connections"},
        {"MySQL with another CA", DatabaseSide::MySQL, mysqlOtherCa, "is not signed by the CA certificate file"},
        {"MySQL with no CA file: the system's CAs, none of which signed it", DatabaseSide::MySQL, mysqlNoCa,
         "is not signed by any CA this computer trusts"},
        {"MySQL by a name its certificate does not hold", DatabaseSide::MySQL, mysqlOtherName,
         "made out to another name than the server \"" + mysqlOtherName.server + "\""},
        {"MySQL server without TLS", DatabaseSide::MySQL, mysqlWithoutTls, "did not make an encrypted connection"},
        {"MySQL CA file missing", DatabaseSide::MySQL, mysqlNoFile, "cannot be read"},
        {"MySQL client certificate required, none given", DatabaseSide::MySQL, x509, "Access denied"},
        {"MySQL client certificate given", DatabaseSide::MySQL, x509WithCertificate, ""},
        {"MySQL client key a folder", DatabaseSide::MySQL, keyFolder,
         "client key \"" + keyFolder.clientKey + "\" is a folder"},
        {"MySQL client key a certificate", DatabaseSide::MySQL, keyNotAKey,
         "client key \"" + keyNotAKey.clientKey + "\" holds no private key"},
        {"DB2 with TLS and its CA", DatabaseSide::DB2, tlsDB2(), ""},
        {"DB2 without TLS, refused by the server", DatabaseSide::DB2, db2Plain, "SQL30081N"},
        {"DB2 with another CA", DatabaseSide::DB2, db2OtherCa, "is not signed by the CA certificate file"},
    });
}

// Passwords holding what a connection text must protect log in as typed;
// one the driver would change is refused before anything is sent.
TEST(Logins, PasswordsAreSentAsTyped)
{
    RequireTestServers(true, true);
    ConnectionProfile mysqlOdd = MySQLTestProfile();
    mysqlOdd.user = env("TABLEHOP_TEST_ODD_MYSQL_USER");
    mysqlOdd.password = env("TABLEHOP_TEST_ODD_MYSQL_PASSWORD");
    ConnectionProfile mysqlBlank = MySQLTestProfile();
    mysqlBlank.user = env("TABLEHOP_TEST_BLANK_MYSQL_USER");
    mysqlBlank.password = env("TABLEHOP_TEST_BLANK_MYSQL_PASSWORD");
    ConnectionProfile db2Odd = DB2TestProfile();
    db2Odd.user = env("TABLEHOP_TEST_ODD_DB2_USER");
    db2Odd.password = env("TABLEHOP_TEST_ODD_DB2_PASSWORD");
    ConnectionProfile db2Blank = DB2TestProfile();
    db2Blank.password += " ";
    ConnectionProfile db2Semicolon = DB2TestProfile();
    db2Semicolon.password += ";";

    expectLogins({
        {"MySQL: braces, \";\", \"=\" and a quote", DatabaseSide::MySQL, mysqlOdd, ""},
        {"MySQL: blanks at the ends", DatabaseSide::MySQL, mysqlBlank, "password begins or ends with a blank"},
        {"DB2: braces, \"=\" and a quote", DatabaseSide::DB2, db2Odd, ""},
        {"DB2: a blank at the end", DatabaseSide::DB2, db2Blank, "password begins or ends with a blank"},
        {"DB2: \";\"", DatabaseSide::DB2, db2Semicolon, "password contains \";\""},
    });
    // The library session is not the driver: it takes the blanks as typed.
    EXPECT_NO_THROW(MySQLClientSession(mysqlBlank, 10, 10));
}

// A table goes from the TLS-only MariaDB to the TLS-only DB2 login and back.
TEST(EncryptedLogins, TablesTravelBothWays)
{
    RequireTestServers(true, true);
    DataConnection mysql, db2;
    MySQLDialect().openSession(mysql, tlsMySQL());
    DB2Dialect().openSession(db2, tlsDB2());
    EXPECT_NE(
        count(mysql, "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS WHERE VARIABLE_NAME = 'SSL_CIPHER'"),
        "")
        << "the MySQL session is not encrypted";
    for (const char* table : {"tls35_items", "tls35_back"})
        DropMySQL(mysql, table);
    DropDB2(db2, "tls35_items");
    mysql.execute("CREATE TABLE tls35_items (id INT PRIMARY KEY, name VARCHAR(10))");
    mysql.execute("INSERT INTO tls35_items VALUES (1, 'x'), (2, 'y')");

    Workspace workspace(tlsMySQL(), tlsDB2());
    RecordingObserver observer;
    TransferSummary to = workspace.send(TransferDirection::MySQLToDB2, {"tls35_items"}, observer);
    ASSERT_TRUE(to.allSent()) << told(to, observer);
    EXPECT_EQ(count(db2, "SELECT COUNT(*) FROM \"tls35_items\""), "2");
    workspace.renameTable(DatabaseSide::DB2, "tls35_items", "tls35_back");
    TransferSummary back = workspace.send(TransferDirection::DB2ToMySQL, {"tls35_back"}, observer);
    ASSERT_TRUE(back.allSent()) << told(back, observer);
    EXPECT_EQ(count(mysql, "SELECT COUNT(*) FROM tls35_back WHERE name IN ('x', 'y')"), "2");

    workspace.dropTable(DatabaseSide::DB2, "tls35_back");
    for (const char* table : {"tls35_items", "tls35_back"})
        DropMySQL(mysql, table);
}

}  // namespace
