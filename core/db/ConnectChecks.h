#pragma once

#include "ConnectionProfile.h"
#include "DbError.h"

#include <optional>

// Opens a connection with the profile's text and lets it go again. Returns the
// driver's error when it cannot be opened (also a connection text we refuse to
// send). Failing to get an ODBC environment at all is not an answer: it throws.
std::optional<DbError> TryConnectMySQL(const ConnectionProfile& profile);
std::optional<DbError> TryConnectDB2(const ConnectionProfile& profile);
// The same on a connection the caller made (and closes).
class DataConnection;
std::optional<DbError> TryConnect(DatabaseSide side, DataConnection& connection, const ConnectionProfile& profile);

// The silent checks of start-up and "Next >": true when the connection opened.
inline bool CanConnectMySQL(const ConnectionProfile& profile) { return !TryConnectMySQL(profile); }
inline bool CanConnectDB2(const ConnectionProfile& profile) { return !TryConnectDB2(profile); }
