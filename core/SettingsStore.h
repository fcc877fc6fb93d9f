#pragma once

#include "ConnectionProfile.h"

#include <QString>

#include <memory>
#include <optional>

class Keyring;
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

    // Passwords (the keys "Password" and "MySQLPassword") in the system
    // keyring instead of this file, while "PasswordsInKeyring" is "1". Off by
    // default: the file, as before. read and write of a password go to the
    // keyring then, and the file keeps none; without a keyring they stay in
    // the file and takeKeyringProblem says why.
    bool passwordsInKeyring() const;
    // Turns it on or off and moves the stored passwords into the keyring or back.
    void setPasswordsInKeyring(bool on);
    // With it on, passwords still in the file move into the keyring (start-up).
    void movePasswordsToKeyring();
    // Why the keyring could not be used, the first time it failed, and
    // nothing after that: a front end says it once.
    std::optional<QString> takeKeyringProblem() const;

private:
    static bool isPassword(const QString& key);
    // The keyring entry of a key: one per settings file, so a test's or the
    // demo's store never touches the user's own.
    QString keyringKey(const QString& key) const;
    // The keyring when it is on and answers; nullptr otherwise (the problem noted).
    Keyring* usableKeyring() const;
    void writeToFile(const QString& key, const QString& text);

    std::unique_ptr<QSettings> settings_;
    mutable std::unique_ptr<Keyring> keyring_;
    mutable QString keyringProblem_;
    mutable bool keyringProblemTold_ = false;
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

// Connection options stored beside the ten login keys. Their defaults (empty,
// "0") make the plain login of before: the login's own DB2 schema, no TLS.
enum class ConnectionOption { Schema, Encrypted, CaCertificate, ClientCertificate, ClientKey };
struct ConnectionOptionSetting : SettingKey {
    DatabaseSide side;
    ConnectionOption option;
};
inline constexpr ConnectionOptionSetting kConnectionOptionSettings[] = {
    {{"DB2Schema", ""}, DatabaseSide::DB2, ConnectionOption::Schema},
    {{"DB2Encrypted", "0"}, DatabaseSide::DB2, ConnectionOption::Encrypted},
    {{"DB2CACertificate", ""}, DatabaseSide::DB2, ConnectionOption::CaCertificate},
    {{"MySQLEncrypted", "0"}, DatabaseSide::MySQL, ConnectionOption::Encrypted},
    {{"MySQLCACertificate", ""}, DatabaseSide::MySQL, ConnectionOption::CaCertificate},
    {{"MySQLClientCertificate", ""}, DatabaseSide::MySQL, ConnectionOption::ClientCertificate},
    {{"MySQLClientKey", ""}, DatabaseSide::MySQL, ConnectionOption::ClientKey},
};

// An option of a profile as the store keeps it ("1" or "0" for Encrypted), and back.
std::string OptionText(const ConnectionProfile& profile, ConnectionOption option);
void SetOptionText(ConnectionProfile& profile, ConnectionOption option, const std::string& text);
// The side's stored options put into the profile.
void ReadConnectionOptions(const SettingsStore& store, DatabaseSide side, ConnectionProfile& profile);

// Transfer options remembered beside the logins (the table manager's check
// boxes; the defaults of tablehop-cli send).
inline constexpr SettingKey kDb2ColumnTypesSetting {"DB2ColumnTypes", "text"};  // "text" or "matching"
inline constexpr SettingKey kCopyPrimaryKeysSetting {"CopyPrimaryKeys", "0"};   // "1" copies them
// A table the target has: "replace" the table (asking), "append" its rows or "replace-rows".
inline constexpr SettingKey kExistingTablesSetting {"ExistingTables", "replace"};
inline constexpr SettingKey kUpperCaseDb2NamesSetting {"UpperCaseDB2Names", "0"};  // "1" creates ORDERS for orders
// "1": loading into an existing table, a value its column would round goes in rounded (the window only;
// tablehop-cli send --allow-rounding).
inline constexpr SettingKey kAllowRoundingSetting {"AllowRounding", "0"};
// "1": the window asks about every existing table of a send at once, before any row moves.
inline constexpr SettingKey kAskExistingFirstSetting {"AskAboutExistingTablesFirst", "0"};
// "1": passwords in the system keyring, not in the settings file.
inline constexpr SettingKey kPasswordsInKeyringSetting {"PasswordsInKeyring", "0"};
// "1": each table sent is compared with its source afterwards (the window only; tablehop-cli send --verify).
inline constexpr SettingKey kVerifyAfterSendingSetting {"VerifyAfterSending", "0"};
// "1" to "16": a large keyed table goes in that many parallel streams (the window only; tablehop-cli send --parallel).
inline constexpr SettingKey kParallelStreamsSetting {"ParallelStreams", "1"};
