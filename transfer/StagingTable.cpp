#include "StagingTable.h"

StagingTable::StagingTable(DataConnection& target, DataConnection& claim, const SqlDialect& dialect, std::string table)
    : target_(target), claim_(claim), dialect_(dialect), table_(std::move(table)), name_(StagingName(std::time(nullptr)))
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
            return RefusedStatement{"", error};
        }
        return std::nullopt;
    };
    if (dialect_.claimPrecedesTable())
        if (auto refused = claim())
            return refused;
    try {
        target_.execute(createSql);
    } catch (const DbError& error) {
        return RefusedStatement{createSql, error};
    }
    exists_ = true;
    return dialect_.claimPrecedesTable() ? std::nullopt : claim();
}

std::optional<RefusedStatement> StagingTable::swapIn(bool replacing)
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
            return RefusedStatement{statements[i], error};
        }
    }
    if (together) {
        try {
            claim_.commit();
        } catch (const DbError& error) {
            return RefusedStatement{"COMMIT", error};
        }
    }
    exists_ = false;
    release();
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
    return dropped;
}
