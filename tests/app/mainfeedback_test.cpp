#include "app/mainfeedback.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/KivoMain.h"
#include "app/settings.h"
#include "base/platform.h"
#include "base/scramble.h"
#include "tests/app/fakeclock.h"
#include "tests/support/testutil.h"
#include "transfer/checkmail.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

struct SoundPlatform : Platform {
    std::vector<std::string> sounds, tips;
    void Pump() override {}
    bool AbortRequested() const override { return false; }
    void ClearAbortRequest() override {}
    void ShowTip(std::string_view text) override { tips.emplace_back(text); }
    void ShowMessage(std::string_view) override {}
    bool AskYesNo(std::string_view) override { return false; }
    bool InputText(std::string_view, std::string_view, std::string&) override { return false; }
    bool InputPassword(std::string_view, std::string_view, std::string&) override { return false; }
    void PlaySound(std::string_view file) override { sounds.emplace_back(file); }
    bool ShellOpen(std::string_view) override { return false; }
    int RunAndWait(const std::vector<std::string>&) override { return -1; }
};

struct CountingView : TMainStateView {
    int controls = 0, tray = 0;
    std::vector<std::string> log;
    std::string panel0 = "unset";
    void SetStatusText(int panel, std::string_view text) override {
        if (panel == 0) panel0 = text;
    }
    void ErrorLevel(int level, std::string_view text) override {
        log.push_back(std::to_string(level) + " " + std::string(text));
    }
    void ControlsChanged() override { ++controls; }
    void TrayIconChanged() override { ++tray; }
};

// One account's server holding a few messages; the Stop button is pressed while the client
// logs in when asked to.
class OneServer : public TRemoteMailbox {
  public:
    std::vector<std::string> messages;
    std::function<void()> duringLogin;
    int cancels = 0;

    void SetEvents(TRemoteEvents events) override { events_ = std::move(events); }
    void Configure(std::string_view, std::string_view, std::string_view) override { info_.clear(); }
    void UpdateInfo() override {
        if (duringLogin) duringLogin();
        for (std::size_t i = 0; i < messages.size(); ++i) {
            info_.push_back(
                {static_cast<long>(messages[i].size()), {"Subject: m"}, "u" + std::to_string(i)});
            events_.nextInfoUpdated(static_cast<int>(i));
        }
    }
    std::vector<TRemoteInfo>& Info() override { return info_; }
    long MessageCount() const override { return static_cast<long>(info_.size()); }
    long MailboxSize() const override { return 0; }
    void TransferData() override {
        for (std::size_t i = 0; i < info_.size(); ++i) {
            if (!info_[i].retrieve) continue;
            events_.retrieving(static_cast<int>(i));
            events_.save(static_cast<int>(i), messages[i]);
            events_.retrieved(static_cast<int>(i));
        }
    }
    void Close() override {}
    void Cancel() override { ++cancels; }

  private:
    TRemoteEvents events_;
    std::vector<TRemoteInfo> info_;
};

struct MainRig {
    test::TempDir dir;
    SoundPlatform platform;
    CountingView view;
    test::FakeSteadyClock clock;
    TSettings settings = DefaultSettings(dir.path());
    TMainFeedback feedback{platform, view, settings, clock.Now()};
    OneServer pop;
    TNoFilters filters;

    MainRig() {
        fs::create_directories(dir / "Mail");
        settings.Mail.AutoCheck = true;
        settings.Mail.AutoCheckTime = 1;
    }
    void Account(std::string_view sound) {
        test::WriteFile(dir / "accounts.ini",
                        "[Home]\r\nPOPServer=pop.example\r\nPOPUser=jo\r\nPOPPass=" +
                            Scramble("pw", kAccountPasswordKey) +
                            "\r\nSound=" + std::string(sound) + "\r\n");
    }
    TCheckResult Check() {
        TCheckMail run(
            {dir / "accounts.ini", dir / "Mail", dir / "Attach", dir.path(), dir / "lmos.dat"}, pop,
            filters, feedback);
        return run.Run();
    }
};

TEST(MainFeedback, ACheckWithNewMailAnimatesPlaysTheSoundAndRestoresTheWindow) {
    MainRig rig;
    rig.Account("1");
    test::WriteFile(rig.dir / "ding.wav", "RIFF");
    rig.settings.Program.UserSound = true;
    rig.settings.Program.SoundFile = (rig.dir / "ding.wav").string();
    rig.pop.messages = {"From: a@example.com\r\nSubject: one\r\n\r\nHello\r\n"};
    const TTransferControls idle = rig.feedback.Busy.Controls();
    rig.pop.duringLogin = [&] {
        EXPECT_TRUE(rig.feedback.Busy.Busy());
        EXPECT_TRUE(rig.feedback.Busy.Controls().StopButtonVisible);
        EXPECT_EQ(rig.feedback.Tray.Current(), TTrayIconState::taChecking);
        EXPECT_EQ(rig.feedback.Status.ProgressText(), "0%");
        rig.clock.AdvanceMs(120000);
        EXPECT_FALSE(rig.feedback.AutoCheckDue()) << "no automatic check during a check";
    };

    const TCheckResult result = rig.Check();
    EXPECT_EQ(result.stored, 1);
    EXPECT_EQ(rig.platform.sounds, std::vector<std::string>{rig.settings.Program.SoundFile});
    EXPECT_EQ(rig.feedback.Tray.Current(), TTrayIconState::taNewMail);
    EXPECT_EQ(rig.feedback.Busy.Controls(), idle);
    EXPECT_EQ(rig.feedback.Status.Text(0), "");
    EXPECT_EQ(rig.feedback.Status.ProgressText(), "");
    EXPECT_NE(rig.feedback.Log.Html().find("Progress on"), std::string::npos);
    EXPECT_EQ(rig.view.panel0, "");
    ASSERT_FALSE(rig.view.log.empty());
    EXPECT_EQ(rig.view.log.front(), "1 Connecting to pop.example POP server for Home...");
    EXPECT_GE(rig.view.controls, 2);

    EXPECT_FALSE(rig.feedback.AutoCheckDue()) << "the interval counts from the check's end";
    rig.clock.AdvanceMs(60000);
    EXPECT_TRUE(rig.feedback.AutoCheckDue());
}

TEST(MainFeedback, TimerFollowsTheSettingsAsTheyChange) {
    MainRig rig;
    rig.settings.Mail.AutoCheck = false;
    rig.clock.AdvanceMs(10 * 60000);
    EXPECT_FALSE(rig.feedback.AutoCheckDue());
    rig.settings.Mail.AutoCheck = true;  // the options window turns it on
    rig.settings.Mail.AutoCheckTime = 2;
    EXPECT_FALSE(rig.feedback.AutoCheckDue()) << "counts from the change";
    rig.clock.AdvanceMs(2 * 60000);
    EXPECT_TRUE(rig.feedback.AutoCheckDue());
    rig.settings.Mail.AutoCheckTime = 0;
    rig.clock.AdvanceMs(60 * 60000);
    EXPECT_FALSE(rig.feedback.AutoCheckDue());
}

TEST(MainFeedback, NewMailSoundByAccountAndSettings) {
    struct Case {
        const char* why;
        const char* accountSound;
        bool userSound;
        bool fileExists;
        int messages;
        std::vector<std::string> sounds;
        TTrayIconState::Animation tray;
    } cases[] = {
        {"built-in sound", "1", false, false, 1, {""}, TTrayIconState::taNewMail},
        {"account with Sound off: animation, no sound",
         "0",
         false,
         false,
         1,
         {},
         TTrayIconState::taNewMail},
        {"UserSound with a missing file: silence",
         "1",
         true,
         false,
         1,
         {},
         TTrayIconState::taNewMail},
        {"nothing new", "1", false, false, 0, {}, TTrayIconState::taIdle},
    };
    for (const Case& c : cases) {
        MainRig rig;
        rig.Account(c.accountSound);
        if (c.fileExists) test::WriteFile(rig.dir / "ding.wav", "RIFF");
        rig.settings.Program.UserSound = c.userSound;
        rig.settings.Program.SoundFile = (rig.dir / "ding.wav").string();
        for (int i = 0; i < c.messages; ++i) rig.pop.messages.push_back("Subject: m\r\n\r\nx\r\n");
        rig.Check();
        EXPECT_EQ(rig.platform.sounds, c.sounds) << c.why;
        EXPECT_EQ(rig.feedback.Tray.Current(), c.tray) << c.why;
    }
}

TEST(MainFeedback, StopReachesTheClientOnlyWhileARunHoldsIt) {
    MainRig rig;
    rig.Account("1");
    rig.pop.duringLogin = [&] { EXPECT_TRUE(rig.feedback.CancelTransfer()); };
    rig.Check();
    EXPECT_EQ(rig.pop.cancels, 1);
    EXPECT_FALSE(rig.feedback.CancelTransfer());
    EXPECT_EQ(rig.pop.cancels, 1);
}

TEST(MainFeedback, NoAccountsTipAndARunThatNeverAnimatesLeavesTheIconAlone) {
    MainRig rig;
    rig.Check();  // no accounts.ini
    EXPECT_EQ(rig.platform.tips, std::vector<std::string>{"No accounts have been setup"});
    EXPECT_FALSE(rig.feedback.Busy.Busy());
    EXPECT_EQ(rig.feedback.Tray.Current(), TTrayIconState::taIdle);

    // A run that fails before its end still leaves no check animation behind, and a new-mail
    // notice that was waiting stays.
    rig.feedback.Tray.CheckEnded(true);
    rig.feedback.SetBusy(true);
    rig.feedback.StartCheckAnimation();
    rig.feedback.SetBusy(false);
    EXPECT_EQ(rig.feedback.Tray.Current(), TTrayIconState::taNewMail);
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

struct QuietMainView : TFrmMainView {
    std::string panel2;
    void SetStatusText(int panel, std::string_view text) override {
        if (panel == 2) panel2 = text;
    }
};

TEST(MainFeedback, TheMainWindowShowingInGetsTheNewMessagesAndAShownOneEndsTheNotice) {
    MainRig rig;
    rig.Account("1");
    QuietMainView view;
    TFrmMain main(ProgramFolder{rig.dir.path()}, rig.platform, view);
    main.Starting = false;
    main.MainIndex().MailboxName = "In";
    main.Init();
    rig.pop.messages = {"From: a@example.com\r\nSubject: one\r\n\r\nHello\r\n"};

    TCheckMail run({rig.dir / "accounts.ini", rig.dir / "Mail", rig.dir / "Attach", rig.dir.path(),
                    rig.dir / "lmos.dat"},
                   rig.pop, rig.filters, main.Transfer());
    rig.pop.duringLogin = [&] {
        TMainHooks& hooks = main.Hooks;
        EXPECT_TRUE(hooks.TransferRunning());
        hooks.CancelTransfer();  // closing the window during a run cancels it
    };
    run.Run();
    EXPECT_EQ(rig.pop.cancels, 1);
    EXPECT_FALSE(main.Hooks.TransferRunning());
    EXPECT_EQ(main.MainIndex().RowCount(), 1);
    EXPECT_EQ(main.Transfer().Tray.Current(), TTrayIconState::taNewMail);
    EXPECT_EQ(rig.platform.sounds, std::vector<std::string>{""});

    ASSERT_TRUE(main.ShowMessage(main.MainIndex(), 0));
    EXPECT_EQ(main.Transfer().Tray.Current(), TTrayIconState::taIdle);
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

struct NoScripts : TScriptRunner {
    std::vector<std::string> runs;
    bool timerRunning = true;
    TAutoCheckTimer* timer = nullptr;
    void RunOnSelectedMessages(std::string_view name) override {
        runs.emplace_back(name);
        timerRunning = timer->Running();
        throw std::runtime_error("Script file not found");
    }
};

TEST(MainFeedback, MainWindowButtonsAndMessageAreaLiveInItsSettings) {
    test::TempDir dir;
    test::WriteFile(dir / "kivo.ini",
                    "[Scripts]\r\nButton3Script=Display Raw Message\r\n"
                    "Button3Desc=Raw Msg     - Display Raw Message\r\n");
    SoundPlatform platform;
    QuietMainView view;
    TFrmMain main(ProgramFolder{dir.path()}, platform, view);
    main.Hooks.InitUserButtons();
    EXPECT_EQ(main.UserButtons().Buttons[2].Caption, "Raw Msg    ");
    EXPECT_TRUE(main.UserButtons().QuickRunEnabled);

    main.Settings().Mail.AutoCheck = true;
    main.Transfer().ApplyTimerSettings();
    NoScripts scripts;
    scripts.timer = &main.Transfer().Timer;
    main.Transfer().StatusText(0, "Running script...");
    EXPECT_FALSE(main.BtnUser1Click("Button3", scripts));
    EXPECT_EQ(scripts.runs, std::vector<std::string>{"Display Raw Message"});
    EXPECT_FALSE(scripts.timerRunning) << "the script ran with the automatic check held off";
    EXPECT_TRUE(main.Transfer().Timer.Running());
    EXPECT_EQ(main.Transfer().Status.Text(0), "");
    EXPECT_EQ(main.Transfer().LastLevel(), 2);

    main.Settings().Position.IndexHeight = 180;
    main.MessageArea().ToggleZoom();
    EXPECT_TRUE(main.Settings().Position.IndexMin);
    EXPECT_EQ(main.Settings().Position.Restore, 180);
}

}  // namespace
}  // namespace kivo
