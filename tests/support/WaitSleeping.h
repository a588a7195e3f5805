#pragma once
// Waiting for a condition that another thread or process makes true, without running an event loop:
// the condition is looked at every 2 ms until it holds or the time is up.

#include <chrono>
#include <thread>

namespace kelvane::test {

// The condition's last value.
template <typename Condition> bool WaitSleeping(Condition condition, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace kelvane::test
