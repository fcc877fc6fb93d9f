#pragma once

#include "ColumnTypes.h"
#include "DataConnection.h"
#include "SqlDialect.h"

#include <optional>
#include <string>
#include <vector>

// Loading rows into a table that exists on the target, keeping the table
// itself (its column types, indexes, grants, triggers and what relies on it).

// The question asked before loading: "Add 1,204 rows to the existing table
// orders?" or "Replace the 980 rows of the existing table orders? Its
// definition, indexes and permissions are kept." `rows`: the source's rows
// when adding, the target's when replacing.
std::string LoadQuestion(ExistingTables mode, long long rows, const std::string& existing);

// "1,204"
std::string GroupedCount(long long count);

// Which target columns the source columns go into, matched by name as the
// target compares names. `problem` says why the table is refused (a source
// column the target lacks or computes itself, a target column that needs a
// value the source does not have); then no row may move.
struct LoadColumns {
    std::vector<std::string> names;  // the target's column per source column
    std::vector<std::string> types;  // and its type, as the catalogue names it
    std::optional<std::string> problem;
};
LoadColumns MatchLoadColumns(const std::vector<std::string>& sourceColumns,
                             const std::vector<SqlDialect::ExistingColumn>& targetColumns, bool ignoreCase,
                             const std::string& table);

// After a load into `loadedColumns` of `table`: the notes of identities that
// would now hand out values the table already holds, each with the statement
// that restarts it (and a note when that could not be checked).
std::vector<std::string> IdentityNotes(DataConnection& target, const SqlDialect& dialect, const std::string& table,
                                       const std::vector<std::string>& loadedColumns);

// Why rows cannot be loaded into `table` in `mode` at all, checked before
// anything is read: a view, a target that cannot roll back, or (replacing
// rows) foreign keys whose ON DELETE would change other tables and triggers
// that fire on DELETE or INSERT. Throws DbError when the catalogue cannot be
// read.
// Why nothing is written into `table` because it is a view; nullopt for a table.
std::optional<std::string> ViewRefusal(DataConnection& target, const SqlDialect& dialect, const std::string& table);

std::optional<std::string> LoadRefusal(DataConnection& target, const SqlDialect& dialect, const std::string& table,
                                       ExistingTables mode);

// One transaction on the target for the whole load: begin() deletes the old
// rows when replacing them (waiting for locks only a few seconds at a time)
// and counts what stays; the destructor rolls back what was not committed,
// so a failure, Cancel or a lost connection leaves the old rows as they were.
class ExistingTableLoad {
public:
    ExistingTableLoad(DataConnection& target, const SqlDialect& dialect, std::string table, ExistingTables mode);
    ~ExistingTableLoad();
    ExistingTableLoad(const ExistingTableLoad&) = delete;
    ExistingTableLoad& operator=(const ExistingTableLoad&) = delete;

    // Throws DbError, or TableChangeRefused when the rows stay locked by others.
    void begin();
    // The rows the table holds before the new ones (0 after replacing).
    long long rowsBefore() const { return rowsBefore_; }
    void commit();
    void rollback() noexcept;

private:
    DataConnection& target_;
    const SqlDialect& dialect_;
    std::string table_;
    ExistingTables mode_;
    long long rowsBefore_ = 0;
    bool open_ = false;
};
