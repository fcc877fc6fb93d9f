#include "ConnectionTest.h"

#include "ErrorReport.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"

QString LoginFaultText(LoginFault fault)
{
    switch (fault) {
    case LoginFault::UserOrPassword: return QStringLiteral("The server refused the user name or password.");
    case LoginFault::ServerName: return QStringLiteral("The server name was not found.");
    case LoginFault::Port: return QStringLiteral("No database server answered at that server and port.");
    case LoginFault::Database: return QStringLiteral("The server does not know that database.");
    case LoginFault::Unknown: break;
    }
    return {};
}

LoginFault RunConnectionTest(DatabaseSide side, const std::function<const Workspace&()>& workspaceNow,
                             UserDialogs& dialogs, const std::function<void(Pointer)>& setPointer)
{
    const bool mysql = side == DatabaseSide::MySQL;
    HandlerTrap trap(
        dialogs,
        QString::fromLatin1(mysql ? report_location::kTestMySQLConnection : report_location::kTestDB2Connection));
    const Workspace* workspace = nullptr;
    trap.step(100, [&] { workspace = &workspaceNow(); });
    LoginFault fault = LoginFault::Unknown;

    // From here on a failure is the expected "could not connect" answer, not a report.
    QString failureDetail;
    try {
        setPointer(Pointer::Busy);
        dialogs.yield();
        if (!workspace)
            throw DbError("IM004", 0, "The logins could not be read.");
        // The test's connection is closed again before the answer shows: a disconnect waits for the server too.
        const std::optional<DbError> error = OffGuiThread([&] { return workspace->testLogin(side); });
        if (error) {
            fault = DialectOf(side).loginFault(*error);
            throw *error;
        }
        dialogs.message(QString::fromLatin1(kConnectionSuccessful));
        setPointer(Pointer::Default);
        return LoginFault::Unknown;
    } catch (...) {
        failureDetail = DescribeFailure(std::current_exception());
    }
    QString text = QString::fromLatin1(mysql ? kMySQLConnectFailed : kDB2ConnectFailed);
    if (const QString reason = LoginFaultText(fault); !reason.isEmpty())
        text += QStringLiteral("\r\r") + reason;
    dialogs.messageWithDetail(text, failureDetail);
    setPointer(Pointer::Default);
    return fault;
}
