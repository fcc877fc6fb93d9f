#pragma once

#include "KeyRanges.h"
#include "StatementCancel.h"
#include "Transfer.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TransferRun;

// One table copied by several streams at once, one per range of its key,
// each reading on a source connection of its own and writing on a target
// connection of its own into the one table given. Only the run's thread
// talks to the observer: the streams' threads post their counts and reports,
// and the run's thread shows the whole table's progress, watches Cancel and
// stops every stream when one fails for anything but a row's own data.
class ParallelCopy {
public:
    ParallelCopy(TransferRun& run, const std::string& table, KeySplit split, long long rowCount);
    ~ParallelCopy();
    ParallelCopy(const ParallelCopy&) = delete;
    ParallelCopy& operator=(const ParallelCopy&) = delete;

    size_t streams() const { return split_.ranges.size(); }
    // Opens each stream's pair of connections as the run opens its own
    // (throws DbError naming the stream), and the reader of its range.
    void connect();
    // The table's columns as the streams read them; after connect().
    std::vector<Field> columns() const;
    // Copies every range into `into` and returns the counts of all streams
    // together. A failure is reported once, the first stream's that failed.
    CopyResult copy(const std::string& into, const std::vector<std::string>& targetColumnTypes);

private:
    struct Stream;

    void runStream(Stream& stream, const std::string& into, const std::vector<std::string>& targetColumnTypes);
    void watch();
    void showProgress();
    void stopAll();
    Stream* firstFailed() const;
    CopyResult combine();
    void forwardReports(const CopyResult& total);

    TransferRun& run_;
    TransferObserver& observer_;
    const std::string table_;
    const KeySplit split_;
    const long long rowCount_;
    // Every statement of the streams, stopped at once when the copy ends early.
    StatementCanceller canceller_;
    std::vector<std::unique_ptr<Stream>> streams_;
    mutable std::mutex mutex_;
    std::atomic<long> reportSequence_ = 0;
    std::condition_variable finished_;
    bool stopping_ = false, cancelled_ = false;
    Stream* failed_ = nullptr;  // the stream whose failure stopped the others
    long long shownRows_ = -1;
    int shownPercent_ = 0;
};
