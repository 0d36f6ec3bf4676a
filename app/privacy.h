#pragma once
// The privacy sheet that covers the main window: first a countdown from 2 to 0 during which
// any key or click lets the user out, then a lock that only the exact privacy password
// ([Mail] "PrivacyPass") opens; with no password set, "&Unlock" with an empty field opens it.
// The clock can be replaced for tests.

#include <chrono>
#include <functional>
#include <string_view>

#include "base/datetime.h"

namespace kivo {

// The hands of the sheet's analogue clock, in degrees clockwise from twelve o'clock; the hour
// and minute hands move on with the minutes and seconds.
struct TClockHands {
    double Hour = 0;
    double Minute = 0;
    double Second = 0;
};
TClockHands ClockHands(const DateTime& time);

class TPrivacySheet {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;
    enum Phase { ppClosed, ppCountdown, ppLocked };

    static constexpr std::string_view kLockedText = "LOCKED IN";
    static constexpr std::string_view kEscapeText = "Any key or click escapes";
    static constexpr int kCountdownFrom = 2;

    explicit TPrivacySheet(Clock clock = std::chrono::steady_clock::now);

    // "Activate &Privacy Sheet" (Shift+F12) or a click on the privacy panel.
    void Activate();
    // The countdown ends one second after it shows 0.
    Phase CurrentPhase() const;
    bool Shown() const { return CurrentPhase() != ppClosed; }
    // 2, 1, 0 while counting down.
    int Countdown() const;

    // A key or a click on the sheet: closes it during the countdown, not afterwards.
    void KeyOrClick();
    // "&Unlock": true (and the sheet closes) when the typed text is the password exactly.
    bool Unlock(std::string_view typed, std::string_view privacyPass);

  private:
    Clock clock_;
    bool shown_ = false;
    TimePoint since_{};
};

}  // namespace kivo
