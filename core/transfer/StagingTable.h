#pragma once

#include "DataConnection.h"
#include "SqlDialect.h"

#include <optional>
#include <string>

// A statement the target refused, or that the tool declined, for the report.
struct RefusedStatement {
    std::string sql;
    std::string description;  // the server's message, or the tool's
    std::string reason;       // the tool's own reason in a few words; empty when the server refused
};

// The rows of a send go into a table under a staging name of the run's own;
// only a complete copy is put in place of the target table, so a target name
// only ever holds a complete table. Until then the run claims the staging
// table on a second target connection, which also performs the swap.
class StagingTable {
public:
    StagingTable(DataConnection& target, DataConnection& claim, const SqlDialect& dialect, std::string table);
    ~StagingTable();  // discards a copy that was not put in place
    StagingTable(const StagingTable&) = delete;
    StagingTable& operator=(const StagingTable&) = delete;

    const std::string& name() const { return name_; }

    // Creates the staging table with `createSql` (which names it) and claims it.
    std::optional<RefusedStatement> create(const std::string& createSql);
    // Puts the copy in place of the table, replacing the old one when
    // `replacing`; on failure the target keeps what it had. An old table
    // that others rely on is kept, and so is one that stays in use by another
    // session through a few short lock waits.
    std::optional<RefusedStatement> swapIn(bool replacing);
    // Drops the copy (best effort; a leftover is cleaned up by a later run).
    void discard() noexcept;
    // The copy took the table's name after all (the answer to the swap was
    // lost): nothing is left to drop or release.
    void forget() noexcept { exists_ = claimed_ = false; }

private:
    // One try at the swap statements; a refused one is undone.
    std::optional<DbError> trySwap(bool& replacing, std::string& failedSql);
    void release() noexcept;

    DataConnection& target_;
    DataConnection& claim_;
    const SqlDialect& dialect_;
    std::string table_, name_;
    bool exists_ = false, claimed_ = false;
};

// Drops the staging tables of killed runs: those no live run claims, older
// than the side's grace period. Best effort; returns the names dropped.
std::vector<std::string> DropLeftoverStagingTables(DataConnection& connection, const SqlDialect& dialect,
                                                   std::time_t now);
