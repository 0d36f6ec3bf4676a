#include "app/settings.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "base/scramble.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

class Settings : public testing::Test {
  protected:
    TSettings Load(std::string_view text, TScreen screen = {}) {
        test::WriteFile(ini(), text);
        return LoadIni(IniFile(ini()), dir.path(), screen);
    }
    fs::path ini() const { return dir / "kivo.ini"; }

    test::TempDir dir;
};

TEST_F(Settings, MissingFileGivesDefaultsAndMakesTheAttachmentFolder) {
    const TSettings s = LoadIni(IniFile(ini()), dir.path());
    EXPECT_EQ(s, DefaultSettings(dir.path()));
    EXPECT_TRUE(fs::is_directory(dir / "Attach"));
    EXPECT_EQ(s.Mail.AttachPath, dir / "Attach" / "");
    EXPECT_TRUE(s.Mail.ViewAttach);
    EXPECT_TRUE(s.Mail.Prompt);
    EXPECT_EQ(s.Mail.AutoCheckIntervalMs(), 5 * 60000);
    EXPECT_EQ(s.Program.Opened, "In");
    EXPECT_EQ(s.Program.MessageFontColor, 0x80000008u);
    EXPECT_EQ(s.Position.Col, (std::array<int, 6>{150, 100, 80, 40, 80, 50}));
    EXPECT_FALSE(s.Position.ColSaved);                 // the window fits the columns to its font
    EXPECT_FALSE(s.Position.IndexHeight.has_value());  // the window works it out
}

// A value that is there but cannot be read keeps its default, and is said.
TEST_F(Settings, ValuesThatCannotBeReadAreListed) {
    test::WriteFile(ini(),
                    "[Mail]\r\nAutoCheckTime=soon\r\nHeaders=1\r\nAutoCheck=yes\r\n"
                    "[Program]\r\nTagColor=red\r\n[Position]\r\nIndexHeight=tall\r\n"
                    "Width=700\r\n");
    std::vector<std::string> problems;
    const TSettings s = LoadIni(IniFile(ini()), dir.path(), {}, &problems);
    EXPECT_EQ(s.Mail.AutoCheckTime, 5);
    EXPECT_TRUE(s.Mail.Headers);
    EXPECT_EQ(s.Position.Width, 700);
    EXPECT_EQ(problems, (std::vector<std::string>{
                            "[Mail] AutoCheck=yes cannot be read; the default is used",
                            "[Mail] AutoCheckTime=soon cannot be read; the default is used",
                            "[Program] TagColor=red cannot be read; the default is used",
                            "[Position] IndexHeight=tall cannot be read; the default is used",
                        }));
    problems.clear();
    Load("[Mail]\r\nAutoCheckTime=7\r\n");
    LoadIni(IniFile(ini()), dir.path(), {}, &problems);
    EXPECT_TRUE(problems.empty());
}

TEST_F(Settings, WindowDefaultsFollowTheScreen) {
    struct Case {
        TScreen screen;
        int left, top, width, height;
    } cases[] = {
        {{800, 600}, 5, 5, 790, 560},    // 800 wide is not "wider than 800"
        {{801, 600}, 20, 20, 693, 520},  // (801 - 640) / 3 + 640, (600 - 480) / 3 + 480
        {{1024, 768}, 20, 20, 768, 576},
    };
    for (const auto& c : cases) {
        const TPositionSettings q = DefaultSettings(dir.path(), c.screen).Position;
        EXPECT_EQ(q.Left, c.left) << c.screen.Width;
        EXPECT_EQ(q.Top, c.top) << c.screen.Width;
        EXPECT_EQ(q.Width, c.width) << c.screen.Width;
        EXPECT_EQ(q.Height, c.height) << c.screen.Width;
    }
}

TEST_F(Settings, TypedKeysAreReadWithTheirRules) {
    const std::string dialUp = Scramble("dial me", kDialUpPasswordKey);
    const std::string privacy = Scramble("hush", kPrivacyPasswordKey);
    // clang-format off
    const TSettings s = Load(
        "[mail]\r\n"
        "smtp=smtp.example.org\r\n"
        "Headers=1\r\n"
        "FastRead=7\r\n"              // any non-zero integer is true
        "ViewAttach=0\r\n"
        "QueryAttach=yes\r\n"         // not an integer: the default (true)
        "AutoCheck=1\r\n"
        "AutoCheckTime=0\r\n"         // a timer that never fires
        "RAS=\"Office line\"\r\n"     // one enclosing pair of quotes is removed
        "DialUpPass=" + dialUp + "\r\n"
        "PrivacyPass=" + privacy + "\r\n"
        "DefaultAccount=Work\r\n"
        "Prompt=0\r\n"
        "[Program]\r\n"
        "ButtonsShowing=abc\r\n"      // not an integer: the default
        "Lookup=-3\r\n"
        "Opened=\r\n"                 // empty counts as In
        "ShadeColor=-2147483643\r\n"  // a system colour, written signed
        "HorLines=0\r\n"              // raised to 1
        "MsgLinkColor=255\r\n"
        "IndexFont=Courier New\r\n"
        "[Position]\r\n"
        "Width=5000\r\n"              // reduced to the screen
        "Height=300\r\n"
        "IndexMin=1\r\n"
        "MessageMin=1\r\n"            // both set: only the list starts collapsed
        "Col3=61\r\n"
        "IndexHeight=222\r\n"
        "MbxDocked=F\r\n");
    // clang-format on
    EXPECT_EQ(s.Mail.SMTP, "smtp.example.org");
    EXPECT_TRUE(s.Mail.Headers);
    EXPECT_TRUE(s.Mail.FastRead);
    EXPECT_FALSE(s.Mail.ViewAttach);
    EXPECT_TRUE(s.Mail.QueryAttach);
    EXPECT_TRUE(s.Mail.AutoCheck);
    EXPECT_EQ(s.Mail.AutoCheckIntervalMs(), 0);
    EXPECT_EQ(s.Mail.RAS, "Office line");
    EXPECT_EQ(s.Mail.DialUpPass, "dial me");
    EXPECT_EQ(s.Mail.PrivacyPass, "hush");
    EXPECT_EQ(s.Mail.DefaultAccount, "Work");
    EXPECT_FALSE(s.Mail.Prompt);
    EXPECT_EQ(s.Program.ButtonsShowing, 12);
    EXPECT_EQ(s.Program.Lookup, -3);
    EXPECT_EQ(s.Program.Opened, "In");
    EXPECT_EQ(s.Program.ShadeColor, 0x80000005u);
    EXPECT_EQ(s.Program.HorLines, 1);
    EXPECT_EQ(s.Program.MsgLinkColor, 255u);
    EXPECT_EQ(s.Program.IndexFont, "Courier New");
    EXPECT_EQ(s.Position.Width, 1024);
    EXPECT_EQ(s.Position.Height, 300);
    EXPECT_TRUE(s.Position.IndexMin);
    EXPECT_FALSE(s.Position.MessageMin);
    EXPECT_EQ(s.Position.Col[3], 61);
    EXPECT_TRUE(s.Position.ColSaved);
    EXPECT_EQ(s.Position.IndexHeight, 222);
    EXPECT_EQ(s.Position.MbxDocked, "F");
}

TEST_F(Settings, PasswordsWithTheOtherKeyOrBrokenHexDoNotComeBackPlain) {
    const TSettings s = Load("[Mail]\r\nDialUpPass=" + Scramble("pw", kPrivacyPasswordKey) +
                             "\r\nPrivacyPass=4G21\r\n");
    EXPECT_NE(s.Mail.DialUpPass, "pw");
    EXPECT_EQ(s.Mail.PrivacyPass, "");
}

TEST_F(Settings, RoundTripKeepsOtherSectionsAndKeys) {
    const std::string foreign =
        "[Scripts]\r\nIncoming=\"\"\"Spam filter\"\",Sort\"\r\nButton1Script=Tidy\r\n"
        "[Defaults]\r\nMainFont=Verdana\r\n"
        "[DragAndDrop]\r\nAutoCopy=1\r\n";
    test::WriteFile(ini(),
                    "; my notes\r\n" + foreign + "[Position]\r\nOtherLeft=33\r\nDockMain=140\r\n");
    TSettings s = LoadIni(IniFile(ini()), dir.path());
    s.Mail.SMTP = "mail.example.org";
    s.Mail.DialUpPass = std::string(140, 'p');  // longer than 127: must come back whole
    s.Program.Opened = "Work/Alpha";
    s.Program.TagColor = 0x80000012;
    s.Position.IndexHeight = 200;
    s.Position.Col[5] = 77;
    s.Position.ColSaved = true;  // the widths are in the file from now on
    IniFile out(ini());
    SaveIni(s, out);
    out.UpdateFile();

    const std::string text = test::ReadFile(ini());
    EXPECT_NE(text.find(foreign), std::string::npos) << text;
    EXPECT_NE(text.find("; my notes"), std::string::npos);
    EXPECT_EQ(text.find("ppp"), std::string::npos);  // stored scrambled
    const IniFile back(ini());
    EXPECT_EQ(back.ReadString("Position", "OtherLeft", ""), "33");
    EXPECT_EQ(back.ReadString("Program", "XMailer", ""), "Kivo, v1.0");
    EXPECT_EQ(back.ReadString("Program", "Version", ""), "1.0");
    EXPECT_EQ(back.ReadString("Program", "TagColor", ""), "-2147483630");
    EXPECT_EQ(back.ReadString("Mail", "PrivacyPass", "?"), "");     // empty stays empty
    EXPECT_EQ(back.ReadString("Position", "DockMain", ""), "140");  // read only: left as found

    EXPECT_EQ(LoadIni(back, dir.path()), s);
}

TEST_F(Settings, EveryKeyIsWrittenSoAMissingOneShowsItsDefault) {
    IniFile out(ini());
    SaveIni(DefaultSettings(dir.path()), out);
    EXPECT_EQ(out.Keys("Mail").size(), 18u);
    EXPECT_EQ(out.Keys("Program").size(), 28u);
    // Every position key but the read-only dock sizes and the still unknown list height.
    EXPECT_EQ(out.Keys("Position").size(), 32u);
    EXPECT_FALSE(out.ValueExists("Position", "DockMain"));
    EXPECT_FALSE(out.ValueExists("Position", "IndexHeight"));
    EXPECT_EQ(out.ReadString("Mail", "AutoCheckTime", ""), "5");
    EXPECT_EQ(out.ReadString("Program", "MsgBackColor", ""), "-2147483643");
}

TEST_F(Settings, CutOrDamagedFileKeepsWhatWasReadAndDefaultsTheRest) {
    // A file cut short in the middle of a line, with NUL and 8-bit bytes before the cut.
    using namespace std::string_literals;
    const TSettings s = Load(
        "[Mail]\r\nSMTP=smtp.example.org\r\nRAS=\xe9t\xe9\r\n"
        "FastRead=1\0junk\r\n[Program]\r\nGrid=1\r\nMessageFo"s);
    EXPECT_EQ(s.Mail.SMTP, "smtp.example.org");
    EXPECT_EQ(s.Mail.RAS, "\xe9t\xe9");
    EXPECT_FALSE(s.Mail.FastRead);  // "1\0junk" is not an integer
    EXPECT_TRUE(s.Program.Grid);
    EXPECT_EQ(s.Program.MessageFont, "Arial");
    EXPECT_EQ(s.Position, DefaultSettings(dir.path()).Position);
}

TEST_F(Settings, OnlyTheDefaultAttachmentFolderIsMadeAndOnlyOneLevelDeep) {
    struct Case {
        std::string value;
        fs::path folder;
        bool made;
    } cases[] = {
        {(dir / "ATTACH").string() + "/", dir / "ATTACH", true},  // the default in other case
        {(dir / "Elsewhere").string(), dir / "Elsewhere", false},
        {(dir / "Attach" / "deeper").string(), dir / "Attach" / "deeper", false},
    };
    for (const auto& c : cases) {
        const TSettings s = Load("[Mail]\r\nAttachPath=" + c.value + "\r\n");
        EXPECT_EQ(s.Mail.AttachPath, c.value);
        EXPECT_EQ(fs::is_directory(c.folder), c.made) << c.value;
        fs::remove_all(dir / "Attach");
        fs::remove_all(dir / "ATTACH");
    }
}

}  // namespace
}  // namespace kivo
