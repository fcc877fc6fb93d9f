#pragma once

#include "ColumnTypes.h"
#include "UserDialogs.h"
#include "WindowHost.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class LoggingDialogs;
class SessionLogWindow;
class StatusLine;
class TableList;
class WindowPointer;

// The table manager: the MySQL tables on the left, the IBM DB2 tables on the
// right, each with a filter box, select all, deselect all, send, delete and
// rename; the progress bar, options and status line of the transfers;
// "< Back" and "Help". The window can be resized (the lists grow)
// and remembers its size and position in the settings store.
class TableManagerWindow : public QWidget {
    Q_OBJECT
public:
    explicit TableManagerWindow(WindowHost& host, QWidget* parent = nullptr);
    ~TableManagerWindow() override;

    TableList* mysqlTables() const { return mysql_.list; }
    TableList* db2Tables() const { return db2_.list; }
    QLineEdit* mysqlFilter() const { return mysql_.filter; }
    QLineEdit* db2Filter() const { return db2_.filter; }
    QProgressBar* progressBar() const { return progressBar_; }
    // The line under the progress bar: progress while a transfer runs, its
    // summary afterwards; cleared when an action starts and on Back and Next.
    // Cut at the window's width; the whole text is its tooltip.
    void setStatusText(const QString& text);
    QString statusText() const;
    // What an action did: on the status line and in the session's log.
    void showOutcome(const QString& text);
    // The session's messages, which "Log" shows.
    SessionLogWindow* sessionLog() const { return sessionLog_.get(); }
    QPushButton* logButton() const { return logButton_; }
    // "Cancel", shown only while a transfer runs.
    QPushButton* cancelButton() const { return cancel_; }

    // Room for the options of a transfer, under the progress bar: a widget
    // added here (a check box) shows in one row, left to right, and is
    // disabled while an action runs. The row is hidden while it holds
    // nothing; the first option makes the window taller by the row.
    void addTransferOption(QWidget* option);
    // Options added after this go on a new row below the others.
    void startTransferOptionRow();
    // The options of the two check boxes, remembered in the settings store.
    TransferOptions transferOptions() const;
    QCheckBox* matchingTypesCheck() const { return matchingTypes_; }
    QCheckBox* copyKeysCheck() const { return copyKeys_; }
    QCheckBox* upperCaseNamesCheck() const { return upperCaseNames_; }
    QCheckBox* verifyAfterSendingCheck() const { return verifyAfter_; }
    QComboBox* existingTablesCombo() const { return existingTables_; }
    QCheckBox* allowRoundingCheck() const { return allowRounding_; }
    QSpinBox* parallelStreamsSpin() const { return parallelStreams_; }
    // "Ask about existing tables before sending": one question before a send
    // starts instead of one as each table is reached.
    QCheckBox* askFirstCheck() const { return askFirst_; }

    // While an action runs: every button but Cancel and the options are
    // disabled, clicks are ignored and the pointer is busy; afterwards
    // they come back and the pointer is the arrow, or the program ends when
    // a window was closed meanwhile.
    void setBusy(bool busy);

    int mousePointer() const;  // the MousePointer value of the window's pointer
    void setPointer(Pointer pointer);
    WindowPointer& pointer() { return *pointer_; }
    UserDialogs& dialogs() { return dialogs_; }

    // Runs a box the user answers during a transfer; its time does not count
    // as copying time in the summary.
    void waitForUser(const std::function<void()>& box);
    double secondsWithUserSoFar() const { return secondsWithUser_; }

    // The size the window opens with when none is remembered.
    static QSize defaultSize();

public slots:
    // Prepares the window once, on the first "Next >".
    void load();
    void sendToDb2();
    void sendToMySQL();
    void deleteSelectedMySQLTables();
    void deleteSelectedDB2Tables();
    void renameMySQLTable();
    void renameDB2Table();
    void selectAllMySQLTables();
    void deselectAllMySQLTables();
    void selectAllDB2Tables();
    void deselectAllDB2Tables();
    // "Refresh" (F5 in the list): the list read again from its database.
    void refreshMySQLTables();
    void refreshDB2Tables();
    // "< Back": the login window takes this window's place.
    void goBack();
    void showHelp();

signals:
    // "Cancel" was pressed during a transfer, or the user chose to stop it.
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct SideControls {
        QGroupBox* frame = nullptr;
        QLineEdit* filter = nullptr;
        TableList* list = nullptr;
        QPushButton* selectAll = nullptr;
        QPushButton* deselectAll = nullptr;
        QPushButton* send = nullptr;
        QPushButton* remove = nullptr;
        QPushButton* rename = nullptr;
        QPushButton* refresh = nullptr;
    };
    struct SideNames {
        const char* frame;
        const char* filter;
        const char* list;
        const char* selectAll;
        const char* deselectAll;
        const char* send;
        const char* remove;
        const char* rename;
        const char* refresh;
    };

    void buildControls();
    void buildOptionChecks();
    void buildKeyboardAccess();
    SideControls buildSide(const QString& caption, const QString& sendCaption, const SideNames& names);
    // Starts an action: false while another one runs; clears the status line.
    bool beginAction();
    void sendTables(bool toDB2);
    // The workspace's session of a side with the current login, and what the
    // window does with it; each off the GUI thread, throwing as the core does.
    void openSide(DatabaseSide side);
    void closeSide(DatabaseSide side);
    void dropTable(DatabaseSide side, const QString& table, bool view);
    // False when the new name is taken: said in a message, nothing renamed.
    bool renameTable(DatabaseSide side, const QString& from, const QString& to);
    void selectAll(const char* location, TableList& list, bool selected);
    void refreshTables(DatabaseSide side);
    // The side's Refresh button and F5 in its list, and the button's place
    // in the tab order, after the filter.
    void connectRefresh(const SideControls& side, void (TableManagerWindow::*refresh)());
    void rememberGeometry();
    void restoreRememberedGeometry();
    QList<QPushButton*> actionButtons() const;

    WindowHost& host_;
    std::unique_ptr<SessionLogWindow> sessionLog_;  // a window of its own, kept above this one
    std::unique_ptr<LoggingDialogs> loggingDialogs_;
    UserDialogs& dialogs_;
    WindowPointer* pointer_;
    bool transferRunning_ = false;
    QPointer<QWidget> focusBeforeBusy_;  // where the keyboard focus was when an action began
    double secondsWithUser_ = 0;

    SideControls mysql_;
    SideControls db2_;
    QWidget* options_ = nullptr;
    QBoxLayout* optionsLayout_ = nullptr;
    QCheckBox* matchingTypes_ = nullptr;
    QCheckBox* copyKeys_ = nullptr;
    QCheckBox* upperCaseNames_ = nullptr;
    QCheckBox* verifyAfter_ = nullptr;
    QComboBox* existingTables_ = nullptr;
    QCheckBox* allowRounding_ = nullptr;
    QSpinBox* parallelStreams_ = nullptr;
    QCheckBox* askFirst_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    StatusLine* status_ = nullptr;
    QPushButton* logButton_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
};
