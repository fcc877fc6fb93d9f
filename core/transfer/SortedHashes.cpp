#include "SortedHashes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr size_t kRunBufferHashes = 8192;  // 128 KB read at a time from each run

std::runtime_error fileError(const char* what)
{
    return std::runtime_error(std::string("the comparison could not ") + what
                              + " its temporary file: " + std::strerror(errno));
}

}  // namespace

struct SortedHashes::Run {
    std::FILE* file = nullptr;
    std::vector<RowHashes> buffer;
    size_t at = 0;

    ~Run()
    {
        if (file)
            std::fclose(file);
    }
    const RowHashes& head() const { return buffer[at]; }
};

SortedHashes::SortedHashes(size_t inMemory) : inMemory_(std::max<size_t>(inMemory, 1)) { }

SortedHashes::~SortedHashes() = default;

void SortedHashes::add(const RowHashes& hashes)
{
    if (buffer_.size() == inMemory_)
        writeRun();
    buffer_.push_back(hashes);
}

void SortedHashes::writeRun()
{
    std::sort(buffer_.begin(), buffer_.end());
    auto run = std::make_unique<Run>();
    run->file = std::tmpfile();  // gone with its last handle, whatever ends the program
    if (!run->file)
        throw fileError("create");
    if (std::fwrite(buffer_.data(), sizeof(RowHashes), buffer_.size(), run->file) != buffer_.size()
        || std::fflush(run->file) != 0)
        throw fileError("write");
    runs_.push_back(std::move(run));
    buffer_.clear();
}

void SortedHashes::finish()
{
    finished_ = true;
    if (runs_.empty()) {  // all in memory: no file
        std::sort(buffer_.begin(), buffer_.end());
        return;
    }
    if (!buffer_.empty())
        writeRun();
    buffer_ = {};
    for (const auto& run : runs_) {
        std::rewind(run->file);
        if (refill(*run))
            heap_.push_back(run.get());
    }
    const auto later = [](const Run* a, const Run* b) { return b->head() < a->head(); };
    std::make_heap(heap_.begin(), heap_.end(), later);
}

bool SortedHashes::refill(Run& run)
{
    run.buffer.resize(kRunBufferHashes);
    const size_t read = std::fread(run.buffer.data(), sizeof(RowHashes), kRunBufferHashes, run.file);
    if (read == 0 && std::ferror(run.file))
        throw fileError("read");
    run.buffer.resize(read);
    run.at = 0;
    return read > 0;
}

bool SortedHashes::next(RowHashes& out)
{
    if (!finished_)
        finish();
    if (runs_.empty()) {
        if (bufferAt_ == buffer_.size())
            return false;
        out = buffer_[bufferAt_++];
        return true;
    }
    if (heap_.empty())
        return false;
    const auto later = [](const Run* a, const Run* b) { return b->head() < a->head(); };
    std::pop_heap(heap_.begin(), heap_.end(), later);
    Run* run = heap_.back();
    out = run->head();
    if (++run->at < run->buffer.size() || refill(*run))
        std::push_heap(heap_.begin(), heap_.end(), later);
    else
        heap_.pop_back();
    return true;
}
