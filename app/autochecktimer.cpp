#include "app/autochecktimer.h"

#include <algorithm>
#include <utility>

namespace kivo {

namespace {
// Longer intervals would overflow the clock's arithmetic; a year is "never" for a mail check.
constexpr std::int64_t kLongestIntervalMs = std::int64_t{365} * 24 * 60 * 60 * 1000;
}  // namespace

TAutoCheckTimer::TAutoCheckTimer(Clock clock) : clock_(std::move(clock)) {}

void TAutoCheckTimer::Configure(bool autoCheck, std::int64_t intervalMs) {
    autoCheck_ = autoCheck;
    intervalMs_ = std::min(intervalMs, kLongestIntervalMs);
    Restart();
}

bool TAutoCheckTimer::Running() const {
    return autoCheck_ && intervalMs_ > 0 && suspensions_ == 0;
}

void TAutoCheckTimer::Suspend() {
    ++suspensions_;
}

void TAutoCheckTimer::Resume() {
    if (suspensions_ == 0) return;
    if (--suspensions_ == 0) Restart();
}

bool TAutoCheckTimer::Due() {
    if (!Running()) return false;
    const TimePoint now = clock_();
    if (now < next_) return false;
    next_ = now + std::chrono::milliseconds(intervalMs_);
    return true;
}

std::optional<TAutoCheckTimer::TimePoint> TAutoCheckTimer::NextDue() const {
    if (!Running()) return std::nullopt;
    return next_;
}

void TAutoCheckTimer::Restart() {
    if (Running()) next_ = clock_() + std::chrono::milliseconds(intervalMs_);
}

}  // namespace kivo
