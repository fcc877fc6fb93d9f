#pragma once

#include "ConnectionProfile.h"
#include "DbError.h"

#include <string>

// The table-management statements of each side, identifiers escaped.
std::string DropTableSql(DatabaseSide side, const std::string& table);
std::string RenameTableSql(DatabaseSide side, const std::string& from, const std::string& to);

// The connection text of a side's profile.
std::string ConnectionStringFor(DatabaseSide side, const ConnectionProfile& profile);

// The server said the table does not exist (MySQL 1051/1146, DB2 SQL0204N; 42S02 on both).
bool IsNoSuchTableError(const DbError& error);
