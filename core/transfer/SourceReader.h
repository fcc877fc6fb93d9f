#pragma once

#include "ColumnTypes.h"
#include "DataConnection.h"
#include "RowBlock.h"

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
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

// A result that ended before the rows its source holds had all arrived.
class RowsMissing : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The rows a read must bring, as its source counts them, so that a result
// that ends early is not taken for the table's end: a driver may report a
// connection lost mid-read as the result's last row.
class ExpectedRows {
public:
    // Counts the rows the read is to bring, on the read's own session.
    using Count = std::function<long long()>;
    // Counts at once. In the snapshot the rows are read from (`inSnapshot`),
    // exactly that many must arrive. Outside one (DB2 under cursor stability,
    // a MySQL engine without snapshots) writers may change the table while it
    // is read, so it is counted again at the end: deletes can take a read
    // below the first count only as far as the table shrank, so a read short
    // of both counts lost rows on the way. (Deletes balanced by inserts the
    // read had passed can do that too: such a read is refused as well, on the
    // safe side.)
    ExpectedRows(Count count, bool inSnapshot);
    void arrived(size_t rows) { arrived_ += static_cast<long long>(rows); }
    // At the result's end: throws RowsMissing when fewer rows arrived than
    // the counts allow, DbError when the source cannot be counted.
    void checkAtEnd();

private:
    Count count_;
    bool inSnapshot_;
    long long atStart_, arrived_ = 0;
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

// The number of rows of a table.
long long CountRows(DataConnection& connection, const SqlDialect& dialect, const std::string& table);
