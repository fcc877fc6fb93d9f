#pragma once

#include "ConnectionProfile.h"
#include "DataRecordset.h"
#include "OdbcHandle.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum CursorLocation : int { kServerSideCursor = 2, kClientSideCursor = 3 };

// One connection to one database through its ODBC driver. Every operation
// creates its own, opens it with a connection text and lets it go when done;
// destruction closes an open connection.
class StatementCanceller;

class DataConnection {
public:
    DataConnection();  // throws DbError when no ODBC environment can be had
    ~DataConnection();
    DataConnection(const DataConnection&) = delete;
    DataConnection& operator=(const DataConnection&) = delete;

    // Set before open().
    void setCursorLocation(int location) { cursorLocation_ = location; }
    int cursorLocation() const { return cursorLocation_; }
    void setCommandTimeout(int seconds) { commandTimeout_ = seconds; }
    void setConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    int commandTimeout() const { return commandTimeout_; }
    int connectionTimeout() const { return connectionTimeout_; }

    void open(const std::string& connectionText);
    bool isOpen() const { return open_; }
    // The login it was opened with, when it was opened from one (a dialect's
    // session), so a second session can be opened the same way; else empty.
    const std::optional<ConnectionProfile>& profile() const { return profile_; }
    void rememberProfile(const ConnectionProfile& profile) { profile_ = profile; }
    // The canceller its statements joined; null when made outside a scope.
    StatementCanceller* canceller() const { return canceller_; }
    // How that canceller stops a statement running here, chosen by the
    // side's dialect once the connection is open (until then, and after
    // close(), nothing here is stopped from another thread): SQLCancel on
    // each statement, or `stop` for the whole connection.
    void cancelStatementsFromAnyThread() { statementsCancellable_ = true; }
    void setCancelStop(std::function<void()> stop);
    void close();

    // Runs one statement. Returns its result when it has result columns,
    // otherwise nullptr; rowsAffected receives the driver's row count.
    std::unique_ptr<DataRecordset> execute(const std::string& sql, long long* rowsAffected = nullptr);

    // The tables schema: TABLE_CAT, TABLE_SCHEM, TABLE_NAME, TABLE_TYPE, REMARKS.
    // Only schema 20 (adSchemaTables) exists here; a schema restricts the rows.
    static constexpr int kSchemaTables = 20;
    std::unique_ptr<DataRecordset> openSchema(int schema, const std::optional<std::string>& tableSchema = {});

    // The primary key's columns of a table of the current database or schema,
    // in key order (SQLPrimaryKeys); empty when it has none.
    // `schema`: where the table is; none asks the driver for the login's own schema.
    std::vector<std::string> primaryKeyColumns(const std::string& table,
                                               const std::optional<std::string>& schema = std::nullopt);

    // A number the driver tells about itself or the server (SQLGetInfo),
    // such as SQL_MAX_TABLE_NAME_LEN.
    SQLUSMALLINT driverInfo(SQLUSMALLINT infoType);

    // Transactions, for batched writes; autocommit is on after open().
    void setAutoCommit(bool on);
    void commit();
    void rollback();

    // A fresh statement handle with the command timeout applied, for callers
    // that bind parameters or columns themselves. It can be cancelled from
    // another thread when the connection was made in a StatementCancelScope
    // (as set up above).
    OdbcHandle newStatement();
    // The first column of the statement's first row read as SQL_C_CHAR (at
    // most 63 bytes); nullopt for Null or no row.
    std::optional<std::string> readNarrowText(const std::string& sql);
    // Whether SQL_C_CHAR text on this connection is UTF-8, once a dialect
    // found out (see SqlDialect::textTravelsWideOn); forgotten on open().
    std::optional<bool> narrowTextIsUtf8() const { return narrowTextIsUtf8_; }
    void setNarrowTextIsUtf8(bool utf8) { narrowTextIsUtf8_ = utf8; }
    SQLHDBC handle() const { return dbc_.get(); }

private:
    void requireOpen(const char* what) const;

    OdbcHandle env_;
    OdbcHandle dbc_;
    bool open_ = false;
    std::optional<bool> narrowTextIsUtf8_;
    int cursorLocation_ = kServerSideCursor;
    int commandTimeout_ = 0;      // 0: the driver's default (no limit)
    int connectionTimeout_ = 15;  // seconds
    StatementCanceller* canceller_;
    bool statementsCancellable_ = false;
    std::optional<ConnectionProfile> profile_;
};

// Manual commit on a connection for as long as it lives: what its holder
// commits stays; whatever is left uncommitted when it ends (a batch a failure
// or Cancel cut short) is rolled back, and autocommit comes back on. Failures
// on the way out are ignored: the connection may be gone, and the caller has
// learnt that from its own statements.
class Transaction {
public:
    explicit Transaction(DataConnection& connection);  // throws DbError
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    DataConnection& connection_;
};
