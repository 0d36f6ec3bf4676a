#pragma once
// The two mail pipelines as the main window runs them: the check button (and the automatic
// check), the send-queued button, each reporting to the main window's feedback channels so
// the status bar, progress log, busy state and notification icon follow the run. The event
// pump keeps the window painting and the Stop button working while a run waits on the
// network.

#include "app/programfolder.h"
#include "script/interpreter.h"
#include "script/scripthost.h"
#include "transfer/transferfeedback.h"

namespace kivo {

class Platform;
class TFrmMain;

// The script engine's folders and files in the program folder.
TScriptPaths ScriptPathsOf(const ProgramFolder& folder);

// A script host that writes the runs' log lines into a feedback's progress log and sends a
// script's messages at once.
class TLogScriptHost : public TScriptHost {
  public:
    TLogScriptHost(TTransferFeedback& feedback, Platform& platform,
                   std::filesystem::path accountsFile)
        : feedback_(feedback), platform_(platform), accountsFile_(std::move(accountsFile)) {}
    void Log(int level, std::string_view text) override { feedback_.ErrorLevel(level, text); }
    // Sends in a connection of its own, with the log-in of the run's current account.
    bool SendMessage(TmsMessage& message, std::string_view server,
                     std::string_view account) override;

  protected:
    TTransferFeedback& feedback_;

  private:
    Platform& platform_;
    std::filesystem::path accountsFile_;
};

class TWindowMailRuns {
  public:
    // Borrows the main window and the platform.
    TWindowMailRuns(TFrmMain& main, Platform& platform);

    // "Check for &new mail": one run over the accounts marked for checking, then the send
    // queue when [Mail] "SendOnCheck" is set. Returns the number of messages stored.
    int CheckMail();
    // "Send &queued messages". Returns the number of messages sent.
    int SendQueued(bool startedByCheck = false);
    bool Running() const { return running_ > 0; }

  private:
    TFrmMain& main_;
    Platform& platform_;
    int running_ = 0;
};

}  // namespace kivo
