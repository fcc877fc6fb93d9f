#pragma once

#include <QString>

// The pieces of the help texts. The separator is two
// carriage returns: a line break and an empty line.
namespace help {

inline constexpr const char* kSeparator = "\r\r";

// Web pages we chose: MySQL's archive of the MySQL GUI Tools downloads, IBM's
// page of the initial DB2 9.1 clients and drivers, IBM's support portal, and the
// maker's contact page.
inline constexpr const char* kMySQLGuiToolsAddress = "https://downloads.mysql.com/archives/gui/";
inline constexpr const char* kDB2VendorDomain = "www.ibm.com";
inline constexpr const char* kDB2DownloadAddress
    = "https://www.ibm.com/support/pages/download-initial-version-91-clients-and-drivers";
inline constexpr const char* kDB2SupportAddress = "https://www.ibm.com/mysupport/";
inline constexpr const char* kContactAddress = "https://www.quarnel.com/contact/";

inline constexpr const char* kMySQLOpening
    = "If you cannot establish connection to your database with this program, please go to: ";
inline constexpr const char* kMySQLParagraph1
    = "Download and install the MySQL GUI Tools. Use the MySQL Query Browser. Try to connect to ";
inline constexpr const char* kMySQLParagraph2
    = "the same database (with the same login information you are using here). This will determine if ";
inline constexpr const char* kMySQLParagraph3 = "the login you are using is correct.";
inline constexpr const char* kMySQLClosing
    = " Finally, make sure your host allows a direct connection to your MySQL database -- not a web based connection, "
      "for example.";

inline constexpr const char* kDB2Lines[10] = {
    "Here is how I connected to my IBM DB2 database.",
    "I went to www.ibm.com",
    "specifically",
    kDB2DownloadAddress,
    "Downloaded and installed the DB2 Client (not DB2 Runtime Client)",
    "I personally got the",
    "DB2 9 Client for Windows on 32-bit AMD and Intel systems (x86)",
    "If you are using Windows XP, there may be a firewall preventing you from connecting. You may need to add the DB2 "
    "port.",
    "Please visit:",
    kDB2SupportAddress,
};

inline constexpr const char* kTableManagerHelp = "Questions? Please contact Team Quarnel at ";

}  // namespace help
