#include "Transfer.h"

#include "BatchInserter.h"
#include "SourceReader.h"
#include "SqlIdentifiers.h"
#include "ValueText.h"

#include <algorithm>
#include <chrono>
#include <map>

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

// Each column's own declaration on MySQL ("decimal(12,2)"), by column name.
std::map<std::string, std::string> readMySQLDeclarations(DataConnection& mysql, const std::string& table)
{
    std::map<std::string, std::string> declarations;
    auto rs = mysql.execute("SELECT COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS"
                            " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = "
                            + MySQLDialect().quoteText(table));
    for (; rs && !rs->eof(); rs->moveNext())
        declarations[rs->field(0).value.value_or("")] = rs->field(1).value.value_or("");
    return declarations;
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

CopyResult CopyRows(TargetSide side, const std::string& table, SourceReader& source, long long rowCount,
                    DataConnection& target, TransferObserver& observer, const TransferSteps& steps)
{
    CopyResult result;
    Pacer pacer(observer);
    int shown = 0;
    long long done = 0;
    try {
        target.setAutoCommit(false);
        BatchInserter inserter(target, side, table, source.plans());
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
        observer.report(steps.insert, error.description(), BuildParameterInsertSql(side, table, source.plans().size()));
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
                            const std::vector<std::string>& tables, TransferObserver& observer,
                            const TransferOptions& options)
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

        // The source is opened before anything is dropped: a table that cannot
        // be read never costs the target its table.
        const std::string selectSql = "SELECT * FROM " + sourceDialect.quoteIdentifier(table);
        std::unique_ptr<SourceReader> reader;
        long long rowCount = 0;
        std::map<std::string, std::string> declarations;
        std::vector<std::string> sourceKey;
        try {
            rowCount = CountRows(source, sourceDialect, table);
            // Asked before the reader takes the source connection to its thread.
            if (toDB2 && options.columnTypes == Db2ColumnTypes::Matching)
                declarations = readMySQLDeclarations(source, table);
            if (options.copyPrimaryKeys)
                sourceKey = source.primaryKeyColumns(table);
            const size_t batchRows = BatchRowsFor(rowCount);
            reader = ReadAhead(toDB2 ? OpenMySQLSource(source, table, batchRows) : OpenDB2Source(source, table, batchRows));
        } catch (const std::exception& error) {
            fail(steps.openSource, error.what(), selectSql);
            continue;
        }

        std::vector<Field> columns = reader->columns();
        for (Field& column : columns)
            if (const auto it = declarations.find(column.name); it != declarations.end())
                column.declaredType = it->second;
        const TargetTable plan = PlanTargetTable(side, table, columns, sourceKey, options);
        summary.notes.insert(summary.notes.end(), plan.notes.begin(), plan.notes.end());
        if (!plan.refusal.empty()) {
            // Said before anything is dropped or created.
            fail(steps.createTable, plan.refusal, "");
            continue;
        }

        if (overwrite) {
            const std::string dropSql = DialectOf(side).dropTableSql(table);
            try {
                target.execute(dropSql);
            } catch (const DbError& error) {
                if (!DialectOf(side).isNoSuchTable(error)) {
                    fail(steps.drop, error.description(), dropSql);
                    continue;
                }
            }
            observer.targetDropped(table);
        }

        const std::string& createSql = plan.createSql;
        try {
            target.execute(createSql);
        } catch (const DbError& error) {
            // Rows only ever go into a table this run created.
            fail(steps.createTable, error.description(), createSql);
            continue;
        }

        const CopyResult copy = CopyRows(side, table, *reader, rowCount, target, observer, steps);
        reader.reset();
        observer.progress(0);
        observer.tableArrived(table);
        ++summary.tablesSent;
        summary.rowsCopied += copy.copied;
        summary.rowsRefused += copy.refused;
        if (copy.refused > 0 || copy.readFailed)
            summary.failedTables.push_back(table);
        if (copy.cancelled) {
            summary.cancelled = true;
            break;
        }
    }
    return finish();
}
