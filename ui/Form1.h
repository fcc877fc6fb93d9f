#pragma once

#include "ConnectionProfile.h"

#include <QWidget>

#include <memory>

class Form2;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QProxyStyle;
class SettingsStore;
class UserDialogs;
class WindowPointer;

// The login form: both connection profiles as ten fields, a connection test
// and a help text per side, and "Next >" to the table manager. Its load
// handler is the start-up sequence.
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1(UserDialogs& dialogs, SettingsStore& settings, QWidget* parent = nullptr);
    ~Form1() override;

    // Start of the program: runs the load handler, then shows the login form
    // unless the start-up already moved on to the table manager.
    void startUp();

    // The live connection profiles, read from the fields at the moment of use.
    ConnectionProfile CurrentMySQLProfile() const;
    ConnectionProfile CurrentDB2Profile() const;

    // The window's mouse pointer: 0 default, 11 busy, 99 hand.
    int mousePointer() const;
    void setMousePointer(int value);
    WindowPointer& pointer() { return *pointer_; }

    // The table manager: null until the first successful "Next >" creates it.
    Form2* tableManager() const { return form2_.get(); }
    UserDialogs& dialogs() { return dialogs_; }
    SettingsStore& settings() { return settings_; }

    // Ends the program: both windows go, the application quits.
    void endProgram();

public slots:
    void Form_Load();
    void PushButton1_Click();  // "Test Connection" (MySQL)
    void PushButton2_Click();  // "Next >"
    void PushButton3_Click();  // "Test Connection" (IBM DB2)
    void PushButton4_Click();  // "Help" (MySQL)
    void PushButton5_Click();  // "Help" (IBM DB2)
    void Form_Unload();

signals:
    // Closing either window ends the program; main quits on this.
    void programEnd();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QGroupBox* buildLoginFrame(const char* name, const QString& caption, int top, QLineEdit* fields[5],
                               const char* fieldNames[5], const char* labelNames[5], QPushButton* buttons[2],
                               const char* buttonNames[2]);
    void setTabOrder();
    // Change handler of one field: writes its whole text to the store.
    void Field_Change(QLineEdit* field, const QString& key);
    // Focus handler of one field: selects its whole text.
    void Field_GotFocus(QLineEdit* field);
    Form2& ensureTableManager();

    UserDialogs& dialogs_;
    SettingsStore& settings_;
    WindowPointer* pointer_;
    std::unique_ptr<Form2> form2_;
    bool ending_ = false;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Text[11] = {};  // Text[1] .. Text[10]
    QPushButton* PushButton[6] = {};  // PushButton[1] .. PushButton[5]
    QProxyStyle* passwordStyle_ = nullptr;
};
