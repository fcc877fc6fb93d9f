// Deleting and renaming tables on both sides, on the real windows against the
// private test servers.
// The MySQL side works in a database of its own; the DB2 names start with UI6.
#include "DbError.h"
#include "FakeDialogs.h"
#include "ObjectNames.h"
#include "LoginWindow.h"
#include "OpenWindows.h"
#include "TableManagerWindow.h"
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

QStringList mysqlServerTables() { return names(ListMySQLTables(MySQLTestProfileFor(kDatabase))); }
QStringList db2ServerTables() { return names(ListDB2Tables(DB2TestProfile())); }

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

using namespace object_name;

class TableManagerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selectAllAndDeleteOnEachSide();
    void aTableDroppedMeanwhileLeavesTheList();
    void aRefusedDropKeepsTheName_data();
    void aRefusedDropKeepsTheName();
    void anUnreachableServerIsReportedOnce();
    void confirmationAnsweredNo();
    void oddNamesAreDeletedAndRenamed_data();
    void oddNamesAreDeletedAndRenamed();
    void renameOutcomes();
    void deletingAViewSaysItIsAView();
    void selectionMessages();

private:
    // Fresh windows on the table manager with both lists filled.
    void open();
    void refill() { login()->openTableManager(); }
    int indexOf(TableList* list, const QString& name) const { return list->texts().indexOf(name); }
    void select(TableList* list, const QStringList& which);
    void click(const char* name) { manager()->findChild<QPushButton*>(name)->click(); }
    // A button's action taken as the test's "how" row says: the button, the
    // list's key, or the list's context menu.
    void act(const char* button, TableList* list, const QKeySequence& key);
    TableManagerWindow* manager() const { return windows_->manager(); }
    TableList* mysql() const { return manager()->mysqlTables(); }
    TableList* db2() const { return manager()->db2Tables(); }
    // The names a list gave up, in the order it gave them up.
    // The names the list loses from now on, in the order they go.
    std::shared_ptr<QStringList> watchRemovals(TableList* list);

    QTemporaryDir dir_;
    std::unique_ptr<OpenWindows> windows_;
    FakeDialogs* dialogs() { return &windows_->dialogs(); }
    SettingsStore* store() { return &windows_->settings(); }
    LoginWindow* login() { return &windows_->login(); }
};

void TableManagerTest::initTestCase() { RequireTestServers(true, true); }

void TableManagerTest::init()
{
    ExecMySQL(std::string("DROP DATABASE IF EXISTS `") + kDatabase + "`");
    ExecMySQL(std::string("CREATE DATABASE `") + kDatabase + "`");
    for (const char* view : {"UI6_SWAPPED", "UI6_PARENT_VIEW"})
        quietly(ExecDB2, std::string("DROP VIEW \"") + view + "\"");
    quietly(ExecDB2, "DROP TABLE \"UI6_CHILD\"");
    for (const QString& name : db2ServerTables())
        if (name.startsWith("UI6", Qt::CaseInsensitive))
            dropDB2(name);
}

void TableManagerTest::cleanup()
{
    windows_.reset();
    init();
}

void TableManagerTest::open()
{
    windows_ = std::make_unique<OpenWindows>(dir_.filePath("manage.ini"));
    StoreLogins(windows_->settings(), MySQLTestProfileFor(kDatabase), DB2TestProfile());
    windows_->controller().startUp();
    QVERIFY(manager() && manager()->isVisible());
}

void TableManagerTest::select(TableList* list, const QStringList& which)
{
    for (int i = 0; i < list->count(); ++i)
        list->setSelected(i, which.contains(list->text(i)));
    if (!which.isEmpty())
        list->setCurrentIndex(indexOf(list, which.first()));
}

std::shared_ptr<QStringList> TableManagerTest::watchRemovals(TableList* list)
{
    auto removed = std::make_shared<QStringList>();
    connect(list->model(), &QAbstractItemModel::rowsAboutToBeRemoved, list,
            [list, removed](const QModelIndex&, int first, int last) {
                for (int i = first; i <= last; ++i)
                    *removed << list->text(i);
            });
    return removed;
}

void TableManagerTest::selectAllAndDeleteOnEachSide()
{
    for (const char* name : {"alpha", "beta", "gamma", "keep"})
        createMySQL(name);
    for (const char* name : {"UI6_DEL_ALPHA", "UI6_DEL_BETA", "UI6_DEL_GAMMA", "UI6_KEEP"})
        createDB2(name);
    open();
    QCOMPARE(mysql()->texts(), QStringList({"alpha", "beta", "gamma", "keep"}));

    // The filter leaves alpha, beta and gamma; Select All selects those.
    const auto removedMySQL = watchRemovals(mysql());
    manager()->mysqlFilter()->setText("A");
    click(kSelectAllMySQLTables);
    dialogs()->answers.push_back(Answer::Yes);
    click(kDeleteMySQLTables);
    QCOMPARE(dialogs()->kinds(), QStringList({"question"}));
    QCOMPARE(dialogs()->shown[0].title, ApplicationTitle());
    QCOMPARE(dialogs()->shown[0].text,
             QStringLiteral(
                 "Delete these 3 tables from the MySQL database?\r\ralpha\rbeta\rgamma\r\rThis cannot be undone."));
    QCOMPARE(*removedMySQL, QStringList({"gamma", "beta", "alpha"}));  // the last in the list first
    QCOMPARE(mysql()->texts(), QStringList({"keep"}));
    QCOMPARE(mysqlServerTables(), QStringList({"keep"}));
    QCOMPARE(manager()->mousePointer(), 0);

    // The DB2 list has no current item after "Next >"; the schema holds other
    // tests' tables too, so the filter narrows the list to ours. UI6_KEEP,
    // selected before, stays picked while the filter hides it, until
    // Deselect All unpicks every name.
    QCOMPARE(db2()->currentIndex(), -1);
    const auto removedDB2 = watchRemovals(db2());
    select(db2(), {"UI6_KEEP"});
    db2()->setCurrentIndex(-1);
    manager()->db2Filter()->setText("ui6_del");
    click(kSelectAllDB2Tables);
    QCOMPARE(db2()->selectedTexts(), QStringList({"UI6_DEL_ALPHA", "UI6_DEL_BETA", "UI6_DEL_GAMMA", "UI6_KEEP"}));
    click(kDeselectAllDB2Tables);
    QCOMPARE(db2()->selectedCount(), 0);
    click(kSelectAllDB2Tables);
    dialogs()->answers.push_back(Answer::Yes);
    click(kDeleteDB2Tables);
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "question"}));
    QCOMPARE(
        dialogs()->shown[1].text,
        QStringLiteral("Delete these 3 tables from the IBM DB2 database?\r\rUI6_DEL_ALPHA\rUI6_DEL_BETA\rUI6_DEL_GAMMA"
                       "\r\rThis cannot be undone."));
    QCOMPARE(*removedDB2, QStringList({"UI6_DEL_GAMMA", "UI6_DEL_BETA", "UI6_DEL_ALPHA"}));
    QVERIFY(db2()->texts().contains("UI6_KEEP"));
    QVERIFY(db2ServerTables().contains("UI6_KEEP"));
    for (const char* gone : {"UI6_DEL_ALPHA", "UI6_DEL_BETA", "UI6_DEL_GAMMA"}) {
        QVERIFY(!db2()->texts().contains(gone));
        QVERIFY(!db2ServerTables().contains(gone));
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
    dialogs()->answers.push_back(Answer::Yes);
    click(kDeleteMySQLTables);
    select(db2(), {"UI6_GONE"});
    dialogs()->answers.push_back(Answer::Yes);
    click(kDeleteDB2Tables);
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "question"}));  // no error report
    QCOMPARE(mysql()->texts(), QStringList({"stays"}));
    QVERIFY(!db2()->texts().contains("UI6_GONE"));
}

void TableManagerTest::aRefusedDropKeepsTheName_data()
{
    QTest::addColumn<bool>("onDB2");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("location");  // of the first report
    QTest::addColumn<QString>("lastError");
    QTest::newRow("mysql, a table another table refers to")
        << false << QStringList({"parent"}) << "Form2.PushButton1_Click at line 120"
        << "parent is needed by foreign key";
    QTest::newRow("db2, a view now where the table was")
        << true << QStringList({"UI6_SWAPPED"}) << "Form2.PushButton5_Click at line 112"
        << "SQL";
    // DB2 would drop the foreign key and make the view inoperative.
    QTest::newRow("db2, a table a foreign key and a view rely on")
        << true << QStringList({"UI6_PARENT"}) << "Form2.PushButton5_Click at line 112"
        << "UI6_PARENT is needed by foreign key UI6_CHILD_PARENT of UI6_CHILD, view UI6_PARENT_VIEW; the table was "
           "kept.";
}

void TableManagerTest::aRefusedDropKeepsTheName()
{
    QFETCH(bool, onDB2);
    QFETCH(QStringList, tables);
    QFETCH(QString, location);
    QFETCH(QString, lastError);
    const bool dependents = tables == QStringList({"UI6_PARENT"});
    if (dependents) {
        ExecDB2("CREATE TABLE \"UI6_PARENT\" (ID INTEGER NOT NULL PRIMARY KEY)");
        ExecDB2("CREATE TABLE \"UI6_CHILD\" (PID INTEGER, CONSTRAINT \"UI6_CHILD_PARENT\" FOREIGN KEY (PID) "
                "REFERENCES \"UI6_PARENT\" (ID))");
        ExecDB2("CREATE VIEW \"UI6_PARENT_VIEW\" AS SELECT ID FROM \"UI6_PARENT\"");
    } else if (onDB2) {
        createDB2("UI6_SWAPPED");
    } else {
        ExecMySQL(std::string("CREATE TABLE `") + kDatabase + "`.`parent` (id INT PRIMARY KEY) ENGINE=InnoDB");
        ExecMySQL(
            std::string("CREATE TABLE `") + kDatabase
            + "`.`child` (id INT, parent_id INT, FOREIGN KEY (parent_id) REFERENCES `parent` (id)) ENGINE=InnoDB");
    }
    open();
    if (onDB2) {  // another program puts a view in the table's place: DROP TABLE is refused
        dropDB2("UI6_SWAPPED");
        createDB2("UI6_BASE");
        ExecDB2("CREATE VIEW \"UI6_SWAPPED\" AS SELECT ID FROM \"UI6_BASE\"");
    }
    TableList* list = onDB2 ? db2() : mysql();
    const QStringList before = list->texts();
    select(list, tables);
    dialogs()->answers.push_back(Answer::Yes);
    click(onDB2 ? kDeleteDB2Tables : kDeleteMySQLTables);
    QStringList expected = {"question"};
    for (qsizetype i = 0; i < tables.size(); ++i)
        expected << "error";
    QCOMPARE(dialogs()->kinds(), expected);
    QVERIFY2(dialogs()->shown[1].text.contains("in Hopbridge2017/04/05." + location),
             qPrintable(dialogs()->shown[1].text));
    QVERIFY2(dialogs()->shown.back().text.contains(lastError), qPrintable(dialogs()->shown.back().text));
    QCOMPARE(list->texts(), before);
    if (!onDB2)
        QCOMPARE(mysqlServerTables(), QStringList({"child", "parent"}));
    if (dependents) {
        ExecDB2("SELECT ID FROM \"UI6_PARENT_VIEW\"");
        bool keyHolds = false;
        try {
            ExecDB2("INSERT INTO \"UI6_CHILD\" VALUES (1)");  // no such parent
        } catch (const DbError&) {
            keyHolds = true;
        }
        QVERIFY(keyHolds);
    }
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::anUnreachableServerIsReportedOnce()
{
    for (const char* name : {"one", "two"})
        createMySQL(name);
    createDB2("UI6_ONE");
    open();
    login()->findChild<QLineEdit*>("Text10")->setText("1");  // nothing listens on port 1
    select(mysql(), {"one", "two"});
    dialogs()->answers.push_back(Answer::Yes);
    click(kDeleteMySQLTables);
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "error"}));
    QVERIFY(dialogs()->shown[1].text.contains("Form2.PushButton1_Click at line 116"));
    QCOMPARE(mysql()->texts(), QStringList({"one", "two"}));
    QCOMPARE(manager()->mousePointer(), 0);

    login()->findChild<QLineEdit*>("Text2")->setText("1");
    select(db2(), {"UI6_ONE"});
    click(kDeleteDB2Tables);  // the DB2 side opens first: no question
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "error", "error"}));
    QVERIFY(dialogs()->shown[2].text.contains("Form2.PushButton5_Click at line 104"));
    QVERIFY(db2()->texts().contains("UI6_ONE"));
    QVERIFY(db2ServerTables().contains("UI6_ONE"));
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::confirmationAnsweredNo()
{
    createMySQL("precious");
    createDB2("UI6_PRECIOUS");
    open();
    select(mysql(), {"precious"});
    dialogs()->answers.push_back(Answer::No);
    click(kDeleteMySQLTables);
    select(db2(), {"UI6_PRECIOUS"});
    dialogs()->answers.push_back(Answer::No);
    click(kDeleteDB2Tables);
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "question"}));
    QCOMPARE(dialogs()->shown[0].text,
             QStringLiteral("Delete this table from the MySQL database?\r\rprecious\r\rThis cannot be undone."));
    QCOMPARE(mysql()->texts(), QStringList({"precious"}));
    QVERIFY(mysqlServerTables().contains("precious"));
    QVERIFY(db2()->texts().contains("UI6_PRECIOUS"));
    QVERIFY(db2ServerTables().contains("UI6_PRECIOUS"));
}

void TableManagerTest::act(const char* button, TableList* list, const QKeySequence& key)
{
    QFETCH(QString, how);
    if (how == "buttons")
        return click(button);
    if (how == "keys") {
        list->setFocus();
        return QTest::keySequence(list, key);
    }
    QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    const QString caption = manager()->findChild<QPushButton*>(button)->text();
    for (QAction* action : list->actions())
        if (action->text() == caption)
            return action->trigger();
    QFAIL(qPrintable("no context menu item " + caption));
}

void TableManagerTest::oddNamesAreDeletedAndRenamed_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("buttons") << "buttons";
    QTest::newRow("keys") << "keys";  // Delete, F2
    QTest::newRow("context menu") << "context menu";
}

void TableManagerTest::oddNamesAreDeletedAndRenamed()
{
    QFETCH(QString, how);
    const QStringList mysqlNames = {"back`tick", "with space", "dq\"name", QString::fromUtf8("ünïcödé"), "rename`me"};
    for (const QString& name : mysqlNames)
        createMySQL(name);
    const QStringList db2Names
        = {"UI6 DQ\"NAME", "UI6 WITH SPACE", QString::fromUtf8("UI6_ÄÖÜ"), "UI6_back`tick", "UI6 RENAME\"ME"};
    for (const QString& name : db2Names)
        createDB2(name);
    open();
    for (const QString& name : mysqlNames)
        QVERIFY2(mysql()->texts().contains(name), qPrintable(name));
    manager()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(manager()));

    select(mysql(), mysqlNames.mid(0, 4));
    manager()->mysqlFilter()->setFocus();
    QTest::keyClick(manager()->mysqlFilter(), Qt::Key_Delete);  // the filter's own key: no question
    QCOMPARE(dialogs()->kinds(), QStringList());
    dialogs()->answers.push_back(Answer::Yes);
    act(kDeleteMySQLTables, mysql(), QKeySequence::Delete);
    QCOMPARE(mysql()->texts(), QStringList({"rename`me"}));
    QCOMPARE(mysqlServerTables(), QStringList({"rename`me"}));
    select(mysql(), {"rename`me"});
    const QString newMySQL = QString::fromUtf8("ré nämed`\"x");
    dialogs()->inputs.push_back(newMySQL);
    act(kRenameMySQLTable, mysql(), Qt::Key_F2);
    QCOMPARE(mysql()->texts(), QStringList({newMySQL}));
    QCOMPARE(mysqlServerTables(), QStringList({newMySQL}));

    select(db2(), db2Names.mid(0, 4));
    dialogs()->answers.push_back(Answer::Yes);
    act(kDeleteDB2Tables, db2(), QKeySequence::Delete);
    for (const QString& name : db2Names.mid(0, 4)) {
        QVERIFY2(!db2()->texts().contains(name), qPrintable(name));
        QVERIFY2(!db2ServerTables().contains(name), qPrintable(name));
    }
    select(db2(), {"UI6 RENAME\"ME"});
    const QString newDB2 = QString::fromUtf8("UI6 nÉw \"`x");
    dialogs()->inputs.push_back(newDB2);
    act(kRenameDB2Table, db2(), Qt::Key_F2);
    QVERIFY(db2()->texts().contains(newDB2));
    QVERIFY(!db2()->texts().contains("UI6 RENAME\"ME"));
    QVERIFY(db2ServerTables().contains(newDB2));
    QCOMPARE(dialogs()->kinds(), QStringList({"question", "input", "question", "input"}));  // no error report
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
    dialogs()->inputs.push_back(std::nullopt);
    click(kRenameMySQLTable);
    dialogs()->inputs.push_back(QString());
    click(kRenameMySQLTable);
    QCOMPARE(dialogs()->kinds(), QStringList({"input", "input"}));
    QCOMPARE(dialogs()->shown[0].text, QStringLiteral("Enter new name of orders:"));
    QCOMPARE(dialogs()->shown[0].title, ApplicationTitle());
    QCOMPARE(dialogs()->shown[0].detail, QStringLiteral("orders"));  // the proposed answer
    QCOMPARE(mysql()->texts(), before);

    // The proposed name unchanged: the statement is sent and the server refuses.
    dialogs()->inputs.push_back(QStringLiteral("orders"));
    click(kRenameMySQLTable);
    QCOMPARE(dialogs()->kinds().last(), QStringLiteral("error"));
    QVERIFY(dialogs()->shown.back().text.contains("Form2.PushButton6_Click at line 128"));
    QCOMPARE(mysql()->texts(), before);

    // A name that exists already: checked first and said plainly, no server error.
    dialogs()->inputs.push_back(QStringLiteral("zoo"));
    click(kRenameMySQLTable);
    QCOMPARE(dialogs()->kinds().last(), QStringLiteral("message"));
    QCOMPARE(dialogs()->shown.back().text, QStringLiteral("zoo already exists on MySQL."));
    QCOMPARE(manager()->statusText(), QStringLiteral("Did not rename orders to zoo on MySQL"));
    QCOMPARE(mysql()->texts(), before);
    QCOMPARE(mysqlServerTables(), before);

    // A good rename: orders_2016 in its sorted place.
    const size_t shown = dialogs()->shown.size();
    dialogs()->inputs.push_back(QStringLiteral("orders_2016"));
    click(kRenameMySQLTable);
    QCOMPARE(dialogs()->shown.size(), shown + 1);  // the input box only
    QCOMPARE(mysql()->texts(), QStringList({"customers", "orders_2016", "zoo"}));
    QCOMPARE(mysqlServerTables(), QStringList({"customers", "orders_2016", "zoo"}));
    QCOMPARE(manager()->mousePointer(), 0);

    // DB2: Cancel, an existing name, a good rename.
    select(db2(), {"UI6_ORDERS"});
    dialogs()->inputs.push_back(std::nullopt);
    click(kRenameDB2Table);
    QVERIFY(db2()->texts().contains("UI6_ORDERS"));
    dialogs()->inputs.push_back(QStringLiteral("UI6_TAKEN"));
    click(kRenameDB2Table);
    QCOMPARE(dialogs()->kinds().last(), QStringLiteral("message"));
    QCOMPARE(dialogs()->shown.back().text, QStringLiteral("UI6_TAKEN already exists on IBM DB2."));
    QCOMPARE(dialogs()->kinds().count("error"), 1);  // only the one the server gave above
    QVERIFY(db2ServerTables().contains("UI6_ORDERS"));
    QVERIFY(db2()->texts().contains("UI6_ORDERS"));
    QCOMPARE(db2()->texts().count("UI6_TAKEN"), 1);
    dialogs()->inputs.push_back(QStringLiteral("UI6_ORDERS_2016"));
    click(kRenameDB2Table);
    QVERIFY(!db2()->texts().contains("UI6_ORDERS"));
    const int renamed = indexOf(db2(), "UI6_ORDERS_2016");
    QVERIFY(renamed >= 0);
    QVERIFY(renamed + 1 == db2()->count()
            || QString::compare(db2()->text(renamed + 1), "UI6_ORDERS_2016", Qt::CaseInsensitive) > 0);
    QVERIFY(renamed == 0 || QString::compare(db2()->text(renamed - 1), "UI6_ORDERS_2016", Qt::CaseInsensitive) < 0);
    QVERIFY(db2ServerTables().contains("UI6_ORDERS_2016"));
    QCOMPARE(db2()->currentIndex(), 0);  // step 126 makes the first item current
    QCOMPARE(manager()->mousePointer(), 0);
}

void TableManagerTest::deletingAViewSaysItIsAView()
{
    createMySQL("base");
    ExecMySQL("CREATE VIEW `" + std::string(kDatabase) + "`.`v_base` AS SELECT id FROM `" + kDatabase + "`.`base`");
    open();
    QVERIFY(mysql()->isView(indexOf(mysql(), "v_base")));
    QVERIFY(!mysql()->isView(indexOf(mysql(), "base")));
    select(mysql(), {"v_base"});
    dialogs()->answers.push_back(Answer::Yes);
    click(kDeleteMySQLTables);
    QCOMPARE(dialogs()->kinds(), QStringList({"question"}));  // no error report
    QCOMPARE(dialogs()->shown[0].text,
             QStringLiteral("Delete this view from the MySQL database?\r\rv_base (view)\r\rThis cannot be undone."));
    QCOMPARE(mysql()->texts(), QStringList({"base"}));
    QCOMPARE(mysqlServerTables(), QStringList({"base"}));  // the view went, its table stayed
    QCOMPARE(manager()->statusText(), QStringLiteral("Deleted 1 table from MySQL: v_base"));
}

void TableManagerTest::selectionMessages()
{
    for (const char* name : {"m1", "m2"})
        createMySQL(name);
    for (const char* name : {"UI6_D1", "UI6_D2"})
        createDB2(name);
    open();
    auto last = [&] { return dialogs()->shown.back().text; };

    // Nothing selected, with or without a current item: each action says so.
    for (int current : {-1, 0}) {
        select(mysql(), {});
        mysql()->setCurrentIndex(current);
        select(db2(), {});
        db2()->setCurrentIndex(current);
        click(kDeleteMySQLTables);
        QCOMPARE(last(), QStringLiteral("Please select a table"));
        click(kDeleteDB2Tables);
        QCOMPARE(last(), QStringLiteral("Please select a table to delete"));
        QCOMPARE(manager()->mousePointer(), 0);
        click(kRenameMySQLTable);
        QCOMPARE(last(), QStringLiteral("Please select a table"));
        click(kRenameDB2Table);
        QCOMPARE(last(), QStringLiteral("Please select a table to rename."));
    }
    QCOMPARE(dialogs()->kinds(), QStringList(8, "message"));
    for (const auto& box : dialogs()->shown)
        QVERIFY(box.title.isEmpty());  // the application title
    QCOMPARE(mysql()->texts(), QStringList({"m1", "m2"}));
    QCOMPARE(mysqlServerTables(), QStringList({"m1", "m2"}));

    // Two selected tables, neither of them current: rename asks for one.
    select(mysql(), {"m1", "m2"});
    mysql()->setCurrentIndex(-1);
    select(db2(), {"UI6_D1", "UI6_D2"});
    db2()->setCurrentIndex(-1);
    click(kRenameMySQLTable);
    QCOMPARE(last(), QStringLiteral("Please select just one table to rename"));
    click(kRenameDB2Table);
    QCOMPARE(last(), QStringLiteral("Please select just one table to rename."));
    QCOMPARE(manager()->mousePointer(), 0);
}

QTEST_MAIN(TableManagerTest)
#include "TableManagerWindowTest.moc"
