// The table manager's delete and rename actions. They work on the selected
// names; a name leaves its list only when the table is gone, a rename changes
// the list only when the server renamed the table, an unopenable connection
// is reported once and ends the action, names are escaped, and dropping asks
// first.
#include "DataConnection.h"
#include "ErrorReport.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"
#include "TableActions.h"
#include "TableList.h"
#include "TableManagerWindow.h"
#include "UserDialogs.h"
#include "WindowHelpers.h"

#include <memory>
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

}  // namespace

void TableManagerWindow::openSide(DatabaseSide side, DataConnection& connection)
{
    const ConnectionProfile profile = host_.currentProfile(side);
    OffGuiThread([&] { OpenSide(side, connection, profile); });
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
        confirmed
            = dialogs_.question(DeleteConfirmationText(DatabaseSide::MySQL, names), ApplicationTitle()) == Answer::Yes;
    });
    if (!confirmed)
        return;
    trap.step(108, [&] { setBusy(true); });
    std::vector<bool> chosen;
    trap.step(110, [&] { chosen = selectedRows(list); });
    for (int i = static_cast<int>(chosen.size()) - 1; i >= 0; --i) {
        trap.step(112, [&] { dialogs_.yield(); });
        if (!trap.test(114, [&] { return chosen[static_cast<size_t>(i)]; }))
            continue;
        // One connection per table; one that cannot be opened ends the action.
        auto connection = std::make_unique<DataConnection>();
        if (!trap.step(116, [&] { openSide(DatabaseSide::MySQL, *connection); }))
            break;
        QString name;
        trap.step(118, [&] { name = list.text(i); });
        bool gone = false;
        trap.step(120, [&] {
            OffGuiThread([&] { DropTable(DatabaseSide::MySQL, *connection, name); });
            gone = true;
        });
        if (gone)
            trap.step(122, [&] { list.remove(i); });
        trap.step(124, [&] { OffGuiThread([&] { connection->close(); }); });
    }
    trap.step(128, [&] { setBusy(false); });
}

void TableManagerWindow::deleteSelectedDB2Tables()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kDeleteDB2Tables));
    TableList& list = *db2Tables();
    std::unique_ptr<DataConnection> connection;
    trap.step(100, [&] { connection = std::make_unique<DataConnection>(); });
    trap.step(102, [&] { setBusy(true); });
    // The connection opens before the selection test, once for the whole run.
    const bool opened = trap.step(104, [&] { openSide(DatabaseSide::DB2, *connection); });
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
            confirmed = dialogs_.question(DeleteConfirmationText(DatabaseSide::DB2, names), ApplicationTitle())
                == Answer::Yes;
        });
        std::vector<bool> chosen;
        if (confirmed)
            trap.step(108, [&] { chosen = selectedRows(list); });
        for (int i = static_cast<int>(chosen.size()) - 1; i >= 0; --i) {
            if (!trap.test(110, [&] { return chosen[static_cast<size_t>(i)]; }))
                continue;
            bool gone = false;
            trap.step(112, [&] {
                const QString name = list.text(i);
                OffGuiThread([&] { DropTable(DatabaseSide::DB2, *connection, name); });
                gone = true;
            });
            if (gone)
                trap.step(114, [&] { list.remove(i); });
        }
    }
    OffGuiThread([&] { connection.reset(); });  // a disconnect waits for the server too
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
    trap.step(122, [&] { setBusy(true); });
    // 124: the statement is built by RenameTable, names escaped.
    auto connection = std::make_unique<DataConnection>();
    if (trap.step(126, [&] { openSide(DatabaseSide::MySQL, *connection); })) {
        const bool renamed = trap.step(
            128, [&] { OffGuiThread([&] { RenameTable(DatabaseSide::MySQL, *connection, oldName, newName); }); });
        trap.step(130, [&] { OffGuiThread([&] { connection->close(); }); });
        if (renamed) {
            trap.step(132, [&] { list.remove(index); });
            trap.step(134, [&] { list.add(newName); });
        }
    }
    trap.step(136, [&] { setBusy(false); });
}

void TableManagerWindow::renameDB2Table()
{
    if (!beginAction())
        return;
    HandlerTrap trap(dialogs_, QString::fromLatin1(report_location::kRenameDB2Table));
    TableList& list = *db2Tables();
    std::unique_ptr<DataConnection> connection;
    trap.step(100, [&] { connection = std::make_unique<DataConnection>(); });
    trap.step(102, [&] { setBusy(true); });
    // The connection opens before any test.
    if (trap.step(104, [&] { openSide(DatabaseSide::DB2, *connection); })) {
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
                if (trap.step(120, [&] {
                        OffGuiThread([&] { RenameTable(DatabaseSide::DB2, *connection, oldName, newName); });
                    })) {
                    trap.step(122, [&] { list.remove(index); });
                    trap.step(124, [&] { list.add(newName); });
                    trap.step(126, [&] {
                        if (list.count() > 0)
                            list.setCurrentIndex(0);
                    });
                }
            }
        }
    }
    OffGuiThread([&] { connection.reset(); });  // a disconnect waits for the server too
    trap.step(134, [&] { setBusy(false); });
}
