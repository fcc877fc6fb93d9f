// The table manager's lists on the real windows and servers: Refresh and F5,
// the estimates in the names' tooltips, and a list that gains names during a
// send. MySQL works in a database of its own; DB2 names start with UI26L.
#include "DataConnection.h"
#include "FakeDialogs.h"
#include "ObjectNames.h"
#include "OpenWindows.h"
#include "SqlIdentifiers.h"
#include "StoredLogins.h"
#include "TableList.h"
#include "TableListing.h"
#include "TableManagerWindow.h"
#include "TestServers.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const char* kDatabase = "ui_lists";

// Collects DB2 statistics as a DB2 user does.
void runstats(const std::string& table)
{
    const std::string schema = QString::fromStdString(DB2TestProfile().user).toUpper().toStdString();
    ExecDB2("CALL SYSPROC.ADMIN_CMD('RUNSTATS ON TABLE " + schema + "." + table + "')");
}

QStringList startingWith(const QStringList& names, const QString& prefix)
{
    return names.filter(QRegularExpression("^" + prefix, QRegularExpression::CaseInsensitiveOption));
}

}  // namespace

using namespace object_name;

class TableListRefreshTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireTestServers(true, true); }
    void init();
    void cleanup();

    void refreshShowsOtherConnectionsTablesAndKeepsTheSelection_data();
    void refreshShowsOtherConnectionsTablesAndKeepsTheSelection();
    void tooltipsTellTheEstimatedRows();
    void listGainingNamesDuringASendKeepsItsPlace();
    void addedNameLeavesTheListDrawn();
    void focusStaysWhereTheUserActed_data();
    void focusStaysWhereTheUserActed();
    void selectionSurvivesAChangeOfTheFilter();

private:
    void open();
    static void select(TableList* list, const QStringList& names, const QString& current);
    static QString topName(TableList* list) { return list->text(list->indexAt(QPoint(1, 1)).row()); }
    TableManagerWindow* manager() const { return windows_->manager(); }

    QTemporaryDir dir_;
    std::unique_ptr<OpenWindows> windows_;
};

void TableListRefreshTest::init()
{
    ExecMySQL(std::string("DROP DATABASE IF EXISTS `") + kDatabase + "`");
    ExecMySQL(std::string("CREATE DATABASE `") + kDatabase + "`");
    for (const auto& name : ListDB2Tables(DB2TestProfile()))
        if (QString::fromStdString(name).startsWith("UI26L", Qt::CaseInsensitive))
            ExecDB2("DROP TABLE " + QuoteDB2Identifier(name));
}

void TableListRefreshTest::cleanup()
{
    windows_.reset();
    init();
}

void TableListRefreshTest::open()
{
    windows_ = std::make_unique<OpenWindows>(dir_.filePath("lists.ini"));
    StoreLogins(windows_->settings(), MySQLTestProfileFor(kDatabase), DB2TestProfile());
    windows_->controller().startUp();
    QVERIFY(manager() && manager()->isVisible());
}

void TableListRefreshTest::select(TableList* list, const QStringList& names, const QString& current)
{
    for (int i = 0; i < list->count(); ++i)
        list->setSelected(i, names.contains(list->text(i)));
    list->setCurrentIndex(list->texts().indexOf(current));
}

void TableListRefreshTest::refreshShowsOtherConnectionsTablesAndKeepsTheSelection_data()
{
    QTest::addColumn<bool>("mysql");
    QTest::addColumn<bool>("byKey");
    QTest::newRow("MySQL, Refresh") << true << false;
    QTest::newRow("MySQL, F5") << true << true;
    QTest::newRow("DB2, Refresh") << false << false;
    QTest::newRow("DB2, F5") << false << true;
}

void TableListRefreshTest::refreshShowsOtherConnectionsTablesAndKeepsTheSelection()
{
    QFETCH(bool, mysql);
    QFETCH(bool, byKey);
    const auto create = [&](const std::string& name) {
        mysql ? ExecMySQLIn(kDatabase, "CREATE TABLE " + name + " (id INT)")
              : ExecDB2("CREATE TABLE " + name + " (ID INTEGER)");
    };
    for (const char* name : {"UI26L_A", "UI26L_C", "UI26L_GONE"})
        create(name);
    open();
    TableList* list = mysql ? manager()->mysqlTables() : manager()->db2Tables();
    select(list, {"UI26L_A", "UI26L_C"}, "UI26L_C");
    manager()->setStatusText("the last summary");

    // Another connection adds one table and drops another.
    create("UI26L_B");
    mysql ? ExecMySQLIn(kDatabase, "DROP TABLE UI26L_GONE") : ExecDB2("DROP TABLE UI26L_GONE");
    if (byKey) {
        manager()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(manager()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F5);
    } else {
        manager()->findChild<QPushButton*>(mysql ? kRefreshMySQLTables : kRefreshDB2Tables)->click();
    }
    QCOMPARE(startingWith(list->texts(), "UI26L"), QStringList({"UI26L_A", "UI26L_B", "UI26L_C"}));
    QCOMPARE(startingWith(list->selectedTexts(), "UI26L"), QStringList({"UI26L_A", "UI26L_C"}));
    QCOMPARE(list->text(list->currentIndex()), QString("UI26L_C"));
    QCOMPARE(manager()->statusText(), QString("the last summary"));
    QCOMPARE(manager()->mousePointer(), 0);
    QVERIFY(windows_->dialogs().shown.empty());
    // The other list was not asked again.
    TableList* other = mysql ? manager()->db2Tables() : manager()->mysqlTables();
    QVERIFY(startingWith(other->texts(), "UI26L").isEmpty());
}

void TableListRefreshTest::tooltipsTellTheEstimatedRows()
{
    ExecMySQLIn(kDatabase, "CREATE TABLE ui26l_rows (id INT PRIMARY KEY, note VARCHAR(20))");
    ExecMySQLIn(kDatabase, "INSERT INTO ui26l_rows SELECT seq, 'some text' FROM seq_1_to_1204");
    ExecMySQLIn(kDatabase, "ANALYZE TABLE ui26l_rows");
    ExecMySQLIn(kDatabase, "CREATE VIEW ui26l_view AS SELECT id FROM ui26l_rows");
    ExecDB2("CREATE TABLE UI26L_ROWS (ID INTEGER, NOTE VARCHAR(20))");
    ExecDB2("INSERT INTO UI26L_ROWS VALUES (1, 'some text')");
    for (int doubling = 0; doubling < 10; ++doubling)
        ExecDB2("INSERT INTO UI26L_ROWS SELECT ID + (SELECT MAX(ID) FROM UI26L_ROWS), NOTE FROM UI26L_ROWS");
    runstats("UI26L_ROWS");
    ExecDB2("CREATE TABLE UI26L_NO_STATISTICS (ID INTEGER)");
    open();

    // The tooltip: the whole name, then the estimate.
    const auto tooltip = [](TableList* list, const QString& name) {
        const int index = list->texts().indexOf(name);
        if (index < 0)
            return QString("not listed");
        const QString tip = list->item(index)->toolTip(TableList::NameColumn);
        return tip.section('\n', 0, 0) == name ? tip.section('\n', 1) : "not named: " + tip;
    };
    const QString unknown = "rows and size unknown (no statistics)";
    const QRegularExpression estimate("^about (\\S+) rows, \\d+ (kB|bytes) \\(estimate\\)$");
    struct Expected {
        TableList* list;
        QString name;
        long long rows;  // -1: unknown
    };
    for (const Expected& expected :
         {Expected {manager()->mysqlTables(), "ui26l_rows", 1204},
          Expected {manager()->mysqlTables(), "ui26l_view", -1}, Expected {manager()->db2Tables(), "UI26L_ROWS", 1024},
          Expected {manager()->db2Tables(), "UI26L_NO_STATISTICS", -1}}) {
        const QString text = tooltip(expected.list, expected.name);
        // The row itself shows the type and the figures.
        const QTreeWidgetItem* row = expected.list->item(expected.list->indexOf(expected.name));
        QCOMPARE(row->text(TableList::KindColumn), expected.name == "ui26l_view" ? "view" : "table");
        QCOMPARE(row->text(TableList::RowsColumn),
                 expected.rows < 0 ? QString("?") : QLocale().toString(expected.rows));
        if (expected.rows < 0) {
            QCOMPARE(text, unknown);
            continue;
        }
        const auto match = estimate.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(expected.name + ": " + text));
        QCOMPARE(match.captured(1), QLocale().toString(expected.rows));
    }
}

void TableListRefreshTest::listGainingNamesDuringASendKeepsItsPlace()
{
    // Enough DB2 tables that the list scrolls; two MySQL tables that arrive
    // above and below the rows in view.
    for (int i = 0; i < 30; ++i)
        ExecDB2(QStringLiteral("CREATE TABLE UI26L_T%1 (ID INTEGER)").arg(i, 2, 10, QChar('0')).toStdString());
    ExecMySQLIn(kDatabase, "CREATE TABLE ui26l_a_arrives (id INT)");
    ExecMySQLIn(kDatabase, "CREATE TABLE ui26l_z_arrives (id INT)");
    open();
    TableList* target = manager()->db2Tables();
    const int first = target->texts().indexOf("UI26L_T10");
    QVERIFY(first >= 0);
    target->scrollToItem(target->item(first), QAbstractItemView::PositionAtTop);
    QTRY_COMPARE(topName(target), QString("UI26L_T10"));
    QVERIFY2(target->verticalScrollBar()->value() > 0, "the list must be scrolled");
    select(target, {"UI26L_T12", "UI26L_T14"}, "UI26L_T12");
    const int scrolled = target->verticalScrollBar()->value();
    const int rowStep
        = target->verticalScrollMode() == QAbstractItemView::ScrollPerItem ? 1 : target->sizeHintForRow(0);

    TableList* source = manager()->mysqlTables();
    select(source, {"ui26l_a_arrives", "ui26l_z_arrives"}, "ui26l_a_arrives");
    manager()->findChild<QPushButton*>(kSendToDB2)->click();
    QVERIFY2(target->texts().contains("ui26l_a_arrives") && target->texts().contains("ui26l_z_arrives"),
             qPrintable(manager()->statusText()));
    QCOMPARE(topName(target), QString("UI26L_T10"));
    // One name arrived above the rows in view, the scroll bar moved by its row.
    QCOMPARE(target->verticalScrollBar()->value(), scrolled + rowStep);
    QCOMPARE(target->selectedTexts(), QStringList({"UI26L_T12", "UI26L_T14"}));
    QCOMPARE(target->text(target->currentIndex()), QString("UI26L_T12"));
}

// A repaint right after a name arrives, before any event is handled, still
// shows the names (it used to draw the list empty until its layout ran).
void TableListRefreshTest::addedNameLeavesTheListDrawn()
{
    TableList list;
    list.resize(300, 200);
    for (int i = 0; i < 100; ++i)
        list.add(QStringLiteral("t%1").arg(i * 2, 3, 10, QChar('0')));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.scrollToItem(list.item(50), QAbstractItemView::PositionAtTop);
    const auto darkPixels = [&list] {
        const QImage image = list.viewport()->grab().toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    QTRY_VERIFY(darkPixels() > 0);
    for (const char* name : {"t101", "a"}) {  // below and above the rows in view
        list.add(name);
        QVERIFY2(darkPixels() > 0, name);
    }
}

QTEST_MAIN(TableListRefreshTest)
#include "TableListRefreshTest.moc"

void TableListRefreshTest::focusStaysWhereTheUserActed_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("DB2 Refresh button") << kRefreshDB2Tables;
    QTest::newRow("MySQL Refresh button") << kRefreshMySQLTables;
    QTest::newRow("F5 in the DB2 list") << kDB2Tables;
}

void TableListRefreshTest::focusStaysWhereTheUserActed()
{
    QFETCH(QString, where);
    ExecDB2("CREATE TABLE UI26L_F1 (ID INTEGER)");
    ExecMySQLIn(kDatabase, "CREATE TABLE ui26l_f1 (id INT)");
    open();
    manager()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(manager()));
    QWidget* acted = manager()->findChild<QWidget*>(where);
    QVERIFY(acted);
    acted->setFocus();
    QCOMPARE(QApplication::focusWidget(), acted);
    if (auto* button = qobject_cast<QPushButton*>(acted))
        QTest::keyClick(button, Qt::Key_Space);  // pressed from the keyboard, as a user tabbing there does
    else
        QTest::keyClick(acted, Qt::Key_F5);
    QCOMPARE(manager()->mousePointer(), 0);  // the refresh is over
    QCOMPARE(QApplication::focusWidget(), acted);
    // The next key goes where the user was, not into a filter box.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_U);
    QVERIFY(manager()->mysqlFilter()->text().isEmpty());
    QVERIFY(manager()->db2Filter()->text().isEmpty());
}

void TableListRefreshTest::selectionSurvivesAChangeOfTheFilter()
{
    for (const char* name : {"orders", "orders_2016", "products", "products_old", "zebra"})
        ExecMySQLIn(kDatabase, std::string("CREATE TABLE ") + name + " (id INT)");
    open();
    manager()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(manager()));
    TableList* list = manager()->mysqlTables();
    const auto clickOn = [list](const QString& name, Qt::KeyboardModifiers modifiers) {
        const QRect rect = list->visualItemRect(list->item(list->texts().indexOf(name)));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    };
    manager()->mysqlFilter()->setText("orders");
    clickOn("orders", Qt::NoModifier);
    clickOn("orders_2016", Qt::ControlModifier);
    QCOMPARE(list->selectedTexts(), QStringList({"orders", "orders_2016"}));

    // Under the next filter a plain click picks one name: the hidden picks stay.
    manager()->mysqlFilter()->setText("products");
    QCOMPARE(list->selectedTexts(), QStringList({"orders", "orders_2016"}));
    clickOn("products_old", Qt::NoModifier);
    QCOMPARE(list->selectedTexts(), QStringList({"orders", "orders_2016", "products_old"}));
    list->selectAll();  // Ctrl+A picks what is shown, and keeps the rest
    QCOMPARE(list->selectedTexts(), QStringList({"orders", "orders_2016", "products", "products_old"}));
    manager()->mysqlFilter()->clear();
    QCOMPARE(list->selectedTexts(), QStringList({"orders", "orders_2016", "products", "products_old"}));

    // Deselect All unpicks every name, shown or not.
    manager()->mysqlFilter()->setText("zebra");
    manager()->findChild<QPushButton*>(kDeselectAllMySQLTables)->click();
    manager()->mysqlFilter()->clear();
    QCOMPARE(list->selectedTexts(), QStringList());
}
