#pragma once

#include "ActionState.h"
#include "WindowHost.h"
#include "Workspace.h"

#include <QObject>

#include <memory>

class LoginWindow;
class TableManagerWindow;

// The program's windows: owns the settings store, the dialogs, the login
// window and the table manager (built on the first "Next >"), and runs the
// start-up.
class WindowController : public QObject, public WindowHost {
    Q_OBJECT
public:
    // Real boxes and the user's own settings file.
    WindowController();
    // Tests answer the boxes and keep the settings apart.
    WindowController(std::unique_ptr<UserDialogs> dialogs, std::unique_ptr<SettingsStore> settings);
    ~WindowController() override;

    // The start-up sequence; the login window shows unless it moved on to the table manager.
    void startUp();
    bool ended() const { return ending_; }

    LoginWindow& login() { return *login_; }
    // Null until the first "Next >".
    TableManagerWindow* tableManager() const { return tableManager_.get(); }
    // The table manager as the first "Next >" prepares it, lists not filled.
    TableManagerWindow& ensureTableManager();

    UserDialogs& dialogs() override { return *dialogs_; }
    SettingsStore& settings() override { return *settings_; }
    ActionState& actions() override { return actions_; }
    ConnectionProfile currentProfile(DatabaseSide side) const override;
    Workspace& workspace() override;
    void fillTableList(DatabaseSide side) override;
    void showTableManager() override;
    void showLogin() override;
    void endProgram() override;

signals:
    // Closing either window ends the program; main quits on this.
    void programEnd();

private:
    std::unique_ptr<UserDialogs> dialogs_;
    std::unique_ptr<SettingsStore> settings_;
    ActionState actions_;
    Workspace workspace_;
    std::unique_ptr<LoginWindow> login_;
    std::unique_ptr<TableManagerWindow> tableManager_;
    bool ending_ = false;
};
