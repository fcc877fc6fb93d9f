#pragma once

#include "ConnectionProfile.h"
#include "Workspace.h"
#include "UserDialogs.h"

#include <functional>

inline constexpr const char* kConnectionSuccessful = "Connection successful.";
inline constexpr const char* kMySQLConnectFailed
    = "Could not connect. Please check with your administrator. Make sure you are allowed to connect to your "
      "database remotely and not just through web-based control panels.";
inline constexpr const char* kDB2ConnectFailed
    = "Could not connect. Please check server, username, password, database with your administrator.";

// "Test Connection" of one side: tests the login the workspace holds at the
// moment of use and says whether it worked. The failure box keeps its fixed
// text and carries the driver's message as detail.
void RunConnectionTest(DatabaseSide side, const std::function<const Workspace&()>& workspaceNow, UserDialogs& dialogs,
                       const std::function<void(Pointer)>& setPointer);
