#include "DbError.h"
#include "ErrorReport.h"
#include "FakeDialogs.h"

#include <QtTest>

class ErrorReportTest : public QObject {
    Q_OBJECT
private slots:
    void reportText_data();
    void reportText();
    void reportShowsDriverMessageOnce();
    void carryOnRule();
    void failingTestCountsAsPassed();
    void transferReportsCarryTheStatement();
};

void ErrorReportTest::reportText_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("withSql");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    const QString mail = QStringLiteral("\r\rPlease email screenshot of this message to support@quarnel.com");
    QTest::newRow("next, step 106") << "Form1.PushButton2_Click" << 106 << "Connection lost" << false << QString()
                                    << "Connection lost\r\nin Hopbridge2017/04/05.Form1.PushButton2_Click at line 106"
            + mail;
    QTest::newRow("empty description starts with the line break")
        << "Form2.Form_Load" << 100 << "" << false << QString()
        << "\r\nin Hopbridge2017/04/05.Form2.Form_Load at line 100" + mail;
    QTest::newRow("transfer with statement")
        << "Form2.PushButton3_Click" << 252 << "SQL0433N too long" << true
        << "INSERT INTO \"people\" VALUES('1', NULL, 'O''Brien')"
        << "SQL0433N too long\r\nin Hopbridge2017/04/05.Form2.PushButton3_Click at line 252" + mail
            + "\r\rsql: INSERT INTO \"people\" VALUES('1', NULL, 'O''Brien')";
    QTest::newRow("transfer before any statement ends with sql: ")
        << "Form2.PushButton4_Click" << 118 << "x" << true << QString()
        << "x\r\nin Hopbridge2017/04/05.Form2.PushButton4_Click at line 118" + mail + "\r\rsql: ";
}

void ErrorReportTest::reportText()
{
    QFETCH(QString, handler);
    QFETCH(int, step);
    QFETCH(QString, description);
    QFETCH(bool, withSql);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    const std::optional<QString> statement = withSql ? std::optional<QString>(sql) : std::nullopt;
    QCOMPARE(ErrorReportText(LocationLiteral(handler), step, description, statement), expected);
}

void ErrorReportTest::reportShowsDriverMessageOnce()
{
    FakeDialogs dialogs;
    HandlerTrap trap(dialogs, QStringLiteral("Form2.PushButton1_Click"));
    trap.step(120, [] { throw DbError("42S02", 1051, "[ma-3.1.15]Unknown table 'shop.orders'"); });
    QCOMPARE(dialogs.shown.size(), size_t(1));
    QCOMPARE(dialogs.shown[0].kind, QStringLiteral("error"));
    QVERIFY(dialogs.shown[0].text.startsWith(QStringLiteral("[ma-3.1.15]Unknown table 'shop.orders'\r\n")));
    QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("PushButton1_Click at line 120\r\r")));
}

void ErrorReportTest::carryOnRule()
{
    FakeDialogs dialogs;
    HandlerTrap trap(dialogs, QStringLiteral("Form1.Form_Load"));
    QStringList ran;
    QVERIFY(trap.step(100, [&] { ran << "100"; }));
    QVERIFY(!trap.step(102, [&] {
        ran << "102";
        throw std::runtime_error("first");
        ran << "never";
    }));
    QVERIFY(trap.step(104, [&] { ran << "104"; }));
    for (int pass = 0; pass < 3; ++pass)  // a step failing on every pass of a loop reports each time
        trap.step(106, [&] { throw std::runtime_error("loop " + std::to_string(pass)); });
    QCOMPARE(ran, QStringList({"100", "102", "104"}));
    QCOMPARE(trap.reports(), 4);
    const QStringList texts = dialogs.texts();
    QVERIFY(texts[0].startsWith("first\r\n") && texts[0].contains("at line 102\r"));
    QVERIFY(texts[3].startsWith("loop 2\r\n") && texts[3].contains("at line 106\r"));
}

void ErrorReportTest::failingTestCountsAsPassed()
{
    FakeDialogs dialogs;
    HandlerTrap trap(dialogs, QStringLiteral("Form1.Form_Load"));
    QVERIFY(trap.test(148, []() -> bool { throw std::runtime_error("no component"); }));
    QVERIFY(!trap.test(150, [] { return false; }));
    QVERIFY(trap.test(152, [] { return true; }));
    QCOMPARE(dialogs.kinds(), QStringList({"error"}));
    QVERIFY(dialogs.shown[0].text.contains("at line 148"));
}

void ErrorReportTest::transferReportsCarryTheStatement()
{
    FakeDialogs dialogs;
    HandlerTrap trap(dialogs, QStringLiteral("Form2.PushButton3_Click"));
    QString statement;
    trap.showStatement([&] { return statement; });
    trap.step(116, [] { throw std::runtime_error("open failed"); });
    statement = QStringLiteral("CREATE TABLE \"t\"(\"d\" DATE)");
    trap.step(210, [] { throw std::runtime_error("refused"); });
    QVERIFY(dialogs.shown[0].text.endsWith("\r\rsql: "));
    QVERIFY(dialogs.shown[1].text.endsWith("\r\rsql: CREATE TABLE \"t\"(\"d\" DATE)"));
}

QTEST_GUILESS_MAIN(ErrorReportTest)
#include "ErrorReportTest.moc"
