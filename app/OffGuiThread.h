#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Runs work on a thread of its own while the calling thread goes on handling
// its events in a local loop, so a window stays painted and answers while a
// statement runs; returns when the work is done, with its result, or rethrows
// what it threw. Called off the application's main thread, it simply runs the
// work.
void RunOffGuiThread(const std::function<void()>& work);

template <class Work> auto OffGuiThread(Work&& work) -> std::invoke_result_t<Work&>
{
    using Result = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<Result>) {
        RunOffGuiThread(std::function<void()>([&] { work(); }));
    } else {
        std::optional<Result> result;
        RunOffGuiThread([&] { result.emplace(work()); });
        return std::move(*result);
    }
}

// Runs work on the application's main thread and waits for it, from any
// thread; what it throws is rethrown to the caller. On the main thread it
// simply runs the work.
void OnGuiThread(const std::function<void()>& work);
