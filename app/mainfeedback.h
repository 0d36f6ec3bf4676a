#pragma once
// The main window's feedback channels in one object: the status bar, the progress log, the
// busy state with the automatic-check timer, and the notification icon with the new-mail
// sound. It is what the mail pipelines report to (TTransferFeedback) while the main window
// runs them; the window draws its parts when told that one changed. Tips go to the platform,
// which keeps one at a time for the whole program.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "app/autochecktimer.h"
#include "app/busystate.h"
#include "app/progresslog.h"
#include "app/statusbar.h"
#include "app/trayicon.h"
#include "transfer/transferfeedback.h"

namespace kivo {

class Platform;
struct TSettings;

// What the screen shows of the feedback. The main window's view implements it, so the
// pipelines' texts reach the same status panels, progress bar and log window as the
// window's own.
class TMainStateView {
  public:
    virtual ~TMainStateView() = default;
    // Panel 0 the current activity, 2 the message count, 3 transfer details.
    virtual void SetStatusText(int /*panel*/, std::string_view /*text*/) {}
    // 0..100, or -1 to reset and hide the progress bar.
    virtual void SetProgress(int /*percent*/) {}
    virtual void ShowProgressText(bool /*shown*/) {}
    // An entry of the progress log (levels as ErrorLevel); never an empty one.
    virtual void ErrorLevel(int /*level*/, std::string_view /*text*/) {}
    // The busy state's controls or the icon's animation changed.
    virtual void ControlsChanged() {}
    virtual void TrayIconChanged() {}
};

// The main window's own parts the pipelines reach: the In index window, dial-up and
// reopening a mailbox. Each may stay empty.
struct TMainFeedbackHooks {
    std::function<TFrmIndex*()> InIndexWindow;
    std::function<bool()> MainShowsIn;
    std::function<void()> ScrollMainList;
    std::function<void()> DialUp;
    std::function<void()> HangUp;
    std::function<void(const std::filesystem::path&)> ReopenMailbox;
};

class TMainFeedback : public TTransferFeedback {
  public:
    // Borrows the platform, the view and the window's settings, which must outlive it.
    TMainFeedback(Platform& platform, TMainStateView& view, const TSettings& settings,
                  TAutoCheckTimer::Clock steadyClock = std::chrono::steady_clock::now,
                  TProgressLog::Clock dateClock = DateTime::Now);

    TStatusBar Status;
    TProgressLog Log;
    TAutoCheckTimer Timer;
    TBusyState Busy{Timer};
    TTrayIconState Tray;
    TMainFeedbackHooks Hooks;

    // [Mail] "AutoCheck" and "AutoCheckTime" as the settings now hold them.
    void ApplyTimerSettings();
    // The window's event loop asks this; true when a mail check should start now. Changed
    // timer settings (start-up, the options window) take effect here, counting from now.
    bool AutoCheckDue();
    // Stop, "Go &offline / Cancel" and the progress menu's "&Cancel".
    bool CancelTransfer() { return Busy.Cancel(); }
    // A message was shown: the new-mail animation has done its job.
    void MessageShown();

    void StatusText(int panel, std::string_view text) override;
    void ErrorLevel(int level, std::string_view text) override;
    int LastLevel() const override { return Log.LastLevel(); }
    void SetLastLevel(int level) override { Log.SetLastLevel(level); }
    void Progress(int percent) override;
    void ShowProgressText(bool shown) override;
    void ShowTip(std::string_view text) override;
    bool AskPassword(std::string_view caption, std::string_view prompt,
                     std::string& password) override;
    void SetBusy(bool busy) override;
    void RouteCancel(std::function<void()> cancel) override;
    void StartCheckAnimation() override;
    void CheckEnded(bool newMail, bool playSound) override;
    TFrmIndex* InIndexWindow() override;
    bool MainShowsIn() override;
    void ScrollMainList() override;
    void DialUp() override;
    void HangUp() override;
    void ReopenMailbox(const std::filesystem::path& mbx) override;

  private:
    Platform& platform_;
    TMainStateView& view_;
    const TSettings& settings_;
    bool appliedAutoCheck_ = false;
    int appliedMinutes_ = 0;
};

}  // namespace kivo
