#include "ParallelCopy.h"

#include "SourceReader.h"
#include "TableCopy.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The run's own connections idle while the streams copy; well inside the
// idle limit their sessions ask for, the server is shown they are in use.
constexpr auto kPingIdleEvery = std::chrono::minutes(10);

// What one stream's copy tells: its rows read so far and its reports, kept
// for the run's thread; and whether it is to stop.
class StreamObserver : public TransferObserver {
public:
    struct Report {
        long sequence;  // over all streams: which came first
        TransferStep step;
        std::string description, sql;
    };

    explicit StreamObserver(std::atomic<long>& sequence) : sequence_(sequence) { }

    std::atomic<long long> rowsRead = 0;
    std::atomic<bool> stop = false;

    std::vector<Report> takeReports()
    {
        const std::lock_guard lock(mutex_);
        return reports_;
    }

    bool confirmOverwrite(const std::string&, const std::string&) override { return false; }
    void targetDropped(const std::string&) override { }
    void tableArrived(const std::string&) override { }
    void progress(int) override { }
    void report(const std::string&, TransferStep step, const std::string& description, const std::string& sql) override
    {
        const std::lock_guard lock(mutex_);
        reports_.push_back({sequence_++, step, description, sql});
    }
    void rowsRefused(const std::string&, long long) override { }  // the run counts them from the results
    void rowsDone(const std::string&, long long done, long long) override { rowsRead = done; }
    bool cancelRequested() override { return stop; }
    void yield() override { }

private:
    std::atomic<long>& sequence_;
    std::mutex mutex_;
    std::vector<Report> reports_;
};

void addCounts(std::map<std::string, long long>& into, const std::map<std::string, long long>& counts)
{
    for (const auto& [column, count] : counts)
        into[column] += count;
}

}  // namespace

struct ParallelCopy::Stream {
    explicit Stream(std::atomic<long>& sequence) : observer(sequence) { }

    DataConnection source, target;
    std::unique_ptr<SourceReader> reader;  // its range, read a block ahead
    StreamObserver observer;
    CopyResult result;
    std::thread thread;
    bool finished = false;  // guarded by the copy's mutex
};

ParallelCopy::ParallelCopy(TransferRun& run, const std::string& table, KeySplit split, long long rowCount)
        : run_(run), observer_(run.observer), table_(table), split_(std::move(split)), rowCount_(rowCount)
{
}

ParallelCopy::~ParallelCopy()
{
    stopAll();
    for (auto& stream : streams_)
        if (stream->thread.joinable())
            stream->thread.join();
}

void ParallelCopy::connect()
{
    // Made in this scope, the streams' statements can all be stopped at once.
    const StatementCancelScope scope(canceller_);
    for (size_t i = 0; i < split_.ranges.size(); ++i) {
        streams_.push_back(std::make_unique<Stream>(reportSequence_));
        try {
            run_.openStreamConnections(streams_.back()->source, streams_.back()->target);
        } catch (const DbError& error) {
            std::vector<DiagRecord> records = error.records();
            records.front().message = "Stream " + std::to_string(i + 1) + " of "
                + std::to_string(split_.ranges.size()) + " could not connect: " + records.front().message;
            throw DbError(std::move(records));
        }
    }
    // Opened here, so the streams' first rows are read while the target is
    // prepared, and the table's columns are known before any stream starts.
    for (size_t part = 0; part < streams_.size(); ++part) {
        Stream& stream = *streams_[part];
        stream.reader = ReadAhead(
            OpenKeyRange(run_.sourceSide, stream.source, table_, split_, part, BatchRowsFor(rowCount_)));
    }
}

std::vector<Field> ParallelCopy::columns() const { return streams_.front()->reader->columns(); }

CopyResult ParallelCopy::copy(const std::string& into, const std::vector<std::string>& targetColumnTypes)
{
    for (size_t part = 0; part < streams_.size(); ++part) {
        Stream& stream = *streams_[part];
        stream.thread = std::thread([this, &stream, &into, &targetColumnTypes] {
            runStream(stream, into, targetColumnTypes);
        });
    }
    watch();
    for (auto& stream : streams_)
        stream->thread.join();
    showProgress();
    CopyResult total = combine();
    forwardReports(total);
    return total;
}

// On the stream's own thread: its range read and written with today's
// reader and batches, each with its own memory bound.
void ParallelCopy::runStream(Stream& stream, const std::string& into,
                             const std::vector<std::string>& targetColumnTypes)
{
    try {
        stream.result = CopyRows(run_.side, table_, into, *stream.reader, rowCount_, targetColumnTypes, stream.target,
                                 stream.observer);
    } catch (const std::exception& error) {
        stream.observer.report(table_, TransferStep::Insert, error.what(), "");
        stream.result.writeFailed = true;
    }
    stream.reader.reset();
    {
        const std::lock_guard lock(mutex_);
        stream.finished = true;
    }
    finished_.notify_all();
}

// On the run's thread until every stream has ended: progress, Cancel, and
// a failed stream stopping the others.
void ParallelCopy::watch()
{
    auto lastPing = Clock::now();
    std::unique_lock lock(mutex_);
    for (;;) {
        if (std::all_of(streams_.begin(), streams_.end(), [](const auto& s) { return s->finished; }))
            return;
        finished_.wait_for(lock, observer_.yieldInterval());
        lock.unlock();
        showProgress();
        observer_.yield();
        if (Clock::now() - lastPing >= kPingIdleEvery) {
            lastPing = Clock::now();
            for (DataConnection* idle : {&run_.claim, &run_.source, &run_.target}) {
                try {
                    idle->execute((idle == &run_.source ? run_.sourceDialect : run_.targetDialect).pingSql());
                } catch (const DbError&) {
                    // Its own next statement reports it.
                }
            }
        }
        if (!stopping_) {
            if (observer_.cancelRequested()) {
                cancelled_ = true;
                stopAll();
            } else if (Stream* failed = firstFailed()) {
                failed_ = failed;
                stopAll();
            }
        }
        lock.lock();
    }
}

ParallelCopy::Stream* ParallelCopy::firstFailed() const
{
    const std::lock_guard lock(mutex_);
    for (const auto& stream : streams_)
        if (stream->finished && (stream->result.readFailed || stream->result.writeFailed))
            return stream.get();
    return nullptr;
}

// The whole table's rows read so far, as one stream would show them.
void ParallelCopy::showProgress()
{
    long long read = 0;
    for (const auto& stream : streams_)
        read += stream->observer.rowsRead;
    if (read == shownRows_)
        return;
    shownRows_ = read;
    const int percent = rowCount_ > 0 ? static_cast<int>(std::min<long long>(100, read * 100 / rowCount_)) : 100;
    if (percent != shownPercent_)
        observer_.progress(shownPercent_ = percent);
    observer_.rowsDone(table_, read, rowCount_);
}

// Each stream stops at its next check; the statements in hand are cancelled
// so that none holds the copy up.
void ParallelCopy::stopAll()
{
    if (stopping_)
        return;
    stopping_ = true;
    for (auto& stream : streams_)
        stream->observer.stop = true;
    canceller_.cancelRunning();
}

CopyResult ParallelCopy::combine()
{
    CopyResult total;
    for (const auto& stream : streams_) {
        const CopyResult& part = stream->result;
        total.read += part.read;
        total.copied += part.copied;
        total.refused += part.refused;
        addCounts(total.datesStoredAsNull, part.datesStoredAsNull);
        addCounts(total.valuesChangedByCodePage, part.valuesChangedByCodePage);
    }
    if (!failed_ && !cancelled_)
        failed_ = firstFailed();  // the last stream to end may have failed after the watch
    if (failed_) {
        total.readFailed = failed_->result.readFailed;
        total.writeFailed = failed_->result.writeFailed;
        // Whether the run's own connections are gone is asked of them: a
        // stream's lost connection ends this table, not the run.
        total.connectionLost = false;
    } else if (cancelled_) {
        total.cancelled = true;
    }
    return total;
}

// As one stream reports: the first row refused, the failure that ended the
// copy (not a stream stopped for it), and how many more rows were refused.
void ParallelCopy::forwardReports(const CopyResult& total)
{
    std::optional<StreamObserver::Report> firstRefused, failure;
    for (size_t i = 0; i < streams_.size(); ++i) {
        Stream& stream = *streams_[i];
        std::vector<StreamObserver::Report> reports = stream.observer.takeReports();
        const bool streamFailed = stream.result.readFailed || stream.result.writeFailed;
        if (streamFailed && !reports.empty()) {
            if (&stream == failed_) {
                failure = reports.back();
                failure->description = "Stream " + std::to_string(i + 1) + " of " + std::to_string(streams_.size())
                    + ": " + failure->description;
            }
            reports.pop_back();
        }
        for (const auto& report : reports)
            if (!firstRefused || report.sequence < firstRefused->sequence)
                firstRefused = report;
    }
    if (firstRefused)
        observer_.report(table_, firstRefused->step, firstRefused->description, firstRefused->sql);
    if (failure && !total.cancelled)
        observer_.report(table_, failure->step, failure->description, failure->sql);
    if (total.refused > 1)
        observer_.rowsRefused(table_, total.refused - 1);
}
