#include "app/busystate.h"

namespace kivo {

void TBusyState::Enter() {
    if (depth_++ == 0) {
        idle_ = shown_;
        shown_.CheckButtonVisible = false;
        shown_.CheckButtonEnabled = false;
        shown_.StopButtonVisible = true;
        shown_.CheckCommandEnabled = false;
        shown_.SendButtonEnabled = false;
    }
    timer_.Suspend();
}

void TBusyState::Leave() {
    if (depth_ == 0) return;
    timer_.Resume();
    if (--depth_ == 0) {
        shown_ = idle_;
        cancel_ = nullptr;
    }
}

void TBusyState::SetIdleControls(const TTransferControls& controls) {
    if (Busy()) {
        idle_ = controls;
    } else {
        shown_ = controls;
    }
}

bool TBusyState::Cancel() {
    if (!cancel_) return false;
    // A copy: the cancel may re-route or clear the commands while it runs.
    const std::function<void()> cancel = cancel_;
    cancel();
    return true;
}

}  // namespace kivo
