#pragma once

#include "ForwardingObserver.h"
#include "Transfer.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TransferRun;

// The observer's calls made on other threads, run on the thread that made
// this object, one at a time, while that thread serves them; a call waits
// for its answer. The other threads' yields and progress are left out: the
// serving thread yields itself, and shows the progress of every table under
// way together, from their rows done; Cancel is asked there and seen by
// the other threads.
class RunThreadObserver : public ForwardingObserver {
public:
    explicit RunThreadObserver(TransferObserver& inner);

    // Asked of the inner observer on the serving thread only (it may print,
    // or count); the other threads see what it last answered there.
    bool cancelRequested() override;
    void yield() override;
    void progress(int percent) override;
    void rowsDone(const std::string& table, long long done, long long total) override;
    void tableFinished(const TableResult& result) override;

    // On the making thread until `finished` says so: the calls waiting are
    // run, and the inner observer yields every yieldInterval().
    void serve(const std::function<bool()>& finished);
    // From another thread: `finished` may now say so.
    void wake();

protected:
    void deliver(const std::function<void()>& call) override;

private:
    struct Pending {
        const std::function<void()>* call;
        bool done = false;
        std::exception_ptr failure;
    };
    bool onServingThread() const { return std::this_thread::get_id() == servingThread_; }
    void showProgress();

    TransferObserver& inner_;
    const std::thread::id servingThread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending*> waiting_;
    // Rows done and expected of each table under way or ended, for the whole run's progress.
    std::map<std::string, std::pair<long long, long long>> rows_;
    int shownPercent_ = -1;
    std::atomic<bool> cancelled_ = false;
};

// How many tables of a run go at once: up to `parallelStreams`, one per
// group of tables (tables the target would hold under one name go one after
// the other, so a second is refused as it is when they go in turn). 1: in turn.
// The groups, each a list of indexes into `tables`, in the order given.
std::vector<std::vector<size_t>> TableGroups(const TransferRun& run, const std::vector<std::string>& tables);
int TablesAtOnce(const TransferOptions& options, size_t groups);

// Sends the run's tables, up to `lanes` at once, each lane a run of its own
// connections taking the next group when it is free; the streams of the run
// are shared among the lanes. The results, the Cancel and a lost connection
// end up in `run`'s summary as if the tables had gone in turn. The observer is
// called on this thread only. false: a lane could not connect (reported);
// no table was sent.
bool SendSideBySide(TransferRun& run, TransferDirection direction, const ConnectionProfile& mysql,
                    const ConnectionProfile& db2, const std::vector<std::string>& tables,
                    const std::vector<std::vector<size_t>>& groups, int lanes);
