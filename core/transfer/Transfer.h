#pragma once

#include "ColumnFit.h"
#include "ColumnTypes.h"
#include "ConnectionProfile.h"
#include "DataConnection.h"
#include "TableComparison.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class TransferDirection { MySQLToDB2, DB2ToMySQL };

struct TableResult;

// What a transfer was doing when something failed.
enum class TransferStep {
    ConnectSource,  // the run's connection to the source
    ConnectTarget,  // to the target, also the one that holds the staging table's place
    ReplaceTable,   // dropping the old table, or the copy taking its name
    OpenSource,     // the statement that reads the source table
    CreateTable,
    CountRows,  // the target's own count after the copy
    Insert,
    ReadRows,  // fetching rows from the open source
};

// What a transfer needs from its user: the window (lists, progress bar,
// dialogs) or a test.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    virtual void tableStarting(const std::string& table) { (void)table; }  // before anything is done for it
    // The target has a table the name matches as the target compares names:
    // `existing`, as the target lists it. "Would you like to overwrite " +
    // existing + "?"; true = Yes.
    virtual bool confirmOverwrite(const std::string& table, const std::string& existing) = 0;
    // Once, before the first table: the run's tables the target has already,
    // as the run names them; each of them may be asked about.
    virtual void tablesExistOnTarget(const std::vector<std::string>& tables) { (void)tables; }
    // Right after tablesExistOnTarget, with each of those tables' name as the
    // target lists it (run name -> target name).
    virtual void existingTargetNames(const std::map<std::string, std::string>& listedAs) { (void)listedAs; }
    // For a table the target has, before it is asked about: what to do with
    // it, given the run's choice. By default the run's choice.
    virtual ExistingTables existingTableMode(const std::string& table, ExistingTables runMode)
    {
        (void)table;
        return runMode;
    }
    // Loading into the existing table instead: `question` names what will
    // happen (LoadQuestion); true = Yes. By default the overwrite question answers it.
    virtual bool confirmLoad(const std::string& table, const std::string& existing, const std::string& question)
    {
        (void)question;
        return confirmOverwrite(table, existing);
    }
    virtual void targetDropped(const std::string& table) = 0;  // the replaced table, as the target listed it
    virtual void tableArrived(const std::string& table) = 0;   // the new table, as the target lists it
    virtual void progress(int percent) = 0;                    // 0..100 as rows go; 0 after each table
    // The uniform error report: the table it concerns (as the run names it;
    // empty for the run's own connections), the step that failed, the
    // driver's message and the statement concerned (shown after "sql: ").
    // Tables may go side by side, so the table is named here, not taken from
    // the last tableStarting.
    virtual void report(const std::string& table, TransferStep step, const std::string& description,
                        const std::string& sql)
        = 0;
    // At a table's end, when more rows were refused than the one reported.
    virtual void rowsRefused(const std::string& table, long long furtherRefused) = 0;
    // Rows read so far of the table and its row count (-1 when unknown), after every batch.
    virtual void rowsDone(const std::string& table, long long done, long long total)
    {
        (void)table, (void)done, (void)total;
    }
    // At a table's end, once its outcome is known (not for tables skipped or failed before any row).
    virtual void tableFinished(const TableResult& result) { (void)result; }
    virtual bool cancelRequested() = 0;  // checked between batches
    virtual void yield() = 0;            // called every yieldInterval() at most
    virtual std::chrono::milliseconds yieldInterval() const { return std::chrono::milliseconds(40); }
};

// How one table of a run ended.
enum class TableStatus {
    Sent,        // every source row was read; rows the target refused are counted
    Incomplete,  // reading or writing stopped part-way, or the target holds other rows than written: the copy was
                 // dropped (or, loading into an existing table, rolled back)
    Failed,      // unreadable source, refused CREATE, or the copy could not be put in place
    Skipped,     // nothing done: the existing table was kept, or the run ended before this table
};
const char* TableStatusName(TableStatus status);  // "sent", "incomplete", "failed", "skipped"
// The reason of a table skipped because the user chose to keep the target's table.
inline constexpr const char* kExistingTableKept = "the existing table was kept";

struct TableResult {
    std::string name;
    TableStatus status = TableStatus::Skipped;
    long long rowsRead = 0;       // rows read from the source
    long long rowsWritten = 0;    // rows the target committed
    long long rowsRefused = 0;    // rows the target refused or that were too long to send
    long long rowsOnTarget = -1;  // the target's own count after the copy; -1 when not counted
    // Zero or partial MySQL dates that went to a date column as NULL, per column.
    std::map<std::string, long long> datesStoredAsNull;
    std::string reason;  // why it is not "sent", in a few words; empty when sent
    // What the transfer options could not do, e.g. "orders: primary key left out: ...".
    std::vector<std::string> notes;
    // Values the target stored with substitution characters (its code page
    // lacks some of their characters), per column.
    std::map<std::string, long long> valuesChangedByCodePage;
    // Values an existing table's column stored rounded, rounding accepted, per column.
    std::map<std::string, long long> valuesRounded;
};

struct TransferSummary {
    std::vector<TableResult> tables;  // every table given, in the order given
    double seconds = 0;
    bool cancelled = false;
    bool connectionLost = false;  // the run stopped there; later tables are "skipped"
    // With "verify after sending": the tables sent, compared with their source.
    std::optional<ComparisonSummary> verification;

    int tablesSent() const;        // tables with status sent
    long long rowsCopied() const;  // rows written, all tables
    long long rowsRefused() const;
    bool allSent() const;  // every table sent, no row refused (and, verified, equal)
    // The verdict of a table sent and verified; nullptr when it was not verified.
    const TableComparison* verdict(const std::string& table) const;
    std::vector<std::string> namesWith(TableStatus status) const;
};

// The run told in lines, the same in the window and on the command line:
//   Sent 1 table to MySQL: 780000 rows copied, 0 rows refused, 12.3 s
//   Incomplete: orders (writing stopped part-way: 780000 of 800000 rows read arrived)
//   Not sent (the connection was lost): items, customers
//   Kept as they were on MySQL: orders, items
//   orders.created: 3 zero dates stored as NULL
//   orders.note: 2 values changed by the database's code page
//   orders.price: 3 values rounded by the column, as rounding was allowed
//   orders: primary key left out: its column id is LONG VARCHAR, which cannot be part of a key on IBM DB2
// How the lines write their numbers: counts and seconds; by default plainly
// ("1200", "12.3"), a window writes them as its locale does.
struct SummaryNumbers {
    std::function<std::string(long long)> count;
    std::function<std::string(double)> seconds;
};
std::vector<std::string> TransferSummaryLines(const TransferSummary& summary, const std::string& targetName,
                                              const SummaryNumbers& numbers = {});

// A count of rows as the messages give it: "1 row", "3 rows".
std::string CountsText(long long rows);

// A time left as the window and the command line show it: "m:ss".
std::string FormatMinutesSeconds(double seconds);

// Sends the tables in the order given (the source list walked from its last
// item to its first). Connections and every failure are handled inside;
// failures reach the observer's report, never the caller.
TransferSummary RunTransfer(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                            const std::vector<std::string>& tables, TransferObserver& observer,
                            const TransferOptions& options = {});

class SourceReader;

// Copies the rows of an open source into a freshly created target table
// (`into`, the staging table of `table`): batches, progress, cancel, refused
// rows. A failure is reported once.
struct CopyResult {
    long long read = 0;
    long long copied = 0;
    long long refused = 0;
    bool cancelled = false;
    bool readFailed = false;
    bool writeFailed = false;
    bool connectionLost = false;  // the failure was the source's or the target's connection going away
    std::map<std::string, long long> datesStoredAsNull;
    std::map<std::string, long long> valuesChangedByCodePage;
    std::map<std::string, long long> valuesRounded;
};
// Loading into an existing table: how each target column holds the values of
// its source column, in source order (none: every value arrives as it is),
// and whether values a column would round go in rounded, counted, instead of
// costing their rows.
struct ValueChecks {
    std::vector<ColumnFit> columns;
    bool allowRounding = false;
};
// targetColumnTypes: the column types of the target table as created.
// waiting: a connection to the target that idles through the copy (the
// staging table's claim); pinged now and then so the server keeps it.
// intoColumns: the target columns the values go into, when `into` is a
// table that existed; the rows are then one transaction the caller ends.
CopyResult CopyRows(TargetSide side, const std::string& table, const std::string& into, SourceReader& source,
                    long long rowCount, const std::vector<std::string>& targetColumnTypes, DataConnection& target,
                    TransferObserver& observer, DataConnection* waiting = nullptr,
                    const std::vector<std::string>& intoColumns = {}, const ValueChecks& checks = {});

// Why a load that replaces rows must not commit: rows were read but not one
// could be written, and the table would be left empty. nullopt when it may.
std::optional<std::string> EmptiedByLoad(ExistingTables mode, const CopyResult& copy, const std::string& table);

// Rows per batch: small tables go row by row so the progress bar moves per row.
size_t BatchRowsFor(long long rowCount);
