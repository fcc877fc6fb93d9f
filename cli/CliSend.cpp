// tablehop-cli send: the window's transfer, driven from a shell.
#include "CliCommands.h"
#include "SettingsStore.h"
#include "StopSignals.h"
#include "Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <strings.h>

namespace {


// What the CLI keeps per table besides the engine's result.
struct TableNotes {
    double seconds = 0;
    std::vector<std::string> errors;
    bool existsRefused = false;  // it exists on the target and no choice was given
    std::string existing;        // what was done with the table the target had: replace, append, replace-rows, skip
};

std::string stepWords(TransferDirection direction, TransferStep step)
{
    const bool toDB2 = direction == TransferDirection::MySQLToDB2;
    switch (step) {
    case TransferStep::ConnectSource: return "connect to " + SideName(toDB2 ? DatabaseSide::MySQL : DatabaseSide::DB2);
    case TransferStep::ConnectTarget: return "connect to " + SideName(toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL);
    case TransferStep::ReplaceTable: return "replace table";  // the copy takes the table's name
    case TransferStep::OpenSource: return "read source";
    case TransferStep::CreateTable: return "CREATE TABLE";
    case TransferStep::CountRows: return "count rows";
    case TransferStep::Insert: return "INSERT";
    case TransferStep::ReadRows: return "read rows";
    }
    return "unknown step";
}

}  // namespace

std::string ProgressBarLine(const std::string& table, long long done, long long total, double rate)
{
    // A table that grows during the copy reads more rows than it had: the bar stays full.
    const int percent = total > 0 ? static_cast<int>(std::clamp<long long>(done * 100 / total, 0, 100)) : 100;
    const int filled = std::clamp(percent / 5, 0, 20);
    const std::string bar = "[" + std::string(static_cast<size_t>(filled), '#')
        + std::string(static_cast<size_t>(20 - filled), '-') + "]";
    const std::string left = (rate > 0 && total > done) ? FormatMinutesSeconds((total - done) / rate) : "0:00";
    char line[256];
    std::snprintf(line, sizeof line, "\r%-24.24s %s %lld rows %3d%% %.0f rows/s %s left ", table.c_str(), bar.c_str(),
                  done, percent, rate, left.c_str());
    return line;
}

void TerminalProgress::rowsDone(const std::string& table, long long done, long long total)
{
    if (!context_.interactive)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < std::chrono::milliseconds(100) && done < total)
        return;
    lastDrawn_ = now;
    const double elapsed = seconds();
    context_.err << ProgressBarLine(table, done, total, elapsed > 0 ? done / elapsed : 0) << std::flush;
    shown_ = true;
}

void TerminalProgress::finish()
{
    if (shown_)
        context_.err << "\n";
    shown_ = false;
}

namespace {

class CliTransferObserver : public TransferObserver {
public:
    CliTransferObserver(TransferDirection direction, const CliArgs& args, CliContext& context)
            : direction_(direction), args_(args), context_(context)
    {
    }

    bool connectionFailed = false;
    std::map<std::string, TableNotes> notes;

    void tableStarting(const std::string&) override
    {
        finishProgressLine();
        progressLine_.start();
    }

    bool confirmLoad(const std::string& table, const std::string&, const std::string&) override
    {
        notes[table].existing = args_.options.at("existing");
        return true;  // the option given is the answer
    }

    bool confirmOverwrite(const std::string& table, const std::string& existing) override
    {
        const bool replace = confirmOverwriteAnswer(table, existing);
        if (replace || !notes[table].existsRefused)
            notes[table].existing = replace ? "replace" : "skip";
        return replace;
    }

    bool confirmOverwriteAnswer(const std::string& table, const std::string& existing)
    {
        if (args_.flags.count("overwrite") || existingOption() == "replace")
            return true;
        if (args_.flags.count("skip-existing") || existingOption() == "skip") {
            context_.err << "skipped " << table << ": " << existing << " exists on " << targetName() << "\n";
            return false;
        }
        if (context_.interactive && context_.ask) {
            const auto answer = context_.ask("Would you like to overwrite " + existing + "? [y/N] ", false);
            if (answer && (*answer == "y" || *answer == "Y" || strcasecmp(answer->c_str(), "yes") == 0))
                return true;
            return false;
        }
        TableNotes& note = notes[table];
        note.existsRefused = true;
        note.errors.push_back(existing + " exists on the target (use --overwrite or --skip-existing)");
        context_.err << "error: table " << table << ", step DROP TABLE: " << existing << " exists on " << targetName()
                     << " (use --overwrite or --skip-existing)\n";
        return false;
    }

    void targetDropped(const std::string&) override { }

    std::string existingOption() const
    {
        const auto it = args_.options.find("existing");
        return it == args_.options.end() ? "" : it->second;
    }

    void tableArrived(const std::string&) override { finishProgressLine(); }

    void tableFinished(const TableResult& result) override
    {
        notes[result.name].seconds = progressLine_.seconds();
        if (context_.interactive && args_.flags.count("json"))
            return;
        context_.err << result.name << ": ";
        if (result.status != TableStatus::Sent)
            context_.err << TableStatusName(result.status) << " (" << result.reason << "), " << result.rowsRead
                         << " rows read, ";
        context_.err << result.rowsWritten << " rows sent, " << result.rowsRefused << " refused, "
                     << formatSeconds(notes[result.name].seconds) << " s\n";
    }

    void progress(int) override { }

    void rowsDone(const std::string& table, long long done, long long total) override
    {
        progressLine_.rowsDone(table, done, total);
    }

    void report(const std::string& table, TransferStep step, const std::string& description,
                const std::string& sql) override
    {
        finishProgressLine();
        if (step == TransferStep::ConnectSource || step == TransferStep::ConnectTarget)
            connectionFailed = true;
        if (table.empty()) {  // the run's own connections
            context_.err << "error: " << stepWords(direction_, step) << ": " << description << "\n";
            return;
        }
        notes[table].errors.push_back(stepWords(direction_, step) + ": " + description);
        context_.err << "error: table " << table << ", step " << stepWords(direction_, step) << ": " << description
                     << "\n";
        if (!sql.empty())
            context_.err << "  sql: " << (sql.size() > 500 ? sql.substr(0, 500) + "..." : sql) << "\n";
    }

    void rowsRefused(const std::string& table, long long furtherRefused) override
    {
        context_.err << "error: table " << table << ", step INSERT: " << furtherRefused
                     << " further rows were refused\n";
    }

    bool cancelRequested() override
    {
        const int signal = StopSignals::received();
        if (signal != 0 && !stopAnnounced_) {
            stopAnnounced_ = true;
            finishProgressLine();
            context_.err << "tablehop-cli: " << (signal == SIGINT ? "SIGINT" : "SIGTERM")
                         << ": stopping after the current batch; a second signal ends at once\n";
        }
        return signal != 0;
    }
    void yield() override { }

private:
    std::string targetName() const
    {
        return SideName(direction_ == TransferDirection::MySQLToDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL);
    }
    static std::string formatSeconds(double seconds)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", seconds);
        return text;
    }
    void finishProgressLine() { progressLine_.finish(); }

    TransferDirection direction_;
    const CliArgs& args_;
    CliContext& context_;
    TerminalProgress progressLine_ {context_};
    bool stopAnnounced_ = false;
};

// The status the CLI gives a table: the engine's, except that an existing
// table left alone for want of a choice counts as failed.
std::string statusOf(const TableResult& table, const std::map<std::string, TableNotes>& notes,
                     const TransferSummary& summary)
{
    const auto note = notes.find(table.name);
    if (note != notes.end() && note->second.existsRefused)
        return "failed";
    // It arrived, but it is not what the source holds.
    if (const TableComparison* verdict = summary.verdict(table.name);
        verdict && verdict->status == ComparisonStatus::Different)
        return "different";
    return TableStatusName(table.status);
}

// Everything but a whole table without refused rows, or one the user chose to keep, makes exit status 1.
bool tableFellShort(const TableResult& table, const std::map<std::string, TableNotes>& notes,
                    const TransferSummary& summary)
{
    if (statusOf(table, notes, summary) == "failed" || table.rowsRefused > 0)
        return true;
    if (const TableComparison* verdict = summary.verdict(table.name);
        verdict && verdict->status != ComparisonStatus::Equal)
        return true;
    if (table.status == TableStatus::Skipped)
        return table.reason != "the existing table was kept";
    return table.status != TableStatus::Sent;
}

QJsonObject summaryJson(TransferDirection direction, const TransferSummary& summary,
                        const std::map<std::string, TableNotes>& notes, int exitCode)
{
    QJsonArray tables;
    for (const auto& table : summary.tables) {
        QJsonArray errors;
        double seconds = 0;
        if (const auto note = notes.find(table.name); note != notes.end()) {
            for (const auto& error : note->second.errors)
                errors.append(QString::fromStdString(error));
            seconds = note->second.seconds;
        }
        const auto perColumn = [](const std::map<std::string, long long>& counts) {
            QJsonObject object;
            for (const auto& [column, count] : counts)
                object.insert(QString::fromStdString(column), count);
            return object;
        };
        const QJsonObject nulled = perColumn(table.datesStoredAsNull);
        const QJsonObject substituted = perColumn(table.valuesChangedByCodePage);
        const QJsonObject rounded = perColumn(table.valuesRounded);
        QJsonObject entry {
            {"name", QString::fromStdString(table.name)},
            {"status", QString::fromStdString(statusOf(table, notes, summary))},
            {"rowsRead", table.rowsRead},
            {"rowsWritten", table.rowsWritten},
            {"rowsRefused", table.rowsRefused},
            {"seconds", seconds},
            {"errors", errors},
        };
        if (table.rowsOnTarget >= 0)
            entry.insert("rowsOnTarget", table.rowsOnTarget);
        if (!table.reason.empty())
            entry.insert("reason", QString::fromStdString(table.reason));
        if (const auto note = notes.find(table.name); note != notes.end() && !note->second.existing.empty())
            entry.insert("existing", QString::fromStdString(note->second.existing));
        if (!nulled.isEmpty())
            entry.insert("zeroDatesStoredAsNull", nulled);
        if (!substituted.isEmpty())
            entry.insert("valuesChangedByCodePage", substituted);
        if (!rounded.isEmpty())
            entry.insert("valuesRounded", rounded);
        QJsonArray optionNotes;
        for (const auto& note : table.notes)
            optionNotes.append(QString::fromStdString(note));
        if (!optionNotes.isEmpty())
            entry.insert("notes", optionNotes);
        if (const TableComparison* verdict = summary.verdict(table.name))
            entry.insert("verify", ComparisonJson(*verdict));
        tables.append(entry);
    }
    return QJsonObject {
        {"direction", direction == TransferDirection::MySQLToDB2 ? "mysql-to-db2" : "db2-to-mysql"},
        {"tablesSent", summary.tablesSent()},
        {"rowsCopied", summary.rowsCopied()},
        {"rowsRefused", summary.rowsRefused()},
        {"seconds", summary.seconds},
        {"cancelled", summary.cancelled},
        {"connectionLost", summary.connectionLost},
        {"exitCode", exitCode},
        {"tables", tables},
    };
}

std::string storedSetting(const CliContext& context, const SettingKey& setting)
{
    return context.settings ? context.settings->read(setting).toStdString() : setting.defaultValue;
}

// --parallel N: 1 to the most streams a run may ask for.
int ParallelStreamsArgument(const std::string& text)
{
    const bool digits = !text.empty() && text.size() <= 2
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int streams = digits ? std::stoi(text) : 0;
    if (streams < 1 || streams > kMaxParallelStreams)
        throw UsageError("--parallel takes a number of streams from 1 to " + std::to_string(kMaxParallelStreams)
                         + ", not \"" + text + "\"");
    return streams;
}

// The options given, else those the window last used.
TransferOptions transferOptions(const CliArgs& args, const CliContext& context)
{
    if (args.flags.count("keys") && args.flags.count("no-keys"))
        throw UsageError("--keys and --no-keys exclude each other");
    const auto types = args.options.find("db2-types");
    const std::string typesWord
        = types != args.options.end() ? types->second : storedSetting(context, kDb2ColumnTypesSetting);
    TransferOptions options;
    if (typesWord == "matching")
        options.columnTypes = Db2ColumnTypes::Matching;
    else if (typesWord != "text" && types != args.options.end())
        throw UsageError("unknown --db2-types \"" + typesWord + "\" (text or matching)");
    options.copyPrimaryKeys = args.flags.count("keys")
        || (!args.flags.count("no-keys") && storedSetting(context, kCopyPrimaryKeysSetting) == "1");
    options.upperCaseNamesOnDB2 = UpperCaseNamesOnDB2(args, context);
    // Not the window's choice: without the option a send does what it always did.
    // Not the window's choice either: a script asks for it.
    options.verifyAfterSending = args.flags.count("verify") > 0;
    // Nor this: a script that stores values rounded asks for it.
    options.allowRounding = args.flags.count("allow-rounding") > 0;
    // Nor is this: several snapshots instead of one is a script's own choice.
    if (const auto parallel = args.options.find("parallel"); parallel != args.options.end())
        options.parallelStreams = ParallelStreamsArgument(parallel->second);
    if (const auto existing = args.options.find("existing"); existing != args.options.end()) {
        if (args.flags.count("overwrite") || args.flags.count("skip-existing"))
            throw UsageError("--existing excludes --overwrite and --skip-existing");
        if (existing->second == "append")
            options.existingTables = ExistingTables::AddRows;
        else if (existing->second == "replace-rows")
            options.existingTables = ExistingTables::ReplaceRows;
        else if (existing->second != "replace" && existing->second != "skip")
            throw UsageError("unknown --existing \"" + existing->second + "\" (replace, append, replace-rows or skip)");
    }
    return options;
}

}  // namespace

bool UpperCaseNamesOnDB2(const CliArgs& args, const CliContext& context)
{
    if (args.flags.count("db2-upper-case") && args.flags.count("no-db2-upper-case"))
        throw UsageError("--db2-upper-case and --no-db2-upper-case exclude each other");
    return args.flags.count("db2-upper-case")
        || (!args.flags.count("no-db2-upper-case") && storedSetting(context, kUpperCaseDb2NamesSetting) == "1");
}

TransferDirection DirectionArgument(const CliArgs& args)
{
    const auto to = args.options.find("to");
    if (to == args.options.end())
        throw UsageError(args.command + " needs --to db2 or --to mysql");
    const DatabaseSide target = SideArgument(to->second);
    if (args.words.empty())
        throw UsageError(args.command + " needs at least one table");
    return target == DatabaseSide::DB2 ? TransferDirection::MySQLToDB2 : TransferDirection::DB2ToMySQL;
}

int RunSend(const CliArgs& args, CliContext& context)
{
    const TransferDirection direction = DirectionArgument(args);
    const DatabaseSide target
        = direction == TransferDirection::MySQLToDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL;
    if (args.flags.count("overwrite") && args.flags.count("skip-existing"))
        throw UsageError("--overwrite and --skip-existing exclude each other");
    Workspace workspace;
    workspace.setOptions(transferOptions(args, context));
    workspace.setLogin(DatabaseSide::MySQL, ProfileFor(DatabaseSide::MySQL, args, context));
    workspace.setLogin(DatabaseSide::DB2, ProfileFor(DatabaseSide::DB2, args, context));
    KeepActivityLog(workspace);
    // A connection that cannot be opened is reported by the run and makes exit status 2.
    CliTransferObserver observer(direction, args, context);
    const StopSignals stopSignals([&workspace] { workspace.cancel(); });
    const TransferSummary summary = workspace.send(direction, args.words, observer);
    TellActivityLogProblem(workspace, context);

    int exitCode = kExitOk;
    if (summary.cancelled && StopSignals::received() != 0)
        exitCode = 128 + StopSignals::received();  // as a shell reports a program ended by the signal
    else if (observer.connectionFailed)
        exitCode = kExitUsage;
    else if (std::any_of(summary.tables.begin(), summary.tables.end(),
                         [&](const TableResult& table) { return tableFellShort(table, observer.notes, summary); }))
        exitCode = kExitRefused;

    if (args.flags.count("json")) {
        context.out << QJsonDocument(summaryJson(direction, summary, observer.notes, exitCode))
                           .toJson(QJsonDocument::Indented)
                           .toStdString();
    } else {
        for (const auto& line : TransferSummaryLines(summary, SideName(target)))
            context.out << line << "\n";
    }
    return exitCode;
}
