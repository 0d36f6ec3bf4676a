// `kivo run`: the program's one instance without windows. It starts as the main window does,
// takes the commands of later starts (kivo /m ADDRESS) on the instance socket, checks mail
// on the automatic-check timer, and shuts down on SIGTERM, SIGINT or SIGHUP.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <optional>

#include "accounts/KivoWizard.h"
#include "app/KivoMain.h"
#include "app/autochecktimer.h"
#include "app/cli/cli.h"
#include "app/cli/transfercli.h"
#include "app/firstrun.h"
#include "app/singleinstance.h"
#include "app/startupmailer.h"
#include "base/files.h"
#include "base/terminaltext.h"

namespace kivo::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kNoWindows =
    "kivo run has no windows (kivo compose writes a message on the terminal)";

// What a later start is told: a headless instance opens no composer and shows no window, so
// the start must not end as if it had.
std::optional<std::string> RefuseCommand(std::ostream& out, const std::string& command) {
    const bool compose =
        command.size() > 3 && (command.starts_with("/m ") || command.starts_with("/M "));
    out << "Asked by a later start for "
        << (compose ? "a new message to " + FieldText(command.substr(3))
                    : std::string("its windows"))
        << ": refused, no windows" << std::endl;
    return "Kivo runs on this folder without windows (kivo run, process " +
           std::to_string(::getpid()) + "), so it cannot " +
           (compose ? "open a new message; kivo compose writes one on the terminal"
                    : std::string("show a window; stop it to start Kivo with its windows"));
}

// Set by the termination signals; a signal handler can only reach process-wide state.
volatile std::sig_atomic_t gStopRequested = 0;
extern "C" void OnStopSignal(int) {
    gStopRequested = 1;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the signal ends the loop's wait at once.
    for (int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// The main window's screen as lines on standard output.
class TTerminalMainView : public TFrmMainView {
  public:
    TTerminalMainView(std::ostream& out, std::ostream& err, const ProgramFolder& folder)
        : out_(out), err_(err), folder_(folder) {}

    void SetStatusText(int panel, std::string_view text) override {
        if (panel == 0 && !text.empty()) out_ << VisibleControls(text) << std::endl;
    }
    void ShowSetupWizard(TFrmSetupWizard&) override {
        out_ << "First start: add your mail account with kivo account add NAME --email ADDRESS "
                "--guess --password-stdin"
             << std::endl;
    }
    void ShowMainWindow() override {
        out_ << "Kivo 1.0 running in " << folder_.root.string() << std::endl;
    }
    bool HasMessageView() const override { return false; }
    void OpenComposer(const std::optional<std::string>& mailTo) override {
        // Nothing can be opened here: the line says so instead of pretending.
        out_ << "No window for a new message"
             << (mailTo ? " to " + FieldText(*mailTo) : std::string()) << ": " << kNoWindows
             << std::endl;
    }
    void RestoreApplication() override { out_ << "Show main window" << std::endl; }
    void ErrorLevel(int level, std::string_view text) override {
        if (level == 2) err_ << "kivo run: " << FieldText(text) << std::endl;
    }

  private:
    std::ostream& out_;
    std::ostream& err_;
    const ProgramFolder& folder_;
};

void CheckOnce(Context& ctx, TTerminalFeedback& feedback) {
    try {
        // The timer does not wait for a check that runs elsewhere (a cron job): its turn is
        // skipped, and the next one comes on time.
        RunCheck(ctx, feedback, std::chrono::milliseconds(0));
    } catch (const ETransferBusy& e) {
        feedback.ErrorLevel(1, std::string(e.what()) + "; this automatic check is skipped.");
    } catch (const std::exception& e) {
        ctx.err << "kivo run: mail check failed: " << e.what() << std::endl;
    }
}

}  // namespace

int RunCommand(Context& ctx, Args args) {
    if (!args.empty() && args[0] != "/m" && args[0] != "/M") {
        throw UsageError("unexpected argument '" + args[0] + "'");
    }
    if (args.size() > 2) throw UsageError("unexpected argument '" + args[2] + "'");
    std::error_code ec;
    ctx.folder.CreateOrThrow();
    std::optional<TInstanceListener> listener =
        TInstanceListener::Listen(ctx.folder.InstanceSocket());
    if (!listener) {
        // Another instance runs on this folder: it takes the command, as a second start does.
        std::string refusal;
        const THandOver result = SendToInstance(ctx.folder.InstanceSocket(),
                                                InstanceCommandText(args), kHandOverWait, &refusal);
        if (result == THandOver::Unanswered) {
            throw std::runtime_error(
                "the running instance is busy and has not answered yet; it takes the command "
                "when it is free");
        }
        if (result == THandOver::NoInstance) {
            throw std::runtime_error("the running instance went away; start again");
        }
        if (result == THandOver::Refused) throw std::runtime_error(refusal);
        ctx.err << "kivo run: handed over to the running instance" << std::endl;
        return 0;
    }
    CatchStopSignals();

    TTerminalMainView view(ctx.out, ctx.err, ctx.folder);
    TFrmMain main(ctx.folder, ctx.platform, view);
    TTerminalFeedback feedback(ctx.platform, ctx.err, ctx.verbosity);
    main.Hooks.CheckMail = [&] {
        CheckOnce(ctx, feedback);
        // The run kept the files and In's index current; the open mailbox follows them, or
        // saving it at shutdown would stamp old entries as current.
        main.Init();
    };
    TFirstRunFiles content;
    TXdgDefaultMailer mailer(fs::canonical("/proc/self/exe", ec), ctx.folder.root,
                             TXdgDefaultMailer::UserApplications());
    main.LoadApp(args, content, mailer);

    TAutoCheckTimer& timer = main.Transfer().Timer;
    const auto stopping = [&] { return gStopRequested != 0 || ctx.platform.AbortRequested(); };
    while (!stopping()) {
        // The wait is bounded so a signal that arrives just before it is seen soon.
        auto wait = std::chrono::milliseconds(500);
        if (const std::optional<TAutoCheckTimer::TimePoint> due = timer.NextDue()) {
            wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::max(*due - Clock::now(), Clock::duration{})));
        }
        listener->Poll(
            wait, [&](const std::string& command) { main.InstanceCommand(command); },
            [&](const std::string& command) { return RefuseCommand(ctx.out, command); });
        if (!stopping() && main.Transfer().AutoCheckDue()) {
            // A check holds the timer off; the next interval starts when it ends.
            TAutoCheckSuspension hold(timer);
            main.Hooks.CheckMail();
        }
    }
    if (std::optional<std::string> failure = main.Shutdown()) {
        ctx.err << "kivo run: " << *failure << std::endl;
        return 1;
    }
    return 0;
}

}  // namespace kivo::cli
