// The table list both sides use, and the table manager's list buttons, help,
// pointer convention, busy state and program end: no servers needed.
#include "FakeDialogs.h"
#include "Form1.h"
#include "Form2.h"
#include "FormSupport.h"
#include "QtDialogs.h"
#include "SettingsStore.h"
#include "TableList.h"
#include "WindowHelpers.h"

#include <QLineEdit>
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
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

}  // namespace

class TableListTest : public QObject {
    Q_OBJECT
private slots:
    void sortsWithoutRegardToCase();
    void currentItemIsNotTheSelection();
    void removingTheCurrentItemLeavesNone();
    void containsTextIgnoresCase();
    void removeListItemWalksOnce();
    void selectAllAndDeselectAllKeepTheCurrentItem();
    void selectAllOnAnEmptyListDoesNothing();
    void tableManagerHelp();
    void pointerConvention();
    void busyDisablesEveryButtonButCancel();
    void closingEitherWindowEndsTheProgram();
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
    list.setCurrentIndex(-1);
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.selectedCount(), 2);
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

void TableListTest::containsTextIgnoresCase()
{
    TableList list;
    filled(list, {"Orders", "items"});
    QVERIFY(ListContainsText(list, "ORDERS"));
    QVERIFY(ListContainsText(list, "items"));
    QVERIFY(!ListContainsText(list, "order"));
}

void TableListTest::removeListItemWalksOnce()
{
    TableList list;
    filled(list, {"a", "A", "b"});
    RemoveListItem(list, "A");  // exact case only
    QCOMPARE(list.texts(), QStringList({"a", "b"}));
    TableList twice;
    filled(twice, {"t", "t", "u"});
    RemoveListItem(twice, "t");  // the item that moved up is not examined
    QCOMPARE(twice.texts(), QStringList({"t", "u"}));
}

void TableListTest::selectAllAndDeselectAllKeepTheCurrentItem()
{
    SettingsStore settings(dir_.filePath("select.ini"));
    FakeDialogs dialogs;
    Form1 login(dialogs, settings);
    Form2 manager(login, dialogs);
    for (TableList* list : {manager.List1(), manager.List2()})
        filled(*list, {"t1", "t2", "t3", "t4", "t5"});
    manager.List1()->setCurrentIndex(2);
    manager.List2()->setCurrentIndex(4);

    manager.findChild<QPushButton*>("PushButton10")->click();  // Select All, MySQL
    QCOMPARE(manager.List1()->selectedCount(), 5);
    QCOMPARE(manager.List2()->selectedCount(), 0);
    QCOMPARE(manager.List1()->currentIndex(), 2);
    manager.findChild<QPushButton*>("PushButton8")->click();  // Select All, DB2
    QCOMPARE(manager.List2()->selectedCount(), 5);
    QCOMPARE(manager.List2()->currentIndex(), 4);

    manager.findChild<QPushButton*>("PushButton11")->click();  // Deselect All, MySQL
    QCOMPARE(manager.List1()->selectedCount(), 0);
    QCOMPARE(manager.List1()->currentIndex(), 2);
    QCOMPARE(manager.List2()->selectedCount(), 5);
    manager.findChild<QPushButton*>("PushButton9")->click();  // Deselect All, DB2
    QCOMPARE(manager.List2()->selectedCount(), 0);
    QCOMPARE(manager.List2()->currentIndex(), 4);
    QVERIFY(dialogs.shown.empty());
}

void TableListTest::selectAllOnAnEmptyListDoesNothing()
{
    SettingsStore settings(dir_.filePath("empty.ini"));
    FakeDialogs dialogs;
    Form1 login(dialogs, settings);
    Form2 manager(login, dialogs);
    for (const char* name : {"PushButton8", "PushButton9", "PushButton10", "PushButton11"})
        manager.findChild<QPushButton*>(name)->click();
    QCOMPARE(manager.List1()->count(), 0);
    QCOMPARE(manager.List2()->count(), 0);
    QCOMPARE(manager.List1()->currentIndex(), -1);
    QVERIFY(dialogs.shown.empty());
}

void TableListTest::tableManagerHelp()
{
    SettingsStore settings(dir_.filePath("help.ini"));
    FakeDialogs dialogs;
    Form1 login(dialogs, settings);
    Form2 manager(login, dialogs);
    manager.findChild<QPushButton*>("PushButton12")->click();
    QCOMPARE(dialogs.shown.size(), size_t(1));
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("message"));
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("Questions? Please contact Team Quarnel at https://www.quarnel.com/contact/"));
    QVERIFY(dialogs.shown[0].title.isEmpty());  // the application title
}

void TableListTest::pointerConvention()
{
    SettingsStore settings(dir_.filePath("pointer.ini"));
    FakeDialogs dialogs;
    Form1 login(dialogs, settings);
    login.Form_Load();  // the hand cursor file lies beside the test program
    QVERIFY(login.pointer().hasCustomCursor());
    QCOMPARE(login.mousePointer(), 0);

    auto* next = login.findChild<QPushButton*>("PushButton2");
    moveOver(next);
    QCOMPARE(login.mousePointer(), 99);
    QCOMPARE(login.cursor().shape(), Qt::BitmapCursor);  // the hand
    moveOver(login.findChild<QLineEdit*>("Text10"));  // like its nine sister fields
    QCOMPARE(login.mousePointer(), 0);
    moveOver(login.findChild<QPushButton*>("PushButton3"));
    QCOMPARE(login.mousePointer(), 99);
    moveOver(login.findChild<QWidget*>("Frame1"));
    QCOMPARE(login.mousePointer(), 0);

    login.setMousePointer(11);  // an action runs: movement never replaces the hourglass
    moveOver(next);
    moveOver(login.findChild<QLineEdit*>("Text1"));
    QCOMPARE(login.mousePointer(), 11);
    QCOMPARE(login.cursor().shape(), Qt::WaitCursor);
    login.setMousePointer(0);
    QCOMPARE(login.cursor().shape(), Qt::ArrowCursor);

    Form2 manager(login, dialogs);
    manager.Form_Load();
    moveOver(manager.findChild<QPushButton*>("PushButton7"));
    QCOMPARE(manager.mousePointer(), 99);
    moveOver(manager.List2()->viewport());
    QCOMPARE(manager.mousePointer(), 0);
    moveOver(manager.findChild<QPushButton*>("PushButton12"));
    QCOMPARE(manager.mousePointer(), 99);
    moveOver(manager.findChild<QWidget*>("Frame1"));
    QCOMPARE(manager.mousePointer(), 0);
}

void TableListTest::busyDisablesEveryButtonButCancel()
{
    SettingsStore settings(dir_.filePath("busy.ini"));
    FakeDialogs dialogs;
    Form1 login(dialogs, settings);
    Form2 manager(login, dialogs);
    QVERIFY(manager.statusText().isEmpty());
    QVERIFY(manager.cancelButton()->isHidden());
    QCOMPARE(manager.ProgressBar1()->minimum(), 0);
    QCOMPARE(manager.ProgressBar1()->maximum(), 100);
    manager.setBusy(true);
    for (int i = 1; i <= 12; ++i)
        QVERIFY2(!manager.findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(i))->isEnabled(), qPrintable(QString::number(i)));
    QVERIFY(manager.cancelButton()->isEnabled());
    QCOMPARE(manager.mousePointer(), 11);
    moveOver(manager.findChild<QPushButton*>("PushButton2"));
    QCOMPARE(manager.mousePointer(), 11);
    manager.setBusy(false);
    for (int i = 1; i <= 12; ++i)
        QVERIFY(manager.findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(i))->isEnabled());
    QCOMPARE(manager.mousePointer(), 0);
}

void TableListTest::closingEitherWindowEndsTheProgram()
{
    SettingsStore settings(dir_.filePath("end.ini"));
    FakeDialogs dialogs;
    {
        Form1 login(dialogs, settings);
        QSignalSpy ended(&login, &Form1::programEnd);
        login.show();
        login.close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!login.isVisible());
    }
    {
        Form1 login(dialogs, settings);
        QSignalSpy ended(&login, &Form1::programEnd);
        Form2 manager(login, dialogs);
        manager.show();  // the login form is hidden meanwhile
        manager.close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!login.isVisible());
        QVERIFY(!manager.isVisible());
    }
}

void TableListTest::lineBreaksShowAsLineBreaks()
{
    QCOMPARE(DisplayLineBreaks("a\r\nb\r\rc"), QStringLiteral("a\nb\n\nc"));
}

QTEST_MAIN(TableListTest)
#include "TableListTest.moc"
