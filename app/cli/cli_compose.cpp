// `kivo compose` and `kivo mailto`: a composer filled from the command line and standard
// input, then queued in Out or sent at once.

#include <fcntl.h>
#include <unistd.h>

#include <iostream>
#include <iterator>
#include <ostream>

#include "app/cli/abortplatform.h"
#include "app/cli/composecli.h"
#include "app/cli/scriptcli.h"
#include "app/terminalfeedback.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/terminaltext.h"
#include "compose/composerstyle.h"
#include "compose/styledmail.h"
#include "net/mssmtp.h"
#include "script/KivoParser.h"
#include "transfer/composeroutbox.h"

namespace kivo::cli {

void TerminalComposerView::ErrorLevel(int level, const std::string& text) {
    if (level == 2 || (level == 1 && verbosity_ != TVerbosity::Quiet))
        err_ << TerminalLogEntry(level, text) << '\n';
}

std::optional<std::string> TerminalChooser::Choose(std::string_view text,
                                                   const std::vector<std::string>& candidates) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string prompt =
        std::string(kChooseFound) + "\n" + kChoosePrompt + " " + std::string(text) + ":\n";
    for (std::size_t i = 0; i < candidates.size(); ++i)
        prompt += "  " + std::to_string(i + 1) + ") " + candidates[i] + "\n";
    prompt += "Number (empty for none): ";
    std::optional<std::string> chosen;
    if (::write(fd, prompt.data(), prompt.size()) == static_cast<ssize_t>(prompt.size())) {
        std::string answer;
        char c;
        while (::read(fd, &c, 1) == 1 && c != '\n') answer += c;
        int n = 0;
        if (ParseInt(Trim(answer), n) && n >= 1 && n <= static_cast<int>(candidates.size()))
            chosen = candidates[static_cast<std::size_t>(n - 1)];
    }
    ::close(fd);
    return chosen;
}

TComposerPaths ComposerPaths(const Context& ctx) {
    return {ctx.folder.SettingsFile(), ctx.folder.AccountsFile(), ctx.folder.AddressFile(),
            ctx.folder.MailFolder(), ctx.folder.SignatureFolder()};
}

std::string ReadStandardInput() {
    return std::string(std::istreambuf_iterator<char>(std::cin), {});
}

int RunComposer(Context& ctx, TComposerMode mode, TComposeAction action,
                const std::function<void(TfrmSend&)>& fill) {
    bool canceled = false;
    TmsSMTP* running = nullptr;
    AbortingPlatform platform(ctx.platform, [&] {
        if (!canceled && running) running->Cancel();
        canceled = true;
    });
    TmsSMTP smtp(platform);
    running = &smtp;
    TSmtpClientSender sender(smtp);
    // The Outgoing scripts run on a message sent at once, as the send queue runs them.
    TTerminalFeedback feedback(ctx.platform, ctx.err, ctx.verbosity);
    TerminalScriptHost scriptHost(feedback, platform, ctx.folder.AccountsFile());
    TFrmScripts filters(ScriptPathsOf(ctx.folder), platform, scriptHost);
    TMailOutbox outbox(ctx.folder.MailFolder(), ctx.folder.AccountsFile(), sender, filters);
    TerminalComposerView view(ctx.err, ctx.verbosity);
    TerminalChooser chooser;
    TfrmSend composer(ComposerPaths(ctx), view, outbox, chooser);
    composer.SetMode(mode);
    composer.FirstActivation();
    fill(composer);

    const auto refused = [&] {
        std::string tip = view.tips.empty() ? "the message is not ready" : view.tips.back();
        for (char& c : tip) {
            if (c == '\n') c = ' ';
        }
        throw std::runtime_error(tip);
    };
    if (action == TComposeAction::Queue) {
        if (!composer.Queue()) refused();
        ctx.out << "Message queued in Out\n";
        return 0;
    }
    switch (composer.SendNow()) {
        case TSendOutcome::NotReady:
            refused();
            break;
        case TSendOutcome::Discarded:
            ctx.out << "Message discarded by an outgoing filter\n";
            return 0;
        case TSendOutcome::Failed:
            ctx.out << "Could not send mail; the message waits in Out\n";
            return 1;
        case TSendOutcome::Sent:
            break;
    }
    ctx.out << "Message sent\n";
    return 0;
}

namespace {

TPriority PriorityOf(const std::string& text) {
    const std::string p = LowerCase(text);
    if (p == "low") return ptLow;
    if (p == "normal") return ptNormal;
    if (p == "high") return ptHigh;
    throw UsageError("--priority is low, normal or high");
}

// A file that cannot be read would fail only when the message goes out: refuse it now.
void CheckReadable(const std::string& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec) || ::access(file.c_str(), R_OK) != 0)
        throw std::runtime_error("cannot read the attachment " + file);
}

}  // namespace

TComposeAction ActionOf(Args args) {
    const bool queue = args.Has("--queue"), send = args.Has("--send");
    if (queue == send) throw UsageError("give one of --queue and --send");
    return queue ? TComposeAction::Queue : TComposeAction::Send;
}

int ComposeCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("unknown argument " + args[0]);
    const TComposeAction action = ActionOf(args);
    const std::optional<std::string> account = args.Value("--account");
    const std::optional<std::string> subject = args.Value("--subject");
    const std::optional<std::string> priority = args.Value("--priority");
    if (priority) PriorityOf(*priority);
    const std::vector<std::string> attach = args.Values("--attach");
    for (const std::string& file : attach) CheckReadable(file);
    // A styled body: the RTF as the composer's editor would hold it, its text as the plain body.
    const std::optional<std::string> rtfFile = args.Value("--styled-rtf");
    std::optional<TRtfText> rtf;
    std::string body;
    if (rtfFile) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(*rtfFile, ec))
            throw std::runtime_error("cannot read the RTF file " + *rtfFile);
        rtf.emplace(ReadFileBytes(*rtfFile));
        // RTF the converter cannot read would go out as an empty styled body: refuse it.
        try {
            rtf->CheckReadable();
        } catch (const ERtfUnreadable& e) {
            throw std::runtime_error("cannot read the RTF file " + *rtfFile + ": " + e.what());
        }
        body = rtf->PlainText();
    } else {
        body = ReadStandardInput();
    }
    const IniFile settings(ctx.folder.SettingsFile());
    const TStyleState style = DefaultStyleState(settings);
    std::optional<TStyledMail> styled;
    if (rtf) styled.emplace(*rtf, style, MessageFontSize(settings), TempFolder());
    return RunComposer(ctx, cmNew, action, [&](TfrmSend& composer) {
        if (styled) {
            composer.SetFormat(composer.Plain(), true);
            composer.SetStyledBody(&*styled);
        }
        if (account && !composer.SetAccount(*account))
            throw std::runtime_error("no account named '" + *account + "'");
        for (const std::string& line : args.Values("--to")) composer.AddToLine(line);
        for (const std::string& line : args.Values("--cc")) composer.AddCcLine(line);
        for (const std::string& line : args.Values("--bcc")) composer.AddBccLine(line);
        composer.LeaveTo();
        composer.LeaveCc();
        composer.LeaveBcc();
        if (subject) composer.SetSubject(*subject);
        composer.SetBodyText(body);
        for (const std::string& file : attach)
            composer.AddAttachment(std::filesystem::absolute(file));
        if (priority) composer.SetPriority(PriorityOf(*priority));
        if (args.Has("--no-signature")) composer.SetSignatureOn(false);
    });
}

int MailtoCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs a URL and one of --queue and --send");
    const std::string url = args[0];
    return RunComposer(ctx, cmNew, ActionOf(args), [&](TfrmSend& composer) {
        composer.InitMailTo(url);
        composer.LeaveTo();
        composer.LeaveCc();
        composer.LeaveBcc();
    });
}

}  // namespace kivo::cli
