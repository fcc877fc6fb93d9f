#pragma once

#include "ColumnTypes.h"
#include "DataConnection.h"
#include "RowBlock.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// Reads one source table in blocks of rows, ready to be sent. Memory stays
// bounded by the block size whatever the table's size.
class SourceReader {
public:
    virtual ~SourceReader() = default;
    const std::vector<ColumnPlan>& plans() const { return plans_; }
    std::vector<Field> columns() const;
    // The next rows in send form; nullptr after the last. Throws DbError.
    virtual RowBlock* next() = 0;
    // The statement that reads the rows (for reports).
    const std::string& selectSql() const { return selectSql_; }
    // How the rows are read, when the summary should say so; else empty.
    const std::string& readingNote() const { return note_; }

protected:
    std::vector<ColumnPlan> plans_;
    std::string selectSql_, note_;
};

// MySQL: the driver holds a whole result in memory, so a table with a
// primary or unique NOT NULL key is read in pages in key order, of a bounded
// number of bytes (at most pageRows rows each; 0: the reader's own bound), on
// InnoDB all pages inside one consistent snapshot, so no row is locked. A
// page holds about pageBytes of values, and at least one row however wide.
// A table without such a key (also a view) that keeps snapshots is read in
// one pass by a second session of the same login, its rows taken as they
// arrive, when the connection was opened from a login (a dialect's session);
// otherwise, or when that session cannot be had, it is read in pages by
// position, each of which reads the rows before it again.
constexpr size_t kMySQLPageRows = 20000;
// Paging by position reads the rows before each page again: fewer, larger pages.
constexpr size_t kMySQLPositionPageRows = 250000;
constexpr size_t kMySQLPageBytes = 32u << 20;
std::unique_ptr<SourceReader> OpenMySQLSource(DataConnection& mysql, const std::string& table, size_t blockRows,
                                              size_t pageRows = 0, size_t pageBytes = kMySQLPageBytes);
// DB2 streams its results: one SELECT read to the end.
std::unique_ptr<SourceReader> OpenDB2Source(DataConnection& db2, const std::string& table, size_t blockRows);
// The reader of a table on `side`, the way that side is best read.
std::unique_ptr<SourceReader> OpenSource(DatabaseSide side, DataConnection& connection, const std::string& table,
                                         size_t blockRows);

// The same rows, the next block read on a worker thread while the caller
// sends the current one. The source connection must not be used meanwhile.
std::unique_ptr<SourceReader> ReadAhead(std::unique_ptr<SourceReader> reader);

// Each column's own declaration on MySQL ("decimal(12,2)"), by column name.
std::map<std::string, std::string> ReadMySQLColumnDeclarations(DataConnection& mysql, const std::string& table);

// The number of rows of a table, for the progress bar only.
long long CountRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table);
