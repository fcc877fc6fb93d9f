#include "ConnectionTest.h"

#include "ConnectChecks.h"
#include "DataConnection.h"
#include "ErrorReport.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"

#include <memory>

void RunConnectionTest(DatabaseSide side, const std::function<ConnectionProfile()>& currentProfile,
                       UserDialogs& dialogs, const std::function<void(Pointer)>& setPointer)
{
    const bool mysql = side == DatabaseSide::MySQL;
    HandlerTrap trap(
        dialogs,
        QString::fromLatin1(mysql ? report_location::kTestMySQLConnection : report_location::kTestDB2Connection));
    std::unique_ptr<DataConnection> connection;
    trap.step(100, [&] { connection = std::make_unique<DataConnection>(); });

    // From here on a failure is the expected "could not connect" answer, not a report.
    QString failureDetail;
    try {
        setPointer(Pointer::Busy);
        dialogs.yield();
        if (!connection)
            throw DbError("IM004", 0, "The ODBC environment could not be created.");
        const ConnectionProfile profile = currentProfile();
        std::optional<DbError> error;
        OffGuiThread([&] { error = TryConnect(side, *connection, profile); });
        if (error)
            throw *error;
        dialogs.message(QString::fromLatin1(kConnectionSuccessful));
        OffGuiThread([&] { connection.reset(); });  // a disconnect waits for the server too
        setPointer(Pointer::Default);
        return;
    } catch (...) {
        failureDetail = DescribeFailure(std::current_exception());
    }
    dialogs.messageWithDetail(QString::fromLatin1(mysql ? kMySQLConnectFailed : kDB2ConnectFailed), failureDetail);
    setPointer(Pointer::Default);
}
