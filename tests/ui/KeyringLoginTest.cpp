// A password typed into the login form with "Keep passwords in the system
// keyring" on lands in the keyring and not in the settings file, and
// tablehop-cli reads it from there. Runs under tests/support/with-keyring (a
// real Secret Service on a private session bus, a scratch XDG_CONFIG_HOME).
#include "LoginWindow.h"
#include "OpenWindows.h"
#include "SettingsStore.h"
#include "StoredLogins.h"
#include "TestServers.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

class KeyringLoginTest : public QObject {
    Q_OBJECT
private slots:
    void aPasswordTypedInTheWindowIsKeptInTheKeyringAndTheCliReadsIt();
};

void KeyringLoginTest::aPasswordTypedInTheWindowIsKeptInTheKeyringAndTheCliReadsIt()
{
    RequireTestServers(false, true);
    // The user's own store, as the CLI finds it too (XDG_CONFIG_HOME is the scratch one).
    const QString settingsFile = SettingsStore().fileName();
    QVERIFY2(settingsFile.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")), qPrintable(settingsFile));
    ConnectionProfile db2 = DB2TestProfile();
    const QString password = QString::fromStdString(db2.password);
    db2.password = "stale-password";
    {
        OpenWindows windows(settingsFile);
        StoreLogins(windows.settings(), MySQLTestProfile(), db2);  // the stale one sits in the file
        windows.controller().startUp();
        LoginWindow& login = windows.login();
        QVERIFY(login.isVisible());  // the stale password keeps it on the login form
        auto* keep = login.findChild<QCheckBox*>("PasswordsInKeyring");
        QVERIFY(keep && !keep->isChecked());
        keep->click();
        QVERIFY(windows.dialogs().shown.empty());  // the keyring answered: nothing to say
        QLineEdit* field = login.findChild<QLineEdit*>("Text4");
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, password);
    }
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    QVERIFY2(!stored.contains(password.toUtf8()) && !stored.contains("stale-password"), stored.constData());
    QVERIFY(stored.contains("PasswordsInKeyring=1"));

    QProcess lookup;
    lookup.start("secret-tool", {"lookup", "server", "Tablehop", "user", "Password@" + settingsFile});
    QVERIFY(lookup.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(lookup.readAllStandardOutput()), password);

    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("TABLEHOP_DB2_PASSWORD");
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(TABLEHOP_CLI_PATH), {"test", "db2"});
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(60000));
    const QString said = QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError());
    QVERIFY2(cli.exitCode() == 0 && said.contains("Connection successful."), qPrintable(said));
}

QTEST_MAIN(KeyringLoginTest)
#include "KeyringLoginTest.moc"
