#include "SettingsStore.h"

#include <QFile>
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
    settings_->beginGroup(QString::fromLatin1(kSection));
    const QVariant value = settings_->value(key);
    settings_->endGroup();
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::write(const QString& key, const QString& text)
{
    settings_->beginGroup(QString::fromLatin1(kSection));
    settings_->setValue(key, text);
    settings_->endGroup();
    settings_->sync();
    QFile::setPermissions(settings_->fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString SettingsStore::fileName() const { return settings_->fileName(); }

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
