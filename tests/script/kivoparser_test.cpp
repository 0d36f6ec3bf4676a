// TFrmScripts: the filter lists and their contract, runs on selected messages and dry runs.

#include "script/KivoParser.h"

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "script/scriptvalues.h"
#include "store/mbxfile.h"
#include "tests/script/scriptfixture.h"
#include "tests/store/storetest.h"

namespace kivo::test {
namespace {

class FrmScripts : public ::testing::Test {
  protected:
    void Script(const std::string& name, const std::string& text) {
        WriteFile(f.paths.scriptFolder / (name + ".kiv"), text);
    }
    void Lists(const std::string& incoming, const std::string& outgoing = "") {
        IniFile ini(f.paths.settingsFile);
        ini.WriteString("Scripts", "Incoming", incoming);
        ini.WriteString("Scripts", "Outgoing", outgoing);
        ini.UpdateFile();
    }
    static TmsMessage Received(std::string_view subject, std::string_view status = "U") {
        TmsMessage m;
        m.SetSubject(subject);
        m.Headers().Add("Subject: " + std::string(subject));
        m.Headers().Add("List-Id: <dev.lists.example.org>");
        m.Headers().Add("Status: " + std::string(status));
        m.Body() = {"body"};
        return m;
    }

    ScriptFixture f;
    TFrmScripts scripts{f.paths, f.platform, f.host};
};

TEST_F(FrmScripts, IncomingListFilesListMailAndAsksForItsDeletion) {
    Script("Lists",
           "{### Lists}\r\nReadHeader $l List-Id %message\r\n"
           "If $l ! \"\" then File\r\nExit\r\n:File\r\nAppendToFile True\r\n"
           "SaveMessage %message Lists.mbx\r\nDeleteMessage %message\r\n");
    Script("Tag", "SetHeader %message X-Seen yes\r\n");
    Lists("Lists,\"Missing one\",Tag");
    TmsMessage m = Received("hello", "UD");
    scripts.RunIncoming(m);
    EXPECT_TRUE(HasDeleteRequest(m));
    // Later scripts still see the message; a missing script is skipped.
    EXPECT_EQ(m.Headers().GetFieldValue("X-Seen"), "yes");
    EXPECT_EQ(FindLastIndex(f.root / "Mail" / "Lists.mbx"), 1);
    // A "D" the message brought along is no request.
    Lists("Tag");
    TmsMessage n = Received("plain", "RD");
    scripts.RunIncoming(n);
    EXPECT_FALSE(HasDeleteRequest(n));
    EXPECT_EQ(n.Headers().GetFieldValue("Status"), "R");
}

TEST_F(FrmScripts, AFailingFilterLeavesTheMessageAsBeforeItAndEndsTheList) {
    Script("First", "SetHeader %message X-First 1\r\n");
    Script("Half",
           "SetHeader %message X-Half 1\r\nDeleteMessage %message\r\n"
           "AddStrings $x $undeclared\r\n");
    Script("Last", "SetHeader %message X-Last 1\r\n");
    Lists("First Half Last");
    TmsMessage m = Received("x");
    try {
        scripts.RunIncoming(m);
        FAIL() << "no error";
    } catch (const ESyntaxError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Script \"Half\", line 3: Variable not previously declared: $undeclared");
    }
    EXPECT_EQ(m.Headers().GetFieldValue("X-First"), "1");
    EXPECT_EQ(m.Headers().GetFieldValue("X-Half"), "");
    EXPECT_EQ(m.Headers().GetFieldValue("X-Last"), "");
    EXPECT_FALSE(HasDeleteRequest(m));
    EXPECT_FALSE(scripts.Running());
}

TEST_F(FrmScripts, OutgoingListAddsAHeaderLine) {
    Script("Stamp", "SetHeader %message X-Filtered-By Kivo\r\n");
    Lists("", "Stamp");
    TmsMessage m = Received("out");
    scripts.RunOutgoing(m);
    EXPECT_EQ(m.Headers().GetFieldValue("X-Filtered-By"), "Kivo");
    TmsMessage in = Received("in");
    scripts.RunIncoming(in);
    EXPECT_EQ(in.Headers().GetFieldValue("X-Filtered-By"), "");
}

TEST_F(FrmScripts, SelectedMessagesRunEachWithFreshVariablesAndDeleteWhatTheyMark) {
    WriteFile(f.root / "Mail" / "Box.mbx", NumberedMailbox(4));
    TFrmIndex box = Rebuilt(f.root / "Mail");
    // Deletes m2 and m3; $count would reach 2 if variables carried over.
    Script("Odd",
           "AddIntegers #count 1\r\nReadHeader $s Subject %message\r\n"
           "AppendToFile 1\r\nSet $line $s\r\nAddStrings $line \" \" #count\r\n"
           "SaveBody $line seen.txt\r\n"
           "If $s = m1 then Keep\r\nDeleteMessage %message\r\n:Keep\r\n");
    box.SelectOnly(0);
    box.SetSelected(1, true);
    box.SetSelected(2, true);
    scripts.RunOnSelectedMessages("odd", box);
    EXPECT_EQ(ReadFile(f.root / "Mail" / "seen.txt"), "m1 1\r\nm2 1\r\nm3 1\r\n");
    EXPECT_EQ(test::ListedNumbers(f.root / "Mail" / "Box.d"), "2\r\n3\r\n");
    EXPECT_EQ(box.RowCount(), 2);
    EXPECT_EQ(box.SelectedNumbers(), std::vector<int>{1});
    EXPECT_EQ(FindLastIndex(f.root / "Mail" / "Box.mbx"), 4);  // the file is unchanged
}

TEST_F(FrmScripts, AFailureOnASelectedMessageKeepsEarlierDeletions) {
    WriteFile(f.root / "Mail" / "Box.mbx", NumberedMailbox(3));
    TFrmIndex box = Rebuilt(f.root / "Mail");
    Script("Fail",
           "ReadHeader $s Subject %message\r\nDeleteMessage %message\r\n"
           "If $s = m2 then Bad\r\nExit\r\n:Bad\r\nSet $x $nothing\r\n");
    box.SelectAll();
    EXPECT_THROW(scripts.RunOnSelectedMessages("Fail", box), ESyntaxError);
    EXPECT_EQ(test::ListedNumbers(f.root / "Mail" / "Box.d"), "1\r\n");
    EXPECT_EQ(box.RowCount(), 2);
}

TEST_F(FrmScripts, AnAbortedRunStopsBeforeTheNextMessage) {
    WriteFile(f.root / "Mail" / "Box.mbx", NumberedMailbox(3));
    TFrmIndex box = Rebuilt(f.root / "Mail");
    Script("Loop", ":top\r\nAppendToFile 1\r\nSaveBody $mailpath n.txt\r\nGoto top\r\n");
    f.platform.abortAfterPumps = 7;
    box.SelectAll();
    scripts.RunOnSelectedMessages("Loop", box);
    EXPECT_EQ(ValueLines(ReadFile(f.root / "Mail" / "n.txt")).size(), 2u);
    EXPECT_FALSE(scripts.Running());
}

TEST_F(FrmScripts, AnEscBeforeTheUserStartsARunDoesNotStopIt) {
    WriteFile(f.root / "Mail" / "Box.mbx", NumberedMailbox(1));
    TFrmIndex box = Rebuilt(f.root / "Mail");
    Script("Two", "Set $a 1\r\nAppendToFile 1\r\nSaveBody $a n.txt\r\n");
    box.SelectAll();
    f.platform.abort = true;
    scripts.RunOnSelectedMessages("Two", box);
    EXPECT_EQ(ReadFile(f.root / "Mail" / "n.txt"), "1\r\n");
    f.platform.abort = true;
    EXPECT_TRUE(scripts.DryRun({"Set $a 1", "Set $b 2"}, "Try").completed);
}

TEST_F(FrmScripts, DryRunReportsTheVariablesAlsoAfterAnError) {
    const TDryRunResult ok = scripts.DryRun({"Set $a \"x\\ny\"", "CreateMessage %m"}, "Try");
    EXPECT_TRUE(ok.completed);
    ASSERT_EQ(ok.variables.size(), 5u);
    EXPECT_EQ(ok.variables[3].name, "$a");
    EXPECT_EQ(ok.variables[3].value, "x\r\ny");
    EXPECT_EQ(ok.variables[4].value, "<mail message>");
    const TDryRunResult bad = scripts.DryRun({"Set #n 1", "Set #n x1"}, "Try");
    EXPECT_EQ(bad.error, "Line 2: Non-integer assigned to integer variable");
    EXPECT_EQ(bad.variables.back().name, "#n");
    EXPECT_EQ(bad.variables.back().value, "1");
}

}  // namespace
}  // namespace kivo::test
