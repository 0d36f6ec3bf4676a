#pragma once
// What a script run shows and asks outside the interpreter: the progress panel, the hint
// panel, the mailbox tree, the composer, the progress log and sending through SMTP. The
// windows implement it; headless commands and tests use the silent default or a recording
// fake. Dialogs, sounds and starting programs go through the Platform instead.

#include <string_view>

namespace kivo {

class TmsMessage;

class TScriptHost {
  public:
    virtual ~TScriptHost() = default;
    // The progress panel: shown at the start of a run, moved every ten lines, hidden at
    // the end (also after an error).
    virtual void RunShown(std::string_view /*scriptName*/, int /*lineCount*/) {}
    virtual void RunProgress(int /*line*/, int /*lineCount*/) {}
    virtual void RunHidden() {}
    // The main window's hint panel; empty text clears it.
    virtual void Hint(std::string_view /*text*/) {}
    // "Beep" and the beep before "MessageBox".
    virtual void Beep() {}
    // "RefreshMailboxes": the mailbox tree is read from the mail folder again.
    virtual void RefreshMailboxes() {}
    // "EditMessage": a composer opens on the message; the run does not wait for it.
    virtual void EditMessage(const TmsMessage& /*message*/) {}
    // A progress-log entry (level 1 progress, 2 error).
    virtual void Log(int /*level*/, std::string_view /*text*/) {}
    // "SendMessage": sends the message through the server, logging in as the run's current
    // account asks; false when that failed.
    virtual bool SendMessage(TmsMessage& /*message*/, std::string_view /*server*/,
                             std::string_view /*account*/) {
        return false;
    }
};

}  // namespace kivo
