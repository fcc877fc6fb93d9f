#pragma once

#include "Cli.h"
#include "CliArgs.h"
#include "ConnectionProfile.h"

// Shared by the subcommands.
ConnectionProfile ProfileFor(DatabaseSide side, const CliArgs& args, CliContext& context);
DatabaseSide SideArgument(const std::string& word);  // "mysql" or "db2"; throws UsageError
const char* SideName(DatabaseSide side);             // "MySQL" or "IBM DB2"

int RunSend(const CliArgs& args, CliContext& context);
int RunCheck(const CliArgs& args, CliContext& context);
