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
    // DB2: the schema listed and worked in; empty: the login's own.
    std::string schema {};
    // An encrypted connection (TLS) whose server certificate must be signed
    // by the CA in caCertificate (empty: the client's own trusted CAs). Off:
    // the connection text is the plain one.
    bool encrypted = false;
    std::string caCertificate {};
    // MySQL: the client's own certificate and key, for servers that ask for one.
    std::string clientCertificate {};
    std::string clientKey {};

    bool operator==(const ConnectionProfile&) const = default;
};

// DRIVER={MySQL ODBC 5.1 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;PORT=..;
// encrypted adds SSLCA, SSLCERT, SSLKEY (those given), SSLVERIFY=1 and
// FORCETLS=1: the driver checks the server's certificate and never falls
// back to an unencrypted connection. A value holding ";", "{" or "}" is wrapped in braces ("}" doubled), so no
// value can add or change an attribute; every other value passes verbatim.
// A user name or password with a blank at either end throws DbError (HY024):
// the driver would take the blank off, even inside braces.
std::string MySQLConnectionString(const ConnectionProfile& profile);

// Driver={IBM DB2 ODBC DRIVER};Database=..;Hostname=..;Port=..;Protocol=TCPIP;Uid=..;Pwd=..;
// then CurrentSchema=..; when a schema is given, and Security=SSL; with
// SSLServerCertificate=..; (when a CA file is given) when encrypted.
// The DB2 driver has no quoting, so a value holding ";" cannot be sent at all:
// throws DbError (SQLSTATE HY024) naming the field instead. So does a user
// name or password with a blank at either end, which the driver takes off.
std::string DB2ConnectionString(const ConnectionProfile& profile);
