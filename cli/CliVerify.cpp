// tablehop-cli verify: each source table compared with its copy on the target.
#include "CliCommands.h"
#include "StopSignals.h"
#include "Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <ostream>

namespace {

QJsonValue valueJson(const std::optional<std::string>& value)
{
    return value ? QJsonValue(QString::fromStdString(*value)) : QJsonValue(QJsonValue::Null);
}

const char* differenceKindName(RowDifference::Kind kind)
{
    switch (kind) {
    case RowDifference::Kind::ValueDiffers: return "value";
    case RowDifference::Kind::OnlyOnSource: return "onlyOnSource";
    case RowDifference::Kind::OnlyOnTarget: return "onlyOnTarget";
    }
    return "value";
}

class CliComparisonObserver : public ComparisonObserver {
public:
    explicit CliComparisonObserver(CliContext& context) : context_(context) { }

    bool connectionFailed = false;

    void tableStarting(const std::string&) override
    {
        progressLine_.finish();
        progressLine_.start();
    }
    void rowsDone(const std::string& table, long long done, long long total) override
    {
        progressLine_.rowsDone(table, done, total);
    }
    void report(const std::string& table, const std::string& description, const std::string&) override
    {
        finishProgressLine();
        if (table.empty()) {
            connectionFailed = true;
            context_.err << "error: connect: " << description << "\n";
            return;
        }
        context_.err << "error: table " << table << ", step read rows: " << description << "\n";
    }
    void tableCompared(const TableComparison&) override { finishProgressLine(); }
    bool cancelRequested() override
    {
        const int signal = StopSignals::received();
        if (signal != 0 && !stopAnnounced_) {
            stopAnnounced_ = true;
            finishProgressLine();
            context_.err << "tablehop-cli: " << (signal == SIGINT ? "SIGINT" : "SIGTERM") << ": stopping\n";
        }
        return signal != 0;
    }

private:
    void finishProgressLine() { progressLine_.finish(); }

    CliContext& context_;
    TerminalProgress progressLine_ {context_};
    bool stopAnnounced_ = false;
};

}  // namespace

QJsonObject ComparisonJson(const TableComparison& table)
{
    QJsonArray key, differences;
    for (const auto& column : table.key)
        key.append(QString::fromStdString(column));
    for (const RowDifference& difference : table.differences) {
        QJsonObject entry {{"kind", differenceKindName(difference.kind)}, {"row", QString::fromStdString(difference.row)}};
        if (difference.kind == RowDifference::Kind::ValueDiffers) {
            entry.insert("column", QString::fromStdString(difference.column));
            entry.insert("source", valueJson(difference.sourceValue));
            entry.insert("target", valueJson(difference.targetValue));
        }
        if (!difference.known.empty())
            entry.insert("known", QString::fromStdString(difference.known));
        differences.append(entry);
    }
    QJsonObject object {
        {"name", QString::fromStdString(table.name)},
        {"status", ComparisonStatusName(table.status)},
        {"key", key},
        {"sourceRows", table.sourceRows},
        {"targetRows", table.targetRows},
        {"rowsOnlyOnSource", table.rowsOnlyOnSource},
        {"rowsOnlyOnTarget", table.rowsOnlyOnTarget},
        {"rowsDiffering", table.rowsDiffering},
        {"differences", differences},
    };
    if (!table.targetName.empty())
        object.insert("targetName", QString::fromStdString(table.targetName));
    if (!table.reason.empty())
        object.insert("reason", QString::fromStdString(table.reason));
    return object;
}

int RunVerify(const CliArgs& args, CliContext& context)
{
    const TransferDirection direction = DirectionArgument(args);
    const DatabaseSide target
        = direction == TransferDirection::MySQLToDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL;
    Workspace workspace;
    TransferOptions options;
    options.upperCaseNamesOnDB2 = UpperCaseNamesOnDB2(args, context);
    workspace.setOptions(options);
    workspace.setLogin(DatabaseSide::MySQL, ProfileFor(DatabaseSide::MySQL, args, context));
    workspace.setLogin(DatabaseSide::DB2, ProfileFor(DatabaseSide::DB2, args, context));
    KeepActivityLog(workspace);
    CliComparisonObserver observer(context);
    const StopSignals stopSignals([&workspace] { workspace.cancel(); });
    const ComparisonSummary summary = workspace.verify(direction, args.words, observer);
    TellActivityLogProblem(workspace, context);

    int exitCode = kExitOk;
    if (summary.cancelled && StopSignals::received() != 0)
        exitCode = 128 + StopSignals::received();
    else if (observer.connectionFailed || summary.connectionFailed)
        exitCode = kExitUsage;
    else if (!summary.allEqual())
        exitCode = kExitRefused;

    const DatabaseSide source = target == DatabaseSide::DB2 ? DatabaseSide::MySQL : DatabaseSide::DB2;
    if (args.flags.count("json")) {
        QJsonArray tables;
        for (const TableComparison& table : summary.tables)
            tables.append(ComparisonJson(table));
        const QJsonObject object {
            {"direction", direction == TransferDirection::MySQLToDB2 ? "mysql-to-db2" : "db2-to-mysql"},
            {"tablesEqual", summary.count(ComparisonStatus::Equal)},
            {"tablesDifferent", summary.count(ComparisonStatus::Different)},
            {"tablesNotCompared", summary.count(ComparisonStatus::NotCompared)},
            {"seconds", summary.seconds},
            {"cancelled", summary.cancelled},
            {"exitCode", exitCode},
            {"tables", tables},
        };
        context.out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
    } else {
        for (const auto& line : ComparisonSummaryLines(summary, SideName(source), SideName(target)))
            context.out << line << "\n";
    }
    return exitCode;
}
