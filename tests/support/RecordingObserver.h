#pragma once

#include "SendReportLines.h"
#include "StatementCancel.h"
#include "Transfer.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

// Stands in for the table manager: a target list, scripted answers, and a
// record of everything the transfer told it. A question about a table that
// matched another name is recorded as "table over existing".
class RecordingObserver : public TransferObserver {
public:
    struct Report {
        TransferStep step;
        std::string description, sql;
        std::string table;
    };

    std::vector<std::string> targetList;
    std::set<std::string> answerNo;  // tables whose overwrite question is answered No
    long long cancelAfterProgressCalls = -1;
    const StatementCanceller* canceller = nullptr;   // its cancel counts as the user's Cancel
    std::function<void(long long done)> onRowsDone;  // runs after every batch, e.g. to disturb the copy
    std::function<void()> onYield;                   // runs at every yield, also between the rows of a retried batch
    std::chrono::milliseconds yieldEvery {40};       // 0: a yield at every row of a retry, whatever the machine's speed

    std::vector<std::string> asked, dropped, arrived;
    std::vector<int> progressValues;
    std::vector<Report> reports;
    std::vector<std::pair<std::string, long long>> refusedMessages;
    int yields = 0;

    std::vector<std::string> announcedExisting;  // tablesExistOnTarget, over all runs
    void tablesExistOnTarget(const std::vector<std::string>& tables) override
    {
        announcedExisting.insert(announcedExisting.end(), tables.begin(), tables.end());
    }
    bool confirmOverwrite(const std::string& table, const std::string& existing) override
    {
        asked.push_back(table == existing ? table : table + " over " + existing);
        return answerNo.count(table) == 0;
    }
    std::vector<std::string> loadQuestions;  // answered as the overwrite question
    bool confirmLoad(const std::string& table, const std::string& existing, const std::string& question) override
    {
        loadQuestions.push_back(question);
        return confirmOverwrite(table, existing);
    }
    void targetDropped(const std::string& table) override
    {
        dropped.push_back(table);
        targetList.erase(std::remove(targetList.begin(), targetList.end(), table), targetList.end());
    }
    void tableArrived(const std::string& table) override
    {
        arrived.push_back(table);
        targetList.push_back(table);
    }
    void progress(int percent) override { progressValues.push_back(percent); }
    void report(const std::string& table, TransferStep step, const std::string& description,
                const std::string& sql) override
    {
        reports.push_back({step, description, sql, table});
    }
    void rowsRefused(const std::string& table, long long furtherRefused) override
    {
        refusedMessages.emplace_back(table, furtherRefused);
    }
    void rowsDone(const std::string&, long long done, long long) override
    {
        if (onRowsDone)
            onRowsDone(done);
    }
    bool cancelRequested() override
    {
        return (cancelAfterProgressCalls >= 0
                && static_cast<long long>(progressValues.size()) >= cancelAfterProgressCalls)
            || (canceller && canceller->cancelled());
    }
    std::chrono::milliseconds yieldInterval() const override { return yieldEvery; }
    void yield() override
    {
        ++yields;
        if (onYield)
            onYield();
    }

    std::string reportsText() const
    {
        std::string text;
        for (const auto& r : reports)
            text += std::to_string(static_cast<int>(r.step)) + ": " + r.description + " | sql: " + r.sql + "\n";
        return text;
    }
};
