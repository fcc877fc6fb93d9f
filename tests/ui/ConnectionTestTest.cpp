// "Test Connection" on both sides against the private test servers.
#include "ConnectionTest.h"
#include "FakeDialogs.h"
#include "TestServers.h"

#include <QtTest>

class ConnectionTestTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireTestServers(true, false); }
    void outcomes_data();
    void outcomes();
    void usesTheProfileAsItIsAtTheMoment();
};

void ConnectionTestTest::outcomes_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<QString>("breakField");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("detailFragment");
    QTest::newRow("mysql good") << int(DatabaseSide::MySQL) << "" << kConnectionSuccessful << "";
    const QString mysqlFailed = QString(kMySQLConnectFailed) + "\r\r";
    const QString db2Failed = QString(kDB2ConnectFailed) + "\r\r";
    QTest::newRow("mysql wrong password")
        << int(DatabaseSide::MySQL) << "password" << mysqlFailed + LoginFaultText(LoginFault::UserOrPassword)
        << "Access denied";
    QTest::newRow("mysql refused port") << int(DatabaseSide::MySQL) << "port"
                                        << mysqlFailed + LoginFaultText(LoginFault::Port) << "Can't connect to";
    // Refused by the tool before any driver code: nothing more to say.
    QTest::newRow("db2 value with semicolon") << int(DatabaseSide::DB2) << "semicolon" << kDB2ConnectFailed << "\";\"";
    QTest::newRow("db2 wrong password") << int(DatabaseSide::DB2) << "password"
                                        << db2Failed + LoginFaultText(LoginFault::UserOrPassword) << "SQL30082N";
    QTest::newRow("db2 unknown server") << int(DatabaseSide::DB2) << "server"
                                        << db2Failed + LoginFaultText(LoginFault::ServerName) << "SQL1336N";
    QTest::newRow("db2 good") << int(DatabaseSide::DB2) << "" << kConnectionSuccessful << "";
}

void ConnectionTestTest::outcomes()
{
    QFETCH(int, side);
    QFETCH(QString, breakField);
    QFETCH(QString, expected);
    QFETCH(QString, detailFragment);
    const bool mysql = side == int(DatabaseSide::MySQL);
    ConnectionProfile profile = mysql ? MySQLTestProfile() : DB2TestProfile();
    if (breakField == "password")
        profile.password += "-wrong";
    else if (breakField == "port")
        profile.port = "1";
    else if (breakField == "server")
        profile.server = "no-such-host.invalid";
    else if (breakField == "semicolon")
        profile.password = "pw;Uid=other";

    FakeDialogs dialogs;
    QList<Pointer> pointers;
    Workspace workspace;
    workspace.setLogin(static_cast<DatabaseSide>(side), profile);
    RunConnectionTest(
        static_cast<DatabaseSide>(side), [&]() -> const Workspace& { return workspace; }, dialogs,
        [&](Pointer pointer) { pointers << pointer; });

    QCOMPARE(dialogs.shown.size(), size_t(1));  // exactly one message, no error report
    QCOMPARE(dialogs.shown[0].text, expected);
    if (detailFragment.isEmpty()) {
        QCOMPARE(dialogs.shown[0].kind, QStringLiteral("message"));
        QVERIFY(dialogs.shown[0].title.isEmpty());  // the application title
    } else {
        QCOMPARE(dialogs.shown[0].kind, QStringLiteral("detail"));
        QVERIFY2(dialogs.shown[0].detail.contains(detailFragment), qPrintable(dialogs.shown[0].detail));
    }
    QCOMPARE(pointers, QList<Pointer>({Pointer::Busy, Pointer::Default}));
    QCOMPARE(dialogs.yields, 1);
}

void ConnectionTestTest::usesTheProfileAsItIsAtTheMoment()
{
    ConnectionProfile fields = MySQLTestProfile();
    FakeDialogs dialogs;
    Workspace workspace;
    const auto current = [&]() -> const Workspace& {
        workspace.setLogin(DatabaseSide::MySQL, fields);
        return workspace;
    };
    fields.user = "nobody-here";
    RunConnectionTest(DatabaseSide::MySQL, current, dialogs, [](Pointer) {});
    fields.user = MySQLTestProfile().user;
    RunConnectionTest(DatabaseSide::MySQL, current, dialogs, [](Pointer) {});
    QCOMPARE(dialogs.texts(),
             QStringList({QString(kMySQLConnectFailed) + "\r\r" + LoginFaultText(LoginFault::UserOrPassword),
                          kConnectionSuccessful}));
}

QTEST_GUILESS_MAIN(ConnectionTestTest)
#include "ConnectionTestTest.moc"
