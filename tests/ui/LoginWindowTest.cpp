// The login form, start-up and screen flow on the real windows, against the
// private test servers.
#include "ConnectionTest.h"
#include "FakeDialogs.h"
#include "ObjectNames.h"
#include "LoginWindow.h"
#include "OpenWindows.h"
#include "TableManagerWindow.h"
#include "SettingsStore.h"
#include "TableList.h"
#include "TableListing.h"
#include "StoredLogins.h"
#include "TestServers.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <memory>

namespace {

QStringList sortedCaseless(const std::vector<std::string>& names)
{
    QStringList list;
    for (const auto& name : names)
        list << QString::fromStdString(name);
    std::stable_sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return list;
}

// A listening socket on 127.0.0.1 that tells whether anyone knocked.
class Listener {
public:
    Listener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 4);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int port() const { return port_; }
    bool knocked(int waitMs) const
    {
        pollfd p {fd_, POLLIN, 0};
        return ::poll(&p, 1, waitMs) > 0;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace

class LoginFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        RequireTestServers(true, true);
        ExecMySQL("CREATE TABLE IF NOT EXISTS `ui_flow_always` (id INT)");  // the lists are never empty
    }
    void firstStartWithAnEmptyStore();
    void startUpWithWorkingLoginsLandsOnTheTableManager();
    void nextWithAFailingDB2LoginDoesNotTryMySQL();
    void backAndNextRefillTheListsInPlace();
    void testConnectionOutcomes_data();
    void testConnectionOutcomes();
    void helpTexts();
    void focusSelectsTheWholeTextAndEditsWriteThrough();
    void passwordsAreMasked();
    void connectionOptionsWriteThroughAndReachTheLogin();
    void enterInAFieldMovesOn();
    void accessKeysOnEveryButton();

private:
    std::unique_ptr<OpenWindows> windowsWith(const QString& name, bool workingLogins);
    // Started on working logins but for the stored DB2 password, so the start-up
    // stays on the login form; the field then holds the right password.
    std::unique_ptr<OpenWindows> onTheLoginForm(const QString& name);
    QLineEdit* field(LoginWindow& form, int number)
    {
        return form.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(number));
    }
    QPushButton* button(QWidget& window, const char* name) { return window.findChild<QPushButton*>(name); }
    QTemporaryDir dir_;
};

std::unique_ptr<OpenWindows> LoginFormTest::windowsWith(const QString& name, bool workingLogins)
{
    auto windows = std::make_unique<OpenWindows>(dir_.filePath(name));
    if (workingLogins) {
        StoreLogins(windows->settings(), MySQLTestProfile(), DB2TestProfile());
    }
    return windows;
}

std::unique_ptr<OpenWindows> LoginFormTest::onTheLoginForm(const QString& name)
{
    auto windows = windowsWith(name, true);
    windows->settings().write("Password", "wrong");
    windows->controller().startUp();
    field(windows->login(), 4)->setText(QString::fromStdString(DB2TestProfile().password));
    return windows;
}

void LoginFormTest::firstStartWithAnEmptyStore()
{
    auto windows = windowsWith("empty.ini", false);
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();
    windows->controller().startUp();

    const QString expected[11] = {{}, "", "50069", "", "", "", "localhost", "", "", "", "3306"};
    for (int i = 1; i <= 10; ++i)
        QCOMPARE(field(login, i)->text(), expected[i]);
    QCOMPARE(windows->settings().read("Port", "unset"), QStringLiteral("50069"));
    QCOMPARE(windows->settings().read("MySQLServer", "unset"), QStringLiteral("localhost"));
    QCOMPARE(windows->settings().read("MySQLPort", "unset"), QStringLiteral("3306"));
    QCOMPARE(windows->settings().read("Server", "unset"), QStringLiteral("unset"));  // empty fills write nothing
    QVERIFY(login.isVisible());
    QVERIFY(!windows->manager());
    QVERIFY(dialogs.shown.empty());
    QCOMPARE(login.windowTitle(), QStringLiteral("Tablehop Dual Server Table Copy & Move Software"));
    QCOMPARE(login.mousePointer(), 0);
}

void LoginFormTest::startUpWithWorkingLoginsLandsOnTheTableManager()
{
    auto windows = windowsWith("working.ini", true);
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();
    windows->controller().startUp();

    QVERIFY(dialogs.shown.empty());
    TableManagerWindow* manager = windows->manager();
    QVERIFY(manager);
    QVERIFY(manager->isVisible());
    QVERIFY(!login.isVisible());
    QCOMPARE(manager->windowTitle(), QStringLiteral("Tablehop Dual Server Table Copy & Move Software"));
    QCOMPARE(manager->mysqlTables()->texts(), sortedCaseless(ListMySQLTables(MySQLTestProfile())));
    QCOMPARE(manager->db2Tables()->texts(), sortedCaseless(ListDB2Tables(DB2TestProfile())));
    QVERIFY(manager->mysqlTables()->count() > 0);
    QCOMPARE(manager->mysqlTables()->currentIndex(), 0);
    QCOMPARE(manager->mysqlTables()->selectedCount(), 0);
    QCOMPARE(manager->db2Tables()->currentIndex(), -1);
    QCOMPARE(login.mousePointer(), 0);
}

void LoginFormTest::nextWithAFailingDB2LoginDoesNotTryMySQL()
{
    // The MySQL profile points at a listener of ours: any attempt would knock.
    Listener listener;
    QVERIFY(listener.port() > 0);
    auto windows = windowsWith("failing.ini", true);
    windows->settings().write("Password", QString::fromStdString(DB2TestProfile().password) + "-wrong");
    windows->settings().write("MySQLServer", "127.0.0.1");
    windows->settings().write("MySQLPort", QString::number(listener.port()));
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();
    windows->controller().startUp();  // the silent check at step 148 fails
    QVERIFY(login.isVisible());
    QVERIFY(!windows->manager());

    button(login, object_name::kNext)->click();
    QVERIFY(!listener.knocked(300));
    QVERIFY(dialogs.shown.empty());
    QVERIFY(login.isVisible());
    QVERIFY(!windows->manager());
    QCOMPARE(login.mousePointer(), 0);
}

void LoginFormTest::backAndNextRefillTheListsInPlace()
{
    ExecMySQL("DROP TABLE IF EXISTS `ui_flow_new`");
    try {
        ExecDB2("DROP TABLE \"UI_FLOW_NEW\"");
    } catch (const std::exception&) {
    }
    auto windows = windowsWith("flow.ini", true);
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();
    windows->controller().startUp();
    TableManagerWindow* manager = windows->manager();
    QVERIFY(manager && manager->isVisible());
    QVERIFY(!manager->mysqlTables()->texts().contains("ui_flow_new"));

    // "< Back": the login window takes the table manager's place; the status line clears.
    manager->move(30, 40);
    manager->setStatusText("Sent 1 table to IBM DB2: 4 rows copied, 0 rows refused, 0.1 s");
    button(*manager, object_name::kBack)->click();
    QVERIFY(login.isVisible());
    QVERIFY(!manager->isVisible());
    QCOMPARE(login.pos(), QPoint(30, 40));
    QVERIFY(manager->statusText().isEmpty());
    QVERIFY(manager->mysqlTables()->count() > 0);  // the lists keep their content

    ExecMySQL("CREATE TABLE `ui_flow_new` (id INT)");
    ExecDB2("CREATE TABLE \"UI_FLOW_NEW\" (ID INTEGER)");
    manager->setWindowTitle("loaded once");  // a second load would set the caption again
    login.move(60, 70);
    // A second "Next >" while the lists fill changes nothing.
    int clicksDuringFill = 0;
    dialogs.onYield = [&] {
        if (clicksDuringFill++ == 0)
            button(login, object_name::kNext)->click();
    };
    button(login, object_name::kNext)->click();
    dialogs.onYield = nullptr;
    QVERIFY(clicksDuringFill > 0);
    QCOMPARE(windows->manager(), manager);
    QCOMPARE(manager->windowTitle(), QStringLiteral("loaded once"));
    QVERIFY(manager->isVisible());
    QVERIFY(!login.isVisible());
    QCOMPARE(manager->pos(), QPoint(60, 70));
    QVERIFY(manager->mysqlTables()->texts().contains("ui_flow_new"));
    QVERIFY(manager->db2Tables()->texts().contains("UI_FLOW_NEW"));
    QCOMPARE(manager->mysqlTables()->texts(), sortedCaseless(ListMySQLTables(MySQLTestProfile())));
    QCOMPARE(manager->db2Tables()->texts(), sortedCaseless(ListDB2Tables(DB2TestProfile())));
    QVERIFY(button(login, object_name::kNext)->isEnabled());
    QVERIFY(dialogs.shown.empty());

    ExecMySQL("DROP TABLE `ui_flow_new`");
    ExecDB2("DROP TABLE \"UI_FLOW_NEW\"");
}

void LoginFormTest::testConnectionOutcomes_data()
{
    // A field given a wrong value (its number, 0 for none), the second
    // paragraph the failure adds, the driver's words in the detail, and the
    // field that takes the focus.
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<int>("brokenField");
    QTest::addColumn<QString>("brokenValue");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("detailFragment");
    const QString mysqlFailed
        = "Could not connect. Please check with your administrator. Make sure you are allowed to connect to your "
          "database remotely and not just through web-based control panels.\r\r";
    const QString db2Failed
        = "Could not connect. Please check server, username, password, database with your administrator.\r\r";
    const QString mysql = object_name::kTestMySQLConnection;
    const QString db2 = object_name::kTestDB2Connection;
    QTest::newRow("mysql works") << mysql << 0 << ""
                                 << "Connection successful."
                                 << "";
    QTest::newRow("mysql wrong password")
        << mysql << 8 << "-wrong" << mysqlFailed + "The server refused the user name or password."
        << "Access denied";
    QTest::newRow("mysql wrong port") << mysql << 10 << "1"
                                      << mysqlFailed + "No database server answered at that server and port."
                                      << "Can't connect";
    QTest::newRow("db2 works") << db2 << 0 << ""
                               << "Connection successful."
                               << "";
    QTest::newRow("db2 wrong password") << db2 << 4 << "-wrong"
                                        << db2Failed + "The server refused the user name or password."
                                        << "SQL30082N";
    QTest::newRow("db2 wrong port") << db2 << 2 << "1"
                                    << db2Failed + "No database server answered at that server and port."
                                    << "SQL30081N";
    QTest::newRow("db2 unknown database")
        << db2 << 5 << "NOSUCHDB" << db2Failed + "The server does not know that database."
        << "SQL30061N";
}

void LoginFormTest::testConnectionOutcomes()
{
    QFETCH(QString, buttonName);
    QFETCH(int, brokenField);
    QFETCH(QString, brokenValue);
    QFETCH(QString, expected);
    QFETCH(QString, detailFragment);
    auto windows = onTheLoginForm("test-connection.ini");
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();
    if (brokenValue.startsWith('-'))
        field(login, brokenField)->setText(field(login, brokenField)->text() + brokenValue);
    else if (brokenField > 0)
        field(login, brokenField)->setText(brokenValue);
    QWidget* focusBefore = login.focusWidget();

    int clicks = 0;  // a second click while the test runs starts no second test
    dialogs.onYield = [&] {
        if (clicks++ == 0)
            button(login, qPrintable(buttonName))->click();
    };
    button(login, qPrintable(buttonName))->click();
    QVERIFY(clicks > 0);
    QCOMPARE(dialogs.shown.size(), size_t(1));
    QCOMPARE(dialogs.shown[0].text, expected);
    if (detailFragment.isEmpty()) {
        QCOMPARE(dialogs.shown[0].kind, QStringLiteral("message"));
        QCOMPARE(login.focusWidget(), focusBefore);
    } else {
        QCOMPARE(dialogs.shown[0].kind, QStringLiteral("detail"));  // the driver's message as detail
        QVERIFY2(dialogs.shown[0].detail.contains(detailFragment), qPrintable(dialogs.shown[0].detail));
        // The wrong field has the focus, its text selected for typing over.
        QCOMPARE(login.focusWidget(), field(login, brokenField));
        QCOMPARE(field(login, brokenField)->selectedText(), field(login, brokenField)->text());
    }
    QVERIFY(dialogs.shown[0].title.isEmpty());  // the application title
    QCOMPARE(login.mousePointer(), 0);
    QVERIFY(!windows->manager());
}

void LoginFormTest::helpTexts()
{
    auto windows = windowsWith("help.ini", false);
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();
    windows->controller().startUp();
    const QString sep = QStringLiteral("\r\r");

    button(login, object_name::kMySQLHelp)->click();
    const QString mysql
        = QStringLiteral("If you cannot establish connection to your database with this program, please go to: ") + sep
        + QStringLiteral("https://downloads.mysql.com/archives/gui/") + sep
        + QStringLiteral("Download and install the MySQL GUI Tools. Use the MySQL Query Browser. Try to connect to ")
        + QStringLiteral(
              "the same database (with the same login information you are using here). This will determine if ")
        + QStringLiteral("the login you are using is correct.") + sep
        + QStringLiteral(" Finally, make sure your host allows a direct connection to your MySQL database -- not a web "
                         "based connection, for example.");
    button(login, object_name::kDB2Help)->click();
    QString db2;
    for (const char* line :
         {"Here is how I connected to my IBM DB2 database.", "I went to www.ibm.com", "specifically",
          "https://www.ibm.com/support/pages/download-initial-version-91-clients-and-drivers",
          "Downloaded and installed the DB2 Client (not DB2 Runtime Client)", "I personally got the",
          "DB2 9 Client for Windows on 32-bit AMD and Intel systems (x86)",
          "If you are using Windows XP, there may be a firewall preventing you from connecting. You may need to add "
          "the DB2 port.",
          "Please visit:", "https://www.ibm.com/mysupport/"})
        db2 += QString::fromLatin1(line) + sep;

    QCOMPARE(dialogs.kinds(), QStringList({"message", "message"}));
    QCOMPARE(dialogs.shown[0].text, mysql);
    QCOMPARE(dialogs.shown[1].text, db2);
    QVERIFY(dialogs.shown[0].title.isEmpty() && dialogs.shown[1].title.isEmpty());
    QVERIFY(db2.endsWith("\r\r"));
    QVERIFY(!mysql.endsWith("\r"));
}

void LoginFormTest::focusSelectsTheWholeTextAndEditsWriteThrough()
{
    auto windows = windowsWith("focus.ini", false);
    LoginWindow& login = windows->login();
    windows->controller().startUp();
    QVERIFY(QTest::qWaitForWindowActive(&login));
    QCOMPARE(QApplication::focusWidget(), field(login, 1));  // the window opens on the DB2 server field

    QLineEdit* server = field(login, 6);
    QCOMPARE(server->text(), QStringLiteral("localhost"));
    server->setFocus(Qt::OtherFocusReason);
    QCOMPARE(server->selectedText(), QStringLiteral("localhost"));
    QTest::keyClick(server, Qt::Key_X);
    QCOMPARE(server->text(), QStringLiteral("x"));
    QCOMPARE(windows->settings().read("MySQLServer", "unset"), QStringLiteral("x"));

    // Tab order: the DB2 database field leads to the DB2 options and buttons, then the
    // MySQL fields; the certificate files take no focus while encryption is off.
    field(login, 5)->setFocus();
    QStringList order;
    QString portSelection;
    for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
        if (QApplication::focusWidget() == field(login, 10))
            portSelection = field(login, 10)->selectedText();
    }
    QCOMPARE(order, QStringList({"DB2Schema", "DB2Encrypted", "PushButton3", "PushButton5", "Text6", "Text10",
                                 "Text7", "Text8", "Text9", "MySQLEncrypted", "PushButton1", "PushButton4",
                                 "PasswordsInKeyring", "PushButton2"}));
    QCOMPARE(portSelection, QStringLiteral("3306"));  // selected on entry
    QLineEdit* port = field(login, 10);
    port->setFocus();
    QTest::keyClicks(port, "33x");
    QCOMPARE(windows->settings().read("MySQLPort", "unset"), QStringLiteral("33x"));
    port->clear();
    QCOMPARE(windows->settings().read("MySQLPort", "unset"), QString());
}

// The options below the fields are stored as typed and make the login's
// profile; the certificate files are editable only with encryption on.
void LoginFormTest::connectionOptionsWriteThroughAndReachTheLogin()
{
    auto windows = windowsWith("options.ini", false);
    LoginWindow& login = windows->login();
    windows->controller().startUp();
    const auto option = [&](const char* name) { return login.findChild<QLineEdit*>(name); };
    auto* encrypted = login.findChild<QCheckBox*>("MySQLEncrypted");
    QVERIFY(encrypted && option("DB2Schema") && option("MySQLCACertificate") && option("MySQLClientKey"));
    QVERIFY(!encrypted->isChecked());
    QVERIFY(!option("MySQLCACertificate")->isEnabled());
    QVERIFY(login.currentProfile(DatabaseSide::DB2).schema.empty());
    QVERIFY(!login.currentProfile(DatabaseSide::MySQL).encrypted);
    encrypted->click();
    QVERIFY(option("MySQLCACertificate")->isEnabled());
    QTest::keyClicks(option("MySQLCACertificate"), "/certs/ca.pem");
    QTest::keyClicks(option("DB2Schema"), "SALES");
    QCOMPARE(windows->settings().read("MySQLEncrypted", "unset"), QStringLiteral("1"));
    QCOMPARE(windows->settings().read("MySQLCACertificate", "unset"), QStringLiteral("/certs/ca.pem"));
    QCOMPARE(windows->settings().read("DB2Schema", "unset"), QStringLiteral("SALES"));
    const ConnectionProfile mysql = login.currentProfile(DatabaseSide::MySQL);
    QVERIFY(mysql.encrypted);
    QCOMPARE(mysql.caCertificate, std::string("/certs/ca.pem"));
    QCOMPARE(login.currentProfile(DatabaseSide::DB2).schema, std::string("SALES"));
    QVERIFY(!login.currentProfile(DatabaseSide::DB2).encrypted);

    // The next start fills them from the store.
    auto again = std::make_unique<OpenWindows>(dir_.filePath("options.ini"));
    again->controller().startUp();
    QVERIFY(again->login().currentProfile(DatabaseSide::MySQL).encrypted);
    QCOMPARE(again->login().findChild<QLineEdit*>("DB2Schema")->text(), QStringLiteral("SALES"));
}

void LoginFormTest::passwordsAreMasked()
{
    auto windows = windowsWith("mask.ini", false);
    LoginWindow& login = windows->login();
    windows->controller().startUp();
    for (int number : {4, 8}) {
        QLineEdit* password = field(login, number);
        password->setText("s3cr;t");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(password->displayText(), QStringLiteral("******"));
    }
    QCOMPARE(windows->settings().read("Password", ""), QStringLiteral("s3cr;t"));  // stored unmasked
    QCOMPARE(windows->settings().read("MySQLPassword", ""), QStringLiteral("s3cr;t"));
    QCOMPARE(field(login, 1)->echoMode(), QLineEdit::Normal);
}

void LoginFormTest::enterInAFieldMovesOn()
{
    auto windows = onTheLoginForm("enter.ini");
    FakeDialogs& dialogs = windows->dialogs();
    LoginWindow& login = windows->login();

    // On a focused button Enter presses that button, not "Next >".
    QTest::keyClick(button(login, object_name::kTestDB2Connection), Qt::Key_Return);
    QCOMPARE(dialogs.texts(), QStringList({"Connection successful."}));
    QVERIFY(!windows->manager());

    QTest::keyClick(field(login, 9), Qt::Key_Return);
    QVERIFY(windows->manager() && windows->manager()->isVisible());
    QVERIFY(!login.isVisible());
    QVERIFY(button(login, object_name::kNext)->isDefault());
}

void LoginFormTest::accessKeysOnEveryButton()
{
    auto windows = windowsWith("keys.ini", true);
    windows->controller().startUp();
    QVERIFY(windows->manager());
    for (QWidget* window : {static_cast<QWidget*>(&windows->login()), static_cast<QWidget*>(windows->manager())}) {
        QStringList keys;
        for (QAbstractButton* control : window->findChildren<QAbstractButton*>()) {
            const QKeySequence key = QKeySequence::mnemonic(control->text());
            if (qobject_cast<QPushButton*>(control))
                QVERIFY2(!key.isEmpty(), qPrintable(control->objectName() + " " + control->text()));
            if (key.isEmpty())
                continue;
            QVERIFY2(!keys.contains(key.toString()), qPrintable(window->objectName() + ": " + control->text()));
            keys << key.toString();
        }
    }
    // The captions read as before.
    QCOMPARE(button(*windows->manager(), object_name::kSendToDB2)->text().remove('&'),
             QStringLiteral("Send Table/s To IBM DB2"));
    QCOMPARE(button(windows->login(), object_name::kNext)->text().remove('&'), QStringLiteral("Next >"));
}

QTEST_MAIN(LoginFormTest)
#include "LoginWindowTest.moc"
