#pragma once

class TableList;
class UserDialogs;
class Workspace;

// "Next >" fills the table manager's lists. Each asks its server
// first and clears the list only after the query succeeded; a failure leaves
// the list as it was and reaches the caller's trap. One yield per item.

// The MySQL tables ("SHOW TABLES;"); the first item becomes current.
void FillMySQLList(TableList& list, const Workspace& workspace, UserDialogs& dialogs);
// The tables of the DB2 login's current schema; no current item is set.
void FillDB2List(TableList& list, const Workspace& workspace, UserDialogs& dialogs);
