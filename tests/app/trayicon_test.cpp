#include "app/trayicon.h"

#include <gtest/gtest.h>

#include "app/settings.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

std::vector<std::string> Pictures(TTrayIconState& icon, int count) {
    std::vector<std::string> pictures;
    for (int i = 0; i < count; ++i) {
        pictures.push_back(icon.Picture());
        icon.Tick();
    }
    return pictures;
}

TEST(TrayIcon, AnimationsTheirPicturesAndIntervals) {
    TTrayIconState icon;
    EXPECT_EQ(icon.Picture(), "TRAYICON_0");
    EXPECT_EQ(icon.IntervalMs(), 0);

    icon.StartCheck();
    EXPECT_EQ(icon.IntervalMs(), 100);
    EXPECT_EQ(Pictures(icon, 7),
              (std::vector<std::string>{"TRAYICONCHECK_1", "TRAYICONCHECK_2", "TRAYICONCHECK_3",
                                        "TRAYICONCHECK_4", "TRAYICONCHECK_5", "TRAYICONCHECK_6",
                                        "TRAYICONCHECK_1"}));
    // The counter stands at 7: the new-mail animation starts there (7 mod 4 = 3).
    icon.CheckEnded(true);
    EXPECT_EQ(icon.IntervalMs(), 200);
    EXPECT_EQ(Pictures(icon, 3),
              (std::vector<std::string>{"TRAYICONNEW_4", "TRAYICONNEW_1", "TRAYICONNEW_2"}));
    // Counter 10: sending runs 6 down to 1 from there.
    icon.StartSending();
    EXPECT_EQ(icon.IntervalMs(), 100);
    EXPECT_EQ(Pictures(icon, 3),
              (std::vector<std::string>{"TRAYICONCHECK_2", "TRAYICONCHECK_1", "TRAYICONCHECK_6"}));
    icon.SendingEnded();
    EXPECT_EQ(icon.Current(), TTrayIconState::taNewMail) << "the notice waits under a send";
}

TEST(TrayIcon, NewMailNoticeEndsWithAShownMessageOrACheckWithoutMail) {
    TTrayIconState icon;
    icon.StartCheck();
    icon.CheckEnded(true);
    icon.MessageShown();
    EXPECT_EQ(icon.Current(), TTrayIconState::taIdle);

    icon.StartCheck();
    icon.CheckEnded(true);
    icon.StartCheck();
    EXPECT_EQ(icon.Current(), TTrayIconState::taChecking);
    icon.CheckEnded(false);
    EXPECT_EQ(icon.Current(), TTrayIconState::taIdle);
    EXPECT_EQ(icon.Picture(), "TRAYICON_0");
}

TEST(TrayIcon, HideShowCaptionAndHint) {
    TTrayIconState icon;
    EXPECT_EQ(icon.HideShowCaption(), "&Hide Application");
    icon.ToggleApplication();
    EXPECT_TRUE(icon.ApplicationHidden());
    EXPECT_EQ(icon.HideShowCaption(), "S&how Application");
    icon.ToggleApplication();
    EXPECT_EQ(icon.HideShowCaption(), "&Hide Application");
    EXPECT_EQ(TrayIconHint(TTrayIconState::kHint), "Kivo");
    EXPECT_EQ(TrayIconHint(std::string(80, 'k')), std::string(62, 'k'));
}

TEST(TrayIcon, NewMailSoundChoice) {
    test::TempDir dir;
    test::WriteFile(dir / "ding.wav", "RIFF");
    std::filesystem::create_directory(dir / "folder.wav");
    struct Case {
        const char* why;
        bool userSound;
        std::string file;
        std::optional<std::string> sound;
    } cases[] = {
        {"built-in sound", false, "", std::string()},
        {"built-in even with a file named", false, (dir / "ding.wav").string(), std::string()},
        {"the user's file", true, (dir / "ding.wav").string(), (dir / "ding.wav").string()},
        {"missing file: silence, not the built-in", true, (dir / "gone.wav").string(),
         std::nullopt},
        {"no file named", true, "", std::nullopt},
        {"a folder is no sound", true, (dir / "folder.wav").string(), std::nullopt},
    };
    for (const Case& c : cases) {
        TProgramSettings program;
        program.UserSound = c.userSound;
        program.SoundFile = c.file;
        EXPECT_EQ(NewMailSound(program), c.sound) << c.why;
    }
}

}  // namespace
}  // namespace kivo
