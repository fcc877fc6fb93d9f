#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

// A row of a compared table as two hashes: of its key's values (of the whole
// row where the table has no key) and of all its values.
struct RowHashes {
    uint64_t key = 0, row = 0;
    auto operator<=>(const RowHashes&) const = default;
};

// Row hashes brought into order with bounded memory: up to `inMemory` are
// held at once; each full load is sorted and written to a temporary file (a
// run), and the runs are read back merged. Memory is inMemory hashes plus a
// small buffer per run, whatever the number of rows. Throws
// std::runtime_error when no temporary file can be written.
class SortedHashes {
public:
    explicit SortedHashes(size_t inMemory);
    ~SortedHashes();
    SortedHashes(const SortedHashes&) = delete;
    SortedHashes& operator=(const SortedHashes&) = delete;

    void add(const RowHashes& hashes);
    // Ends adding; the hashes are then read in order with next().
    void finish();
    bool next(RowHashes& out);
    size_t runs() const { return runs_.size(); }

private:
    struct Run;
    void writeRun();
    bool refill(Run& run);

    size_t inMemory_;
    std::vector<RowHashes> buffer_;
    size_t bufferAt_ = 0;
    std::vector<std::unique_ptr<Run>> runs_;
    std::vector<Run*> heap_;  // the runs not yet read to the end, smallest head first
    bool finished_ = false;
};
