#pragma once

#include "Transfer.h"

#include <functional>

// Passes every call on to another observer. A subclass changes how the calls
// travel (deliver) or overrides the few it answers itself; cancelRequested
// and yieldInterval are asked directly, as they are read often and change nothing.
class ForwardingObserver : public TransferObserver {
public:
    explicit ForwardingObserver(TransferObserver& inner) : inner_(inner) { }

    void tableStarting(const std::string& table) override
    {
        deliver([&] { inner_.tableStarting(table); });
    }
    bool confirmOverwrite(const std::string& table, const std::string& existing) override
    {
        bool yes = false;
        deliver([&] { yes = inner_.confirmOverwrite(table, existing); });
        return yes;
    }
    void tablesExistOnTarget(const std::vector<std::string>& tables) override
    {
        deliver([&] { inner_.tablesExistOnTarget(tables); });
    }
    void existingTargetNames(const std::map<std::string, std::string>& listedAs) override
    {
        deliver([&] { inner_.existingTargetNames(listedAs); });
    }
    ExistingTables existingTableMode(const std::string& table, ExistingTables runMode) override
    {
        ExistingTables mode = runMode;
        deliver([&] { mode = inner_.existingTableMode(table, runMode); });
        return mode;
    }
    bool confirmLoad(const std::string& table, const std::string& existing, const std::string& question) override
    {
        bool yes = false;
        deliver([&] { yes = inner_.confirmLoad(table, existing, question); });
        return yes;
    }
    void targetDropped(const std::string& table) override
    {
        deliver([&] { inner_.targetDropped(table); });
    }
    void tableArrived(const std::string& table) override
    {
        deliver([&] { inner_.tableArrived(table); });
    }
    void progress(int percent) override
    {
        deliver([&] { inner_.progress(percent); });
    }
    void report(const std::string& table, TransferStep step, const std::string& description,
                const std::string& sql) override
    {
        deliver([&] { inner_.report(table, step, description, sql); });
    }
    void rowsRefused(const std::string& table, long long furtherRefused) override
    {
        deliver([&] { inner_.rowsRefused(table, furtherRefused); });
    }
    void rowsDone(const std::string& table, long long done, long long total) override
    {
        deliver([&] { inner_.rowsDone(table, done, total); });
    }
    void tableFinished(const TableResult& result) override
    {
        deliver([&] { inner_.tableFinished(result); });
    }
    bool cancelRequested() override { return inner_.cancelRequested(); }
    void yield() override
    {
        deliver([&] { inner_.yield(); });
    }
    std::chrono::milliseconds yieldInterval() const override { return inner_.yieldInterval(); }

protected:
    // Runs one call on the inner observer; here, at once on this thread.
    virtual void deliver(const std::function<void()>& call) { call(); }

private:
    TransferObserver& inner_;
};
