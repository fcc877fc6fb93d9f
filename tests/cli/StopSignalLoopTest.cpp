// Ctrl-C at moments spread from the start of a send to well into its copy,
// both ways, with one stream and with four: each ends as Cancel does (exit
// status 130), none crashes, and the target keeps its old table and no
// staging table.
#include "CliEnvironment.h"
#include "ServerHelpers.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr const char* kTable = "stop_loop";
constexpr int kRows = 60000;  // over the size a table is split for parallel streams
constexpr int kInterruptsPerWay = 9;
constexpr int kProcessMilliseconds = 120000;

std::string countOnTarget(DatabaseSide target)
{
    DataConnection connection;
    target == DatabaseSide::MySQL ? OpenMySQL(connection) : OpenDB2(connection);
    return QueryValue(connection, DialectOf(target).countRowsSql(kTable)).value_or("none");
}

// The staging tables a send left on the target, dropped so that the next
// send is judged on its own.
std::vector<std::string> takeStagingTables(DatabaseSide target)
{
    DataConnection connection;
    target == DatabaseSide::MySQL ? OpenMySQL(connection) : OpenDB2(connection);
    const std::vector<std::string> staging = StagingTablesOn(connection, DialectOf(target));
    for (const std::string& name : staging)
        target == DatabaseSide::MySQL ? DropMySQL(connection, name) : DropDB2(connection, name);
    return staging;
}

}  // namespace

class StopSignalLoopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void interruptedSendsEndAsCancel_data();
    void interruptedSendsEndAsCancel();

private:
    // Starts a send of the table; true when it ended within `milliseconds`.
    bool send(QProcess& process, const QString& to, const QString& streams, int milliseconds);

    QTemporaryDir configHome, dataHome;
};

void StopSignalLoopTest::initTestCase()
{
    RequireTestServers(true, true);
    QVERIFY(configHome.isValid() && dataHome.isValid());
    // 31 INT columns, the key among them. The first way sends it to DB2,
    // which the other way then reads.
    std::string columns = "id INT PRIMARY KEY", values = "seq";
    for (int c = 1; c < 31; ++c) {
        columns += ", c" + std::to_string(c) + " INT";
        values += ", seq * " + std::to_string(c);
    }
    ExecMySQL(std::string("DROP TABLE IF EXISTS ") + kTable);
    ExecMySQL(std::string("CREATE TABLE ") + kTable + " (" + columns + ") ENGINE=InnoDB");
    ExecMySQL(std::string("INSERT INTO ") + kTable + " SELECT " + values + " FROM seq_1_to_" + std::to_string(kRows));
}

void StopSignalLoopTest::cleanupTestCase()
{
    ExecMySQL(std::string("DROP TABLE IF EXISTS ") + kTable);
    DataConnection db2;
    OpenDB2(db2);
    DropDB2(db2, kTable);
}

bool StopSignalLoopTest::send(QProcess& process, const QString& to, const QString& streams, int milliseconds)
{
    process.setProcessEnvironment(CliEnvironment(configHome.path(), dataHome.path()));
    process.start(
        QStringLiteral(TABLEHOP_CLI_PATH),
        {"send", "--to", to, "--overwrite", "--keys", "--db2-types", "matching", "--parallel", streams, kTable});
    if (!process.waitForStarted(10000))
        qFatal("tablehop-cli did not start");
    process.closeWriteChannel();
    return process.waitForFinished(milliseconds);
}

void StopSignalLoopTest::interruptedSendsEndAsCancel_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("streams");
    // MySQL to DB2 first: it puts the table on DB2 for the other way.
    for (const char* to : {"db2", "mysql"})
        for (const char* streams : {"1", "4"})
            QTest::newRow(qPrintable(QStringLiteral("to %1, %2 streams").arg(to, streams))) << to << streams;
}

void StopSignalLoopTest::interruptedSendsEndAsCancel()
{
    QFETCH(QString, to);
    QFETCH(QString, streams);
    const DatabaseSide target = to == "db2" ? DatabaseSide::DB2 : DatabaseSide::MySQL;
    // A send left alone: how long a whole one takes here, and the old table
    // each interrupted send must leave as it is.
    QElapsedTimer timer;
    timer.start();
    {
        QProcess whole;
        QVERIFY(send(whole, to, streams, kProcessMilliseconds));
        QCOMPARE(whole.exitCode(), 0);
    }
    const qint64 sendMilliseconds = timer.elapsed();
    QCOMPARE(countOnTarget(target), std::to_string(kRows));

    QStringList failures;
    int interrupted = 0;  // sends the signal stopped
    for (int i = 0; i < kInterruptsPerWay; ++i) {
        // From just after the start (connecting) to well into the copy.
        const int delay = static_cast<int>(sendMilliseconds * (0.1 + 0.5 * i / (kInterruptsPerWay - 1)));
        QProcess process;
        if (!send(process, to, streams, delay)) {
            ::kill(static_cast<pid_t>(process.processId()), SIGINT);
            QVERIFY(process.waitForFinished(kProcessMilliseconds));
        }
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        const QString moment = QStringLiteral("Ctrl-C after %1 ms: ").arg(delay);
        // Ended by the signal itself, before the program took it over or
        // after it let it go: a shell tells it as exit status 130 too.
        const bool killedBySignal = process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGINT;
        const bool stopped = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 128 + SIGINT;
        // Sent whole before the signal came.
        const bool sent
            = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && out.startsWith("Sent 1 table");
        interrupted += stopped;
        if (!stopped && !killedBySignal && !sent)
            failures << moment + (process.exitStatus() == QProcess::CrashExit ? "killed by signal " : "exit status ")
                    + QString::number(process.exitCode()) + "\n" + out + err.right(600);
        if (const auto staging = takeStagingTables(target); !staging.empty())
            failures << moment + "staging table left: " + QString::fromStdString(staging.front());
        if (const std::string count = countOnTarget(target); count != std::to_string(kRows))
            failures << moment + "the target's table holds " + QString::fromStdString(count) + " rows";
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("\n")));
    QVERIFY2(interrupted >= kInterruptsPerWay - 1, qPrintable(QString::number(interrupted) + " sends stopped"));
}

QTEST_GUILESS_MAIN(StopSignalLoopTest)
#include "StopSignalLoopTest.moc"
