#include "app/windowruns.h"

#include "app/KivoMain.h"
#include "base/platform.h"
#include "net/mssmtp.h"
#include "script/KivoParser.h"
#include "transfer/checkmail.h"
#include "transfer/pop3mailbox.h"
#include "transfer/sendqueue.h"
#include "transfer/smtpsender.h"
#include "transfer/transferlock.h"

namespace kivo {

TScriptPaths ScriptPathsOf(const ProgramFolder& folder) {
    return {folder.root,           folder.MailFolder(),
            folder.ScriptFolder(), folder.SignatureFolder(),
            folder.SettingsFile(), folder.AccountsFile()};
}

namespace {

// Counts the runs in progress, also when one ends by an exception.
class RunningMark {
  public:
    explicit RunningMark(int& count) : count_(count) { ++count_; }
    ~RunningMark() { --count_; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

  private:
    int& count_;
};

// The lock of a run of `kind`, or nothing when another process (a cron job) runs one on this
// program folder: the window does not wait for it, it says so in the progress log and the
// status bar and skips this run; the next click or timer turn tries again.
std::optional<TTransferLock> TakeOrSkip(const ProgramFolder& folder, TTransferKind kind,
                                        TTransferFeedback& feedback) {
    const fs::path file = TTransferLock::FileIn(folder.root, kind);
    std::optional<TTransferLock> lock = TTransferLock::Take(file, std::chrono::milliseconds(0));
    if (!lock) {
        std::string text = TTransferLock::BusyText(file, kind);
        text[0] = 'A';
        feedback.ErrorLevel(
            1,
            text + "; this " + (kind == TTransferKind::Check ? "check" : "send") + " is skipped.");
        feedback.StatusText(0, text);
    }
    return lock;
}

}  // namespace

TWindowMailRuns::TWindowMailRuns(TFrmMain& main, Platform& platform)
    : main_(main), platform_(platform) {}

int TWindowMailRuns::CheckMail() {
    RunningMark mark(running_);
    const ProgramFolder& folder = main_.Folder();
    const TSettings& settings = main_.Settings();
    TMainFeedback& feedback = main_.Transfer();
    std::optional<TTransferLock> lock = TakeOrSkip(folder, TTransferKind::Check, feedback);
    if (!lock) return 0;
    const TCheckPaths paths{
        .accountsFile = folder.AccountsFile(),
        .mailFolder = folder.MailFolder(),
        .attachFolder = settings.Mail.AttachPath,
        .programFolder = folder.root,
        .leaveOnServer = folder.LeaveOnServerFile(),
    };
    platform_.ClearAbortRequest();
    TPop3Mailbox pop(platform_);
    pop.Client().TimeOut = settings.Mail.TimeOut;
    pop.Client().MaxMessageBytes = std::int64_t{settings.Mail.MessageLimit} << 20;
    TLogScriptHost scriptHost(feedback, platform_, folder.AccountsFile());
    TFrmScripts filters(ScriptPathsOf(folder), platform_, scriptHost);
    TCheckMail check(paths, pop, filters, feedback, &platform_);
    const TCheckResult result = check.Run();
    main_.UpdateMessageCount();
    // A send run after the check holds its own lock, not this one.
    lock.reset();
    if (settings.Mail.SendOnCheck && !platform_.AbortRequested()) {
        try {
            SendQueued(/*startedByCheck=*/true);
        } catch (const std::exception& e) {
            feedback.ErrorLevel(2, "Cannot send the queued messages: " + std::string(e.what()));
        }
    }
    return result.stored;
}

bool TLogScriptHost::SendMessage(TmsMessage& message, std::string_view server,
                                 std::string_view account) {
    SendAtOnce(platform_, accountsFile_, message, server, account,
               [this](std::string& text) { feedback_.ErrorLevel(2, text); });
    return true;
}

int TWindowMailRuns::SendQueued(bool startedByCheck) {
    RunningMark mark(running_);
    const ProgramFolder& folder = main_.Folder();
    TMainFeedback& feedback = main_.Transfer();
    const std::optional<TTransferLock> lock = TakeOrSkip(folder, TTransferKind::Send, feedback);
    if (!lock) return 0;
    TmsSMTP smtp(platform_);
    smtp.TimeOut = main_.Settings().Mail.TimeOut;
    TSmtpClientSender sender(smtp);
    TLogScriptHost scriptHost(feedback, platform_, folder.AccountsFile());
    TFrmScripts filters(ScriptPathsOf(folder), platform_, scriptHost);
    TSendQueue queue({folder.SettingsFile(), folder.AccountsFile(), folder.MailFolder()}, sender,
                     filters, feedback, &platform_);
    const TSendResult result = queue.Run(startedByCheck);
    main_.UpdateMessageCount();
    return result.sent;
}

}  // namespace kivo
