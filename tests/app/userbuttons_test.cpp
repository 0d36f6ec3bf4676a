#include "app/userbuttons.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/inifile.h"
#include "transfer/transferfeedback.h"

namespace kivo {
namespace {

IniFile Scripts(std::string_view lines) {
    IniFile ini;
    ini.SetText("[Scripts]\r\n" + std::string(lines));
    return ini;
}

TEST(UserButtons, BuiltFromTheScriptsSection) {
    const std::string longDesc =
        "Archive    - Moves every message older than a month into the "
        "Archive mailbox";  // 81 characters
    const IniFile ini = Scripts(
        "Button1Script=About Kivo Script\r\nButton1Desc=What's this?\r\n"
        "Button2Script=Sizes\r\nButton2Desc=Gr\xc3\xb6\xc3\x9f"
        "enliste \xc3\xbc\r\n"
        "Button3Script=Display Raw Message\r\nButton3Desc=Raw Msg     - Display Raw Message\r\n"
        "Button4Script=   \r\nButton4Desc=Blank script\r\n"
        "Button5Script=  Archive  \r\nButton5Desc=  " +
        longDesc +
        "\r\n"
        "Button0Script=Last\r\n");
    const TUserButtons model = InitUserButtons(ini);
    struct Row {
        std::size_t position;
        const char* caption;
        std::string hint;
        bool visible;
    } rows[] = {
        {0, "What's this", "What's this?", true},
        // counted in letters, not bytes: no UTF-8 letter is cut in two
        {1,
         "Gr\xc3\xb6\xc3\x9f"
         "enliste",
         "Gr\xc3\xb6\xc3\x9f"
         "enliste \xc3\xbc",
         true},
        {2, "Raw Msg    ", "Raw Msg     - Display Raw Message", true},
        {3, "", "", false},  // only blanks
        {4, "Archive    ", longDesc.substr(0, 60), true},
        {7, "", "", false},  // no setting
        {8, "", "", false},
        {9, "", "", true},  // the tenth button: "Button0", no description
    };
    for (const Row& row : rows) {
        const TUserButton& button = model.Buttons[row.position];
        const TQuickRunItem& item = model.Items[row.position];
        EXPECT_EQ(button.Caption, row.caption) << row.position;
        EXPECT_EQ(button.Hint, row.hint) << row.position;
        EXPECT_EQ(button.Visible, row.visible) << row.position;
        EXPECT_EQ(button.Enabled, row.visible) << row.position;
        EXPECT_EQ(item.Caption, row.hint) << row.position;
        EXPECT_EQ(item.Visible, row.visible) << row.position;
        EXPECT_EQ(item.Enabled, row.visible) << row.position;
    }
    EXPECT_TRUE(model.QuickRunEnabled);
    EXPECT_FALSE(InitUserButtons(Scripts("Button2Script= \r\nButton2Desc=x\r\n")).QuickRunEnabled);
    EXPECT_EQ(UserButtonKeyPrefix(0), "Button1");
    EXPECT_EQ(UserButtonKeyPrefix(9), "Button0");
}

struct FakeRunner : TScriptRunner {
    std::vector<std::string> runs;
    bool fail = false;
    void RunOnSelectedMessages(std::string_view scriptName) override {
        runs.emplace_back(scriptName);
        if (fail) throw std::runtime_error("Script file not found");
    }
};

struct RecordingFeedback : TTransferFeedback {
    std::string panel0 = "Running script...";
    std::vector<std::string> log;
    void StatusText(int panel, std::string_view text) override {
        if (panel == 0) panel0 = text;
    }
    void ErrorLevel(int level, std::string_view text) override {
        log.push_back(std::to_string(level) + " " + std::string(text));
    }
    bool AskPassword(std::string_view, std::string_view, std::string&) override { return false; }
};

TEST(UserButtons, ClickRunsTheTrimmedScriptAndAlwaysClearsTheActivityPanel) {
    const IniFile ini = Scripts("Button2Script=  Calculator \r\nButton7Script=Gone\r\n");
    struct Case {
        const char* prefix;
        bool fail;
        std::vector<std::string> runs;
        bool ok;
    } cases[] = {
        {"Button2", false, {"Calculator"}, true},
        {"Button7", true, {"Gone"}, false},  // the script file no longer exists
        {"Button3", false, {}, true},        // nothing set: nothing runs
    };
    for (const Case& c : cases) {
        FakeRunner runner;
        runner.fail = c.fail;
        RecordingFeedback feedback;
        EXPECT_EQ(BtnUser1Click(ini, c.prefix, runner, feedback), c.ok) << c.prefix;
        EXPECT_EQ(runner.runs, c.runs) << c.prefix;
        EXPECT_EQ(feedback.panel0, "") << c.prefix;
        const std::vector<std::string> failure{
            "2 Script \"Gone\" could not run: Script file not found"};
        EXPECT_EQ(feedback.log, c.ok ? std::vector<std::string>{} : failure) << c.prefix;
    }
}

}  // namespace
}  // namespace kivo
