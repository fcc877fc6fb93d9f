#include "StatementCancel.h"

#include <sqlext.h>

#include <mutex>
#include <unordered_map>

namespace {

thread_local StatementCanceller* currentCanceller = nullptr;

// One lock for every tracked statement: a statement is never freed while
// another thread cancels it.
std::mutex& registryLock()
{
    static std::mutex lock;
    return lock;
}

std::unordered_map<SQLHSTMT, StatementCanceller*>& registry()
{
    static std::unordered_map<SQLHSTMT, StatementCanceller*> statements;
    return statements;
}

}  // namespace

StatementCanceller::~StatementCanceller()
{
    const std::lock_guard lock(registryLock());
    std::erase_if(registry(), [this](const auto& entry) { return entry.second == this; });
}

void StatementCanceller::cancelRunning()
{
    cancelled_ = true;
    const std::lock_guard lock(registryLock());
    for (const auto& [statement, canceller] : registry())
        if (canceller == this)
            SQLCancel(statement);
}

StatementCanceller* StatementCanceller::current() { return currentCanceller; }

void StatementCanceller::track(StatementCanceller* canceller, SQLHSTMT statement)
{
    if (!canceller)
        return;
    const std::lock_guard lock(registryLock());
    registry()[statement] = canceller;
}

void StatementCanceller::forget(SQLHSTMT statement) noexcept
{
    const std::lock_guard lock(registryLock());
    registry().erase(statement);
}

StatementCancelScope::StatementCancelScope(StatementCanceller& canceller) : previous_(currentCanceller)
{
    currentCanceller = &canceller;
}

StatementCancelScope::~StatementCancelScope() { currentCanceller = previous_; }
