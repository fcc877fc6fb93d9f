#pragma once

#include "ConnectionProfile.h"
#include "SettingsStore.h"

// Writes both logins into a settings store under the window's keys, as if the
// user had typed them.
inline void StoreLogins(SettingsStore& store, const ConnectionProfile& mysql, const ConnectionProfile& db2)
{
    for (const LoginSetting& setting : kLoginSettings) {
        ConnectionProfile profile = setting.side == DatabaseSide::MySQL ? mysql : db2;
        store.write(setting, QString::fromStdString(FieldOf(profile, setting.field)));
    }
    for (const ConnectionOptionSetting& setting : kConnectionOptionSettings)
        store.write(setting, QString::fromStdString(
                                 OptionText(setting.side == DatabaseSide::MySQL ? mysql : db2, setting.option)));
}
