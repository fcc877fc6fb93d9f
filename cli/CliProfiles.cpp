#include "CliProfiles.h"

#include "SettingsStore.h"
#include "SqlDialect.h"

#include <cctype>
#include <utility>

namespace {

// Option and environment suffix of each field (upper-cased in the environment).
constexpr std::pair<LoginField, const char*> kFields[] = {
    {LoginField::Server, "server"},     {LoginField::Port, "port"},         {LoginField::User, "user"},
    {LoginField::Password, "password"}, {LoginField::Database, "database"},
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
    const std::string prefix = side == DatabaseSide::MySQL ? "mysql" : "db2";
    ConnectionProfile profile;
    for (const auto& [loginField, word] : kFields) {
        const std::string field = word;
        const LoginSetting& setting = LoginSettingOf(side, loginField);
        std::optional<std::string> value;
        if (loginField != LoginField::Password) {
            if (auto it = sources.options.find(prefix + "-" + field); it != sources.options.end())
                value = it->second;
        }
        if (!value && sources.environment)
            value = sources.environment("TABLEHOP_" + upper(prefix) + "_" + upper(field));
        if (!value && sources.settings)
            value = sources.settings->read(setting).toStdString();
        if (loginField == LoginField::Password && (!value || value->empty()) && sources.askPassword) {
            if (auto typed = sources.askPassword(DialectOf(side).displayName() + " password: "))
                value = typed;
        }
        FieldOf(profile, loginField) = value.value_or(setting.defaultValue);
    }
    return profile;
}
