#include "PositionReader.h"

#include "SqlIdentifiers.h"

PositionReader::PositionReader(DataConnection& mysql, const std::string& table, const MySQLTableFacts& facts,
                               size_t blockRows, size_t pageRows, size_t pageBytes, const std::string& streamProblem)
        : PagedReader(mysql, facts, blockRows, pageRows, pageBytes), table_(QuoteMySQLIdentifier(table))
{
    selectSql_ = "SELECT * FROM " + table_;
    from_ = selectSql_ + (facts.isView ? "" : " USE INDEX ()");
    note_ = table + ": no primary or unique NOT NULL key, read in pages by position (slower on large tables)";
    if (!streamProblem.empty())
        note_ += "; it could not be read in one pass: " + streamProblem;
    if (!facts.snapshots)
        note_ += "; its engine keeps no snapshot, so rows changed while it was read may be missing or repeated";
    start();
}

long long PositionReader::countRows() { return count("SELECT COUNT(*) FROM " + table_); }

void PositionReader::readPage(size_t rows, bool)
{
    statement().execute(from_ + " LIMIT " + std::to_string(rows) + " OFFSET " + std::to_string(offset_), {});
    offset_ += rows;
}
