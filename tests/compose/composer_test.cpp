#include <gtest/gtest.h>

#include <chrono>

#include "base/bytes.h"
#include "compose/KivoSend.h"
#include "compose/parseaddresses.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::TempDir;
using test::WriteFile;

class FixedChoice : public TFrmChooseAddress {
  public:
    std::optional<std::string> answer;
    std::vector<std::string> asked;
    std::optional<std::string> Choose(std::string_view text,
                                      const std::vector<std::string>&) override {
        asked.emplace_back(text);
        return answer;
    }
};

TEST(ParseAddresses, ResolvesSplitsAndJoins) {
    TfrmAddress book;
    book.Load({{"Ann", "Lee", "ann@a.org"},
               {"Duo", "", "d1@x.org, d2@x.org"},
               {"Sam", "One", "s1@x.org"},
               {"Sam", "Two", "s2@x.org"}});
    struct Case {
        const char* text;
        std::optional<std::string> choice;
        std::vector<std::string> addresses;
        const char* why;
    } cases[] = {
        {"ann; bob@b.org", {}, {"ann@a.org", "bob@b.org"}, "nickname and semicolon"},
        {"ann\r\n\r\n,,cy@c.org", {}, {"ann@a.org", "cy@c.org"}, "runs of separators"},
        {"John Smith <js@x.org>, ann",
         {},
         {"John Smith <js@x.org>", "ann@a.org"},
         "a name with its address stays whole"},
        {"J\xC3\xB6rg <j@x.org>", {}, {"J\xC3\xB6rg <j@x.org>"}, "non-ASCII name"},
        {"a@x.org b@x.org", {}, {"a@x.org", "b@x.org"}, "bare addresses split at blanks"},
        {"duo", {}, {"d1@x.org", "d2@x.org"}, "a candidate holding two addresses"},
        {"sam", {}, {"sam"}, "several candidates, none chosen"},
        {"sam", "s2@x.org", {"s2@x.org"}, "several candidates, one chosen"},
        {"nobody", {}, {"nobody"}, "unknown name stays"},
        {"a@x.org (Al B), ann", {}, {"a@x.org (Al B)", "ann@a.org"}, "a comment stays whole"},
        {" , ; ", {}, {}, "nothing"},
    };
    for (const auto& c : cases) {
        FixedChoice chooser;
        chooser.answer = c.choice;
        EXPECT_EQ(ParseAddresses(c.text, book, kLookupDefault, chooser), c.addresses) << c.why;
    }
}

TEST(ParseAddresses, KnowsAMailAddress) {
    for (const char* good : {"a@x.org", "first.last+tag@sub.x.org", "\"a b\"@x.org",
                             "j\xC3\xB6@x.org", "a@[192.0.2.1]"})
        EXPECT_TRUE(IsMailAddress(good)) << good;
    for (const char* bad : {"carol", "", "@x.org", "a@", "a b@x.org", "a@x .org", "a,b@x.org",
                            "<a@x.org>", "a@x.org;", "a@b@x.org", "a\t@x.org"})
        EXPECT_FALSE(IsMailAddress(bad)) << bad;
    EXPECT_EQ(RecipientAddress("Jo Doe <jo@x.org>"), "jo@x.org");
    EXPECT_EQ(RecipientAddress("jo@x.org (Jo)"), "jo@x.org");
    EXPECT_EQ(RecipientAddress("jo@x.org"), "jo@x.org");
}

struct RecordingView : TComposerView {
    std::vector<std::string> tips;
    std::vector<std::string> log;
    std::string status;
    void ShowTip(const std::string& text) override { tips.push_back(text); }
    void StatusText(const std::string& text) override { status = text; }
    void ErrorLevel(int level, const std::string& text) override {
        log.push_back(std::to_string(level) + " " + text);
    }
};

struct RecordingOutbox : TComposerOutbox {
    std::vector<TmsMessage> queued;
    std::vector<std::optional<int>> signatureLines;
    std::vector<std::vector<std::string>> attachments;
    void Queue(const TmsMessage& message, std::optional<int> sig,
               const std::vector<std::string>& files) override {
        queued.push_back(message);
        signatureLines.push_back(sig);
        attachments.push_back(files);
    }
    std::vector<TmsMessage> filed;
    void File(const TmsMessage& copy, std::optional<int>, bool) override { filed.push_back(copy); }
    void RunOutgoing(TmsMessage&) override {}
    void Send(TmsMessage&, const std::string&, const std::string&) override {}
};

class Composer : public ::testing::Test {
  protected:
    void SetUp() override {
        paths = {dir / "kivo.ini", dir / "accounts.ini", dir / "address.ini", dir / "Mail",
                 dir / "Signatures"};
        std::filesystem::create_directories(paths.signatureFolder);
        WriteFile(paths.settingsFile, "[Mail]\r\nDefaultAccount=Work\r\n");
        WriteFile(paths.accountsFile,
                  "[Home]\r\nName=Jo Home\r\nEmail=jo@home.org\r\nPOPServer=pop.home.org\r\n"
                  "[Work]\r\nName=Jo \"JD\" Doe\r\nEmail=jo@work.org\r\nSMTP=smtp.work.org\r\n"
                  "Sig=Office\r\n");
        WriteFile(paths.addressFile, "Ann,Lee,ann@a.org\r\n");
        WriteFile(paths.signatureFolder / "Office.txt", "-- \r\n%fullname%\r\n");
    }
    TfrmSend Make() {
        TfrmSend composer(paths, view, outbox, chooser);
        composer.FirstActivation();
        return composer;
    }
    TempDir dir;
    TComposerPaths paths;
    RecordingView view;
    RecordingOutbox outbox;
    FixedChoice chooser;
};

TEST_F(Composer, InitMailToFillsTheFields) {
    struct Case {
        const char* url;
        const char* to;
        const char* cc;
        const char* subject;
        const char* body;
        const char* why;
    } cases[] = {
        {"mailto:a@x.org,b@x.org?subject=Hi&body=There", "a@x.org\r\nb@x.org", "", "Hi", "There",
         "two addresses, subject and body"},
        {"  MAILTO:a@x.org?CC=c@x.org  ", "a@x.org", "c@x.org", "", "", "capitals"},
        {"J%C3%B6rg%20%3Cj@x.org%3E?subject=A%20B%26C%3F&body=1%0D%0A2%25", "J\xC3\xB6rg <j@x.org>",
         "", "A B&C?", "1\r\n2%", "escapes are decoded"},
        {"a@x.org?cc=b%2Cc@x.org,d@x.org", "a@x.org", "b,c@x.org\r\nd@x.org", "", "",
         "an escaped comma is no separator"},
        {"mailto:?to=a@x.org&x-y=1&subject=S%zz", "a@x.org", "", "S%zz", "",
         "to= field, unknown fields ignored, a bad escape kept"},
        {"a@x.org?body=1?body=2", "a@x.org", "", "", "2", "several question marks"},
        {"a@x.org?subject=Hi%0D%0ABcc:%20b@x.org%0A%0AFrom%20x", "a@x.org", "",
         "Hi  Bcc: b@x.org  From x", "", "a line break in the subject is no header line"},
    };
    for (const auto& c : cases) {
        TfrmSend composer = Make();
        composer.InitMailTo(c.url);
        EXPECT_EQ(composer.To().text, c.to) << c.why;
        EXPECT_EQ(composer.Cc().text, c.cc) << c.why;
        EXPECT_EQ(composer.Subject().text, c.subject) << c.why;
        EXPECT_EQ(composer.Body(), SplitLines(c.body)) << c.why;
    }
}

TEST_F(Composer, LeavingToResolvesAndJoins) {
    TfrmSend composer = Make();
    composer.SetTo("ann;\r\nbob@b.org");
    composer.LeaveTo();
    EXPECT_EQ(composer.To().text, "ann@a.org, bob@b.org");
    composer.SetTo(" ; ");
    composer.LeaveTo();
    EXPECT_TRUE(composer.To().prompt);
    EXPECT_EQ(composer.Caption(), "New");
    composer.SetSubject("A very long subject line that goes on and on");
    EXPECT_EQ(composer.Caption(), "New, A very long subject line that ");
    // Thirty characters, not bytes: a two-byte letter is never halved.
    composer.SetSubject("\xc3\xa9t\xc3\xa9 " + std::string(30, 'x'));
    EXPECT_EQ(composer.Caption(), "New, \xc3\xa9t\xc3\xa9 " + std::string(26, 'x'));
}

TEST_F(Composer, PreparesTheMessageFromTheAccount) {
    TfrmSend composer = Make();
    EXPECT_EQ(composer.Account(), "Work");
    EXPECT_EQ(composer.SignatureLines(), (std::vector<std::string>{"-- ", "Jo \"JD\" Doe"}));
    composer.SetTo("ann, <b@b.org>");
    composer.SetCc("c@c.org");
    composer.SetBcc("ann");
    composer.SetSubject("Grüße");
    composer.SetBodyText("Hello\r\nFrom here\r\n.");
    composer.SetPriority(ptHigh);
    ASSERT_TRUE(composer.PrepareMessage());
    const TmsMessage& m = composer.Message();
    EXPECT_EQ(m.Sender(), TmsMailAddress("jo@work.org", "Jo JD Doe"));
    ASSERT_EQ(m.Recipients().Count(), 2u);
    EXPECT_EQ(m.Recipients().Items(0).Address(), "ann@a.org");
    EXPECT_EQ(m.Recipients().Items(1).Address(), "b@b.org");  // no doubled brackets
    EXPECT_EQ(m.CC().Items(0).Address(), "c@c.org");
    EXPECT_EQ(m.BCC().Count(), 0u);
    EXPECT_EQ(m.Subject(), "Grüße");
    EXPECT_EQ(m.Priority(), ptHigh);
    EXPECT_EQ(m.Body(),
              (std::vector<std::string>{"Hello", ">From here", ".", "-- ", "Jo \"JD\" Doe"}));
    EXPECT_EQ(m.Headers().GetFieldValue("X-Bcc"), "ann@a.org");
    EXPECT_EQ(m.Headers().GetFieldValue("X-SMTP"), "smtp.work.org");
    EXPECT_EQ(m.Headers().GetFieldValue("X-Mailer"), "Kivo, v1.0");
    EXPECT_FALSE(m.Headers().GetFieldValue("Date").empty());
    EXPECT_EQ(composer.Server(), "smtp.work.org");
}

TEST_F(Composer, RefusesWithATipAndQueuesNothing) {
    TfrmSend composer = Make();
    EXPECT_FALSE(composer.Queue());
    EXPECT_EQ(view.tips, (std::vector<std::string>{kToEmptyTip}));

    WriteFile(paths.accountsFile, "[Work]\r\nEmail=jo@work.org\r\n");
    TfrmSend noServer = Make();
    noServer.SetTo("a@x.org");
    EXPECT_FALSE(noServer.Queue());
    EXPECT_EQ(view.tips.back(), kNoServerTip);
    EXPECT_TRUE(outbox.queued.empty());

    // The POP server serves when no SMTP server is set; the X-SMTP line stays empty.
    WriteFile(paths.accountsFile, "[Work]\r\nEmail=jo@work.org\r\nPOPServer=pop.x.org\r\n");
    TfrmSend popOnly = Make();
    popOnly.SetTo("a@x.org");
    popOnly.SetBounceSender("first@sender.org");
    const std::string bin = (dir / "a.bin").string();
    WriteFile(bin, "data");
    popOnly.AddAttachment(bin);
    ASSERT_TRUE(popOnly.Queue());
    EXPECT_EQ(popOnly.Server(), "pop.x.org");
    ASSERT_EQ(outbox.queued.size(), 1u);
    EXPECT_GE(outbox.queued[0].Headers().IndexOf("X-SMTP: "), 0);
    EXPECT_EQ(outbox.queued[0].Sender(), TmsMailAddress("first@sender.org", ""));
    EXPECT_EQ(outbox.attachments[0], (std::vector<std::string>{bin}));
    EXPECT_EQ(outbox.signatureLines[0], std::nullopt);  // "Default" signature does not exist
}

// A recipient no server could take is refused before anything is queued or sent: a name
// the address book does not know, or one that matches several contacts when none is
// chosen, in any of the three fields.
TEST_F(Composer, RefusesARecipientThatIsNoAddress) {
    WriteFile(paths.addressFile, "Ann,Lee,ann@a.org\r\nSam,One,s1@x.org\r\nSam,Two,s2@x.org\r\n");
    struct Case {
        const char* to;
        const char* cc;
        const char* bcc;
        std::string tip;
    } cases[] = {
        {"carol", "", "", std::string("\"carol\"") + kUnknownRecipientTip},
        {"ann, sam", "", "", std::string("\"sam\"") + kSeveralContactsTip},
        {"ann", "b@x.org; cy", "", std::string("\"cy\"") + kUnknownRecipientTip},
        {"ann", "", "a@", std::string("\"a@\"") + kUnknownRecipientTip},
        {" ; , ", "", "", kToEmptyTip},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        TfrmSend composer = Make();
        composer.SetTo(c.to);
        if (*c.cc) composer.SetCc(c.cc);
        if (*c.bcc) composer.SetBcc(c.bcc);
        EXPECT_FALSE(composer.Queue());
        EXPECT_EQ(view.tips.back(), c.tip);
        EXPECT_EQ(composer.SendNow(), TSendOutcome::NotReady);
    }
    EXPECT_TRUE(outbox.queued.empty());
    EXPECT_TRUE(outbox.filed.empty());

    // Choosing one of the matches, or a name with its address, goes through.
    chooser.answer = "s2@x.org";
    TfrmSend composer = Make();
    composer.SetTo("sam, Al B <al@x.org>, cy@x.org (Cy)");
    ASSERT_TRUE(composer.Queue());
    const TmsAddressList& to = outbox.queued.back().Recipients();
    ASSERT_EQ(to.Count(), 3u);
    EXPECT_EQ(to.Items(0).Address(), "s2@x.org");
    EXPECT_EQ(to.Items(1).Address(), "al@x.org");
    EXPECT_EQ(to.Items(2).Address(), "cy@x.org");
}

TEST_F(Composer, SignatureStepsAndSaves) {
    WriteFile(paths.signatureFolder / "Alpha.txt", "A\r\n");
    TfrmSend composer = Make();
    EXPECT_EQ(composer.SignatureName(), "Office");
    composer.NextSignature();
    EXPECT_EQ(composer.SignatureName(), "Alpha");  // wraps from the last to the first
    composer.PreviousSignature();
    EXPECT_EQ(composer.SignatureName(), "Office");
    composer.SetSignatureTemplate("Bye %email%");
    EXPECT_EQ(composer.SignatureLines(), (std::vector<std::string>{"Bye jo@work.org"}));
    composer.SaveSig("New");
    EXPECT_EQ(test::ReadFile(paths.signatureFolder / "New.txt"), "Bye %email%");
    EXPECT_EQ(composer.SignatureNames(), (std::vector<std::string>{"Alpha", "New", "Office"}));
    composer.SetSignatureOn(false);
    EXPECT_FALSE(composer.SignatureInUse());
}

TEST_F(Composer, AbandonTipGuardsTypedText) {
    TfrmSend composer = Make();
    EXPECT_TRUE(composer.RequestClose());
    composer.SetSubject("draft");
    EXPECT_FALSE(composer.RequestClose());
    EXPECT_EQ(view.tips.back(), kAbandonTip);
    EXPECT_TRUE(composer.RequestClose());
    composer.TipExpired();
    EXPECT_FALSE(composer.RequestClose());
}

// The tip's four seconds count without a window timer: a second close within them closes,
// one after them shows the tip again. Any tip of the composer guards the text when it goes.
TEST_F(Composer, TipsExpireByTime) {
    auto now = std::chrono::steady_clock::time_point{};
    const auto clock = [&now] { return now; };
    struct Case {
        int secondsLater;
        bool closes;
    };
    for (const Case c : {Case{3, true}, Case{6, false}}) {
        SCOPED_TRACE(c.secondsLater);
        TfrmSend composer = Make();
        composer.SetClock(clock);
        composer.SetSubject("only a subject");
        EXPECT_FALSE(composer.RequestClose());
        now += std::chrono::seconds(c.secondsLater);
        EXPECT_EQ(composer.RequestClose(), c.closes);
    }

    TfrmSend refused = Make();
    refused.SetClock(clock);
    EXPECT_FALSE(refused.Queue());  // "To" is empty: a tip
    EXPECT_TRUE(refused.RequestClose()) << "nothing typed, the tip still shows";
    refused.SetCloseQuietly(true);
    now += std::chrono::seconds(5);
    EXPECT_FALSE(refused.RequestClose()) << "the tip went: closing asks";
}

TEST_F(Composer, DroppedFilesAreAttachedWithTheirWholePath) {
    const std::filesystem::path deep =
        dir / std::string(60, 'd') / std::string(60, 'e') / "the attachment with a long name.bin";
    std::filesystem::create_directories(deep.parent_path());
    WriteFile(deep, "bytes");
    ASSERT_GT(deep.string().size(), 79u);
    const std::string second = (dir / "second").string();
    WriteFile(second, "more");
    TfrmSend composer = Make();
    composer.SetTo("ann@a.org");
    composer.DropFiles({deep.string(), second});
    EXPECT_FALSE(composer.CloseQuietly());
    EXPECT_EQ(composer.Attachments(), (std::vector<std::string>{deep.string(), second}));
    ASSERT_TRUE(composer.Queue());
    EXPECT_EQ(outbox.attachments[0][0], deep.string());
}

// A file that went away after it was attached stops Queue and Send now before anything is
// written: the composer stays open with a tip naming the file.
TEST_F(Composer, AVanishedAttachmentStopsQueueAndSend) {
    const std::string file = (dir / "report.pdf").string();
    WriteFile(file, "pdf");
    TfrmSend composer = Make();
    composer.SetTo("ann@a.org");
    composer.AddAttachment(file);
    std::filesystem::remove(file);
    EXPECT_FALSE(composer.Queue());
    EXPECT_EQ(view.tips.back(), kAttachmentMissingTip + file);
    EXPECT_EQ(composer.SendNow(), TSendOutcome::NotReady);
    EXPECT_TRUE(outbox.queued.empty());
    EXPECT_TRUE(outbox.filed.empty());
    WriteFile(file, "pdf again");
    EXPECT_TRUE(composer.Queue());
}

TEST_F(Composer, TheSentCopyHasAnXBccLineOnlyForBlindCopies) {
    for (const char* bcc : {"", "ann"}) {
        SCOPED_TRACE(bcc);
        TfrmSend composer = Make();
        composer.SetTo("b@b.org");
        if (*bcc) composer.SetBcc(bcc);
        composer.SetBodyText("Hi");
        EXPECT_EQ(composer.SendNow(), TSendOutcome::Sent);
        ASSERT_FALSE(outbox.filed.empty());
        std::vector<std::string> lines;
        for (const std::string& line : outbox.filed.back().Headers().Lines())
            if (StartsWithNoCase(line, "X-Bcc")) lines.push_back(line);
        EXPECT_EQ(lines,
                  *bcc ? std::vector<std::string>{"X-Bcc: ann@a.org"} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace kivo
