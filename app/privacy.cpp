#include "app/privacy.h"

#include <utility>

namespace kivo {

TClockHands ClockHands(const DateTime& time) {
    const double seconds = time.second;
    const double minutes = time.minute + seconds / 60;
    return {(time.hour % 12 + minutes / 60) * 30, minutes * 6, seconds * 6};
}

TPrivacySheet::TPrivacySheet(Clock clock) : clock_(std::move(clock)) {}

void TPrivacySheet::Activate() {
    shown_ = true;
    since_ = clock_();
}

TPrivacySheet::Phase TPrivacySheet::CurrentPhase() const {
    if (!shown_) return ppClosed;
    const auto elapsed = clock_() - since_;
    return elapsed < std::chrono::seconds(kCountdownFrom + 1) ? ppCountdown : ppLocked;
}

int TPrivacySheet::Countdown() const {
    if (CurrentPhase() != ppCountdown) return 0;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(clock_() - since_);
    return kCountdownFrom - static_cast<int>(seconds.count());
}

void TPrivacySheet::KeyOrClick() {
    if (CurrentPhase() == ppCountdown) shown_ = false;
}

bool TPrivacySheet::Unlock(std::string_view typed, std::string_view privacyPass) {
    if (CurrentPhase() != ppLocked || typed != privacyPass) return false;
    shown_ = false;
    return true;
}

}  // namespace kivo
