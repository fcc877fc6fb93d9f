#include "PrefetchingReader.h"

#include <utility>

PrefetchingReader::PrefetchingReader(std::unique_ptr<SourceReader> inner) : inner_(std::move(inner))
{
    plans_ = inner_->plans();
    selectSql_ = inner_->selectSql();
    note_ = inner_->readingNote();
    worker_ = std::thread([this] { run(); });
}

PrefetchingReader::~PrefetchingReader()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

RowBlock* PrefetchingReader::next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (holding_) {
        // A block that held a huge value is let go rather than kept for reuse.
        if (current_.boundToStatement)
            spare_.push_back(std::move(current_));
        current_ = RowBlock();
        holding_ = false;
    }
    changed_.wait(lock, [this] { return !ready_.empty() || done_; });
    if (!ready_.empty()) {
        current_ = std::move(ready_.front());
        ready_.pop_front();
        holding_ = true;
        changed_.notify_all();
        return &current_;
    }
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
    return nullptr;
}

void PrefetchingReader::run()
{
    for (;;) {
        RowBlock taken;
        bool end = false;
        try {
            RowBlock* block = inner_->next();
            end = block == nullptr;
            std::unique_lock<std::mutex> lock(mutex_);
            if (block && block->boundToStatement && !spare_.empty()) {
                taken = std::move(spare_.front());
                spare_.pop_front();
            }
            lock.unlock();
            // The block is taken over, not copied; the reader fetches the next
            // rows into the spare block (or a new one).
            if (block)
                std::swap(taken, *block);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            end = true;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (end) {
            done_ = true;
            changed_.notify_all();
            return;
        }
        changed_.wait(lock, [this] { return ready_.empty() || stop_; });
        if (stop_)
            return;
        ready_.push_back(std::move(taken));
        changed_.notify_all();
    }
}

std::unique_ptr<SourceReader> ReadAhead(std::unique_ptr<SourceReader> reader)
{
    return std::make_unique<PrefetchingReader>(std::move(reader));
}
