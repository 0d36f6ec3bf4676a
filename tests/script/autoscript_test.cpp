// Auto scripts from a contact dropped on the mailbox tree.

#include "script/autoscript.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "script/KivoParser.h"
#include "store/mbxfile.h"
#include "tests/script/scriptfixture.h"

namespace kivo::test {
namespace {

TEST(AutoScript, FilesTheContactsMailAndJoinsTheIncomingList) {
    ScriptFixture f;
    std::filesystem::create_directories(f.root / "Mail" / "People");
    TAutoScriptWriter writer(f.paths, f.platform);
    writer.MakeScript("Ann Lee", "People/Ann Lee", "Ann@Example.org");
    writer.MakeScript("Ann Lee", "People/Ann Lee", "Ann@Example.org");
    EXPECT_TRUE(std::filesystem::exists(f.paths.scriptFolder / "AUTO, Sort mail from Ann Lee.kiv"));
    EXPECT_TRUE(
        std::filesystem::exists(f.paths.scriptFolder / "AUTO, Sort mail from Ann Lee1.kiv"));
    EXPECT_EQ(f.platform.messages.back(), "Auto-Script created, press F4 for details");

    TFrmScripts scripts(f.paths, f.platform, f.host);
    EXPECT_EQ(scripts.IncomingList(), (std::vector<std::string>{"AUTO, Sort mail from Ann Lee",
                                                                "AUTO, Sort mail from Ann Lee1"}));
    EXPECT_TRUE(scripts.OutgoingList().empty());
    // Copy, not move: the received message stays.
    TmsMessage m;
    m.Headers().Add("From: \"Ann\" <ann@example.org>");
    scripts.RunOnMessage("AUTO, Sort mail from Ann Lee", m);
    EXPECT_EQ(FindLastIndex(f.root / "Mail" / "People" / "Ann Lee.mbx"), 1);
    EXPECT_FALSE(HasDeleteRequest(m));
}

TEST(AutoScript, WithoutAutoCopyTheMessageIsMovedAndNineCountsOnToTen) {
    ScriptFixture f;
    WriteFile(f.paths.settingsFile, "[DragAndDrop]\r\nAutoCopy=0\r\nAutoIn=0\r\nAutoOut=1\r\n");
    TAutoScriptWriter writer(f.paths, f.platform);
    writer.MakeScript("Bob9", "Bob9", "bob@x.org");
    writer.MakeScript("Bob9", "Bob9", "bob@x.org");
    EXPECT_TRUE(std::filesystem::exists(f.paths.scriptFolder / "AUTO, Sort mail from Bob10.kiv"));
    TFrmScripts scripts(f.paths, f.platform, f.host);
    EXPECT_TRUE(scripts.IncomingList().empty());
    EXPECT_EQ(scripts.OutgoingList().size(), 2u);
    TmsMessage m;
    m.Headers().Add("From: bob@x.org");
    scripts.RunOnMessage("AUTO, Sort mail from Bob9", m);
    EXPECT_TRUE(HasDeleteRequest(m));
    // Switched off, nothing is written.
    WriteFile(f.paths.settingsFile, "[DragAndDrop]\r\nAutoScript=0\r\n");
    writer.MakeScript("Cy", "Cy", "cy@x.org");
    EXPECT_FALSE(std::filesystem::exists(f.paths.scriptFolder / "AUTO, Sort mail from Cy.kiv"));
}

}  // namespace
}  // namespace kivo::test
