// `kivo send`: one run of the send queue on the terminal, also the send run after a check.

#include <functional>
#include <ostream>

#include "app/cli/transfercli.h"
#include "net/mssmtp.h"
#include "transfer/sendqueue.h"

namespace kivo::cli {

namespace {

// The terminal platform for a send run: the first Ctrl-C noticed while the SMTP client
// waits cancels the message on the way and ends the run after it.
class SendPlatform : public Platform {
  public:
    SendPlatform(Platform& terminal, std::function<void()> onAbort)
        : terminal_(terminal), onAbort_(std::move(onAbort)) {}

    void Pump() override {
        terminal_.Pump();
        if (!aborted_ && terminal_.AbortRequested()) {
            aborted_ = true;
            onAbort_();
        }
    }
    bool AbortRequested() const override { return terminal_.AbortRequested(); }
    void ClearAbortRequest() override { terminal_.ClearAbortRequest(); }
    void ShowTip(std::string_view text) override { terminal_.ShowTip(text); }
    void ShowMessage(std::string_view text) override { terminal_.ShowMessage(text); }
    bool AskYesNo(std::string_view question) override { return terminal_.AskYesNo(question); }
    bool InputText(std::string_view caption, std::string_view prompt, std::string& value) override {
        return terminal_.InputText(caption, prompt, value);
    }
    bool InputPassword(std::string_view caption, std::string_view prompt,
                       std::string& value) override {
        return terminal_.InputPassword(caption, prompt, value);
    }
    void PlaySound(std::string_view file) override { terminal_.PlaySound(file); }
    bool ShellOpen(std::string_view target) override { return terminal_.ShellOpen(target); }
    int RunAndWait(const std::vector<std::string>& argv) override {
        return terminal_.RunAndWait(argv);
    }

  private:
    Platform& terminal_;
    std::function<void()> onAbort_;
    bool aborted_ = false;
};

std::string SentText(int sent) {
    return std::to_string(sent) + (sent == 1 ? " message sent" : " messages sent");
}

}  // namespace

int RunSendQueue(Context& ctx, TTerminalFeedback& feedback, bool startedByCheck) {
    TSendQueue* running = nullptr;
    SendPlatform platform(ctx.platform, [&] {
        feedback.CancelTransfer();
        if (running) running->Stop();
    });
    TmsSMTP smtp(platform);
    TSmtpClientSender sender(smtp);
    TNoFilters filters;
    TSendQueue queue(
        {ctx.folder.SettingsFile(), ctx.folder.AccountsFile(), ctx.folder.MailFolder()}, sender,
        filters, feedback, &platform);
    running = &queue;
    const TSendResult result = queue.Run(startedByCheck);

    ctx.out << (result.queued == 0 ? std::string("Nothing to send") : SentText(result.sent))
            << '\n';
    const bool failed = result.failed > 0 || result.couldNotConnect || result.outNotUpdated;
    return failed ? 1 : 0;
}

int SendCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    TTerminalFeedback feedback(ctx.platform, ctx.err);
    return RunSendQueue(ctx, feedback, false);
}

}  // namespace kivo::cli
