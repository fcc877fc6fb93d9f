#pragma once

#include <sql.h>

#include <atomic>
#include <functional>

// Lets one thread stop the statements another thread runs: a connection made
// on a thread while a StatementCancelScope is active there joins the scope's
// canceller, and cancelRunning() calls SQLCancel on every statement those
// connections hold at that moment (a statement that is not running just
// closes its cursor).
class StatementCanceller {
public:
    StatementCanceller() = default;
    ~StatementCanceller();
    StatementCanceller(const StatementCanceller&) = delete;
    StatementCanceller& operator=(const StatementCanceller&) = delete;

    // From any thread.
    void cancelRunning();
    // Whether cancelRunning() was called: a statement failing afterwards was stopped on purpose.
    bool cancelled() const { return cancelled_; }

    // The canceller connections made on this thread join; null outside a scope.
    static StatementCanceller* current();

    // Kept by DataConnection for the statements it hands out.
    static void track(StatementCanceller* canceller, SQLHSTMT statement);
    static void forget(SQLHSTMT statement) noexcept;
    // Work that is no ODBC statement (a client library's stream): `stop` is
    // called from the cancelling thread, and must be safe there.
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
