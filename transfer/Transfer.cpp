#include "Transfer.h"

#include "BatchInserter.h"
#include "SourceReader.h"
#include "SqlIdentifiers.h"
#include "StagingTable.h"
#include "ValueText.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimeoutSeconds = 5000;
constexpr size_t kMaxBatchRows = 5000;
constexpr auto kYieldEvery = std::chrono::milliseconds(40);

// Hands control to the window every few tens of milliseconds, not per value.
class Pacer {
public:
    explicit Pacer(TransferObserver& observer) : observer_(observer) {}
    void tick()
    {
        const auto now = Clock::now();
        if (now - last_ >= kYieldEvery) {
            last_ = now;
            observer_.yield();
        }
    }

private:
    TransferObserver& observer_;
    Clock::time_point last_ = Clock::now();
};

void configure(DataConnection& connection, int cursorLocation)
{
    connection.setCursorLocation(cursorLocation);
    connection.setCommandTimeout(kTimeoutSeconds);
    connection.setConnectionTimeout(kTimeoutSeconds);
}

// Opens a connection; a failure is reported once and the run ends.
bool openConnection(DataConnection& connection, const std::string& text, int step, TransferObserver& observer)
{
    try {
        connection.open(text);
        return true;
    } catch (const DbError& error) {
        observer.report(step, error.description(), "");
        return false;
    }
}

}  // namespace

const TransferSteps& StepsOf(TransferDirection direction)
{
    static const TransferSteps toDB2{116, 124, 144, 148, 210, 218, 252, 254};
    static const TransferSteps toMySQL{118, 126, 144, 148, 218, 226, 264, 266};
    return direction == TransferDirection::MySQLToDB2 ? toDB2 : toMySQL;
}

size_t BatchRowsFor(long long rowCount)
{
    return static_cast<size_t>(std::clamp<long long>(rowCount / 100, 1, kMaxBatchRows));
}

CopyResult CopyRows(TargetSide side, const std::string& table, const std::string& into, SourceReader& source, long long rowCount,
                    DataConnection& target, TransferObserver& observer, const TransferSteps& steps)
{
    CopyResult result;
    Pacer pacer(observer);
    int shown = 0;
    long long done = 0;
    try {
        target.setAutoCommit(false);
        BatchInserter inserter(target, side, into, source.plans());
        inserter.setPacer([&pacer] { pacer.tick(); });
        for (;;) {
            RowBlock* block = nullptr;
            try {
                block = source.next();
            } catch (const DbError& error) {
                observer.report(steps.read, error.description(), source.selectSql());
                result.readFailed = true;
                break;
            }
            if (!block)
                break;
            const BatchOutcome outcome = inserter.insert(*block);
            if (outcome.firstRefused && result.refused == 0)
                observer.report(steps.insert, outcome.firstRefused->error.description(), outcome.firstRefused->insertSql);
            result.copied += outcome.inserted;
            result.refused += outcome.refused;
            done += static_cast<long long>(block->rows);
            // The count only drives the bar; the source is read to its end.
            const int percent = rowCount > 0 ? static_cast<int>(std::min<long long>(100, done * 100 / rowCount)) : 100;
            if (percent != shown)
                observer.progress(shown = percent);
            observer.rowsDone(table, done, rowCount);
            pacer.tick();
            if (observer.cancelRequested()) {
                result.cancelled = true;
                break;
            }
        }
    } catch (const DbError& error) {
        observer.report(steps.insert, error.description(), BuildParameterInsertSql(side, into, source.plans().size()));
        result.readFailed = true;
    }
    try {
        target.setAutoCommit(true);
    } catch (const DbError&) {
        // The connection is gone; the next statement on it reports that.
    }
    if (result.refused > 1)
        observer.rowsRefused(table, result.refused - 1);
    return result;
}

TransferSummary RunTransfer(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                            const std::vector<std::string>& tables, TransferObserver& observer)
{
    const auto started = Clock::now();
    TransferSummary summary;
    const TransferSteps& steps = StepsOf(direction);
    const bool toDB2 = direction == TransferDirection::MySQLToDB2;
    const TargetSide side = toDB2 ? TargetSide::DB2 : TargetSide::MySQL;
    const auto finish = [&] {
        summary.seconds = std::chrono::duration<double>(Clock::now() - started).count();
        return summary;
    };

    DataConnection db2Connection, mysqlConnection;
    configure(db2Connection, toDB2 ? kServerSideCursor : kClientSideCursor);
    configure(mysqlConnection, toDB2 ? kClientSideCursor : kServerSideCursor);
    std::string db2Text;
    try {
        db2Text = DB2ConnectionString(db2);
    } catch (const DbError& error) {
        observer.report(steps.openDB2, error.description(), "");
        return finish();
    }
    if (!openConnection(db2Connection, db2Text, steps.openDB2, observer)
        || !openConnection(mysqlConnection, MySQLConnectionString(mysql), steps.openMySQL, observer))
        return finish();
    DataConnection& source = toDB2 ? mysqlConnection : db2Connection;
    DataConnection& target = toDB2 ? db2Connection : mysqlConnection;
    const SqlDialect& sourceDialect = DialectOf(toDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2);
    const SqlDialect& targetDialect = DialectOf(side);
    // Holds the claim on each staging table and puts it in place.
    DataConnection claim;
    configure(claim, toDB2 ? kServerSideCursor : kClientSideCursor);
    if (!tables.empty()) {
        if (!openConnection(claim, toDB2 ? db2Text : MySQLConnectionString(mysql), toDB2 ? steps.openDB2 : steps.openMySQL,
                            observer))
            return finish();
        DropLeftoverStagingTables(target, targetDialect, std::time(nullptr));
    }

    for (const std::string& table : tables) {
        observer.yield();
        if (observer.cancelRequested()) {
            summary.cancelled = true;
            break;
        }
        const auto fail = [&](int step, const std::string& description, const std::string& sql) {
            observer.report(step, description, sql);
            summary.failedTables.push_back(table);
        };
        const bool overwrite = observer.targetListed(table);
        if (overwrite && !observer.confirmOverwrite(table))
            continue;

        // The source is opened before anything is created: a table that cannot
        // be read costs the target nothing.
        const std::string selectSql = "SELECT * FROM " + sourceDialect.quoteIdentifier(table);
        std::unique_ptr<SourceReader> reader;
        long long rowCount = 0;
        try {
            rowCount = CountRows(source, sourceDialect, table);
            const size_t batchRows = BatchRowsFor(rowCount);
            reader = ReadAhead(toDB2 ? OpenMySQLSource(source, table, batchRows) : OpenDB2Source(source, table, batchRows));
        } catch (const std::exception& error) {
            fail(steps.openSource, error.what(), selectSql);
            continue;
        }

        // The rows go into a staging table; the old table is replaced only by
        // a complete copy, so a failure or Cancel leaves the target as it was.
        StagingTable staging(target, claim, targetDialect, table);
        if (auto refused = staging.create(BuildCreateTableSql(side, staging.name(), reader->columns()))) {
            fail(steps.createTable, refused->error.description(), refused->sql);
            continue;
        }

        const CopyResult copy = CopyRows(side, table, staging.name(), *reader, rowCount, target, observer, steps);
        reader.reset();
        observer.progress(0);
        if (copy.cancelled || copy.readFailed) {
            staging.discard();
            if (copy.readFailed)
                summary.failedTables.push_back(table);
            if (overwrite)
                summary.notReplaced.push_back(table);
            observer.tableNotReplaced(table, overwrite);
            if (copy.cancelled) {
                summary.cancelled = true;
                break;
            }
            continue;
        }
        if (auto refused = staging.swapIn(overwrite)) {
            fail(steps.drop, refused->error.description(), refused->sql);
            if (overwrite)
                summary.notReplaced.push_back(table);
            observer.tableNotReplaced(table, overwrite);
            continue;
        }
        if (overwrite)
            observer.targetDropped(table);
        observer.tableArrived(table);
        ++summary.tablesSent;
        summary.rowsCopied += copy.copied;
        summary.rowsRefused += copy.refused;
        if (copy.refused > 0)
            summary.failedTables.push_back(table);
    }
    return finish();
}
