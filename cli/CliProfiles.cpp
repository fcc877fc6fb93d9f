#include "CliProfiles.h"

#include "CliArgs.h"
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

// Option and environment suffix of each connection option.
constexpr std::pair<ConnectionOption, const char*> kOptionWords[] = {
    {ConnectionOption::Schema, "schema"},          {ConnectionOption::Encrypted, "tls"},
    {ConnectionOption::CaCertificate, "ca"},       {ConnectionOption::ClientCertificate, "cert"},
    {ConnectionOption::ClientKey, "key"},
};

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const char* wordOf(ConnectionOption option)
{
    for (const auto& [candidate, word] : kOptionWords)
        if (candidate == option)
            return word;
    return "";
}

// "1" or "0" from an on/off word of the environment.
std::string switchText(const std::string& variable, const std::string& value)
{
    const std::string word = upper(value);
    if (word == "1" || word == "YES" || word == "TRUE" || word == "ON")
        return "1";
    if (word == "0" || word == "NO" || word == "FALSE" || word == "OFF" || word.empty())
        return "0";
    throw UsageError(variable + "=\"" + value + "\" is neither 1 nor 0");
}

// The side's connection options: command line, environment, then the store.
void resolveOptions(DatabaseSide side, const std::string& prefix, const ProfileSources& sources,
                    ConnectionProfile& profile)
{
    const auto environment = [&](const std::string& word) -> std::optional<std::string> {
        if (!sources.environment)
            return std::nullopt;
        return sources.environment("TABLEHOP_" + upper(prefix) + "_" + upper(word));
    };
    std::optional<std::string> tls;
    const bool on = sources.flags.count(prefix + "-tls") > 0, off = sources.flags.count("no-" + prefix + "-tls") > 0;
    if (on && off)
        throw UsageError("--" + prefix + "-tls and --no-" + prefix + "-tls exclude each other");
    if (on || off)
        tls = on ? "1" : "0";
    else if (auto value = environment("tls"))
        tls = switchText("TABLEHOP_" + upper(prefix) + "_TLS", *value);
    bool fileGiven = false;
    for (const ConnectionOptionSetting& setting : kConnectionOptionSettings) {
        if (setting.side != side)
            continue;
        const std::string word = wordOf(setting.option);
        std::optional<std::string> value;
        if (setting.option == ConnectionOption::Encrypted) {
            value = tls;
        } else if (auto it = sources.options.find(prefix + "-" + word); it != sources.options.end()) {
            value = it->second;
        } else {
            value = environment(word);
        }
        if (value && setting.option != ConnectionOption::Encrypted && setting.option != ConnectionOption::Schema
            && !value->empty())
            fileGiven = true;
        if (!value && sources.settings)
            value = sources.settings->read(setting).toStdString();
        SetOptionText(profile, setting.option, value.value_or(setting.defaultValue));
    }
    if (fileGiven && !tls)
        profile.encrypted = true;
    else if (fileGiven && *tls == "0")
        throw UsageError("a certificate file for " + prefix + " was given together with --no-" + prefix
                         + "-tls (or TABLEHOP_" + upper(prefix) + "_TLS=0)");
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
    resolveOptions(side, prefix, sources, profile);
    return profile;
}
