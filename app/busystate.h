#pragma once
// The main window's busy state while mail is checked or the send queue runs: the check button
// is hidden and disabled, the Stop button shows, "Check for &new mail" and the send-queued
// button are disabled, the automatic-check timer is suspended and the cancel commands reach
// the running transfer. Runs may nest (a send run started at a check's end); the window
// returns to exactly the controls it had before the outermost run only when the last run
// ends.

#include <functional>
#include <utility>

#include "app/autochecktimer.h"

namespace kivo {

// The controls the busy state changes, as the window shows them.
struct TTransferControls {
    bool CheckButtonVisible = true;
    bool CheckButtonEnabled = true;
    bool StopButtonVisible = false;
    bool CheckCommandEnabled = true;  // "Check for &new mail"
    bool SendButtonEnabled = true;    // the send-queued button and "Send &queued messages"

    friend bool operator==(const TTransferControls&, const TTransferControls&) = default;
};

class TBusyState {
  public:
    // Borrows the window's timer, which must outlive it.
    explicit TBusyState(TAutoCheckTimer& timer) : timer_(timer) {}

    void Enter();
    // More leaves than enters are ignored.
    void Leave();
    bool Busy() const { return depth_ > 0; }

    const TTransferControls& Controls() const { return shown_; }
    // Changes the controls of the idle window; while busy they take effect when the last run
    // ends.
    void SetIdleControls(const TTransferControls& controls);

    // Where the Stop button, "Go &offline / Cancel" and the progress menu's "&Cancel" go; an
    // empty function makes them do nothing. Leaving the busy state clears it.
    void RouteCancel(std::function<void()> cancel) { cancel_ = std::move(cancel); }
    // False when nothing is routed (the window then only lets pending events run).
    bool Cancel();

  private:
    TAutoCheckTimer& timer_;
    int depth_ = 0;
    TTransferControls shown_;
    TTransferControls idle_;
    std::function<void()> cancel_;
};

}  // namespace kivo
