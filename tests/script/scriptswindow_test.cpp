// The filters and scripts window's pages, driven as a person would through a recording view.

#include "script/scriptswindow.h"

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/inifile.h"
#include "script/builtin.h"
#include "script/commandhelp.h"
#include "script/scripthelp.h"
#include "tests/script/scriptfixture.h"
#include "tests/store/storetest.h"

namespace kivo::test {
namespace {

class RecordingScriptsView : public TScriptsView {
  public:
    std::vector<std::string> names;
    std::vector<std::string> incoming, outgoing;
    std::string setupScript = "<none>";
    TUserSettings setup;
    std::string editorScript = "<none>";
    std::vector<std::string> editorLines;
    TDebugColumns debug;
    int working = 0;
    TButtonRows buttons;
    std::vector<TScriptsPage> pages;
    std::vector<TScriptSubPage> subPages;
    std::optional<THelpMatch> help;
    int buttonsChanged = 0;
    bool hidden = false;

    void ShowScriptNames(const std::vector<std::string>& n) override { names = n; }
    void ShowFilterLists(const std::vector<std::string>& in,
                         const std::vector<std::string>& out) override {
        incoming = in;
        outgoing = out;
    }
    void ShowSetup(std::string_view s, const TUserSettings& settings) override {
        setupScript = s;
        setup = settings;
    }
    void ShowEditor(std::string_view s, const std::vector<std::string>& lines) override {
        editorScript = s;
        editorLines = lines;
    }
    void ShowDebugWorking() override { ++working; }
    void ShowDebug(const TDebugColumns& c) override { debug = c; }
    void ShowButtons(const TButtonRows& rows) override { buttons = rows; }
    void ShowPage(TScriptsPage p) override { pages.push_back(p); }
    void ShowSubPage(TScriptSubPage p) override { subPages.push_back(p); }
    void SelectHelp(const THelpMatch& m) override { help = m; }
    void OpenDragAndDropOptions() override {}
    void UserButtonsChanged() override { ++buttonsChanged; }
    void HideWindow() override { hidden = true; }
};

class ScriptsWindowTest : public ::testing::Test {
  protected:
    ScriptsWindowTest() : scripts(f.paths, f.platform, f.host) {
        SaveBuiltIn(f.paths.scriptFolder);
    }
    TScriptsWindow Window() {
        return TScriptsWindow(scripts, f.platform, view, [this] { return now; });
    }
    std::string Ini(const char* key) {
        return IniFile(f.paths.settingsFile).ReadString("Scripts", key, "<missing>");
    }

    ScriptFixture f;
    TFrmScripts scripts;
    RecordingScriptsView view;
    std::chrono::steady_clock::time_point now{};
};

TEST_F(ScriptsWindowTest, ShowingDropsMissingScriptsAndUnknownButtons) {
    WriteFile(f.paths.settingsFile,
              "[Scripts]\r\nIncoming=\"\"Filter Message\",Gone,\"Vacation Message\"\"\r\n"
              "Button1Script= Calculator \r\nButton1Desc= Calc \r\nButton2Script=Gone\r\n"
              "Button2Desc=Lost\r\n");
    TScriptsWindow window = Window();
    window.Show();
    EXPECT_EQ(view.names.size(), 9u);
    EXPECT_EQ(view.incoming, (std::vector<std::string>{"Filter Message", "Vacation Message"}));
    EXPECT_EQ(view.buttons[0], (TButtonRow{"Calculator", "Calc"}));
    EXPECT_EQ(view.buttons[1], (TButtonRow{}));

    // Closing writes the cleaned lists back, quoted as a whole, and the twenty button keys.
    EXPECT_TRUE(window.Close());
    EXPECT_EQ(FromCommaText(Ini("Incoming")), view.incoming);
    EXPECT_EQ(Ini("Button2Script"), "");
    EXPECT_EQ(Ini("Button0Desc"), "");
    EXPECT_EQ(view.buttonsChanged, 1);
    EXPECT_TRUE(view.hidden);
}

TEST_F(ScriptsWindowTest, SettingsPageEditsTheListsInPlace) {
    TScriptsWindow window = Window();
    window.Show();
    for (const char* n : {"A", "B", "C", "D"}) window.Add(TFilterList::Outgoing, n);
    window.Add(TFilterList::Outgoing, "");
    EXPECT_EQ(window.MoveUp(TFilterList::Outgoing, {0, 2}), (std::vector<int>{0, 1}));
    EXPECT_EQ(view.outgoing, (std::vector<std::string>{"A", "C", "B", "D"}));
    EXPECT_EQ(window.MoveDown(TFilterList::Outgoing, {2, 3}), (std::vector<int>{2, 3}));
    EXPECT_EQ(window.MoveDown(TFilterList::Outgoing, {0}), (std::vector<int>{1}));
    EXPECT_EQ(view.outgoing, (std::vector<std::string>{"C", "A", "B", "D"}));
    window.Remove(TFilterList::Outgoing, {3, 0, 3});
    EXPECT_EQ(view.outgoing, (std::vector<std::string>{"A", "B"}));

    // Setup for one selected entry, else for the "Add:" choice.
    window.SetupFromList(TFilterList::Outgoing, {0, 1}, "Filter Message");
    EXPECT_EQ(view.setupScript, "Filter Message");
    EXPECT_EQ(view.pages.back(), TScriptsPage::Setup);
}

TEST_F(ScriptsWindowTest, SetupPageWritesDataSettingsBackIntoTheScript) {
    TScriptsWindow window = Window();
    window.Show();
    window.ChooseSetupScript("Filter Message");
    ASSERT_TRUE(view.setup.data[1].present);
    EXPECT_EQ(view.setup.data[1].description, "What word should I look for");
    EXPECT_FALSE(view.setup.HasFiles());
    window.ChooseEditorScript("Filter Message");

    window.DataSettingsEdited({"Subject", "offer", "Junk", "No"});
    const std::vector<std::string> lines =
        LoadScriptLines(f.paths.scriptFolder / "Filter Message.kiv");
    // The marker comment of a rewritten line is gone; the value is written as it is.
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "External $userdata2 \"What word should I look for\" \"offer\""),
              lines.end());
    EXPECT_EQ(view.editorLines, lines);
    EXPECT_EQ(CollectUserSettings(lines).data[3].value, "No");
    // The edited file changes nothing for auto scripts: they use the built-in text.
    const std::vector<std::string> builtIn = FilterMessageTemplate();
    EXPECT_TRUE(std::any_of(builtIn.begin(), builtIn.end(), [](const std::string& line) {
        return line.find("{ID2}") != std::string::npos;
    }));

    // A script without settings; a declaration missing from a script goes first.
    window.ChooseSetupScript("Calculator");
    EXPECT_TRUE(view.setup.Empty());
    EXPECT_EQ(WriteBackDataSettings({"Beep"},
                                    [] {
                                        TUserSettings s;
                                        s.data[2] = {true, "Where", "x"};
                                        return s;
                                    }()),
              (std::vector<std::string>{"External $userdata3 \"Where\" \"x\"", "Beep"}));
}

TEST_F(ScriptsWindowTest, FileSettingOpensItsTemplateInTheMailFolder) {
    TScriptsWindow window = Window();
    window.Show();
    window.ChooseSetupScript("Vacation Message");
    ASSERT_TRUE(view.setup.HasFiles());
    window.OpenUserFile(0);
    ASSERT_EQ(f.platform.opened.size(), 1u);
    EXPECT_EQ(f.platform.opened[0], (f.paths.mailFolder / "vacation.txt").string());
    EXPECT_TRUE(std::filesystem::exists(f.paths.mailFolder / "vacation.txt"));
}

TEST_F(ScriptsWindowTest, SaveRefusesBadNamesAsksBeforeOverwritingAndRefills) {
    TScriptsWindow window = Window();
    window.Show();
    window.Add(TFilterList::Incoming, "Filter Message");  // unsaved list change
    window.Save("Bad/Name", {"Beep"});
    EXPECT_EQ(f.platform.messages.back(), "Invalid filename! Cannot use \\/:*?\"<>|");
    window.Save("   ", {"Beep"});

    window.Save(" Mine ", {"Set $a 1"});
    EXPECT_EQ(ReadFile(f.paths.scriptFolder / "Mine.kiv"), "Set $a 1\r\n");
    EXPECT_EQ(window.EditorScript(), "Mine");
    EXPECT_NE(std::find(view.names.begin(), view.names.end(), "Mine"), view.names.end());
    // The list change made before the save was written, not lost in the refill.
    EXPECT_EQ(view.incoming, (std::vector<std::string>{"Filter Message"}));
    EXPECT_TRUE(f.platform.questions.empty());

    // Saving under the editor's own name never asks; under another existing one it does.
    window.Save("mine", {"Set $a 2"});
    EXPECT_TRUE(f.platform.questions.empty());
    f.platform.answerYes = false;
    window.Save("Calculator", {"Exit"});
    EXPECT_EQ(f.platform.questions.back(), "File exists! Overwrite?");
    EXPECT_NE(ReadFile(f.paths.scriptFolder / "Calculator.kiv"), "Exit\r\n");
    f.platform.answerYes = true;
    window.Save("Calculator", {"Exit"});
    EXPECT_EQ(ReadFile(f.paths.scriptFolder / "Calculator.kiv"), "Exit\r\n");
}

TEST_F(ScriptsWindowTest, DeleteAsksAndDropsTheNameEverywhere) {
    TScriptsWindow window = Window();
    window.Show();
    window.Add(TFilterList::Incoming, "Vacation Message");
    window.ChooseSetupScript("Vacation Message");
    window.ChooseEditorScript("Vacation Message");

    window.Delete("Nothing Here");
    EXPECT_EQ(f.platform.messages.back(), "Script \"Nothing Here\" does not exist!");
    f.platform.answerYes = false;
    window.Delete("Vacation Message");
    EXPECT_TRUE(std::filesystem::exists(f.paths.scriptFolder / "Vacation Message.kiv"));
    f.platform.answerYes = true;
    window.Delete("Vacation Message");
    EXPECT_EQ(f.platform.questions.back(),
              "I am about to delete script \"Vacation Message\".\nAre you sure?");
    EXPECT_FALSE(std::filesystem::exists(f.paths.scriptFolder / "Vacation Message.kiv"));
    EXPECT_TRUE(view.incoming.empty());
    EXPECT_EQ(view.editorScript, "");
    EXPECT_EQ(view.setupScript, "");
    EXPECT_EQ(Ini("Incoming"), "");
}

TEST_F(ScriptsWindowTest, UnsavedEditsAskForASecondClick) {
    TScriptsWindow window = Window();
    window.Show();
    window.ChooseEditorScript("Calculator");
    window.EditorModified();
    EXPECT_FALSE(window.ChooseEditorScript("Beep Script"));
    EXPECT_EQ(f.platform.messages.back(), "Script is not saved!\nClick again to continue.");
    EXPECT_TRUE(window.ChooseEditorScript("Filter Message"));
    EXPECT_EQ(view.editorScript, "Filter Message");

    // Close: the second press counts only while the tip shows.
    window.EditorModified();
    view.editorLines = {"edited"};
    EXPECT_FALSE(window.Close());
    now += std::chrono::seconds(4);
    EXPECT_FALSE(window.Close());
    now += std::chrono::seconds(1);
    EXPECT_TRUE(window.Close());
    EXPECT_TRUE(view.hidden);
    // The given-up edits left the editor; it holds the saved script again.
    EXPECT_EQ(view.editorScript, "Filter Message");
    EXPECT_EQ(view.editorLines,
              LoadScriptLines(ScriptFile(f.paths.scriptFolder, "Filter Message")));
    EXPECT_TRUE(window.EditorClean());
    // A clean editor closes at once and keeps what it shows.
    view.editorLines = {"shown"};
    EXPECT_TRUE(window.Close());
    EXPECT_EQ(view.editorLines, std::vector<std::string>{"shown"});

    // "Edit Script..." loads without the check.
    window.ChooseSetupScript("Calculator");
    window.EditorModified();
    window.EditScript();
    EXPECT_EQ(view.editorScript, "Calculator");
    EXPECT_EQ(view.pages.back(), TScriptsPage::Script);
}

TEST_F(ScriptsWindowTest, DryRunFillsTheDebugTableAlsoAfterAnError) {
    TScriptsWindow window = Window();
    window.Show();
    const TDryRunResult r =
        window.DryRun({"Set $a \"one\\ntwo\"", "CreateMessage %m", "Set #n 3", "Set $b $nope"});
    EXPECT_EQ(view.working, 1);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(f.platform.messages.back(), r.error);
    // System variables first; a two-line value takes two rows; messages last.
    const TDebugColumns& d = view.debug;
    ASSERT_EQ(d.names.size(), d.values.size());
    const auto at = std::find(d.names.begin(), d.names.end(), "$a") - d.names.begin();
    ASSERT_LT(at + 2, static_cast<long>(d.names.size()));
    EXPECT_EQ(d.values[at], "one");
    EXPECT_EQ(d.names[at + 1], "");
    EXPECT_EQ(d.values[at + 1], "two");
    EXPECT_EQ(d.names[at + 2], "#n");
    EXPECT_EQ(d.names.back(), "%m");
    EXPECT_EQ(d.values.back(), "<mail message>");
}

TEST_F(ScriptsWindowTest, HelpFindsIndexEntriesAndTheWordAtTheCaret) {
    TScriptsWindow window = Window();
    const std::string_view help = ScriptHelpText();
    for (const std::string& entry : ScriptHelpIndexEntries()) {
        window.HelpIndex(entry);
        ASSERT_TRUE(view.help) << entry;
        EXPECT_EQ(help.substr(view.help->offset, entry.size()), entry);
    }
    const std::string text = "If $a = b then X\n  readheader $s Subject %message";
    window.HelpAtCaret(text, text.find("header"));
    EXPECT_EQ(view.subPages.back(), TScriptSubPage::Help);
    EXPECT_EQ(help.substr(view.help->offset, 26), "ReadHeader $a header %m\nSe");
    EXPECT_EQ(WordAtCaret(text, 0), "If");
    // An indented line: the tab ends the word as a blank does.
    EXPECT_EQ(WordAtCaret("\tSaveMessage\t%m x", 3), "SaveMessage");

    // Every command of the language has its own paragraph.
    for (const auto& group :
         {ControlCommands(), StringCommands(), NumberCommands(), FileCommands(), SystemCommands(),
          MessageCommands(), SendCommands(), AccountCommands()}) {
        for (const TCommandEntry& c : group) {
            const auto m = FindHelpTopic(help, std::string(c.name) + " ");
            const auto bare = FindHelpTopic(help, std::string(c.name) + "\n");
            EXPECT_TRUE(m || bare) << c.name;
            // The terminal's help on the command: its syntax line, then what it does, and no
            // other command's paragraph.
            const std::optional<std::string> own = ScriptHelpOn(c.name);
            ASSERT_TRUE(own) << c.name;
            const std::vector<std::string> lines = SplitLines(*own);
            ASSERT_GE(lines.size(), 2u) << *own;
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const std::string first = LowerCase(lines[i].substr(0, lines[i].find(' ')));
                if (first == c.name) continue;
                EXPECT_FALSE(FindScriptCommand(first)) << c.name << ": " << *own;
            }
        }
    }
    EXPECT_EQ(SplitLines(*ScriptHelpOn("OPERATORS")).front(), "Operators");
    EXPECT_EQ(ScriptHelpOn("Frobnicate"), std::nullopt);
    EXPECT_EQ(ScriptHelpOn(""), std::nullopt);
}

TEST_F(ScriptsWindowTest, NowNamesTheScriptAndLineOfAnErrorAndKeepsTheMessages) {
    WriteFile(f.root / "Mail" / "Box.mbx", NumberedMailbox(2));
    TFrmIndex box = Rebuilt(f.root / "Mail");
    WriteFile(f.paths.scriptFolder / "Bad.kiv", "DeleteMessage %message\r\nSet $x $nothing\r\n");
    TScriptsWindow window = Window();
    box.SelectOnly(1);
    window.RunNow("Bad", box);
    EXPECT_EQ(f.platform.messages.back(),
              "Script \"Bad\", line 2: Source variable not previously declared");
    EXPECT_EQ(box.RowCount(), 2);
    window.RunNow("", box);  // none chosen: nothing runs
    EXPECT_EQ(f.platform.messages.size(), 1u);
}

TEST_F(ScriptsWindowTest, ChoosingAButtonScriptCopiesItsName) {
    TScriptsWindow window = Window();
    window.Show();
    window.ChooseButtonScript(9, "Calculator");
    window.SetButtonDescription(9, "Calc");
    window.ChooseButtonScript(0, "");
    EXPECT_TRUE(window.Close());
    EXPECT_EQ(Ini("Button0Script"), "Calculator");
    EXPECT_EQ(Ini("Button0Desc"), "Calc");
    EXPECT_EQ(Ini("Button1Script"), "");
}

}  // namespace
}  // namespace kivo::test
