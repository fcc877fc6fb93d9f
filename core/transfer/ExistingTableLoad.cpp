#include "ExistingTableLoad.h"

#include "SourceReader.h"
#include "SqlIdentifiers.h"
#include "TableChanges.h"

std::string GroupedCount(long long count)
{
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), ",");
    return (count < 0 ? "-" : "") + digits;
}

std::string LoadQuestion(ExistingTables mode, long long rows, const std::string& existing)
{
    const std::string count = GroupedCount(rows) + (rows == 1 ? " row" : " rows");
    if (mode == ExistingTables::AddRows)
        return "Add " + count + " to the existing table " + existing + "?";
    return "Replace the " + count + " of the existing table " + existing
        + "? Its definition, indexes and permissions are kept.";
}

namespace {

// Source columns that land on columns the target computes itself: the server
// would refuse every row (DB2, strict MySQL) or quietly store its own value
// instead (MySQL without strict mode).
std::optional<std::string> computedColumnsProblem(const std::vector<SqlDialect::ExistingColumn>& targetColumns,
                                                  const std::vector<bool>& given, const std::string& table)
{
    std::string computed;
    int count = 0;
    for (size_t t = 0; t < targetColumns.size(); ++t)
        if (given[t] && !targetColumns[t].computed.empty()) {
            computed += (computed.empty() ? "" : ", ") + targetColumns[t].name + " (" + targetColumns[t].computed + ")";
            ++count;
        }
    if (count == 0)
        return std::nullopt;
    return table + " computes " + computed + " itself and takes no value for " + (count == 1 ? "it" : "them")
        + "; no row was loaded";
}

}  // namespace

LoadColumns MatchLoadColumns(const std::vector<std::string>& sourceColumns,
                             const std::vector<SqlDialect::ExistingColumn>& targetColumns, bool ignoreCase,
                             const std::string& table)
{
    const auto key = [ignoreCase](const std::string& name) { return ignoreCase ? LowerCaseName(name) : name; };
    LoadColumns load;
    std::vector<bool> given(targetColumns.size(), false);
    std::vector<std::string> takenBy(targetColumns.size());  // the source column each target column takes
    std::string missing, twice;
    for (const std::string& column : sourceColumns) {
        size_t t = 0;
        while (t < targetColumns.size() && key(targetColumns[t].name) != key(column))
            ++t;
        if (t == targetColumns.size()) {
            missing += (missing.empty() ? "" : ", ") + column;
            continue;
        }
        // Names told apart only by case on the source meet one column of a
        // target that ignores case: which value it should take is not known.
        if (given[t])
            twice
                += (twice.empty() ? "" : "; ") + takenBy[t] + " and " + column + " both match " + targetColumns[t].name;
        given[t] = true;
        takenBy[t] = column;
        load.names.push_back(targetColumns[t].name);
        load.types.push_back(targetColumns[t].type);
    }
    if (!missing.empty()) {
        load.problem = table + " has no column " + missing + "; no row was loaded";
        return load;
    }
    if (!twice.empty()) {
        load.problem = "the source columns " + twice + " of " + table
            + ", which compares column names without regard to case; no row was loaded";
        return load;
    }
    if ((load.problem = computedColumnsProblem(targetColumns, given, table)))
        return load;
    std::string needed;
    for (size_t t = 0; t < targetColumns.size(); ++t)
        if (!given[t] && targetColumns[t].required)
            needed += (needed.empty() ? "" : ", ") + targetColumns[t].name;
    if (!needed.empty())
        load.problem = table + " needs a value for " + needed
            + " (NOT NULL without a default), which the source does not have; no row was loaded";
    return load;
}

namespace {

std::string joinedNames(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace

std::optional<std::string> ViewRefusal(DataConnection& target, const SqlDialect& dialect, const std::string& table)
{
    if (!dialect.isView(target, table))
        return std::nullopt;
    return table + " is a view on " + dialect.displayName()
        + ", not a table: its rows are kept in the tables it reads, which the tool can neither check nor roll back "
          "through it. Nothing was written; send into one of those tables instead.";
}

std::optional<std::string> LoadRefusal(DataConnection& target, const SqlDialect& dialect, const std::string& table,
                                       ExistingTables mode)
{
    if (auto view = ViewRefusal(target, dialect, table))
        return view;
    if (auto problem = dialect.rollbackProblem(target, table))
        return table + ": " + *problem;
    if (mode != ExistingTables::ReplaceRows)
        return std::nullopt;
    const std::vector<std::string> changing = dialect.rowChangingReferences(target, table);
    if (!changing.empty())
        return "Replacing the rows of " + table + " would change the rows of other tables through "
            + joinedNames(changing) + "; nothing was deleted.";
    const std::vector<std::string> triggers = dialect.rowTriggers(target, table);
    if (!triggers.empty())
        return "Replacing the rows of " + table + " would fire " + joinedNames(triggers)
            + " for each row deleted or inserted; nothing was deleted. Remove those first.";
    return std::nullopt;
}

std::vector<std::string> IdentityNotes(DataConnection& target, const SqlDialect& dialect, const std::string& table,
                                       const std::vector<std::string>& loadedColumns)
{
    try {
        return dialect.identitiesBehind(target, table, loadedColumns);
    } catch (const DbError& error) {
        return {table + ": whether an identity column now lags behind the values loaded could not be checked: "
                + error.description()};
    }
}

ExistingTableLoad::ExistingTableLoad(DataConnection& target, const SqlDialect& dialect, std::string table,
                                     ExistingTables mode)
        : target_(target), dialect_(dialect), table_(std::move(table)), mode_(mode)
{
}

ExistingTableLoad::~ExistingTableLoad() { rollback(); }

void ExistingTableLoad::begin()
{
    target_.setAutoCommit(false);
    open_ = true;
    // A lock timeout may have ended the unit of work: each try starts afresh.
    WithBoundedLockWaits(target_, dialect_, table_, "its rows were kept", [&] {
        if (mode_ == ExistingTables::ReplaceRows) {
            target_.execute("DELETE FROM " + dialect_.quoteIdentifier(table_));
            rowsBefore_ = 0;
        } else {
            rowsBefore_ = CountRows(target_, dialect_, table_);
        }
    });
}

void ExistingTableLoad::commit()
{
    target_.commit();
    open_ = false;
    target_.setAutoCommit(true);
}

void ExistingTableLoad::rollback() noexcept
{
    if (!open_)
        return;
    open_ = false;
    try {
        target_.rollback();
        target_.setAutoCommit(true);
    } catch (const DbError&) {
        // A connection that is gone took its transaction with it, undone.
    }
}
