#pragma once

#include "ColumnTypes.h"

#include <QWidget>

class Form1;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TableList;
class UserDialogs;
class WindowPointer;

// The table manager: the MySQL tables on the left, the IBM DB2 tables on the
// right, each with select all, deselect all, send, delete and rename; the
// progress bar of the transfers; "< Back" and "Help".
class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(Form1& login, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~Form2() override;

    TableList* List1() const { return List1_; }  // "MySQL Tables"
    TableList* List2() const { return List2_; }  // "IBM DB2 Tables"
    QProgressBar* ProgressBar1() const { return ProgressBar1_; }
    // One line under the progress bar for the end of a run (empty by default).
    void setStatusText(const QString& text);
    QString statusText() const;
    // The transfer options of the two check boxes, remembered in the settings store.
    TransferOptions transferOptions() const;
    QCheckBox* matchingTypesCheck() const { return matchingTypes_; }
    QCheckBox* copyKeysCheck() const { return copyKeys_; }
    // "Cancel", shown only while a transfer runs.
    QPushButton* cancelButton() const { return cancel_; }

    // While an action runs: every button but Cancel is disabled and the pointer
    // is busy (11); afterwards the buttons come back and the pointer is the arrow.
    void setBusy(bool busy);
    bool isBusy() const { return busy_; }

    int mousePointer() const;
    void setMousePointer(int value);
    WindowPointer& pointer() { return *pointer_; }
    Form1& login() { return login_; }
    UserDialogs& dialogs() { return dialogs_; }

public slots:
    void Form_Load();
    void PushButton1_Click();   // "Delete Table/s" (MySQL)
    void PushButton2_Click();   // "< Back"
    void PushButton3_Click();   // "Send Table/s To IBM DB2"
    void PushButton4_Click();   // "Send Table/s To MySQL"
    void PushButton5_Click();   // "Delete Table/s" (IBM DB2)
    void PushButton6_Click();   // "Rename Table" (MySQL)
    void PushButton7_Click();   // "Rename Table" (IBM DB2)
    void PushButton8_Click();   // "Select All" (IBM DB2)
    void PushButton9_Click();   // "Deselect All" (IBM DB2)
    void PushButton10_Click();  // "Select All" (MySQL)
    void PushButton11_Click();  // "Deselect All" (MySQL)
    void PushButton12_Click();  // "Help"
    void Form_Unload();

signals:
    // "Cancel" was pressed during a transfer.
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void sendTables(bool toDB2);
    void buildControls();
    void buildOptionChecks();
    QGroupBox* buildSide(const char* frameName, const QString& caption, int left, TableList*& list,
                         const char* listName, const int buttonNumbers[5], const char* const captions[5]);
    QPushButton* button(int number) const { return PushButton[number]; }

    Form1& login_;
    UserDialogs& dialogs_;
    WindowPointer* pointer_;
    bool busy_ = false;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    TableList* List1_ = nullptr;
    TableList* List2_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QCheckBox* matchingTypes_ = nullptr;
    QCheckBox* copyKeys_ = nullptr;
    QPushButton* PushButton[13] = {};  // PushButton[1] .. PushButton[12]
};
