// The composer's Queue and Send now over the real queue form and mailbox files, with a
// stand-in SMTP sender.

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "compose/KivoSend.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "transfer/composeroutbox.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class StubSmtp : public TSmtpSender {
  public:
    std::string failWith;
    std::vector<TmsMessage> sent;
    std::string server;
    void SetEvents(TSmtpEvents events) override { events_ = std::move(events); }
    void SetServer(std::string_view s) override { server = s; }
    void SetAccess(const TSmtpAccess& a) override { access = a; }
    TSmtpAccess access;
    void Open() override {}
    void Send(TmsMessage& m) override { SendMail(m); }
    void SendMail(TmsMessage& m) override {
        if (!failWith.empty()) {
            std::string text = failWith;
            if (events_.error) events_.error(text);
            throw std::runtime_error(text);
        }
        sent.push_back(m);
    }
    void Reset() override {}
    void Close() override {}
    void Cancel() override {}

  private:
    TSmtpEvents events_;
};

class DiscardAll : public TFilterLists {
  public:
    void RunIncoming(TmsMessage&) override {}
    void RunOutgoing(TmsMessage& m) override {
        m.Headers().RemoveField("Status");
        m.Headers().Add("Status: D");
    }
};

struct QuietView : TComposerView {
    std::vector<std::string> log;
    std::string status;
    void ShowTip(const std::string&) override {}
    void StatusText(const std::string& text) override { status = text; }
    void ErrorLevel(int level, const std::string& text) override {
        log.push_back(std::to_string(level) + " " + text);
    }
};

class ComposerOutbox : public ::testing::Test {
  protected:
    void SetUp() override {
        paths = {dir / "kivo.ini", dir / "accounts.ini", dir / "address.ini", dir / "Mail",
                 dir / "Signatures"};
        std::filesystem::create_directories(paths.mailFolder);
        std::filesystem::create_directories(paths.signatureFolder);
        WriteFile(paths.accountsFile,
                  "[Work]\r\nName=Jo Doe\r\nEmail=jo@work.org\r\nSMTP=smtp.work.org\r\n");
        WriteFile(paths.signatureFolder / "Default.txt", "--\r\n%fullname%\r\n");
        WriteFile(dir / "a.bin", std::string("\0\x01\xff", 3));
        WriteFile(dir / "b.txt", "one\r\n.\r\ntwo\r\n");
    }
    // A composer filled as a user would, its attachments two files.
    void Fill(TfrmSend& composer) {
        composer.FirstActivation();
        composer.SetTo("bob@x.org");
        composer.SetBcc("eve@x.org");
        composer.SetSubject("Files");
        composer.SetBodyText("Hi\r\nFrom me\r\n.");
        composer.AddAttachment((dir / "a.bin").string());
        composer.AddAttachment((dir / "b.txt").string());
    }
    std::vector<std::string> MessageOf(const char* mailbox) {
        std::vector<std::string> lines;
        ExtractMsg(1, paths.mailFolder / mailbox, lines);
        return lines;
    }
    TempDir dir;
    TComposerPaths paths;
    StubSmtp smtp;
    TNoFilters noFilters;
    QuietView view;
    TNoChoice chooser;
};

TEST_F(ComposerOutbox, QueueWritesTheQueueFormAndDropsTheOutIndex) {
    WriteFile(paths.mailFolder / "out.idx", "stale");
    TMailOutbox outbox(paths.mailFolder, paths.accountsFile, smtp, noFilters);
    TfrmSend composer(paths, view, outbox, chooser);
    Fill(composer);
    ASSERT_TRUE(composer.Queue());
    EXPECT_FALSE(std::filesystem::exists(paths.mailFolder / "out.idx"));
    const std::vector<std::string> lines = MessageOf("out.mbx");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], kQueueSeparator);
    EXPECT_EQ(lines[1], "X-Sig-Local: 2");
    EXPECT_EQ(lines[2], "Status: RQ");
    const std::string text = JoinLinesCrLf(lines);
    for (const char* expected :
         {"X-SMTP: smtp.work.org\r\n", "X-Bcc: eve@x.org\r\n", "X-Mailer: Kivo, v1.0\r\n",
          "\r\nHi\r\n>From me\r\n.\r\n--\r\nJo Doe\r\n", "Attachment Converted: \"",
          "a.bin\"\r\nAttachment Converted: \""}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    EXPECT_EQ(text.find("Content-Disposition"), std::string::npos) << "no attachment data";

    // The send queue reads it back with both files attached and the body as typed.
    const TQueuedMessage back = ReadQueued(lines);
    EXPECT_EQ(back.server, "smtp.work.org");
    ASSERT_EQ(back.message.Attachments().Count(), 2u);
    EXPECT_EQ(back.message.Attachments().Items(0).Data(), std::string("\0\x01\xff", 3));
    EXPECT_EQ(back.message.Body(),
              (std::vector<std::string>{"Hi", ">From me", ".", "--", "Jo Doe"}));
}

TEST_F(ComposerOutbox, SendNowDeliversAndFilesTheCopyInSent) {
    TMailOutbox outbox(paths.mailFolder, paths.accountsFile, smtp, noFilters);
    TfrmSend composer(paths, view, outbox, chooser);
    Fill(composer);
    ASSERT_EQ(composer.SendNow(), TSendOutcome::Sent);
    ASSERT_EQ(smtp.sent.size(), 1u);
    EXPECT_EQ(smtp.server, "smtp.work.org");
    const TmsMessage& sent = smtp.sent[0];
    EXPECT_EQ(sent.BCC().Count(), 1u);
    EXPECT_EQ(sent.Attachments().Count(), 2u);
    EXPECT_EQ(sent.Headers().GetFieldValue("X-SMTP"), "");
    EXPECT_EQ(sent.Headers().GetFieldValue("Status"), "");

    const std::string copy = JoinLinesCrLf(MessageOf("sent.mbx"));
    EXPECT_NE(copy.find("Status: RS\r\n"), std::string::npos);
    EXPECT_NE(copy.find("X-Bcc: eve@x.org\r\n"), std::string::npos);
    EXPECT_NE(copy.find("b.txt\"\r\n"), std::string::npos);
    EXPECT_EQ(copy.find("Content-Disposition"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(paths.mailFolder / "out.mbx"));
}

// Sending at once logs in as the account the composer sends from, as the send queue would:
// a server that takes mail for other domains only after a log-in would refuse it otherwise.
TEST_F(ComposerOutbox, SendNowLogsInAsTheComposersAccount) {
    WriteFile(paths.accountsFile,
              "[Work]\r\nName=Jo Doe\r\nEmail=jo@work.org\r\nSMTP=smtp.work.org\r\n"
              "SMTPAuth=own\r\nSMTPUser=jo\r\n"
              "[Home]\r\nName=Jo Doe\r\nEmail=jo@home.org\r\nPOPServer=mail.home.org\r\n"
              "SMTPAuth=own\r\nSMTPUser=jo.home\r\nSMTPSecurity=tls\r\n");
    TMailOutbox outbox(paths.mailFolder, paths.accountsFile, smtp, noFilters);
    for (const auto& [account, server, user] :
         {std::tuple{"Work", "smtp.work.org", "jo"}, {"Home", "mail.home.org", "jo.home"}}) {
        SCOPED_TRACE(account);
        TfrmSend composer(paths, view, outbox, chooser);
        Fill(composer);
        ASSERT_TRUE(composer.SetAccount(account));
        ASSERT_EQ(composer.SendNow(), TSendOutcome::Sent);
        EXPECT_EQ(smtp.server, server);
        EXPECT_EQ(smtp.access.user, user);
    }
    EXPECT_EQ(smtp.access.security, TSecurity::implicit);
}

TEST_F(ComposerOutbox, AFailedSendWaitsInOutAndADiscardedOneIsNowhere) {
    smtp.failWith = "[10061] Connection refused";
    TMailOutbox outbox(paths.mailFolder, paths.accountsFile, smtp, noFilters);
    TfrmSend composer(paths, view, outbox, chooser);
    Fill(composer);
    ASSERT_EQ(composer.SendNow(), TSendOutcome::Failed);
    EXPECT_EQ(view.status, "Could not send mail");
    EXPECT_EQ(view.log.back(),
              "2 Could not connect to smtp.work.org SMTP server<br>\n[10061] Connection refused");
    const std::vector<std::string> lines = MessageOf("out.mbx");
    EXPECT_NE(JoinLinesCrLf(lines).find("Status: RS\r\n"), std::string::npos);
    // The queue sends it later through the same server, with both files.
    const TQueuedMessage again = ReadQueued(lines);
    EXPECT_EQ(again.server, "smtp.work.org");
    EXPECT_EQ(again.message.Attachments().Count(), 2u);
    EXPECT_EQ(again.message.BCC().Count(), 1u);

    DiscardAll discard;
    smtp.failWith.clear();
    TMailOutbox filtered(paths.mailFolder, paths.accountsFile, smtp, discard);
    TfrmSend dropped(paths, view, filtered, chooser);
    Fill(dropped);
    EXPECT_EQ(dropped.SendNow(), TSendOutcome::Discarded);
    EXPECT_TRUE(smtp.sent.empty());
    EXPECT_FALSE(std::filesystem::exists(paths.mailFolder / "sent.mbx"));
}

}  // namespace
}  // namespace kivo
