#pragma once

#include <sql.h>

#include <atomic>
#include <functional>

// Lets one thread stop the statements another thread runs: a connection made
// on a thread while a StatementCancelScope is active there joins the scope's
// canceller, and cancelRunning() stops what those connections run at that
// moment, each as its dialect set up: SQLCancel on every statement where the
// driver allows it from another thread (a statement that is not running just
// closes its cursor), else a stop of the connection's own (a KILL QUERY).
class StatementCanceller {
public:
    StatementCanceller() = default;
    ~StatementCanceller();
    StatementCanceller(const StatementCanceller&) = delete;
    StatementCanceller& operator=(const StatementCanceller&) = delete;

    // From any thread. Only the first call stops anything; a later one
    // returns once that is done, so its caller may then use the connections
    // again (to clean up) without a stop still on its way to them.
    void cancelRunning();
    // Whether cancelRunning() was called: a statement failing afterwards was stopped on purpose.
    bool cancelled() const { return cancelled_; }

    // The canceller connections made on this thread join; null outside a scope.
    static StatementCanceller* current();

    // Kept by DataConnection for the statements it hands out, where its
    // driver may cancel them from another thread.
    static void track(StatementCanceller* canceller, SQLHSTMT statement);
    static void forget(SQLHSTMT statement) noexcept;
    // A connection's own stop, or work that is no ODBC statement (a client
    // library's stream): `stop` is called from the cancelling thread, and
    // must be safe there.
    static void trackStop(StatementCanceller* canceller, const void* owner, std::function<void()> stop);
    static void forgetStop(const void* owner) noexcept;

private:
    std::atomic<bool> cancelled_ = false;
};

class StatementCancelScope {
public:
    explicit StatementCancelScope(StatementCanceller& canceller);
    ~StatementCancelScope();
    StatementCancelScope(const StatementCancelScope&) = delete;
    StatementCancelScope& operator=(const StatementCancelScope&) = delete;

private:
    StatementCanceller* previous_;
};
