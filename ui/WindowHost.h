#pragma once

#include "ConnectionProfile.h"

class ActionState;
class SettingsStore;
class UserDialogs;
class Workspace;

// What the two windows reach of each other and of the program, through the
// controller that owns them: neither window knows the other.
class WindowHost {
public:
    virtual ~WindowHost() = default;

    virtual UserDialogs& dialogs() = 0;
    virtual SettingsStore& settings() = 0;
    virtual ActionState& actions() = 0;
    // The login of a side as its fields on the login window hold it now.
    virtual ConnectionProfile currentProfile(DatabaseSide side) const = 0;
    // What the window does to the servers, with the logins as the login
    // window's fields hold them now and the table manager's options.
    virtual Workspace& workspace() = 0;
    // "Next >": the table manager's list of a side filled from its server
    // (the table manager is built on first use).
    virtual void fillTableList(DatabaseSide side) = 0;
    // One window takes the other's place.
    virtual void showTableManager() = 0;
    virtual void showLogin() = 0;
    // Both windows go and the application ends.
    virtual void endProgram() = 0;
};
