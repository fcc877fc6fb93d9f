// The table list both sides use, and the table manager's list buttons, filter,
// layout, help, pointer convention, busy state, questions, status texts and
// program end: no servers needed.
#include "FakeDialogs.h"
#include "LoginWindow.h"
#include "OpenWindows.h"
#include "TableManagerWindow.h"
#include "FormSupport.h"
#include "ObjectNames.h"
#include "QtDialogs.h"
#include "SettingsStore.h"
#include "TableList.h"
#include "Transfer.h"
#include "TransferStatus.h"
#include "WindowHelpers.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QScopeGuard>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TableList* filled(TableList& list, const QStringList& names)
{
    for (const QString& name : names)
        list.add(name);
    return &list;
}

void moveOver(QWidget* widget)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

QPushButton* button(const QWidget& window, const char* name)
{
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

}  // namespace

class TableListTest : public QObject {
    Q_OBJECT
private slots:
    void sortsWithoutRegardToCase();
    void currentItemIsNotTheSelection();
    void removingTheCurrentItemLeavesNone();
    void removeListItemWalksOnce();
    void selectAllAndDeselectAllKeepTheCurrentItem();
    void selectAllOnAnEmptyListDoesNothing();
    void filterNarrowsWhatIsShownAndSelected();
    void columnsShowTheEstimatesAndSortByTheirHeader();
    void tableManagerResizesAndRemembersItsPlace();
    void tableManagerHelp();
    void pointerConvention();
    void busyDisablesEveryButtonButCancelAndOptions();
    void closingEitherWindowEndsTheProgram();
    void deleteQuestionDefaultsToNo();
    void transferStatusTexts();
    void lineBreaksShowAsLineBreaks();

private:
    QTemporaryDir dir_;
};

void TableListTest::sortsWithoutRegardToCase()
{
    TableList list;
    filled(list, {"orders", "Customers", "apple", "Zeta", "beta"});
    QCOMPARE(list.texts(), QStringList({"apple", "beta", "Customers", "orders", "Zeta"}));
    QCOMPARE(list.add("ORDERS_2016"), 4);  // an added name takes its sorted place
    QCOMPARE(list.texts(), QStringList({"apple", "beta", "Customers", "orders", "ORDERS_2016", "Zeta"}));
    QCOMPARE(list.selectionMode(), QAbstractItemView::ExtendedSelection);
}

void TableListTest::currentItemIsNotTheSelection()
{
    TableList list;
    QCOMPARE(list.currentIndex(), -1);
    filled(list, {"a", "b", "c"});
    QCOMPARE(list.currentIndex(), -1);
    list.setCurrentIndex(1);
    QCOMPARE(list.currentIndex(), 1);
    QCOMPARE(list.selectedCount(), 0);
    QVERIFY(!list.isSelected(1));
    list.setSelected(0, true);
    list.setSelected(2, true);
    QCOMPARE(list.selectedCount(), 2);
    QCOMPARE(list.currentIndex(), 1);
    list.add("aa");  // inserted before the current item: it stays current
    QCOMPARE(list.text(list.currentIndex()), QStringLiteral("b"));
    QVERIFY(list.isSelected(0) && list.isSelected(3));
    // One-table actions: the current item when selected, else the only selected one.
    QCOMPARE(list.singleTargetIndex(), -1);  // "b" is current but not selected; two others are
    list.setSelected(2, true);
    QCOMPARE(list.singleTargetIndex(), 2);
    list.setCurrentIndex(-1);
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.singleTargetIndex(), -1);
    list.setSelected(0, false);
    list.setSelected(3, false);
    QCOMPARE(list.singleTargetIndex(), 2);
}

void TableListTest::removingTheCurrentItemLeavesNone()
{
    TableList list;
    filled(list, {"a", "b", "c"});
    list.setCurrentIndex(2);
    list.remove(0);
    QCOMPARE(list.text(list.currentIndex()), QStringLiteral("c"));
    list.remove(list.currentIndex());
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.texts(), QStringList({"b"}));
    list.clear();
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.currentIndex(), -1);
}

void TableListTest::removeListItemWalksOnce()
{
    TableList list;
    filled(list, {"a", "A", "b"});
    RemoveListItem(list, "A");  // exact case only
    QCOMPARE(list.texts(), QStringList({"a", "b"}));
    TableList once;
    filled(once, {"t", "t", "T", "u", "t"});  // a name is listed once, whatever adds it again
    QCOMPARE(once.texts(), QStringList({"t", "T", "u"}));
    QCOMPARE(once.add("T"), 1);
    RemoveListItem(once, "t");
    QCOMPARE(once.texts(), QStringList({"T", "u"}));
}

void TableListTest::selectAllAndDeselectAllKeepTheCurrentItem()
{
    OpenWindows windows(dir_.filePath("select.ini"));
    FakeDialogs& dialogs = windows.dialogs();
    TableManagerWindow& manager = windows.builtManager();
    for (TableList* list : {manager.mysqlTables(), manager.db2Tables()})
        filled(*list, {"t1", "t2", "t3", "t4", "t5"});
    manager.mysqlTables()->setCurrentIndex(2);
    manager.db2Tables()->setCurrentIndex(4);

    button(manager, object_name::kSelectAllMySQLTables)->click();
    QCOMPARE(manager.mysqlTables()->selectedCount(), 5);
    QCOMPARE(manager.db2Tables()->selectedCount(), 0);
    QCOMPARE(manager.mysqlTables()->currentIndex(), 2);
    button(manager, object_name::kSelectAllDB2Tables)->click();
    QCOMPARE(manager.db2Tables()->selectedCount(), 5);
    QCOMPARE(manager.db2Tables()->currentIndex(), 4);

    button(manager, object_name::kDeselectAllMySQLTables)->click();
    QCOMPARE(manager.mysqlTables()->selectedCount(), 0);
    QCOMPARE(manager.mysqlTables()->currentIndex(), 2);
    QCOMPARE(manager.db2Tables()->selectedCount(), 5);
    button(manager, object_name::kDeselectAllDB2Tables)->click();
    QCOMPARE(manager.db2Tables()->selectedCount(), 0);
    QCOMPARE(manager.db2Tables()->currentIndex(), 4);
    QVERIFY(dialogs.shown.empty());
}

void TableListTest::selectAllOnAnEmptyListDoesNothing()
{
    OpenWindows windows(dir_.filePath("empty.ini"));
    FakeDialogs& dialogs = windows.dialogs();
    TableManagerWindow& manager = windows.builtManager();
    for (const char* name : {object_name::kSelectAllDB2Tables, object_name::kDeselectAllDB2Tables,
                             object_name::kSelectAllMySQLTables, object_name::kDeselectAllMySQLTables})
        button(manager, name)->click();
    QCOMPARE(manager.mysqlTables()->count(), 0);
    QCOMPARE(manager.db2Tables()->count(), 0);
    QCOMPARE(manager.mysqlTables()->currentIndex(), -1);
    QVERIFY(dialogs.shown.empty());
}

void TableListTest::filterNarrowsWhatIsShownAndSelected()
{
    OpenWindows windows(dir_.filePath("filter.ini"));
    TableManagerWindow& manager = windows.builtManager();
    TableList& list = *manager.mysqlTables();
    filled(list, {"orders", "Order_items", "customers", "ORDERS_2016", "zebra"});
    list.setSelected(list.texts().indexOf("customers"), true);

    manager.mysqlFilter()->setText("order");
    QStringList shown;
    for (int i = 0; i < list.count(); ++i)
        if (list.isShown(i))
            shown << list.text(i);
    QCOMPARE(shown, QStringList({"Order_items", "orders", "ORDERS_2016"}));
    QCOMPARE(list.selectedTexts(), QStringList({"customers"}));  // a hidden name stays picked
    list.setSelected(list.texts().indexOf("zebra"), true);       // but cannot be picked
    QCOMPARE(list.selectedTexts(), QStringList({"customers"}));
    button(manager, object_name::kSelectAllMySQLTables)->click();
    QCOMPARE(list.selectedTexts(), QStringList({"customers"}) + shown);
    list.setSelected(list.texts().indexOf("customers"), false);
    QCOMPARE(list.selectedTexts(), shown);
    list.selectAll();  // Ctrl+A reaches hidden rows too, and they leave at once
    QCOMPARE(list.selectedTexts(), shown);

    // The list functions still see the whole list.
    QCOMPARE(list.count(), 5);
    QVERIFY(list.texts().contains("customers"));
    QVERIFY(!list.isShown(list.add("customers_2016")));
    RemoveListItem(list, "zebra");
    QVERIFY(!list.texts().contains("zebra"));

    manager.mysqlFilter()->clear();
    QCOMPARE(list.selectedTexts(), shown);
    for (int i = 0; i < list.count(); ++i)
        QVERIFY(list.isShown(i));
}

void TableListTest::columnsShowTheEstimatesAndSortByTheirHeader()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
    TableList list;
    const QString longName = QStringLiteral("a_table_whose_name_is_much_longer_than_any_column_of_the_list_could_show");
    filled(list, {"orders", "Customers", "v_orders", "zebra", longName});
    list.setEstimates({{"orders", {1204, 98304, false}},
                       {"Customers", {15, 16384, false}},
                       {"v_orders", {std::nullopt, std::nullopt, true}},
                       {"zebra", {2000000, 150LL * 1024 * 1024, false}},
                       {longName.toStdString(), {0, 16384, false}}});
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    QCOMPARE(list.columnCount(), 4);
    QStringList headers;
    for (int column = 0; column < list.columnCount(); ++column)
        headers << list.headerItem()->text(column);
    QCOMPARE(headers, QStringList({"Name", "Type", "Rows", "Size"}));
    const auto row = [&](const QString& name) {
        const QTreeWidgetItem* item = list.item(list.indexOf(name));
        return QStringList({item->text(0), item->text(1), item->text(2), item->text(3)});
    };
    QCOMPARE(row("orders"), QStringList({"orders", "table", "1,204", "96 kB"}));
    QCOMPARE(row("v_orders"), QStringList({"v_orders", "view", "?", "?"}));
    QCOMPARE(row("zebra"), QStringList({"zebra", "table", "2,000,000", "150.0 MB"}));
    // A name cut off by its column shows whole in its tooltip, with the estimate.
    QCOMPARE(list.item(list.indexOf(longName))->toolTip(0), longName + "\nabout 0 rows, 16 kB (estimate)");

    list.setSelected(list.indexOf("orders"), true);
    list.setCurrentIndex(list.indexOf("zebra"));
    const auto clickHeader = [&](int column) {
        QHeaderView* header = list.header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 5));
    };
    // Each row is: the click, then the names top to bottom. Rows and size
    // start with the biggest; unknown figures count least; ties go by name.
    const std::pair<int, QStringList> clicks[] = {
        {TableList::RowsColumn, {"zebra", "orders", "Customers", longName, "v_orders"}},
        {TableList::RowsColumn, {"v_orders", longName, "Customers", "orders", "zebra"}},
        {TableList::SizeColumn, {"zebra", "orders", "Customers", longName, "v_orders"}},
        {TableList::KindColumn, {longName, "Customers", "orders", "zebra", "v_orders"}},
        {TableList::NameColumn, {longName, "Customers", "orders", "v_orders", "zebra"}},
        {TableList::NameColumn, {"zebra", "v_orders", "orders", "Customers", longName}},
    };
    for (const auto& [column, names] : clicks) {
        clickHeader(column);
        QCOMPARE(list.texts(), names);
        QCOMPARE(list.selectedTexts(), QStringList({"orders"}));  // the selection moves with its rows
        QCOMPARE(list.text(list.currentIndex()), QStringLiteral("zebra"));
    }
    // A name added takes its place in the order shown; known ones stay once.
    QCOMPARE(list.add("products"), 2);
    QCOMPARE(row("products"), QStringList({"products", "table", "?", "?"}));  // sent meanwhile: no statistics yet
    QCOMPARE(list.add("orders"), 3);
    QCOMPARE(list.texts().count("orders"), 1);
}

void TableListTest::tableManagerResizesAndRemembersItsPlace()
{
    {
        OpenWindows windows(dir_.filePath("place.ini"));
        TableManagerWindow& manager = windows.builtManager();
        // The window as it first opens shows at least 12 names per list, below the header.
        for (TableList* list : {manager.mysqlTables(), manager.db2Tables()})
            for (int i = 0; i < 30; ++i)
                list->add(QStringLiteral("table_%1").arg(i, 2, 10, QLatin1Char('0')));
        manager.show();
        QVERIFY(QTest::qWaitForWindowExposed(&manager));
        TableList* list = manager.mysqlTables();
        QPushButton* buttons[]
            = {button(manager, object_name::kSelectAllMySQLTables), button(manager, object_name::kSendToDB2),
               button(manager, object_name::kDeleteMySQLTables), button(manager, object_name::kRenameMySQLTable)};
        for (TableList* shown : {manager.mysqlTables(), manager.db2Tables()}) {
            int rowsInView = 0;
            for (int i = 0; i < shown->count(); ++i)
                rowsInView += shown->viewport()->rect().contains(shown->visualItemRect(shown->item(i)));
            QVERIFY2(rowsInView >= 12, qPrintable(QString::number(rowsInView)));
        }
        const QSize listBefore = list->size();
        const int heightBefore = manager.height();

        manager.resize(740, heightBefore + 100);
        manager.move(40, 50);
        QTRY_COMPARE(list->height(), listBefore.height() + 100);  // the lists take the height
        QVERIFY(list->width() > listBefore.width());  // and the width
        QVERIFY(manager.db2Tables()->height() == list->height());
        for (size_t i = 0; i < std::size(buttons); ++i) {
            QCOMPARE(buttons[i]->height(), Twips(405));
            QVERIFY(buttons[i]->y() > (i == 0 ? list->geometry().bottom() : buttons[i - 1]->geometry().bottom()));
        }
        QCOMPARE(button(manager, object_name::kDeselectAllMySQLTables)->y(), buttons[0]->y());
        manager.hide();
    }
    OpenWindows next(dir_.filePath("place.ini"));
    const QStringList place = next.settings().read("TableManagerGeometry", "").split(',');
    QCOMPARE(place.mid(0, 3), QStringList({"40", "50", "740"}));
    TableManagerWindow& again = next.builtManager();
    QCOMPARE(again.size(), QSize(740, place[3].toInt()));
    QCOMPARE(again.pos(), QPoint(40, 50));
}

void TableListTest::tableManagerHelp()
{
    OpenWindows windows(dir_.filePath("help.ini"));
    FakeDialogs& dialogs = windows.dialogs();
    TableManagerWindow& manager = windows.builtManager();
    manager.findChild<QPushButton*>("PushButton12")->click();
    QCOMPARE(dialogs.shown.size(), size_t(1));
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("message"));
    QCOMPARE(dialogs.shown[0].text,
             QStringLiteral("Questions? Please contact Team Quarnel at https://www.quarnel.com/contact/"));
    QVERIFY(dialogs.shown[0].title.isEmpty());  // the application title
}

void TableListTest::pointerConvention()
{
    OpenWindows windows(dir_.filePath("pointer.ini"));
    LoginWindow& login = windows.login();
    login.runStartUpSequence();  // the hand cursor file lies beside the test program
    QVERIFY(login.pointer().hasCustomCursor());
    QCOMPARE(login.mousePointer(), 0);

    auto* next = login.findChild<QPushButton*>("PushButton2");
    moveOver(next);
    QCOMPARE(login.mousePointer(), 99);
    QCOMPARE(login.cursor().shape(), Qt::BitmapCursor);  // the hand
    moveOver(login.findChild<QLineEdit*>("Text10"));     // like its nine sister fields
    QCOMPARE(login.mousePointer(), 0);
    moveOver(login.findChild<QPushButton*>("PushButton3"));
    QCOMPARE(login.mousePointer(), 99);
    moveOver(login.findChild<QWidget*>("Frame1"));
    QCOMPARE(login.mousePointer(), 0);

    login.setPointer(Pointer::Busy);  // an action runs: movement never replaces the hourglass
    moveOver(next);
    moveOver(login.findChild<QLineEdit*>("Text1"));
    QCOMPARE(login.mousePointer(), 11);
    QCOMPARE(login.cursor().shape(), Qt::WaitCursor);
    login.setPointer(Pointer::Default);
    QCOMPARE(login.cursor().shape(), Qt::ArrowCursor);

    TableManagerWindow& manager = windows.builtManager();
    moveOver(manager.findChild<QPushButton*>("PushButton7"));
    QCOMPARE(manager.mousePointer(), 99);
    moveOver(manager.db2Tables()->viewport());
    QCOMPARE(manager.mousePointer(), 0);
    moveOver(manager.findChild<QPushButton*>("PushButton12"));
    QCOMPARE(manager.mousePointer(), 99);
    moveOver(manager.findChild<QWidget*>("Frame1"));
    QCOMPARE(manager.mousePointer(), 0);
}

void TableListTest::busyDisablesEveryButtonButCancelAndOptions()
{
    OpenWindows windows(dir_.filePath("busy.ini"));
    TableManagerWindow& manager = windows.builtManager();
    QVERIFY(manager.statusText().isEmpty());
    QVERIFY(manager.cancelButton()->isHidden());
    QCOMPARE(manager.progressBar()->minimum(), 0);
    QCOMPARE(manager.progressBar()->maximum(), 100);
    QCheckBox* option = manager.matchingTypesCheck();
    manager.setBusy(true);
    QVERIFY(!option->isEnabled());
    for (int i = 1; i <= 12; ++i)
        QVERIFY2(!manager.findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(i))->isEnabled(),
                 qPrintable(QString::number(i)));
    QVERIFY(manager.cancelButton()->isEnabled());
    QCOMPARE(manager.mousePointer(), 11);
    moveOver(button(manager, object_name::kBack));
    QCOMPARE(manager.mousePointer(), 11);
    manager.setBusy(false);
    QVERIFY(option->isEnabled());
    for (int i = 1; i <= 12; ++i)
        QVERIFY(manager.findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(i))->isEnabled());
    QCOMPARE(manager.mousePointer(), 0);
}

void TableListTest::closingEitherWindowEndsTheProgram()
{
    {
        OpenWindows windows(dir_.filePath("end.ini"));
        LoginWindow& login = windows.login();
        QSignalSpy ended(&windows.controller(), &WindowController::programEnd);
        login.show();
        login.close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!login.isVisible());
    }
    {
        OpenWindows windows(dir_.filePath("end.ini"));
        LoginWindow& login = windows.login();
        QSignalSpy ended(&windows.controller(), &WindowController::programEnd);
        TableManagerWindow& manager = windows.builtManager();
        manager.show();         // the login form is hidden meanwhile
        manager.setBusy(true);  // a delete runs: it ends first, then the program
        manager.close();
        QCOMPARE(ended.count(), 0);
        QVERIFY(manager.isVisible());
        manager.setBusy(false);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!login.isVisible());
        QVERIFY(!manager.isVisible());
    }
}

void TableListTest::deleteQuestionDefaultsToNo()
{
    // The real question box: Enter and Escape both answer No, so nothing is
    // dropped and no connection is even tried (that would show a second box).
    OpenWindows windows(dir_.filePath("question.ini"), std::make_unique<QtDialogs>());
    TableManagerWindow& manager = windows.builtManager();
    filled(*manager.mysqlTables(), {"precious"});
    manager.mysqlTables()->setSelected(0, true);
    manager.show();
    QStringList defaults;  // the default button of every box shown
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        const qsizetype before = defaults.size();
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            defaults << (box->defaultButton() == box->button(QMessageBox::No) ? "No" : "other");
            // The question gets the key; a further box (a failed connection) is closed.
            QTest::keyClick(box, defaults.size() == before + 1 ? key : Qt::Key_Escape);
        });
        answer.start(20);
        button(manager, object_name::kDeleteMySQLTables)->click();
        QCOMPARE(manager.mysqlTables()->texts(), QStringList({"precious"}));
    }
    QCOMPARE(defaults, QStringList({"No", "No"}));
}

void TableListTest::transferStatusTexts()
{
    TransferSummary summary;
    summary.seconds = 9.0;  // the engine's time, questions included
    summary.cancelled = true;
    summary.tables = {TableResult {"B", TableStatus::Sent, 2, 2, 0, 2, {}, "", {}, {}, {}},
                      TableResult {"A", TableStatus::Incomplete, 5, 3, 0, 3, {}, "cancelled", {}, {}, {}}};
    const std::pair<QString, QString> cases[] = {
        {TransferSummaryText(summary, "IBM DB2", 1.04),
         "Sent 1 table to IBM DB2: 5 rows copied, 0 rows refused, 1.0 s (cancelled). Incomplete: A (cancelled; 3 of 5 "
         "rows read arrived)"},
        {TransferProgressText("orders", 5000, 20000, 2500.4),
         "Sending orders: 5000 of 20000 rows, 2500 rows/s, 0:06 left"},
        {TransferProgressText("orders", 1, -1, 0), "Sending orders: 1 row"},
        {TransferProgressText("orders", 12000, 1234567, 2500.4, QLocale(QLocale::English, QLocale::UnitedStates)),
         "Sending orders: 12,000 of 1,234,567 rows, 2,500 rows/s, 8:09 left"},
        {TransferProgressText("orders", 12000, -1, 0, QLocale(QLocale::German)), "Sending orders: 12.000 rows"},
        {TransferProgressText("orders", 5000, 20000, 2500.4, QLocale::c(), 62.4),
         "Sending orders: 5000 of 20000 rows, 2500 rows/s, 1:02 elapsed, 0:06 left"},
        {TransferProgressText("orders", 1, -1, 0, QLocale::c(), 3), "Sending orders: 1 row, 0:03 elapsed"},
        {TransferSummaryText(summary, "IBM DB2", 1.04, QLocale(QLocale::German)),
         "Sent 1 table to IBM DB2: 5 rows copied, 0 rows refused, 1,0 s (cancelled). Incomplete: A (cancelled; 3 "
         "of 5 rows read arrived)"},
        {TransferTableLines(summary, QLocale(QLocale::English, QLocale::UnitedStates)).join(" | "),
         "B: 2 rows sent, 0 refused - sent | A: 3 rows sent, 0 refused - incomplete (cancelled)"},
        {RunProgressText(2, 5, "Sending orders"), "Table 2 of 5 - Sending orders"},
        {RunProgressText(1, 1, "Sending orders"), "Sending orders"},
        {FurtherRowsRefusedText(1, "T"), "1 further row of T was refused by the server and not copied."},
        {FurtherRowsRefusedText(7, "T"), "7 further rows of T were refused by the server and not copied."},
    };
    for (const auto& [actual, expected] : cases)
        QCOMPARE(actual, expected);

    // Verified after the send: the verdict joins the status line, its differences only the Log.
    TransferSummary verified;
    verified.tables = {TableResult {"B", TableStatus::Sent, 2, 2, 0, 2, {}, "", {}, {}, {}},
                       TableResult {"C", TableStatus::Sent, 1, 1, 0, 1, {}, "", {}, {}, {}}};
    verified.verification = ComparisonSummary {};
    verified.verification->sourceName = "MySQL";
    verified.verification->targetName = "IBM DB2";
    verified.verification->tables = {
        {"B", "B", ComparisonStatus::Different, {"id"}, 2, 2, 0, 0, 1,
         {{RowDifference::Kind::ValueDiffers, "id=1", "price", "12.50", "12.51", ""}}, ""},
        {"C", "C", ComparisonStatus::Equal, {}, 1, 1, 0, 0, 0, {}, ""}};
    QCOMPARE(TransferSummaryText(verified, "IBM DB2", 0.5),
             QString("Sent 2 tables to IBM DB2: 3 rows copied, 0 rows refused, 0.5 s. Verified 2 tables against IBM "
                     "DB2: 1 equal, 1 different, 0 not compared, 0.0 s. B: different: 2 rows on MySQL, 2 on IBM DB2; 0 "
                     "only on MySQL, 0 only on IBM DB2, 1 differ"));
    QCOMPARE(TransferTableLines(verified),
             QStringList({"B: 2 rows sent, 0 refused - different",
                          "  verify: B: different: 2 rows on MySQL, 2 on IBM DB2; 0 only on MySQL, 0 only on IBM DB2, 1 "
                          "differ",
                          "    id=1 price: '12.50' on MySQL, '12.51' on IBM DB2", "C: 1 row sent, 0 refused - sent",
                          "  verify: C: equal: 1 rows on MySQL, 1 on IBM DB2 (no key: matched as whole rows)"}));
    QVERIFY(!verified.allSent());
}

void TableListTest::lineBreaksShowAsLineBreaks()
{
    QCOMPARE(DisplayLineBreaks("a\r\nb\r\rc"), QStringLiteral("a\nb\n\nc"));
}

QTEST_MAIN(TableListTest)
#include "TableListTest.moc"
