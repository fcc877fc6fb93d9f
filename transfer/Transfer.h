#pragma once

#include "ColumnTypes.h"
#include "ConnectionProfile.h"
#include "DataConnection.h"

#include <string>
#include <vector>

enum class TransferDirection { MySQLToDB2, DB2ToMySQL };

// What a transfer needs from its user: the window (lists, progress bar,
// dialogs) or a test.
class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    virtual bool targetListed(const std::string& table) = 0;      // the target list shows it (case ignored)
    virtual bool confirmOverwrite(const std::string& table) = 0;  // "Would you like to overwrite " + name + "?"; true = Yes
    virtual void targetDropped(const std::string& table) = 0;     // take the name out of the target list (exact text)
    virtual void tableArrived(const std::string& table) = 0;      // add the name to the target list
    // The copy stopped part-way (failure or Cancel) and was dropped: the target
    // keeps the table it had (`replacing`) or never had one.
    virtual void tableNotReplaced(const std::string& table, bool replacing) { (void)table, (void)replacing; }
    virtual void progress(int percent) = 0;                       // 0..100 as rows go; 0 after each table
    // The uniform error report: the step number of the direction's handler,
    // the driver's message and the statement concerned (shown after "sql: ").
    virtual void report(int step, const std::string& description, const std::string& sql) = 0;
    // At a table's end, when more rows were refused than the one reported.
    virtual void rowsRefused(const std::string& table, long long furtherRefused) = 0;
    // Rows read so far of the table and its row count (-1 when unknown), after every batch.
    virtual void rowsDone(const std::string& table, long long done, long long total) { (void)table, (void)done, (void)total; }
    virtual bool cancelRequested() = 0;                           // checked between batches
    virtual void yield() = 0;                                     // called every few tens of milliseconds
};

struct TransferSummary {
    int tablesSent = 0;        // tables put in place complete (refused rows aside)
    long long rowsCopied = 0;
    long long rowsRefused = 0;
    double seconds = 0;
    bool cancelled = false;
    std::vector<std::string> failedTables;  // skipped after a report, or with refused rows
    std::vector<std::string> notReplaced;   // overwrites that stopped part-way: the old table stays
};

// Step numbers the error report names, per direction.
struct TransferSteps {
    int openDB2, openMySQL, drop, openSource, createTable, rowCount, insert, read;
};
const TransferSteps& StepsOf(TransferDirection direction);

// Sends the tables in the order given (the source list walked from its last
// item to its first). Connections and every failure are handled inside;
// failures reach the observer's report, never the caller.
TransferSummary RunTransfer(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                            const std::vector<std::string>& tables, TransferObserver& observer);

class SourceReader;

// Copies the rows of an open source into a freshly created target table
// (`into`, the staging table of `table`): batches, progress, cancel, refused rows.
struct CopyResult {
    long long copied = 0;
    long long refused = 0;
    bool cancelled = false;
    bool readFailed = false;
};
CopyResult CopyRows(TargetSide side, const std::string& table, const std::string& into, SourceReader& source, long long rowCount,
                    DataConnection& target, TransferObserver& observer, const TransferSteps& steps);

// Rows per batch: small tables go row by row so the progress bar moves per row.
size_t BatchRowsFor(long long rowCount);
