#include "compose/reply.h"

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "compose/carriedheaders.h"
#include "compose/scriptedit.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::TempDir;
using test::WriteFile;

struct NullView : TComposerView {
    void ShowTip(const std::string&) override {}
    void StatusText(const std::string&) override {}
    void ErrorLevel(int, const std::string&) override {}
};
struct NullOutbox : TComposerOutbox {
    void Queue(const TmsMessage&, std::optional<int>, const std::vector<std::string>&) override {}
    void File(const TmsMessage&, std::optional<int>, bool) override {}
    void RunOutgoing(TmsMessage&) override {}
    void Send(TmsMessage&, const std::string&, const std::string&) override {}
};

class Reply : public ::testing::Test {
  protected:
    void SetUp() override {
        paths = {dir / "kivo.ini", dir / "accounts.ini", dir / "address.ini", dir / "Mail",
                 dir / "Signatures"};
        WriteFile(paths.settingsFile, "[Mail]\r\nDefaultAccount=Home\r\n");
        WriteFile(
            paths.accountsFile,
            "[Home]\r\nEmail=me@home.org\r\nSMTP=s\r\n[Work]\r\nEmail=Me@Work.org\r\nSMTP=s\r\n");
    }
    TfrmSend Fill(TReplyKind kind, const std::string& message,
                  std::optional<std::string> dropTo = std::nullopt) {
        TfrmSend composer(paths, view, outbox, chooser);
        composer.FirstActivation();
        EXPECT_TRUE(FillFromMessage(composer, kind, ReplyLines(SplitLines(message)),
                                    paths.accountsFile, paths.settingsFile, dropTo));
        return composer;
    }
    TempDir dir;
    TComposerPaths paths;
    NullView view;
    NullOutbox outbox;
    TNoChoice chooser;
};

constexpr const char* kStored =
    "From ???@??? 01/02/2026 10:00:00\r\n"
    "From: \"Ann Lee\" <Ann@Lee.org>\r\n"
    "To: me@home.org, \"Bob\" <bob@x.org>, Me@Work.org\r\n"
    "Cc: carl@x.org, me@work.org\r\n"
    "Subject: Fwd: plans\r\n"
    "Date: Sun, 1 Feb 2026 10:00:00 +0100\r\n"
    "X-Account: Work\r\n"
    "\r\n"
    "\r\n"
    "Hello\r\n"
    "Attachment Converted: \"/a/b.pdf\"\r\n";

TEST_F(Reply, RepliesQuoteAndAddressTheSender) {
    TfrmSend reply = Fill(TReplyKind::Reply, kStored);
    EXPECT_EQ(reply.Mode(), cmReply);
    EXPECT_EQ(reply.To().text, "ann@lee.org");
    EXPECT_EQ(reply.Subject().text, "Re: Fwd: plans");
    EXPECT_EQ(reply.Body(),
              (std::vector<std::string>{"On Sun, 1 Feb 2026 10:00:00 +0100, you wrote:", ">Hello",
                                        ">Attachment Converted: \"/a/b.pdf\""}));
    EXPECT_EQ(reply.Account(), "Work");

    // The receiving account's own address goes in any letter case; the sender always stays.
    TfrmSend all = Fill(TReplyKind::ReplyToAll, kStored);
    EXPECT_EQ(all.To().text, "ann@lee.org, me@home.org, bob@x.org");
    EXPECT_EQ(all.Cc().text, "carl@x.org");
    EXPECT_EQ(all.Body().front(), "On Sun, 1 Feb 2026 10:00:00 +0100, Ann Lee wrote:");
}

TEST_F(Reply, SubjectsAndAttributions) {
    struct Case {
        TReplyKind kind;
        const char* headers;
        const char* subject;
        const char* attribution;
        const char* why;
    } cases[] = {
        {TReplyKind::Reply, "From: a@x.org\r\nSubject: re: meeting\r\n", "re: meeting",
         "On , you wrote:", "re: kept, no date"},
        {TReplyKind::Reply, "From: a@x.org\r\n", "Re: Your mail", "On , you wrote:", "no subject"},
        {TReplyKind::Forward, "From: a@x.org (Al)\r\nSubject: FWD: x\r\n", "FWD: x",
         "On , a@x.org (Al) wrote:", "FWD: kept, comment stays in the address"},
        {TReplyKind::Forward, "From: \"Al B\" <a@x.org>\r\nSubject: x\r\n", "Fwd: x",
         "On , Al B wrote:", "quoted name"},
        {TReplyKind::Reply, "reply-to: r@x.org\r\nFrom: a@x.org\r\nSubject: s\r\n", "Re: s",
         "On , you wrote:", "lower-case reply-to is not read"},
    };
    for (const auto& c : cases) {
        TfrmSend composer = Fill(c.kind, std::string(c.headers) + "\r\nBody\r\n");
        EXPECT_EQ(composer.Subject().text, c.subject) << c.why;
        EXPECT_EQ(composer.Body().front(), c.attribution) << c.why;
    }
    EXPECT_EQ(Fill(TReplyKind::Reply, "reply-to: r@x.org\r\nFrom: a@x.org\r\n\r\nB").To().text,
              "a@x.org");
}

TEST_F(Reply, ForwardAndBounce) {
    TfrmSend forward = Fill(TReplyKind::Forward, kStored, "dan@x.org");
    EXPECT_EQ(forward.To().text, "dan@x.org");
    EXPECT_TRUE(forward.Attachments().empty());
    EXPECT_EQ(Fill(TReplyKind::Forward, kStored).To().prompt, true);

    TfrmSend bounce = Fill(
        TReplyKind::Bounce,
        "From: \\\"Ann\\\" <Ann@Lee.org>\r\nSubject: Fwd: plans\r\n\r\nHello\r\n", "dan@x.org");
    EXPECT_EQ(bounce.Mode(), cmBounce);
    EXPECT_EQ(bounce.BounceSender(), "ann@lee.org");
    EXPECT_EQ(bounce.Subject().text, "Fwd: plans");
    EXPECT_EQ(bounce.Body(), (std::vector<std::string>{"Hello"}));
    ASSERT_TRUE(bounce.PrepareMessage());
    EXPECT_EQ(bounce.Message().Sender(), TmsMailAddress("ann@lee.org", ""));
}

// RFC 5322 3.6.4: a reply names the message it answers and the thread before it; an
// original without identifiers gives what it has, and garbage is left out.
TEST(ThreadLines, FollowTheOriginalsIdentifiers) {
    struct Case {
        const char* headers;
        std::vector<std::string> reply;
        const char* why;
    } cases[] = {
        {"Message-ID: <m@x>", {"In-Reply-To: <m@x>", "References: <m@x>"}, "first answer"},
        {"References: <a@x>\r\n\t<b@x>\r\nIn-Reply-To: <b@x>\r\nMessage-ID: <m@x>",
         {"In-Reply-To: <m@x>", "References: <a@x> <b@x> <m@x>"},
         "folded References go first"},
        {"In-Reply-To: <p@x> (their note)\r\nmessage-id: <m@x>",
         {"In-Reply-To: <m@x>", "References: <p@x> <m@x>"},
         "In-Reply-To stands in for References; any letter case"},
        {"In-Reply-To: <p@x> <q@x>\r\nMessage-ID: <m@x>",
         {"In-Reply-To: <m@x>", "References: <m@x>"},
         "several parents are no thread"},
        {"References: <a@x>", {"References: <a@x>"}, "no Message-ID"},
        {"Message-ID: m@x", {"In-Reply-To: <m@x>", "References: <m@x>"}, "without brackets"},
        {"References: <a b> junk <c@x>\r\nMessage-ID: <m@x>",
         {"In-Reply-To: <m@x>", "References: <c@x> <m@x>"},
         "garbage between identifiers"},
        {"Message-ID: a b", {}, "no usable identifier"},
        {"Subject: x", {}, "nothing to thread"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ThreadLines(SplitLines(c.headers), true), c.reply) << c.why;
        std::vector<std::string> forward = c.reply;
        if (!forward.empty() && forward[0].starts_with("In-Reply-To"))
            forward.erase(forward.begin());
        EXPECT_EQ(ThreadLines(SplitLines(c.headers), false), forward) << c.why;
    }

    // A long thread is folded within 78 columns and keeps its start and the latest messages.
    std::string references = "References:";
    for (int i = 0; i < 40; ++i) references += " <message-" + std::to_string(i) + "@lists.x.org>";
    const std::vector<std::string> lines =
        ThreadLines({references, "Message-ID: <last@x.org>"}, false);
    ASSERT_GT(lines.size(), 1u);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 78u) << lines[i];
        EXPECT_EQ(lines[i][0] == ' ', i > 0) << lines[i];
        joined += lines[i];
    }
    const std::vector<std::string> ids = MessageIds(joined);
    ASSERT_EQ(ids.size(), 20u);
    EXPECT_EQ(ids.front(), "<message-0@lists.x.org>");
    EXPECT_EQ(ids[1], "<message-22@lists.x.org>");
    EXPECT_EQ(ids.back(), "<last@x.org>");
}

// The thread goes with the message the composer builds: a reply carries In-Reply-To and
// References, a forward References alone; the attribution stays as it was.
TEST_F(Reply, RepliesAndForwardsCarryTheThread) {
    std::string withId = kStored;
    withId.insert(withId.find("From: "),
                  "Message-ID: <orig@lee.org>\r\nReferences: <start@lee.org>\r\n");
    for (TReplyKind kind : {TReplyKind::Reply, TReplyKind::ReplyToAll, TReplyKind::Forward}) {
        TfrmSend composer = Fill(kind, withId, "dan@x.org");
        ASSERT_TRUE(composer.PrepareMessage());
        const TmsHeaders& headers = composer.Message().Headers();
        EXPECT_EQ(headers.GetFieldValue("References"), "<start@lee.org> <orig@lee.org>");
        EXPECT_EQ(headers.GetFieldValue("In-Reply-To"),
                  kind == TReplyKind::Forward ? "" : "<orig@lee.org>");
        EXPECT_TRUE(headers.GetFieldValue("Message-ID").ends_with("@Work.org>"))
            << "the answer has an identifier of its own";
        EXPECT_TRUE(composer.Body().front().starts_with("On Sun, 1 Feb 2026 10:00:00 +0100, "));
    }
}

// A forward sends the original's files as attachments instead of quoting their paths; a
// file that is gone keeps its line, so the user sees what is missing.
TEST_F(Reply, ForwardAttachesTheOriginalsFiles) {
    const std::string pdf = (dir / "Rechnung-November.pdf").string();
    WriteFile(pdf, "%PDF");
    const std::string gone = (dir / "gone.txt").string();
    const std::string message =
        "From: \"Ann Lee\" <ann@lee.org>\r\nSubject: bill\r\n\r\nSee it\r\n"
        "Attachment Converted: \"" +
        pdf +
        "\"\r\n"
        "Attachment Converted: \"" +
        gone + "\"\r\n";
    TfrmSend forward = Fill(TReplyKind::Forward, message, "dan@x.org");
    EXPECT_EQ(forward.Attachments(), (std::vector<std::string>{pdf}));
    EXPECT_EQ(forward.Body(),
              (std::vector<std::string>{"On , Ann Lee wrote:", ">See it",
                                        ">Attachment Converted: \"" + gone + "\""}));
    EXPECT_TRUE(forward.CloseQuietly());

    // A message that was only a file keeps the attribution above it.
    TfrmSend only =
        Fill(TReplyKind::Forward, "From: a@x.org\r\n\r\nAttachment Converted: \"" + pdf + "\"\r\n");
    EXPECT_EQ(only.Attachments(), (std::vector<std::string>{pdf}));
    EXPECT_EQ(only.Body(), (std::vector<std::string>{"On , a@x.org wrote:"}));

    // A reply quotes the lines and attaches nothing.
    EXPECT_TRUE(Fill(TReplyKind::Reply, message).Attachments().empty());
}

// A bounce is the original redirected: its From, Date and Message-ID stay, and the Resent
// block names the account that redirected it, the new recipients, the time and a new
// identifier.
TEST_F(Reply, BounceKeepsTheOriginalsIdentity) {
    const std::string pdf = (dir / "a.pdf").string();
    WriteFile(pdf, "%PDF");
    TfrmSend bounce = Fill(TReplyKind::Bounce,
                           "From: \"Ann Lee\" <Ann@Lee.org>\r\nDate: Sun, 1 Feb 2026 10:00:00 "
                           "+0100\r\nMessage-ID: <orig@lee.org>\r\nSubject: plans\r\n"
                           "X-Account: Work\r\n\r\nHello\r\nAttachment Converted: \"" +
                               pdf + "\"\r\n",
                           "dan@x.org");
    bounce.AddCcLine("eve@x.org");
    EXPECT_EQ(bounce.Body(), (std::vector<std::string>{"Hello"}));
    EXPECT_EQ(bounce.Attachments(), (std::vector<std::string>{pdf}));
    ASSERT_TRUE(bounce.PrepareMessage());
    const TmsMessage& m = bounce.Message();
    const TmsHeaders& h = m.Headers();
    EXPECT_EQ(m.Sender(), TmsMailAddress("ann@lee.org", ""));
    EXPECT_EQ(h.GetFieldValue("Date"), "Sun, 1 Feb 2026 10:00:00 +0100");
    EXPECT_EQ(h.GetFieldValue("Message-ID"), "<orig@lee.org>");
    EXPECT_EQ(h.GetFieldValue("Resent-From"), "<Me@Work.org>");
    EXPECT_EQ(h.GetFieldValue("Resent-To"), "dan@x.org");
    EXPECT_EQ(h.GetFieldValue("Resent-Cc"), "eve@x.org");
    EXPECT_FALSE(h.GetFieldValue("Resent-Date").empty());
    EXPECT_NE(h.GetFieldValue("Resent-Date"), h.GetFieldValue("Date"));
    EXPECT_TRUE(h.GetFieldValue("Resent-Message-ID").ends_with("@Work.org>"));

    // An original without a Date or Message-ID gets the composer's time and identifier; an
    // account's name goes into Resent-From.
    WriteFile(paths.accountsFile, "[Home]\r\nName=Jo Q. Public\r\nEmail=me@home.org\r\nSMTP=s\r\n");
    TfrmSend bare = Fill(TReplyKind::Bounce, "From: ann@lee.org\r\n\r\nHi\r\n", "dan@x.org");
    ASSERT_TRUE(bare.PrepareMessage());
    EXPECT_FALSE(bare.Message().Headers().GetFieldValue("Date").empty());
    EXPECT_FALSE(bare.Message().Headers().GetFieldValue("Message-ID").empty());
    EXPECT_EQ(bare.Message().Headers().GetFieldValue("Resent-From"),
              "\"Jo Q. Public\" <me@home.org>");
}

TEST_F(Reply, AlternativeMessageQuotesTheHtmlWithoutTags) {
    const std::string message =
        "From: a@x.org\r\nSubject: s\r\nMime-Version: 1.0\r\n"
        "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain\r\n\r\nplain text\r\n"
        "--b1\r\nContent-Type: text/html\r\n\r\n<p>rich &gt; <b>text</b></p>\r\n--b1--\r\n";
    TfrmSend reply = Fill(TReplyKind::Reply, message);
    EXPECT_EQ(reply.Body(), (std::vector<std::string>{"On , you wrote:", ">rich > text"}));
}

TEST_F(Reply, NamesAndStatusLetters) {
    EXPECT_EQ(ExtractName("\"Ann Lee\" <a@x.org>"), "Ann Lee");
    EXPECT_EQ(ExtractName("Ann Lee <a@x.org>"), "Ann Lee ");
    EXPECT_EQ(ExtractName("\"half"), "");
    EXPECT_EQ(ReplyStatusLetter(TReplyKind::ReplyToAll), "W");
    EXPECT_EQ(ReplyStatusLetter(TReplyKind::Forward), "F");
    EXPECT_EQ(ReplyStatusLetter(TReplyKind::Bounce), "B");
    TfrmSend composer(paths, view, outbox, chooser);
    EXPECT_FALSE(FillFromMessage(composer, TReplyKind::Reply, {"", "body"}, paths.accountsFile,
                                 paths.settingsFile));
}

// A script's message opens with its text, subject and bare addresses, resolved as typed ones
// are; an HTML body arrives as plain text, and display names and blank addresses stay behind.
TEST_F(Reply, AScriptsMessageFillsTheComposer) {
    TmsMessage m;
    m.Recipients().AddAddress("ann@lee.org", "Ann Lee");
    m.Recipients().AddAddress("  ", "Nobody");
    m.Recipients().AddAddress("bob@x.org", "");
    m.BCC().AddAddress("eve@x.org", "Eve");
    m.SetSubject("Plans");
    m.Body() = {"<p>Hello <b>there</b></p>", "second"};
    m.SetContentType("text/html");
    TfrmSend composer(paths, view, outbox, chooser);
    composer.SetMode(cmScript);
    composer.FirstActivation();
    FillFromScript(composer, m);
    EXPECT_EQ(composer.Mode(), cmScript);
    EXPECT_EQ(composer.To().text, "ann@lee.org, bob@x.org");
    EXPECT_EQ(composer.Cc().text, "");
    EXPECT_EQ(composer.Bcc().text, "eve@x.org");
    EXPECT_EQ(composer.Subject().text, "Plans");
    EXPECT_EQ(composer.Body(), (std::vector<std::string>{"Hello there", "second"}));

    // A message without a subject keeps the composer's empty one.
    TmsMessage plain;
    plain.Body() = {"<b>kept</b>"};
    TfrmSend other(paths, view, outbox, chooser);
    other.FirstActivation();
    FillFromScript(other, plain);
    EXPECT_EQ(other.Subject().text, "");
    EXPECT_EQ(other.Body(), (std::vector<std::string>{"<b>kept</b>"}));
}

}  // namespace
}  // namespace kivo
