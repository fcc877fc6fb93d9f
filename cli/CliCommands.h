#pragma once

#include "Cli.h"
#include "CliArgs.h"
#include "ConnectionProfile.h"

class Workspace;

// Shared by the subcommands.
ConnectionProfile ProfileFor(DatabaseSide side, const CliArgs& args, CliContext& context);
DatabaseSide SideArgument(const std::string& word);  // "mysql" or "db2"; throws UsageError
std::string SideName(DatabaseSide side);             // "MySQL" or "IBM DB2"

int RunSend(const CliArgs& args, CliContext& context);

// Sends, drops and renames of the workspace go to the user's activity log,
// as the window's do; once it is done, a log that could not be written is said on stderr.
void KeepActivityLog(Workspace& workspace);
void TellActivityLogProblem(Workspace& workspace, CliContext& context);
int RunCheck(const CliArgs& args, CliContext& context);

// The per-table progress line drawn on a terminal: a bar of 20, the count,
// the rate and the time left; full (never past it) when the table grew.
std::string ProgressBarLine(const std::string& table, long long done, long long total, double rate);

// Whether two texts of decimals are one number, as the self-check compares
// them: ".5", "0.5" and "0.50" are; a text that is no decimal equals nothing.
bool SameDecimalValue(const std::string& a, const std::string& b);
