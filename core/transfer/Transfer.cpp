#include "Transfer.h"

#include "BatchInserter.h"
#include "ExistingTableLoad.h"
#include "LostAnswerCheck.h"
#include "SourceReader.h"
#include "StagingTable.h"
#include "TableChanges.h"
#include "SqlIdentifiers.h"
#include "ValueText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimeoutSeconds = 5000;
constexpr size_t kMaxBatchRows = 5000;
// Well inside the idle limit the run's sessions ask for.
constexpr auto kPingWaitingEvery = std::chrono::minutes(10);

// Hands control to the window every few tens of milliseconds, not per value,
// and now and then shows the server that a waiting connection is still used.
class Pacer {
public:
    Pacer(TransferObserver& observer, DataConnection* waiting, const SqlDialect& waitingDialect)
            : observer_(observer), waiting_(waiting), waitingDialect_(waitingDialect)
    {
    }
    void tick()
    {
        const auto now = Clock::now();
        if (now - last_ >= observer_.yieldInterval()) {
            last_ = now;
            observer_.yield();
        }
        if (waiting_ && now - lastPing_ >= kPingWaitingEvery) {
            lastPing_ = now;
            try {
                waiting_->execute(waitingDialect_.pingSql());
            } catch (const DbError&) {
                // Its own next statement reports it.
            }
        }
    }

private:
    TransferObserver& observer_;
    DataConnection* waiting_;
    const SqlDialect& waitingDialect_;
    Clock::time_point last_ = Clock::now(), lastPing_ = Clock::now();
};

void configure(DataConnection& connection, int cursorLocation)
{
    connection.setCursorLocation(cursorLocation);
    connection.setCommandTimeout(kTimeoutSeconds);
    connection.setConnectionTimeout(kTimeoutSeconds);
}

// Opens a connection; a failure is reported once and the run ends.
bool openConnection(DataConnection& connection, const SqlDialect& dialect, const ConnectionProfile& profile,
                    TransferStep step, TransferObserver& observer)
{
    try {
        dialect.openSession(connection, profile);
        return true;
    } catch (const DbError& error) {
        observer.report(step, error.description(), "");
        return false;
    }
}

// The text values of substituted rows that the code page cannot hold, counted
// per column. The server only says which rows: where no value seems to lack a
// character, every value of the row beyond ASCII is counted, so no reported
// substitution goes uncounted.
void countCodePageChanges(const RowBlock& block, const std::vector<ColumnPlan>& plans, const std::vector<size_t>& rows,
                          long codePage, std::map<std::string, long long>& changed)
{
    for (size_t row : rows)
        for (const long holds : {codePage, 0L}) {
            bool counted = false;
            for (size_t c = 0; c < plans.size(); ++c)
                if (plans[c].send == SendKind::Text)
                    if (const auto text = block.sendText(c, row); text && !TextFitsCodePage(*text, holds)) {
                        ++changed[plans[c].field.name];
                        counted = true;
                    }
            if (counted)
                break;
        }
}

}  // namespace

size_t BatchRowsFor(long long rowCount)
{
    return static_cast<size_t>(std::clamp<long long>(rowCount / 100, 1, kMaxBatchRows));
}

CopyResult CopyRows(TargetSide side, const std::string& table, const std::string& into, SourceReader& source,
                    long long rowCount, const std::vector<std::string>& targetColumnTypes, DataConnection& target,
                    TransferObserver& observer, DataConnection* waiting, const std::vector<std::string>& intoColumns)
{
    const bool oneTransaction = !intoColumns.empty();
    CopyResult result;
    const SqlDialect& targetDialect = DialectOf(side);
    Pacer pacer(observer, waiting, targetDialect);
    const SqlDialect& sourceDialect = DialectOf(side == DatabaseSide::MySQL ? DatabaseSide::DB2 : DatabaseSide::MySQL);
    const std::vector<size_t> dateColumns = ZeroDateColumns(side, source.plans(), targetColumnTypes);
    std::optional<long> codePage;  // the target's, asked at the first substitution
    int shown = 0;
    try {
        // A load into an existing table is the caller's one transaction.
        std::optional<Transaction> batches;
        if (!oneTransaction)
            batches.emplace(target);
        BatchInserter inserter(target, side, into, source.plans(), targetColumnTypes);
        if (oneTransaction) {
            inserter.setColumnNames(intoColumns);
            inserter.setOneTransaction(true);
        }
        inserter.setPacer([&pacer] { pacer.tick(); });
        for (;;) {
            RowBlock* block = nullptr;
            try {
                block = source.next();
            } catch (const DbError& error) {
                if (observer.cancelRequested()) {  // Cancel stopped the statement
                    result.cancelled = true;
                    break;
                }
                observer.report(TransferStep::ReadRows, error.description(), source.selectSql());
                result.readFailed = true;
                result.connectionLost = sourceDialect.isConnectionLost(error);
                break;
            }
            if (!block)
                break;
            result.read += static_cast<long long>(block->rows);
            std::vector<std::vector<size_t>> nulled;
            for (size_t c : dateColumns)
                nulled.push_back(block->nullZeroDates(c));
            const BatchOutcome outcome = inserter.insert(*block);
            if (outcome.endedCopy) {
                result.refused += outcome.refused;  // the batch's other rows went with the connection
                throw *outcome.endedCopy;
            }
            if (outcome.refused > 0 && observer.cancelRequested()) {  // refused because Cancel stopped the batch
                result.cancelled = true;
                break;
            }
            if (outcome.firstRefused && result.refused == 0)
                observer.report(TransferStep::Insert, outcome.firstRefused->error.description(),
                                outcome.firstRefused->insertSql);
            result.copied += outcome.inserted;
            result.refused += outcome.refused;
            if (!outcome.substitutedRows.empty()) {
                if (!codePage)
                    codePage = targetDialect.databaseCodePage(target).value_or(0);  // 0: unknown, ASCII only
                countCodePageChanges(*block, source.plans(), outcome.substitutedRows, *codePage,
                                     result.valuesChangedByCodePage);
            }
            for (size_t i = 0; i < dateColumns.size(); ++i) {
                long long stored = 0;
                for (size_t row : nulled[i])
                    stored += !std::binary_search(outcome.refusedRows.begin(), outcome.refusedRows.end(), row);
                if (stored > 0)
                    result.datesStoredAsNull[source.plans()[dateColumns[i]].field.name] += stored;
            }
            // The count only drives the bar; the source is read to its end,
            // and a table that grew meanwhile keeps the bar at 100.
            const int percent
                = rowCount > 0 ? static_cast<int>(std::min<long long>(100, result.read * 100 / rowCount)) : 100;
            if (percent != shown)
                observer.progress(shown = percent);
            observer.rowsDone(table, result.read, rowCount);
            pacer.tick();
            if (observer.cancelRequested()) {
                result.cancelled = true;
                break;
            }
        }
    } catch (const DbError& error) {
        if (observer.cancelRequested()) {
            result.cancelled = true;
        } else {
            const auto advice = oneTransaction ? targetDialect.transactionTooLargeAdvice(error) : std::nullopt;
            observer.report(TransferStep::Insert, error.description() + (advice ? "\n" + *advice : ""),
                            BuildParameterInsertSql(side, into, source.plans().size(), intoColumns));
            result.writeFailed = true;
            result.connectionLost = targetDialect.isConnectionLost(error);
        }
    }
    if (result.refused > 1)
        observer.rowsRefused(table, result.refused - 1);
    return result;
}

namespace {

// Whether the connection still answers; a failed step may have cost it.
bool answers(DataConnection& connection, const SqlDialect& dialect)
{
    try {
        connection.execute(dialect.pingSql());
        return true;
    } catch (const DbError&) {
        return false;
    }
}

std::string countsText(long long rows) { return std::to_string(rows) + (rows == 1 ? " row" : " rows"); }

// A table whose COMMIT or swap took effect though its answer was lost is
// sent, with what the new session found.
bool tookEffect(TableResult& result, const LostAnswerCheck& look)
{
    if (look.outcome != LostAnswerCheck::Outcome::Committed)
        return false;
    result.status = TableStatus::Sent;
    result.reason.clear();
    result.rowsOnTarget = look.rowsOnTarget;
    result.notes.push_back(result.name + ": " + look.finding);
    return true;
}

}  // namespace

std::optional<std::string> EmptiedByLoad(ExistingTables mode, const CopyResult& copy, const std::string& table)
{
    if (mode != ExistingTables::ReplaceRows || copy.read == 0 || copy.copied > 0)
        return std::nullopt;
    return "Not one of the " + countsText(copy.read) + " read could be written to " + table
        + ", so its rows were not replaced by nothing.";
}

const char* TableStatusName(TableStatus status)
{
    switch (status) {
    case TableStatus::Sent: return "sent";
    case TableStatus::Incomplete: return "incomplete";
    case TableStatus::Failed: return "failed";
    case TableStatus::Skipped: return "skipped";
    }
    return "skipped";
}

int TransferSummary::tablesSent() const
{
    return static_cast<int>(std::count_if(tables.begin(), tables.end(),
                                          [](const TableResult& t) { return t.status == TableStatus::Sent; }));
}

long long TransferSummary::rowsCopied() const
{
    long long rows = 0;
    for (const auto& t : tables)
        rows += t.rowsWritten;
    return rows;
}

long long TransferSummary::rowsRefused() const
{
    long long rows = 0;
    for (const auto& t : tables)
        rows += t.rowsRefused;
    return rows;
}

bool TransferSummary::allSent() const
{
    return std::all_of(tables.begin(), tables.end(), [this](const TableResult& t) {
        const TableComparison* compared = verdict(t.name);
        return t.status == TableStatus::Sent && t.rowsRefused == 0
            && (!compared || compared->status == ComparisonStatus::Equal);
    });
}

const TableComparison* TransferSummary::verdict(const std::string& table) const
{
    if (!verification)
        return nullptr;
    for (const TableComparison& compared : verification->tables)
        if (compared.name == table)
            return &compared;
    return nullptr;
}

std::vector<std::string> TransferSummary::namesWith(TableStatus status) const
{
    std::vector<std::string> names;
    for (const auto& t : tables)
        if (t.status == status)
            names.push_back(t.name);
    return names;
}

std::string FormatMinutesSeconds(double seconds)
{
    const long long whole = std::llround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::vector<std::string> TransferSummaryLines(const TransferSummary& summary, const std::string& targetName,
                                              const SummaryNumbers& numbers)
{
    const auto number = [&](long long n) { return numbers.count ? numbers.count(n) : std::to_string(n); };
    const auto seconds = [&](double s) {
        if (numbers.seconds)
            return numbers.seconds(s);
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", s);
        return std::string(text);
    };
    std::vector<std::string> lines;
    const int sent = summary.tablesSent();
    lines.push_back("Sent " + std::to_string(sent) + " table" + (sent == 1 ? "" : "s") + " to " + targetName + ": "
                    + number(summary.rowsCopied()) + " rows copied, " + number(summary.rowsRefused())
                    + " rows refused, " + seconds(summary.seconds) + " s" + (summary.cancelled ? " (cancelled)" : ""));
    std::vector<std::string> failed, notSent, kept;  // a failed table with its reason when there is more to say
    for (const TableResult& table : summary.tables) {
        if (table.status == TableStatus::Incomplete)
            lines.push_back("Incomplete: " + table.name + " (" + table.reason + "; " + number(table.rowsWritten)
                            + " of " + number(table.rowsRead) + " rows read arrived)");
        else if (table.status == TableStatus::Failed)
            failed.push_back(table.name + (table.reason == "failed" ? "" : " (" + table.reason + ")"));
        else if (table.status == TableStatus::Skipped && table.reason.rfind("not sent", 0) == 0)
            notSent.push_back(table.name);
        else if (table.status == TableStatus::Skipped && table.reason == kExistingTableKept)
            kept.push_back(table.name);
    }
    const auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (const auto& name : names)
            text += (text.empty() ? "" : ", ") + name;
        return text;
    };
    if (!failed.empty())
        lines.push_back("Failed: " + joined(failed));
    if (!notSent.empty())
        lines.push_back(std::string("Not sent")
                        + (summary.connectionLost  ? " (the connection was lost)"
                               : summary.cancelled ? " (cancelled)"
                                                   : "")
                        + ": " + joined(notSent));
    if (!kept.empty())
        lines.push_back(std::string("Kept as ") + (kept.size() == 1 ? "it was" : "they were") + " on " + targetName
                        + ": " + joined(kept));
    for (const TableResult& table : summary.tables)
        for (const auto& [column, dates] : table.datesStoredAsNull)
            lines.push_back(table.name + "." + column + ": " + number(dates) + " zero date" + (dates == 1 ? "" : "s")
                            + " stored as NULL");
    for (const TableResult& table : summary.tables)
        for (const auto& [column, values] : table.valuesChangedByCodePage)
            lines.push_back(table.name + "." + column + ": " + number(values) + " value" + (values == 1 ? "" : "s")
                            + " changed by the database's code page");
    for (const TableResult& table : summary.tables)
        lines.insert(lines.end(), table.notes.begin(), table.notes.end());
    if (summary.verification) {
        const std::string sourceName = targetName == MySQLDialect().displayName() ? DB2Dialect().displayName()
                                                                                  : MySQLDialect().displayName();
        for (std::string& line : ComparisonSummaryLines(*summary.verification, sourceName, targetName))
            lines.push_back(std::move(line));
    }
    return lines;
}

TransferSummary RunTransfer(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                            const std::vector<std::string>& tables, TransferObserver& observer,
                            const TransferOptions& options)
{
    const auto started = Clock::now();
    TransferSummary summary;
    for (const std::string& table : tables)
        summary.tables.push_back(TableResult {table, TableStatus::Skipped, 0, 0, 0, -1, {}, "not sent", {}, {}});
    const bool toDB2 = direction == TransferDirection::MySQLToDB2;
    const TargetSide side = toDB2 ? TargetSide::DB2 : TargetSide::MySQL;
    const auto finish = [&] {
        summary.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        return summary;
    };

    DataConnection db2Connection, mysqlConnection;
    configure(db2Connection, toDB2 ? kServerSideCursor : kClientSideCursor);
    configure(mysqlConnection, toDB2 ? kClientSideCursor : kServerSideCursor);
    const TransferStep connectDB2 = toDB2 ? TransferStep::ConnectTarget : TransferStep::ConnectSource;
    const TransferStep connectMySQL = toDB2 ? TransferStep::ConnectSource : TransferStep::ConnectTarget;
    if (!openConnection(db2Connection, DB2Dialect(), db2, connectDB2, observer)
        || !openConnection(mysqlConnection, MySQLDialect(), mysql, connectMySQL, observer))
        return finish();
    DataConnection& source = toDB2 ? mysqlConnection : db2Connection;
    DataConnection& target = toDB2 ? db2Connection : mysqlConnection;
    const SqlDialect& sourceDialect = DialectOf(toDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2);
    const SqlDialect& targetDialect = DialectOf(side);
    // The name a table or column is created under on the target.
    const auto targetNameOf = [&](const std::string& name) {
        return options.upperCaseNamesOnDB2 ? targetDialect.unquotedName(name) : name;
    };
    // After a failure: when a connection is gone the run ends here, once,
    // instead of reporting "Connection not open" for every later table.
    const auto connectionsGone = [&] { return !answers(source, sourceDialect) || !answers(target, targetDialect); };
    // Holds the claim on each staging table and puts it in place.
    DataConnection claim;
    configure(claim, toDB2 ? kServerSideCursor : kClientSideCursor);
    // Whether a table exists on the target is asked of the target, and names
    // are compared as the target compares them: its lists may be stale, and
    // "Orders" is "ORDERS" on some servers and another table on others.
    NameRules names;
    std::map<std::string, std::string> targetTables;   // by tableKey: the name as the target lists it
    std::map<std::string, std::string> sentByThisRun;  // by tableKey: the source table this run put there
    if (!tables.empty()) {
        if (!openConnection(claim, targetDialect, toDB2 ? db2 : mysql, TransferStep::ConnectTarget, observer))
            return finish();
        DropLeftoverStagingTables(target, targetDialect, std::time(nullptr));
        try {
            names = targetDialect.nameRules(target);
            for (const auto& name : targetDialect.tableNames(target))
                targetTables.emplace(names.tableKey(name), name);
        } catch (const DbError& error) {
            observer.report(TransferStep::ConnectTarget, error.description(), "");
            return finish();
        }
        std::vector<std::string> existing;
        std::map<std::string, std::string> listedAs;
        for (const std::string& table : tables)
            if (const auto found = targetTables.find(names.tableKey(targetNameOf(table)));
                found != targetTables.end()) {
                existing.push_back(table);
                listedAs[table] = found->second;
            }
        observer.tablesExistOnTarget(existing);
        observer.existingTargetNames(listedAs);
    }

    // How the target sizes text columns, asked once when the types are to match.
    std::optional<TextLengths> textLengths;
    for (TableResult& result : summary.tables) {
        const std::string& table = result.name;
        observer.yield();
        if (observer.cancelRequested()) {
            summary.cancelled = true;
            break;
        }
        const auto fail = [&](TransferStep step, const std::string& description, const std::string& sql) {
            // A statement stopped by Cancel fails too: the run ends there, unreported.
            if (observer.cancelRequested()) {
                summary.cancelled = true;
                return;
            }
            observer.report(step, description, sql);
            result.status = TableStatus::Failed;
            result.reason = "failed";
            summary.connectionLost = connectionsGone();
        };
        observer.tableStarting(table);
        // Names the target cannot take are refused before anything is created.
        const auto refuseName = [&](TransferStep step, const std::string& description, const std::string& reason) {
            fail(step, description, "");
            if (!summary.cancelled)
                result.reason = reason;
        };
        const std::string tooLong = "a name too long for " + targetDialect.displayName();
        const std::string targetName = targetNameOf(table);
        if (const auto problem = names.nameProblem(targetName, true, targetDialect.displayName())) {
            refuseName(TransferStep::CreateTable, *problem, tooLong);
            continue;
        }
        const std::string key = names.tableKey(targetName);
        const std::string listedName = names.listedTableName(targetName);
        if (const auto earlier = sentByThisRun.find(key); earlier != sentByThisRun.end()) {
            const bool twice = table == earlier->second;
            const bool renamed = targetName != table || targetNameOf(earlier->second) != earlier->second;
            const std::string why = twice ? "it is named twice"
                : renamed ? "with upper-case names both are " + targetName + " on " + targetDialect.displayName()
                          : targetDialect.displayName() + " does not tell these table names apart";
            const std::string would = options.existingTables == ExistingTables::AddRows ? "would add its rows to "
                : options.existingTables == ExistingTables::ReplaceRows                 ? "would replace the rows of "
                                                                                        : "would replace ";
            refuseName(TransferStep::ReplaceTable,
                       table + " " + would + targetTables.at(key) + ", which this run has just sent from "
                           + earlier->second + ": " + why + ". "
                           + (twice ? "Send it once." : "Rename one of them and send it alone."),
                       would + targetTables.at(key) + ", sent by this run from " + earlier->second);
            continue;
        }
        const auto existing = targetTables.find(key);
        const bool overwrite = existing != targetTables.end();
        const ExistingTables existingMode
            = overwrite ? observer.existingTableMode(table, options.existingTables) : options.existingTables;
        // What the target holds after a copy is counted by the target itself,
        // not taken on trust: `expected` rows in `counted`, which a load
        // into an existing table adds to the rows it had.
        const auto checkCount = [&](const CopyResult& copy, const std::string& counted, long long expected) {
            const std::string expectedAs = expected == copy.copied ? "written" : "expected";
            result.rowsRead = copy.read;
            result.rowsWritten = copy.copied;
            result.rowsRefused = copy.refused;
            result.datesStoredAsNull = copy.datesStoredAsNull;
            result.valuesChangedByCodePage = copy.valuesChangedByCodePage;
            result.status = TableStatus::Sent;
            result.reason.clear();
            if (copy.readFailed || copy.writeFailed) {
                result.status = TableStatus::Incomplete;
                result.reason = copy.readFailed ? "reading stopped part-way" : "writing stopped part-way";
                summary.connectionLost = copy.connectionLost || connectionsGone();
                return;
            }
            if (copy.cancelled) {
                result.status = TableStatus::Incomplete;
                result.reason = "cancelled";
                return;
            }
            const std::string countSql = targetDialect.countRowsSql(counted);
            try {
                result.rowsOnTarget = CountRows(target, targetDialect, counted);
                if (result.rowsOnTarget != expected) {
                    observer.report(TransferStep::CountRows,
                                    "The table holds " + countsText(result.rowsOnTarget) + " after the copy, but "
                                        + countsText(expected) + " were " + expectedAs + ".",
                                    countSql);
                    result.status = TableStatus::Incomplete;
                    result.reason = "the target holds " + countsText(result.rowsOnTarget) + ", "
                        + std::to_string(expected) + " " + expectedAs;
                }
            } catch (const DbError& error) {
                const bool cancelled = observer.cancelRequested();
                if (!cancelled)
                    observer.report(TransferStep::CountRows, error.description(), countSql);
                result.status = TableStatus::Incomplete;
                result.reason = cancelled ? "cancelled" : "the rows on the target could not be counted";
                summary.connectionLost = connectionsGone();
            }
        };
        if (overwrite && existingMode != ExistingTables::ReplaceTable) {
            // The table stays; its rows are added to or replaced in one transaction.
            const ExistingTables mode = existingMode;
            const std::string& into = existing->second;
            const std::string kept = mode == ExistingTables::AddRows ? "no row was added" : "the old rows were kept";
            const auto refuse = [&](TransferStep step, const std::string& description, const std::string& reason) {
                fail(step, description, "");
                if (!summary.cancelled && !summary.connectionLost)
                    result.reason = reason;
            };
            const std::string readSql = "SELECT * FROM " + sourceDialect.quoteIdentifier(table);
            long long rowCount = 0, rowsAsked = 0;
            std::vector<SqlDialect::ExistingColumn> targetColumns;
            std::unique_ptr<SourceReader> reader;
            try {
                rowCount = CountRows(source, sourceDialect, table);
            } catch (const DbError& error) {
                fail(TransferStep::OpenSource, error.description(), readSql);
                if (summary.connectionLost)
                    break;
                continue;
            }
            try {
                const long long asked = rowsAsked
                    = mode == ExistingTables::AddRows ? rowCount : CountRows(target, targetDialect, into);
                if (!observer.confirmLoad(table, into, LoadQuestion(mode, asked, into))) {
                    result.reason = kExistingTableKept;
                    continue;
                }
                // Refused before anything is read or deleted.
                if (auto refusal = LoadRefusal(target, targetDialect, into, mode)) {
                    refuse(TransferStep::ReplaceTable, *refusal, "refused, " + kept);
                    continue;
                }
                targetColumns = targetDialect.existingColumns(target, into);
            } catch (const DbError& error) {
                fail(TransferStep::ReplaceTable, error.description(), "");
                if (summary.connectionLost)
                    break;
                continue;
            }
            try {
                reader = ReadAhead(toDB2 ? OpenMySQLSource(source, table, BatchRowsFor(rowCount))
                                         : OpenDB2Source(source, table, BatchRowsFor(rowCount)));
            } catch (const std::exception& error) {
                fail(TransferStep::OpenSource, error.what(), readSql);
                if (summary.connectionLost)
                    break;
                continue;
            }
            std::vector<std::string> sourceColumns;
            for (const Field& column : reader->columns())
                sourceColumns.push_back(targetNameOf(column.name));
            const LoadColumns columns
                = MatchLoadColumns(sourceColumns, targetColumns, targetDialect.columnNamesIgnoreCase(), into);
            if (columns.problem) {
                reader.reset();
                refuse(TransferStep::Insert, *columns.problem, "the columns do not match, " + kept);
                continue;
            }
            ExistingTableLoad loading(target, targetDialect, into, mode);
            try {
                loading.begin();
            } catch (const TableChangeRefused& refusal) {
                reader.reset();
                refuse(TransferStep::ReplaceTable, refusal.what(), refusal.reason());
                continue;
            } catch (const DbError& error) {
                reader.reset();
                fail(TransferStep::ReplaceTable, error.description(), "");
                if (summary.connectionLost)
                    break;
                continue;
            }
            const CopyResult copy = CopyRows(side, table, into, *reader, rowCount, columns.types, target, observer,
                                             nullptr, columns.names);
            reader.reset();
            observer.progress(0);
            checkCount(copy, into, loading.rowsBefore() + copy.copied);
            if (auto emptied = EmptiedByLoad(mode, copy, into); emptied && result.status == TableStatus::Sent) {
                observer.report(TransferStep::Insert, *emptied, "");
                result.status = TableStatus::Failed;
                result.reason = "not one row could be written";
            }
            bool outcomeUnknown = false;
            if (result.status == TableStatus::Sent) {
                try {
                    loading.commit();
                    sentByThisRun[key] = table;  // a later table of this name would load into these rows
                } catch (const DbError& error) {
                    result.status = TableStatus::Failed;
                    result.reason = "the rows could not be committed";
                    summary.connectionLost = connectionsGone();
                    if (!targetDialect.isConnectionLost(error)) {
                        observer.report(TransferStep::Insert, error.description(), "COMMIT");
                    } else {
                        // The server may have committed before the connection went: look.
                        const long long rowsBefore = mode == ExistingTables::AddRows ? loading.rowsBefore() : rowsAsked;
                        const LostAnswerCheck look = CheckLoadAfterLostCommit(
                            targetDialect, toDB2 ? db2 : mysql, into, rowsBefore, loading.rowsBefore() + copy.copied);
                        observer.report(TransferStep::Insert, error.description() + "\n" + look.finding, "COMMIT");
                        summary.connectionLost = true;
                        result.reason = "the connection was lost during COMMIT";
                        if (!tookEffect(result, look) && look.outcome == LostAnswerCheck::Outcome::Unknown) {
                            outcomeUnknown = true;
                            result.reason += "; " + look.finding;
                        }
                    }
                }
            }
            if (result.status != TableStatus::Sent) {
                loading.rollback();
                if (!outcomeUnknown)
                    result.reason += ", " + kept;
                result.rowsWritten = 0;
                result.rowsOnTarget = -1;
            } else {
                for (std::string& note : IdentityNotes(target, targetDialect, into, columns.names))
                    result.notes.push_back(std::move(note));
            }
            observer.tableFinished(result);
            if (summary.connectionLost || copy.cancelled || summary.cancelled) {
                summary.cancelled = summary.cancelled || copy.cancelled;
                break;
            }
            continue;
        }
        if (overwrite && !observer.confirmOverwrite(table, existing->second)) {
            result.reason = kExistingTableKept;
            continue;
        }
        // A view of that name, which the target lists apart from its tables,
        // would refuse the copy's name only after every row was written.
        if (!overwrite) {
            try {
                if (auto view = ViewRefusal(target, targetDialect, targetName)) {
                    refuseName(TransferStep::CreateTable, *view, "a view, not a table; nothing was written");
                    continue;
                }
            } catch (const DbError& error) {
                fail(TransferStep::CreateTable, error.description(), "");
                if (summary.connectionLost)
                    break;
                continue;
            }
        }
        // A table others rely on is refused before anything is read.
        if (overwrite) {
            try {
                RefuseIfDependents(target, targetDialect, existing->second, "the old table was kept");
            } catch (const TableChangeRefused& refusal) {
                fail(TransferStep::ReplaceTable, refusal.what(), "");
                result.reason = refusal.reason();
                continue;
            } catch (const DbError& error) {
                fail(TransferStep::ReplaceTable, error.description(), "");
                if (summary.connectionLost)
                    break;
                continue;
            }
        }

        // The source is opened before anything is created: a table that cannot
        // be read costs the target nothing.
        const std::string selectSql = "SELECT * FROM " + sourceDialect.quoteIdentifier(table);
        std::unique_ptr<SourceReader> reader;
        long long rowCount = 0;
        std::map<std::string, std::string> declarations;
        std::map<std::string, long long> declaredCharacters;
        std::vector<std::string> sourceKey;
        try {
            rowCount = CountRows(source, sourceDialect, table);
            // Asked before the reader takes the source connection to its thread.
            if (options.columnTypes == Db2ColumnTypes::Matching) {
                if (toDB2)
                    declarations = ReadMySQLColumnDeclarations(source, table);
                declaredCharacters = sourceDialect.textDeclaredInCharacters(source, table);
                if (!textLengths)
                    textLengths
                        = targetDialect.sizesTextInCharacters(target) ? TextLengths::Characters : TextLengths::Bytes;
            }
            if (options.copyPrimaryKeys)
                sourceKey = source.primaryKeyColumns(table);
            const size_t batchRows = BatchRowsFor(rowCount);
            reader = ReadAhead(toDB2 ? OpenMySQLSource(source, table, batchRows)
                                     : OpenDB2Source(source, table, batchRows));
        } catch (const std::exception& error) {
            fail(TransferStep::OpenSource, error.what(), selectSql);
            if (summary.connectionLost)
                break;
            continue;
        }

        std::vector<Field> columns = reader->columns();
        std::optional<std::string> columnProblem;
        for (const Field& column : columns)
            if ((columnProblem = names.nameProblem(targetNameOf(column.name), false, targetDialect.displayName())))
                break;
        if (columnProblem) {
            reader.reset();
            refuseName(TransferStep::CreateTable, *columnProblem, tooLong);
            continue;
        }
        for (Field& column : columns) {
            if (const auto it = declarations.find(column.name); it != declarations.end())
                column.declaredType = it->second;
            if (const auto it = declaredCharacters.find(column.name); it != declaredCharacters.end())
                column.declaredCharacters = static_cast<SQLULEN>(it->second);
            column.name = targetNameOf(column.name);
        }
        // The table is created under the staging name.
        StagingTable staging(target, claim, targetDialect, targetName);
        const TargetTable plan = PlanTargetTable(side, table, columns, sourceKey, options,
                                                 textLengths.value_or(TextLengths::Bytes), staging.name());
        result.notes = plan.notes;
        if (!reader->readingNote().empty())
            result.notes.push_back(reader->readingNote());
        const std::string& createSql = plan.createSql;
        // A table the target cannot hold is refused before anything is created.
        if (const auto problem = targetDialect.tableLayoutProblem(target, plan.columnTypes)) {
            reader.reset();
            fail(TransferStep::CreateTable, *problem, createSql);
            if (summary.connectionLost)
                break;
            continue;
        }

        // The rows go into a staging table; the old table is replaced only by
        // a complete copy, so a failure or Cancel leaves the target as it was.
        if (auto refused = staging.create(createSql)) {
            reader.reset();
            fail(TransferStep::CreateTable, refused->description, refused->sql);
            if (summary.connectionLost)
                break;
            continue;
        }

        const CopyResult copy
            = CopyRows(side, table, staging.name(), *reader, rowCount, plan.columnTypes, target, observer, &claim);
        reader.reset();
        observer.progress(0);
        checkCount(copy, staging.name(), copy.copied);
        const char* const keptAsItWas = overwrite ? "the old table was not replaced" : "no table was created";
        if (result.status == TableStatus::Sent) {
            if (auto refused = staging.swapIn(overwrite)) {
                if (observer.cancelRequested()) {  // Cancel stopped the swap's wait
                    result.status = TableStatus::Incomplete;
                    result.reason = std::string("cancelled, ") + keptAsItWas;
                    summary.cancelled = true;
                } else if (answers(claim, targetDialect)) {
                    observer.report(TransferStep::ReplaceTable, refused->description, refused->sql);
                    result.status = TableStatus::Failed;
                    result.reason = refused->reason.empty() ? keptAsItWas : refused->reason;
                    summary.connectionLost = connectionsGone();
                } else {
                    // The connection went during the swap, which may have taken effect: look.
                    const LostAnswerCheck look
                        = CheckSwapAfterLostAnswer(targetDialect, toDB2 ? db2 : mysql, staging.name(), targetName);
                    observer.report(TransferStep::ReplaceTable, refused->description + "\n" + look.finding,
                                    refused->sql);
                    summary.connectionLost = true;
                    result.status = TableStatus::Failed;
                    result.reason = "the connection was lost during the swap; ";
                    if (tookEffect(result, look)) {
                        staging.forget();
                        if (overwrite)
                            observer.targetDropped(existing->second);
                        observer.tableArrived(listedName);
                    } else {
                        result.reason += look.outcome == LostAnswerCheck::Outcome::NotCommitted
                            ? std::string(keptAsItWas)
                            : look.finding;
                    }
                }
            } else {
                if (overwrite)
                    observer.targetDropped(existing->second);
                targetTables[key] = listedName;
                sentByThisRun[key] = table;
                observer.tableArrived(listedName);
            }
        } else {
            result.reason += std::string(", ") + keptAsItWas;
        }
        if (result.status != TableStatus::Sent) {
            staging.discard();
            result.rowsWritten = 0;  // the copy is gone; the target holds what it held
            result.rowsOnTarget = -1;
        }
        observer.tableFinished(result);
        if (summary.connectionLost || copy.cancelled || summary.cancelled) {
            summary.cancelled = summary.cancelled || copy.cancelled;
            break;
        }
    }
    const std::string endReason
        = summary.connectionLost ? "not sent: the connection was lost" : "not sent: the run was cancelled";
    for (TableResult& result : summary.tables)
        if (result.status == TableStatus::Skipped && result.reason == "not sent")
            result.reason = endReason;
    return finish();
}
