// tablehop-cli send: the window's transfer, driven from a shell.
#include "CliCommands.h"
#include "TableListing.h"
#include "Transfer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdio>
#include <map>
#include <ostream>
#include <strings.h>

namespace {

using Clock = std::chrono::steady_clock;

struct TableOutcome {
    std::string name;
    std::string status = "skipped";  // sent, skipped, failed, cancelled
    long long rowsRead = 0;
    long long refused = 0;
    double seconds = 0;
    std::vector<std::string> errors;
};

std::string stepName(TransferDirection direction, int step)
{
    const TransferSteps& s = StepsOf(direction);
    if (step == s.openDB2) return "connect to IBM DB2";
    if (step == s.openMySQL) return "connect to MySQL";
    if (step == s.drop) return "DROP TABLE";
    if (step == s.openSource) return "read source";
    if (step == s.createTable) return "CREATE TABLE";
    if (step == s.rowCount) return "count rows";
    if (step == s.insert) return "INSERT";
    if (step == s.read) return "read rows";
    return "step " + std::to_string(step);
}

std::string formatDuration(double seconds)
{
    const long long whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

class CliTransferObserver : public TransferObserver {
public:
    CliTransferObserver(TransferDirection direction, const CliArgs& args, CliContext& context,
                        std::vector<std::string> targetTables)
        : direction_(direction), args_(args), context_(context), targetTables_(std::move(targetTables))
    {
    }

    bool connectionFailed = false;
    bool existingRefused = false;
    std::vector<TableOutcome> outcomes;

    bool targetListed(const std::string& table) override
    {
        finishProgressLine();
        outcomes.emplace_back();
        outcomes.back().name = table;
        tableStarted_ = Clock::now();
        for (const auto& name : targetTables_)
            if (strcasecmp(name.c_str(), table.c_str()) == 0)
                return true;
        return false;
    }

    bool confirmOverwrite(const std::string& table) override
    {
        if (args_.flags.count("overwrite"))
            return true;
        if (args_.flags.count("skip-existing")) {
            context_.err << "skipped " << table << ": it exists on " << targetName() << "\n";
            return false;
        }
        if (context_.interactive && context_.ask) {
            const auto answer = context_.ask("Would you like to overwrite " + table + "? [y/N] ", false);
            if (answer && (*answer == "y" || *answer == "Y" || strcasecmp(answer->c_str(), "yes") == 0))
                return true;
            return false;
        }
        current().status = "failed";
        current().errors.push_back("exists on the target (use --overwrite or --skip-existing)");
        context_.err << "error: table " << table << ", step DROP TABLE: it exists on " << targetName()
                     << " (use --overwrite or --skip-existing)\n";
        existingRefused = true;
        return false;
    }

    void targetDropped(const std::string& table) override
    {
        std::erase_if(targetTables_, [&](const std::string& name) { return name == table; });
    }

    void tableArrived(const std::string& table) override
    {
        finishProgressLine();
        targetTables_.push_back(table);
        TableOutcome& outcome = current();
        outcome.seconds = std::chrono::duration<double>(Clock::now() - tableStarted_).count();
        if (outcome.status == "skipped")
            outcome.status = "sent";
        if (!context_.interactive || args_.flags.count("json") == 0)
            context_.err << table << ": " << (outcome.rowsRead - outcome.refused) << " rows sent, " << outcome.refused
                         << " refused, " << formatSeconds(outcome.seconds) << " s\n";
    }

    void tableNotReplaced(const std::string& table, bool replacing) override
    {
        finishProgressLine();
        TableOutcome& outcome = current();
        if (outcome.status == "skipped")
            outcome.status = "failed";
        outcome.errors.push_back(replacing ? "not replaced: the old table is unchanged" : "not created");
        context_.err << table << ": " << (replacing ? "not replaced, the old table on " : "not created on ")
                     << targetName() << (replacing ? " is unchanged\n" : "\n");
    }

    void progress(int) override {}

    void rowsDone(const std::string& table, long long done, long long total) override
    {
        current().rowsRead = done;
        if (!context_.interactive)
            return;
        const auto now = Clock::now();
        if (now - lastDrawn_ < std::chrono::milliseconds(100) && done != total)
            return;
        lastDrawn_ = now;
        const double elapsed = std::chrono::duration<double>(now - tableStarted_).count();
        const double rate = elapsed > 0 ? done / elapsed : 0;
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        const int filled = percent / 5;
        std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(20 - filled), '-') + "]";
        const std::string left = (rate > 0 && total > done) ? formatDuration((total - done) / rate) : "0:00";
        char line[256];
        std::snprintf(line, sizeof line, "\r%-24.24s %s %lld rows %3d%% %.0f rows/s %s left ", table.c_str(), bar.c_str(),
                      done, percent, rate, left.c_str());
        context_.err << line << std::flush;
        progressShown_ = true;
    }

    void report(int step, const std::string& description, const std::string& sql) override
    {
        finishProgressLine();
        const TransferSteps& steps = StepsOf(direction_);
        if (step == steps.openDB2 || step == steps.openMySQL) {
            connectionFailed = true;
            context_.err << "error: " << stepName(direction_, step) << ": " << description << "\n";
            return;
        }
        TableOutcome& outcome = current();
        if (step == steps.insert || step == steps.read) {
            ++outcome.refused;  // the first refused row; further ones arrive as a count
        } else {
            outcome.status = "failed";
        }
        outcome.errors.push_back(stepName(direction_, step) + ": " + description);
        context_.err << "error: table " << outcome.name << ", step " << stepName(direction_, step) << ": "
                     << description << "\n";
        if (!sql.empty())
            context_.err << "  sql: " << (sql.size() > 500 ? sql.substr(0, 500) + "..." : sql) << "\n";
    }

    void rowsRefused(const std::string& table, long long furtherRefused) override
    {
        current().refused += furtherRefused;
        context_.err << "error: table " << table << ", step INSERT: " << furtherRefused
                     << " further rows were refused\n";
    }

    bool cancelRequested() override { return false; }
    void yield() override {}

private:
    TableOutcome& current() { return outcomes.back(); }
    const char* targetName() const { return direction_ == TransferDirection::MySQLToDB2 ? "IBM DB2" : "MySQL"; }
    static std::string formatSeconds(double seconds)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", seconds);
        return text;
    }
    void finishProgressLine()
    {
        if (progressShown_)
            context_.err << "\n";
        progressShown_ = false;
    }

    TransferDirection direction_;
    const CliArgs& args_;
    CliContext& context_;
    std::vector<std::string> targetTables_;
    Clock::time_point tableStarted_ = Clock::now();
    Clock::time_point lastDrawn_{};
    bool progressShown_ = false;
};

QJsonObject summaryJson(TransferDirection direction, const TransferSummary& summary,
                        const std::vector<TableOutcome>& outcomes, int exitCode)
{
    QJsonArray tables;
    for (const auto& outcome : outcomes) {
        QJsonArray errors;
        for (const auto& error : outcome.errors)
            errors.append(QString::fromStdString(error));
        tables.append(QJsonObject{
            {"name", QString::fromStdString(outcome.name)},
            {"status", QString::fromStdString(outcome.status)},
            {"rowsSent", outcome.rowsRead - outcome.refused},
            {"rowsRefused", outcome.refused},
            {"seconds", outcome.seconds},
            {"errors", errors},
        });
    }
    return QJsonObject{
        {"direction", direction == TransferDirection::MySQLToDB2 ? "mysql-to-db2" : "db2-to-mysql"},
        {"tablesSent", summary.tablesSent},
        {"rowsCopied", summary.rowsCopied},
        {"rowsRefused", summary.rowsRefused},
        {"seconds", summary.seconds},
        {"cancelled", summary.cancelled},
        {"exitCode", exitCode},
        {"tables", tables},
    };
}

}  // namespace

int RunSend(const CliArgs& args, CliContext& context)
{
    const auto to = args.options.find("to");
    if (to == args.options.end())
        throw UsageError("send needs --to db2 or --to mysql");
    const DatabaseSide target = SideArgument(to->second);
    if (args.words.empty())
        throw UsageError("send needs at least one table");
    if (args.flags.count("overwrite") && args.flags.count("skip-existing"))
        throw UsageError("--overwrite and --skip-existing exclude each other");
    const TransferDirection direction =
        target == DatabaseSide::DB2 ? TransferDirection::MySQLToDB2 : TransferDirection::DB2ToMySQL;

    const ConnectionProfile mysql = ProfileFor(DatabaseSide::MySQL, args, context);
    const ConnectionProfile db2 = ProfileFor(DatabaseSide::DB2, args, context);
    std::vector<std::string> targetTables;
    try {
        targetTables = target == DatabaseSide::DB2 ? ListDB2Tables(db2) : ListMySQLTables(mysql);
    } catch (const DbError& error) {
        context.err << "error: cannot connect to " << SideName(target) << " [" << error.sqlState() << "] "
                    << error.description() << "\n";
        return kExitUsage;
    }

    CliTransferObserver observer(direction, args, context, std::move(targetTables));
    const TransferSummary summary = RunTransfer(direction, mysql, db2, args.words, observer);

    int exitCode = kExitOk;
    if (observer.connectionFailed)
        exitCode = kExitUsage;
    else if (summary.rowsRefused > 0 || !summary.failedTables.empty() || observer.existingRefused)
        exitCode = kExitRefused;

    if (args.flags.count("json")) {
        context.out << QJsonDocument(summaryJson(direction, summary, observer.outcomes, exitCode))
                           .toJson(QJsonDocument::Indented)
                           .toStdString();
    } else {
        char line[256];
        std::snprintf(line, sizeof line, "Sent %d table%s to %s: %lld rows copied, %lld rows refused, %.1f s%s\n",
                      summary.tablesSent, summary.tablesSent == 1 ? "" : "s", SideName(target), summary.rowsCopied,
                      summary.rowsRefused, summary.seconds, summary.cancelled ? " (cancelled)" : "");
        context.out << line;
    }
    return exitCode;
}
