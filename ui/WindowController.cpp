#include "WindowController.h"

#include "FormSupport.h"
#include "LoginWindow.h"
#include "QtDialogs.h"
#include "SettingsStore.h"
#include "TableFill.h"
#include "TableManagerWindow.h"

WindowController::WindowController()
        : WindowController(std::make_unique<QtDialogs>(), std::make_unique<SettingsStore>())
{
    static_cast<QtDialogs&>(*dialogs_).setParent(login_.get());
}

WindowController::WindowController(std::unique_ptr<UserDialogs> dialogs, std::unique_ptr<SettingsStore> settings)
        : dialogs_(std::move(dialogs)), settings_(std::move(settings)), actions_([this] { endProgram(); }),
          login_(std::make_unique<LoginWindow>(*this))
{
    workspace_.setActivityLog(ActivityLog::defaultFilePath());
}

WindowController::~WindowController() = default;

void WindowController::startUp()
{
    login_->runStartUpSequence();
    if (!ending_ && (!tableManager_ || !tableManager_->isVisible()))
        login_->show();
}

TableManagerWindow& WindowController::ensureTableManager()
{
    if (!tableManager_) {
        tableManager_ = std::make_unique<TableManagerWindow>(*this);
        // From the GUI thread while the send runs on its own.
        connect(tableManager_.get(), &TableManagerWindow::cancelRequested, this, [this] { workspace_.cancel(); });
        tableManager_->load();
    }
    return *tableManager_;
}

ConnectionProfile WindowController::currentProfile(DatabaseSide side) const { return login_->currentProfile(side); }

Workspace& WindowController::workspace()
{
    for (const DatabaseSide side : {DatabaseSide::MySQL, DatabaseSide::DB2})
        workspace_.setLogin(side, currentProfile(side));
    if (tableManager_)
        workspace_.setOptions(tableManager_->transferOptions());
    return workspace_;
}

void WindowController::fillTableList(DatabaseSide side)
{
    TableManagerWindow& manager = ensureTableManager();
    if (side == DatabaseSide::MySQL)
        FillMySQLList(*manager.mysqlTables(), workspace(), *dialogs_);
    else
        FillDB2List(*manager.db2Tables(), workspace(), *dialogs_);
}

void WindowController::showTableManager()
{
    TableManagerWindow& manager = ensureTableManager();
    manager.setStatusText(QString());
    ShowInPlaceOf(&manager, login_.get());
}

void WindowController::showLogin() { ShowInPlaceOf(login_.get(), tableManager_.get()); }

void WindowController::endProgram()
{
    if (ending_)
        return;
    ending_ = true;
    if (tableManager_)
        tableManager_->hide();
    login_->hide();
    emit programEnd();
}
