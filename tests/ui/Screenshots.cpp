// Draws the login window, the table manager (both lists filled from the
// test servers, the window enlarged, a filter in use), the session's log
// after a send and the question about existing tables into PNG files:
// tablehop_screenshots DIR. scripts/screenshots runs it under Xvfb with a demo
// login on each server.
#include "ExistingTablesDialog.h"
#include "LoginWindow.h"
#include "WindowController.h"
#include "TableManagerWindow.h"
#include "QtDialogs.h"
#include "SessionLog.h"
#include "SettingsStore.h"
#include "TableList.h"
#include "StoredLogins.h"
#include "TableFill.h"
#include "TestServers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

void tryExec(void (*exec)(const std::string&), const std::string& sql)
{
    try {
        exec(sql);
    } catch (const std::exception&) {
        // already there
    }
}

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool save(QWidget* window, const QString& file)
{
    window->raise();
    window->activateWindow();
    settle();
    if (!window->grab().save(file)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tablehop_screenshots DIR\n");
        return 2;
    }
    QStandardPaths::setTestModeEnabled(true);  // the sends below stay out of the user's activity log
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    RequireTestServers(true, true);

    // Sample tables of a small shop on MySQL and of a personnel database on DB2.
    for (const char* table : {"customers", "orders", "order_items", "order_returns", "orders_2016", "products",
                              "suppliers", "Invoices", "shipments", "stock", "warehouses"})
        tryExec(ExecMySQL,
                std::string("CREATE TABLE IF NOT EXISTS `") + table + "` (id INT PRIMARY KEY, name VARCHAR(40))");
    for (const char* table : {"EMPLOYEE", "DEPARTMENT", "PROJECT", "SALES", "STAFF", "ORDERS_ARCHIVE", "PAYROLL"})
        tryExec(ExecDB2, std::string("CREATE TABLE \"") + table + "\" (ID INTEGER NOT NULL, NAME VARCHAR(40))");
    // Rows and statistics in three of them, so the lists show their estimates.
    const std::string schema = QString::fromStdString(DB2TestProfile().user).toUpper().toStdString();
    for (const auto& [table, doublings] :
         {std::pair<std::string, int> {"EMPLOYEE", 8}, std::pair<std::string, int> {"ORDERS_ARCHIVE", 12},
          std::pair<std::string, int> {"PAYROLL", 10}}) {
        const std::string quoted = "\"" + table + "\"";
        tryExec(ExecDB2, "DELETE FROM " + quoted);
        tryExec(ExecDB2, "INSERT INTO " + quoted + " VALUES (1, 'a name of some length')");
        for (int i = 0; i < doublings; ++i)
            tryExec(ExecDB2,
                    "INSERT INTO " + quoted + " SELECT ID + (SELECT MAX(ID) FROM " + quoted + "), NAME FROM " + quoted);
        tryExec(ExecDB2, "CALL SYSPROC.ADMIN_CMD('RUNSTATS ON TABLE " + schema + "." + table + "')");
    }
    for (const char* table : {"orders", "order_items"})  // sent below, not there before
        tryExec(ExecDB2, std::string("DROP TABLE \"") + table + "\"");
    tryExec(ExecMySQL, "INSERT IGNORE INTO orders VALUES (1, 'Zoe'), (2, 'Yamada'), (3, 'Xu')");
    tryExec(ExecMySQL, "INSERT IGNORE INTO order_items VALUES (1, 'tea'), (2, 'cups')");

    QTemporaryDir home;
    WindowController windows(std::make_unique<QtDialogs>(),
                             std::make_unique<SettingsStore>(home.filePath(QStringLiteral("tablehop.ini"))));
    SettingsStore& settings = windows.settings();
    StoreLogins(settings, MySQLTestProfile(), DB2TestProfile());
    LoginWindow& login = windows.login();
    windows.startUp();  // working logins: lands on the table manager
    TableManagerWindow* manager = windows.tableManager();
    if (!manager || !manager->isVisible()) {
        std::fprintf(stderr, "screenshots: the start-up did not reach the table manager\n");
        return 1;
    }
    // A user who made the window bigger and narrowed the MySQL list to the
    // order tables, picking two of them to send with matching column types
    // and primary keys, replacing the rows of tables that exist.
    manager->resize(820, 660);
    manager->mysqlFilter()->setText(QStringLiteral("order"));
    TableList* mysqlTables = manager->mysqlTables();
    for (int i = 0; i < mysqlTables->count(); ++i)
        if (mysqlTables->text(i) == QLatin1String("orders") || mysqlTables->text(i) == QLatin1String("order_items"))
            mysqlTables->setSelected(i, true);
    mysqlTables->setCurrentIndex(mysqlTables->texts().indexOf(QStringLiteral("orders")));
    manager->matchingTypesCheck()->setChecked(true);
    manager->copyKeysCheck()->setChecked(true);
    manager->existingTablesCombo()->setCurrentIndex(2);
    manager->verifyAfterSendingCheck()->setChecked(true);
    manager->progressBar()->setValue(0);
    bool ok = save(manager, QDir(folder).filePath(QStringLiteral("table-manager.png")));

    // The two tables sent and verified: the verdict in the status line, the
    // summary and each table's verdict in the session's log.
    manager->sendToDb2();
    ok = save(manager, QDir(folder).filePath(QStringLiteral("verify-after-sending.png"))) && ok;
    manager->logButton()->click();
    ok = save(manager->sessionLog(), QDir(folder).filePath(QStringLiteral("log-view.png"))) && ok;
    manager->sessionLog()->hide();

    // The one question before a send that asks first: three DB2 tables the
    // send would replace, each with its estimate and the answer picked.
    TableList* db2Tables = manager->db2Tables();
    const auto row = [&](const char* table, ExistingTableAnswer answer) {
        const int index = db2Tables->indexOf(QString::fromLatin1(table));
        return ExistingTableRow {QString::fromLatin1(table), QStringLiteral("IBM DB2"),
                                 EstimateText(index < 0 ? TableEstimate {} : db2Tables->estimate(index)), answer};
    };
    ExistingTablesDialog question({row("EMPLOYEE", ExistingTableAnswer::ReplaceTable),
                                   row("ORDERS_ARCHIVE", ExistingTableAnswer::AddRows),
                                   row("PAYROLL", ExistingTableAnswer::Keep)},
                                  manager);
    question.show();
    ok = save(&question, QDir(folder).filePath(QStringLiteral("existing-tables.png"))) && ok;
    question.hide();

    // Back on the login form, a user about to turn on encryption for MySQL.
    manager->goBack();
    if (auto* encrypted = login.findChild<QCheckBox*>(QStringLiteral("MySQLEncrypted")))
        encrypted->setChecked(true);
    if (auto* ca = login.findChild<QLineEdit*>(QStringLiteral("MySQLCACertificate")))
        ca->setText(QStringLiteral("/etc/ssl/certs/company-ca.pem"));
    ok = save(&login, QDir(folder).filePath(QStringLiteral("login-form.png"))) && ok;
    return ok ? 0 : 1;
}
