#pragma once
// What the mail pipelines show while they run: the main window's status panels, progress
// log and progress bar, its busy state, the password prompt and the In index window. The
// main window implements it; the headless commands print to the terminal; tests record.
// Everything but the password prompt does nothing unless overridden.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kivo {

class TFrmIndex;

class TTransferFeedback {
  public:
    virtual ~TTransferFeedback() = default;

    // Status panel 0 (the first) to 3 (the fourth).
    virtual void StatusText(int /*panel*/, std::string_view /*text*/) {}
    // A progress log entry: 0 plain, 1 progress, 2 error, 3 detail; text is an HTML fragment.
    virtual void ErrorLevel(int /*level*/, std::string_view /*text*/) {}
    // The level of the last log entry, as the main window remembers it.
    virtual int LastLevel() const { return 0; }
    virtual void SetLastLevel(int /*level*/) {}

    virtual void Progress(int /*percent*/) {}
    virtual void ShowProgressText(bool /*shown*/) {}
    // A confirmation tip at the pointer by the check button.
    virtual void ShowTip(std::string_view /*text*/) {}
    // The password of an account that has none stored; false when the user cancelled.
    virtual bool AskPassword(std::string_view caption, std::string_view prompt,
                             std::string& password) = 0;

    // The busy state: on at the start of a run (check button hidden, Stop shown, automatic
    // check suspended), off at its end (everything as it was).
    virtual void SetBusy(bool /*busy*/) {}
    // Where the Stop and Cancel commands go; an empty function makes them do nothing.
    virtual void RouteCancel(std::function<void()> /*cancel*/) {}
    virtual void StartCheckAnimation() {}
    // The end of a check: the new-mail notice (and sound) or nothing new.
    virtual void CheckEnded(bool /*newMail*/, bool /*playSound*/) {}

    // The message index window showing the In mailbox, if any, and whether it is the main
    // one (only then do new messages get index entries).
    virtual TFrmIndex* InIndexWindow() { return nullptr; }
    virtual bool MainShowsIn() { return false; }
    virtual void ScrollMainList() {}

    // Dialling before a run goes online and hanging up at its end, as [Mail] "AutoDial" and
    // "AutoHangup" ask.
    virtual void DialUp() {}
    virtual void HangUp() {}
    // A run rewrote this mailbox file: the main window reopens the mailbox when it shows it,
    // so its index does not point into the old file.
    virtual void ReopenMailbox(const std::filesystem::path& /*mbx*/) {}
};

}  // namespace kivo
