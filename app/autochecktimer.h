#pragma once
// The automatic-check timer: when [Mail] "AutoCheck" is on it comes due every "AutoCheckTime"
// minutes, and the window starts a mail check each time it does. Mail checks, send runs,
// script runs and Find suspend it; suspensions nest and are counted, so the timer runs again
// only when the last of them has ended, however their ends interleave. There are no threads:
// the window asks Due() from its event loop, and the clock can be replaced for tests.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace kivo {

class TAutoCheckTimer {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    explicit TAutoCheckTimer(Clock clock = std::chrono::steady_clock::now);

    // From the settings: whether automatic checking is on and its interval (AutoCheckTime ×
    // 60000). A zero or negative interval never comes due. A running timer counts its
    // interval afresh from now.
    void Configure(bool autoCheck, std::int64_t intervalMs);
    bool AutoCheck() const { return autoCheck_; }
    std::int64_t IntervalMs() const { return intervalMs_; }

    // On, with an interval that can come due, and not suspended.
    bool Running() const;

    void Suspend();
    // Ends one suspension; when it was the last, the interval counts afresh from now. More
    // resumes than suspensions are ignored.
    void Resume();
    int Suspensions() const { return suspensions_; }

    // True once each time an interval has passed while running; the next interval counts
    // from now, so a wake after a long sleep fires once, not once per missed interval.
    bool Due();
    // When it will next come due, or nothing when it is not running.
    std::optional<TimePoint> NextDue() const;

  private:
    void Restart();

    Clock clock_;
    bool autoCheck_ = false;
    std::int64_t intervalMs_ = 0;
    int suspensions_ = 0;
    TimePoint next_{};
};

// Holds the timer suspended for a scope (a script run, Find), also when it ends by an
// exception.
class TAutoCheckSuspension {
  public:
    explicit TAutoCheckSuspension(TAutoCheckTimer& timer) : timer_(timer) { timer_.Suspend(); }
    ~TAutoCheckSuspension() { timer_.Resume(); }
    TAutoCheckSuspension(const TAutoCheckSuspension&) = delete;
    TAutoCheckSuspension& operator=(const TAutoCheckSuspension&) = delete;

  private:
    TAutoCheckTimer& timer_;
};

}  // namespace kivo
