#pragma once

#include "ConnectionProfile.h"
#include "TableEstimate.h"

#include <QString>

class TableList;
class UserDialogs;
class Workspace;

// "Next >" fills the table manager's lists. Each asks its server
// first and clears the list only after the query succeeded; a failure leaves
// the list as it was and reaches the caller's trap. One yield per item.
// Each name's row shows the server's estimate of its rows and size, and
// whether it is a view.

// The MySQL tables ("SHOW TABLES;"); the first item becomes current.
void FillMySQLList(TableList& list, const Workspace& workspace, UserDialogs& dialogs);
// The tables of the DB2 login's current schema; no current item is set.
void FillDB2List(TableList& list, const Workspace& workspace, UserDialogs& dialogs);

// Refresh: lists the side's tables again without clearing the list. Names
// that are gone leave it, new ones take their sorted place, so the selection
// and current item of names that remain, and the rows in view, stay put.
// Throws as the fills do, leaving the list as it was.
void RefreshTableList(TableList& list, DatabaseSide side, const Workspace& workspace, UserDialogs& dialogs);

// "about 1,204 rows, 96 KB (estimate)", in the user's locale; "unknown" parts
// where the server has no statistics.
QString EstimateText(const TableEstimate& estimate);
