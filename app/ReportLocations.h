#pragma once

// Where the error report says a failure happened ("in Hopbridge2017/04/05." +
// location). Users quote these texts to support, so they keep the wording the
// report has always had, whatever the handlers are called in the code.
namespace report_location {

// Login window
inline constexpr const char* kStartUp = "Form1.Form_Load";
inline constexpr const char* kTestMySQLConnection = "Form1.PushButton1_Click";
inline constexpr const char* kOpenTableManager = "Form1.PushButton2_Click";
inline constexpr const char* kTestDB2Connection = "Form1.PushButton3_Click";
inline constexpr const char* kMySQLHelp = "Form1.PushButton4_Click";
inline constexpr const char* kDB2Help = "Form1.PushButton5_Click";

// Table manager
inline constexpr const char* kTableManagerLoad = "Form2.Form_Load";
inline constexpr const char* kDeleteMySQLTables = "Form2.PushButton1_Click";
inline constexpr const char* kBack = "Form2.PushButton2_Click";
inline constexpr const char* kSendToDB2 = "Form2.PushButton3_Click";
inline constexpr const char* kSendToMySQL = "Form2.PushButton4_Click";
inline constexpr const char* kDeleteDB2Tables = "Form2.PushButton5_Click";
inline constexpr const char* kRenameMySQLTable = "Form2.PushButton6_Click";
inline constexpr const char* kRenameDB2Table = "Form2.PushButton7_Click";
inline constexpr const char* kSelectAllDB2Tables = "Form2.PushButton8_Click";
inline constexpr const char* kDeselectAllDB2Tables = "Form2.PushButton9_Click";
inline constexpr const char* kSelectAllMySQLTables = "Form2.PushButton10_Click";
inline constexpr const char* kDeselectAllMySQLTables = "Form2.PushButton11_Click";
inline constexpr const char* kTableManagerHelp = "Form2.PushButton12_Click";
inline constexpr const char* kRefreshMySQLTables = "Form2.RefreshMySQLTables_Click";
inline constexpr const char* kRefreshDB2Tables = "Form2.RefreshDB2Tables_Click";

}  // namespace report_location
