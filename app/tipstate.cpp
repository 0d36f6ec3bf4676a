#include "app/tipstate.h"

#include <utility>

namespace kivo {

TTipState::TTipState(Clock clock) : clock_(std::move(clock)) {}

const TShownTip& TTipState::Show(std::string_view text, int x, int y, int textWidth,
                                 int textHeight) {
    tip_ = TShownTip{++lastId_, std::string(text), TipWindowRect(x, y, textWidth, textHeight),
                     clock_() + std::chrono::milliseconds(kMainWindowTipMs)};
    return *tip_;
}

const TShownTip* TTipState::Current() {
    if (tip_ && clock_() >= tip_->HideAt) tip_.reset();
    return tip_ ? &*tip_ : nullptr;
}

}  // namespace kivo
