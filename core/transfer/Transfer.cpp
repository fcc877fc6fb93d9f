#include "Transfer.h"

#include "BatchInserter.h"
#include "SourceReader.h"
#include "SqlIdentifiers.h"
#include "TableCopy.h"
#include "TablesSideBySide.h"
#include "ValueText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

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
                    TransferObserver& observer, DataConnection* waiting, const std::vector<std::string>& intoColumns,
                    const ValueChecks& checks)
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
        inserter.setValueChecks(checks.columns, checks.allowRounding);
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
                observer.report(table, TransferStep::ReadRows, error.description(), source.selectSql());
                result.readFailed = true;
                result.connectionLost = sourceDialect.isConnectionLost(error);
                break;
            } catch (const RowsMissing& missing) {
                observer.report(table, TransferStep::ReadRows, missing.what(), source.selectSql());
                result.readFailed = true;
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
                observer.report(table, TransferStep::Insert, outcome.firstRefused->error.description(),
                                outcome.firstRefused->insertSql);
            result.copied += outcome.inserted;
            result.refused += outcome.refused;
            for (const auto& [column, values] : outcome.valuesRounded)
                result.valuesRounded[column] += values;
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
            observer.report(table, TransferStep::Insert, error.description() + (advice ? "\n" + *advice : ""),
                            BuildParameterInsertSql(side, into, source.plans().size(), intoColumns));
            result.writeFailed = true;
            result.connectionLost = targetDialect.isConnectionLost(error);
        }
    }
    if (result.refused > 1)
        observer.rowsRefused(table, result.refused - 1);
    return result;
}

std::string CountsText(long long rows) { return std::to_string(rows) + (rows == 1 ? " row" : " rows"); }

std::optional<std::string> EmptiedByLoad(ExistingTables mode, const CopyResult& copy, const std::string& table)
{
    if (mode != ExistingTables::ReplaceRows || copy.read == 0 || copy.copied > 0)
        return std::nullopt;
    return "Not one of the " + CountsText(copy.read) + " read could be written to " + table
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
        for (const auto& [column, values] : table.valuesRounded)
            lines.push_back(table.name + "." + column + ": " + number(values) + " value" + (values == 1 ? "" : "s")
                            + " rounded by the column, as rounding was allowed");
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
    TransferRun run(direction, mysql, db2, tables, observer, options);
    if (!run.connect())
        return run.finish();
    const std::vector<std::vector<size_t>> groups = TableGroups(run, tables);
    if (const int lanes = TablesAtOnce(options, groups.size()); lanes > 1) {
        if (!SendSideBySide(run, direction, mysql, db2, tables, groups, lanes))
            return run.finish();
    } else {
        for (TableResult& result : run.summary.tables) {
            observer.yield();
            if (observer.cancelRequested()) {
                run.summary.cancelled = true;
                break;
            }
            if (TableCopy(run, result).send() == TableCopy::After::EndRun)
                break;
        }
    }
    run.nameUnsentTables();
    return run.finish();
}
