#pragma once

#include "ConnectionProfile.h"

#include <QString>

#include <memory>

class QSettings;

// A key of the store and the value it has before it is first written.
struct SettingKey {
    const char* key;
    const char* defaultValue;
};

// Per-user text values addressed by application, section and key. The file
// holds passwords, so it is kept readable by its owner only.
class SettingsStore {
public:
    static constexpr const char* kApplication = "Quarnel";
    static constexpr const char* kSection = "Tablehop Dual Server Table Copy & Move Software";

    // The user's own store (the platform's per-user settings area).
    SettingsStore();
    // A store in the given INI file (tests, the demo).
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    // The stored text, or the default when the key has never been written.
    QString read(const QString& key, const QString& defaultValue) const;
    QString read(const SettingKey& setting) const;
    // Stores the text at once (write-through).
    void write(const QString& key, const QString& text);
    void write(const SettingKey& setting, const QString& text);

    QString fileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

// The ten login keys and their defaults, in the order start-up reads them.
enum class LoginField { Server, Port, User, Password, Database };
struct LoginSetting : SettingKey {
    DatabaseSide side;
    LoginField field;
};
inline constexpr LoginSetting kLoginSettings[] = {
    {{"Server", ""}, DatabaseSide::DB2, LoginField::Server},
    {{"Port", "50069"}, DatabaseSide::DB2, LoginField::Port},
    {{"User", ""}, DatabaseSide::DB2, LoginField::User},
    {{"Password", ""}, DatabaseSide::DB2, LoginField::Password},
    {{"Database", ""}, DatabaseSide::DB2, LoginField::Database},
    {{"MySQLServer", "localhost"}, DatabaseSide::MySQL, LoginField::Server},
    {{"MySQLUser", ""}, DatabaseSide::MySQL, LoginField::User},
    {{"MySQLPassword", ""}, DatabaseSide::MySQL, LoginField::Password},
    {{"MySQLDatabase", ""}, DatabaseSide::MySQL, LoginField::Database},
    {{"MySQLPort", "3306"}, DatabaseSide::MySQL, LoginField::Port},
};

constexpr const LoginSetting& LoginSettingOf(DatabaseSide side, LoginField field)
{
    for (const LoginSetting& setting : kLoginSettings)
        if (setting.side == side && setting.field == field)
            return setting;
    throw "every side has every field";  // not reached: the table is complete
}

// The text of one field of a profile.
std::string& FieldOf(ConnectionProfile& profile, LoginField field);

// Transfer options remembered beside the logins (the table manager's check
// boxes; the defaults of tablehop-cli send).
inline constexpr SettingKey kDb2ColumnTypesSetting {"DB2ColumnTypes", "text"};  // "text" or "matching"
inline constexpr SettingKey kCopyPrimaryKeysSetting {"CopyPrimaryKeys", "0"};   // "1" copies them
// A table the target has: "replace" the table (asking), "append" its rows or "replace-rows".
inline constexpr SettingKey kExistingTablesSetting {"ExistingTables", "replace"};
inline constexpr SettingKey kUpperCaseDb2NamesSetting {"UpperCaseDB2Names", "0"};  // "1" creates ORDERS for orders
// "1": the window asks about every existing table of a send at once, before any row moves.
inline constexpr SettingKey kAskExistingFirstSetting {"AskAboutExistingTablesFirst", "0"};
// "1": each table sent is compared with its source afterwards (the window only; tablehop-cli send --verify).
inline constexpr SettingKey kVerifyAfterSendingSetting {"VerifyAfterSending", "0"};
