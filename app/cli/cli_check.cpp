// kivo check: one check-mail run on the terminal, as the check button runs it in the window:
// every account marked for checking, into In, with In's index kept current.

#include <ostream>

#include "app/cli/abortplatform.h"
#include "app/cli/scriptcli.h"
#include "app/cli/storecli.h"
#include "app/cli/transfercli.h"
#include "script/KivoParser.h"
#include "transfer/checkmail.h"
#include "transfer/pop3mailbox.h"
#include "transfer/transferlock.h"

namespace kivo::cli {

namespace {

// The terminal's feedback, with In open in the main index window as the program opens it at
// start: new messages get index entries and real separator lines, and the check saves the
// index, so In opens afterwards without a rebuild.
class InShownFeedback : public TTransferFeedback {
  public:
    InShownFeedback(TTerminalFeedback& terminal, TFrmIndex& in) : terminal_(terminal), in_(in) {}

    void StatusText(int panel, std::string_view text) override {
        terminal_.StatusText(panel, text);
    }
    void ErrorLevel(int level, std::string_view text) override {
        terminal_.ErrorLevel(level, text);
    }
    int LastLevel() const override { return terminal_.LastLevel(); }
    void SetLastLevel(int level) override { terminal_.SetLastLevel(level); }
    void Progress(int percent) override { terminal_.Progress(percent); }
    void ShowProgressText(bool shown) override { terminal_.ShowProgressText(shown); }
    void ShowTip(std::string_view text) override { terminal_.ShowTip(text); }
    bool AskPassword(std::string_view caption, std::string_view prompt,
                     std::string& password) override {
        return terminal_.AskPassword(caption, prompt, password);
    }
    void SetBusy(bool busy) override { terminal_.SetBusy(busy); }
    void RouteCancel(std::function<void()> cancel) override {
        terminal_.RouteCancel(std::move(cancel));
    }
    void StartCheckAnimation() override { terminal_.StartCheckAnimation(); }
    void CheckEnded(bool newMail, bool playSound) override {
        terminal_.CheckEnded(newMail, playSound);
    }
    TFrmIndex* InIndexWindow() override { return &in_; }
    bool MainShowsIn() override { return true; }

  private:
    TTerminalFeedback& terminal_;
    TFrmIndex& in_;
};

std::string NewMessagesText(int count) {
    if (count == 0) return "No new messages";
    if (count == 1) return "1 new message";
    return std::to_string(count) + " new messages";
}

// The run's one line: what arrived, and which accounts failed and why, so "No new messages"
// never stands alone for a run that could not look.
std::string SummaryText(const TCheckResult& result) {
    std::string text = NewMessagesText(result.stored + result.filtered);
    if (result.filtered > 0)
        text += " (" + std::to_string(result.filtered) + " taken out of In by filters)";
    for (std::size_t i = 0; i < result.failures.size(); ++i) {
        text += (i == 0 ? "; failed: " : "; ") + result.failures[i];
    }
    return text;
}

// The check itself, with In open in the main index window; returns the exit status.
int CheckAccounts(Context& ctx, TTerminalFeedback& feedback, const TSettings& settings,
                  Platform& platform) {
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    OpenMailbox(main, "In");
    InShownFeedback shown(feedback, main.MainIndex());

    const TCheckPaths paths{
        .accountsFile = ctx.folder.AccountsFile(),
        .mailFolder = ctx.folder.MailFolder(),
        .attachFolder = settings.Mail.AttachPath,
        .programFolder = ctx.folder.root,
        .leaveOnServer = ctx.folder.LeaveOnServerFile(),
    };
    TPop3Mailbox pop(platform);
    pop.Client().TimeOut = settings.Mail.TimeOut;
    pop.Client().MaxMessageBytes = std::int64_t{settings.Mail.MessageLimit} << 20;
    TerminalScriptHost scriptHost(feedback, platform, ctx.folder.AccountsFile());
    TFrmScripts filters(ScriptPathsOf(ctx.folder), platform, scriptHost);
    TCheckMail check(paths, pop, filters, shown, &platform);
    const int errorsBefore = feedback.Errors();
    const TCheckResult result = check.Run();
    ctx.out << SummaryText(result) << '\n' << std::flush;
    return result.failed > 0 || feedback.Errors() > errorsBefore ? 1 : 0;
}

}  // namespace

TTransferWait TransferWaitOf(Args args) {
    if (args.Has("--wait")) return std::nullopt;
    const std::optional<std::string> seconds = args.Value("--wait-up-to");
    if (!seconds) return kDefaultTransferWait;
    char* end = nullptr;
    const long value = std::strtol(seconds->c_str(), &end, 10);
    if (seconds->empty() || *end != '\0' || value < 0 || value > 24 * 3600)
        throw UsageError("--wait-up-to takes a number of seconds, not '" + *seconds + "'");
    return std::chrono::seconds(value);
}

int RunCheck(Context& ctx, TTerminalFeedback& feedback, TTransferWait wait) {
    // Start-up's work first: the folders the run writes into, and the settings.
    TFirstRunContent content;
    TStartFolders start = PrepareProgramFolder(ctx.folder, content);
    const TSettings& settings = start.Settings;
    for (const std::string& problem : start.SettingsProblems)
        ctx.err << "kivo: " << problem << '\n';

    // Ctrl-C cancels the running transfer. The request stays set, so the accounts after it
    // are cancelled at once too and the run ends quickly.
    AbortingPlatform platform(ctx.platform, [&feedback] { feedback.CancelTransfer(); });
    int status = 0;
    {
        const fs::path lockFile = TTransferLock::FileIn(ctx.folder.root, TTransferKind::Check);
        const std::optional<TTransferLock> lock = TTransferLock::Take(lockFile, wait, &platform);
        if (!lock) throw ETransferBusy(TTransferLock::BusyText(lockFile, TTransferKind::Check));
        status = CheckAccounts(ctx, feedback, settings, platform);
    }

    // After Ctrl-C nothing new is started.
    if (settings.Mail.SendOnCheck && !ctx.platform.AbortRequested()) {
        try {
            if (RunSendQueue(ctx, feedback, /*startedByCheck=*/true, wait) != 0) status = 1;
        } catch (const std::exception& e) {
            feedback.ErrorLevel(2, "Cannot send the queued messages: " + std::string(e.what()));
            status = 1;
        }
    }
    return status;
}

int CheckCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("unexpected argument '" + args.front() + "'");
    const TTransferWait wait = TransferWaitOf(args);
    TTerminalFeedback feedback(ctx.platform, ctx.err, ctx.verbosity);
    return RunCheck(ctx, feedback, wait);
}

}  // namespace kivo::cli
