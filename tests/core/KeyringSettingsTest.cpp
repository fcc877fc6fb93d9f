// Passwords in the system keyring. The cases with a keyring run under
// tests/support/with-keyring, which starts a real Secret Service (GNOME
// Keyring) on a private session bus; the case without one runs as a test
// entry of its own on a session bus address where nothing answers.
#include "SettingsStore.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What the Secret Service holds for a key of the store, asked with its own
// client (libsecret's secret-tool), not through the code under test.
QString inKeyring(const SettingsStore& store, const QString& key)
{
    QProcess lookup;
    lookup.start(QStringLiteral("secret-tool"),
                 {QStringLiteral("lookup"), QStringLiteral("server"), QStringLiteral("Tablehop"),
                  QStringLiteral("user"), key + QLatin1Char('@') + store.fileName()});
    if (!lookup.waitForFinished(10000))
        qFatal("secret-tool did not answer");
    return QString::fromUtf8(lookup.readAllStandardOutput());
}

// What the settings file itself holds under a key ("absent" when nothing).
QString inFile(const SettingsStore& store, const QString& key)
{
    QSettings file(store.fileName(), QSettings::IniFormat);
    file.beginGroup(QString::fromLatin1(SettingsStore::kSection));
    return file.value(key, QStringLiteral("absent")).toString();
}

}  // namespace

class KeyringSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void passwordsStayInTheFileWhileTheOptionIsOff();
    void passwordsMoveIntoTheKeyringAndBack();
    void aPasswordLeftInTheFileMovesAtTheNextStart();
    void withoutAKeyringTheFileKeepsThemAndItIsSaidOnce();

private:
    QTemporaryDir dir_;
};

void KeyringSettingsTest::passwordsStayInTheFileWhileTheOptionIsOff()
{
    SettingsStore store(dir_.filePath("off.ini"));
    store.write("Password", "db2-pw");
    QCOMPARE(inFile(store, "Password"), QStringLiteral("db2-pw"));
    QCOMPARE(inKeyring(store, "Password"), QString());
    QVERIFY(!store.takeKeyringProblem());
}

void KeyringSettingsTest::passwordsMoveIntoTheKeyringAndBack()
{
    SettingsStore store(dir_.filePath("on.ini"));
    store.write("Password", "db2-pw");
    store.write("User", "ann");
    store.setPasswordsInKeyring(true);
    QCOMPARE(inKeyring(store, "Password"), QStringLiteral("db2-pw"));
    QCOMPARE(inFile(store, "Password"), QStringLiteral("absent"));
    QCOMPARE(inFile(store, "User"), QStringLiteral("ann"));  // only passwords move
    QCOMPARE(store.read("Password", ""), QStringLiteral("db2-pw"));

    store.write("MySQLPassword", "my;pw'\"");
    QCOMPARE(inKeyring(store, "MySQLPassword"), QStringLiteral("my;pw'\""));
    QCOMPARE(inFile(store, "MySQLPassword"), QStringLiteral("absent"));
    QFile text(store.fileName());
    QVERIFY(text.open(QIODevice::ReadOnly));
    QVERIFY2(!text.readAll().contains("pw"), "a password is in the settings file");
    SettingsStore later(store.fileName());  // another run reads it from the keyring
    QCOMPARE(later.read("MySQLPassword", ""), QStringLiteral("my;pw'\""));
    QVERIFY(!store.takeKeyringProblem());

    store.setPasswordsInKeyring(false);
    QCOMPARE(inFile(store, "MySQLPassword"), QStringLiteral("my;pw'\""));
    QCOMPARE(inFile(store, "Password"), QStringLiteral("db2-pw"));
    QCOMPARE(inKeyring(store, "Password"), QString());
    QCOMPARE(store.read("Password", ""), QStringLiteral("db2-pw"));
}

void KeyringSettingsTest::aPasswordLeftInTheFileMovesAtTheNextStart()
{
    const QString file = dir_.filePath("left.ini");
    {
        QSettings raw(file, QSettings::IniFormat);  // as an older run left it
        raw.beginGroup(QString::fromLatin1(SettingsStore::kSection));
        raw.setValue("PasswordsInKeyring", "1");
        raw.setValue("MySQLPassword", "old-pw");
    }
    SettingsStore store(file);
    QCOMPARE(store.read("MySQLPassword", ""), QStringLiteral("old-pw"));  // found before it moves
    store.movePasswordsToKeyring();
    QCOMPARE(inFile(store, "MySQLPassword"), QStringLiteral("absent"));
    QCOMPARE(inKeyring(store, "MySQLPassword"), QStringLiteral("old-pw"));
}

void KeyringSettingsTest::withoutAKeyringTheFileKeepsThemAndItIsSaidOnce()
{
    SettingsStore store(dir_.filePath("none.ini"));
    store.setPasswordsInKeyring(true);
    store.write("Password", "db2-pw");
    QCOMPARE(inFile(store, "Password"), QStringLiteral("db2-pw"));
    QCOMPARE(store.read("Password", ""), QStringLiteral("db2-pw"));
    const std::optional<QString> problem = store.takeKeyringProblem();
    QVERIFY(problem && !problem->isEmpty());
    QVERIFY(!store.takeKeyringProblem());  // said once
}

QTEST_GUILESS_MAIN(KeyringSettingsTest)
#include "KeyringSettingsTest.moc"
