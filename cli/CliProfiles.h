#pragma once

#include "ConnectionProfile.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

class SettingsStore;

// Where each login value comes from, strongest first: a command-line option,
// an environment variable (TABLEHOP_MYSQL_SERVER, ..., TABLEHOP_DB2_PASSWORD),
// the settings store the window writes (the logins last entered there).
// Passwords have no option: environment, prompt, or the store. The connection
// options follow the same order: --db2-schema / TABLEHOP_DB2_SCHEMA,
// --mysql-tls or --no-mysql-tls / TABLEHOP_MYSQL_TLS (1 or 0), --mysql-ca,
// --mysql-cert, --mysql-key / TABLEHOP_MYSQL_CA, _CERT, _KEY, and the same
// with db2- (CA only). A certificate file given on the command line or in the
// environment asks for TLS; with --no-...-tls it is a usage error.
struct ProfileSources {
    std::map<std::string, std::string> options;  // "mysql-server" -> value, ...
    std::set<std::string> flags;                 // "mysql-tls", "no-db2-tls", ...
    std::function<std::optional<std::string>(const std::string&)> environment;
    const SettingsStore* settings = nullptr;
    // Asks for a password on a terminal; nullopt when there is none.
    std::function<std::optional<std::string>(const std::string& prompt)> askPassword;
};

// Throws UsageError for contradicting or unreadable connection options.
ConnectionProfile ResolveProfile(DatabaseSide side, const ProfileSources& sources);
