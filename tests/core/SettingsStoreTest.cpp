#include "SettingsStore.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        path = dir.filePath(QStringLiteral("settings.ini"));
        QFile::remove(path);
    }
    void emptyStoreGivesDefaults();
    void storedEmptyTextIsNotTheDefault();
    void writesThroughAtOnce();
    void valuesAreTextAsTyped();
    void fileIsReadableByItsOwnerOnly();
    void keysAreAddressedUnderApplicationAndSection();

private:
    QTemporaryDir dir;
    QString path;
};

void SettingsStoreTest::emptyStoreGivesDefaults()
{
    SettingsStore store(path);
    const QMap<QString, QString> expected = {
        {"Server", ""},        {"Port", "50069"},     {"User", ""},
        {"Password", ""},      {"Database", ""},      {"MySQLServer", "localhost"},
        {"MySQLUser", ""},     {"MySQLPassword", ""}, {"MySQLDatabase", ""},
        {"MySQLPort", "3306"},
    };
    QCOMPARE(std::size(kLoginSettings), size_t(10));
    for (const auto& setting : kLoginSettings) {
        const QString key = QString::fromLatin1(setting.key);
        QVERIFY2(expected.contains(key), qPrintable(key));
        QCOMPARE(store.read(key, QString::fromLatin1(setting.defaultValue)), expected.value(key));
    }
    QVERIFY(!QFileInfo::exists(path));  // reading has no side effect
}

void SettingsStoreTest::storedEmptyTextIsNotTheDefault()
{
    SettingsStore store(path);
    store.write("Port", "");
    QCOMPARE(SettingsStore(path).read("Port", "50069"), QString());
}

void SettingsStoreTest::writesThroughAtOnce()
{
    SettingsStore store(path);
    store.write("MySQLServer", "l");
    QCOMPARE(SettingsStore(path).read("MySQLServer", "localhost"), QStringLiteral("l"));  // another reader sees it
    store.write("MySQLServer", "db.example.org");
    QCOMPARE(SettingsStore(path).read("MySQLServer", "localhost"), QStringLiteral("db.example.org"));
}

void SettingsStoreTest::valuesAreTextAsTyped()
{
    SettingsStore store(path);
    const QStringList values = {" 33 06x ", "p;w=d{}\"'", "Jürgen 日本 😀", "a,b", "true", "0042"};
    for (const QString& value : values) {
        store.write("MySQLPassword", value);
        QCOMPARE(SettingsStore(path).read("MySQLPassword", QString()), value);
    }
}

void SettingsStoreTest::fileIsReadableByItsOwnerOnly()
{
    SettingsStore store(path);
    store.write("Password", "secret");
    const QFileDevice::Permissions permissions = QFileInfo(path).permissions();
    QVERIFY(permissions & QFileDevice::ReadOwner);
    QVERIFY(!(permissions
              & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther)));
}

void SettingsStoreTest::keysAreAddressedUnderApplicationAndSection()
{
    SettingsStore store(path);
    store.write("User", "db2inst1");
    QSettings raw(path, QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Tablehop Dual Server Table Copy & Move Software/User")).toString(),
             QStringLiteral("db2inst1"));
    QCOMPARE(QString::fromLatin1(SettingsStore::kApplication), QStringLiteral("Quarnel"));
    QVERIFY(SettingsStore().fileName().contains(QStringLiteral("Quarnel")));
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "SettingsStoreTest.moc"
