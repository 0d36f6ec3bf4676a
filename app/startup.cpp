// TFrmMain's start-up, the commands of later starts, and shutdown.
#include <numeric>

#include "accounts/KivoWizard.h"
#include "app/KivoMain.h"
#include "app/singleinstance.h"
#include "app/startupmailer.h"
#include "base/bytes.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "view/helppages.h"

namespace kivo {

namespace {

constexpr const char* kMainTitle = "Kivo 1.0";

// The busy cursor from here to the end of the scope, also when it is left by an exception.
class BusyCursor {
  public:
    explicit BusyCursor(TFrmMainView& view) : view_(view) { view_.SetBusyCursor(true); }
    ~BusyCursor() { Release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void Release() {
        if (busy_) view_.SetBusyCursor(false);
        busy_ = false;
    }

  private:
    TFrmMainView& view_;
    bool busy_ = true;
};

void ApplyWizardColours(const TWizardColours& c, TProgramSettings& p) {
    p.ShadeCols = c.ShadeCols;
    p.IndexFontColor = c.IndexFontColor;
    p.TagFont = c.TagFont;
    p.MessageFontColor = c.MessageFontColor;
    p.MsgLinkColor = c.MsgLinkColor;
    p.ShadeColor = c.ShadeColor;
    p.IndexColor = c.IndexColor;
    p.MsgBackColor = c.MsgBackColor;
    p.TagColor = c.TagColor;
}

bool IsComposeCommand(std::string_view text) {
    return StartsWithNoCase(text, "/m");
}

}  // namespace

std::array<int, 6> WidenColumns(std::array<int, 6> widths, int listWidth) {
    const int free = listWidth - std::accumulate(widths.begin(), widths.end(), 0) - 30;
    // Growing by a negative share would shrink columns to nothing or below.
    if (free <= 0) return widths;
    for (int column : {0, 1, 2, 4}) widths[column] += free / 4;
    return widths;
}

void TFrmMain::LoadApp(std::span<const std::string> args, TFirstRunContent& content,
                       TDefaultMailer& mailer, TScreen screen) {
    BusyCursor busy(view_);
    view_.SetTitle(kMainTitle);
    firstRun_ = false;
    try {
        TStartFolders start = PrepareProgramFolder(folder_, content, screen);
        RefreshHelpPages(folder_.HelpFolder());
        firstRun_ = start.FirstRun;
        settings_ = std::move(start.Settings);
        for (const std::string& problem : start.SettingsProblems) transfer_.ErrorLevel(2, problem);
    } catch (const std::exception& e) {
        // A first-run file that cannot be written: the start goes on with what there is.
        transfer_.ErrorLevel(2, e.what());
        std::error_code ec;
        firstRun_ = !std::filesystem::is_directory(folder_.MailFolder(), ec);
        settings_ = LoadIni(IniFile(folder_.SettingsFile()), folder_.root, screen);
    }
    transfer_.ApplyTimerSettings();
    if (firstRun_) {
        TServerProber prober = Hooks.ProbeServer;
        if (!prober) {
            prober = [this](const TServerGuess& guess) {
                return kivo::ProbeServer(
                    platform_,
                    {guess.protocol, guess.security, guess.server, kWizardProbeTimeOut, {}});
            };
        }
        TFrmSetupWizard wizard(folder_.AccountsFile(), std::move(prober));
        try {
            view_.ShowSetupWizard(wizard);
        } catch (const std::exception& e) {
            transfer_.ErrorLevel(2, e.what());
        }
        if (wizard.Closed()) {
            ApplyWizardColours(WizardColourScheme(view_.ColourDepth()), settings_.Program);
        }
    }
    if (settings_.Mail.Prompt) AskDefaultMailer(mailer);
    view_.DockWindows(settings_.Position.DockAlign >= 0 && settings_.Position.DockAlign <= 3
                          ? settings_.Position.DockAlign
                          : 0);
    if (Hooks.InitUserButtons) Hooks.InitUserButtons();
    index_.MailboxName = settings_.Program.Opened.empty() ? "In" : settings_.Program.Opened;
    Init();
    view_.ShowMainWindow();
    if (firstRun_) {
        settings_.Position.Col = WidenColumns(settings_.Position.Col, view_.ListWidth());
        view_.SetColumnWidths(settings_.Position.Col);
    }
    platform_.Pump();
    if (settings_.Mail.AutoCheck && Hooks.CheckMail) Hooks.CheckMail();
    busy.Release();
    if (view_.HasMessageView() && !index_.SelectedRows().empty()) {
        ShowMessage(index_, index_.SelectedRows().front());
    }
    if (!args.empty() && EqualsNoCase(args[0], "/m")) {
        view_.OpenComposer(args.size() > 1 ? std::optional<std::string>(args[1]) : std::nullopt);
    }
    Starting = false;
}

void TFrmMain::AskDefaultMailer(TDefaultMailer& mailer) {
    // Any failure to ask the desktop means nothing is asked.
    std::optional<std::string> handler;
    try {
        handler = mailer.CurrentHandler();
    } catch (const std::exception&) {
    }
    if (!handler || LowerCase(*handler).find(LowerCase(mailer.OwnHandler())) != std::string::npos) {
        return;
    }
    const TMailerAnswer answer = view_.AskDefaultMailer();
    if (answer.Yes) {
        try {
            mailer.Register();
        } catch (const std::exception& e) {
            transfer_.ErrorLevel(2, e.what());
        }
    }
    settings_.Mail.Prompt = !answer.DontAskAgain;
}

void TFrmMain::InstanceCommand(std::string_view text) {
    text = text.substr(0, kInstanceCommandMax);
    view_.RestoreApplication();
    if (!IsComposeCommand(text)) return;
    const std::string_view rest = text.substr(std::min<std::size_t>(3, text.size()));
    view_.OpenComposer(rest.empty() ? std::nullopt : std::optional<std::string>(rest));
}

bool TFrmMain::FormCloseQuery() {
    view_.RemoveTip();
    if (settings_.Program.HideForm) {
        view_.HideApplication();
        return false;
    }
    if (Hooks.ScriptRunning && Hooks.ScriptRunning()) {
        if (Hooks.CancelScript) Hooks.CancelScript();
        platform_.ShowTip("Script canceled!");
        return false;
    }
    if (Hooks.TransferRunning && Hooks.TransferRunning()) {
        if (Hooks.CancelTransfer) Hooks.CancelTransfer();
        platform_.ShowTip("Canceled!");
        return false;
    }
    return openWindows_.CloseAll();
}

std::optional<std::string> TFrmMain::Shutdown() {
    try {
        transfer_.ErrorLevel(1, "Shutting down...");
        transfer_.StatusText(0, "Shutting down...");
        view_.HideMainWindow();
        if (!index_.MailboxName.empty()) settings_.Program.Opened = index_.MailboxName;
        IniFile ini(folder_.SettingsFile());
        SaveIni(settings_, ini);
        ini.UpdateFile(FileAccess::Private);
        SaveInfo();
    } catch (const std::exception& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

}  // namespace kivo
