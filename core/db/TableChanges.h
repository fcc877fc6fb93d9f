#pragma once

#include "SqlDialect.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class DataConnection;

// Changes to existing tables, made as a guest on a server others use: a lock
// another session holds is waited for a few seconds at a time, a few times,
// so that nobody queues behind the tool for long; a table that other tables
// or views rely on is kept.

// The tool itself declined the change; the table is as it was.
class TableChangeRefused : public std::runtime_error {
public:
    TableChangeRefused(const std::string& message, std::string reason)
            : std::runtime_error(message), reason_(std::move(reason))
    {
    }
    // The message without the table's name, for a summary line.
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

// A rename's new name is taken by another table of the server.
class NameTaken : public TableChangeRefused {
public:
    using TableChangeRefused::TableChangeRefused;
};

// Each wait for a lock ends after this; a statement waits at most this long
// and so does everyone queued behind it.
constexpr int kLockWaitSeconds = 2;
constexpr int kLockTries = 3;

// Throws TableChangeRefused naming the foreign keys and views that rely on
// `table`; `kept` ends the message ("the old table was kept").
void RefuseIfDependents(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                        const std::string& kept);

// Runs `attempt` on `connection` with lock waits of kLockWaitSeconds. When
// it gave up waiting for a lock, pauses so that the sessions queued behind
// it get through, and tries again, kLockTries times in all; then throws
// TableChangeRefused ("orders is in use by another session; " + kept).
// Other errors pass through. The connection has its session's usual lock
// wait again afterwards.
void WithBoundedLockWaits(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                          const std::string& kept, const std::function<void()>& attempt);

// Drops or renames a table the user chose, in the same way.
enum class DropOutcome { Dropped, WasMissing };  // WasMissing: the server did not know it
// A view (`view`) goes with DROP VIEW. A rename onto a name the server
// lists already is refused before anything is sent (NameTaken: "orders_2016
// already exists on IBM DB2").
DropOutcome DropUserTable(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                          bool view = false);
void RenameUserTable(DataConnection& connection, const SqlDialect& dialect, const std::string& from,
                     const std::string& to);
