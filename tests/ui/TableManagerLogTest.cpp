// What the table manager's actions leave behind: the status line, the
// session's log window and the activity log file, on the real windows
// against the private test servers. MySQL works in a database of its own;
// the DB2 names start with uilog_.
#include "DataConnection.h"
#include "FakeDialogs.h"
#include "ObjectNames.h"
#include "OpenWindows.h"
#include "SessionLog.h"
#include "SqlDialect.h"
#include "SqlIdentifiers.h"
#include "StoredLogins.h"
#include "TableList.h"
#include "TableListing.h"
#include "TableManagerWindow.h"
#include "TestServers.h"
#include "Workspace.h"

#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const char* kDatabase = "ui_log";

}  // namespace

using namespace object_name;

class TableManagerLogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireTestServers(true, true); }
    void init();
    void cleanup();

    void eachActionIsToldAndLoggedOnce();
    void unwritableLogIsToldOnce();
    void summaryAndLogNameEachTable();

private:
    void open(const QString& logFile);
    void select(TableList* list, const QStringList& which);
    void click(const char* name) { manager()->findChild<QPushButton*>(name)->click(); }
    // The log's lines, each split at its tabs.
    QList<QStringList> entries() const;
    TableManagerWindow* manager() const { return windows_->manager(); }
    TableList* mysql() const { return manager()->mysqlTables(); }
    TableList* db2() const { return manager()->db2Tables(); }
    FakeDialogs& dialogs() { return windows_->dialogs(); }

    QTemporaryDir dir_;
    std::unique_ptr<OpenWindows> windows_;
};

void TableManagerLogTest::init()
{
    ExecMySQL(std::string("DROP DATABASE IF EXISTS `") + kDatabase + "`");
    ExecMySQL(std::string("CREATE DATABASE `") + kDatabase + "`");
    for (const auto& name : ListDB2Tables(DB2TestProfile()))
        if (QString::fromStdString(name).startsWith("uilog_", Qt::CaseInsensitive))
            ExecDB2("DROP TABLE " + QuoteDB2Identifier(name));
}

void TableManagerLogTest::cleanup()
{
    windows_.reset();
    QFile::remove(dir_.filePath("activity.log"));
    init();
}

void TableManagerLogTest::open(const QString& logFile)
{
    windows_ = std::make_unique<OpenWindows>(dir_.filePath("log.ini"));
    StoreLogins(windows_->settings(), MySQLTestProfileFor(kDatabase), DB2TestProfile());
    windows_->controller().startUp();
    QVERIFY(manager() && manager()->isVisible());
    windows_->controller().workspace().setActivityLog(logFile);
}

void TableManagerLogTest::select(TableList* list, const QStringList& which)
{
    for (int i = 0; i < list->count(); ++i)
        list->setSelected(i, which.contains(list->text(i)));
    list->setCurrentIndex(list->texts().indexOf(which.first()));
}

QList<QStringList> TableManagerLogTest::entries() const
{
    QFile file(dir_.filePath("activity.log"));
    QList<QStringList> lines;
    if (file.open(QIODevice::ReadOnly))
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
            lines << line.split('\t');
    return lines;
}

void TableManagerLogTest::eachActionIsToldAndLoggedOnce()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_a (id INT PRIMARY KEY)");
    ExecMySQLIn(kDatabase, "INSERT INTO uilog_a VALUES (1), (2)");
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_b (id INT PRIMARY KEY)");
    ExecMySQLIn(kDatabase, "INSERT INTO uilog_b VALUES (1)");
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_c (id INT)");
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_parent (id INT PRIMARY KEY)");
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_child (id INT, FOREIGN KEY (id) REFERENCES uilog_parent (id))");
    open(dir_.filePath("activity.log"));

    // A send of three tables: each table's number while it goes (the status as each progress step shows).
    QStringList statuses, percents;
    QProgressBar* bar = manager()->progressBar();
    connect(bar, &QProgressBar::valueChanged, this, [&] {
        statuses << manager()->statusText();
        percents << (bar->isTextVisible() ? bar->text() : QString());
    });
    select(mysql(), {"uilog_a", "uilog_b", "uilog_c"});
    click(kSendToDB2);
    QVERIFY2(statuses.filter(QRegularExpression("^Table 2 of 3 - Sending uilog_b")).size() > 0,
             qPrintable(statuses.join(" | ")));
    QVERIFY2(percents.contains("50%") && percents.contains("100%"), qPrintable(percents.join(" | ")));
    QVERIFY(!bar->isTextVisible());  // no "0%" while nothing goes
    const QString summary = manager()->statusText();
    QVERIFY2(summary.startsWith("Sent 3 tables to IBM DB2: 3 rows copied, 0 rows refused, "), qPrintable(summary));
    auto* statusLine = manager()->findChild<QLabel*>(kStatusLine);
    QCOMPARE(statusLine->toolTip(), summary);

    // A text wider than the window is cut on the line, whole in the tooltip, and widens nothing.
    const int width = manager()->width();
    const QString longText = summary + QString(". Incomplete: uilog_x (cancelled)").repeated(20);
    manager()->setStatusText(longText);
    QCOMPARE(manager()->statusText(), longText);
    QCOMPARE(statusLine->toolTip(), longText);
    QVERIFY2(statusLine->text().size() < longText.size() && statusLine->text().endsWith(QChar(0x2026)),
             qPrintable(statusLine->text()));
    QCOMPARE(manager()->width(), width);

    // Deleted on DB2, renamed on MySQL, a rename onto a name that exists, a delete the server refuses in part.
    dialogs().answers = {Answer::Yes, Answer::Yes};
    select(db2(), {"uilog_a", "uilog_b"});
    click(kDeleteDB2Tables);
    QCOMPARE(manager()->statusText(), "Deleted 2 tables from IBM DB2: uilog_a, uilog_b");
    dialogs().inputs = {QString("uilog_z"), QString("uilog_c")};
    select(mysql(), {"uilog_a"});
    click(kRenameMySQLTable);
    QCOMPARE(manager()->statusText(), "Renamed uilog_a to uilog_z on MySQL");
    select(mysql(), {"uilog_b"});
    click(kRenameMySQLTable);
    QCOMPARE(manager()->statusText(), "Did not rename uilog_b to uilog_c on MySQL");
    select(mysql(), {"uilog_parent", "uilog_z"});
    click(kDeleteMySQLTables);
    QCOMPARE(manager()->statusText(), "Deleted 1 table from MySQL: uilog_z. Not deleted: uilog_parent");
    QCOMPARE(dialogs().kinds().count("error"), 1);
    QVERIFY(dialogs().texts().contains("uilog_c already exists on MySQL."));

    const QList<QStringList> lines = entries();
    QCOMPARE(lines.size(), 5);
    for (const QStringList& fields : lines)
        QVERIFY2(
            QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)").match(fields[0]).hasMatch(),
            qPrintable(fields.join(" | ")));
    QCOMPARE(lines[0].mid(1, 3), QStringList({"send", "IBM DB2", "tables=uilog_c, uilog_b, uilog_a"}));
    QVERIFY2(lines[0][4].startsWith("result=Sent 3 tables to IBM DB2: 3 rows copied, 0 rows refused, "),
             qPrintable(lines[0][4]));
    QCOMPARE(lines[1].mid(1),
             QStringList({"delete", "IBM DB2", "tables=uilog_a, uilog_b",
                          "result=Deleted 2 tables from IBM DB2: uilog_a, uilog_b"}));
    QCOMPARE(lines[2].mid(1),
             QStringList({"rename", "MySQL", "tables=uilog_a", "result=Renamed uilog_a to uilog_z on MySQL"}));
    QCOMPARE(lines[3].mid(1, 4),
             QStringList({"rename", "MySQL", "tables=uilog_b", "result=Did not rename uilog_b to uilog_c on MySQL"}));
    QCOMPARE(lines[3].value(5), QStringLiteral("errors=uilog_c already exists on MySQL"));
    QCOMPARE(lines[4].mid(1, 4),
             QStringList({"delete", "MySQL", "tables=uilog_parent, uilog_z",
                          "result=Deleted 1 table from MySQL: uilog_z. Not deleted: uilog_parent"}));
    QVERIFY2(lines[4].value(5).contains("uilog_child"), qPrintable(lines[4].join(" | ")));

    // "Log" shows the session's outcomes and error reports, read-only.
    manager()->logButton()->click();
    QVERIFY(manager()->sessionLog()->isVisible());
    const QString shown = manager()->sessionLog()->text();
    for (const QString& part : {summary, QString("Deleted 2 tables from IBM DB2: uilog_a, uilog_b"),
                                QString("Did not rename uilog_b to uilog_c on MySQL"),
                                QString("uilog_c already exists on MySQL."), QString("is needed by foreign key")})
        QVERIFY2(shown.contains(part), qPrintable(part + " not in:\n" + shown));
    QVERIFY(manager()->sessionLog()->findChild<QPlainTextEdit*>()->isReadOnly());
}

void TableManagerLogTest::unwritableLogIsToldOnce()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_a (id INT)");
    open(dir_.path());  // a folder: the log cannot be opened for appending
    dialogs().inputs = {QString("uilog_b"), QString("uilog_c")};
    select(mysql(), {"uilog_a"});
    click(kRenameMySQLTable);
    select(mysql(), {"uilog_b"});
    click(kRenameMySQLTable);
    QCOMPARE(mysql()->texts(), QStringList({"uilog_c"}));  // both renames went on
    QCOMPARE(ListMySQLTables(MySQLTestProfileFor(kDatabase)), std::vector<std::string>({"uilog_c"}));
    QCOMPARE(dialogs().kinds(), QStringList({"input", "message", "input"}));
    QVERIFY2(dialogs().shown[1].text.startsWith("The activity log could not be written: " + dir_.path()),
             qPrintable(dialogs().shown[1].text));
}

QTEST_MAIN(TableManagerLogTest)
#include "TableManagerLogTest.moc"

void TableManagerLogTest::summaryAndLogNameEachTable()
{
    // Numbers as the user's locale writes them.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_many (id INT PRIMARY KEY, v VARCHAR(10))");
    ExecMySQLIn(kDatabase, "INSERT INTO uilog_many SELECT seq, 'x' FROM seq_1_to_1500");
    ExecMySQLIn(kDatabase, "CREATE TABLE uilog_kept (id INT)");
    ExecDB2("CREATE TABLE \"uilog_kept\" (\"id\" INTEGER)");
    open(dir_.filePath("activity.log"));

    QStringList statuses;
    connect(manager()->progressBar(), &QProgressBar::valueChanged, this, [&] { statuses << manager()->statusText(); });
    select(mysql(), {"uilog_kept", "uilog_many"});
    dialogs().answers = {Answer::No};
    click(kSendToDB2);
    // While rows go: the time the run has taken beside the time left.
    QVERIFY2(statuses.filter(QRegularExpression("^Table 1 of 2 - Sending uilog_many: [\\d,]+ of 1,500 rows, [\\d,]+ "
                                                "rows/s, \\d+:\\d\\d elapsed, \\d+:\\d\\d left$"))
                     .size()
                 > 0,
             qPrintable(statuses.join(" | ")));
    const QString summary = manager()->statusText();
    QVERIFY2(QRegularExpression("^Sent 1 table to IBM DB2: 1,500 rows copied, 0 rows refused, \\d+\\.\\d s\\. "
                                "Kept as it was on IBM DB2: uilog_kept$")
                 .match(summary)
                 .hasMatch(),
             qPrintable(summary));
    // The Log tells each table: rows sent and refused, and its status.
    const QString log = manager()->sessionLog()->text();
    QVERIFY2(log.contains(summary
                          + "\n    uilog_many: 1,500 rows sent, 0 refused - sent\n"
                            "    uilog_kept: 0 rows sent, 0 refused - skipped (the existing table was kept)"),
             qPrintable(log));
    // The activity log keeps its plain figures.
    QVERIFY2(entries().value(0).value(4).startsWith("result=Sent 1 table to IBM DB2: 1500 rows copied"),
             qPrintable(entries().value(0).join(" | ")));
}
