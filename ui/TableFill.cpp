#include "TableFill.h"

#include "OffGuiThread.h"
#include "TableList.h"
#include "UserDialogs.h"
#include "Workspace.h"

#include <QLocale>

#include <set>

namespace {

struct Listing {
    std::vector<std::string> names;
    TableEstimates estimates;
};

Listing listTables(const Workspace& workspace, DatabaseSide side)
{
    return OffGuiThread([&] {
        Listing listing;
        listing.names = workspace.listTables(side, &listing.estimates);
        return listing;
    });
}

void refill(TableList& list, const Listing& listing, UserDialogs& dialogs)
{
    list.clear();
    for (const std::string& name : listing.names) {
        dialogs.yield();
        list.add(QString::fromStdString(name));
    }
    list.setEstimates(listing.estimates);
}

}  // namespace

QString EstimateText(const TableEstimate& estimate)
{
    if (!estimate.rows && !estimate.bytes)
        return QStringLiteral("rows and size unknown (no statistics)");
    const QLocale locale;
    const QString rows = estimate.rows ? QStringLiteral("about %1 %2")
                                             .arg(locale.toString(*estimate.rows),
                                                  *estimate.rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                                       : QStringLiteral("rows unknown");
    const QString size = estimate.bytes ? locale.formattedDataSize(
                             *estimate.bytes, *estimate.bytes < 1024 * 1024 ? 0 : 1, QLocale::DataSizeTraditionalFormat)
                                        : QStringLiteral("size unknown");
    return QStringLiteral("%1, %2 (estimate)").arg(rows, size);
}

void FillMySQLList(TableList& list, const Workspace& workspace, UserDialogs& dialogs)
{
    refill(list, listTables(workspace, DatabaseSide::MySQL), dialogs);
    if (list.count() > 0)
        list.setCurrentIndex(0);
}

void FillDB2List(TableList& list, const Workspace& workspace, UserDialogs& dialogs)
{
    refill(list, listTables(workspace, DatabaseSide::DB2), dialogs);
}

void RefreshTableList(TableList& list, DatabaseSide side, const Workspace& workspace, UserDialogs& dialogs)
{
    const Listing listing = listTables(workspace, side);
    std::set<QString> listed;
    for (const std::string& name : listing.names)
        listed.insert(QString::fromStdString(name));
    for (int i = list.count() - 1; i >= 0; --i)
        if (!listed.erase(list.text(i)))
            list.remove(i);
    for (const QString& name : listed) {
        dialogs.yield();
        list.add(name);
    }
    list.setEstimates(listing.estimates);
}
