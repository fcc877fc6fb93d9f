#include "StopSignals.h"

#include <csignal>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t firstSignal = 0;
struct sigaction previousInt, previousTerm;

void onStopSignal(int signal)
{
    if (firstSignal != 0) {
        static const char message[] = "\ntablehop-cli: stopped at once; a later send drops the staging table\n";
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        _exit(128 + signal);
    }
    firstSignal = signal;
}

}  // namespace

StopSignals::StopSignals()
{
    firstSignal = 0;
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a driver's socket read must not fail for the signal.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

int StopSignals::received() { return firstSignal; }
