#pragma once

#include <QProcessEnvironment>
#include <QString>

// The environment tablehop-cli runs in under the tests: settings and the
// activity log in the test's own folders, never the user's; with the test
// servers' logins unless a test gives its own.
inline QProcessEnvironment CliEnvironment(const QString& configHome, const QString& dataHome, bool withLogins = true)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    env.insert("XDG_DATA_HOME", dataHome);
    if (withLogins) {
        for (const QString side : {"MYSQL", "DB2"})
            for (const QString field : {"SERVER", "PORT", "USER", "PASSWORD", "DATABASE"})
                env.insert("TABLEHOP_" + side + "_" + field, env.value("TABLEHOP_TEST_" + side + "_" + field));
    }
    return env;
}
