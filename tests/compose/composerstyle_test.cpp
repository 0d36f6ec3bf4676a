// The composer's style commands as changes of its state, the default message style in
// [Defaults], and a styled composer's message from RTF to the HTML it queues.

#include "compose/composerstyle.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "compose/KivoSend.h"
#include "compose/rtf2html.h"
#include "compose/styledmail.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using Lines = std::vector<std::string>;
using test::TempDir;
using test::WriteFile;

// A body editor holding the format of its one selection.
struct FakeEditor : TRichEditor {
    std::string rtf;
    TCharFormat format;
    TAlignment alignment = TAlignment::Left;
    int indent = 0;
    bool bullets = false;
    std::uint32_t background = kWindowColour;
    std::string Rtf() const override { return rtf; }
    TCharFormat SelectionFormat() const override { return format; }
    void SetSelectionBold(bool on) override { format.bold = on; }
    void SetSelectionItalic(bool on) override { format.italic = on; }
    void SetSelectionUnderline(bool on) override { format.underline = on; }
    void SetSelectionFont(const std::string& name) override { format.font = name; }
    void SetSelectionSize(int points) override { format.size = points; }
    void SetSelectionColour(std::uint32_t colour) override { format.colour = colour; }
    void SetAlignment(TAlignment a) override { alignment = a; }
    int FirstIndent() const override { return indent; }
    void SetFirstIndent(int value) override { indent = value; }
    bool Bulleted() const override { return bullets; }
    void SetBulleted(bool on) override { bullets = on; }
    void SetDefaultFormat(const TCharFormat& f) override { format = f; }
    void SetBackground(std::uint32_t colour) override { background = colour; }
    void ReloadPlain(const TCharFormat& f, std::uint32_t back) override {
        format = f;
        background = back;
        alignment = TAlignment::Left;
        indent = 0;
        bullets = false;
    }
};

struct QuietView : TComposerView {
    void ShowTip(const std::string&) override {}
    void StatusText(const std::string&) override {}
    void ErrorLevel(int, const std::string&) override {}
};

struct KeepingOutbox : TComposerOutbox {
    std::vector<TmsMessage> queued;
    void Queue(const TmsMessage& m, std::optional<int>, const std::vector<std::string>&) override {
        queued.push_back(m);
    }
    void File(const TmsMessage&, std::optional<int>, bool) override {}
    void RunOutgoing(TmsMessage&) override {}
    void Send(TmsMessage&, const std::string&, const std::string&) override {}
};

struct NoChoice : TFrmChooseAddress {
    std::optional<std::string> Choose(std::string_view, const std::vector<std::string>&) override {
        return std::nullopt;
    }
};

class StyledComposer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(paths.signatureFolder);
        std::filesystem::create_directories(dir / "tmp");
        WriteFile(paths.settingsFile,
                  "[Mail]\r\nDefaultAccount=Work\r\n[Defaults]\r\nDefFormat=0\r\nFormat=2\r\n");
        WriteFile(paths.accountsFile,
                  "[Work]\r\nName=Jo\r\nEmail=jo@work.org\r\nSMTP=smtp.work.org\r\nSig=Office\r\n");
        WriteFile(paths.signatureFolder / "Office.txt", "-- \r\n%fullname%  <%email%>\r\n");
        composer.FirstActivation();
    }
    TempDir dir;
    TComposerPaths paths{dir / "kivo.ini", dir / "accounts.ini", dir / "address.ini", dir / "Mail",
                         dir / "Signatures"};
    QuietView view;
    KeepingOutbox outbox;
    NoChoice chooser;
    TfrmSend composer{paths, view, outbox, chooser};
    FakeEditor editor;
    TComposerStyle style{composer, editor, TCharFormat{}, kWindowColour};
};

TEST_F(StyledComposer, CommandsActOnTheRightPane) {
    composer.SetFormat(true, false);
    style.Bold(true);
    EXPECT_TRUE(editor.format.bold);
    EXPECT_TRUE(composer.Styled()) << "a style command switches Styled on";
    EXPECT_TRUE(composer.Plain());

    style.SignatureEntered();
    style.ItalicMenu();
    EXPECT_TRUE(style.State().sigFont.italic) << "the focused signature takes the styles";
    EXPECT_FALSE(editor.format.italic);
    style.FontName("Courier");
    style.FontSizeLevel(4);
    EXPECT_EQ(style.State().sigFont.font, "Courier");
    EXPECT_EQ(style.State().sigFont.size, 18);
    EXPECT_TRUE(style.State().sigFontChanged);
    style.FontColour(Rgb(0, 0, 255));
    EXPECT_EQ(editor.format.colour, Rgb(0, 0, 255)) << "the pane was not left yet";

    style.SignatureLeft();
    style.Underline(true);
    EXPECT_TRUE(editor.format.underline) << "only a focused signature takes the styles";
    style.FontColour(Rgb(255, 0, 0));
    EXPECT_EQ(style.State().sigFont.colour, Rgb(255, 0, 0));
    EXPECT_TRUE(style.State().sigColourSet);
    style.FontName("Times");
    EXPECT_EQ(style.State().sigFont.font, "Times") << "entered after the body: still the signature";

    style.BodyEntered();
    style.FontName("Verdana");
    style.FontSizeLevel(0);
    style.FontColour(Rgb(0, 128, 0));
    EXPECT_EQ(editor.format.font, "Verdana");
    EXPECT_EQ(editor.format.size, 6);
    EXPECT_EQ(editor.format.colour, Rgb(0, 128, 0));
    EXPECT_EQ(style.State().sigFont.font, "Times");
}

TEST_F(StyledComposer, ParagraphCommandsAndButtons) {
    style.Justify(TAlignment::Center);
    EXPECT_EQ(editor.alignment, TAlignment::Center);
    style.Indent();
    style.Indent();
    style.Unindent();
    EXPECT_EQ(editor.indent, 20);
    editor.indent = 15;
    style.Unindent();
    EXPECT_EQ(editor.indent, 15) << "less than one step stays";
    style.ToggleBullets();
    EXPECT_TRUE(editor.bullets);
    EXPECT_TRUE(style.BulletsDown());
    editor.format.bold = true;
    editor.bullets = false;
    style.SelectionChanged();
    EXPECT_TRUE(style.BoldDown());
    EXPECT_FALSE(style.BulletsDown());
    style.BoldMenu();
    EXPECT_FALSE(editor.format.bold);

    style.BackgroundColour(Rgb(1, 2, 3));
    EXPECT_EQ(editor.background, Rgb(1, 2, 3));
    EXPECT_FALSE(style.State().defaultBackground) << "the toolbar's colour stays out of the page";
    style.ClearAllFormatting();
    EXPECT_FALSE(composer.Styled());
    EXPECT_TRUE(composer.Plain());
    EXPECT_EQ(editor.background, kWindowColour);
    EXPECT_EQ(editor.format, TCharFormat{});
}

TEST_F(StyledComposer, DefaultStyleIsAppliedAndSaved) {
    IniFile settings(paths.settingsFile);
    TMessageStyle defaults;
    defaults.backColour = true;
    defaults.backCol = Rgb(255, 128, 128);
    defaults.mainColour = true;
    defaults.mainCol = Rgb(0, 0, 128);
    defaults.fontBody = true;
    defaults.mainFont = "Georgia";
    defaults.mainStyle = kStyleBold | kStyleUnderline;
    defaults.mainSize = 3;
    defaults.sigColour = true;
    defaults.sigCol = Rgb(9, 9, 9);
    defaults.fontSig = true;
    defaults.sigFont = "Courier";
    defaults.sigStyle = kStyleItalic;
    defaults.sigSize = 1;
    defaults.Write(settings);
    settings.UpdateFile();

    style.ApplyDefaults(TMessageStyle::Read(IniFile(paths.settingsFile)));
    EXPECT_EQ(editor.background, Rgb(255, 128, 128));
    EXPECT_EQ(editor.format, (TCharFormat{"Georgia", 14, Rgb(0, 0, 128), true, false, true}));
    EXPECT_TRUE(style.BoldDown());
    const TStyleState& s = style.State();
    EXPECT_TRUE(s.defaultBackground && s.sigColourSet && s.defaultSigFont);
    EXPECT_FALSE(s.sigFontChanged);
    EXPECT_EQ(s.sigFont, (TCharFormat{"Courier", 8, Rgb(9, 9, 9), false, true, false}));

    // Saved again from a changed composer: what a new composer will start with.
    style.BodyEntered();
    style.FontSizeLevel(6);
    composer.SetSignatureOn(false);
    composer.SetFormat(true, true);
    IniFile saved(dir / "saved.ini");
    style.SaveAsDefault(saved);
    const TMessageStyle back = TMessageStyle::Read(saved);
    EXPECT_EQ(back.mainSize, 6);
    EXPECT_EQ(back.mainFont, "Georgia");
    EXPECT_EQ(back.mainStyle, kStyleBold | kStyleUnderline);
    EXPECT_EQ(back.sigSize, 1);
    EXPECT_EQ(back.sigStyle, kStyleItalic);
    EXPECT_EQ(back.backCol, Rgb(255, 128, 128));
    EXPECT_TRUE(back.backColour && back.mainColour && back.sigColour && back.fontBody &&
                back.fontSig);
    EXPECT_FALSE(saved.ReadBool("Defaults", "DefSig", true));
    EXPECT_FALSE(saved.ReadBool("Defaults", "DefSigOn", true));
    EXPECT_FALSE(saved.ReadBool("Defaults", "DefFormat", true));
    EXPECT_EQ(saved.ReadInteger("Defaults", "Format", -1), 1);
}

TEST_F(StyledComposer, QueuesTheHtmlOfTheRichText) {
    editor.rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl\\red0\\green0\\blue0;}\r\n"
        "\\deflang1033\\pard\\plain\\f0\\fs20\\b Hi\\plain\\f0\\fs20  see http://k.org\r\n"
        "\\par From  here\r\n\\par }\r\n";
    TStyledMail styled(editor, style.State(), 10, dir / "tmp");
    composer.SetStyledBody(&styled);
    composer.SetTo("ann@a.org");
    composer.SetBodyText("Hi see http://k.org\r\nFrom  here");
    EXPECT_TRUE(composer.Styled());
    EXPECT_FALSE(composer.Plain());
    ASSERT_TRUE(composer.Queue());
    const TmsMessage& m = outbox.queued.at(0);
    EXPECT_EQ(m.StoredContentType(), "text/html");
    EXPECT_EQ(m.Body(),
              (Lines{"<html><head></head>", "<body>", "<table><tr><td>", "",
                     "<P><B>Hi</B> see <a href=\"http://k.org\">http://k.org</a>",
                     "<P>From&nbsp;&nbsp;here", "</font></td></tr></table><table><tr><td><br>",
                     "-- <br>", "Jo&nbsp;&nbsp;&lt;jo@work.org&gt;<br>", "</td></tr></table>"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << "the RTF file is removed";

    // Plain and styled: the text body with the HTML beside it.
    composer.SetFormat(true, true);
    ASSERT_TRUE(composer.Queue());
    const TmsMessage& both = outbox.queued.at(1);
    EXPECT_EQ(both.Body().at(0), "Hi see http://k.org");
    ASSERT_EQ(both.Attachments().Count(), 1u);
    EXPECT_NE(both.Attachments().Items(0).Data().find("<P><B>Hi</B>"), std::string::npos);

    // An RTF naming a colour it has no entry for stops the message.
    editor.rtf = "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}\\deflang1033\\cf3 x\\par }";
    EXPECT_THROW(composer.Queue(), EListError);
    EXPECT_EQ(outbox.queued.size(), 2u);
}

}  // namespace
}  // namespace kivo
