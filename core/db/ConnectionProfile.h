#pragma once

#include <string>

enum class DatabaseSide { MySQL, DB2 };

// The login data of one side, plain text exactly as typed.
struct ConnectionProfile {
    std::string server;
    std::string port;
    std::string user;
    std::string password;
    std::string database;

    bool operator==(const ConnectionProfile&) const = default;
};

// DRIVER={MySQL ODBC 5.1 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;PORT=..;
// A value holding ";", "{" or "}" is wrapped in braces ("}" doubled), so no
// value can add or change an attribute; every other value passes verbatim.
std::string MySQLConnectionString(const ConnectionProfile& profile);

// Driver={IBM DB2 ODBC DRIVER};Database=..;Hostname=..;Port=..;Protocol=TCPIP;Uid=..;Pwd=..;
// The DB2 driver has no quoting, so a value holding ";" cannot be sent at all:
// throws DbError (SQLSTATE HY024) naming the field instead.
std::string DB2ConnectionString(const ConnectionProfile& profile);
