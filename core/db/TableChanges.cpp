#include "TableChanges.h"

#include "DataConnection.h"

#include <chrono>
#include <thread>

namespace {

constexpr auto kPauseBetweenTries = std::chrono::milliseconds(500);
constexpr char kTableKept[] = "the table was kept";

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The server refuses to rename a table that is the child of a foreign key.
void RefuseIfForeignKeys(DataConnection& connection, const SqlDialect& dialect, const std::string& table)
{
    const std::vector<std::string> keys = dialect.foreignKeysOf(connection, table);
    if (keys.empty())
        return;
    const std::string reason
        = "has " + joined(keys) + ", and " + dialect.displayName() + " renames no table in a foreign key; it keeps its name";
    throw TableChangeRefused(table + " " + reason + ". Remove those first.", reason);
}

}  // namespace

void RefuseIfDependents(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                        const std::string& kept)
{
    const std::vector<std::string> dependents = dialect.dependentsOf(connection, table);
    if (dependents.empty())
        return;
    std::string names;
    for (const auto& dependent : dependents)
        names += (names.empty() ? "" : ", ") + dependent;
    const std::string reason = "needed by " + names + "; " + kept;
    throw TableChangeRefused(table + " is " + reason + ". Remove or change those first.", reason);
}

void WithBoundedLockWaits(DataConnection& connection, const SqlDialect& dialect, const std::string& table,
                          const std::string& kept, const std::function<void()>& attempt)
{
    connection.execute(dialect.lockWaitSql(kLockWaitSeconds));
    const auto serverSetting = [&] {
        try {
            connection.execute(dialect.sessionLockWaitSql());
        } catch (const DbError&) {
            // A connection that is gone takes its setting with it.
        }
    };
    for (int tried = 1;; ++tried) {
        try {
            attempt();
            serverSetting();
            return;
        } catch (const DbError& error) {
            if (!dialect.isLockTimeout(error)) {
                serverSetting();
                throw;
            }
            if (tried == kLockTries) {
                serverSetting();
                const std::string reason = "in use by another session; " + kept;
                throw TableChangeRefused(table + " is " + reason + ". Try again when it is free.", reason);
            }
        } catch (...) {
            serverSetting();
            throw;
        }
        std::this_thread::sleep_for(kPauseBetweenTries);
    }
}

DropOutcome DropUserTable(DataConnection& connection, const SqlDialect& dialect, const std::string& table, bool view)
{
    DropOutcome outcome = DropOutcome::Dropped;
    WithBoundedLockWaits(connection, dialect, table, kTableKept, [&] {
        RefuseIfDependents(connection, dialect, table, kTableKept);
        try {
            connection.execute(view ? dialect.dropViewSql(table) : dialect.dropTableSql(table));
        } catch (const DbError& error) {
            if (!dialect.isNoSuchTable(error))
                throw;
            outcome = DropOutcome::WasMissing;
        }
    });
    return outcome;
}

void RenameUserTable(DataConnection& connection, const SqlDialect& dialect, const std::string& from,
                     const std::string& to)
{
    const NameRules rules = dialect.nameRules(connection);
    if (const std::string key = rules.tableKey(to); key != rules.tableKey(from))
        for (const std::string& name : dialect.tableNames(connection))
            if (rules.tableKey(name) == key)
                throw NameTaken(name + " already exists on " + dialect.displayName(),
                                "the name " + name + " is taken; it keeps its name");
    WithBoundedLockWaits(connection, dialect, from, "it keeps its name", [&] {
        if (!dialect.renameKeepsDependents()) {
            RefuseIfDependents(connection, dialect, from, "it keeps its name");
            RefuseIfForeignKeys(connection, dialect, from);
        }
        connection.execute(dialect.renameTableSql(from, to));
    });
}
