#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class SettingsStore;

// What the command-line front end talks to: its streams, the environment,
// the settings store and the terminal (tests hand in their own).
struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::function<std::optional<std::string>(const std::string&)> environment;
    const SettingsStore* settings = nullptr;
    bool interactive = false;  // standard input and error are a terminal
    std::function<std::optional<std::string>(const std::string& prompt, bool secret)> ask;
};

enum CliExit : int { kExitOk = 0, kExitRefused = 1, kExitUsage = 2 };

// tablehop-cli COMMAND ...; returns the exit status.
int RunCli(const std::vector<std::string>& args, CliContext& context);
