#pragma once

#include "ConnectionProfile.h"
#include "DbError.h"

#include <optional>
#include <string>

typedef struct st_mysql MYSQL;
typedef struct st_mysql_stmt MYSQL_STMT;

// A MySQL session through the MariaDB client library rather than ODBC, for
// what the ODBC driver cannot do: read a result row by row as it arrives
// instead of holding all of it. It logs in as the profile says, TLS
// included: an encrypted profile gets an encrypted, verified session or
// none. Failures throw DbError with the server's SQLSTATE, code and message.
class MySQLClientSession {
public:
    // Seconds: 0 leaves the library's default.
    MySQLClientSession(const ConnectionProfile& profile, int connectSeconds, int readSeconds);
    ~MySQLClientSession();
    MySQLClientSession(const MySQLClientSession&) = delete;
    MySQLClientSession& operator=(const MySQLClientSession&) = delete;

    // Runs a statement without a result (session settings, transactions).
    void execute(const std::string& sql);
    // The first value of a statement's first row (nullopt: none, or NULL).
    std::optional<std::string> firstValue(const std::string& sql);
    MYSQL* handle() const { return mysql_; }
    // The server's number for the session, for KILL.
    unsigned long threadId() const;

    // From any thread: ends the session's network connection at once, so a
    // read waiting for the server returns with an error. The server ends
    // its statement and transaction when it sees the connection gone.
    void interrupt() noexcept;

    DbError error() const;
    // A statement's error; when the statement has none, the session's: the
    // library leaves there what ended a result mid-read (the server's error
    // that stopped the statement, a lost connection).
    DbError error(MYSQL_STMT* statement) const;

private:
    MYSQL* mysql_;
    int socket_ = -1;
};
