#pragma once

#include "ConnectionProfile.h"
#include "SqlDialect.h"
#include "Workspace.h"
#include "UserDialogs.h"

#include <QString>

#include <functional>

inline constexpr const char* kConnectionSuccessful = "Connection successful.";
inline constexpr const char* kMySQLConnectFailed
    = "Could not connect. Please check with your administrator. Make sure you are allowed to connect to your "
      "database remotely and not just through web-based control panels.";
// The failure's second paragraph, by the part of the login it points at;
// empty when the driver's codes do not tell.
QString LoginFaultText(LoginFault fault);
inline constexpr const char* kDB2ConnectFailed
    = "Could not connect. Please check server, username, password, database with your administrator.";

// "Test Connection" of one side: tests the login the workspace holds at the
// moment of use and says whether it worked. The failure box keeps its fixed
// text, adds which part of the login the driver's codes point at, and
// carries the driver's message as detail. Returns that part (Unknown when
// the connection worked or the codes do not tell).
LoginFault RunConnectionTest(DatabaseSide side, const std::function<const Workspace&()>& workspaceNow,
                             UserDialogs& dialogs, const std::function<void(Pointer)>& setPointer);
