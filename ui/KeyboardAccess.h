#pragma once

#include "ObjectNames.h"

#include <QKeySequence>

#include <initializer_list>
#include <span>

class QPushButton;
class QWidget;

// A control's access key (Alt and the letter): the first occurrence of the
// letter in its caption is underlined; the caption reads as before.
struct AccessKey {
    const char* objectName;
    char letter;
};

// One letter per control of a window.
inline constexpr AccessKey kLoginAccessKeys[] = {
    {object_name::kTestDB2Connection, 'T'}, {object_name::kDB2Help, 'H'}, {object_name::kTestMySQLConnection, 'C'},
    {object_name::kMySQLHelp, 'e'},         {object_name::kNext, 'N'},
};
inline constexpr AccessKey kTableManagerAccessKeys[] = {
    {object_name::kSelectAllMySQLTables, 'S'},
    {object_name::kDeselectAllMySQLTables, 'D'},
    {object_name::kSendToDB2, 'I'},
    {object_name::kDeleteMySQLTables, 't'},
    {object_name::kRenameMySQLTable, 'n'},
    {object_name::kSelectAllDB2Tables, 'A'},
    {object_name::kDeselectAllDB2Tables, 'l'},
    {object_name::kSendToMySQL, 'M'},
    {object_name::kDeleteDB2Tables, 'b'},
    {object_name::kRenameDB2Table, 'e'},
    {object_name::kCancel, 'C'},
    {object_name::kBack, 'k'},
    {object_name::kTableManagerHelp, 'H'},
    {object_name::kMatchingDB2Types, 'y'},
    {object_name::kCopyPrimaryKeys, 'p'},
    {object_name::kUpperCaseDB2Names, 'U'},
    {object_name::kAllowRounding, 'w'},
    {object_name::kAskExistingFirst, 'x'},
    {object_name::kVerifyAfterSending, 'V'},
    {object_name::kRefreshMySQLTables, 'R'},
    {object_name::kRefreshDB2Tables, 'f'},
};

// Marks the access key in the caption of each button named in `keys`.
void ApplyAccessKeys(QWidget* window, std::span<const AccessKey> keys);

// A button's action offered beside it on a list: in the list's context menu,
// and by its key (none when empty) while the list has the focus. The action
// is enabled with the button and clicks it, so it goes the button's way.
struct ListAction {
    QPushButton* button;
    QKeySequence key;
};
void AddListActions(QWidget* list, std::initializer_list<ListAction> actions);
