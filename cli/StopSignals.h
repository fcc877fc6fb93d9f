#pragma once

#include <functional>
#include <thread>

// While a send runs, the first SIGINT or SIGTERM asks it to stop as Cancel
// does (dropping its staging table, with a summary): onFirstSignal runs on a
// thread of its own, as a signal handler may not stop a statement; a second
// one ends the program at once with 128 + the signal's number.
// Outside that span the signals keep their default effect.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> onFirstSignal = {});
    ~StopSignals();  // puts the previous handlers back
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received, 0 while none came.
    static int received();

private:
    std::function<void()> onFirstSignal_;
    std::thread watcher_;
};
