#pragma once

// Qt object names of the windows and their controls. They keep the names the
// windows were designed with, so tests and automation find the controls by
// the same names as ever; the code itself uses the members' own names.
namespace object_name {

// Login window
inline constexpr const char* kLoginWindow = "Form1";
inline constexpr const char* kDB2LoginFrame = "Frame1";
inline constexpr const char* kMySQLLoginFrame = "Frame2";
inline constexpr const char* kTestMySQLConnection = "PushButton1";
inline constexpr const char* kNext = "PushButton2";
inline constexpr const char* kTestDB2Connection = "PushButton3";
inline constexpr const char* kMySQLHelp = "PushButton4";
inline constexpr const char* kDB2Help = "PushButton5";
// The login fields are "Text1" (DB2 server) to "Text10" (MySQL port).

// Table manager
inline constexpr const char* kTableManagerWindow = "Form2";
inline constexpr const char* kMySQLTablesFrame = "Frame1";
inline constexpr const char* kDB2TablesFrame = "Frame2";
inline constexpr const char* kMySQLTables = "List1";
inline constexpr const char* kDB2Tables = "List2";
inline constexpr const char* kDeleteMySQLTables = "PushButton1";
inline constexpr const char* kBack = "PushButton2";
inline constexpr const char* kSendToDB2 = "PushButton3";
inline constexpr const char* kSendToMySQL = "PushButton4";
inline constexpr const char* kDeleteDB2Tables = "PushButton5";
inline constexpr const char* kRenameMySQLTable = "PushButton6";
inline constexpr const char* kRenameDB2Table = "PushButton7";
inline constexpr const char* kSelectAllDB2Tables = "PushButton8";
inline constexpr const char* kDeselectAllDB2Tables = "PushButton9";
inline constexpr const char* kSelectAllMySQLTables = "PushButton10";
inline constexpr const char* kDeselectAllMySQLTables = "PushButton11";
inline constexpr const char* kTableManagerHelp = "PushButton12";
inline constexpr const char* kProgressBar = "ProgressBar1";
// Controls the designed window did not have.
inline constexpr const char* kMySQLTablesFilter = "MySQLTablesFilter";
inline constexpr const char* kDB2TablesFilter = "DB2TablesFilter";
inline constexpr const char* kCancel = "CancelButton";
inline constexpr const char* kStatusLine = "StatusLabel";
inline constexpr const char* kSessionLog = "LogButton";
inline constexpr const char* kOptions = "OptionsArea";
inline constexpr const char* kMatchingDB2Types = "matchingDb2TypesCheck";
inline constexpr const char* kCopyPrimaryKeys = "copyPrimaryKeysCheck";
inline constexpr const char* kExistingTables = "existingTablesCombo";
inline constexpr const char* kAllowRounding = "allowRoundingCheck";
inline constexpr const char* kUpperCaseDB2Names = "upperCaseDb2NamesCheck";
inline constexpr const char* kAskExistingFirst = "askExistingFirstCheck";
inline constexpr const char* kVerifyAfterSending = "verifyAfterSendingCheck";
inline constexpr const char* kParallelStreams = "parallelStreamsSpin";
inline constexpr const char* kRefreshMySQLTables = "RefreshMySQLTables";
inline constexpr const char* kRefreshDB2Tables = "RefreshDB2Tables";

}  // namespace object_name
