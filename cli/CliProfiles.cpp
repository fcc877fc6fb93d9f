#include "CliProfiles.h"

#include "SettingsStore.h"

#include <cctype>

namespace {

struct FieldKeys {
    const char* field;      // option suffix and environment suffix (upper-cased)
    const char* mysqlKey;   // settings keys of each side
    const char* db2Key;
    const char* mysqlDefault;
    const char* db2Default;
};

constexpr FieldKeys kFields[] = {
    {"server", "MySQLServer", "Server", "localhost", ""},
    {"port", "MySQLPort", "Port", "3306", "50069"},
    {"user", "MySQLUser", "User", "", ""},
    {"password", "MySQLPassword", "Password", "", ""},
    {"database", "MySQLDatabase", "Database", "", ""},
};

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

ConnectionProfile ResolveProfile(DatabaseSide side, const ProfileSources& sources)
{
    const bool mysql = side == DatabaseSide::MySQL;
    const std::string prefix = mysql ? "mysql" : "db2";
    ConnectionProfile profile;
    for (const auto& keys : kFields) {
        const std::string field = keys.field;
        std::optional<std::string> value;
        if (field != "password") {
            if (auto it = sources.options.find(prefix + "-" + field); it != sources.options.end())
                value = it->second;
        }
        if (!value && sources.environment)
            value = sources.environment("TABLEHOP_" + upper(prefix) + "_" + upper(field));
        if (!value && sources.settings)
            value = sources.settings->read(QString::fromLatin1(mysql ? keys.mysqlKey : keys.db2Key),
                                           QString::fromLatin1(mysql ? keys.mysqlDefault : keys.db2Default))
                        .toStdString();
        if (field == "password" && (!value || value->empty()) && sources.askPassword) {
            if (auto typed = sources.askPassword((mysql ? "MySQL" : "IBM DB2") + std::string(" password: ")))
                value = typed;
        }
        const std::string text = value.value_or(mysql ? keys.mysqlDefault : keys.db2Default);
        if (field == "server") profile.server = text;
        else if (field == "port") profile.port = text;
        else if (field == "user") profile.user = text;
        else if (field == "password") profile.password = text;
        else profile.database = text;
    }
    return profile;
}
