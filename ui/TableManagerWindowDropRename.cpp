// The table manager's delete and rename actions. They work on the selected
// names; a name leaves its list only when the table is gone, a rename changes
// the list only when the server renamed the table, an unopenable connection
// is reported once and ends the action, names are escaped, and dropping asks
// first.
#include "ErrorReport.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"
#include "SessionLog.h"
#include "TableActions.h"
#include "TableChanges.h"
#include "TableList.h"
#include "TableManagerWindow.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"
#include "Workspace.h"

#include <optional>
#include <vector>

namespace {

// Which rows the user confirmed: the walk drops those, whatever the selection
// becomes while it runs.
std::vector<bool> selectedRows(const TableList& list)
{
    std::vector<bool> rows(static_cast<size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i)
        rows[static_cast<size_t>(i)] = list.isSelected(i);
    return rows;
}

std::vector<std::string> stdNames(const QStringList& names)
{
    std::vector<std::string> out;
    for (const QString& name : names)
        out.push_back(name.toStdString());
    return out;
}

// Ends the delete or rename the workspace logs, with its text for the status line.
QString endTableChange(Workspace& workspace)
{
    return QString::fromStdString(TableChangeText(workspace.endTableChange()));
}

}  // namespace

void TableManagerWindow::openSide(DatabaseSide side)
{
    Workspace& workspace = host_.workspace();
    OffGuiThread([&] { workspace.open(side); });
}

void TableManagerWindow::closeSide(DatabaseSide side)
{
    Workspace& workspace = host_.workspace();
    OffGuiThread([&] { workspace.close(side); });  // a disconnect waits for the server too
}

void TableManagerWindow::dropTable(DatabaseSide side, const QString& table, bool view)
{
    Workspace& workspace = host_.workspace();
    OffGuiThread([&] { workspace.dropTable(side, table.toStdString(), view); });
}

// A name taken already is no failure to report: the user is told so plainly.
bool TableManagerWindow::renameTable(DatabaseSide side, const QString& from, const QString& to)
{
    Workspace& workspace = host_.workspace();
    try {
        OffGuiThread([&] { workspace.renameTable(side, from.toStdString(), to.toStdString()); });
        return true;
    } catch (const NameTaken& taken) {
        const QString text = QString::fromStdString(taken.what()) + QLatin1Char('.');
        sessionLog_->add(text);
        dialogs_.message(text);
        return false;
    }
}

void TableManagerWindow::deleteSelectedMySQLTables()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kDeleteMySQLTables));
    TableList& list = *mysqlTables();
    QStringList names;
    if (trap.test(106, [&] {
            names = list.selectedTexts();
            return names.isEmpty();
        })) {
        trap.step(130, [&] { dialogs_.message(QStringLiteral("Please select a table")); });
        return;
    }
    // 132: nothing is dropped before the user said Yes.
    bool confirmed = false;
    trap.step(132, [&] {
        confirmed = dialogs_.question(DeleteConfirmationText(DatabaseSide::MySQL, names, list.selectedViews()),
                                      ApplicationTitle())
            == Answer::Yes;
    });
    if (!confirmed)
        return;
    host_.workspace().beginTableChange(TableChange::Delete, DatabaseSide::MySQL, stdNames(names));
    trap.step(108, [&] { setBusy(true); });
    std::vector<bool> chosen;
    trap.step(110, [&] { chosen = selectedRows(list); });
    for (int i = static_cast<int>(chosen.size()) - 1; i >= 0; --i) {
        trap.step(112, [&] { dialogs_.yield(); });
        if (!trap.test(114, [&] { return chosen[static_cast<size_t>(i)]; }))
            continue;
        // One connection per table; one that cannot be opened ends the action.
        if (!trap.step(116, [&] { openSide(DatabaseSide::MySQL); }))
            break;
        QString name;
        trap.step(118, [&] { name = list.text(i); });
        bool gone = false;
        trap.step(120, [&] {
            dropTable(DatabaseSide::MySQL, name, list.isView(i));
            gone = true;
        });
        if (gone)
            trap.step(122, [&] { list.remove(i); });
        trap.step(124, [&] { closeSide(DatabaseSide::MySQL); });
    }
    showOutcome(endTableChange(host_.workspace()));
    trap.step(128, [&] { setBusy(false); });
}

void TableManagerWindow::deleteSelectedDB2Tables()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kDeleteDB2Tables));
    TableList& list = *db2Tables();
    trap.step(102, [&] { setBusy(true); });
    // The connection opens before the selection test, once for the whole run.
    const bool opened = trap.step(104, [&] { openSide(DatabaseSide::DB2); });
    QStringList names;
    if (!opened) {
        // reported; nothing more to do
    } else if (trap.test(106, [&] {
                   names = list.selectedTexts();
                   return names.isEmpty();
               })) {
        trap.step(118, [&] { dialogs_.message(QStringLiteral("Please select a table to delete")); });
    } else {
        bool confirmed = false;
        trap.step(122, [&] {
            confirmed = dialogs_.question(DeleteConfirmationText(DatabaseSide::DB2, names, list.selectedViews()),
                                          ApplicationTitle())
                == Answer::Yes;
        });
        std::vector<bool> chosen;
        if (confirmed) {
            host_.workspace().beginTableChange(TableChange::Delete, DatabaseSide::DB2, stdNames(names));
            trap.step(108, [&] { chosen = selectedRows(list); });
        }
        for (int i = static_cast<int>(chosen.size()) - 1; i >= 0; --i) {
            if (!trap.test(110, [&] { return chosen[static_cast<size_t>(i)]; }))
                continue;
            bool gone = false;
            trap.step(112, [&] {
                const QString name = list.text(i);
                dropTable(DatabaseSide::DB2, name, list.isView(i));
                gone = true;
            });
            if (gone)
                trap.step(114, [&] { list.remove(i); });
        }
        if (confirmed)
            showOutcome(endTableChange(host_.workspace()));
    }
    closeSide(DatabaseSide::DB2);
    trap.step(120, [&] { setBusy(false); });
}

void TableManagerWindow::renameMySQLTable()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kRenameMySQLTable));
    TableList& list = *mysqlTables();
    if (trap.test(102, [&] { return list.selectedCount() == 0; })) {
        trap.step(140, [&] { dialogs_.message(QStringLiteral("Please select a table")); });
        return;
    }
    // 104 to 116: the current item when it is selected, else the only selected one.
    int index = -1;
    trap.step(104, [&] { index = list.singleTargetIndex(); });
    if (trap.test(116, [&] { return index < 0; })) {
        trap.step(138, [&] { dialogs_.message(QStringLiteral("Please select just one table to rename")); });
        return;
    }
    QString oldName;
    trap.step(108, [&] { oldName = list.text(index); });
    std::optional<QString> answer;
    trap.step(118, [&] { answer = dialogs_.inputBox(RenamePrompt(oldName), ApplicationTitle(), oldName); });
    if (!answer || answer->isEmpty())
        return;  // 120: Cancel or an emptied answer changes nothing
    const QString newName = *answer;
    host_.workspace().beginTableChange(TableChange::Rename, DatabaseSide::MySQL, {oldName.toStdString()},
                                       newName.toStdString());
    trap.step(122, [&] { setBusy(true); });
    // 124: the statement is built by RenameTable, names escaped.
    if (trap.step(126, [&] { openSide(DatabaseSide::MySQL); })) {
        bool renamed = false;
        trap.step(128, [&] { renamed = renameTable(DatabaseSide::MySQL, oldName, newName); });
        trap.step(130, [&] { closeSide(DatabaseSide::MySQL); });
        if (renamed) {
            trap.step(132, [&] { list.remove(index); });
            trap.step(134, [&] { list.add(newName); });
        }
    }
    showOutcome(endTableChange(host_.workspace()));
    trap.step(136, [&] { setBusy(false); });
}

void TableManagerWindow::renameDB2Table()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kRenameDB2Table));
    TableList& list = *db2Tables();
    trap.step(102, [&] { setBusy(true); });
    // The connection opens before any test.
    if (trap.step(104, [&] { openSide(DatabaseSide::DB2); })) {
        int index = -1;
        if (trap.test(106, [&] { return list.selectedCount() == 0; })) {
            trap.step(132, [&] { dialogs_.message(QStringLiteral("Please select a table to rename.")); });
        } else if (trap.test(108, [&] {
                       index = list.singleTargetIndex();
                       return index < 0;
                   })) {
            trap.step(130, [&] { dialogs_.message(QStringLiteral("Please select just one table to rename.")); });
        } else {
            QString oldName;
            std::optional<QString> answer;
            trap.step(114, [&] { oldName = list.text(index); });
            trap.step(116, [&] { answer = dialogs_.inputBox(RenamePrompt(oldName), ApplicationTitle(), oldName); });
            if (answer && !answer->isEmpty()) {
                const QString newName = *answer;
                host_.workspace().beginTableChange(TableChange::Rename, DatabaseSide::DB2, {oldName.toStdString()},
                                                   newName.toStdString());
                bool renamed = false;
                trap.step(120, [&] { renamed = renameTable(DatabaseSide::DB2, oldName, newName); });
                if (renamed) {
                    trap.step(122, [&] { list.remove(index); });
                    trap.step(124, [&] { list.add(newName); });
                    trap.step(126, [&] {
                        if (list.count() > 0)
                            list.setCurrentIndex(0);
                    });
                }
                showOutcome(endTableChange(host_.workspace()));
            }
        }
    }
    closeSide(DatabaseSide::DB2);
    trap.step(134, [&] { setBusy(false); });
}
