#include "StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

std::atomic<int> firstSignal = 0;
static_assert(std::atomic<int>::is_always_lock_free);  // safe to use in a handler
struct sigaction previousInt, previousTerm;
sigset_t previousMask;
// The handler wakes the watcher through this pipe: writing is all it may do.
int wakePipe[2] = {-1, -1};
constexpr char kSignalled = 's', kWatcherEnds = 'q';

void onStopSignal(int signal)
{
    int none = 0;
    if (!firstSignal.compare_exchange_strong(none, signal)) {
        static const char message[] = "\ntablehop-cli: stopped at once; a later send drops the staging table\n";
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        _exit(128 + signal);
    }
    [[maybe_unused]] const ssize_t woken = write(wakePipe[1], &kSignalled, 1);
}

sigset_t stopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onFirstSignal) : onFirstSignal_(std::move(onFirstSignal))
{
    firstSignal = 0;
    const sigset_t stopSet = stopSignalSet();
    if (pipe2(wakePipe, O_CLOEXEC) == 0) {
        // Only the watcher takes the signals, one after the other (threads
        // started from here on inherit the block): two arriving together are
        // handled in order, and no driver call is interrupted by one.
        pthread_sigmask(SIG_BLOCK, &stopSet, &previousMask);
        watcher_ = std::thread([this, stopSet] {
            pthread_sigmask(SIG_UNBLOCK, &stopSet, nullptr);
            char woken = 0;
            while (read(wakePipe[0], &woken, 1) == 1 || errno == EINTR) {
                if (woken == kWatcherEnds)
                    return;
                if (woken == kSignalled && onFirstSignal_)
                    onFirstSignal_();
                woken = 0;
            }
        });
    }
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    // Two signals taken together are handled in turn, not one inside the other.
    action.sa_mask = stopSet;
    // Restarted calls: a driver's socket read must not fail for the signal.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals()
{
    if (watcher_.joinable()) {
        [[maybe_unused]] const ssize_t written = write(wakePipe[1], &kWatcherEnds, 1);
        watcher_.join();
    }
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    if (wakePipe[0] >= 0)
        pthread_sigmask(SIG_SETMASK, &previousMask,
                        nullptr);  // a signal held meanwhile comes now, with its default effect
    for (int& end : wakePipe) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

int StopSignals::received() { return firstSignal; }
