// Draws the login form and the table manager (both lists filled from the test
// servers) into PNG files: tablehop_screenshots DIR. scripts/screenshots runs it
// under Xvfb with a demo login on each server.
#include "Form1.h"
#include "Form2.h"
#include "QtDialogs.h"
#include "SettingsStore.h"
#include "TableList.h"
#include "StoredLogins.h"
#include "TestServers.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
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
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    RequireTestServers(true, true);

    // Sample tables of a small shop on MySQL and of a personnel database on DB2.
    for (const char* table : {"customers", "orders", "order_items", "products", "suppliers", "Invoices", "shipments"})
        tryExec(ExecMySQL, std::string("CREATE TABLE IF NOT EXISTS `") + table + "` (id INT PRIMARY KEY, name VARCHAR(40))");
    for (const char* table : {"EMPLOYEE", "DEPARTMENT", "PROJECT", "SALES", "STAFF"})
        tryExec(ExecDB2, std::string("CREATE TABLE \"") + table + "\" (ID INTEGER NOT NULL, NAME VARCHAR(40))");

    QTemporaryDir home;
    SettingsStore settings(home.filePath(QStringLiteral("tablehop.ini")));
    StoreLogins(settings, MySQLTestProfile(), DB2TestProfile());

    QtDialogs dialogs;
    Form1 login(dialogs, settings);
    login.startUp();  // working logins: lands on the table manager
    Form2* manager = login.tableManager();
    if (!manager || !manager->isVisible()) {
        std::fprintf(stderr, "screenshots: the start-up did not reach the table manager\n");
        return 1;
    }
    // A user picking two MySQL tables to send.
    TableList* list1 = manager->List1();
    for (int i = 0; i < list1->count(); ++i)
        if (list1->text(i) == QLatin1String("customers") || list1->text(i) == QLatin1String("orders"))
            list1->setSelected(i, true);
    list1->setCurrentIndex(list1->count() > 1 ? 1 : 0);
    // ... with matching column types and primary keys.
    manager->matchingTypesCheck()->setChecked(true);
    manager->copyKeysCheck()->setChecked(true);
    manager->ProgressBar1()->setValue(0);
    bool ok = save(manager, QDir(folder).filePath(QStringLiteral("table-manager.png")));

    manager->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();  // "< Back"
    ok = save(&login, QDir(folder).filePath(QStringLiteral("login-form.png"))) && ok;
    return ok ? 0 : 1;
}
