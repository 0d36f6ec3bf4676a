#pragma once
// A steady clock for the main window's state tests that moves only when told.

#include <chrono>
#include <functional>

namespace kivo::test {

struct FakeSteadyClock {
    std::chrono::steady_clock::time_point now{};
    std::function<std::chrono::steady_clock::time_point()> Now() {
        return [this] { return now; };
    }
    void AdvanceMs(long long ms) { now += std::chrono::milliseconds(ms); }
};

}  // namespace kivo::test
