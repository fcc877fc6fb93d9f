#pragma once

#include "ConnectionProfile.h"
#include "TableChanges.h"
#include "TableEstimate.h"

#include <string>
#include <vector>

class DataConnection;

// What both front ends do to the tables of one side, written once.

// Opens a session of the side with the profile (the side's session settings
// applied); throws DbError when it cannot.
void OpenSide(DatabaseSide side, DataConnection& connection, const ConnectionProfile& profile);

// The side's tables in the lists' order (TableNameBefore); throws DbError.
// Given `estimates`, also their statistics' estimates (ListMySQLTables).
std::vector<std::string> ListTables(DatabaseSide side, const ConnectionProfile& profile,
                                    TableEstimates* estimates = nullptr);

// What a DROP did: the table is gone (dropped, or the server did not know it),
// or it was refused: by the server (the driver's DbError) or by the tool,
// when something relies on the table or it stays in use (TableChangeRefused).
// A view (`view`) is dropped as a view.
DropOutcome DropTable(DatabaseSide side, DataConnection& connection, const std::string& table, bool view = false);

// Renames a table; throws DbError or TableChangeRefused as DropTable does.
void RenameTable(DatabaseSide side, DataConnection& connection, const std::string& from, const std::string& to);
