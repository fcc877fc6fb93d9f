#include "LostAnswerCheck.h"

#include "DataConnection.h"
#include "SourceReader.h"
#include "Transfer.h"

#include <optional>

namespace {

// The new session gives up rather than wait long: the report must come.
constexpr int kLookSeconds = 60;

std::optional<std::string> openLook(DataConnection& connection, const SqlDialect& dialect,
                                    const ConnectionProfile& profile)
{
    connection.setCursorLocation(kClientSideCursor);
    connection.setCommandTimeout(kLookSeconds);
    connection.setConnectionTimeout(kLookSeconds);
    try {
        dialect.openSession(connection, profile);
    } catch (const DbError& error) {
        return error.description();
    }
    return std::nullopt;
}

LostAnswerCheck cannotLook(const std::string& why)
{
    return {LostAnswerCheck::Outcome::Unknown, -1, "It could not be looked at again (" + why + "): outcome unknown."};
}

}  // namespace

LostAnswerCheck CheckLoadAfterLostCommit(const SqlDialect& dialect, const ConnectionProfile& profile,
                                         const std::string& table, long long rowsIfKept, long long rowsIfCommitted)
{
    DataConnection look;
    if (const auto failed = openLook(look, dialect, profile))
        return cannotLook(*failed);
    LostAnswerCheck check;
    try {
        check.rowsOnTarget = CountRows(look, dialect, table);
    } catch (const DbError& error) {
        return cannotLook(error.description());
    }
    const std::string holds = table + " now holds " + CountsText(check.rowsOnTarget);
    if (rowsIfKept == rowsIfCommitted) {
        check.finding = holds + ", as many with the load as without it: outcome unknown.";
    } else if (check.rowsOnTarget == rowsIfCommitted) {
        check.outcome = LostAnswerCheck::Outcome::Committed;
        check.finding = holds + ", as the load leaves it: the COMMIT took effect.";
    } else if (check.rowsOnTarget == rowsIfKept) {
        check.outcome = LostAnswerCheck::Outcome::NotCommitted;
        check.finding = holds + ", as before the load: the COMMIT did not take effect.";
    } else {
        check.finding = holds + ", neither the " + std::to_string(rowsIfKept) + " it held nor the "
            + std::to_string(rowsIfCommitted) + " the load leaves (another session changed it): outcome unknown.";
    }
    return check;
}

LostAnswerCheck CheckSwapAfterLostAnswer(const SqlDialect& dialect, const ConnectionProfile& profile,
                                         const std::string& staging, const std::string& table)
{
    DataConnection look;
    if (const auto failed = openLook(look, dialect, profile))
        return cannotLook(*failed);
    LostAnswerCheck check;
    try {
        const NameRules names = dialect.nameRules(look);
        bool stagingThere = false, tableThere = false;
        for (const std::string& name : dialect.tableNames(look)) {
            stagingThere = stagingThere || names.tableKey(name) == names.tableKey(staging);
            tableThere = tableThere || names.tableKey(name) == names.tableKey(table);
        }
        if (stagingThere) {
            check.outcome = LostAnswerCheck::Outcome::NotCommitted;
            check.finding = "The copy is still under its staging name " + staging + ": " + table + " was not replaced.";
            try {
                look.execute(dialect.dropTableSql(staging));
            } catch (const DbError&) {
                // Dropped by a later run.
            }
        } else if (tableThere) {
            check.rowsOnTarget = CountRows(look, dialect, table);
            check.outcome = LostAnswerCheck::Outcome::Committed;
            check.finding = "The copy took the name " + table + ", which now holds " + CountsText(check.rowsOnTarget)
                + ": the swap took effect.";
        } else {
            check.finding = "Neither " + table + " nor the copy " + staging + " is there: outcome unknown.";
        }
    } catch (const DbError& error) {
        return cannotLook(error.description());
    }
    return check;
}
