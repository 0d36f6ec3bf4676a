#pragma once
// Dialling around the mail runs: before each account's turn and each send run the line named
// by [Mail] "RAS" (the first connection when empty) is brought up with [Mail] "DialUpPass",
// when [Mail] "AutoDial" is on and it is not up already; at the end of a run it is taken
// down when [Mail] "AutoHangup" is on. "&Disconnect Modem" is offered only while the program
// has dialled, and takes the line down. A line the program did not bring up is never taken
// down (TagRas knows which it dialled).

#include <functional>

namespace kivo {

class TagRas;
class TTransferFeedback;
struct TSettings;

class TDialUpControl {
  public:
    // Borrows the dial-up component, the settings and the feedback, which must outlive it.
    TDialUpControl(TagRas& ras, const TSettings& settings, TTransferFeedback& feedback);

    // Called when "&Disconnect Modem" comes or goes.
    std::function<void()> OnDisconnectVisibleChanged;

    // Before a run goes online. Throws what the dial throws (ERASError, ETimedOutError,
    // ECanceledError); the status panel is cleared either way.
    void DialUp();
    // At the end of a run.
    void HangUp();
    // "&Disconnect Modem".
    void DisconnectModem();
    bool DisconnectVisible() const { return disconnectVisible_; }

  private:
    void SetDisconnectVisible(bool visible);

    TagRas& ras_;
    const TSettings& settings_;
    TTransferFeedback& feedback_;
    bool disconnectVisible_ = false;
};

}  // namespace kivo
