// The two send buttons of the table manager on the real windows, against the
// private test servers. MySQL works in a database of its own; DB2 names start with UI5.
#include "DataConnection.h"
#include "FakeDialogs.h"
#include "ObjectNames.h"
#include "SessionLog.h"
#include "LoginWindow.h"
#include "OpenWindows.h"
#include "TableManagerWindow.h"
#include "SettingsStore.h"
#include "SqlDialect.h"
#include "SqlIdentifiers.h"
#include "TableFill.h"
#include "TableList.h"
#include "TableListing.h"
#include "StoredLogins.h"
#include "TestServers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSignalSpy>
#include <QElapsedTimer>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

const char* kDatabase = "ui_send";

long long countRows(bool mysql, const std::string& table)
{
    DataConnection connection;
    connection.open(mysql ? MySQLConnectionString(MySQLTestProfileFor(kDatabase))
                          : DB2ConnectionString(DB2TestProfile()));
    auto rs = connection.execute("SELECT COUNT(*) FROM "
                                 + (mysql ? QuoteMySQLIdentifier(table) : QuoteDB2Identifier(table)));
    return std::stoll(*rs->field(0).value);
}

// The names a list gains, in the order it gains them.
std::shared_ptr<QStringList> watchArrivals(TableList* list)
{
    auto added = std::make_shared<QStringList>();
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                     [list, added](const QModelIndex&, int first, int last) {
                         for (int i = first; i <= last; ++i)
                             *added << list->text(i);
                     });
    return added;
}

// A question's own sentence, without the lines that describe the table.
QString firstParagraph(const QString& text) { return text.section("\r\r", 0, 0); }

QStringList firstParagraphs(const QStringList& texts)
{
    QStringList out;
    for (const QString& text : texts)
        out << firstParagraph(text);
    return out;
}

}  // namespace

using namespace object_name;

class TableSendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireTestServers(true, true); }
    void init();
    void cleanup();

    void nothingSelectedOnEitherSide();
    void progressButtonsAndStatusLine();
    void selectAllSendsBothWaysLastToFirst();
    void overwriteAnsweredNoThenYes();
    void answersForAllExistingTables_data();
    void answersForAllExistingTables();
    void otherCaseIsAnotherTableOnDB2();
    void aTableDroppedMeanwhileIsListedOnce();
    void existingTablesAskedBeforeSending_data();
    void existingTablesAskedBeforeSending();
    void stoppingATransfer_data();
    void stoppingATransfer();
    void refusedCreateIsReportedOnceAndNotListed();
    void optionChecksAreUsedAndRemembered();

private:
    void open();
    void select(TableList* list, const QStringList& which);
    void click(const char* name) { manager()->findChild<QPushButton*>(name)->click(); }
    TableManagerWindow* manager() const { return windows_->manager(); }
    TableList* mysql() const { return manager()->mysqlTables(); }
    TableList* db2() const { return manager()->db2Tables(); }

    QTemporaryDir dir_;
    std::unique_ptr<OpenWindows> windows_;
    FakeDialogs* dialogs() { return &windows_->dialogs(); }
    SettingsStore* store() { return &windows_->settings(); }
    LoginWindow* login() { return &windows_->login(); }
};

void TableSendTest::init()
{
    ExecMySQL(std::string("DROP DATABASE IF EXISTS `") + kDatabase + "`");
    ExecMySQL(std::string("CREATE DATABASE `") + kDatabase + "` CHARACTER SET utf8mb4");
    for (const auto& name : ListDB2Tables(DB2TestProfile()))
        if (QString::fromStdString(name).startsWith("UI5", Qt::CaseInsensitive))
            ExecDB2("DROP TABLE " + QuoteDB2Identifier(name));
}

void TableSendTest::cleanup()
{
    windows_.reset();
    init();
}

void TableSendTest::open()
{
    windows_ = std::make_unique<OpenWindows>(dir_.filePath("send.ini"));
    StoreLogins(windows_->settings(), MySQLTestProfileFor(kDatabase), DB2TestProfile());
    windows_->controller().startUp();
    QVERIFY(manager() && manager()->isVisible());
}

void TableSendTest::select(TableList* list, const QStringList& which)
{
    for (int i = 0; i < list->count(); ++i)
        list->setSelected(i, which.contains(list->text(i)));
    list->setCurrentIndex(which.isEmpty() ? -1 : list->texts().indexOf(which.first()));
}

void TableSendTest::nothingSelectedOnEitherSide()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_t (id INT)");
    open();
    for (int current : {-1, 0}) {  // with or without a current item
        select(mysql(), {});
        mysql()->setCurrentIndex(current);
        click(kSendToDB2);
        select(db2(), {});
        db2()->setCurrentIndex(current);
        click(kSendToMySQL);
    }
    QCOMPARE(dialogs()->texts(),
             QStringList({"Please select a table", "Please select a table to send.", "Please select a table",
                          "Please select a table to send."}));
    QCOMPARE(dialogs()->shown[0].title, QString());  // the application title
    QCOMPARE(manager()->mousePointer(), 0);
    QVERIFY(manager()->statusText().isEmpty());
}

void TableSendTest::progressButtonsAndStatusLine()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_four (id INT PRIMARY KEY, name VARCHAR(20))");
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_four VALUES (1,'a'),(2,'b'),(3,'c'),(4,'d')");
    open();
    QList<int> values;
    QList<bool> sendEnabled, cancelShown;
    QStringList statuses;
    connect(manager()->progressBar(), &QProgressBar::valueChanged, this, [&](int value) {
        values << value;
        sendEnabled << manager()->findChild<QPushButton*>(kSendToDB2)->isEnabled();
        cancelShown << manager()->cancelButton()->isVisible();
        statuses << manager()->statusText();
    });
    select(mysql(), {"ui5_four"});
    manager()->setStatusText("an earlier run");
    click(kSendToDB2);
    QCOMPARE(values, QList<int>({25, 50, 75, 100, 0}));
    QCOMPARE(statuses.first(), QString());  // cleared as the action starts
    QVERIFY2(QRegularExpression("^Sending ui5_four: 3 of 4 rows, \\d+ rows/s, 0:0\\d elapsed, 0:0\\d left$")
                 .match(statuses[3])
                 .hasMatch(),
             qPrintable(statuses.join(" | ")));
    QVERIFY(!sendEnabled.contains(true));  // every button off while rows go
    QVERIFY(!cancelShown.contains(false));
    QVERIFY(manager()->findChild<QPushButton*>(kSendToDB2)->isEnabled());
    QVERIFY(!manager()->cancelButton()->isVisible());
    QCOMPARE(manager()->mousePointer(), 0);
    QVERIFY(dialogs()->shown.empty());  // no message box at the end
    QVERIFY2(manager()->statusText().startsWith("Sent 1 table to IBM DB2: 4 rows copied, 0 rows refused, "),
             qPrintable(manager()->statusText()));
    QVERIFY(db2()->texts().contains("ui5_four"));
    QCOMPARE(countRows(false, "ui5_four"), 4);
    QCOMPARE(mysql()->texts(), QStringList({"ui5_four"}));  // the source list is left as it was
    QVERIFY(mysql()->isSelected(0));
}

void TableSendTest::selectAllSendsBothWaysLastToFirst()
{
    for (const char* table : {"ui5_a", "ui5_b", "ui5_c"}) {
        ExecMySQLIn(kDatabase, std::string("CREATE TABLE ") + table + " (id INT)");
        ExecMySQLIn(kDatabase, std::string("INSERT INTO ") + table + " VALUES (1), (2)");
    }
    open();
    auto arrived = watchArrivals(db2());
    click(kSelectAllMySQLTables);
    click(kSendToDB2);
    QCOMPARE(*arrived, QStringList({"ui5_c", "ui5_b", "ui5_a"}));  // from the bottom of the list up
    QVERIFY(dialogs()->shown.empty());

    // Back again: the DB2 list holds other tables too, the filter narrows it
    // to these three. Each is asked about, last first; the time spent
    // answering does not count as copying time.
    arrived = watchArrivals(mysql());
    manager()->db2Filter()->setText("UI5_");
    click(kSelectAllDB2Tables);
    QCOMPARE(db2()->selectedCount(), 3);
    dialogs()->answers = {Answer::Yes, Answer::Yes, Answer::Yes};
    dialogs()->onShown = [](const FakeDialogs::Shown&) { std::this_thread::sleep_for(std::chrono::seconds(1)); };
    click(kSendToMySQL);
    QCOMPARE(firstParagraphs(dialogs()->texts()),
             QStringList({"Would you like to overwrite ui5_c?", "Would you like to overwrite ui5_b?",
                          "Would you like to overwrite ui5_a?"}));
    QCOMPARE(*arrived, QStringList({"ui5_c", "ui5_b", "ui5_a"}));
    QCOMPARE(countRows(true, "ui5_a"), 2);
    const QString status = manager()->statusText();
    const auto seconds
        = QRegularExpression("^Sent 3 tables to MySQL: 6 rows copied, 0 rows refused, (\\d+\\.\\d) s$").match(status);
    QVERIFY2(seconds.hasMatch(), qPrintable(status));
    QVERIFY2(seconds.captured(1).toDouble() < 3.0, qPrintable(status));
}

void TableSendTest::overwriteAnsweredNoThenYes()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_over (id INT)");
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_over VALUES (1),(2)");
    ExecDB2("CREATE TABLE \"ui5_over\" (\"x\" INTEGER)");
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_new (id INT)");
    open();
    QCOMPARE(db2()->texts().count("ui5_over"), 1);
    select(mysql(), {"ui5_over", "ui5_new"});
    dialogs()->answers.push_back(Answer::No);
    click(kSendToDB2);
    QCOMPARE(dialogs()->shown.size(), size_t(1));
    // The question names the table's side and the server's estimate of its size.
    QVERIFY2(QRegularExpression("^Would you like to overwrite ui5_over\\?\r\rui5_over on IBM DB2: "
                                "(about \\d+ rows?, .+ \\(estimate\\)|rows and size unknown \\(no statistics\\))$")
                 .match(dialogs()->shown[0].text)
                 .hasMatch(),
             qPrintable(dialogs()->shown[0].text));
    QCOMPARE(dialogs()->shown[0].title, QStringLiteral("Overwrite?"));
    QCOMPARE(countRows(false, "ui5_over"), 0);  // untouched
    // The table kept by the answer was not left out by a failure.
    const QString status = manager()->statusText();
    QVERIFY2(status.startsWith("Sent 1 table to IBM DB2: 0 rows copied") && !status.contains("Not sent"),
             qPrintable(status));

    select(mysql(), {"ui5_over"});
    dialogs()->answers.push_back(Answer::Yes);
    click(kSendToDB2);
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "question"}));
    QCOMPARE(countRows(false, "ui5_over"), 2);
    QCOMPARE(db2()->texts().count("ui5_over"), 1);
}

void TableSendTest::answersForAllExistingTables_data()
{
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("replaced");
    QTest::addColumn<QString>("keptLine");
    QTest::newRow("Yes to All") << QList<Answer>({Answer::YesToAll}) << QStringList({"ui5_x3", "ui5_x2", "ui5_x1"})
                                << QString();
    QTest::newRow("Yes, then No to All") << QList<Answer>({Answer::Yes, Answer::NoToAll}) << QStringList({"ui5_x3"})
                                         << "Kept as they were on IBM DB2: ui5_x2, ui5_x1";
}

void TableSendTest::answersForAllExistingTables()
{
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, replaced);
    QFETCH(QString, keptLine);
    for (const char* table : {"ui5_x1", "ui5_x2", "ui5_x3"}) {
        ExecMySQLIn(kDatabase, std::string("CREATE TABLE ") + table + " (id INT PRIMARY KEY)");
        ExecMySQLIn(kDatabase, std::string("INSERT INTO ") + table + " VALUES (1), (2)");
        ExecDB2(std::string("CREATE TABLE \"") + table + "\" (\"old\" INTEGER)");
    }
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_x0 (id INT PRIMARY KEY)");  // not on DB2: never asked about
    open();
    select(mysql(), {"ui5_x0", "ui5_x1", "ui5_x2", "ui5_x3"});
    dialogs()->answers.assign(answers.begin(), answers.end());
    click(kSendToDB2);
    QCOMPARE(dialogs()->kinds(), QStringList(answers.size(), "question for many"));
    QCOMPARE(firstParagraph(dialogs()->shown[0].text), QStringLiteral("Would you like to overwrite ui5_x3?"));
    for (const char* table : {"ui5_x1", "ui5_x2", "ui5_x3"})
        QCOMPARE(countRows(false, table), replaced.contains(table) ? 2 : 0);
    const QString status = manager()->statusText();
    QVERIFY2(status.startsWith(QStringLiteral("Sent %1 tables").arg(replaced.size() + 1)), qPrintable(status));
    QVERIFY2(keptLine.isEmpty() ? !status.contains("Kept") : status.endsWith(". " + keptLine), qPrintable(status));

    // The answer held for that send only: the next one asks again.
    dialogs()->shown.clear();
    dialogs()->answers = {Answer::NoToAll};
    select(mysql(), {"ui5_x1", "ui5_x2", "ui5_x3"});
    click(kSendToDB2);
    QCOMPARE(dialogs()->kinds(), QStringList({"question for many"}));
    QVERIFY2(manager()->statusText().endsWith(". Kept as they were on IBM DB2: ui5_x3, ui5_x2, ui5_x1"),
             qPrintable(manager()->statusText()));
}

void TableSendTest::otherCaseIsAnotherTableOnDB2()
{
    // DB2 compares quoted names exactly: no question, and UI5_CASE keeps its row.
    ExecMySQLIn(kDatabase, "CREATE TABLE Ui5_Case (id INT)");
    ExecDB2("CREATE TABLE UI5_CASE (ID INTEGER)");
    ExecDB2("INSERT INTO UI5_CASE VALUES (7)");
    open();
    select(mysql(), {"Ui5_Case"});
    click(kSendToDB2);
    QCOMPARE(dialogs()->kinds(), QStringList());
    QVERIFY(db2()->texts().contains("UI5_CASE"));
    QVERIFY(db2()->texts().contains("Ui5_Case"));
    QCOMPARE(countRows(false, "UI5_CASE"), 1);
}

void TableSendTest::aTableDroppedMeanwhileIsListedOnce()
{
    // Another session drops the table the target list still shows; sending it
    // again creates it anew (nothing to ask about), and the list keeps one entry.
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_gone (id INT)");
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_gone VALUES (1)");
    open();
    select(mysql(), {"ui5_gone"});
    click(kSendToDB2);
    QCOMPARE(db2()->texts().count("ui5_gone"), 1);
    for (int round = 0; round < 2; ++round) {
        ExecDB2("DROP TABLE \"ui5_gone\"");
        click(kSendToDB2);
        QCOMPARE(countRows(false, "ui5_gone"), 1);
        QCOMPARE(db2()->texts().count("ui5_gone"), 1);
    }
    // And the other way: the MySQL table goes, and comes back from DB2.
    ExecMySQLIn(kDatabase, "DROP TABLE ui5_gone");
    select(db2(), {"ui5_gone"});
    click(kSendToMySQL);
    QCOMPARE(countRows(true, "ui5_gone"), 1);
    QCOMPARE(mysql()->texts().count("ui5_gone"), 1);
    QVERIFY(dialogs()->shown.empty());
}

void TableSendTest::existingTablesAskedBeforeSending_data()
{
    // The answers for ui5_e1 .. ui5_e4 (DB2 holds 1 row of each, MySQL 2);
    // none: Cancel. The rows each table holds afterwards, and ui5_e0's.
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QList<int>>("rowsAfter");
    QTest::newRow("an answer per table") << false << QList<int>({2, 1, 3, 2, 2});
    QTest::newRow("cancel") << true << QList<int>({1, 1, 1, 1, -1});
}

void TableSendTest::existingTablesAskedBeforeSending()
{
    QFETCH(bool, cancel);
    QFETCH(QList<int>, rowsAfter);
    const QStringList tables = {"ui5_e1", "ui5_e2", "ui5_e3", "ui5_e4", "ui5_e0"};
    for (const QString& table : tables) {
        const std::string name = table.toStdString();
        ExecMySQLIn(kDatabase, "CREATE TABLE " + name + " (id INT PRIMARY KEY)");
        ExecMySQLIn(kDatabase, "INSERT INTO " + name + " VALUES (1), (2)");
        if (table != "ui5_e0") {
            ExecDB2("CREATE TABLE \"" + name + "\" (\"id\" INTEGER NOT NULL PRIMARY KEY)");
            ExecDB2("INSERT INTO \"" + name + "\" VALUES (7)");
        }
    }
    open();
    QCheckBox* askFirst = manager()->findChild<QCheckBox*>(kAskExistingFirst);
    QVERIFY(askFirst && !askFirst->isChecked());  // off by default
    askFirst->click();
    QCOMPARE(store()->read("AskAboutExistingTablesFirst", ""), QStringLiteral("1"));

    // The one box comes before any table is started or any row has moved.
    auto arrived = watchArrivals(db2());
    QStringList statusWhenAsked;
    dialogs()->onShown = [&](const FakeDialogs::Shown&) { statusWhenAsked << manager()->statusText(); };
    if (cancel)
        dialogs()->existingAnswers.push_back(std::nullopt);
    else
        dialogs()->existingAnswers.push_back(
            std::vector<ExistingTableAnswer> {ExistingTableAnswer::ReplaceTable, ExistingTableAnswer::Keep,
                                              ExistingTableAnswer::AddRows, ExistingTableAnswer::ReplaceRows});
    select(mysql(), tables);
    click(kSendToDB2);
    QCOMPARE(dialogs()->kinds(), QStringList({"existing tables"}));  // and no other question
    QCOMPARE(statusWhenAsked, QStringList({QString()}));
    QCOMPARE(dialogs()->existingAsked.size(), size_t(1));
    const std::vector<ExistingTableRow>& asked = dialogs()->existingAsked[0];
    QCOMPARE(asked.size(), size_t(4));
    for (size_t i = 0; i < asked.size(); ++i) {
        QCOMPARE(asked[i].table, tables[int(i)]);
        QCOMPARE(asked[i].database, QStringLiteral("IBM DB2"));
        QCOMPARE(asked[i].estimate, EstimateText(db2()->estimate(db2()->indexOf(tables[int(i)]))));
        QCOMPARE(asked[i].answer, ExistingTableAnswer::Keep);  // proposed: nothing changes unasked
    }
    for (int i = 0; i < tables.size(); ++i) {
        const long long rows = rowsAfter[i] < 0 ? -1 : countRows(false, tables[i].toStdString());
        QCOMPARE(rows, static_cast<long long>(rowsAfter[i]));
    }
    if (cancel) {
        QVERIFY(arrived->isEmpty());
        QVERIFY(!db2()->texts().contains("ui5_e0"));
        QVERIFY2(manager()->statusText().startsWith("Sent 0 tables to IBM DB2: 0 rows copied, 0 rows refused, "),
                 qPrintable(manager()->statusText()));
        QVERIFY2(manager()->statusText().contains("(cancelled)"), qPrintable(manager()->statusText()));
        manager()->findChild<QCheckBox*>(kAskExistingFirst)->click();  // off again for the tests after
        return;
    }
    QCOMPARE(*arrived, QStringList({"ui5_e1", "ui5_e0"}));  // from the bottom of the list up
    QVERIFY2(manager()->statusText().startsWith("Sent 4 tables to IBM DB2: 8 rows copied, 0 rows refused, "),
             qPrintable(manager()->statusText()));
    QVERIFY2(manager()->statusText().contains("Kept as it was on IBM DB2: ui5_e2"),
             qPrintable(manager()->statusText()));

    // Remembered; with it off the questions come as each table is reached again.
    windows_.reset();
    open();
    QVERIFY(manager()->findChild<QCheckBox*>(kAskExistingFirst)->isChecked());
    manager()->findChild<QCheckBox*>(kAskExistingFirst)->click();
    dialogs()->answers = {Answer::NoToAll};
    select(mysql(), {"ui5_e1", "ui5_e2"});
    click(kSendToDB2);
    QCOMPARE(dialogs()->kinds(), QStringList({"question for many"}));
}

void TableSendTest::stoppingATransfer_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel") << "cancel";
    QTest::newRow("cancel by Escape") << "cancel by Escape";
    QTest::newRow("close, stop") << "close, stop";
    QTest::newRow("close, go on") << "close, go on";
    // Another session reads the old table: the swap waits for it (three lock
    // waits of 2 s). The window keeps answering meanwhile, and Cancel stops
    // the waiting statement instead of letting it run out.
    QTest::newRow("cancel while the swap waits") << "cancel while the swap waits";
}

void TableSendTest::stoppingATransfer()
{
    QFETCH(QString, how);
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_big (id INT PRIMARY KEY, v VARCHAR(20))");
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_big SELECT seq, CONCAT('row ', seq) FROM seq_1_to_20000");
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_small (id INT)");
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_small VALUES (1), (2), (3)");
    ExecDB2("CREATE TABLE \"ui5_big\" (\"old\" INTEGER)");
    ExecDB2("INSERT INTO \"ui5_big\" VALUES (7)");
    open();
    QSignalSpy ended(&windows_->controller(), &WindowController::programEnd);
    const bool duringSwap = how == "cancel while the swap waits";
    DataConnection reader;
    if (duringSwap) {
        reader.open(DB2ConnectionString(DB2TestProfile()));
        reader.setAutoCommit(false);
        reader.execute("SELECT * FROM \"ui5_big\"");
    }
    bool acted = false;
    QElapsedTimer run;
    connect(manager()->progressBar(), &QProgressBar::valueChanged, this, [&](int value) {
        if (duringSwap) {
            // Back to 0: the rows are in, the swap comes next.
            if (value == 0 && !acted && manager()->cancelButton()->isVisible())
                QTimer::singleShot(1000, this, [&] {
                    acted = manager()->cancelButton()->isVisible();
                    manager()->cancelButton()->click();
                });
            return;
        }
        if (value == 0 || acted || !manager()->cancelButton()->isVisible())
            return;
        acted = true;
        if (how == "cancel by Escape") {
            QTest::keyClick(manager(), Qt::Key_Escape);
        } else if (how.startsWith("cancel")) {
            manager()->cancelButton()->click();
        } else {
            dialogs()->answers.push_back(how == "close, stop" ? Answer::Yes : Answer::No);
            manager()->close();
        }
    });
    select(mysql(), {"ui5_big"});
    dialogs()->answers.push_back(Answer::Yes);  // overwrite
    manager()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(manager()));
    run.start();
    click(kSendToDB2);
    QVERIFY(acted);
    if (duringSwap) {
        QVERIFY2(run.elapsed() < 5000, qPrintable(QString::number(run.elapsed())));  // the waits alone take over 6 s
        QCOMPARE(dialogs()->kinds(), QStringList({"question"}));  // a stopped statement is no failure
        reader.rollback();
    }
    const QString status = manager()->statusText();
    QCOMPARE(db2()->texts().count("ui5_big"), 1);
    DataConnection db2Connection;
    db2Connection.open(DB2ConnectionString(DB2TestProfile()));
    for (const auto& name : ListDB2Tables(db2Connection))
        QVERIFY2(!StagingNameTime(name), name.c_str());
    if (!how.startsWith("cancel")) {
        QCOMPARE(dialogs()->kinds(), QStringList({"question", "question"}));
        QCOMPARE(dialogs()->shown[1].text,
                 QStringLiteral("Tables are still being sent. Stop after the current batch and end the program?"));
    }
    if (how == "close, go on") {  // the transfer runs to its end, the program goes on
        QCOMPARE(countRows(false, "ui5_big"), 20000);
        QVERIFY2(status.startsWith("Sent 1 table to IBM DB2: " + QLocale().toString(20000) + " rows copied")
                     && !status.contains("cancelled"),
                 qPrintable(status));
        QCOMPARE(ended.count(), 0);
        QVERIFY(manager()->isVisible());
        return;
    }
    // Stopped after the batch in hand: only a complete copy replaces a table,
    // so the old one stays as it was, and the status line says so.
    QCOMPARE(countRows(false, "ui5_big"), 1);
    QVERIFY2(status.startsWith("Sent 0 tables to IBM DB2: 0 rows copied") && status.contains("(cancelled)")
                 && status.contains("Incomplete: ui5_big (cancelled, the old table was not replaced; 0 of "),
             qPrintable(status));
    if (how.startsWith("cancel")) {
        QTest::keyClick(manager(), Qt::Key_Escape);  // no transfer now: nothing happens
        QCOMPARE(manager()->statusText(), status);
        QVERIFY(manager()->isVisible());
        QCOMPARE(ended.count(), 0);
        QVERIFY(manager()->findChild<QPushButton*>(kSendToMySQL)->isEnabled());
        // Cancel stopped that send only: the next one in this window runs to its end.
        select(mysql(), {"ui5_small"});
        click(kSendToDB2);
        QVERIFY2(manager()->statusText().startsWith("Sent 1 table to IBM DB2: 3 rows copied")
                     && !manager()->statusText().contains("cancelled"),
                 qPrintable(manager()->statusText()));
        QCOMPARE(countRows(false, "ui5_small"), 3);
    } else {  // closing: the program ends once the transfer has stopped
        QCOMPARE(ended.count(), 1);
        QVERIFY(!manager()->isVisible());
        QVERIFY(!login()->isVisible());
    }
}

void TableSendTest::refusedCreateIsReportedOnceAndNotListed()
{
    // DB2 tells "a" from "A"; MySQL column names ignore case and refuse the table.
    ExecDB2("CREATE TABLE \"UI5_DUP\" (\"a\" INTEGER, \"A\" INTEGER)");
    ExecDB2("INSERT INTO \"UI5_DUP\" VALUES (1, 2)");
    ExecDB2("INSERT INTO \"UI5_DUP\" VALUES (3, 4)");
    open();
    select(db2(), {"UI5_DUP"});
    click(kSendToMySQL);
    QCOMPARE(dialogs()->kinds(), QStringList({"error"}));
    const QString report = dialogs()->shown[0].text;
    QVERIFY2(report.contains("in Hopbridge2017/04/05.Form2.PushButton4_Click at line 218\r\r"), qPrintable(report));
    QVERIFY2(report.contains("\r\rsql: CREATE TABLE `tablehop_stage_"), qPrintable(report));  // the statement sent
    QVERIFY(!mysql()->texts().contains("UI5_DUP"));
    QVERIFY2(manager()->statusText().startsWith("Sent 0 tables to MySQL"), qPrintable(manager()->statusText()));
}

void TableSendTest::optionChecksAreUsedAndRemembered()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE ui5_keyed (id INT PRIMARY KEY, name VARCHAR(20))");
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_keyed VALUES (1, 'a'), (2, 'A')");
    open();
    QCheckBox* matching = manager()->findChild<QCheckBox*>(kMatchingDB2Types);
    QCheckBox* keys = manager()->findChild<QCheckBox*>(kCopyPrimaryKeys);
    QComboBox* existing = manager()->findChild<QComboBox*>(kExistingTables);
    QVERIFY(matching && keys && existing);
    QVERIFY(!matching->isChecked() && !keys->isChecked());
    QCOMPARE(existing->currentText(), QStringLiteral("replace the table (ask)"));
    matching->click();
    keys->click();
    QCOMPARE(store()->read("DB2ColumnTypes", ""), QStringLiteral("matching"));
    QCOMPARE(store()->read("CopyPrimaryKeys", ""), QStringLiteral("1"));

    select(mysql(), {"ui5_keyed"});
    click(kSendToDB2);
    QVERIFY2(manager()->statusText().startsWith("Sent 1 table to IBM DB2: 2 rows copied, 0 rows refused, "),
             qPrintable(manager()->statusText()));
    DataConnection connection;
    connection.open(DB2ConnectionString(DB2TestProfile()));
    QCOMPARE(connection.primaryKeyColumns("ui5_keyed"), std::vector<std::string> {"id"});
    QCOMPARE(connection.execute("SELECT * FROM \"ui5_keyed\"")->field("name").sqlType, SQLSMALLINT(SQL_VARCHAR));

    // The next start shows both options as they were left.
    windows_.reset();
    open();
    QVERIFY(manager()->findChild<QCheckBox*>(kMatchingDB2Types)->isChecked());
    QVERIFY(manager()->findChild<QCheckBox*>(kCopyPrimaryKeys)->isChecked());

    // Verify after sending: off until checked; the verdict joins the status line, each table's the Log.
    QCheckBox* verify = manager()->findChild<QCheckBox*>(kVerifyAfterSending);
    QVERIFY(verify && !verify->isChecked());
    verify->click();
    QCOMPARE(store()->read("VerifyAfterSending", ""), QStringLiteral("1"));
    dialogs()->answers = {Answer::Yes};  // replace the copy sent above
    select(mysql(), {"ui5_keyed"});
    click(kSendToDB2);
    QVERIFY2(manager()->statusText().contains(
                 ". Verified 1 table against IBM DB2: 1 equal, 0 different, 0 not compared, "),
             qPrintable(manager()->statusText()));
    QVERIFY2(manager()->sessionLog()->text().contains(
                 "verify: ui5_keyed: equal: 2 rows on MySQL, 2 on IBM DB2"),
             qPrintable(manager()->sessionLog()->text()));
    windows_.reset();
    open();
    QVERIFY(manager()->findChild<QCheckBox*>(kVerifyAfterSending)->isChecked());
    manager()->findChild<QCheckBox*>(kVerifyAfterSending)->click();  // off for the sends below

    // Parallel streams: one until changed, at most 16; the choice is remembered and sent with.
    QSpinBox* streams = manager()->findChild<QSpinBox*>(kParallelStreams);
    QVERIFY(streams);
    QCOMPARE(streams->value(), 1);
    QCOMPARE(manager()->transferOptions().parallelStreams, 1);
    streams->setValue(40);
    QCOMPARE(streams->value(), 16);
    streams->setValue(3);
    QCOMPARE(store()->read("ParallelStreams", ""), QStringLiteral("3"));
    windows_.reset();
    open();
    QCOMPARE(manager()->findChild<QSpinBox*>(kParallelStreams)->value(), 3);
    QCOMPARE(manager()->transferOptions().parallelStreams, 3);
    // Three tables at once from the window: each arrives whole and is listed once.
    for (const char* table : {"ui5_p1", "ui5_p2", "ui5_p3"}) {
        ExecMySQLIn(kDatabase, std::string("CREATE TABLE ") + table + " (id INT PRIMARY KEY)");
        ExecMySQLIn(kDatabase, std::string("INSERT INTO ") + table + " SELECT seq FROM seq_1_to_300");
    }
    open();
    select(mysql(), {"ui5_p1", "ui5_p2", "ui5_p3"});
    click(kSendToDB2);
    QVERIFY2(manager()->statusText().startsWith("Sent 3 tables to IBM DB2: 900 rows copied, 0 rows refused"),
             qPrintable(manager()->statusText()));
    for (const char* table : {"ui5_p1", "ui5_p2", "ui5_p3"}) {
        QCOMPARE(countRows(false, table), 300);
        QCOMPARE(db2()->texts().count(QString::fromLatin1(table)), 1);
    }
    manager()->findChild<QSpinBox*>(kParallelStreams)->setValue(1);

    // Adding the rows keeps the table and its key; the question says so and No is not taken.
    manager()->findChild<QComboBox*>(kExistingTables)->setCurrentIndex(1);
    QCOMPARE(store()->read("ExistingTables", ""), QStringLiteral("append"));
    ExecMySQLIn(kDatabase, "INSERT INTO ui5_keyed VALUES (3, 'b')");
    dialogs()->shown.clear();
    dialogs()->answers = {Answer::Yes};
    select(mysql(), {"ui5_keyed"});
    click(kSendToDB2);
    QVERIFY(!dialogs()->shown.empty());
    QCOMPARE(firstParagraph(dialogs()->shown[0].text), QStringLiteral("Add 3 rows to the existing table ui5_keyed?"));
    QCOMPARE(connection.primaryKeyColumns("ui5_keyed"), std::vector<std::string> {"id"});
    QCOMPARE(connection.execute("SELECT COUNT(*) FROM \"ui5_keyed\"")->field(0).value, std::optional<std::string>("3"));
    windows_.reset();
    open();
    QCOMPARE(manager()->findChild<QComboBox*>(kExistingTables)->currentIndex(), 1);

    // Allow rounding: off until checked; remembered and sent with.
    QCheckBox* rounding = manager()->findChild<QCheckBox*>(kAllowRounding);
    QVERIFY(rounding && !rounding->isChecked());
    QVERIFY(!manager()->transferOptions().allowRounding);
    rounding->click();
    QCOMPARE(store()->read("AllowRounding", ""), QStringLiteral("1"));
    windows_.reset();
    open();
    QVERIFY(manager()->findChild<QCheckBox*>(kAllowRounding)->isChecked());
    QVERIFY(manager()->transferOptions().allowRounding);
    manager()->findChild<QCheckBox*>(kAllowRounding)->click();  // off for the sends below

    // Upper-case names on DB2: off until checked; names sent back to MySQL keep DB2's case.
    QCheckBox* upperCase = manager()->findChild<QCheckBox*>(kUpperCaseDB2Names);
    QVERIFY(upperCase && !upperCase->isChecked());
    upperCase->click();
    QCOMPARE(store()->read("UpperCaseDB2Names", ""), QStringLiteral("1"));
    select(mysql(), {"ui5_keyed"});
    click(kSendToDB2);
    QVERIFY(db2()->texts().contains("UI5_KEYED"));
    QCOMPARE(connection.execute("SELECT COUNT(NAME) FROM UI5_KEYED")->field(0).value, std::optional<std::string>("3"));
    select(db2(), {"UI5_KEYED"});
    click(kSendToMySQL);
    QVERIFY(mysql()->texts().contains("UI5_KEYED") && mysql()->texts().contains("ui5_keyed"));
    windows_.reset();
    open();
    QVERIFY(manager()->findChild<QCheckBox*>(kUpperCaseDB2Names)->isChecked());

    // Round trip with a MySQL server that keeps table names in lower case:
    // ui5_orders goes as UI5_ORDERS and comes back over itself as ui5_orders.
    windows_.reset();
    DataConnection folding;
    folding.open(MySQLConnectionString(FoldingMySQLTestProfile()));
    folding.execute("DROP TABLE IF EXISTS ui5_orders");
    folding.execute("CREATE TABLE ui5_orders (id INT)");
    folding.execute("INSERT INTO ui5_orders VALUES (1), (2)");
    windows_ = std::make_unique<OpenWindows>(dir_.filePath("send.ini"));
    StoreLogins(windows_->settings(), FoldingMySQLTestProfile(), DB2TestProfile());
    windows_->controller().startUp();
    manager()->findChild<QComboBox*>(kExistingTables)->setCurrentIndex(0);  // replace the table, asking
    select(mysql(), {"ui5_orders"});
    click(kSendToDB2);
    QVERIFY(db2()->texts().contains("UI5_ORDERS"));
    dialogs()->shown.clear();
    dialogs()->answers = {Answer::Yes};
    select(db2(), {"UI5_ORDERS"});
    click(kSendToMySQL);
    QCOMPARE(firstParagraph(dialogs()->shown[0].text), QStringLiteral("Would you like to overwrite ui5_orders?"));
    QVERIFY(mysql()->texts().contains("ui5_orders") && !mysql()->texts().contains("UI5_ORDERS"));
    QCOMPARE(folding
                 .execute("SELECT COUNT(ID) FROM information_schema.TABLES, ui5_orders WHERE TABLE_SCHEMA = DATABASE() "
                          "AND BINARY TABLE_NAME = 'ui5_orders'")
                 ->field(0)
                 .value,
             std::optional<std::string>("2"));
    folding.execute("DROP TABLE ui5_orders");
}

QTEST_MAIN(TableSendTest)
#include "TableManagerSendTest.moc"
