// Deleting and renaming tables on both sides, on the real windows against the
// private test servers.
// The MySQL side works in a database of its own; the DB2 names start with UI6.
#include "FakeDialogs.h"
#include "Form1.h"
#include "Form2.h"
#include "SettingsStore.h"
#include "TableList.h"
#include "TableListing.h"
#include "StoredLogins.h"
#include "TestServers.h"
#include "WindowHelpers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const char* kDatabase = "ui_manage";

void quietly(void (*exec)(const std::string&), const std::string& sql)
{
    try {
        exec(sql);
    } catch (const std::exception&) {
    }
}

QStringList names(const std::vector<std::string>& list)
{
    QStringList out;
    for (const auto& name : list)
        out << QString::fromStdString(name);
    return out;
}

ConnectionProfile manageProfile()
{
    ConnectionProfile profile = MySQLTestProfile();
    profile.database = kDatabase;
    return profile;
}

QStringList mysqlTables() { return names(ListMySQLTables(manageProfile())); }
QStringList db2Tables() { return names(ListDB2Tables(DB2TestProfile())); }

void createMySQL(const QString& table)
{
    ExecMySQL("CREATE TABLE `" + std::string(kDatabase) + "`.`" + QString(table).replace("`", "``").toStdString()
              + "` (id INT)");
}

void createDB2(const QString& table)
{
    ExecDB2("CREATE TABLE \"" + QString(table).replace("\"", "\"\"").toStdString() + "\" (ID INTEGER)");
}

void dropDB2(const QString& table)
{
    quietly(ExecDB2, "DROP TABLE \"" + QString(table).replace("\"", "\"\"").toStdString() + "\"");
}

}  // namespace

class TableManagerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deleteThreeTablesOnEachSide();
    void aTableDroppedMeanwhileLeavesTheList();
    void aRefusedDropKeepsTheName();
    void anUnreachableServerIsReportedOnce();
    void confirmationAnsweredNo();
    void oddNamesAreDeletedAndRenamed();
    void renameOutcomes();
    void selectionMessages();

private:
    // Fresh windows on the table manager with both lists filled.
    void open();
    void refill() { login_->PushButton2_Click(); }
    int indexOf(TableList* list, const QString& name) const { return list->texts().indexOf(name); }
    void select(TableList* list, const QStringList& which);
    void click(int number) { manager()->findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(number))->click(); }
    Form2* manager() const { return login_->tableManager(); }
    TableList* mysql() const { return manager()->List1(); }
    TableList* db2() const { return manager()->List2(); }
    // The names a list gave up, in the order it gave them up.
    QStringList watchRemovals(TableList* list);

    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<Form1> login_;
    std::shared_ptr<QStringList> removed_;
};

void TableManagerTest::initTestCase()
{
    RequireTestServers(true, true);
}

void TableManagerTest::init()
{
    ExecMySQL(std::string("DROP DATABASE IF EXISTS `") + kDatabase + "`");
    ExecMySQL(std::string("CREATE DATABASE `") + kDatabase + "`");
    for (const QString& name : db2Tables())
        if (name.startsWith("UI6", Qt::CaseInsensitive))
            dropDB2(name);
}

void TableManagerTest::cleanup()
{
    login_.reset();
    dialogs_.reset();
    store_.reset();
    init();
}

void TableManagerTest::open()
{
    store_ = std::make_unique<SettingsStore>(dir_.filePath("manage.ini"));
    StoreLogins(*store_, manageProfile(), DB2TestProfile());
    dialogs_ = std::make_unique<FakeDialogs>();
    login_ = std::make_unique<Form1>(*dialogs_, *store_);
    login_->startUp();
    QVERIFY(manager() && manager()->isVisible());
}

void TableManagerTest::select(TableList* list, const QStringList& which)
{
    for (int i = 0; i < list->count(); ++i)
        list->setSelected(i, which.contains(list->text(i)));
    if (!which.isEmpty())
        list->setCurrentIndex(indexOf(list, which.first()));
}

QStringList TableManagerTest::watchRemovals(TableList* list)
{
    removed_ = std::make_shared<QStringList>();
    auto removed = removed_;
    connect(list->model(), &QAbstractItemModel::rowsAboutToBeRemoved, list,
            [list, removed](const QModelIndex&, int first, int last) {
                for (int i = first; i <= last; ++i)
                    *removed << list->text(i);
            });
    return {};
}

void TableManagerTest::deleteThreeTablesOnEachSide()
{
    for (const char* name : {"alpha", "beta", "gamma", "keep"})
        createMySQL(name);
    for (const char* name : {"UI6_ALPHA", "UI6_BETA", "UI6_GAMMA", "UI6_KEEP"})
        createDB2(name);
    open();
    QCOMPARE(mysql()->texts(), QStringList({"alpha", "beta", "gamma", "keep"}));

    watchRemovals(mysql());
    select(mysql(), {"alpha", "beta", "gamma"});
    dialogs_->answers.push_back(Answer::Yes);
    click(1);
    QCOMPARE(dialogs_->kinds(), QStringList({"question"}));
    QCOMPARE(dialogs_->shown[0].title, ApplicationTitle());
    QCOMPARE(dialogs_->shown[0].text,
             QStringLiteral("Delete these 3 tables from the MySQL database?\r\ralpha\rbeta\rgamma\r\rThis cannot be undone."));
    QCOMPARE(*removed_, QStringList({"gamma", "beta", "alpha"}));  // the last in the list first
    QCOMPARE(mysql()->texts(), QStringList({"keep"}));
    QCOMPARE(mysqlTables(), QStringList({"keep"}));
    QCOMPARE(manager()->mousePointer(), 0);

    watchRemovals(db2());
    select(db2(), {"UI6_ALPHA", "UI6_BETA", "UI6_GAMMA"});
    dialogs_->answers.push_back(Answer::Yes);
    click(5);
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "question"}));
    QVERIFY(dialogs_->shown[1].text.startsWith("Delete these 3 tables from the IBM DB2 database?\r\rUI6_ALPHA\rUI6_BETA\rUI6_GAMMA\r"));
    QCOMPARE(*removed_, QStringList({"UI6_GAMMA", "UI6_BETA", "UI6_ALPHA"}));
    QVERIFY(db2()->texts().contains("UI6_KEEP"));
    for (const char* gone : {"UI6_ALPHA", "UI6_BETA", "UI6_GAMMA"}) {
        QVERIFY(!db2()->texts().contains(gone));
        QVERIFY(!db2Tables().contains(gone));
    }
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::aTableDroppedMeanwhileLeavesTheList()
{
    createMySQL("gone");
    createMySQL("stays");
    createDB2("UI6_GONE");
    open();
    ExecMySQL(std::string("DROP TABLE `") + kDatabase + "`.`gone`");  // another program
    dropDB2("UI6_GONE");

    select(mysql(), {"gone"});
    dialogs_->answers.push_back(Answer::Yes);
    click(1);
    select(db2(), {"UI6_GONE"});
    dialogs_->answers.push_back(Answer::Yes);
    click(5);
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "question"}));  // no error report
    QCOMPARE(mysql()->texts(), QStringList({"stays"}));
    QVERIFY(!db2()->texts().contains("UI6_GONE"));
}

void TableManagerTest::aRefusedDropKeepsTheName()
{
    ExecMySQL(std::string("CREATE TABLE `") + kDatabase + "`.`parent` (id INT PRIMARY KEY) ENGINE=InnoDB");
    ExecMySQL(std::string("CREATE TABLE `") + kDatabase
              + "`.`child` (id INT, parent_id INT, FOREIGN KEY (parent_id) REFERENCES `parent` (id)) ENGINE=InnoDB");
    // MariaDB refuses DROP TABLE on a view with the state of a missing table; the view is still there.
    ExecMySQL(std::string("CREATE VIEW `") + kDatabase + "`.`a_view` AS SELECT 1 AS one");
    open();
    select(mysql(), {"parent", "a_view"});
    dialogs_->answers.push_back(Answer::Yes);
    click(1);
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "error", "error"}));
    QVERIFY(dialogs_->shown[1].text.contains("in Hopbridge2017/04/05.Form2.PushButton1_Click at line 120"));
    QVERIFY2(dialogs_->shown[2].text.contains("is a view"), qPrintable(dialogs_->shown[2].text));
    QCOMPARE(mysql()->texts(), QStringList({"a_view", "child", "parent"}));
    QCOMPARE(mysqlTables(), QStringList({"a_view", "child", "parent"}));
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::anUnreachableServerIsReportedOnce()
{
    for (const char* name : {"one", "two"})
        createMySQL(name);
    createDB2("UI6_ONE");
    open();
    login_->findChild<QLineEdit*>("Text10")->setText("1");  // nothing listens on port 1
    select(mysql(), {"one", "two"});
    dialogs_->answers.push_back(Answer::Yes);
    click(1);
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "error"}));
    QVERIFY(dialogs_->shown[1].text.contains("Form2.PushButton1_Click at line 116"));
    QCOMPARE(mysql()->texts(), QStringList({"one", "two"}));
    QCOMPARE(manager()->mousePointer(), 0);

    login_->findChild<QLineEdit*>("Text2")->setText("1");
    select(db2(), {"UI6_ONE"});
    click(5);  // the DB2 side opens first: no question
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "error", "error"}));
    QVERIFY(dialogs_->shown[2].text.contains("Form2.PushButton5_Click at line 104"));
    QVERIFY(db2()->texts().contains("UI6_ONE"));
    QVERIFY(db2Tables().contains("UI6_ONE"));
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::confirmationAnsweredNo()
{
    createMySQL("precious");
    createDB2("UI6_PRECIOUS");
    open();
    select(mysql(), {"precious"});
    dialogs_->answers.push_back(Answer::No);
    click(1);
    select(db2(), {"UI6_PRECIOUS"});
    dialogs_->answers.push_back(Answer::No);
    click(5);
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "question"}));
    QCOMPARE(dialogs_->shown[0].text,
             QStringLiteral("Delete this table from the MySQL database?\r\rprecious\r\rThis cannot be undone."));
    QCOMPARE(mysql()->texts(), QStringList({"precious"}));
    QVERIFY(mysqlTables().contains("precious"));
    QVERIFY(db2()->texts().contains("UI6_PRECIOUS"));
    QVERIFY(db2Tables().contains("UI6_PRECIOUS"));
}

void TableManagerTest::oddNamesAreDeletedAndRenamed()
{
    const QStringList mysqlNames = {"back`tick", "with space", "dq\"name", QString::fromUtf8("ünïcödé"),
                                    "rename`me"};
    for (const QString& name : mysqlNames)
        createMySQL(name);
    const QStringList db2Names = {"UI6 DQ\"NAME", "UI6 WITH SPACE", QString::fromUtf8("UI6_ÄÖÜ"), "UI6_back`tick",
                                  "UI6 RENAME\"ME"};
    for (const QString& name : db2Names)
        createDB2(name);
    open();
    for (const QString& name : mysqlNames)
        QVERIFY2(mysql()->texts().contains(name), qPrintable(name));

    select(mysql(), mysqlNames.mid(0, 4));
    dialogs_->answers.push_back(Answer::Yes);
    click(1);
    QCOMPARE(mysql()->texts(), QStringList({"rename`me"}));
    QCOMPARE(mysqlTables(), QStringList({"rename`me"}));
    select(mysql(), {"rename`me"});
    const QString newMySQL = QString::fromUtf8("ré nämed`\"x");
    dialogs_->inputs.push_back(newMySQL);
    click(6);
    QCOMPARE(mysql()->texts(), QStringList({newMySQL}));
    QCOMPARE(mysqlTables(), QStringList({newMySQL}));

    select(db2(), db2Names.mid(0, 4));
    dialogs_->answers.push_back(Answer::Yes);
    click(5);
    for (const QString& name : db2Names.mid(0, 4)) {
        QVERIFY2(!db2()->texts().contains(name), qPrintable(name));
        QVERIFY2(!db2Tables().contains(name), qPrintable(name));
    }
    select(db2(), {"UI6 RENAME\"ME"});
    const QString newDB2 = QString::fromUtf8("UI6 nÉw \"`x");
    dialogs_->inputs.push_back(newDB2);
    click(7);
    QVERIFY(db2()->texts().contains(newDB2));
    QVERIFY(!db2()->texts().contains("UI6 RENAME\"ME"));
    QVERIFY(db2Tables().contains(newDB2));
    QCOMPARE(dialogs_->kinds(), QStringList({"question", "input", "question", "input"}));  // no error report
}

void TableManagerTest::renameOutcomes()
{
    for (const char* name : {"customers", "orders", "zoo"})
        createMySQL(name);
    for (const char* name : {"UI6_ORDERS", "UI6_TAKEN"})
        createDB2(name);
    open();
    const QStringList before = mysql()->texts();

    // Cancel, then an emptied answer: nothing is sent, nothing changes.
    select(mysql(), {"orders"});
    dialogs_->inputs.push_back(std::nullopt);
    click(6);
    dialogs_->inputs.push_back(QString());
    click(6);
    QCOMPARE(dialogs_->kinds(), QStringList({"input", "input"}));
    QCOMPARE(dialogs_->shown[0].text, QStringLiteral("Enter new name of orders:"));
    QCOMPARE(dialogs_->shown[0].title, ApplicationTitle());
    QCOMPARE(dialogs_->shown[0].detail, QStringLiteral("orders"));  // the proposed answer
    QCOMPARE(mysql()->texts(), before);

    // The proposed name unchanged: the statement is sent and the server refuses.
    dialogs_->inputs.push_back(QStringLiteral("orders"));
    click(6);
    QCOMPARE(dialogs_->kinds().last(), QStringLiteral("error"));
    QVERIFY(dialogs_->shown.back().text.contains("Form2.PushButton6_Click at line 128"));
    QCOMPARE(mysql()->texts(), before);

    // A name that exists already.
    dialogs_->inputs.push_back(QStringLiteral("zoo"));
    click(6);
    QCOMPARE(dialogs_->kinds().last(), QStringLiteral("error"));
    QCOMPARE(mysql()->texts(), before);
    QCOMPARE(mysqlTables(), before);

    // A good rename: orders_2016 in its sorted place.
    const size_t shown = dialogs_->shown.size();
    dialogs_->inputs.push_back(QStringLiteral("orders_2016"));
    click(6);
    QCOMPARE(dialogs_->shown.size(), shown + 1);  // the input box only
    QCOMPARE(mysql()->texts(), QStringList({"customers", "orders_2016", "zoo"}));
    QCOMPARE(mysqlTables(), QStringList({"customers", "orders_2016", "zoo"}));
    QCOMPARE(manager()->mousePointer(), 0);

    // DB2: Cancel, an existing name, a good rename.
    select(db2(), {"UI6_ORDERS"});
    dialogs_->inputs.push_back(std::nullopt);
    click(7);
    QVERIFY(db2()->texts().contains("UI6_ORDERS"));
    dialogs_->inputs.push_back(QStringLiteral("UI6_TAKEN"));
    click(7);
    QCOMPARE(dialogs_->kinds().last(), QStringLiteral("error"));
    QVERIFY(dialogs_->shown.back().text.contains("Form2.PushButton7_Click at line 120"));
    QVERIFY(db2()->texts().contains("UI6_ORDERS"));
    QCOMPARE(db2()->texts().count("UI6_TAKEN"), 1);
    dialogs_->inputs.push_back(QStringLiteral("UI6_ORDERS_2016"));
    click(7);
    QVERIFY(!db2()->texts().contains("UI6_ORDERS"));
    const int renamed = indexOf(db2(), "UI6_ORDERS_2016");
    QVERIFY(renamed >= 0);
    QVERIFY(renamed + 1 == db2()->count()
            || QString::compare(db2()->text(renamed + 1), "UI6_ORDERS_2016", Qt::CaseInsensitive) > 0);
    QVERIFY(renamed == 0 || QString::compare(db2()->text(renamed - 1), "UI6_ORDERS_2016", Qt::CaseInsensitive) < 0);
    QVERIFY(db2Tables().contains("UI6_ORDERS_2016"));
    QCOMPARE(db2()->currentIndex(), 0);  // step 126 makes the first item current
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::selectionMessages()
{
    for (const char* name : {"m1", "m2"})
        createMySQL(name);
    for (const char* name : {"UI6_D1", "UI6_D2"})
        createDB2(name);
    open();
    auto last = [&] { return dialogs_->shown.back().text; };

    // No current item.
    mysql()->setCurrentIndex(-1);
    db2()->setCurrentIndex(-1);
    click(1);
    QCOMPARE(last(), QStringLiteral("Please select a table"));
    click(5);
    QCOMPARE(last(), QStringLiteral("Please select a table to delete"));
    QCOMPARE(manager()->mousePointer(), 0);
    click(6);
    QCOMPARE(last(), QStringLiteral("Please select a table"));
    click(7);
    QCOMPARE(last(), QStringLiteral("Please select a table to rename."));
    QCOMPARE(dialogs_->kinds(), QStringList({"message", "message", "message", "message"}));
    for (const auto& box : dialogs_->shown)
        QVERIFY(box.title.isEmpty());  // the application title

    // More than one selected table.
    select(mysql(), {"m1", "m2"});
    select(db2(), {"UI6_D1", "UI6_D2"});
    click(6);
    QCOMPARE(last(), QStringLiteral("Please select just one table to rename"));
    click(7);
    QCOMPARE(last(), QStringLiteral("Please select just one table to rename."));

    // A current item but nothing selected: delete does nothing and says nothing.
    const size_t shown = dialogs_->shown.size();
    select(mysql(), {});
    mysql()->setCurrentIndex(0);
    select(db2(), {});
    db2()->setCurrentIndex(0);
    click(1);
    click(5);
    QCOMPARE(dialogs_->shown.size(), shown);
    QCOMPARE(mysql()->texts(), QStringList({"m1", "m2"}));
    QCOMPARE(mysqlTables(), QStringList({"m1", "m2"}));
    QCOMPARE(manager()->mousePointer(), 0);
}

QTEST_MAIN(TableManagerTest)
#include "TableManagerTest.moc"
