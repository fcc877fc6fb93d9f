#pragma once

#include <QString>

#include <memory>

class QSettings;

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
    // Stores the text at once (write-through).
    void write(const QString& key, const QString& text);

    QString fileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

// The ten keys and their defaults, in the order start-up reads them.
struct SettingKey {
    const char* key;
    const char* defaultValue;
};
inline constexpr SettingKey kLoginSettings[] = {
    {"Server", ""},        {"Port", "50069"},     {"User", ""},          {"Password", ""},
    {"Database", ""},      {"MySQLServer", "localhost"}, {"MySQLUser", ""}, {"MySQLPassword", ""},
    {"MySQLDatabase", ""}, {"MySQLPort", "3306"},
};

// Transfer options remembered beside the logins (the table manager's check
// boxes; the defaults of tablehop-cli send).
inline constexpr SettingKey kDb2ColumnTypesSetting{"DB2ColumnTypes", "text"};  // "text" or "matching"
inline constexpr SettingKey kCopyPrimaryKeysSetting{"CopyPrimaryKeys", "0"};   // "1" copies them
