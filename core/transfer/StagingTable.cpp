#include "StagingTable.h"

#include "TableChanges.h"

StagingTable::StagingTable(DataConnection& target, DataConnection& claim, const SqlDialect& dialect, std::string table)
        : target_(target), claim_(claim), dialect_(dialect), table_(std::move(table)),
          name_(StagingName(std::time(nullptr)))
{
}

StagingTable::~StagingTable() { discard(); }

std::optional<RefusedStatement> StagingTable::create(const std::string& createSql)
{
    const auto claim = [this]() -> std::optional<RefusedStatement> {
        claimed_ = true;  // released in any case, even after a claim that failed half-way
        try {
            dialect_.claimStaging(claim_, name_);
        } catch (const DbError& error) {
            return RefusedStatement {"", error.description(), ""};
        }
        return std::nullopt;
    };
    if (dialect_.claimPrecedesTable())
        if (auto refused = claim())
            return refused;
    try {
        target_.execute(createSql);
    } catch (const DbError& error) {
        return RefusedStatement {createSql, error.description(), ""};
    }
    exists_ = true;
    return dialect_.claimPrecedesTable() ? std::nullopt : claim();
}

std::optional<RefusedStatement> StagingTable::swapIn(bool replacing)
{
    const bool together = dialect_.ddlInUnitOfWork();
    const std::string kept = "the old table was kept";
    std::optional<RefusedStatement> refused;
    int tries = 0;
    try {
        WithBoundedLockWaits(claim_, dialect_, table_, kept, [&] {
            // A lock timeout ended the unit of work, and with it the claim.
            if (together && tries++ > 0)
                dialect_.claimStaging(claim_, name_);
            if (replacing)
                RefuseIfDependents(claim_, dialect_, table_, kept);
            std::string sql;
            if (auto error = trySwap(replacing, sql)) {
                if (dialect_.isLockTimeout(*error))
                    throw *error;
                refused = RefusedStatement {sql, error->description(), ""};
            }
        });
    } catch (const TableChangeRefused& refusal) {
        if (together)
            try {
                claim_.rollback();
            } catch (const DbError&) {
            }
        return RefusedStatement {"", refusal.what(), refusal.reason()};
    } catch (const DbError& error) {
        return RefusedStatement {"", error.description(), ""};
    }
    if (refused)
        return refused;
    if (together) {
        try {
            claim_.commit();
        } catch (const DbError& error) {
            return RefusedStatement {"COMMIT", error.description(), ""};
        }
    }
    exists_ = false;
    release();
    return std::nullopt;
}

std::optional<DbError> StagingTable::trySwap(bool& replacing, std::string& failedSql)
{
    const bool together = dialect_.ddlInUnitOfWork();
    const std::string aside = StagingName(std::time(nullptr));
    std::vector<std::string> statements = dialect_.swapSql(name_, table_, aside, replacing);
    for (size_t i = 0; i < statements.size();) {
        try {
            claim_.execute(statements[i]);
            ++i;
        } catch (const DbError& error) {
            if (i == 0 && replacing && dialect_.isNoSuchTable(error)) {
                // The old table went meanwhile: nothing left to replace.
                replacing = false;
                statements = dialect_.swapSql(name_, table_, aside, false);
                continue;
            }
            if (!together && i > 0 && dialect_.isNoSuchTable(error))
                break;  // the old table, moved aside, was dropped by another run's clean-up
            if (!together && i > 0) {
                // The old table cannot go (a foreign key, a privilege): put it back.
                try {
                    claim_.execute(dialect_.undoSwapSql(name_, table_, aside));
                } catch (const DbError&) {
                    // Both tables still exist under the names the report shows.
                }
            }
            if (together) {
                try {
                    claim_.rollback();
                } catch (const DbError&) {
                }
            }
            failedSql = statements[i];
            return error;
        }
    }
    return std::nullopt;
}

void StagingTable::discard() noexcept
{
    if (exists_) {
        // On the claim connection: on DB2 its own table lock would hold off a
        // DROP from any other connection.
        try {
            claim_.execute(dialect_.dropTableSql(name_));
            if (dialect_.ddlInUnitOfWork())
                claim_.commit();
            exists_ = false;
        } catch (const DbError&) {
        }
    }
    release();
}

void StagingTable::release() noexcept
{
    if (!claimed_)
        return;
    claimed_ = false;
    try {
        dialect_.releaseStaging(claim_, name_);
    } catch (const DbError&) {
    }
}

std::vector<std::string> DropLeftoverStagingTables(DataConnection& connection, const SqlDialect& dialect,
                                                   std::time_t now)
{
    std::vector<std::string> dropped;
    try {
        // A leftover someone else is reading is left for a later run.
        connection.execute(dialect.lockWaitSql(kLockWaitSeconds));
        for (const std::string& name : dialect.tableNames(connection)) {
            const auto made = StagingNameTime(name);
            if (!made || now - *made < dialect.leftoverGraceSeconds())
                continue;
            try {
                if (dialect.dropUnclaimedStaging(connection, name))
                    dropped.push_back(name);
            } catch (const DbError&) {
                // Still referenced, or another run is at it: tried again next time.
            }
        }
    } catch (const DbError&) {
        // No listing: tried again next time.
    }
    try {
        connection.execute(dialect.sessionLockWaitSql());  // the run's own statements wait as usual again
    } catch (const DbError&) {
        // A connection that is gone takes its setting with it.
    }
    return dropped;
}
