#include "ConnectionTest.h"

#include "ErrorReport.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"

void RunConnectionTest(DatabaseSide side, const std::function<const Workspace&()>& workspaceNow, UserDialogs& dialogs,
                       const std::function<void(Pointer)>& setPointer)
{
    const bool mysql = side == DatabaseSide::MySQL;
    HandlerTrap trap(
        dialogs,
        QString::fromLatin1(mysql ? report_location::kTestMySQLConnection : report_location::kTestDB2Connection));
    const Workspace* workspace = nullptr;
    trap.step(100, [&] { workspace = &workspaceNow(); });

    // From here on a failure is the expected "could not connect" answer, not a report.
    QString failureDetail;
    try {
        setPointer(Pointer::Busy);
        dialogs.yield();
        if (!workspace)
            throw DbError("IM004", 0, "The logins could not be read.");
        // The test's connection is closed again before the answer shows: a disconnect waits for the server too.
        const std::optional<DbError> error = OffGuiThread([&] { return workspace->testLogin(side); });
        if (error)
            throw *error;
        dialogs.message(QString::fromLatin1(kConnectionSuccessful));
        setPointer(Pointer::Default);
        return;
    } catch (...) {
        failureDetail = DescribeFailure(std::current_exception());
    }
    dialogs.messageWithDetail(QString::fromLatin1(mysql ? kMySQLConnectFailed : kDB2ConnectFailed), failureDetail);
    setPointer(Pointer::Default);
}
