#pragma once

// While a send runs, the first SIGINT or SIGTERM asks it to stop as Cancel
// does (after the current batch, dropping its staging table, with a summary);
// a second one ends the program at once with 128 + the signal's number.
// Outside that span the signals keep their default effect.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();  // puts the previous handlers back
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received, 0 while none came.
    static int received();
};
