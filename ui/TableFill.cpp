#include "TableFill.h"

#include "OffGuiThread.h"
#include "TableList.h"
#include "TableOperations.h"
#include "UserDialogs.h"

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

void FillMySQLList(TableList& list, const ConnectionProfile& profile, UserDialogs& dialogs)
{
    const std::vector<std::string> names = OffGuiThread([&] { return ListTables(DatabaseSide::MySQL, profile); });
    refill(list, names, dialogs);
    if (list.count() > 0)
        list.setCurrentIndex(0);
}

void FillDB2List(TableList& list, const ConnectionProfile& profile, UserDialogs& dialogs)
{
    const std::vector<std::string> names = OffGuiThread([&] { return ListTables(DatabaseSide::DB2, profile); });
    refill(list, names, dialogs);
}
