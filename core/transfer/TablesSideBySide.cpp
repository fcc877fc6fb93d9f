#include "TablesSideBySide.h"

#include "TableCopy.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

RunThreadObserver::RunThreadObserver(TransferObserver& inner)
        : ForwardingObserver(inner), inner_(inner), servingThread_(std::this_thread::get_id())
{
}

bool RunThreadObserver::cancelRequested()
{
    if (onServingThread() && !cancelled_ && inner_.cancelRequested())
        cancelled_ = true;
    return cancelled_;
}

void RunThreadObserver::yield()
{
    if (onServingThread())
        inner_.yield();
}

void RunThreadObserver::progress(int percent)
{
    if (onServingThread())
        inner_.progress(percent);
}

void RunThreadObserver::rowsDone(const std::string& table, long long done, long long total)
{
    deliver([&] {
        inner_.rowsDone(table, done, total);
        rows_[table] = {done, total};
        showProgress();
    });
}

void RunThreadObserver::tableFinished(const TableResult& result)
{
    deliver([&] {
        inner_.tableFinished(result);
        auto& [done, total] = rows_[result.name];
        done = std::max(done, total);
        showProgress();
    });
}

// The rows done of every table begun, over the rows they were counted to have.
void RunThreadObserver::showProgress()
{
    long long done = 0, total = 0;
    for (const auto& [table, rows] : rows_)
        if (rows.second > 0) {
            done += std::min(rows.first, rows.second);
            total += rows.second;
        }
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    if (percent != shownPercent_)
        inner_.progress(shownPercent_ = percent);
}

void RunThreadObserver::deliver(const std::function<void()>& call)
{
    if (onServingThread()) {
        call();
        return;
    }
    Pending pending {&call, false, nullptr};
    std::unique_lock lock(mutex_);
    waiting_.push_back(&pending);
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending.done; });
    if (pending.failure)
        std::rethrow_exception(pending.failure);
}

void RunThreadObserver::serve(const std::function<bool()>& finished)
{
    using Clock = std::chrono::steady_clock;
    auto lastYield = Clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!waiting_.empty()) {
            Pending* pending = waiting_.front();
            waiting_.pop_front();
            lock.unlock();
            try {
                (*pending->call)();
            } catch (...) {
                pending->failure = std::current_exception();
            }
            lock.lock();
            pending->done = true;
            changed_.notify_all();
        }
        if (finished())
            return;
        changed_.wait_for(lock, inner_.yieldInterval());
        lock.unlock();
        cancelRequested();
        if (Clock::now() - lastYield >= inner_.yieldInterval()) {
            inner_.yield();
            lastYield = Clock::now();
        }
        lock.lock();
    }
}

void RunThreadObserver::wake()
{
    const std::lock_guard lock(mutex_);
    changed_.notify_all();
}

std::vector<std::vector<size_t>> TableGroups(const TransferRun& run, const std::vector<std::string>& tables)
{
    std::vector<std::vector<size_t>> groups;
    std::map<std::string, size_t> groupOfKey;
    for (size_t i = 0; i < tables.size(); ++i) {
        const std::string key = run.names.tableKey(run.targetNameOf(tables[i]));
        const auto [found, added] = groupOfKey.emplace(key, groups.size());
        if (added)
            groups.emplace_back();
        groups[found->second].push_back(i);
    }
    return groups;
}

int TablesAtOnce(const TransferOptions& options, size_t groups)
{
    if (options.parallelStreams < 2 || groups < 2)
        return 1;
    return static_cast<int>(
        std::min<size_t>(static_cast<size_t>(std::min(options.parallelStreams, kMaxParallelStreams)), groups));
}

namespace {

// The lanes of a run sending tables side by side: each a run of its own
// connections, taking the next group of tables when it is free.
class SideBySide {
public:
    SideBySide(TransferRun& run, const std::vector<std::vector<size_t>>& groups, int lanes)
            : run_(run), relay_(run.observer), groups_(groups), lanes_(lanes), ranBy_(run.summary.tables.size(), -1)
    {
        laneOptions_ = run.options;
        // The run's streams shared among the tables under way.
        laneOptions_.parallelStreams = std::max(1, std::min(run.options.parallelStreams, kMaxParallelStreams) / lanes);
    }

    bool connectLanes(TransferDirection direction, const ConnectionProfile& mysql, const ConnectionProfile& db2,
                      const std::vector<std::string>& tables)
    {
        for (int i = 0; i < lanes_; ++i) {
            laneRuns_.push_back(std::make_unique<TransferRun>(direction, mysql, db2, tables, relay_, laneOptions_));
            if (!laneRuns_.back()->connect(false))
                return false;
        }
        return true;
    }

    void sendTables()
    {
        std::vector<std::thread> threads;
        for (int i = 0; i < lanes_; ++i)
            threads.emplace_back([this, i] { runLane(i); });
        relay_.serve([this] { return ended_ == lanes_; });
        for (std::thread& thread : threads)
            thread.join();
    }

    // Each table's result from the lane that sent it; the run ends cancelled
    // or with its connection lost when any lane's did.
    void gatherResults()
    {
        for (size_t index = 0; index < ranBy_.size(); ++index)
            if (ranBy_[index] >= 0)
                run_.summary.tables[index] = laneRuns_[static_cast<size_t>(ranBy_[index])]->summary.tables[index];
        for (const auto& lane : laneRuns_) {
            run_.summary.cancelled = run_.summary.cancelled || lane->summary.cancelled;
            run_.summary.connectionLost = run_.summary.connectionLost || lane->summary.connectionLost;
        }
    }

private:
    // One table on a lane's thread: what would end a run on its own thread
    // ends the table here, told.
    TableCopy::After send(TransferRun& laneRun, TableResult& result)
    {
        try {
            return TableCopy(laneRun, result).send();
        } catch (const std::exception& error) {
            relay_.report(result.name, TransferStep::Insert, error.what(), "");
            result.status = TableStatus::Failed;
            result.reason = "failed";
            return TableCopy::After::EndRun;
        }
    }

    void runLane(int lane)
    {
        TransferRun& laneRun = *laneRuns_[static_cast<size_t>(lane)];
        try {
            while (!stop_) {
                const size_t group = nextGroup_++;
                if (group >= groups_.size())
                    break;
                for (const size_t index : groups_[group]) {
                    if (stop_)
                        break;
                    if (relay_.cancelRequested()) {
                        laneRun.summary.cancelled = true;
                        stop_ = true;
                        break;
                    }
                    ranBy_[index] = lane;
                    if (send(laneRun, laneRun.summary.tables[index]) == TableCopy::After::EndRun) {
                        stop_ = true;
                        break;
                    }
                }
            }
        } catch (const std::exception&) {
            stop_ = true;  // the report itself failed: the observer has gone
        }
        ++ended_;
        relay_.wake();
    }

    TransferRun& run_;
    RunThreadObserver relay_;
    const std::vector<std::vector<size_t>>& groups_;
    const int lanes_;
    TransferOptions laneOptions_;
    std::vector<std::unique_ptr<TransferRun>> laneRuns_;
    std::vector<int> ranBy_;  // by table: the lane that sent it; each written by one lane only
    std::atomic<size_t> nextGroup_ = 0;
    std::atomic<bool> stop_ = false;
    std::atomic<int> ended_ = 0;
};

}  // namespace

bool SendSideBySide(TransferRun& run, TransferDirection direction, const ConnectionProfile& mysql,
                    const ConnectionProfile& db2, const std::vector<std::string>& tables,
                    const std::vector<std::vector<size_t>>& groups, int lanes)
{
    SideBySide sending(run, groups, lanes);
    if (!sending.connectLanes(direction, mysql, db2, tables))
        return false;
    sending.sendTables();
    sending.gatherResults();
    return true;
}
