#include "TableFill.h"

#include "OffGuiThread.h"
#include "TableList.h"
#include "UserDialogs.h"
#include "Workspace.h"

namespace {

void refill(TableList& list, const std::vector<std::string>& names, UserDialogs& dialogs)
{
    list.clear();
    for (const std::string& name : names) {
        dialogs.yield();
        list.add(QString::fromStdString(name));
    }
}

}  // namespace

void FillMySQLList(TableList& list, const Workspace& workspace, UserDialogs& dialogs)
{
    const std::vector<std::string> names = OffGuiThread([&] { return workspace.listTables(DatabaseSide::MySQL); });
    refill(list, names, dialogs);
    if (list.count() > 0)
        list.setCurrentIndex(0);
}

void FillDB2List(TableList& list, const Workspace& workspace, UserDialogs& dialogs)
{
    const std::vector<std::string> names = OffGuiThread([&] { return workspace.listTables(DatabaseSide::DB2); });
    refill(list, names, dialogs);
}
