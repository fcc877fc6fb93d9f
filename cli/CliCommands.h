#pragma once

#include <chrono>

#include "Cli.h"
#include "CliArgs.h"
#include "ConnectionProfile.h"
#include "SelfCheck.h"  // SameDecimalValue
#include "Transfer.h"

class Workspace;
class QJsonObject;
struct TableComparison;

// Shared by the subcommands.
ConnectionProfile ProfileFor(DatabaseSide side, const CliArgs& args, CliContext& context);
DatabaseSide SideArgument(const std::string& word);  // "mysql" or "db2"; throws UsageError
std::string SideName(DatabaseSide side);             // "MySQL" or "IBM DB2"

int RunSend(const CliArgs& args, CliContext& context);
int RunVerify(const CliArgs& args, CliContext& context);
// --to's direction (the target given); also requires at least one table. Throws UsageError.
TransferDirection DirectionArgument(const CliArgs& args);
// --db2-upper-case, --no-db2-upper-case, else what the window last used.
bool UpperCaseNamesOnDB2(const CliArgs& args, const CliContext& context);

// Sends, drops and renames of the workspace go to the user's activity log,
// as the window's do; once it is done, a log that could not be written is said on stderr.
void KeepActivityLog(Workspace& workspace);
void TellActivityLogProblem(Workspace& workspace, CliContext& context);
int RunCheck(const CliArgs& args, CliContext& context);

// The progress line of the table in hand, drawn on a terminal (stderr) at
// most every 100 ms; off a terminal nothing is drawn.
class TerminalProgress {
public:
    explicit TerminalProgress(CliContext& context) : context_(context) { }
    void start() { started_ = std::chrono::steady_clock::now(); }
    double seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count(); }
    void rowsDone(const std::string& table, long long done, long long total);
    void finish();  // ends a line that was drawn, before anything else is written

private:
    CliContext& context_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now(), lastDrawn_ {};
    bool shown_ = false;
};

// The per-table progress line drawn on a terminal: a bar of 20, the count,
// the rate and the time left; full (never past it) when the table grew.
std::string ProgressBarLine(const std::string& table, long long done, long long total, double rate);

// One table's comparison as JSON, for verify and send --verify.
QJsonObject ComparisonJson(const TableComparison& table);
