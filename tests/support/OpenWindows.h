#pragma once

#include "FakeDialogs.h"
#include "LoginWindow.h"
#include "SettingsStore.h"
#include "TableManagerWindow.h"
#include "WindowController.h"

#include <QStandardPaths>
#include <QString>

#include <memory>

// Both windows as the program builds them, through its controller, with boxes
// the test answers (FakeDialogs unless given others) and a settings file of
// the test's own; the activity log goes to Qt's test folders, never the user's.
class OpenWindows {
public:
    explicit OpenWindows(const QString& settingsFile,
                         std::unique_ptr<UserDialogs> dialogs = std::make_unique<FakeDialogs>())
            : controller_((QStandardPaths::setTestModeEnabled(true), std::move(dialogs)),
                          std::make_unique<SettingsStore>(settingsFile))
    {
    }

    WindowController& controller() { return controller_; }
    FakeDialogs& dialogs() { return static_cast<FakeDialogs&>(controller_.dialogs()); }
    SettingsStore& settings() { return controller_.settings(); }
    LoginWindow& login() { return controller_.login(); }
    // Null until "Next >" (or builtManager()) made it.
    TableManagerWindow* manager() const { return controller_.tableManager(); }
    // The table manager as the first "Next >" prepares it, its lists empty.
    TableManagerWindow& builtManager() { return controller_.ensureTableManager(); }

private:
    WindowController controller_;
};
