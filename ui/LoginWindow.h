#pragma once

#include "ConnectionProfile.h"
#include "UserDialogs.h"
#include "WindowHost.h"

#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QProxyStyle;
class SettingsStore;
class WindowPointer;

// The login window: both connection profiles as ten fields, a connection test
// and a help text per side, and "Next >" to the table manager. Loading it is
// the start-up sequence.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoginWindow(WindowHost& host, QWidget* parent = nullptr);
    ~LoginWindow() override;

    // The live connection profiles, read from the fields at the moment of use.
    ConnectionProfile currentMySQLProfile() const;
    ConnectionProfile currentDB2Profile() const;
    ConnectionProfile currentProfile(DatabaseSide side) const;

    // The window's mouse pointer; mousePointer() is its MousePointer value.
    int mousePointer() const;
    void setPointer(Pointer pointer);
    WindowPointer& pointer() { return *pointer_; }

    UserDialogs& dialogs() { return host_.dialogs(); }
    SettingsStore& settings() { return host_.settings(); }

public slots:
    // Prepares the window, fills the fields from the settings store and moves
    // on to the table manager when both stored logins still work.
    void runStartUpSequence();
    // "Next >": checks both logins, fills both lists and shows the table manager.
    void openTableManager();
    void testMySQLConnection();
    void testDB2Connection();
    void showMySQLHelp();
    void showDB2Help();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The five fields of one side, in the order the frame shows them.
    struct ProfileFields {
        QLineEdit* server = nullptr;
        QLineEdit* port = nullptr;
        QLineEdit* user = nullptr;
        QLineEdit* password = nullptr;
        QLineEdit* database = nullptr;
        // Below them: the connection options (schema: DB2 only; client
        // certificate and key: MySQL only).
        QLineEdit* schema = nullptr;
        QCheckBox* encrypted = nullptr;
        QLineEdit* caCertificate = nullptr;
        QLineEdit* clientCertificate = nullptr;
        QLineEdit* clientKey = nullptr;
    };

    void buildControls();
    QGroupBox* buildLoginFrame(const char* frameName, const QString& caption, int top, ProfileFields& fields,
                               const char* const fieldNames[5], const char* const labelNames[5],
                               QPushButton*& testButton, const char* testName, QPushButton*& helpButton,
                               const char* helpName);
    // The option rows of a frame from `row` on; returns the number of rows used.
    int buildOptionRows(QGroupBox* frame, DatabaseSide side, int row, ProfileFields& fields);
    // Each option writes through to the store under its key, as the fields do.
    void connectOptionsToSettings(DatabaseSide side, ProfileFields& fields);
    void fillOptionsFromSettings();
    // "Keep passwords in the system keyring": moves them, and says once when no keyring answers.
    void keepPasswordsInKeyring(bool on);
    void tellKeyringProblem();
    void setTabOrder();
    void buildKeyboardAccess();
    // The ten fields in the order of the settings keys (kLoginSettings).
    std::array<QLineEdit*, 10> fieldsInSettingsOrder() const;
    static ConnectionProfile profileOf(const ProfileFields& fields);
    void writeFieldToSettings(QLineEdit* field, const QString& key);
    void selectWholeText(QLineEdit* field);
    // Disables the buttons while an action runs.
    void setBusy(bool busy);
    void testConnection(DatabaseSide side);
    // Whether a connection with the side's current profile opens (off the GUI thread).
    bool loginWorks(DatabaseSide side) const;

    WindowHost& host_;
    UserDialogs& dialogs_;
    WindowPointer* pointer_;

    QGroupBox* db2Frame_ = nullptr;
    QGroupBox* mysqlFrame_ = nullptr;
    ProfileFields db2Fields_;
    ProfileFields mysqlFields_;
    QPushButton* testDB2Button_ = nullptr;
    QPushButton* db2HelpButton_ = nullptr;
    QPushButton* testMySQLButton_ = nullptr;
    QPushButton* mysqlHelpButton_ = nullptr;
    QCheckBox* keyringBox_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QProxyStyle* passwordStyle_ = nullptr;
};
