// `kivo send`: one run of the send queue on the terminal, also the send run after a check.

#include <ostream>

#include "app/cli/abortplatform.h"
#include "app/cli/scriptcli.h"
#include "app/cli/transfercli.h"
#include "app/settings.h"
#include "base/inifile.h"
#include "net/mssmtp.h"
#include "script/KivoParser.h"
#include "transfer/sendqueue.h"
#include "transfer/transferlock.h"

namespace kivo::cli {

namespace {

std::string SentText(int sent) {
    return std::to_string(sent) + (sent == 1 ? " message sent" : " messages sent");
}

}  // namespace

int RunSendQueue(Context& ctx, TTerminalFeedback& feedback, bool startedByCheck,
                 TTransferWait wait) {
    // Ctrl-C cancels the message on the way and ends the run after it.
    TSendQueue* running = nullptr;
    AbortingPlatform platform(ctx.platform, [&] {
        feedback.CancelTransfer();
        if (running) running->Stop();
    });
    // Without a program folder there is no Out mailbox and nothing to hold off.
    std::optional<TTransferLock> lock;
    std::error_code ec;
    if (fs::is_directory(ctx.folder.root, ec)) {
        const fs::path lockFile = TTransferLock::FileIn(ctx.folder.root, TTransferKind::Send);
        lock = TTransferLock::Take(lockFile, wait, &platform);
        if (!lock) throw ETransferBusy(TTransferLock::BusyText(lockFile, TTransferKind::Send));
    }
    TmsSMTP smtp(platform);
    smtp.TimeOut = LoadIni(IniFile(ctx.folder.SettingsFile()), ctx.folder.root).Mail.TimeOut;
    TSmtpClientSender sender(smtp);
    TerminalScriptHost scriptHost(feedback, platform, ctx.folder.AccountsFile());
    TFrmScripts filters(ScriptPathsOf(ctx.folder), platform, scriptHost);
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
    const TTransferWait wait = TransferWaitOf(args);
    TTerminalFeedback feedback(ctx.platform, ctx.err, ctx.verbosity);
    return RunSendQueue(ctx, feedback, false, wait);
}

}  // namespace kivo::cli
