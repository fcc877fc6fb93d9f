// tablehop-window-stalls TABLE [HOLD_SECONDS]
//   Opens the table manager on the test servers' logins, selects the MySQL
//   table TABLE, sends it to DB2 (answering Yes to an overwrite) while a timer
//   ticks every 5 ms in the GUI event loop, and prints
//   max_stall_ms=N seconds=S status=<the status line>
//   With HOLD_SECONDS another session reads the DB2 table TABLE inside an open
//   unit of work for that long from the start, so the swap waits behind it.
// Connection data comes from the TABLEHOP_TEST_* variables of scripts/test-services.
#include "DataConnection.h"
#include "FakeDialogs.h"
#include "SettingsStore.h"
#include "SqlDialect.h"
#include "SqlIdentifiers.h"
#include "StoredLogins.h"
#include "TableList.h"
#include "TableManagerWindow.h"
#include "TestServers.h"
#include "WindowController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: tablehop-window-stalls TABLE [HOLD_SECONDS]\n";
        return 2;
    }
    const std::string table = argv[1];
    const int holdSeconds = argc > 2 ? std::atoi(argv[2]) : 0;

    QTemporaryDir home;
    auto answering = std::make_unique<FakeDialogs>();  // a user who answers Yes and lets the window repaint
    FakeDialogs& dialogs = *answering;
    dialogs.onYield = [] { QCoreApplication::processEvents(); };
    for (int i = 0; i < 10; ++i)
        dialogs.answers.push_back(Answer::Yes);
    WindowController windows(std::move(answering),
                             std::make_unique<SettingsStore>(home.filePath(QStringLiteral("stalls.ini"))));
    StoreLogins(windows.settings(), MySQLTestProfile(), DB2TestProfile());
    windows.startUp();
    TableManagerWindow* manager = windows.tableManager();
    if (!manager || !manager->isVisible()) {
        std::cerr << "the table manager did not open\n";
        return 1;
    }
    TableList& list = *manager->mysqlTables();
    const int index = list.texts().indexOf(QString::fromStdString(table));
    if (index < 0) {
        std::cerr << table << " is not in the MySQL list\n";
        return 1;
    }
    list.setSelected(index, true);
    list.setCurrentIndex(index);

    std::thread reader;
    if (holdSeconds > 0) {
        reader = std::thread([&] {
            DataConnection connection;
            connection.open(DB2ConnectionString(DB2TestProfile()));
            connection.setAutoCommit(false);
            connection.execute("SELECT COUNT(*) FROM " + QuoteDB2Identifier(table));
            std::this_thread::sleep_for(std::chrono::seconds(holdSeconds));
            connection.rollback();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the read is under way
    }

    QElapsedTimer clock;
    qint64 lastTick = 0, maxGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        maxGap = std::max(maxGap, now - lastTick);
        lastTick = now;
    });
    clock.start();
    probe.start(5);
    manager->sendToDb2();
    const qint64 now = clock.elapsed();
    maxGap = std::max(maxGap, now - lastTick);
    probe.stop();
    if (reader.joinable())
        reader.join();

    for (const auto& box : dialogs.shown)
        if (box.kind != QLatin1String("question"))
            std::cerr << "box: " << box.text.toStdString() << "\n";
    std::printf("max_stall_ms=%lld seconds=%.1f status=%s\n", static_cast<long long>(maxGap),
                static_cast<double>(now) / 1000.0, manager->statusText().toStdString().c_str());
    return 0;
}
