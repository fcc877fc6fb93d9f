#pragma once

#include "ConnectionProfile.h"
#include "DataRecordset.h"
#include "SqlDialect.h"

#include <string>
#include <vector>

// The database a transfer writes to.
using TargetSide = DatabaseSide;

// How the columns of a table sent to DB2 are typed.
enum class Db2ColumnTypes {
    Text,      // LONG VARCHAR but for dates, long text and bytes: holds anything
    Matching,  // the nearest type holding every value of the source column, both ways
};

// A table is split into parallel streams from this many rows on; fewer are
// not worth the extra connections.
inline constexpr long long kSplitFromRows = 50000;
// The most streams a run may ask for.
inline constexpr int kMaxParallelStreams = 16;

// Choices a user makes for a transfer; the defaults send what always did.
// What a send does with a table the target already has: replace the table
// by a new one (asking first), or keep the table and add its rows to it or
// replace its rows, all or nothing.
enum class ExistingTables { ReplaceTable, AddRows, ReplaceRows };

struct TransferOptions {
    Db2ColumnTypes columnTypes = Db2ColumnTypes::Text;
    bool copyPrimaryKeys = false;
    ExistingTables existingTables = ExistingTables::ReplaceTable;
    // Tables and columns created on DB2 get the names DB2 reads unquoted
    // (ORDERS for orders), and such a table is the one a name matches there.
    bool upperCaseNamesOnDB2 = false;
    // Each table sent is compared with its source afterwards, value by value.
    bool verifyAfterSending = false;
    // Up to this many streams copy one large keyed table into a new table,
    // each a range of its key on its own pair of connections. 1: one stream,
    // the whole table read in one snapshot.
    int parallelStreams = 1;
    // Tables with fewer rows go as one stream whatever parallelStreams says.
    long long splitFromRows = kSplitFromRows;
    // Loading into an existing table, a value its column would round (a
    // DECIMAL(30,10) into a DOUBLE, a DATETIME(6) into a DATETIME) goes in
    // rounded and is counted, instead of costing its row.
    bool allowRounding = false;
};

// How the target sizes the text columns a CREATE TABLE declares: in bytes,
// or in characters (DB2's CODEUNITS32, which only a Unicode database has).
enum class TextLengths { Bytes, Characters };

// The DB2 type that holds every value of a MySQL column declared as
// `mysqlDeclaration` (information_schema's COLUMN_TYPE, e.g. "decimal(12,2)",
// "int(10) unsigned", "enum('a','b')"); the empty text for a type it does not know.
// With Characters, a VARCHAR(n) stays n characters: VARCHAR(n CODEUNITS32).
std::string MatchingDb2Type(const std::string& mysqlDeclaration, TextLengths db2Lengths = TextLengths::Bytes);
// The MySQL type that holds every value of a DB2 column as the driver
// describes it, or as declared in characters where the catalogue says so.
std::string MatchingMySQLType(const Field& db2Column);

// The column type a new target table gets for one source column, e.g.
// "LONG VARCHAR" or "DECIMAL(30,10)". Chosen from the column's ADO type and,
// where a bare type word would refuse or lose values, its size, scale and sign.
std::string TargetColumnType(TargetSide side, const Field& column, Db2ColumnTypes types = Db2ColumnTypes::Text,
                             TextLengths db2Lengths = TextLengths::Bytes);

// CREATE TABLE for the target, one column per source column in source order:
//   DB2:   CREATE TABLE "orders"("id" LONG VARCHAR,"created" DATE)
//   MySQL: CREATE TABLE `orders`(`id` INT,`name` TEXT) CHARACTER SET utf8mb4;
std::string BuildCreateTableSql(TargetSide side, const std::string& table, const std::vector<Field>& columns);

// The CREATE TABLE of a transfer with its options. With a primary key, the
// key columns get NOT NULL (and their side's key suffix) and the key follows
// the columns; a key the target cannot hold is left out with a note. On
// MySQL, long VARCHARs outside the key become TEXT where the row would not fit.
struct TargetTable {
    std::string createSql;
    std::vector<std::string> columnTypes;  // as in the statement, for the target's layout check
    std::vector<std::string> notes;
};
// The statement creates the table under `createAs` when given (a staging
// name); the notes name `table`. `textLengths` is how the target can size
// text columns (asked of it once per transfer).
TargetTable PlanTargetTable(TargetSide side, const std::string& table, const std::vector<Field>& columns,
                            const std::vector<std::string>& primaryKey, const TransferOptions& options,
                            TextLengths textLengths = TextLengths::Bytes, const std::string& createAs = {});

// Quotes an identifier the way the side's SQL needs it.
std::string QuoteIdentifier(TargetSide side, const std::string& name);
