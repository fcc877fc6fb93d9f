#pragma once

#include "SourceReader.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

// Reads the next block on a worker thread while the caller sends the current
// one, so the source and the target server work at the same time. The source
// connection belongs to the worker until the reader is gone.
class PrefetchingReader : public SourceReader {
public:
    explicit PrefetchingReader(std::unique_ptr<SourceReader> inner);
    ~PrefetchingReader() override;

    RowBlock* next() override;

private:
    void run();

    std::unique_ptr<SourceReader> inner_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<RowBlock> ready_, spare_;
    RowBlock current_;
    bool holding_ = false, done_ = false, stop_ = false;
    std::exception_ptr failure_;
};
