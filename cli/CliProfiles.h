#pragma once

#include "ConnectionProfile.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

class SettingsStore;

// Where each login value comes from, strongest first: a command-line option,
// an environment variable (TABLEHOP_MYSQL_SERVER, ..., TABLEHOP_DB2_PASSWORD),
// the settings store the window writes (the logins last entered there).
// Passwords have no option: environment, prompt, or the store.
struct ProfileSources {
    std::map<std::string, std::string> options;  // "mysql-server" -> value, ...
    std::function<std::optional<std::string>(const std::string&)> environment;
    const SettingsStore* settings = nullptr;
    // Asks for a password on a terminal; nullopt when there is none.
    std::function<std::optional<std::string>(const std::string& prompt)> askPassword;
};

ConnectionProfile ResolveProfile(DatabaseSide side, const ProfileSources& sources);
