// The table manager's Refresh buttons: a list read again from its database
// without losing the user's place in it.
#include "ActionState.h"
#include "ErrorReport.h"
#include "ReportLocations.h"
#include "TableFill.h"
#include "TableList.h"
#include "TableManagerWindow.h"

#include <QLineEdit>
#include <QPushButton>

void TableManagerWindow::connectRefresh(const SideControls& side, void (TableManagerWindow::*refresh)())
{
    // F5 and the list's context menu click the button (keyboard access).
    connect(side.refresh, &QPushButton::clicked, this, refresh);
    QWidget::setTabOrder(side.filter, side.refresh);
    QWidget::setTabOrder(side.refresh, side.list);
}

// Not an action that clears the status line: a refresh between two sends
// leaves the last summary to read.
void TableManagerWindow::refreshTables(DatabaseSide side)
{
    if (host_.actions().running())
        return;
    const bool mysql = side == DatabaseSide::MySQL;
    HandlerTrap trap(
        dialogs_,
        QString::fromLatin1(mysql ? report_location::kRefreshMySQLTables : report_location::kRefreshDB2Tables));
    trap.step(100, [&] { setBusy(true); });
    trap.step(102, [&] { RefreshTableList(mysql ? *mysql_.list : *db2_.list, side, host_.workspace(), dialogs_); });
    trap.step(104, [&] { setBusy(false); });
}

void TableManagerWindow::refreshMySQLTables() { refreshTables(DatabaseSide::MySQL); }

void TableManagerWindow::refreshDB2Tables() { refreshTables(DatabaseSide::DB2); }
