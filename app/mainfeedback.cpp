#include "app/mainfeedback.h"

#include "app/settings.h"
#include "base/platform.h"

namespace kivo {

TMainFeedback::TMainFeedback(Platform& platform, TMainStateView& view, const TSettings& settings,
                             TAutoCheckTimer::Clock steadyClock, TProgressLog::Clock dateClock)
    : Log(std::move(dateClock)),
      Timer(std::move(steadyClock)),
      platform_(platform),
      view_(view),
      settings_(settings) {
    ApplyTimerSettings();
}

void TMainFeedback::ApplyTimerSettings() {
    appliedAutoCheck_ = settings_.Mail.AutoCheck;
    appliedMinutes_ = settings_.Mail.AutoCheckTime;
    Timer.Configure(appliedAutoCheck_, settings_.Mail.AutoCheckIntervalMs());
}

bool TMainFeedback::AutoCheckDue() {
    if (settings_.Mail.AutoCheck != appliedAutoCheck_ ||
        settings_.Mail.AutoCheckTime != appliedMinutes_) {
        ApplyTimerSettings();
    }
    return !Busy.Busy() && Timer.Due();
}

void TMainFeedback::StatusText(int panel, std::string_view text) {
    Status.SetText(panel, text);
    view_.SetStatusText(panel, text);
}

void TMainFeedback::ErrorLevel(int level, std::string_view text) {
    Log.ErrorLevel(level, text);
    if (!text.empty()) view_.ErrorLevel(level, text);
}

void TMainFeedback::Progress(int percent) {
    if (percent < 0) {
        Status.ResetProgress();
        Status.ShowProgressText(false);
    } else {
        Status.SetProgress(percent);
    }
    view_.SetProgress(percent);
}

void TMainFeedback::ShowProgressText(bool shown) {
    Status.ShowProgressText(shown);
    view_.ShowProgressText(shown);
}

void TMainFeedback::ShowTip(std::string_view text) {
    platform_.ShowTip(text);
}

bool TMainFeedback::AskPassword(std::string_view caption, std::string_view prompt,
                                std::string& password) {
    return platform_.InputPassword(caption, prompt, password);
}

void TMainFeedback::SetBusy(bool busy) {
    if (busy) {
        Busy.Enter();
    } else {
        Busy.Leave();
        // A run that failed before its end leaves no check animation behind.
        if (!Busy.Busy() && Tray.Current() == TTrayIconState::taChecking) {
            Tray.StopCheck();
            view_.TrayIconChanged();
        }
    }
    view_.ControlsChanged();
}

void TMainFeedback::RouteCancel(std::function<void()> cancel) {
    Busy.RouteCancel(std::move(cancel));
}

void TMainFeedback::StartCheckAnimation() {
    Tray.StartCheck();
    view_.TrayIconChanged();
}

void TMainFeedback::MessageShown() {
    if (Tray.Current() != TTrayIconState::taNewMail) return;
    Tray.MessageShown();
    view_.TrayIconChanged();
}

void TMainFeedback::CheckEnded(bool newMail, bool playSound) {
    Tray.CheckEnded(newMail);
    view_.TrayIconChanged();
    if (!newMail || !playSound) return;
    if (const auto sound = NewMailSound(settings_.Program)) platform_.PlaySound(*sound);
}

TFrmIndex* TMainFeedback::InIndexWindow() {
    return Hooks.InIndexWindow ? Hooks.InIndexWindow() : nullptr;
}

bool TMainFeedback::MainShowsIn() {
    return Hooks.MainShowsIn && Hooks.MainShowsIn();
}

void TMainFeedback::ScrollMainList() {
    if (Hooks.ScrollMainList) Hooks.ScrollMainList();
}

void TMainFeedback::DialUp() {
    if (Hooks.DialUp) Hooks.DialUp();
}

void TMainFeedback::HangUp() {
    if (Hooks.HangUp) Hooks.HangUp();
}

void TMainFeedback::ReopenMailbox(const std::filesystem::path& mbx) {
    if (Hooks.ReopenMailbox) Hooks.ReopenMailbox(mbx);
}

}  // namespace kivo
