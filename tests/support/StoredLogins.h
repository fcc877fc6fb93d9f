#pragma once

#include "ConnectionProfile.h"
#include "SettingsStore.h"

#include <string>
#include <utility>

// Writes both logins into a settings store under the window's keys, as if the
// user had typed them.
inline void StoreLogins(SettingsStore& store, const ConnectionProfile& mysql, const ConnectionProfile& db2)
{
    const std::pair<const char*, std::string> values[] = {
        {"Server", db2.server},          {"Port", db2.port},         {"User", db2.user},
        {"Password", db2.password},      {"Database", db2.database}, {"MySQLServer", mysql.server},
        {"MySQLPort", mysql.port},       {"MySQLUser", mysql.user},  {"MySQLPassword", mysql.password},
        {"MySQLDatabase", mysql.database},
    };
    for (const auto& [key, value] : values)
        store.write(QString::fromLatin1(key), QString::fromStdString(value));
}
