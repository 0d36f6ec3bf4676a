// The message and account commands on message variables, mailbox files and accounts.ini.

#include <gtest/gtest.h>

#include "base/inifile.h"
#include "store/mbxfile.h"
#include "tests/script/scriptfixture.h"

namespace kivo::test {
namespace {

constexpr const char* kRaw =
    "From a@x.org 01/02/2024 10:00:00\r\n"
    "From: Ann <Ann@X.org>\r\n"
    "To: bob@y.org\r\n"
    "Subject: Weekly list digest\r\n"
    "Date: Thu, 1 Feb 2024 10:00:00 +0000\r\n"
    "Status: U\r\n"
    "\r\n"
    "Hello\r\n"
    "From here on\r\n";

TEST(ScriptMessages, HeadersAndFieldsAreTwoViews) {
    ScriptFixture f;
    WriteFile(f.root / "Mail" / "msg.txt", kRaw);
    ASSERT_TRUE(
        f.Run("OpenMessage %m msg.txt\n"
              "ReadHeader $s subject %m\nReadHeader $t \"Subject:\" %m\n"
              "ReadHeader $none X-Nothing %m\nReadBody $b %m\n"
              "CreateMessage %m\nReadHeader $kept Subject %m\n"
              "CreateMessage %n\nSetHeader %n Subject Hello\nReadHeader $typed Subject %n"));
    EXPECT_EQ(f.Var("$s"), "Weekly list digest");
    EXPECT_EQ(f.Var("$t"), "Weekly list digest");
    EXPECT_EQ(f.Var("$none"), "");
    EXPECT_EQ(f.Var("$b"), "Hello\r\n>From here on\r\n");
    EXPECT_EQ(f.Var("$kept"), "Weekly list digest");  // CreateMessage leaves it filled
    EXPECT_EQ(f.Var("$typed"), "");
    const TmsMessage n = f.RunOn(
        "SetHeader %message Subject Hello\nSetHeader %message X-Mailer \"A\"\n"
        "SetHeader %message X-Mailer \"B\"");
    EXPECT_EQ(n.Subject(), "Hello");
    EXPECT_EQ(n.Headers().Lines(), (std::vector<std::string>{"X-Mailer: A", "X-Mailer: B"}));
}

TEST(ScriptMessages, SetHeaderAndAddressCommands) {
    ScriptFixture f;
    const TmsMessage m = f.RunOn(
        "SetHeader %message Priority Highest\nSetHeader %message Return-Receipt yes\n"
        "SetHeader %message From \"x@y.org\\nsecond line\"\n"
        "SetHeader %message To \"Ann <ann@x.org>\"\nAddTo %message \" Bob <BOB@y.org> \"\n"
        "AddCC %message c@z.org\nAddBCC %message d@z.org\n"
        "ClearCC %message\nAssignBody %message \"one\\ntwo\"");
    EXPECT_EQ(m.Priority(), ptHigh);
    EXPECT_TRUE(m.ReturnReceipt());
    EXPECT_EQ(m.Sender().Address(), "x@y.org");
    ASSERT_EQ(m.Recipients().Count(), 2u);
    EXPECT_EQ(m.Recipients().Items(0).Address(), "Ann <ann@x.org>");
    EXPECT_EQ(m.Recipients().Items(1).Address(), "bob@y.org");
    EXPECT_EQ(m.CC().Count(), 0u);
    EXPECT_EQ(m.BCC().Count(), 1u);
    EXPECT_EQ(m.Body(), (std::vector<std::string>{"one", "two"}));
    TmsMessage high;
    high.SetPriority(ptHigh);
    EXPECT_EQ(f.RunOn("SetHeader %message Priority Urgent", high).Priority(), ptNormal);
    EXPECT_EQ(f.Error("SetHeader %m \" \" x"), "Empty header name");
}

TEST(ScriptMessages, DeleteMessageLeavesOneD) {
    ScriptFixture f;
    const TmsMessage m =
        f.RunOn("SetHeader %message Status Rd\nDeleteMessage %message\nDeleteMessage %message");
    EXPECT_EQ(m.Headers().GetFieldValue("Status"), "RD");
}

TEST(ScriptMessages, SaveMessageAppendsOneWholeMessageToAMailbox) {
    ScriptFixture f;
    WriteFile(f.root / "Mail" / "msg.txt", kRaw);
    WriteFile(f.root / "Mail" / "Work.mbx", "From x 01/01/2024\r\nSubject: old\r\n\r\nold body");
    ASSERT_TRUE(
        f.Run("OpenMessage %m msg.txt\nAddBCC %m hidden@z.org\nAppendToFile True\n"
              "SaveMessage %m Work.mbx\nSaveMessage %m copy.mbx\nReadBody $b %m"));
    const auto work = f.root / "Mail" / "Work.mbx";
    EXPECT_EQ(FindLastIndex(work), 2);
    std::vector<std::string> lines;
    ExtractMsg(2, work, lines);
    EXPECT_EQ(lines.front(), "From Ann@X.org Thu, 1 Feb 2024 10:00:00 +0000");
    EXPECT_NE(std::find(lines.begin(), lines.end(), ">From here on"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "X-Bcc: hidden@z.org"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "old body"), lines.end());
    // Saving does not change the script's message; a second save adds a second X-Bcc line.
    EXPECT_EQ(f.Var("$b"), "Hello\r\n>From here on\r\n");
    ExtractMsg(1, f.root / "Mail" / "copy.mbx", lines = {});
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "X-Bcc: hidden@z.org"), 2);
    // Opening the saved copy gives the blind copies back.
    const TmsMessage copy = f.RunOn("OpenMessage %message copy.mbx\nReadHeader $x X-Bcc %message");
    EXPECT_EQ(copy.BCC().Count(), 1u);       // the first line is read and removed
    EXPECT_EQ(f.Var("$x"), "hidden@z.org");  // the second line stays
}

TEST(ScriptMessages, SendMessageWithoutAServerFilesTheMessageInOut) {
    ScriptFixture f;
    ASSERT_TRUE(f.Run("SetHeader %m Subject Hi\nAddTo %m a@b.org\nSendMessage %m\nSet $after 1"));
    EXPECT_EQ(f.Var("$after"), "1");
    const std::string out = ReadFile(f.root / "Mail" / "out.mbx");
    EXPECT_NE(out.find("Status: RS\r\n"), std::string::npos);
    EXPECT_NE(out.find("Subject: Hi"), std::string::npos);
}

TEST(ScriptMessages, MessageCommandMessages) {
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        {"CreateMessage", "CreateMessage needs 1 parameter"},
        {"CreateMessage $m", "Parameter for CreateMessage has to be a message variable (%var)"},
        {"OpenMessage %m", "OpenMessage needs 2 parameters"},
        {"SaveMessage m f", "First parameter for SaveMessage has to be a message variable (%var)"},
        {"EditMessage %m %n", "EditMessage needs only 1 parameter"},
        {"DeleteMessage $m", "Parameter for DeleteMessage has to be a message variable (%var)"},
        {"SendMessage", "SendMessage needs 1 parameter"},
        {"SetHeader %m a", "SetHeader needs 3 parameters"},
        {"ReadHeader %s a %m", "First parameter for ReadHeader has to be a string variable ($var)"},
        {"ReadHeader $s a $m",
         "Third parameter for ReadHeader has to be a message variable (%var)"},
        {"AddTo %m", "AddTo needs 2 parameters"},
        {"AddCC m x", "First parameter for AddCC has to be a message variable (%var)"},
        {"AddBCC %m", "AddBCC needs 2 parameters"},
        {"ClearTo %m %n", "ClearTo needs only 1 parameter"},
        {"ClearBCC $m", "First parameter for ClearBCC has to be a message variable (%var)"},
        {"AssignBody %m", "AssignBody needs 2 parameters"},
        {"ReadBody $b $m", "Second parameter for ReadBody has to be a message variable (%var)"},
        {"ClearBody", "ClearBody needs 1 parameter"},
        {"AppendSignature %m x", "AppendSignature needs only 1 parameter"},
        {"ReadEmail", "ReadEmail needs 1 parameter"},
        {"ReadPassword #p", "Parameter for ReadPassword has to be a string variable ($var)"},
        {"SetAccount", "SetAccount needs 1 parameter"},
        {"SetAccountTag a b", "SetAccountTag needs 1 parameter"},
        {"OpenMessage %m missing.txt", ""},  // the system's error
    };
    for (const Case& c : cases) {
        ScriptFixture f;
        if (std::string_view(c.error).empty()) {
            EXPECT_NE(f.Error(c.line), "") << c.line;
        } else {
            EXPECT_EQ(f.Error(c.line), c.error) << c.line;
        }
    }
}

TEST(ScriptAccounts, ReadAndWriteTheCurrentAccount) {
    ScriptFixture f;
    WriteFile(f.paths.settingsFile, "[Mail]\r\nDefaultAccount=Home\r\n");
    WriteFile(f.paths.accountsFile,
              "[Home]\r\nName=Ann Lee\r\nEmail=ann@x.org\r\nPOPPass=scrambled\r\nSig=work\r\n"
              "[Work]\r\nEmail=ann@work.org\r\n");
    WriteFile(f.paths.signatureFolder / "work.txt", "-- \r\n%fullname%\r\n");
    ASSERT_TRUE(
        f.Run("ReadAccount $a\nReadFullname $n\nReadPassword $p\n"
              "AssignBody %m Hi\nAppendSignature %m\nReadBody $b %m\n"
              "SetAccount Work\nReadEmail $w\nSetPassword $p\n"
              "SetAccount Nobody\nReadEmail $none"));
    EXPECT_EQ(f.Var("$a"), "Home");
    EXPECT_EQ(f.Var("$n"), "Ann Lee");
    EXPECT_EQ(f.Var("$p"), "scrambled");
    EXPECT_EQ(f.Var("$b"), "Hi\r\n-- \r\nAnn Lee\r\n");
    EXPECT_EQ(f.Var("$w"), "ann@work.org");
    EXPECT_EQ(f.Var("$none"), "");
    EXPECT_EQ(IniFile(f.paths.accountsFile).ReadString("Work", "POPPass", ""), "scrambled");
    // A new run starts with the default account again.
    EXPECT_EQ(f.Error("ReadAccount $a\nSetAccount \"\"\nSetSignature x"),
              "No current account (SetAccount)");
    EXPECT_EQ(f.Var("$a"), "Home");
}

}  // namespace
}  // namespace kivo::test
