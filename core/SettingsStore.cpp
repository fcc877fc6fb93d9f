#include "SettingsStore.h"

#include "Keyring.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

SettingsStore::SettingsStore()
        : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                QString::fromLatin1(kApplication), QStringLiteral("Tablehop")))
{
}

SettingsStore::SettingsStore(const QString& iniFile)
        : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    if (isPassword(key))
        if (Keyring* keyring = usableKeyring())
            if (std::optional<QString> stored = keyring->read(keyringKey(key)))
                return *stored;
    // Not in the keyring (or none): the file's, e.g. a password not moved yet.
    settings_->beginGroup(QString::fromLatin1(kSection));
    const QVariant value = settings_->value(key);
    settings_->endGroup();
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::write(const QString& key, const QString& text)
{
    if (isPassword(key))
        if (Keyring* keyring = usableKeyring()) {
            if (keyring->write(keyringKey(key), text)) {
                settings_->beginGroup(QString::fromLatin1(kSection));
                settings_->remove(key);
                settings_->endGroup();
                settings_->sync();
                return;
            }
            if (keyringProblem_.isEmpty())
                keyringProblem_ = keyring->problem();
        }
    writeToFile(key, text);
}

void SettingsStore::writeToFile(const QString& key, const QString& text)
{
    settings_->beginGroup(QString::fromLatin1(kSection));
    settings_->setValue(key, text);
    settings_->endGroup();
    settings_->sync();
    QFile::setPermissions(settings_->fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString SettingsStore::fileName() const { return settings_->fileName(); }

bool SettingsStore::isPassword(const QString& key)
{
    return key == QLatin1String(LoginSettingOf(DatabaseSide::DB2, LoginField::Password).key)
        || key == QLatin1String(LoginSettingOf(DatabaseSide::MySQL, LoginField::Password).key);
}

QString SettingsStore::keyringKey(const QString& key) const
{
    return key + QLatin1Char('@') + QFileInfo(settings_->fileName()).absoluteFilePath();
}

bool SettingsStore::passwordsInKeyring() const { return read(kPasswordsInKeyringSetting) == QLatin1String("1"); }

Keyring* SettingsStore::usableKeyring() const
{
    if (!passwordsInKeyring())
        return nullptr;
    if (!keyring_)
        keyring_ = std::make_unique<Keyring>(QStringLiteral("Tablehop"));
    if (keyring_->available())
        return keyring_.get();
    if (keyringProblem_.isEmpty())
        keyringProblem_ = keyring_->problem().isEmpty() ? QStringLiteral("no keyring answers") : keyring_->problem();
    return nullptr;
}

void SettingsStore::setPasswordsInKeyring(bool on)
{
    if (on == passwordsInKeyring())
        return;
    if (on) {
        writeToFile(QString::fromLatin1(kPasswordsInKeyringSetting.key), QStringLiteral("1"));
        movePasswordsToKeyring();
        return;
    }
    // Back into the file, then out of the keyring.
    for (DatabaseSide side : {DatabaseSide::DB2, DatabaseSide::MySQL}) {
        const QString key = QString::fromLatin1(LoginSettingOf(side, LoginField::Password).key);
        Keyring* keyring = usableKeyring();
        if (!keyring)
            break;
        if (std::optional<QString> stored = keyring->read(keyringKey(key))) {
            writeToFile(key, *stored);
            keyring->remove(keyringKey(key));
        }
    }
    writeToFile(QString::fromLatin1(kPasswordsInKeyringSetting.key), QStringLiteral("0"));
}

void SettingsStore::movePasswordsToKeyring()
{
    if (!usableKeyring())
        return;
    for (DatabaseSide side : {DatabaseSide::DB2, DatabaseSide::MySQL}) {
        const QString key = QString::fromLatin1(LoginSettingOf(side, LoginField::Password).key);
        settings_->beginGroup(QString::fromLatin1(kSection));
        const QVariant inFile = settings_->value(key);
        settings_->endGroup();
        if (inFile.isValid())
            write(key, inFile.toString());  // into the keyring, out of the file
    }
}

std::optional<QString> SettingsStore::takeKeyringProblem() const
{
    if (keyringProblem_.isEmpty() || keyringProblemTold_)
        return std::nullopt;
    keyringProblemTold_ = true;
    return keyringProblem_;
}

QString SettingsStore::read(const SettingKey& setting) const
{
    return read(QString::fromLatin1(setting.key), QString::fromLatin1(setting.defaultValue));
}

void SettingsStore::write(const SettingKey& setting, const QString& text)
{
    write(QString::fromLatin1(setting.key), text);
}

std::string& FieldOf(ConnectionProfile& profile, LoginField field)
{
    switch (field) {
    case LoginField::Server: return profile.server;
    case LoginField::Port: return profile.port;
    case LoginField::User: return profile.user;
    case LoginField::Password: return profile.password;
    case LoginField::Database: break;
    }
    return profile.database;
}

std::string OptionText(const ConnectionProfile& profile, ConnectionOption option)
{
    switch (option) {
    case ConnectionOption::Schema: return profile.schema;
    case ConnectionOption::Encrypted: return profile.encrypted ? "1" : "0";
    case ConnectionOption::CaCertificate: return profile.caCertificate;
    case ConnectionOption::ClientCertificate: return profile.clientCertificate;
    case ConnectionOption::ClientKey: break;
    }
    return profile.clientKey;
}

void SetOptionText(ConnectionProfile& profile, ConnectionOption option, const std::string& text)
{
    switch (option) {
    case ConnectionOption::Schema: profile.schema = text; return;
    case ConnectionOption::Encrypted: profile.encrypted = text == "1"; return;
    case ConnectionOption::CaCertificate: profile.caCertificate = text; return;
    case ConnectionOption::ClientCertificate: profile.clientCertificate = text; return;
    case ConnectionOption::ClientKey: profile.clientKey = text; return;
    }
}

void ReadConnectionOptions(const SettingsStore& store, DatabaseSide side, ConnectionProfile& profile)
{
    for (const ConnectionOptionSetting& setting : kConnectionOptionSettings)
        if (setting.side == side)
            SetOptionText(profile, setting.option, store.read(setting).toStdString());
}
