#include <gtest/gtest.h>

#include "app/KivoSettings.h"
#include "app/startupmailer.h"
#include "base/inifile.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

// Messages dropped on a mini address list entry are forwarded to it unless the settings say
// bounce.
TEST(DragAndDropOptions, ForwardUnlessTheSettingsSayBounce) {
    test::TempDir dir;
    EXPECT_TRUE(TDragAndDropOptions::Read(IniFile(dir / "none.ini")).Forward);
    test::WriteFile(dir / "kivo.ini", "[DragAndDrop]\r\nForward=0\r\n");
    EXPECT_FALSE(TDragAndDropOptions::Read(IniFile(dir / "kivo.ini")).Forward);
}

class RecordingView : public TSettingsView {
  public:
    void Warning(std::string_view text) override { warnings.emplace_back(text); }
    void Error(std::string_view text, TSettingsPage page) override {
        errors.emplace_back(text);
        errorPage = page;
    }
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
    TSettingsPage errorPage = TSettingsPage::Settings;
};

struct OptionsFixture : ::testing::Test {
    test::TempDir dir;
    fs::path ini = dir / "kivo.ini";
    TSettings settings = DefaultSettings(dir.path());
    RecordingView view;
    TfrmSettings window{settings, ini, view};
};

TEST_F(OptionsFixture, OpensOnTheSettingsAndOkStoresEveryPageInKivoIni) {
    test::WriteFile(ini,
                    "[Mail]\r\nPrompt=0\r\n[Scripts]\r\nIncoming=\"\"\"a b\"\"\"\r\n"
                    "[DragAndDrop]\r\nAutoOut=1\r\nForward=0\r\n[Defaults]\r\nDefSig=0\r\n"
                    "DefSigOn=1\r\nFormat=2\r\nDefFormat=0\r\nSigLast=0\r\n");
    settings.Mail.AutoCheckTime = 7;
    settings.Program.VertShade = 1 | 8;
    settings.Program.Lookup = 4;
    settings.Mail.RAS = "Gone";
    window.FormShow({"Home", "Office"}, TSettingsPage::Colours);
    TSettingsFields& f = window.Fields();
    EXPECT_EQ(window.Page(), TSettingsPage::Colours);
    EXPECT_EQ(f.AutoCheckTime, "7");
    EXPECT_EQ(f.RAS, "Home");  // the saved entry is gone: the first one
    EXPECT_EQ(f.VertShade, (std::array<bool, 6>{true, false, false, true, false, false}));
    EXPECT_FALSE(f.LookupFirst);
    EXPECT_TRUE(f.LookupEmail);
    EXPECT_TRUE(f.DragAndDrop.AutoOut);
    EXPECT_FALSE(f.DragAndDrop.Forward);
    EXPECT_EQ(f.Signature, TSignatureDefault::AlwaysOn);
    EXPECT_EQ(f.Format, (TFormatDefault{false, 2}));
    EXPECT_EQ(f.Swatch, 1);  // 0xFFE0E0, the default shade, is swatch 1

    f.AutoCheck = true;
    f.AutoCheckTime = " 12 ";
    f.RAS = "Office";
    f.SMTP = "smtp.example.test";
    f.LookupFirst = f.LookupLast = f.LookupEmail = false;
    f.VertShade = {false, true, false, false, false, true};
    f.HorShade = true;
    f.HorLines = "0";
    f.Grid = true;
    f.Privacy = true;
    f.PrivacyPass = f.PrivacyPassAgain = "s3cret";
    f.IndexFont = "DejaVu Serif";
    f.IndexFontSize = "14";
    f.MessageFontSize = "12";
    f.Signature = TSignatureDefault::AlwaysOff;
    f.Format = {true, 0};
    f.DragAndDrop.AutoScript = false;
    f.Style.fontBody = true;
    f.Style.mainFont = "Courier";
    ASSERT_TRUE(window.BtnOKClick());
    EXPECT_TRUE(view.warnings.empty());

    const TProgramSettings& p = settings.Program;
    EXPECT_TRUE(settings.Mail.AutoCheck);
    EXPECT_EQ(settings.Mail.AutoCheckIntervalMs(), 12 * 60000);
    EXPECT_EQ(settings.Mail.RAS, "Office");
    EXPECT_EQ(p.Lookup, 0);
    EXPECT_EQ(p.VertShade, 2 | 32);
    EXPECT_EQ(p.HorLines, 1);  // 0 lines per band become 1
    EXPECT_EQ(p.IndexFont, "DejaVu Serif");
    EXPECT_EQ(p.IndexFontSize, 14);
    EXPECT_EQ(p.MessageFontSize, 12);
    EXPECT_EQ(settings.Mail.PrivacyPass, "s3cret");

    // The file holds the settings, the window's own sections, and keeps the rest.
    const IniFile saved(ini);
    EXPECT_EQ(saved.ReadString("Mail", "SMTP", ""), "smtp.example.test");
    EXPECT_EQ(saved.ReadInteger("Mail", "AutoCheckTime", 0), 12);
    EXPECT_EQ(saved.ReadInteger("Program", "Lookup", 7), 0);
    EXPECT_EQ(saved.ReadString("Program", "IndexFont", ""), "DejaVu Serif");
    EXPECT_NE(saved.ReadString("Mail", "PrivacyPass", ""), "s3cret");  // scrambled
    EXPECT_EQ(saved.ReadString("Scripts", "Incoming", ""), "\"\"a b\"\"");
    EXPECT_FALSE(saved.ReadBool("DragAndDrop", "AutoScript", true));
    EXPECT_FALSE(saved.ReadBool("DragAndDrop", "Forward", true));
    EXPECT_FALSE(saved.ReadBool("Defaults", "DefSigOn", true));
    EXPECT_FALSE(saved.ReadBool("Defaults", "DefSig", true));
    EXPECT_TRUE(saved.ReadBool("Defaults", "DefFormat", false));
    EXPECT_EQ(saved.ReadInteger("Defaults", "Format", 9), 0);
    EXPECT_EQ(saved.ReadString("Defaults", "MainFont", ""), "Courier");
    EXPECT_FALSE(saved.ReadBool("Defaults", "SigLast", true));

    // Reopened, the window shows what was stored, "Always off" among it; a system without
    // dial-up entries keeps the stored one.
    window.FormShow({});
    EXPECT_EQ(window.Fields().RAS, "Office");
    EXPECT_EQ(window.Fields().Signature, TSignatureDefault::AlwaysOff);
    EXPECT_EQ(window.Fields().HorLines, "1");
    EXPECT_FALSE(window.Fields().DragAndDrop.AutoScript);
}

TEST_F(OptionsFixture, ABadNumberStopsOkWithNothingAppliedOrSaved) {
    struct Case {
        const char* minutes;
        const char* lines;
        TSettingsPage page;  // where the bad value is
    } cases[] = {
        {"ten", "3", TSettingsPage::Misc},
        {"", "3", TSettingsPage::Misc},
        {"5", "3x", TSettingsPage::IndexShading},
        {"99999999999", "3", TSettingsPage::Misc},  // beyond a 32-bit number
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.minutes + std::string("/") + c.lines);
        const TSettings before = settings;
        window.FormShow({});
        window.Fields().SMTP = "changed.example.test";
        window.Fields().Grid = true;
        window.Fields().AutoCheckTime = c.minutes;
        window.Fields().HorLines = c.lines;
        view.errors.clear();
        EXPECT_FALSE(window.BtnOKClick());
        ASSERT_EQ(view.errors.size(), 1u);
        EXPECT_EQ(view.errorPage, c.page);
        EXPECT_EQ(settings, before);
        EXPECT_FALSE(fs::exists(ini));
    }
}

TEST_F(OptionsFixture, PasswordsThatDifferKeepTheOldOneAndTheRestApplies) {
    settings.Mail.PrivacyPass = "old";
    window.FormShow({});
    EXPECT_EQ(window.Fields().PrivacyPass, "old");
    EXPECT_EQ(window.Fields().PrivacyPassAgain, "old");
    window.Fields().PrivacyPass = "new";
    window.Fields().PrivacyPassAgain = "neu";
    window.Fields().ShowHints = false;
    ASSERT_TRUE(window.BtnOKClick());
    EXPECT_EQ(view.warnings, std::vector<std::string>{std::string(kPasswordsDifferText)});
    EXPECT_EQ(settings.Mail.PrivacyPass, "old");
    EXPECT_FALSE(settings.Program.ShowHints);
}

TEST_F(OptionsFixture, HangUpIsOffWhileDiallingIsOffAndBadFontSizesChangeNoSize) {
    settings.Mail.AutoHangup = true;
    window.FormShow({});
    window.Fields().AutoDial = false;
    EXPECT_FALSE(window.AutoHangupEnabled());
    window.Fields().IndexFontSize = "11";
    window.Fields().MessageFontSize = "big";
    ASSERT_TRUE(window.BtnOKClick());
    EXPECT_FALSE(settings.Mail.AutoHangup);
    EXPECT_EQ(settings.Program.IndexFontSize, 9);
    EXPECT_EQ(settings.Program.MessageFontSize, 10);

    window.FormShow({});
    window.Fields().IndexFontSize = "0";  // no font is zero points high
    ASSERT_TRUE(window.BtnOKClick());
    EXPECT_EQ(settings.Program.IndexFontSize, 9);
}

TEST_F(OptionsFixture, PresetsSetEveryColourAndAColourButtonClearsOnlyTheChoice) {
    window.FormShow({});
    window.SelectPreset(2);  // Noon
    TSettingsFields& f = window.Fields();
    EXPECT_EQ(f.Preset, 2);
    EXPECT_EQ(f.MsgBackColor, 0xA2D2DFu);
    EXPECT_EQ(f.TagColor, 0xFFAEA6u);
    EXPECT_EQ(f.Swatch, 6);
    EXPECT_EQ(f.ShadeColor(), 0x7ABED1u);
    window.SetColour(TColourSlot::MessageText, 0x123456);
    EXPECT_EQ(f.Preset, -1);
    EXPECT_EQ(f.MsgBackColor, 0xA2D2DFu);
    EXPECT_EQ(f.MessageFontColor, 0x123456u);

    // Keys 1 to 6 choose a swatch on the shading page, not in its number field.
    EXPECT_FALSE(window.SwatchKey('2', false));  // another page is shown
    window.ShowPage(TSettingsPage::IndexShading);
    EXPECT_FALSE(window.SwatchKey('2', true));
    EXPECT_TRUE(window.SwatchKey('2', false));
    EXPECT_FALSE(window.SwatchKey('7', false));
    EXPECT_EQ(f.ShadeColor(), kShadeSwatches[1]);
    window.CustomColour(0x010203);
    ASSERT_TRUE(window.BtnOKClick());
    EXPECT_EQ(settings.Program.ShadeColor, 0x010203u);
    EXPECT_EQ(settings.Program.MessageFontColor, 0x123456u);

    // A stored shade that is no swatch comes back in swatch 6.
    window.FormShow({});
    EXPECT_EQ(window.Fields().Swatch, 6);
    EXPECT_EQ(window.Fields().CustomSwatch, 0x010203u);
}

class FailingMailer : public TNoDefaultMailer {
  public:
    void Register() override {
        if (fail) throw std::runtime_error("xdg-mime is not installed");
    }
    bool fail = true;
};

TEST_F(OptionsFixture, TheMailerButtonSaysDoneOnlyWhenKivoBecameTheMailer) {
    window.FormShow({});
    FailingMailer mailer;
    window.MakeDefaultMailer(mailer);
    EXPECT_EQ(window.Fields().MailerButton, "Make Kivo &Default Mailer");
    EXPECT_EQ(view.warnings, std::vector<std::string>{"xdg-mime is not installed"});
    mailer.fail = false;
    window.MakeDefaultMailer(mailer);
    EXPECT_EQ(window.Fields().MailerButton, "Done!");
}

TEST(OptionsPages, TreeCaptionsNameThePages) {
    EXPECT_EQ(SettingsPageNamed("Fonts"), TSettingsPage::Fonts);
    EXPECT_EQ(SettingsPageNamed("colours"), TSettingsPage::Colours);
    EXPECT_EQ(SettingsPageNamed("Nothing"), std::nullopt);
}

}  // namespace
}  // namespace kivo
