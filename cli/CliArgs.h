#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A parsed command line: the command, its flags, its valued options and the
// remaining words.
struct CliArgs {
    std::string command;
    std::set<std::string> flags;                 // --json, --overwrite, ...
    std::map<std::string, std::string> options;  // --to db2, --mysql-server=h, ...
    std::vector<std::string> words;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// valuedOptions: the option names that take a value; anything else starting
// with "--" must be one of flags. Throws UsageError.
CliArgs ParseCliArgs(const std::vector<std::string>& args, const std::set<std::string>& valuedOptions,
                     const std::set<std::string>& flags);
