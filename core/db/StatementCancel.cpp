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

std::unordered_map<const void*, std::pair<StatementCanceller*, std::function<void()>>>& stops()
{
    static std::unordered_map<const void*, std::pair<StatementCanceller*, std::function<void()>>> entries;
    return entries;
}

}  // namespace

StatementCanceller::~StatementCanceller()
{
    const std::lock_guard lock(registryLock());
    std::erase_if(registry(), [this](const auto& entry) { return entry.second == this; });
    std::erase_if(stops(), [this](const auto& entry) { return entry.second.first == this; });
}

void StatementCanceller::cancelRunning()
{
    const std::lock_guard lock(registryLock());
    if (cancelled_.exchange(true))
        return;
    for (const auto& [statement, canceller] : registry())
        if (canceller == this)
            SQLCancel(statement);
    for (const auto& [owner, stop] : stops())
        if (stop.first == this)
            stop.second();
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

void StatementCanceller::trackStop(StatementCanceller* canceller, const void* owner, std::function<void()> stop)
{
    if (!canceller)
        return;
    const std::lock_guard lock(registryLock());
    stops()[owner] = {canceller, std::move(stop)};
}

void StatementCanceller::forgetStop(const void* owner) noexcept
{
    const std::lock_guard lock(registryLock());
    stops().erase(owner);
}

StatementCancelScope::StatementCancelScope(StatementCanceller& canceller) : previous_(currentCanceller)
{
    currentCanceller = &canceller;
}

StatementCancelScope::~StatementCancelScope() { currentCanceller = previous_; }
