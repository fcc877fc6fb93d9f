// The table manager's delete and rename handlers, with the
// sound changes: a name leaves its list only when the table is gone, a rename
// changes the list only when the server renamed the table, an unopenable
// connection is reported once and ends the action, names are escaped, and
// dropping asks first.
#include "DataConnection.h"
#include "ErrorReport.h"
#include "Form1.h"
#include "Form2.h"
#include "TableActions.h"
#include "TableList.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"

#include <memory>


// "Delete Table/s" (MySQL)
void Form2::PushButton1_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.PushButton1_Click"));
    TableList& list = *List1_;
    if (trap.test(106, [&] { return list.currentIndex() == -1; })) {
        trap.step(130, [&] { dialogs_.message(QStringLiteral("Please select a table")); });
        return;
    }
    // 132: nothing is dropped before the user said Yes.
    bool confirmed = false;
    trap.step(132, [&] {
        const QStringList names = list.selectedTexts();
        confirmed = !names.isEmpty()
            && dialogs_.question(DeleteConfirmationText(DatabaseSide::MySQL, names), ApplicationTitle()) == Answer::Yes;
    });
    if (!confirmed)
        return;
    trap.step(108, [&] { setBusy(true); });
    int count = 0;
    trap.step(110, [&] { count = list.count(); });
    for (int i = count - 1; i >= 0; --i) {
        trap.step(112, [&] { dialogs_.yield(); });
        if (!trap.test(114, [&] { return list.isSelected(i); }))
            continue;
        // One connection per table; one that cannot be opened ends the action.
        auto connection = std::make_unique<DataConnection>();
        if (!trap.step(116, [&] { OpenSide(DatabaseSide::MySQL, *connection, login_.CurrentMySQLProfile()); }))
            break;
        QString name;
        trap.step(118, [&] { name = list.text(i); });
        bool gone = false;
        trap.step(120, [&] {
            DropTable(DatabaseSide::MySQL, *connection, name);
            gone = true;
        });
        if (gone)
            trap.step(122, [&] { list.remove(i); });
        trap.step(124, [&] { connection->close(); });
    }
    trap.step(128, [&] { setBusy(false); });
}

// "Delete Table/s" (IBM DB2)
void Form2::PushButton5_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.PushButton5_Click"));
    TableList& list = *List2_;
    std::unique_ptr<DataConnection> connection;
    trap.step(100, [&] { connection = std::make_unique<DataConnection>(); });
    trap.step(102, [&] { setBusy(true); });
    // The connection opens before the selection test, once for the whole run.
    const bool opened = trap.step(104, [&] { OpenSide(DatabaseSide::DB2, *connection, login_.CurrentDB2Profile()); });
    if (opened) {
        if (trap.test(106, [&] { return list.currentIndex() == -1; })) {
            trap.step(118, [&] { dialogs_.message(QStringLiteral("Please select a table to delete")); });
        } else {
            bool confirmed = false;
            trap.step(122, [&] {
                const QStringList names = list.selectedTexts();
                confirmed = !names.isEmpty()
                    && dialogs_.question(DeleteConfirmationText(DatabaseSide::DB2, names), ApplicationTitle())
                        == Answer::Yes;
            });
            int count = 0;
            if (confirmed)
                trap.step(108, [&] { count = list.count(); });
            for (int i = count - 1; i >= 0; --i) {
                if (!trap.test(110, [&] { return list.isSelected(i); }))
                    continue;
                bool gone = false;
                trap.step(112, [&] {
                    DropTable(DatabaseSide::DB2, *connection, list.text(i));
                    gone = true;
                });
                if (gone)
                    trap.step(114, [&] { list.remove(i); });
            }
        }
    }
    trap.step(120, [&] { setBusy(false); });
}

// "Rename Table" (MySQL)
void Form2::PushButton6_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.PushButton6_Click"));
    TableList& list = *List1_;
    if (trap.test(102, [&] { return list.currentIndex() == -1; })) {
        trap.step(140, [&] { dialogs_.message(QStringLiteral("Please select a table")); });
        return;
    }
    int count = 0;
    int selected = 0;
    int index = -1;
    QString oldName;
    trap.step(104, [&] { count = list.count(); });
    for (int i = 0; i < count; ++i) {
        if (!trap.test(106, [&] { return list.isSelected(i); }))
            continue;
        trap.step(108, [&] { oldName = list.text(i); });
        trap.step(110, [&] { index = i; });
        trap.step(112, [&] { ++selected; });
    }
    if (trap.test(116, [&] { return selected != 1; })) {
        trap.step(138, [&] { dialogs_.message(QStringLiteral("Please select just one table to rename")); });
        return;
    }
    std::optional<QString> answer;
    trap.step(118, [&] { answer = dialogs_.inputBox(RenamePrompt(oldName), ApplicationTitle(), oldName); });
    if (!answer || answer->isEmpty())
        return;  // 120: Cancel or an emptied answer changes nothing
    const QString newName = *answer;
    trap.step(122, [&] { setMousePointer(kPointerBusy); });
    // 124: the statement is built by RenameTable, names escaped.
    auto connection = std::make_unique<DataConnection>();
    if (trap.step(126, [&] { OpenSide(DatabaseSide::MySQL, *connection, login_.CurrentMySQLProfile()); })) {
        const bool renamed = trap.step(128, [&] { RenameTable(DatabaseSide::MySQL, *connection, oldName, newName); });
        trap.step(130, [&] { connection->close(); });
        if (renamed) {
            trap.step(132, [&] { list.remove(index); });
            trap.step(134, [&] { list.add(newName); });
        }
    }
    trap.step(136, [&] { setMousePointer(kPointerDefault); });
}

// "Rename Table" (IBM DB2)
void Form2::PushButton7_Click()
{
    HandlerTrap trap(dialogs_, QStringLiteral("Form2.PushButton7_Click"));
    TableList& list = *List2_;
    std::unique_ptr<DataConnection> connection;
    trap.step(100, [&] { connection = std::make_unique<DataConnection>(); });
    trap.step(102, [&] { setMousePointer(kPointerBusy); });
    // The connection opens before any test.
    if (trap.step(104, [&] { OpenSide(DatabaseSide::DB2, *connection, login_.CurrentDB2Profile()); })) {
        if (trap.test(106, [&] { return list.currentIndex() == -1; })) {
            trap.step(132, [&] { dialogs_.message(QStringLiteral("Please select a table to rename.")); });
        } else if (trap.test(108, [&] { return list.selectedCount() != 1; })) {
            trap.step(130, [&] { dialogs_.message(QStringLiteral("Please select just one table to rename.")); });
        } else {
            int count = 0;
            trap.step(110, [&] { count = list.count(); });
            for (int i = count - 1; i >= 0; --i) {
                if (!trap.test(112, [&] { return list.isSelected(i); }))
                    continue;
                QString oldName;
                std::optional<QString> answer;
                trap.step(114, [&] { oldName = list.text(i); });
                trap.step(116, [&] { answer = dialogs_.inputBox(RenamePrompt(oldName), ApplicationTitle(), oldName); });
                if (answer && !answer->isEmpty()) {
                    const QString newName = *answer;
                    if (trap.step(120, [&] { RenameTable(DatabaseSide::DB2, *connection, oldName, newName); })) {
                        trap.step(122, [&] { list.remove(i); });
                        trap.step(124, [&] { list.add(newName); });
                        trap.step(126, [&] {
                            if (list.count() > 0)
                                list.setCurrentIndex(0);
                        });
                    }
                }
                break;  // 128: the one selected table was the only one
            }
        }
    }
    trap.step(134, [&] { setMousePointer(kPointerDefault); });
}
