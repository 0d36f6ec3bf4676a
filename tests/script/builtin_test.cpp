// The built-in scripts: written one file each, the filter template's statements, and the
// scripts running cleanly.

#include "script/builtin.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "script/KivoParser.h"
#include "script/tokenizer.h"
#include "store/mbxfile.h"
#include "tests/script/scriptfixture.h"

namespace kivo::test {
namespace {

TEST(BuiltInScripts, SaveBuiltInWritesEveryScriptUnderItsName) {
    ScriptFixture f;
    const std::vector<std::string> names = SaveBuiltIn(f.paths.scriptFolder);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "About Kivo Script", "Archive Old Mail", "Calculator", "Create Mailbox",
                         "Display Raw Message", "Filter Message", "New Message Template",
                         "Reply with Template", "Vacation Message"}));
    for (const std::string& name : names) {
        const std::string text = ReadFile(f.paths.scriptFolder / (name + ".kiv"));
        EXPECT_TRUE(text.starts_with("{### " + name + "\r\n")) << name;
        EXPECT_EQ(text.find("{###", 1), std::string::npos) << name;
    }
}

TEST(BuiltInScripts, FilterMessageHasItsFixedStatements) {
    std::vector<std::string> statements;
    for (const std::string& line : FilterMessageTemplate()) {
        if (!GetTokens(line).empty()) statements.push_back(line);
    }
    ASSERT_EQ(statements.size(), 20u);
    EXPECT_EQ(statements[0],
              "External $userdata1 \"Which header would you like me to scan\" {ID1}\"From\"");
    EXPECT_TRUE(
        statements[1].starts_with("External $userdata2 \"What word should I look for\" {ID2}\""));
    EXPECT_TRUE(statements[2].starts_with(
        "External $userdata3 \"Which mailbox should I copy it to\" {ID3}\""));
    EXPECT_EQ(statements[3], "External $userdata4 \"Keep the original message?\" {ID4}\"Yes\"");
    EXPECT_EQ(statements[8], "If $UserData2 ^ $header then PerformCopy");
    EXPECT_EQ(statements[16], "if &k then Delete");
    EXPECT_EQ(statements[19], "DeleteMessage %message");
}

TEST(BuiltInScripts, FilterMessageCopiesMatchingMailAndKeepsTheOriginal) {
    ScriptFixture f;
    SaveBuiltIn(f.paths.scriptFolder);
    TFrmScripts scripts(f.paths, f.platform, f.host);
    TmsMessage m;
    m.Headers().Add("From: The Weekly NEWSLETTER <news@example.org>");
    m.Headers().Add("Status: U");
    scripts.RunOnMessage("Filter Message", m);
    EXPECT_EQ(FindLastIndex(f.root / "Mail" / "Newsletters.mbx"), 1);
    EXPECT_FALSE(HasDeleteRequest(m));
    TmsMessage other;
    other.Headers().Add("From: friend@example.org");
    scripts.RunOnMessage("Filter Message", other);
    EXPECT_EQ(FindLastIndex(f.root / "Mail" / "Newsletters.mbx"), 1);
}

TEST(BuiltInScripts, RunWithoutErrors) {
    ScriptFixture f;
    SaveBuiltIn(f.paths.scriptFolder);
    WriteFile(f.root / "Mail" / "rtemplate.txt", "Thanks!\r\n");
    TFrmScripts scripts(f.paths, f.platform, f.host);
    f.platform.inputAnswer = "Fresh";
    // Calculator and Display Raw Message start programs; they are left out here.
    for (const char* name :
         {"About Kivo Script", "Archive Old Mail", "Create Mailbox", "Filter Message",
          "New Message Template", "Reply with Template", "Vacation Message"}) {
        TmsMessage m;
        m.Headers().Add("From: Ann <ann@example.org>");
        m.Headers().Add("Subject: Hello");
        m.Headers().Add("Date: Mon, 1 Jan 2001 10:00:00 +0000");
        m.Body() = {"line"};
        EXPECT_NO_THROW(scripts.RunOnMessage(name, m)) << name;
    }
    EXPECT_EQ(ReadFile(f.root / "Mail" / "Fresh.mbx"), " \r\n");
    EXPECT_EQ(FindLastIndex(f.root / "Mail" / "Archives.mbx"), 1);  // older than 30 days
    const std::string out = ReadFile(f.root / "Mail" / "Out.mbx");
    EXPECT_NE(out.find("Subject: Re: Hello"), std::string::npos);
    EXPECT_NE(out.find(">line"), std::string::npos);
}

}  // namespace
}  // namespace kivo::test
