// The two send buttons of the table manager on the real windows, against the
// private test servers. MySQL works in a database of its own; DB2 names start with UI5.
#include "DataConnection.h"
#include "FakeDialogs.h"
#include "Form1.h"
#include "Form2.h"
#include "SettingsStore.h"
#include "SqlIdentifiers.h"
#include "TableList.h"
#include "TableListing.h"
#include "StoredLogins.h"
#include "TestServers.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const char* kDatabase = "ui_send";

ConnectionProfile sendProfile()
{
    ConnectionProfile profile = MySQLTestProfile();
    profile.database = kDatabase;
    return profile;
}

void execSend(const std::string& sql)
{
    DataConnection connection;
    connection.open(MySQLConnectionString(sendProfile()));
    connection.execute(sql);
}

long long countRows(bool mysql, const std::string& table)
{
    DataConnection connection;
    connection.open(mysql ? MySQLConnectionString(sendProfile()) : DB2ConnectionString(DB2TestProfile()));
    auto rs = connection.execute("SELECT COUNT(*) FROM "
                                 + (mysql ? QuoteMySQLIdentifier(table) : QuoteDB2Identifier(table)));
    return std::stoll(*rs->field(0).value);
}

}  // namespace

class TableSendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireTestServers(true, true); }
    void init();
    void cleanup();

    void noCurrentItemOnEitherSide();
    void progressButtonsAndStatusLine();
    void overwriteAnsweredNoThenYes();
    void caseOnlyMatchAsksAndKeepsBothNames();
    void cancelStopsAfterTheCurrentBatch();
    void refusedCreateIsReportedOnceAndNotListed();
    void optionChecksAreUsedAndRemembered();

private:
    void open();
    void select(TableList* list, const QStringList& which);
    void click(int number) { manager()->findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(number))->click(); }
    Form2* manager() const { return login_->tableManager(); }
    TableList* mysql() const { return manager()->List1(); }
    TableList* db2() const { return manager()->List2(); }

    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<Form1> login_;
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
    login_.reset();
    dialogs_.reset();
    store_.reset();
    init();
}

void TableSendTest::open()
{
    store_ = std::make_unique<SettingsStore>(dir_.filePath("send.ini"));
    StoreLogins(*store_, sendProfile(), DB2TestProfile());
    dialogs_ = std::make_unique<FakeDialogs>();
    login_ = std::make_unique<Form1>(*dialogs_, *store_);
    login_->startUp();
    QVERIFY(manager() && manager()->isVisible());
}

void TableSendTest::select(TableList* list, const QStringList& which)
{
    for (int i = 0; i < list->count(); ++i)
        list->setSelected(i, which.contains(list->text(i)));
    list->setCurrentIndex(which.isEmpty() ? -1 : list->texts().indexOf(which.first()));
}

void TableSendTest::noCurrentItemOnEitherSide()
{
    execSend("CREATE TABLE ui5_t (id INT)");
    open();
    select(mysql(), {});
    click(3);
    select(db2(), {});
    click(4);
    QCOMPARE(dialogs_->texts(), QStringList({"Please select a table", "Please select a table to send."}));
    QCOMPARE(dialogs_->shown[0].title, QString());  // the application title
    QCOMPARE(manager()->mousePointer(), 0);
    QVERIFY(manager()->statusText().isEmpty());
}

void TableSendTest::progressButtonsAndStatusLine()
{
    execSend("CREATE TABLE ui5_four (id INT PRIMARY KEY, name VARCHAR(20))");
    execSend("INSERT INTO ui5_four VALUES (1,'a'),(2,'b'),(3,'c'),(4,'d')");
    open();
    QList<int> values;
    QList<bool> sendEnabled, cancelShown;
    connect(manager()->ProgressBar1(), &QProgressBar::valueChanged, this, [&](int value) {
        values << value;
        sendEnabled << manager()->findChild<QPushButton*>("PushButton3")->isEnabled();
        cancelShown << manager()->cancelButton()->isVisible();
    });
    select(mysql(), {"ui5_four"});
    click(3);
    QCOMPARE(values, QList<int>({25, 50, 75, 100, 0}));
    QVERIFY(!sendEnabled.contains(true));  // every button off while rows go
    QVERIFY(!cancelShown.contains(false));
    QVERIFY(manager()->findChild<QPushButton*>("PushButton3")->isEnabled());
    QVERIFY(!manager()->cancelButton()->isVisible());
    QCOMPARE(manager()->mousePointer(), 0);
    QVERIFY(dialogs_->shown.empty());  // no message box at the end
    QVERIFY2(manager()->statusText().startsWith("Sent 1 table to IBM DB2: 4 rows copied, 0 rows refused, "),
             qPrintable(manager()->statusText()));
    QVERIFY(db2()->texts().contains("ui5_four"));
    QCOMPARE(countRows(false, "ui5_four"), 4);
    QCOMPARE(mysql()->texts(), QStringList({"ui5_four"}));  // the source list is left as it was
    QVERIFY(mysql()->isSelected(0));
}

void TableSendTest::overwriteAnsweredNoThenYes()
{
    execSend("CREATE TABLE ui5_over (id INT)");
    execSend("INSERT INTO ui5_over VALUES (1),(2)");
    ExecDB2("CREATE TABLE \"ui5_over\" (\"x\" INTEGER)");
    open();
    QCOMPARE(db2()->texts().count("ui5_over"), 1);
    select(mysql(), {"ui5_over"});
    dialogs_->answers.push_back(Answer::No);
    click(3);
    QCOMPARE(dialogs_->shown.size(), size_t(1));
    QCOMPARE(dialogs_->shown[0].text, QStringLiteral("Would you like to overwrite ui5_over?"));
    QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Overwrite?"));
    QCOMPARE(countRows(false, "ui5_over"), 0);  // untouched

    dialogs_->answers.push_back(Answer::Yes);
    click(3);
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "question"}));
    QCOMPARE(countRows(false, "ui5_over"), 2);
    QCOMPARE(db2()->texts().count("ui5_over"), 1);
}

void TableSendTest::caseOnlyMatchAsksAndKeepsBothNames()
{
    execSend("CREATE TABLE Ui5_Case (id INT)");
    ExecDB2("CREATE TABLE UI5_CASE (ID INTEGER)");
    open();
    select(mysql(), {"Ui5_Case"});
    dialogs_->answers.push_back(Answer::Yes);
    click(3);
    QCOMPARE(dialogs_->kinds(), QStringList({"question"}));
    QVERIFY(db2()->texts().contains("UI5_CASE"));  // the removal is exact, the test is not
    QVERIFY(db2()->texts().contains("Ui5_Case"));
}

void TableSendTest::cancelStopsAfterTheCurrentBatch()
{
    execSend("CREATE TABLE ui5_big (id INT PRIMARY KEY, v VARCHAR(20))");
    execSend("INSERT INTO ui5_big SELECT seq, CONCAT('row ', seq) FROM seq_1_to_20000");
    open();
    connect(manager()->ProgressBar1(), &QProgressBar::valueChanged, this, [&](int value) {
        if (value > 0 && manager()->cancelButton()->isVisible())
            manager()->cancelButton()->click();
    });
    select(mysql(), {"ui5_big"});
    click(3);
    const long long arrived = countRows(false, "ui5_big");
    QVERIFY2(arrived > 0 && arrived < 20000, qPrintable(QString::number(arrived)));
    QVERIFY(db2()->texts().contains("ui5_big"));  // the rows sent stay, and so does the name
    // The status line tells what happened: nothing arrived whole, the table is incomplete.
    const QString status = manager()->statusText();
    QVERIFY2(status.startsWith("Sent 0 tables to IBM DB2: " + QString::number(arrived) + " rows copied")
                 && status.contains("(cancelled)") && status.contains("Incomplete: ui5_big (cancelled; "),
             qPrintable(status));
    QVERIFY(manager()->findChild<QPushButton*>("PushButton4")->isEnabled());
}

void TableSendTest::refusedCreateIsReportedOnceAndNotListed()
{
    // DB2 tells "a" from "A"; MySQL column names ignore case and refuse the table.
    ExecDB2("CREATE TABLE \"UI5_DUP\" (\"a\" INTEGER, \"A\" INTEGER)");
    ExecDB2("INSERT INTO \"UI5_DUP\" VALUES (1, 2)");
    ExecDB2("INSERT INTO \"UI5_DUP\" VALUES (3, 4)");
    open();
    select(db2(), {"UI5_DUP"});
    click(4);
    QCOMPARE(dialogs_->kinds(), QStringList({"error"}));
    const QString report = dialogs_->shown[0].text;
    QVERIFY2(report.contains("in Hopbridge2017/04/05.Form2.PushButton4_Click at line 218\r\r"), qPrintable(report));
    QVERIFY2(report.contains("\r\rsql: CREATE TABLE `UI5_DUP`("), qPrintable(report));
    QVERIFY(!mysql()->texts().contains("UI5_DUP"));
    QVERIFY2(manager()->statusText().startsWith("Sent 0 tables to MySQL"), qPrintable(manager()->statusText()));
}

void TableSendTest::optionChecksAreUsedAndRemembered()
{
    execSend("CREATE TABLE ui5_keyed (id INT PRIMARY KEY, name VARCHAR(20))");
    execSend("INSERT INTO ui5_keyed VALUES (1, 'a'), (2, 'A')");
    open();
    QCheckBox* matching = manager()->findChild<QCheckBox*>("matchingDb2TypesCheck");
    QCheckBox* keys = manager()->findChild<QCheckBox*>("copyPrimaryKeysCheck");
    QVERIFY(matching && keys);
    QVERIFY(!matching->isChecked() && !keys->isChecked());
    matching->click();
    keys->click();
    QCOMPARE(store_->read("DB2ColumnTypes", ""), QStringLiteral("matching"));
    QCOMPARE(store_->read("CopyPrimaryKeys", ""), QStringLiteral("1"));

    select(mysql(), {"ui5_keyed"});
    click(3);
    QVERIFY2(manager()->statusText().startsWith("Sent 1 table to IBM DB2: 2 rows copied, 0 rows refused, "),
             qPrintable(manager()->statusText()));
    DataConnection connection;
    connection.open(DB2ConnectionString(DB2TestProfile()));
    QCOMPARE(connection.primaryKeyColumns("ui5_keyed"), std::vector<std::string>{"id"});
    QCOMPARE(connection.execute("SELECT * FROM \"ui5_keyed\"")->field("name").sqlType, SQLSMALLINT(SQL_VARCHAR));

    // The next start shows both options as they were left.
    login_.reset();
    open();
    QVERIFY(manager()->findChild<QCheckBox*>("matchingDb2TypesCheck")->isChecked());
    QVERIFY(manager()->findChild<QCheckBox*>("copyPrimaryKeysCheck")->isChecked());
}

QTEST_MAIN(TableSendTest)
#include "TableSendTest.moc"
