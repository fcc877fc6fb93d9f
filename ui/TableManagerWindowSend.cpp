// The two send buttons of the table manager.
#include "ErrorReport.h"
#include "ExistingTableQuestions.h"
#include "ForwardingObserver.h"
#include "OffGuiThread.h"
#include "ReportLocations.h"
#include "SendReportLines.h"
#include "SessionLog.h"
#include "SqlDialect.h"
#include "TableFill.h"
#include "TableList.h"
#include "TableManagerWindow.h"
#include "Transfer.h"
#include "TransferStatus.h"
#include "UserDialogs.h"
#include "Workspace.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <map>

namespace {

// The window's side of a transfer: the target list, the progress bar and
// status line, the dialogs and the Cancel button.
class WindowTransferObserver : public TransferObserver {
public:
    WindowTransferObserver(TableManagerWindow& window, TableList& targetList, TransferDirection direction,
                           const char* location, int tableCount, bool askFirst)
            : window_(window), targetList_(targetList), direction_(direction),
              location_(LocationLiteral(QString::fromLatin1(location))), tableCount_(tableCount), askFirst_(askFirst)
    {
        tableTime_.start();
        runTime_.start();
    }

    void tableStarting(const std::string& table) override
    {
        // Rows per second count from here, less the time spent on boxes.
        tableTime_.restart();
        userSecondsAtTableStart_ = window_.secondsWithUserSoFar();
        ++tableNumber_;
        if (tableCount_ > 1)
            window_.setStatusText(RunProgressText(tableNumber_, tableCount_,
                                                  QStringLiteral("Sending %1").arg(QString::fromStdString(table))));
    }
    void tablesExistOnTarget(const std::vector<std::string>& tables) override
    {
        existingTables_.setExistingCount(tables.size());
    }
    // Asked before the first table when the user wants every question first.
    void existingTargetNames(const std::map<std::string, std::string>& listedAs) override
    {
        if (!askFirst_ || listedAs.empty())
            return;
        std::vector<std::string> tables;
        std::vector<ExistingTableRow> rows;
        for (const auto& [table, existing] : listedAs) {
            tables.push_back(table);
            rows.push_back(
                {QString::fromStdString(existing), targetName(), estimateOf(existing), ExistingTableAnswer::Keep});
        }
        bool send = false;
        window_.waitForUser([&] { send = window_.dialogs().askAboutExistingTables(rows); });
        if (!send) {
            emit window_.cancelRequested();  // nothing has moved yet
            return;
        }
        for (size_t i = 0; i < rows.size(); ++i)
            answeredFirst_[tables[i]] = rows[i].answer;
    }
    ExistingTables existingTableMode(const std::string& table, ExistingTables runMode) override
    {
        const auto answered = answeredFirst_.find(table);
        if (answered == answeredFirst_.end())
            return runMode;
        switch (answered->second) {
        case ExistingTableAnswer::ReplaceTable: return ExistingTables::ReplaceTable;
        case ExistingTableAnswer::AddRows: return ExistingTables::AddRows;
        case ExistingTableAnswer::ReplaceRows: return ExistingTables::ReplaceRows;
        case ExistingTableAnswer::Keep: break;
        }
        return runMode;
    }
    bool confirmOverwrite(const std::string& table, const std::string& existing) override
    {
        if (const auto answered = answeredFirst_.find(table); answered != answeredFirst_.end())
            return answered->second != ExistingTableAnswer::Keep;
        return ask(QStringLiteral("Would you like to overwrite ") + QString::fromStdString(existing)
                       + QStringLiteral("?") + aboutTable(existing),
                   QStringLiteral("Overwrite?"));
    }
    bool confirmLoad(const std::string& table, const std::string& existing, const std::string& question) override
    {
        if (const auto answered = answeredFirst_.find(table); answered != answeredFirst_.end())
            return answered->second != ExistingTableAnswer::Keep;
        return ask(QString::fromStdString(question) + aboutTable(existing), QStringLiteral("Existing table"));
    }
    void targetDropped(const std::string& table) override
    {
        RemoveListItem(targetList_, QString::fromStdString(table));
    }
    void tableArrived(const std::string& table) override { targetList_.add(QString::fromStdString(table)); }
    void progress(int percent) override { window_.progressBar()->setValue(percent); }
    void rowsDone(const std::string& table, long long done, long long total) override
    {
        const double seconds = static_cast<double>(tableTime_.nsecsElapsed()) / 1e9
            - (window_.secondsWithUserSoFar() - userSecondsAtTableStart_);
        const double elapsed = static_cast<double>(runTime_.nsecsElapsed()) / 1e9 - window_.secondsWithUserSoFar();
        const QString text = TransferProgressText(QString::fromStdString(table), done, total,
                                                  seconds > 0 ? done / seconds : 0, QLocale(), std::max(0.0, elapsed));
        window_.setStatusText(RunProgressText(tableNumber_, tableCount_, text));
    }
    void report(const std::string&, TransferStep step, const std::string& description, const std::string& sql) override
    {
        window_.waitForUser([&] {
            ReportError(window_.dialogs(), location_, SendReportLineOf(direction_, step),
                        QString::fromStdString(description), QString::fromStdString(sql));
        });
    }
    void rowsRefused(const std::string& table, long long furtherRefused) override
    {
        window_.waitForUser(
            [&] { window_.dialogs().message(FurtherRowsRefusedText(furtherRefused, QString::fromStdString(table))); });
    }
    // Cancel reaches the engine through the workspace, which also stops the statement in hand.
    bool cancelRequested() override { return false; }
    void yield() override { window_.dialogs().yield(); }

private:
    QString targetName() const
    {
        return QString::fromStdString(
            DialectOf(direction_ == TransferDirection::MySQLToDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL)
                .displayName());
    }
    // The estimate the target's list holds for the table.
    QString estimateOf(const std::string& existing) const
    {
        const int index = targetList_.indexOf(QString::fromStdString(existing));
        return EstimateText(index < 0 ? TableEstimate {} : targetList_.estimate(index));
    }
    // The questions' last line: which table on which side, and how big.
    QString aboutTable(const std::string& existing) const
    {
        return QStringLiteral("\r\r%1 on %2: %3")
            .arg(QString::fromStdString(existing), targetName(), estimateOf(existing));
    }
    bool ask(const QString& text, const QString& title)
    {
        bool yes = false;
        window_.waitForUser([&] { yes = existingTables_.ask(text, title); });
        return yes;
    }

    TableManagerWindow& window_;
    ExistingTableQuestions existingTables_ {window_.dialogs()};
    TableList& targetList_;
    TransferDirection direction_;
    QString location_;
    QElapsedTimer tableTime_;
    QElapsedTimer runTime_;
    double userSecondsAtTableStart_ = 0;
    int tableCount_;
    int tableNumber_ = 0;
    bool askFirst_;
    std::map<std::string, ExistingTableAnswer> answeredFirst_;  // by the run's name
};

// The engine's side of the same: the transfer runs off the GUI thread, and
// each call crosses to the window and waits for it there, so questions,
// lists, progress and reports come in the engine's order and the engine goes
// on only once the window has shown them (or the user has answered).
class CrossingObserver : public ForwardingObserver {
public:
    using ForwardingObserver::ForwardingObserver;

protected:
    void deliver(const std::function<void()>& call) override { OnGuiThread(call); }
};

}  // namespace

// Both directions: the selected names, walked from the last to the first,
// go to the engine with the buttons disabled and Cancel shown; the status
// line follows the rows and ends with the summary.
void TableManagerWindow::sendTables(bool toDB2)
{
    if (!beginAction())
        return;
    TableList& source = toDB2 ? *mysqlTables() : *db2Tables();
    TableList& target = toDB2 ? *db2Tables() : *mysqlTables();
    const QStringList selected = source.selectedTexts();
    if (selected.isEmpty()) {
        dialogs_.message(toDB2 ? QStringLiteral("Please select a table")
                               : QStringLiteral("Please select a table to send."));
        return;
    }
    std::vector<std::string> tables;
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        tables.push_back(it->toStdString());

    setBusy(true);
    transferRunning_ = true;
    secondsWithUser_ = 0;
    cancel_->show();
    progressBar_->setTextVisible(true);  // a percent only while something goes
    const TransferDirection direction = toDB2 ? TransferDirection::MySQLToDB2 : TransferDirection::DB2ToMySQL;
    WindowTransferObserver observer(*this, target, direction,
                                    toDB2 ? report_location::kSendToDB2 : report_location::kSendToMySQL,
                                    static_cast<int>(tables.size()), askFirstCheck()->isChecked());
    CrossingObserver crossing(observer);
    Workspace& workspace = host_.workspace();
    const TransferSummary summary = OffGuiThread([&] { return workspace.send(direction, tables, crossing); });
    cancel_->hide();
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    transferRunning_ = false;
    const DatabaseSide targetSide = toDB2 ? DatabaseSide::DB2 : DatabaseSide::MySQL;
    // The status line holds the summary; the Log adds what became of each table.
    const QString outcome = TransferSummaryText(summary, QString::fromStdString(DialectOf(targetSide).displayName()),
                                                std::max(0.0, summary.seconds - secondsWithUser_), QLocale());
    setStatusText(outcome);
    sessionLog_->add((QStringList(outcome) + TransferTableLines(summary, QLocale())).join(QStringLiteral("\r    ")));
    setBusy(false);
}

void TableManagerWindow::sendToDb2() { sendTables(true); }

void TableManagerWindow::sendToMySQL() { sendTables(false); }
