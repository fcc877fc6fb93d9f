#include "CliCommands.h"
#include "CliEnvironment.h"
#include "DataConnection.h"
#include "SettingsStore.h"
#include "SqlDialect.h"
#include "SqlIdentifiers.h"
#include "TableListing.h"
#include "TestServers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

}  // namespace

class CliProcessTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void helpAndUsage_data();
    void helpAndUsage();
    void listSortsWithoutRegardToCase();
    void listJson();
    void badLoginIsExitTwo_data();
    void badLoginIsExitTwo();
    void storedLoginsAreUsedWhenNothingOverrides();
    void connectionOptions_data();
    void connectionOptions();
    void dropAndRename_data();
    void dropAndRename();
    void sendBothWays();
    void sendRefusedTableIsExitOne();
    void sendJsonSummary();
    void verifyNamesTheDifferences();
    void existingTableIsNamedAsMatched();
    void decimalsCompareByValue_data();
    void decimalsCompareByValue();
    void stopSignalEndsLikeCancel_data();
    void stopSignalEndsLikeCancel();
    void killedMidLoadLeavesTheOldRowsWhole_data();
    void killedMidLoadLeavesTheOldRowsWhole();
    void progressBarStaysWithinItsWidth_data();
    void progressBarStaysWithinItsWidth();
    void checkPassesAndFailsOnSmallPages();

private:
    CliRun run(const QStringList& args, const QMap<QString, QString>& extraEnv = {}, bool withLogins = true);
    // Starts the program with the test servers' logins, for a test that stops it.
    void start(QProcess& process, const QStringList& args);
    static void exec(const std::string& side, const std::string& sql);
    static std::vector<std::string> tables(const std::string& side);
    // The activity log's lines, as the program's runs appended them.
    QStringList activityLog() const;

    QTemporaryDir configHome;
    QTemporaryDir dataHome;  // the activity log's folder, never the user's
};

void CliProcessTest::initTestCase()
{
    RequireTestServers(true, true);
    QVERIFY(configHome.isValid());
    QVERIFY(dataHome.isValid());
}

QStringList CliProcessTest::activityLog() const
{
    QFile file(dataHome.filePath("Quarnel/Tablehop/activity.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

void CliProcessTest::exec(const std::string& side, const std::string& sql)
{
    side == "mysql" ? ExecMySQL(sql) : ExecDB2(sql);
}

std::vector<std::string> CliProcessTest::tables(const std::string& side)
{
    return side == "mysql" ? ListMySQLTables(MySQLTestProfile()) : ListDB2Tables(DB2TestProfile());
}

void CliProcessTest::init()
{
    for (const char* t : {"cli_a", "Cli_B", "cli_c", "cli_renamed", "cli odd`name", "cli_orders", "cli_refused",
                          "cli_Ä", "cli_zk", "cli_cp", "cli_äa", "cli_Äb", "cli_zero", "cli_round"})
        ExecMySQL("DROP TABLE IF EXISTS " + QuoteMySQLIdentifier(t));
    ExecMySQL("DROP VIEW IF EXISTS cli_view");
    for (const auto& name : tables("db2"))
        if (QString::fromStdString(name).startsWith("CLI", Qt::CaseInsensitive))
            ExecDB2("DROP TABLE " + QuoteDB2Identifier(name));
}

void CliProcessTest::cleanup() { init(); }

CliRun CliProcessTest::run(const QStringList& args, const QMap<QString, QString>& extraEnv, bool withLogins)
{
    QProcess process;
    QProcessEnvironment env = CliEnvironment(configHome.path(), dataHome.path(), withLogins);
    for (auto it = extraEnv.begin(); it != extraEnv.end(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TABLEHOP_CLI_PATH), args);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        qFatal("tablehop-cli did not finish");
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void CliProcessTest::helpAndUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("program help") << QStringList {"--help"} << 0 << "Usage: tablehop-cli COMMAND";
    for (const char* command : {"test", "list", "send", "verify", "drop", "rename", "check"})
        QTest::newRow(command) << QStringList {command, "--help"} << 0
                               << QStringLiteral("Usage: tablehop-cli %1").arg(command);
    QTest::newRow("no command") << QStringList {} << 2 << "Usage: tablehop-cli COMMAND";
    QTest::newRow("unknown command") << QStringList {"copy"} << 2 << "unknown command \"copy\"";
    QTest::newRow("unknown side") << QStringList {"list", "oracle"} << 2 << "unknown side \"oracle\"";
    QTest::newRow("unknown option") << QStringList {"list", "mysql", "--fast"} << 2 << "unknown option --fast";
    QTest::newRow("send without side") << QStringList {"send", "t"} << 2 << "--to";
    QTest::newRow("verify without side") << QStringList {"verify", "t"} << 2 << "verify needs --to";
    QTest::newRow("verify without table") << QStringList {"verify", "--to", "db2"} << 2 << "at least one table";
    QTest::newRow("send --verify told") << QStringList {"send", "--help"} << 0 << "--verify compares each table";
    QTest::newRow("program help names verify") << QStringList {"--help"} << 0 << "verify --to SIDE TABLE...";
    QTest::newRow("send options") << QStringList {"send", "--help"} << 0 << "--db2-types matching gives";
    QTest::newRow("send: name matching") << QStringList {"send", "--help"} << 0 << "as the target compares names";
    QTest::newRow("send: time zone") << QStringList {"send", "--help"} << 0 << "TIMESTAMP values travel as UTC";
    QTest::newRow("send: upper-case names") << QStringList {"send", "--help"} << 0 << "--db2-upper-case names the";
    QTest::newRow("help: schema") << QStringList {"--help"} << 0 << "--db2-schema NAME";
    QTest::newRow("help: tls") << QStringList {"--help"} << 0 << "--mysql-tls, --db2-tls";
    QTest::newRow("help: certificates") << QStringList {"--help"} << 0 << "--mysql-cert FILE, --mysql-key FILE";
    QTest::newRow("tls on and off") << QStringList {"test", "db2", "--db2-tls", "--no-db2-tls"} << 2
                                    << "--db2-tls and --no-db2-tls exclude each other";
    QTest::newRow("a CA without tls") << QStringList {"test", "mysql", "--no-mysql-tls", "--mysql-ca", "ca.pem"} << 2
                                      << "was given together with --no-mysql-tls";
    QTest::newRow("unknown column types")
        << QStringList {"send", "--to", "db2", "--db2-types", "wide", "t"} << 2 << "unknown --db2-types \"wide\"";
    QTest::newRow("send: parallel told") << QStringList {"send", "--help"} << 0 << "--parallel N (1 to 16, default 1)";
    for (const char* streams : {"0", "17", "three", "-2", "100", ""})
        QTest::newRow(qPrintable(QStringLiteral("parallel \"%1\"").arg(streams)))
            << QStringList {"send", "--to", "db2", "--parallel", streams, "t"} << 2
            << QStringLiteral("--parallel takes a number of streams from 1 to 16, not \"%1\"").arg(streams);
}

void CliProcessTest::helpAndUsage()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, fragment);
    const CliRun result = run(args);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2((result.out + result.err).contains(fragment), qPrintable(result.out + result.err));
}

void CliProcessTest::listSortsWithoutRegardToCase()
{
    ExecMySQL("CREATE TABLE cli_c (id INT)");
    ExecMySQL("CREATE TABLE Cli_B (id INT)");
    ExecMySQL("CREATE TABLE cli_a (id INT)");
    ExecMySQL("CREATE TABLE `cli_Äb` (id INT)");  // case is ignored beyond ASCII too, as in the window
    ExecMySQL("CREATE TABLE `cli_äa` (id INT)");
    const CliRun result = run({"list", "mysql"});
    QCOMPARE(result.exitCode, 0);
    QStringList ours;
    for (const QString& line : result.out.split('\n', Qt::SkipEmptyParts))
        if (line.startsWith("cli_", Qt::CaseInsensitive))
            ours << line;
    QCOMPARE(ours, QStringList({"cli_a", "Cli_B", "cli_c", "cli_äa", "cli_Äb"}));
}

void CliProcessTest::listJson()
{
    ExecDB2("CREATE TABLE cli_a (id INTEGER)");
    const CliRun result = run({"list", "db2", "--json"});
    QCOMPARE(result.exitCode, 0);
    const QJsonDocument doc = QJsonDocument::fromJson(result.out.toUtf8());
    QVERIFY2(doc.isArray(), qPrintable(result.out));
    QVERIFY(doc.array().contains(QJsonValue("CLI_A")));  // DB2 folds unquoted names to upper case
}

void CliProcessTest::badLoginIsExitTwo_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("mysql") << "mysql"
                           << "Access denied";
    QTest::newRow("db2") << "db2"
                         << "SQL30082N";
}

void CliProcessTest::badLoginIsExitTwo()
{
    QFETCH(QString, side);
    QFETCH(QString, fragment);
    const QString variable = side == "mysql" ? "TABLEHOP_MYSQL_PASSWORD" : "TABLEHOP_DB2_PASSWORD";
    for (const QStringList& args :
         {QStringList {"test", side}, QStringList {"list", side}, QStringList {"drop", side, "x"}}) {
        const CliRun result = run(args, {{variable, "wrong-password"}});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(fragment), qPrintable(result.err));
    }
    QCOMPARE(run({"test", side}).exitCode, 0);
}

void CliProcessTest::storedLoginsAreUsedWhenNothingOverrides()
{
    const ConnectionProfile profile = MySQLTestProfile();
    {
        SettingsStore store(configHome.filePath("Quarnel/Tablehop.ini"));
        store.write("MySQLServer", QString::fromStdString(profile.server));
        store.write("MySQLPort", QString::fromStdString(profile.port));
        store.write("MySQLUser", QString::fromStdString(profile.user));
        store.write("MySQLPassword", QString::fromStdString(profile.password));
        store.write("MySQLDatabase", QString::fromStdString(profile.database));
    }
    QCOMPARE(run({"test", "mysql"}, {}, false).exitCode, 0);
    // An option beats the store.
    const CliRun overridden = run({"test", "mysql", "--mysql-port", "1"}, {}, false);
    QCOMPARE(overridden.exitCode, 2);
    QFile::remove(configHome.filePath("Quarnel/Tablehop.ini"));
}

// Encrypted logins to the servers that require them, and another DB2 schema,
// from options and the environment.
void CliProcessTest::connectionOptions_data()
{
    const QString ca = qEnvironmentVariable("TABLEHOP_TEST_TLS_CA");
    const QString tlsPort = qEnvironmentVariable("TABLEHOP_TEST_TLS_MYSQL_PORT");
    const QString tlsUser = "TABLEHOP_DB2_USER=" + qEnvironmentVariable("TABLEHOP_TEST_TLS_DB2_USER");
    const QString tlsPassword = "TABLEHOP_DB2_PASSWORD=" + qEnvironmentVariable("TABLEHOP_TEST_TLS_DB2_PASSWORD");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("mysql: a CA asks for tls") << QStringList {"test", "mysql", "--mysql-port", tlsPort, "--mysql-ca", ca}
                                              << QStringList {} << 0 << "Connection successful.";
    QTest::newRow("mysql: tls from the environment")
        << QStringList {"test", "mysql", "--mysql-port", tlsPort}
        << QStringList {"TABLEHOP_MYSQL_TLS=1", "TABLEHOP_MYSQL_CA=" + ca} << 0 << "Connection successful.";
    QTest::newRow("mysql: plain to a server that wants tls")
        << QStringList {"test", "mysql", "--mysql-port", tlsPort} << QStringList {} << 2
        << "accepts only encrypted connections";
    QTest::newRow("mysql: a bad TABLEHOP_MYSQL_TLS")
        << QStringList {"test", "mysql"} << QStringList {"TABLEHOP_MYSQL_TLS=maybe"} << 2 << "is neither 1 nor 0";
    QTest::newRow("db2: tls login with its CA")
        << QStringList {"test", "db2", "--db2-tls", "--db2-ca", ca} << QStringList {tlsUser, tlsPassword} << 0
        << "Connection successful.";
    QTest::newRow("db2: tls with another CA")
        << QStringList {"test", "db2", "--db2-ca", qEnvironmentVariable("TABLEHOP_TEST_TLS_OTHER_CA")}
        << QStringList {tlsUser, tlsPassword} << 2 << "is not signed by the CA certificate file";
    QTest::newRow("db2: another schema") << QStringList {"list", "db2", "--db2-schema", "CLI_SCHEMA35"}
                                         << QStringList {} << 0 << "cli35_in_schema";
    QTest::newRow("db2: another schema from the environment")
        << QStringList {"list", "db2"} << QStringList {"TABLEHOP_DB2_SCHEMA=CLI_SCHEMA35"} << 0 << "cli35_in_schema";
}

void CliProcessTest::connectionOptions()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, fragment);
    try {
        ExecDB2("DROP TABLE CLI_SCHEMA35.\"cli35_in_schema\"");
    } catch (const DbError&) {
    }
    ExecDB2("CREATE TABLE CLI_SCHEMA35.\"cli35_in_schema\" (id INTEGER)");
    QMap<QString, QString> extra;
    for (const QString& setting : environment)
        extra.insert(setting.section('=', 0, 0), setting.section('=', 1));
    const CliRun result = run(args, extra);
    ExecDB2("DROP TABLE CLI_SCHEMA35.\"cli35_in_schema\"");
    QVERIFY2((result.out + result.err).contains(fragment), qPrintable(result.out + result.err));
    QCOMPARE(result.exitCode, exitCode);
    if (args.first() == "list")
        QVERIFY2(!run({"list", "db2"}).out.contains("cli35_in_schema"), "listed in the login's own schema too");
}

void CliProcessTest::dropAndRename_data()
{
    QTest::addColumn<QString>("side");
    QTest::newRow("mysql") << "mysql";
    QTest::newRow("db2") << "db2";
}

void CliProcessTest::dropAndRename()
{
    QFETCH(QString, side);
    const std::string s = side.toStdString();
    const bool mysql = side == "mysql";
    const std::string odd = mysql ? "cli odd`name" : "cli odd\"name";
    exec(s, mysql ? "CREATE TABLE cli_a (id INT)" : "CREATE TABLE \"cli_a\" (id INT)");
    exec(s, mysql ? "CREATE TABLE `cli odd``name` (id INT)" : "CREATE TABLE \"cli odd\"\"name\" (id INT)");

    CliRun result = run({"rename", side, "cli_a", "cli_renamed"});
    QCOMPARE(result.exitCode, 0);
    auto names = tables(s);
    QVERIFY(std::count(names.begin(), names.end(), "cli_renamed") == 1);
    QVERIFY(std::count(names.begin(), names.end(), "cli_a") == 0);

    result = run({"rename", side, "no_such_cli_table", "cli_x"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("table no_such_cli_table, step RENAME"), qPrintable(result.err));

    result = run({"drop", side, "cli_renamed", QString::fromStdString(odd), "cli_missing"});
    QCOMPARE(result.exitCode, 0);  // as in the window, a missing table is already gone
    QVERIFY2(result.out.contains("already gone: cli_missing"), qPrintable(result.out));
    // One entry per command: the drop of three tables is one.
    const QString sideName = mysql ? "MySQL" : "IBM DB2";
    const QString dropped = "cli_renamed, " + QString::fromStdString(odd) + ", cli_missing";
    QStringList entries;
    for (const QString& line : activityLog().mid(activityLog().size() - 3))
        entries << line.section('\t', 1, 4);  // action, side, tables, result
    QCOMPARE(entries,
             QStringList({"rename\t" + sideName + "\ttables=cli_a\tresult=Renamed cli_a to cli_renamed on " + sideName,
                          "rename\t" + sideName
                              + "\ttables=no_such_cli_table\tresult=Did not rename no_such_cli_table to cli_x on "
                              + sideName,
                          "delete\t" + sideName + "\ttables=" + dropped + "\tresult=Deleted 3 tables from " + sideName
                              + ": " + dropped}));
    names = tables(s);
    QVERIFY(std::count(names.begin(), names.end(), "cli_renamed") == 0);
    QVERIFY(std::count(names.begin(), names.end(), odd) == 0);

    if (mysql) {
        // MariaDB refuses DROP TABLE on a view with the "no such table" state: it is not gone.
        ExecMySQL("CREATE VIEW cli_view AS SELECT 1 AS one");
        result = run({"drop", side, "cli_view"});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("table cli_view, step DROP TABLE") && result.err.contains("is a view"),
                 qPrintable(result.err));
    }

    // A log that cannot be written (its folder's place is a file) is said once; the rename is done all the same.
    QFile blocker(configHome.filePath("data-is-a-file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    exec(s, mysql ? "CREATE TABLE cli_a (id INT)" : "CREATE TABLE \"cli_a\" (id INT)");
    result = run({"rename", side, "cli_a", "cli_renamed"}, {{"XDG_DATA_HOME", blocker.fileName()}});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err.count("warning: the activity log could not be written: " + blocker.fileName()), 1);
    names = tables(s);
    QVERIFY(std::count(names.begin(), names.end(), "cli_renamed") == 1);
}

namespace {

// Every value of a table as text, rows in key order.
QStringList rowsOf(const std::string& side, const std::string& selectSql)
{
    DataConnection connection;
    connection.open(side == "mysql" ? MySQLConnectionString(MySQLTestProfile())
                                    : DB2ConnectionString(DB2TestProfile()));
    auto rs = connection.execute(selectSql);
    QStringList rows;
    for (; rs && !rs->eof(); rs->moveNext()) {
        QStringList values;
        for (int i = 0; i < rs->fieldCount(); ++i)
            values << (rs->field(i).isNull() ? QStringLiteral("<null>") : QString::fromStdString(*rs->field(i).value));
        rows << values.join(QStringLiteral("|"));
    }
    return rows;
}

void createOrders()
{
    ExecMySQL("CREATE TABLE cli_orders (id INT PRIMARY KEY, name VARCHAR(40), price DECIMAL(10,2), "
              "created DATETIME(6), note TEXT) CHARACTER SET utf8mb4");
    ExecMySQL("INSERT INTO cli_orders VALUES (1, 'Zoë', 12.50, '2024-02-29 13:14:15.123456', 'it''s'), "
              "(2, '山田', NULL, '2024-03-01 00:00:00', ''), (3, 'x\"y`z', 0.01, '1999-12-31 23:59:59.5', NULL)");
}

}  // namespace

void CliProcessTest::sendBothWays()
{
    createOrders();
    const QStringList original = rowsOf("mysql", "SELECT * FROM cli_orders ORDER BY id");

    CliRun result = run({"send", "--to", "db2", "cli_orders"});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains("Sent 1 table to IBM DB2: 3 rows copied, 0 rows refused"), qPrintable(result.out));
    QVERIFY2(activityLog()
                 .value(activityLog().size() - 1)
                 .section('\t', 1)
                 .startsWith(
                     "send\tIBM DB2\ttables=cli_orders\tresult=Sent 1 table to IBM DB2: 3 rows copied, 0 rows refused"),
             qPrintable(activityLog().join('\n')));
    QVERIFY2(result.err.contains("cli_orders: 3 rows sent, 0 refused"),
             qPrintable(result.err));  // one line per table off a terminal
    QStringList onDB2 = rowsOf("db2", "SELECT * FROM \"cli_orders\" ORDER BY \"id\"");
    QCOMPARE(onDB2.size(), 3);

    // The table exists now: an error without a choice, nothing touched with --skip-existing.
    result = run({"send", "--to", "db2", "cli_orders"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("table cli_orders") && result.err.contains("--overwrite"), qPrintable(result.err));
    ExecDB2("INSERT INTO \"cli_orders\" (\"id\") VALUES (4)");
    ExecMySQL("CREATE TABLE cli_c (id INT)");
    ExecMySQL("INSERT INTO cli_c VALUES (1)");
    result = run({"send", "--to", "db2", "--skip-existing", "cli_orders", "cli_c"});
    QCOMPARE(result.exitCode, 0);
    // The table kept by choice was not left out by a failure.
    QVERIFY2(result.out.startsWith("Sent 1 table to IBM DB2: 1 rows copied") && !result.out.contains("Not sent"),
             qPrintable(result.out));
    QCOMPARE(rowsOf("db2", "SELECT * FROM \"cli_orders\"").size(), 4);  // kept as it was
    result = run({"send", "--to", "db2", "--overwrite", "cli_orders"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rowsOf("db2", "SELECT * FROM \"cli_orders\" ORDER BY \"id\""), onDB2);  // the extra row went with the drop

    // And back: the MySQL table is replaced by the copy from DB2, values unchanged.
    result = run({"send", "--to", "mysql", "--overwrite", "cli_orders"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(rowsOf("mysql", "SELECT * FROM cli_orders ORDER BY id"), original);
}

void CliProcessTest::verifyNamesTheDifferences()
{
    createOrders();
    CliRun result = run({"send", "--to", "db2", "--verify", "--json", "cli_orders"});
    QCOMPARE(result.exitCode, 0);
    QJsonObject table = QJsonDocument::fromJson(result.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(table.value("status").toString(), QString("sent"));
    QCOMPARE(table.value("verify").toObject().value("status").toString(), QString("equal"));

    // DB2 holds the numbers as text here, so the rows are picked by their text.
    ExecDB2("UPDATE \"cli_orders\" SET \"name\" = 'Zoe' WHERE CAST(\"id\" AS VARCHAR(10)) = '1'");
    ExecDB2("DELETE FROM \"cli_orders\" WHERE CAST(\"id\" AS VARCHAR(10)) = '2'");
    result = run({"verify", "--to", "db2", "cli_orders"});
    QCOMPARE(result.exitCode, 1);
    for (const char* line : {"Verified 1 table against IBM DB2: 0 equal, 1 different, 0 not compared",
                             "cli_orders: different: 3 rows on MySQL, 2 on IBM DB2; 1 only on MySQL, 0 only on IBM DB2, 1 differ",
                             "  id=1 name: 'Zoë' on MySQL, 'Zoe' on IBM DB2", "  id=2: only on MySQL"})
        QVERIFY2(result.out.contains(line), qPrintable(line + QString(" in:\n") + result.out));
    QVERIFY2(activityLog().last().section('\t', 1).startsWith(
                 "verify\tIBM DB2\ttables=cli_orders\tresult=Verified 1 table against IBM DB2: 0 equal, 1 different"),
             qPrintable(activityLog().last()));

    result = run({"verify", "--to", "db2", "--json", "cli_orders", "cli_none"});
    QCOMPARE(result.exitCode, 1);
    const QJsonArray tables = QJsonDocument::fromJson(result.out.toUtf8()).object().value("tables").toArray();
    QCOMPARE(tables.size(), 2);
    table = tables[0].toObject();
    QCOMPARE(table.value("status").toString(), QString("different"));
    QCOMPARE(table.value("rowsOnlyOnSource").toInt(), 1);
    QCOMPARE(table.value("rowsDiffering").toInt(), 1);
    const QJsonObject first = table.value("differences").toArray()[0].toObject();
    QCOMPARE(first.value("column").toString(), QString("name"));
    QCOMPARE(first.value("target").toString(), QString("Zoe"));
    QCOMPARE(tables[1].toObject().value("status").toString(), QString("not compared"));
    QCOMPARE(tables[1].toObject().value("reason").toString(), QString("no table cli_none on IBM DB2"));

    // A zero date goes to DB2 as NULL, as the copy counts: the table arrived but is not equal.
    ExecMySQL("CREATE TABLE cli_zero (id INT PRIMARY KEY, d DATE)");
    ExecMySQL("SET STATEMENT sql_mode = '' FOR INSERT INTO cli_zero VALUES (1, '0000-00-00'), (2, '2024-02-29')");
    result = run({"send", "--to", "db2", "--verify", "--json", "cli_zero"});
    QCOMPARE(result.exitCode, 1);
    table = QJsonDocument::fromJson(result.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(table.value("status").toString(), QString("different"));
    const QJsonObject zero = table.value("verify").toObject().value("differences").toArray()[0].toObject();
    QCOMPARE(zero.value("row").toString(), QString("id=1"));
    QCOMPARE(zero.value("column").toString(), QString("d"));
    QCOMPARE(zero.value("known").toString(), QString("zero date stored as NULL"));
    QVERIFY(zero.value("target").isNull());
}

void CliProcessTest::sendRefusedTableIsExitOne()
{
    // DB2 tells "a" from "A"; MySQL column names ignore case, so it refuses the table.
    ExecDB2("CREATE TABLE \"cli_refused\" (\"a\" INTEGER, \"A\" INTEGER)");
    ExecDB2("INSERT INTO \"cli_refused\" VALUES (1, 2)");
    const CliRun result = run({"send", "--to", "mysql", "cli_refused", "cli_no_such_table"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains("table cli_refused, step CREATE TABLE: "), qPrintable(result.err));
    QVERIFY2(result.err.contains("table cli_no_such_table, step read source: "), qPrintable(result.err));
    QVERIFY2(result.out.contains("Sent 0 tables to MySQL"), qPrintable(result.out));
    const auto names = tables("mysql");
    QVERIFY(std::count(names.begin(), names.end(), "cli_refused") == 0);
    // Rows onto a column the target computes itself: refused before any row moves, the old row stays.
    ExecDB2("CREATE TABLE \"cli_c\" (\"id\" INTEGER, \"total\" INTEGER)");
    ExecDB2("INSERT INTO \"cli_c\" VALUES (1, 100), (2, 200)");
    ExecMySQL("CREATE TABLE cli_c (id INT, total INT AS (id * 10) STORED) ENGINE=InnoDB");
    ExecMySQL("INSERT INTO cli_c (id) VALUES (7)");
    const CliRun computed = run({"send", "--to", "mysql", "--existing", "append", "--json", "cli_c"});
    QCOMPARE(computed.exitCode, 1);
    QVERIFY2(computed.err.contains("cli_c computes total (a STORED generated column) itself and takes no value for it"),
             qPrintable(computed.err));
    const QJsonObject c
        = QJsonDocument::fromJson(computed.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(c.value("status"), QJsonValue("failed"));
    QCOMPARE(rowsOf("mysql", "SELECT * FROM cli_c"), QStringList({"7|70"}));
    // A value the existing column would round costs its row, unless rounding is allowed: then it is counted.
    ExecDB2("CREATE TABLE \"cli_round\" (\"id\" INTEGER, \"v\" DECIMAL(30,10))");
    ExecDB2("INSERT INTO \"cli_round\" VALUES (1, 0.5), (2, 12345678901234567890.123456789)");
    ExecMySQL("CREATE TABLE cli_round (id INT, v DOUBLE) ENGINE=InnoDB");
    const CliRun refusedValue = run({"send", "--to", "mysql", "--existing", "append", "cli_round"});
    QCOMPARE(refusedValue.exitCode, 1);
    QVERIFY2(refusedValue.err.contains("cli_round.v: DOUBLE would round 12345678901234567890.1234567890"),
             qPrintable(refusedValue.err));
    const CliRun rounded
        = run({"send", "--to", "mysql", "--existing", "replace-rows", "--allow-rounding", "--json", "cli_round"});
    QCOMPARE(rounded.exitCode, 0);
    const QJsonObject r
        = QJsonDocument::fromJson(rounded.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(r.value("valuesRounded"), QJsonValue(QJsonObject {{"v", 1}}));
    QCOMPARE(rowsOf("mysql", "SELECT COUNT(*) FROM cli_round"), QStringList({"2"}));

    const CliRun badLogin = run({"send", "--to", "mysql", "cli_refused"}, {{"TABLEHOP_DB2_PASSWORD", "wrong"}});
    QCOMPARE(badLogin.exitCode, 2);
    QVERIFY2(badLogin.err.contains("SQL30082N"), qPrintable(badLogin.err));
    QVERIFY2(badLogin.err.contains("error: connect to IBM DB2: "), qPrintable(badLogin.err));  // the source here
}

void CliProcessTest::sendJsonSummary()
{
    createOrders();
    // DB2 has no year 0, so the second row is refused; zero and partial dates
    // (allowed by sql_mode '') go to the DATE column as counted NULLs and keep
    // their text in the DATETIME column, which DB2 gets as text.
    ExecMySQL("CREATE TABLE cli_a (v VARCHAR(10), d DATE, t DATETIME)");
    ExecMySQL("SET STATEMENT sql_mode = '' FOR INSERT INTO cli_a VALUES ('ok', '2024-01-31', '2024-01-31 10:00:00'), "
              "('bad', '0000-01-01', NULL), ('zero', '0000-00-00', '0000-00-00 00:00:00'), "
              "('part', '2000-00-15', '2000-00-15 10:00:00')");
    ExecDB2("CREATE TABLE \"cli_a\" (\"v\" VARCHAR(3))");  // exists: --overwrite replaces it
    const CliRun result = run({"send", "--to", "db2", "--overwrite", "--json", "cli_orders", "cli_a"});
    QCOMPARE(result.exitCode, 1);
    const QJsonDocument doc = QJsonDocument::fromJson(result.out.toUtf8());
    QVERIFY2(doc.isObject(), qPrintable(result.out));
    const QJsonObject summary = doc.object();
    QCOMPARE(summary.value("direction").toString(), QStringLiteral("mysql-to-db2"));
    QCOMPARE(summary.value("tablesSent").toInt(), 2);
    QCOMPARE(summary.value("rowsCopied").toInt(), 6);
    QCOMPARE(summary.value("rowsRefused").toInt(), 1);
    QCOMPARE(summary.value("exitCode").toInt(), 1);
    const QJsonArray tablesSent = summary.value("tables").toArray();
    QCOMPARE(tablesSent.size(), 2);
    const QJsonObject orders = tablesSent[0].toObject(), a = tablesSent[1].toObject();
    QCOMPARE(orders.value("name").toString(), QStringLiteral("cli_orders"));
    QCOMPARE(orders.value("status").toString(), QStringLiteral("sent"));
    QCOMPARE(orders.value("rowsWritten").toInt(), 3);
    QVERIFY(!orders.contains("existing"));  // it was not there before
    QCOMPARE(a.value("existing").toString(), QStringLiteral("replace"));
    QCOMPARE(a.value("status").toString(), QStringLiteral("sent"));  // read whole; the refused row is counted
    QCOMPARE(a.value("rowsRead").toInt(), 4);
    QCOMPARE(a.value("rowsWritten").toInt(), 3);
    QCOMPARE(a.value("rowsRefused").toInt(), 1);
    QCOMPARE(a.value("rowsOnTarget").toInt(), 3);
    QCOMPARE(a.value("zeroDatesStoredAsNull").toObject(), (QJsonObject {{"d", 2}}));
    QCOMPARE(rowsOf("db2", "SELECT * FROM \"cli_a\" ORDER BY \"v\""),
             QStringList({"ok|2024-01-31|2024-01-31 10:00:00", "part|<null>|2000-00-15 10:00:00",
                          "zero|<null>|0000-00-00 00:00:00"}));

    // The text summary tells the same story.
    ExecDB2("DROP TABLE \"cli_a\"");
    const CliRun text = run({"send", "--to", "db2", "cli_a"});
    QCOMPARE(text.exitCode, 1);
    QVERIFY2(text.out.contains("Sent 1 table to IBM DB2: 3 rows copied, 1 rows refused"), qPrintable(text.out));
    QVERIFY2(text.out.contains("cli_a.d: 2 zero dates stored as NULL"), qPrintable(text.out));
    // Tables side by side: a row refused at the end of the first table is told
    // with that table, though the others started after it.
    ExecMySQL("CREATE TABLE cli_refused (v INT, d DATE)");
    ExecMySQL("SET STATEMENT sql_mode = '' FOR INSERT INTO cli_refused "
              "SELECT seq, IF(seq = 20000, '0000-01-01', '2024-01-31') FROM seq_1_to_20000");
    ExecMySQL("CREATE TABLE Cli_B (id INT)");
    const CliRun sideBySide = run(
        {"send", "--to", "db2", "--overwrite", "--parallel", "2", "--json", "cli_refused", "cli_orders", "Cli_B"});
    QCOMPARE(sideBySide.exitCode, 1);
    QVERIFY2(sideBySide.err.contains("error: table cli_refused, step INSERT: "), qPrintable(sideBySide.err));
    QCOMPARE(sideBySide.err.count("error: "), 1);
    const QJsonArray sideTables = QJsonDocument::fromJson(sideBySide.out.toUtf8()).object().value("tables").toArray();
    QCOMPARE(sideTables.size(), 3);
    QCOMPARE(sideTables[0].toObject().value("errors").toArray().size(), 1);
    QCOMPARE(sideTables[1].toObject().value("errors"), QJsonValue(QJsonArray {}));
    QCOMPARE(sideTables[2].toObject().value("errors"), QJsonValue(QJsonArray {}));
    // With matching types: a zero date in a column that cannot be NULL (a copied key) costs
    // only its own row, reported; one in a TIMESTAMP column arrives as a counted NULL.
    ExecMySQL("CREATE TABLE cli_zk (d DATE PRIMARY KEY, t DATETIME, v INT)");
    // Only zero dates of rows stored count: none of d, one of t's two.
    ExecMySQL("SET STATEMENT sql_mode = '' FOR INSERT INTO cli_zk VALUES ('0000-00-00', '2024-01-31 10:00:00', 1), "
              "('2024-01-31', '0000-00-00 00:00:00', 2), ('2000-00-15', '0000-00-00 00:00:00', 3)");
    const CliRun keyed = run({"send", "--to", "db2", "--json", "--keys", "--db2-types", "matching", "cli_zk"});
    QCOMPARE(keyed.exitCode, 1);
    QVERIFY2(keyed.err.contains("step INSERT"), qPrintable(keyed.err));
    const QJsonObject zk = QJsonDocument::fromJson(keyed.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(zk.value("rowsWritten").toInt(), 1);
    QCOMPARE(zk.value("rowsRefused").toInt(), 2);
    QCOMPARE(zk.value("zeroDatesStoredAsNull").toObject(), (QJsonObject {{"t", 1}}));
    QCOMPARE(rowsOf("db2", "SELECT * FROM \"cli_zk\""), QStringList({"2024-01-31|<null>|2"}));
    // A database in code page 819 has no euro sign: DB2 substitutes it and only warns.
    ExecMySQL("CREATE TABLE cli_cp (v VARCHAR(5), w VARCHAR(5)) CHARACTER SET utf8mb4");
    ExecMySQL("INSERT INTO cli_cp VALUES ('5 €', 'ü'), ('é', 'ü'), ('€', '€')");
    const CliRun latin = run({"send", "--to", "db2", "--json", "cli_cp"}, {{"DB2STANDIN_DATABASE_CODEPAGE", "819"}});
    QCOMPARE(latin.exitCode, 0);
    const QJsonObject cp = QJsonDocument::fromJson(latin.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(cp.value("valuesChangedByCodePage").toObject(), (QJsonObject {{"v", 2}, {"w", 1}}));

    // A key the text types cannot hold is a note, not a failure; with matching types it is copied.
    // An empty table is counted on the target too.
    ExecMySQL("CREATE TABLE cli_c (id INT)");
    const CliRun keys = run({"send", "--to", "db2", "--overwrite", "--json", "--keys", "cli_orders", "cli_c"});
    QCOMPARE(keys.exitCode, 0);
    const QJsonArray keysTables = QJsonDocument::fromJson(keys.out.toUtf8()).object().value("tables").toArray();
    QCOMPARE(keysTables[0].toObject().value("notes"),
             QJsonValue(QJsonArray {"cli_orders: primary key left out: its column id is LONG VARCHAR, which cannot be "
                                    "part of a key on IBM DB2"}));
    QCOMPARE(keysTables[1].toObject().value("status"), QJsonValue("sent"));
    QCOMPARE(keysTables[1].toObject().value("rowsOnTarget"), QJsonValue(0));
    // Rows added to an existing table: the mode is named, the count is the table's.
    ExecMySQL("INSERT INTO cli_c VALUES (5), (6)");
    const CliRun added = run({"send", "--to", "db2", "--existing", "append", "--json", "cli_c"});
    QCOMPARE(added.exitCode, 0);
    const QJsonObject c = QJsonDocument::fromJson(added.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(c.value("existing"), QJsonValue("append"));
    QCOMPARE(c.value("rowsOnTarget"), QJsonValue(2));
    // A server failure part-way (a full table space after two rows) is no row's fault: the
    // table ends incomplete, the error is named and the old rows stay.
    ExecMySQL("INSERT INTO cli_c VALUES (7), (8)");
    const CliRun full = run({"send", "--to", "db2", "--existing", "replace-rows", "--json", "cli_c"},
                            {{"DB2STANDIN_FAIL_INSERT", "57011,-289,2"}});
    ExecMySQL("DELETE FROM cli_c WHERE id > 6");
    QCOMPARE(full.exitCode, 1);
    const QJsonObject failed
        = QJsonDocument::fromJson(full.out.toUtf8()).object().value("tables").toArray()[0].toObject();
    QCOMPARE(failed.value("status"), QJsonValue("incomplete"));
    QCOMPARE(failed.value("reason"), QJsonValue("writing stopped part-way, the old rows were kept"));
    QVERIFY2(failed.value("errors").toArray()[0].toString().contains("SQL0289N"), qPrintable(full.out));
    QCOMPARE(rowsOf("db2", "SELECT * FROM \"cli_c\" ORDER BY 1"), QStringList({"5", "6"}));
    // The options the window last used are the defaults; flags beat them.
    {
        SettingsStore store(configHome.filePath("Quarnel/Tablehop.ini"));
        store.write("DB2ColumnTypes", "matching");
        store.write("CopyPrimaryKeys", "1");
    }
    const CliRun stored = run({"send", "--to", "db2", "--overwrite", "cli_orders"});
    QCOMPARE(stored.exitCode, 0);
    QVERIFY2(!stored.out.contains("left out"), qPrintable(stored.out));
    DataConnection db2;
    db2.open(DB2ConnectionString(DB2TestProfile()));
    QCOMPARE(db2.primaryKeyColumns("cli_orders"), std::vector<std::string> {"id"});
    QCOMPARE(db2.execute("SELECT * FROM \"cli_orders\"")->field("price").sqlType, SQLSMALLINT(SQL_DECIMAL));
    QCOMPARE(run({"send", "--to", "db2", "--overwrite", "--db2-types", "text", "--no-keys", "cli_orders"}).exitCode, 0);
    QVERIFY(db2.primaryKeyColumns("cli_orders").empty());
    QCOMPARE(db2.execute("SELECT * FROM \"cli_orders\"")->field("price").sqlType, SQLSMALLINT(SQL_LONGVARCHAR));
    // Upper-case names on DB2, by the flag or as the window last chose: CLI_C is then the table cli_c.
    const CliRun upper = run({"send", "--to", "db2", "--db2-upper-case", "cli_c"});
    QVERIFY2(upper.exitCode == 0, qPrintable(upper.err));
    QCOMPARE(rowsOf("db2", "SELECT COUNT(*) FROM CLI_C"), QStringList({"2"}));  // the two rows of cli_c
    SettingsStore(configHome.filePath("Quarnel/Tablehop.ini")).write("UpperCaseDB2Names", "1");
    const CliRun stillUpper = run({"send", "--to", "db2", "cli_c"});
    QCOMPARE(stillUpper.exitCode, 1);
    QVERIFY2(stillUpper.err.contains("CLI_C exists on IBM DB2"), qPrintable(stillUpper.err));
    QFile::remove(configHome.filePath("Quarnel/Tablehop.ini"));
}

void CliProcessTest::existingTableIsNamedAsMatched()
{
    // A MySQL server that keeps table names in lower case matches them without
    // regard to case, beyond ASCII too, and the message names the table that matched.
    DataConnection folding;
    folding.open(MySQLConnectionString(FoldingMySQLTestProfile()));
    folding.execute("DROP TABLE IF EXISTS `cli_ä`");
    folding.execute("CREATE TABLE `CLI_Ä` (id INT)");
    ExecDB2("CREATE TABLE \"CLI_Ä\" (ID INTEGER)");
    const QStringList send {"send",
                            "--to",
                            "mysql",
                            "--mysql-port",
                            QString::fromStdString(FoldingMySQLTestProfile().port),
                            QString::fromUtf8("CLI_Ä")};
    const CliRun result = run(send);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QString::fromUtf8("cli_ä exists on MySQL")), qPrintable(result.err));
    // On DB2, which compares quoted names exactly, cli_Ä is another table.
    ExecMySQL("CREATE TABLE `cli_Ä` (id INT)");
    const CliRun toDB2 = run({"send", "--to", "db2", QString::fromUtf8("cli_Ä")});
    QVERIFY2(toDB2.exitCode == 0, qPrintable(toDB2.err));
    folding.execute("DROP TABLE `cli_ä`");
}

// The self-check's comparison of decimals read as text: drivers differ in form only.
void CliProcessTest::decimalsCompareByValue_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("leading zero left out") << ".5"
                                           << "0.5" << true;
    QTest::newRow("negative, trailing zeros") << "-0.50"
                                              << "-.5" << true;
    QTest::newRow("whole number") << "12"
                                  << "12.000" << true;
    QTest::newRow("comma separator") << "12,5"
                                     << "12.5" << true;
    QTest::newRow("zero's sign") << "-0.0"
                                 << "0" << true;
    QTest::newRow("other value") << "0.5"
                                 << "0.05" << false;
    QTest::newRow("sign differs") << "-1"
                                  << "1" << false;
    QTest::newRow("not a number") << ""
                                  << "" << false;
}

void CliProcessTest::decimalsCompareByValue()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(SameDecimalValue(a.toStdString(), b.toStdString()), same);
}

void CliProcessTest::stopSignalEndsLikeCancel_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("json");
    // The statement in hand stops too: the send ends while the server still holds it.
    QTest::addColumn<bool>("endsWhileHeld");
    QTest::newRow("Ctrl-C") << int(SIGINT) << 1 << false << false;
    QTest::newRow("SIGTERM with --json") << int(SIGTERM) << 1 << true << false;
    QTest::newRow("a second signal ends at once") << int(SIGTERM) << 2 << true << false;
    QTest::newRow("Ctrl-C stops the waiting statement") << int(SIGINT) << 1 << false << true;
}

void CliProcessTest::stopSignalEndsLikeCancel()
{
    QFETCH(int, signal);
    QFETCH(int, count);
    QFETCH(bool, json);
    QFETCH(bool, endsWhileHeld);
    // One signal comes mid-copy, so the send stops after a batch; otherwise
    // the signals come while a statement waits (below).
    const bool midCopy = count == 1 && !endsWhileHeld;
    ExecDB2("CREATE TABLE \"cli_a\" (\"id\" INTEGER, \"v\" VARCHAR(20))");
    ExecDB2("INSERT INTO \"cli_a\" SELECT g, 'some text' FROM generate_series(1, "
            + std::string(midCopy ? "300000" : "5000") + ") g");
    ExecMySQL("CREATE TABLE cli_a (old INT)");
    ExecMySQL("INSERT INTO cli_a VALUES (7)");
    const auto dropStagingTables = [] {
        for (const auto& name : tables("mysql"))
            if (StagingNameTime(name))
                ExecMySQL("DROP TABLE " + QuoteMySQLIdentifier(name));
    };
    dropStagingTables();  // left by a failed run, their DROP would wait for the lock below
    // The server's global read lock holds the send at its CREATE of the
    // staging table, so the signal surely comes mid-send.
    DataConnection lock;
    lock.open(MySQLConnectionString(MySQLTestProfile()));
    if (!midCopy)
        lock.execute("FLUSH TABLES WITH READ LOCK");
    const auto stagingTables = [] {  // the lists leave them out
        return rowsOf("mysql",
                      "SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                      "TABLE_SCHEMA = DATABASE() AND TABLE_NAME LIKE 'tablehop\\_stage\\_%'");
    };
    const auto stagedRows = [&] {
        const QStringList staging = stagingTables();
        return staging.isEmpty()
            ? 0
            : rowsOf("mysql", "SELECT COUNT(*) FROM " + QuoteMySQLIdentifier(staging[0].toStdString()))
                  .value(0)
                  .toLongLong();
    };

    QProcess process;
    QStringList args {"send", "--to", "mysql", "--overwrite", "cli_a", "cli_c"};
    if (json)
        args << "--json";
    start(process, args);
    if (midCopy)
        QTRY_VERIFY_WITH_TIMEOUT(stagedRows() > 0, 20000);  // batches are arriving
    else
        QTRY_COMPARE_WITH_TIMEOUT(rowsOf("mysql",
                                         "SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                         "WHERE INFO LIKE 'CREATE TABLE `tablehop_stage_%'"),
                                  QStringList {"1"}, 20000);
    const auto pid = static_cast<pid_t>(process.processId());
    QVERIFY(pid > 0);
    // Two signals come at once, as the first alone ends the send promptly:
    // the first is another one, as the same one would merge with it while pending.
    if (count > 1)
        ::kill(pid, signal == SIGINT ? SIGTERM : SIGINT);
    ::kill(pid, signal);
    if (endsWhileHeld)
        QVERIFY2(process.waitForFinished(10000), "the send waited for the lock");
    if (count > 1) {
        QVERIFY(process.waitForFinished(10000));  // while the CREATE still waits
        // The server would still run the ended program's CREATE once the lock goes.
        for (const QString& id : rowsOf("mysql",
                                        "SELECT ID FROM information_schema.PROCESSLIST "
                                        "WHERE INFO LIKE 'CREATE TABLE `tablehop_stage_%'"))
            lock.execute("KILL " + id.toStdString());
    }
    if (!midCopy)
        lock.execute("UNLOCK TABLES");
    if (midCopy)
        QVERIFY(process.waitForFinished(30000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 128 + signal);
    QCOMPARE(rowsOf("mysql", "SELECT * FROM cli_a"), QStringList {"7"});  // the old table stays
    if (count > 1) {
        QVERIFY2(out.isEmpty(), qPrintable(out));  // no summary: it ended at once
        QVERIFY2(err.contains("stopped at once"), qPrintable(err));
        return;
    }
    const auto names = tables("mysql");
    QVERIFY(
        std::none_of(names.begin(), names.end(), [](const std::string& n) { return StagingNameTime(n).has_value(); }));
    QCOMPARE(stagingTables(), QStringList {});
    QVERIFY2(err.contains("stopping after the current batch"), qPrintable(err));
    if (endsWhileHeld) {  // stopped before the table's first batch arrived
        QVERIFY2(out.startsWith("Sent 0 tables to MySQL: 0 rows copied, 0 rows refused,")
                     && out.contains("(cancelled)\n"),
                 qPrintable(out));
        QVERIFY2(out.contains(QRegularExpression("\nNot sent \\(cancelled\\): (cli_a, )?cli_c\n")), qPrintable(out));
        return;
    }
    if (!json) {
        QVERIFY2(out.contains("Incomplete: cli_a (cancelled, the old table was not replaced;"), qPrintable(out));
        QVERIFY2(out.contains("Not sent (cancelled): cli_c"), qPrintable(out));
        return;
    }
    const QJsonObject summary = QJsonDocument::fromJson(out.toUtf8()).object();
    QCOMPARE(summary.value("exitCode").toInt(), 128 + signal);
    QCOMPARE(summary.value("cancelled").toBool(), true);
    const QJsonArray sent = summary.value("tables").toArray();
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[0].toObject().value("status").toString(), QStringLiteral("incomplete"));
    QVERIFY(sent[0].toObject().value("rowsRead").toInt() > 0);
    QCOMPARE(sent[1].toObject().value("status").toString(), QStringLiteral("skipped"));
}

void CliProcessTest::start(QProcess& process, const QStringList& args)
{
    process.setProcessEnvironment(CliEnvironment(configHome.path(), dataHome.path()));
    process.start(QStringLiteral(TABLEHOP_CLI_PATH), args);
    if (!process.waitForStarted(10000))  // until then its state is Starting, not Running
        qFatal("tablehop-cli did not start");
    process.closeWriteChannel();
}

void CliProcessTest::killedMidLoadLeavesTheOldRowsWhole_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("mode");
    for (const QString to : {"db2", "mysql"})
        for (const QString mode : {"append", "replace-rows"})
            QTest::newRow(qPrintable(to + " " + mode)) << to << mode;
}

// Killed while its one transaction is open, the load leaves nothing of itself:
// the server rolls back what the ended connection did.
void CliProcessTest::killedMidLoadLeavesTheOldRowsWhole()
{
    QFETCH(QString, to);
    QFETCH(QString, mode);
    const bool toMySQL = to == "mysql";
    // Every other value is too long for the target: each batch is refused
    // and sent again row by row, which keeps the load going for a while.
    if (toMySQL) {
        ExecDB2("CREATE TABLE \"cli_a\" (\"id\" INTEGER, \"v\" VARCHAR(20))");
        ExecDB2("INSERT INTO \"cli_a\" SELECT g, CASE WHEN MOD(g, 2) = 0 THEN 'ok' ELSE 'too long' END "
                "FROM generate_series(1, 200000) g");
        ExecMySQL("CREATE TABLE cli_a (id INT, v VARCHAR(5)) ENGINE=InnoDB");
        ExecMySQL("INSERT INTO cli_a VALUES (7, 'old'), (8, 'old')");
    } else {
        ExecMySQL("CREATE TABLE cli_a (id INT, v VARCHAR(20))");
        ExecMySQL("INSERT INTO cli_a SELECT seq, IF(seq % 2 = 0, 'ok', 'too long') FROM seq_1_to_200000");
        ExecDB2("CREATE TABLE \"cli_a\" (\"id\" INTEGER, \"v\" VARCHAR(5))");
        ExecDB2("INSERT INTO \"cli_a\" VALUES (7, 'old'), (8, 'old')");
    }
    // The session of the load's transaction, once it has written part of the table.
    const std::string side = to.toStdString();
    const std::string loadingSession = toMySQL
        ? "SELECT trx_mysql_thread_id FROM information_schema.INNODB_TRX WHERE trx_mysql_thread_id <> CONNECTION_ID() "
          "AND trx_rows_modified > 5000"
        : "SELECT \"pid\" FROM \"pg_catalog\".\"pg_stat_activity\" WHERE \"backend_xid\" IS NOT NULL AND "
          "\"pid\" <> \"pg_backend_pid\"()";
    // MariaDB refreshes INNODB_TRX only when it has not been read for 0.1 s:
    // polled faster, it shows the same rows for ever. Poll at 0.25 s.
    auto poll = [](const std::function<bool()>& done, int seconds) {
        for (QDeadlineTimer deadline(seconds * 1000); !done() && !deadline.hasExpired();)
            QTest::qWait(250);
    };
    QProcess process;
    start(process, {"send", "--to", to, "--existing", mode, "cli_a"});
    QStringList session;
    poll(
        [&] { return process.state() == QProcess::NotRunning || (session = rowsOf(side, loadingSession)).size() == 1; },
        20);
    QTest::qWait(1000);
    QVERIFY2(process.state() == QProcess::Running, process.readAllStandardError().constData());
    QCOMPARE(session.size(), 1);
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    // The server notices the closed connection and rolls its transaction back.
    const std::string stillOpen = toMySQL
        ? "SELECT trx_state, trx_rows_modified FROM information_schema.INNODB_TRX WHERE trx_mysql_thread_id = "
            + session.value(0).toStdString()
        : "SELECT \"state\" FROM \"pg_catalog\".\"pg_stat_activity\" WHERE \"backend_xid\" IS NOT NULL AND "
          "\"pid\" = "
            + session.value(0).toStdString();
    QStringList open;
    poll([&] { return (open = rowsOf(side, stillOpen)).isEmpty(); }, 60);
    QVERIFY2(open.isEmpty(), qPrintable("the killed load's transaction is still open: " + open.join(", ")));
    QCOMPARE(rowsOf(to.toStdString(),
                    toMySQL ? "SELECT * FROM cli_a ORDER BY id" : "SELECT * FROM \"cli_a\" ORDER BY \"id\""),
             (QStringList {"7|old", "8|old"}));
}

void CliProcessTest::progressBarStaysWithinItsWidth_data()
{
    QTest::addColumn<qlonglong>("done");
    QTest::addColumn<qlonglong>("total");
    QTest::addColumn<QString>("bar");
    QTest::newRow("half") << 50LL << 100LL << "[##########----------] 50 rows  50%";
    QTest::newRow("grown past its count") << 130LL << 100LL << "[####################] 130 rows 100%";
    QTest::newRow("unknown count") << 7LL << 0LL << "[####################] 7 rows 100%";
}

void CliProcessTest::progressBarStaysWithinItsWidth()
{
    QFETCH(qlonglong, done);
    QFETCH(qlonglong, total);
    QFETCH(QString, bar);
    const QString line = QString::fromStdString(ProgressBarLine("t", done, total, 10));
    QVERIFY2(line.contains(bar), qPrintable(line));
}

// The self-check passes against the test servers and fails clearly against a
// DB2 whose table space has pages too small for a wide row; either way it
// leaves no scratch table behind.
void CliProcessTest::checkPassesAndFailsOnSmallPages()
{
    const auto scratch = [] {
        int count = 0;
        for (const std::string side : {"mysql", "db2"})
            for (const auto& name : tables(side))
                count += QString::fromStdString(name).startsWith("TABLEHOP_CHECK_", Qt::CaseInsensitive);
        return count;
    };
    const CliRun good = run({"check"});
    QVERIFY2(good.exitCode == 0, qPrintable(good.out + good.err));
    QVERIFY2(!good.out.contains("FAIL"), qPrintable(good.out));
    for (const char* line :
         {"PASS  send TABLEHOP_CHECK_CORPUS MySQL -> IBM DB2", "PASS  back on MySQL: 100 KB blob",
          "PASS  send TABLEHOP_CHECK_CORPUS MySQL -> IBM DB2 over its own copy",
          "PASS  on IBM DB2: every value after the overwrite", "PASS  on IBM DB2: backslashes, quotes and emoji",
          "PASS  on MySQL: TIMESTAMP(12)", "PASS  on IBM DB2: wide row",
          "PASS  back on MySQL: every value with matching column types and keys", "PASS  drop the scratch tables",
          "All checks passed."})
        QVERIFY2(good.out.contains(line), qPrintable(line + QString(" in:\n") + good.out));
    QCOMPARE(scratch(), 0);

    const CliRun small = run({"check"}, {{"DB2STANDIN_PAGE_SIZE", "1024"}});
    QCOMPARE(small.exitCode, 1);
    QVERIFY2(small.out.contains("FAIL  send TABLEHOP_CHECK_WIDE MySQL -> IBM DB2: The table needs rows of"),
             qPrintable(small.out));
    QVERIFY2(small.out.contains("table space with larger pages"), qPrintable(small.out));
    QVERIFY2(small.out.contains("PASS  drop the scratch tables"), qPrintable(small.out));
    QCOMPARE(scratch(), 0);
}

QTEST_GUILESS_MAIN(CliProcessTest)
#include "CliProcessTest.moc"
