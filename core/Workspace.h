#pragma once

#include "ActivityLog.h"
#include "ColumnTypes.h"
#include "ConnectionProfile.h"
#include "DbError.h"
#include "TableChanges.h"
#include "TableEstimate.h"
#include "Transfer.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class DataConnection;
class SelfCheckObserver;
class SettingsStore;
class StatementCanceller;

// Both logins and the transfer options, and everything a front end does with
// them: test a login, list, drop and rename tables, send tables. No event
// loop and no window: callable from any one thread at a time, except cancel().
class Workspace {
public:
    Workspace();
    Workspace(ConnectionProfile mysql, ConnectionProfile db2, TransferOptions options = {});
    ~Workspace();

    const ConnectionProfile& login(DatabaseSide side) const;
    void setLogin(DatabaseSide side, ConnectionProfile profile);
    const TransferOptions& options() const { return options_; }
    void setOptions(const TransferOptions& options) { options_ = options; }

    // The driver's error, or nothing when the login works.
    std::optional<DbError> testLogin(DatabaseSide side) const;
    // The side's tables in the lists' order; throws DbError. Given
    // `estimates`, also their rows and bytes as the server's statistics
    // estimate them, in one more query on the same connection.
    std::vector<std::string> listTables(DatabaseSide side, TableEstimates* estimates = nullptr) const;

    // Opens the side's session for drops and renames (kept until close or
    // the workspace ends); throws DbError. dropTable and renameTable open it
    // when it is not open yet.
    void open(DatabaseSide side);
    void close(DatabaseSide side);
    DropOutcome dropTable(DatabaseSide side, const std::string& table, bool view = false);
    void renameTable(DatabaseSide side, const std::string& from, const std::string& to);

    // A delete or rename that the front end walks step by step: the drops,
    // the rename and a session that would not open between begin and end
    // make one activity log entry. A drop or rename outside makes its own.
    void beginTableChange(TableChange change, DatabaseSide side, std::vector<std::string> tables,
                          std::string newName = {});
    TableChangeRecord endTableChange();

    // The file every send, delete and rename is appended to; none while empty (the default).
    void setActivityLog(const QString& filePath) { activityLog_ = filePath; }
    // Why the activity log could not be written, the first time it failed,
    // and nothing after that: a front end says it once. The actions go on.
    std::optional<std::string> takeActivityLogProblem();

    // Sends the tables from the other side to the direction's target (the engine's RunTransfer).
    TransferSummary send(TransferDirection direction, const std::vector<std::string>& tables,
                         TransferObserver& observer);
    // Compares each table of the direction's source with its copy on the
    // target; recorded in the activity log as "verify". cancel() stops it too.
    ComparisonSummary verify(TransferDirection direction, const std::vector<std::string>& tables,
                             ComparisonObserver& observer);
    // The self-check (SelfCheck.h) with these logins; returns how many checks
    // failed. Its sends and verifies are the ones above.
    int selfCheck(SelfCheckObserver& observer);
    // From any thread: stops the running send as Cancel does. The engine
    // stops at its next check, and the statements in hand are cancelled so
    // a long one (a read, a wait for another session's lock) does not hold
    // it. Nothing happens while no send runs.
    void cancel();

private:
    DataConnection& session(DatabaseSide side);
    void writeToActivityLog(const ActivityEntry& entry);
    ComparisonSummary compareAndLog(TransferDirection direction, const std::vector<std::string>& tables,
                                    ComparisonObserver& observer);
    template <typename Step>
    auto recordedChange(TableChange change, DatabaseSide side, const std::string& table, const std::string& newName,
                        Step step);

    ConnectionProfile mysql_, db2_;
    TransferOptions options_;
    std::unique_ptr<DataConnection> mysqlSession_, db2Session_;
    std::mutex sendLock_;  // guards runningSend_ against cancel() from another thread
    StatementCanceller* runningSend_ = nullptr;
    std::atomic<bool> sendCancelled_ = false;
    QString activityLog_;
    std::optional<TableChangeRecord> change_;  // the delete or rename under way
    std::string logProblem_;
    bool logProblemTold_ = false;
};
