#include <gtest/gtest.h>

#include "accounts/KivoWizard.h"
#include "accounts/account.h"
#include "app/KivoMain.h"
#include "app/firstrun.h"
#include "app/startupmailer.h"
#include "base/bytes.h"
#include "base/inifile.h"
#include "store/mbxfile.h"
#include "tests/store/fakes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Records what start-up and shutdown show, in order.
struct RecordingView : TFrmMainView {
    std::vector<std::string> calls;
    TMailerAnswer answer;
    int listWidth = 0;
    // What the user does in the wizard: types an address and finishes, cancels, or nothing.
    enum class Wizard { finish, cancel, none } user = Wizard::finish;
    std::array<int, 6> columns{};
    int dockAlign = -1;

    void SetTitle(std::string_view title) override {
        calls.push_back("title " + std::string(title));
    }
    void SetBusyCursor(bool busy) override { calls.push_back(busy ? "busy" : "normal"); }
    void ShowSetupWizard(TFrmSetupWizard& wizard) override {
        calls.push_back("wizard");
        if (user == Wizard::cancel) wizard.CancelClick();
        if (user != Wizard::finish) return;
        wizard.FieldChange(TWizardField::Email, "jo@mail.example", true);
        wizard.FieldChange(TWizardField::Password, "s3cret", true);
        calls.push_back("finish " +
                        std::to_string(static_cast<int>(wizard.FinishClick(false).step)));
    }
    TMailerAnswer AskDefaultMailer() override {
        calls.push_back("ask mailer");
        return answer;
    }
    void DockWindows(int align) override { dockAlign = align; }
    void ShowMainWindow() override { calls.push_back("show main"); }
    int ListWidth() const override { return listWidth; }
    void SetColumnWidths(const std::array<int, 6>& widths) override { columns = widths; }
    void ShowMessageLines(const TShownLines&) override { calls.push_back("show message"); }
    void OpenComposer(const std::optional<std::string>& to) override {
        calls.push_back("composer " + to.value_or("(none)"));
    }
    void RestoreApplication() override { calls.push_back("restore"); }
    void HideApplication() override { calls.push_back("hide application"); }
    void HideMainWindow() override { calls.push_back("hide main"); }
    void ErrorLevel(int level, std::string_view text) override {
        calls.push_back("log " + std::to_string(level) + " " + std::string(text));
    }
};

struct FakeMailer : TDefaultMailer {
    std::optional<std::string> handler;
    int registered = 0;
    std::optional<std::string> CurrentHandler() override { return handler; }
    std::string OwnHandler() const override { return "kivo.desktop"; }
    void Register() override { ++registered; }
};

struct StartRig {
    TempDir home;
    test::RecordingPlatform platform;
    RecordingView view;
    FakeMailer mailer;
    TFirstRunFiles content{DateTime{2026, 12, 10, 9, 30, 0}};
    TFrmMain main{ProgramFolder{home.path()}, platform, view};
    int checks = 0;
    std::vector<std::string> probed;
    StartRig() {
        main.Hooks.CheckMail = [this] { ++checks; };
        main.Hooks.ProbeServer = [this](const TServerGuess& guess) {
            probed.push_back(guess.server);
            return TProbeResult{true, {}};
        };
    }
    void Start(std::vector<std::string> args = {}) { main.LoadApp(args, content, mailer); }
    bool Called(std::string_view call) const {
        return std::find(view.calls.begin(), view.calls.end(), call) != view.calls.end();
    }
};

TEST(StartUp, FirstRunPreparesTheFolderRunsTheWizardAndOpensTheWelcomeMail) {
    StartRig rig;
    rig.view.listWidth = 1000;
    rig.Start();
    EXPECT_TRUE(rig.main.FirstRun());
    EXPECT_FALSE(rig.main.Starting);
    EXPECT_EQ(rig.view.calls.front(), "busy");
    EXPECT_EQ(rig.view.calls[1], "title Kivo 1.0");
    // The wizard tried its guesses, wrote the account and chose the colours.
    EXPECT_TRUE(rig.Called("finish 0"));
    EXPECT_EQ(rig.probed,
              (std::vector<std::string>{"pop.mail.example:995", "smtp.mail.example:465"}));
    const Account account = ReadAccounts(rig.home / "accounts.ini").at(0);
    EXPECT_EQ(account.popServer, "pop.mail.example:995");
    EXPECT_EQ(account.SmtpSecurity(), TSecurity::implicit);
    EXPECT_EQ(rig.main.Settings().Program.IndexColor, 0xA2D2DFu);
    // The welcome mailbox is open with its last message selected and shown once the cursor
    // is back to normal.
    EXPECT_EQ(rig.main.MainIndex().RowCount(), 2);
    const auto normal = std::find(rig.view.calls.begin(), rig.view.calls.end(), "normal");
    EXPECT_NE(std::find(normal, rig.view.calls.end(), "show message"), rig.view.calls.end());
    // Columns grow by a quarter of 1000 - 500 - 30 each: Subject, From, Date and To.
    EXPECT_EQ(rig.view.columns, (std::array<int, 6>{267, 217, 197, 40, 197, 50}));
    EXPECT_EQ(rig.main.Settings().Position.Col, rig.view.columns);
    EXPECT_EQ(rig.checks, 0);  // AutoCheck is off by default
}

TEST(StartUp, LaterStartsSkipTheWizardFollowTheSettingsAndOpenAComposerForSlashM) {
    StartRig rig;
    fs::create_directory(rig.home / "Mail");
    WriteFile(rig.home / "kivo.ini",
              "[Mail]\r\nAutoCheck=1\r\nPrompt=0\r\n[Program]\r\nOpened=Work\r\n"
              "[Position]\r\nDockAlign=7\r\n");
    rig.mailer.handler = "thunderbird.desktop";
    rig.Start({"/M", "mailto:jo@example.test"});
    EXPECT_FALSE(rig.main.FirstRun());
    EXPECT_FALSE(rig.Called("wizard"));
    EXPECT_FALSE(rig.Called("ask mailer"));  // Prompt off
    EXPECT_EQ(rig.view.dockAlign, 0);        // out of range: index on top
    EXPECT_EQ(rig.main.MainIndex().MailboxName, "Work");
    EXPECT_TRUE(fs::exists(rig.home / "Mail" / "Work.mbx"));
    EXPECT_EQ(rig.checks, 1);  // one check at once
    EXPECT_TRUE(rig.Called("composer mailto:jo@example.test"));
    EXPECT_EQ(rig.view.columns, (std::array<int, 6>{}));  // widened only on a first run
}

TEST(StartUp, AsksToBecomeTheDefaultMailerOnlyWhenAnotherProgramIsIt) {
    struct Case {
        std::optional<std::string> handler;
        TMailerAnswer answer;
        bool asked;
        int registered;
        bool promptAfter;
        const char* why;
    };
    const Case cases[] = {
        {std::nullopt, {true, true}, false, 0, true, "the desktop cannot be asked"},
        {"Kivo.Desktop", {true, true}, false, 0, true, "Kivo is the handler already"},
        {"thunderbird.desktop", {true, false}, true, 1, true, "yes: registered, asked again"},
        {"", {false, true}, true, 0, false, "no handler; no, and don't ask again"},
    };
    for (const Case& c : cases) {
        StartRig rig;
        fs::create_directory(rig.home / "Mail");
        rig.mailer.handler = c.handler;
        rig.view.answer = c.answer;
        rig.Start();
        EXPECT_EQ(rig.Called("ask mailer"), c.asked) << c.why;
        EXPECT_EQ(rig.mailer.registered, c.registered) << c.why;
        EXPECT_EQ(rig.main.Settings().Mail.Prompt, c.promptAfter) << c.why;
    }
}

TEST(StartUp, WizardClosedUntouchedOrNotAtAll) {
    // Deleting the mail folder makes a first run although accounts.ini exists: no welcome
    // mail, and closing the wizard untouched keeps the account.
    StartRig rig;
    WriteFile(rig.home / "accounts.ini", "[My Account]\r\nEmail=jo@mail.example\r\n");
    rig.view.user = RecordingView::Wizard::none;
    rig.Start();
    EXPECT_TRUE(rig.main.FirstRun());
    EXPECT_TRUE(rig.Called("wizard"));
    EXPECT_EQ(rig.main.MainIndex().RowCount(), 0);
    EXPECT_EQ(ReadAccounts(rig.home / "accounts.ini").at(0).email, "jo@mail.example");
    // A wizard that was never closed sets no colours.
    EXPECT_EQ(rig.main.Settings().Program.IndexColor, kWindowColour);
}

TEST(StartUp, ACanceledWizardWritesNoAccountAndTheProgramGoesOn) {
    StartRig rig;
    rig.view.user = RecordingView::Wizard::cancel;
    rig.Start();
    EXPECT_TRUE(rig.Called("wizard"));
    EXPECT_TRUE(rig.probed.empty());
    EXPECT_FALSE(fs::exists(rig.home / "accounts.ini"));
    EXPECT_TRUE(rig.Called("show main"));
    EXPECT_EQ(rig.main.MainIndex().RowCount(), 2);  // the welcome mail
    EXPECT_EQ(rig.main.Settings().Program.IndexColor, 0xA2D2DFu);
}

TEST(StartUp, WidenColumnsOnlyGrows) {
    const std::array<int, 6> start{150, 100, 80, 40, 80, 50};
    EXPECT_EQ(WidenColumns(start, 533), (std::array<int, 6>{150, 100, 80, 40, 80, 50}))
        << "free 3 gives each column 0";
    EXPECT_EQ(WidenColumns(start, 538), (std::array<int, 6>{152, 102, 82, 40, 82, 50}));
    EXPECT_EQ(WidenColumns(start, 0), start) << "a list narrower than its columns";
}

TEST(InstanceCommands, FrontAlwaysAComposerForSlashM) {
    struct Case {
        std::string text;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"", {"restore"}},
        {"/m jo@example.test", {"restore", "composer jo@example.test"}},
        {"/M mailto:jo@example.test", {"restore", "composer mailto:jo@example.test"}},
        {"/m ", {"restore", "composer (none)"}},
        {"/m", {"restore", "composer (none)"}},
        {"hello", {"restore"}},
        {"/m " + std::string(300, 'x'), {"restore", "composer " + std::string(253, 'x')}},
    };
    for (const Case& c : cases) {
        StartRig rig;
        rig.main.InstanceCommand(c.text);
        EXPECT_EQ(rig.view.calls, c.calls) << c.text;
    }
}

struct Window : TOpenWindow {
    std::string name;
    bool refuse = false;
    std::vector<std::string>& log;
    TOpenWindows& list;
    Window(std::string n, std::vector<std::string>& l, TOpenWindows& w)
        : name(std::move(n)), log(l), list(w) {}
    std::string Caption() const override { return name; }
    bool Close() override {
        log.push_back("close " + name);
        if (refuse) return false;
        list.Remove(*this);
        return true;
    }
    void Show() override { log.push_back("show " + name); }
};

TEST(Shutdown, GuardsKeepTheProgramRunning) {
    StartRig rig;
    bool script = false;
    bool transfer = false;
    std::vector<std::string> canceled;
    rig.main.Hooks.ScriptRunning = [&] { return script; };
    rig.main.Hooks.CancelScript = [&] { canceled.push_back("script"); };
    rig.main.Hooks.TransferRunning = [&] { return transfer; };
    rig.main.Hooks.CancelTransfer = [&] { canceled.push_back("transfer"); };

    rig.main.Settings().Program.HideForm = true;
    EXPECT_FALSE(rig.main.FormCloseQuery());
    EXPECT_TRUE(rig.Called("hide application"));
    rig.main.Settings().Program.HideForm = false;

    script = transfer = true;
    EXPECT_FALSE(rig.main.FormCloseQuery());
    script = false;
    EXPECT_FALSE(rig.main.FormCloseQuery());
    EXPECT_EQ(canceled, (std::vector<std::string>{"script", "transfer"}));
    EXPECT_EQ(rig.platform.tips, (std::vector<std::string>{"Script canceled!", "Canceled!"}));
    transfer = false;

    // Windows close first to last; one that refuses is shown and the program stays.
    std::vector<std::string> log;
    Window a("a", log, rig.main.OpenWindows()), b("b", log, rig.main.OpenWindows()),
        c("c", log, rig.main.OpenWindows());
    for (Window* w : {&a, &b, &c}) rig.main.OpenWindows().Add(*w);
    EXPECT_EQ(rig.main.OpenWindows().Last(), &c);
    b.refuse = true;
    EXPECT_FALSE(rig.main.FormCloseQuery());
    EXPECT_EQ(log, (std::vector<std::string>{"close a", "close b", "show b"}));
    b.refuse = false;
    EXPECT_TRUE(rig.main.FormCloseQuery());
    EXPECT_TRUE(rig.main.OpenWindows().Items().empty());
}

TEST(Shutdown, WritesTheSettingsThenSavesTheMailboxAndStopsAtTheFirstFailure) {
    StartRig rig;
    for (const char* folder : {"Mail", "Scripts"}) fs::create_directory(rig.home / folder);
    WriteFile(rig.home / "kivo.ini", "[Scripts]\r\nButton1Script=Mine\r\n");
    AppendToFile({"From x", "Subject: one", "", "b"}, rig.home / "Mail" / "Sent.mbx");
    rig.Start();
    rig.main.MainIndex().MailboxName = "Sent";
    rig.main.Init();
    EXPECT_FALSE(rig.main.Shutdown());
    EXPECT_TRUE(rig.Called("log 1 Shutting down..."));
    const IniFile ini(rig.home / "kivo.ini");
    EXPECT_EQ(ini.ReadString("Program", "Opened", ""), "Sent");         // the open mailbox
    EXPECT_EQ(ini.ReadString("Scripts", "Button1Script", ""), "Mine");  // other keys stay
    EXPECT_TRUE(fs::exists(rig.home / "Mail" / "Sent.idx"));

    // kivo.ini cannot be written (a folder stands in its place): the index is not saved.
    fs::remove(rig.home / "kivo.ini");
    fs::create_directory(rig.home / "kivo.ini");
    fs::remove(rig.home / "Mail" / "Sent.idx");
    EXPECT_TRUE(rig.main.Shutdown());
    EXPECT_FALSE(fs::exists(rig.home / "Mail" / "Sent.idx"));
}

TEST(FirstRunFiles, UserButtonsAndTheWelcomeMailbox) {
    TempDir home;
    fs::create_directory(home / "Mail");
    WriteFile(home / "kivo.ini", "[Mail]\r\nSMTP=smtp.example\r\n");
    TFirstRunFiles files(DateTime{2026, 12, 10, 9, 30, 0});
    const ProgramFolder folder{home.path()};
    files.WriteDefaultUserButtons(folder);
    files.WriteWelcomeMailbox(folder);

    const IniFile ini(home / "kivo.ini");
    EXPECT_EQ(ini.ReadString("Mail", "SMTP", ""), "smtp.example");
    EXPECT_EQ(ini.Keys("Scripts").size(), 20u);
    EXPECT_EQ(ini.ReadString("Scripts", "Button1Script", "?"), "About Kivo Script");
    EXPECT_EQ(ini.ReadString("Scripts", "Button3Desc", "?"), "Raw Msg     - Display Raw Message");
    EXPECT_EQ(ini.ReadString("Scripts", "Button8Script", "?"), "Filter Message");
    EXPECT_EQ(ini.ReadString("Scripts", "Button0Script", "?"), "");
    EXPECT_EQ(ini.Keys("Scripts").back(), "Button0Desc");

    const std::string mbx = ReadFile(home / "Mail" / "In.mbx");
    EXPECT_EQ(mbx.find("\n") - 1, mbx.find("\r\n"));
    const std::vector<std::string> lines = SplitLines(mbx);
    int separators = 0;
    int signatures = 0;
    for (const std::string& line : lines) {
        separators += line.starts_with("From ");
        signatures += line == "<font size=\"-1\"><b>VERSION SIGNATURE: 1.0</b></font><br>";
    }
    EXPECT_EQ(separators, 2);
    EXPECT_EQ(signatures, 2);
    EXPECT_EQ(lines[0], "From welcome@kivo.invalid 10/12/2026 09:30:00");
    for (const char* header : {"From: ", "To: ", "Date: Thu, 10 Dec 2026 09:30:00",
                               "Subject: ", "Content-Type: text/html", "Priority: Normal"}) {
        EXPECT_NE(mbx.find(std::string("\r\n") + header), std::string::npos) << header;
    }
}

TEST(DefaultMailer, XdgQueryAndRegistrationThroughAStandIn) {
    TempDir dir;
    fs::create_directory(dir / "bin");
    const fs::path log = dir / "xdg.log";
    WriteFile(dir / "bin" / "xdg-mime",
              "#!/bin/sh\necho \"$@\" >> '" + log.string() +
                  "'\n[ \"$1\" = query ] && echo thunderbird.desktop\nexit 0\n");
    fs::permissions(dir / "bin" / "xdg-mime", fs::perms::owner_all);
    const std::string oldPath = getenv("PATH");
    setenv("PATH", (dir / "bin").c_str(), 1);
    TXdgDefaultMailer mailer("/opt/my kivo/kivo", "/home/jo/mail$", dir / "apps");
    const std::optional<std::string> handler = mailer.CurrentHandler();
    mailer.Register();
    setenv("PATH", oldPath.c_str(), 1);

    EXPECT_EQ(handler, "thunderbird.desktop");
    EXPECT_EQ(ReadFile(log),
              "query default x-scheme-handler/mailto\n"
              "default kivo.desktop x-scheme-handler/mailto\n");
    const std::string entry = ReadFile(dir / "apps" / "kivo.desktop");
    EXPECT_NE(entry.find("Exec=\"/opt/my kivo/kivo\" --home \"/home/jo/mail\\\\$\" /m %u\n"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("MimeType=x-scheme-handler/mailto;"), std::string::npos);

    // Without xdg-mime the desktop cannot be asked.
    setenv("PATH", (dir / "none").c_str(), 1);
    EXPECT_EQ(mailer.CurrentHandler(), std::nullopt);
    setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
}  // namespace kivo
