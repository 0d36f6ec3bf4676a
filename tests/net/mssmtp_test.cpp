#include "net/mssmtp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "mail/mserrors.h"
#include "mail/msmsgcls.h"
#include "mail/outgoingid.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::C;
using test::D;
using test::PumpPlatform;
using test::S;
using test::ScriptServer;

TmsMessage ThreeRecipients() {
    TmsMessage message;
    message.Sender().SetAddress("me@x.test");
    message.Recipients().AddAddress("to1@x.test", "One");
    message.Recipients().AddAddress("to2@x.test", "");
    message.BCC().AddAddress("hidden@x.test", "");
    message.SetSubject("Hello");
    message.Body() = {"first", ".", "..", ".x", "last"};
    return message;
}

struct Smtp {
    PumpPlatform platform;
    TmsSMTP smtp{platform};
    std::vector<std::string> events;

    explicit Smtp(const ScriptServer& server) {
        smtp.Server = server.Address();
        smtp.TimeOut = 5;
        smtp.OnSending = [this](TagSocket&) { events.push_back("sending"); };
        smtp.OnMailSent = [this](TagSocket&) { events.push_back("sent"); };
    }
    std::string Helo() const { return "HELO " + smtp.LocalHostName(); }
};

TEST(SmtpClient, SendsEnvelopeAndStuffedDataAfterAMultiLineGreeting) {
    // The helo line depends on this machine's name; the server only reads it.
    ScriptServer server({S("220-mail.x.test ESMTP\n220-more text\n220 ready"),
                         test::Step{test::Step::client, "HELO *"}, S("501 Syntax: HELO hostname"),
                         C("HELO"), S("250 ok"), C("MAIL FROM:<me@x.test>"), S("250 ok"),
                         C("RCPT TO:<to1@x.test>"), S("250 ok"), C("RCPT TO:<to2@x.test>"),
                         S("250 ok"), C("RCPT TO:<hidden@x.test>"), S("250 ok"), C("DATA"),
                         S("354 go ahead"), D(), S("250-queued\n250 as 1"), C("QUIT"),
                         S("221 bye")});
    Smtp s(server);
    TmsMessage message = ThreeRecipients();
    s.smtp.MailMessage = &message;
    s.smtp.SendMail();
    auto received = server.Received();
    auto expected = server.Expected();
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_EQ(received[0], s.Helo());
    for (std::size_t i = 1; i < received.size(); ++i) EXPECT_EQ(received[i], expected[i]);
    EXPECT_EQ(s.events, (std::vector<std::string>{"sending", "sent"}));
    EXPECT_FALSE(s.smtp.Connected());

    std::string data = server.Data();
    EXPECT_EQ(data.find("hidden@x.test"), std::string::npos);
    // On the wire every line starting with a dot gets one more; the receiver takes it off.
    EXPECT_NE(data.find("\r\nfirst\r\n..\r\n...\r\n..x\r\nlast\r\n"), std::string::npos) << data;
    EXPECT_TRUE(data.ends_with("\r\n\r\n.\r\n"));
    // A message without them leaves with a Message-ID on the sender's domain and a Date.
    const std::string header = data.substr(0, data.find("\r\n\r\n"));
    EXPECT_NE(header.find("\r\nMessage-ID: <"), std::string::npos) << header;
    EXPECT_NE(header.find("@x.test>\r\n"), std::string::npos) << header;
    EXPECT_NE(header.find("\r\nDate: "), std::string::npos) << header;
}

// Message-ID and Date lines a message has stay as they are, once each; new identifiers
// never repeat.
TEST(SmtpClient, IdentityLinesAreAddedOnlyWhenMissing) {
    TmsHeaders headers;
    headers.Add("message-id: <mine@x.test>");
    headers.Add("Date: Thu, 10 Dec 2026 09:00:00 +0000");
    const TmsHeaders before = headers;
    AddMissingIdentity(headers, "me@x.test", DateTime::Now());
    EXPECT_EQ(headers, before);

    TmsHeaders bare;
    AddMissingIdentity(bare, "me@Sub.X.test", DateTime{2026, 12, 10, 9, 30, 0});
    ASSERT_EQ(bare.Count(), 2u);
    EXPECT_TRUE(bare[0].starts_with("Message-ID: <")) << bare[0];
    EXPECT_TRUE(bare[0].ends_with("@Sub.X.test>")) << bare[0];
    EXPECT_TRUE(bare[1].starts_with("Date: Thu, 10 Dec 2026 09:30:00 ")) << bare[1];

    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i) ids.insert(NewMessageId("me@x.test"));
    EXPECT_EQ(ids.size(), 1000u);
    EXPECT_TRUE(NewMessageId("no domain").ends_with(">"));
    EXPECT_EQ(NewMessageId("no domain").find("@>"), std::string::npos);
}

// A redirected message goes out from the user who redirected it (its Resent-From), so the
// server the user is logged in to takes it; its From stays the author's.
TEST(SmtpClient, ARedirectedMessageHasTheRedirectorAsEnvelopeSender) {
    ScriptServer server({S("220 hi"), test::Step{test::Step::client, "HELO *"}, S("250 ok"),
                         C("MAIL FROM:<bob@here.test>"), S("250 ok"), C("RCPT TO:<to1@x.test>"),
                         S("250 ok"), C("RCPT TO:<to2@x.test>"), S("250 ok"),
                         C("RCPT TO:<hidden@x.test>"), S("250 ok"), C("DATA"), S("354 go"), D(),
                         S("250 ok"), C("QUIT"), S("221 bye")});
    Smtp s(server);
    TmsMessage message = ThreeRecipients();
    message.Sender().SetAddress("author@elsewhere.test");
    message.Headers().Add("Resent-From: \"Bob B.\" <bob@here.test>");
    s.smtp.MailMessage = &message;
    s.smtp.SendMail();
    const auto received = server.Received();
    const auto expected = server.Expected();
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_EQ(received[1], expected[1]);
    EXPECT_NE(server.Data().find("<author@elsewhere.test>"), std::string::npos);
}

TEST(SmtpClient, NegativeRepliesEndTheSending) {
    struct Case {
        const char* why;
        std::vector<test::Step> tail;  // after MAIL FROM
        const char* error;
    } cases[] = {
        {"DATA answered 250 instead of 354",
         {C("RCPT TO:<to1@x.test>"), S("250 ok"), C("RCPT TO:<to2@x.test>"), S("250 ok"),
          C("RCPT TO:<hidden@x.test>"), S("250 ok"), C("DATA"), S("250 ok")},
         "250 ok"},
        {"refused recipient without Proceed",
         {C("RCPT TO:<to1@x.test>"), S("550 5.1.1 User unknown")},
         "550 5.1.1 User unknown"},
    };
    for (auto& c : cases) {
        std::vector<test::Step> steps{S("220 hi"), test::Step{test::Step::client, "HELO *"},
                                      S("250 ok"), C("MAIL FROM:<me@x.test>"), S("250 ok")};
        steps.insert(steps.end(), c.tail.begin(), c.tail.end());
        ScriptServer server(steps);
        Smtp s(server);
        TmsMessage message = ThreeRecipients();
        s.smtp.MailMessage = &message;
        std::vector<std::string> rejected;
        s.smtp.OnAddressRejected = [&](TagSocket&, const std::string& address,
                                       const std::string& reply,
                                       bool&) { rejected.push_back(address + " " + reply); };
        s.smtp.Open();
        try {
            s.smtp.Send();
            FAIL() << c.why;
        } catch (const EServerError& e) {
            EXPECT_STREQ(e.what(), c.error) << c.why;
        }
        EXPECT_TRUE(s.smtp.Connected()) << c.why;
        s.smtp.Disconnect();
        auto received = server.Received();
        EXPECT_EQ(received.back(), server.Expected().back()) << c.why;
    }
}

TEST(SmtpClient, RefusedRecipientWithProceedContinues) {
    ScriptServer server({S("220 hi"), test::Step{test::Step::client, "HELO *"}, S("250 ok"),
                         C("MAIL FROM:<me@x.test>"), S("250 ok"), C("RCPT TO:<to1@x.test>"),
                         S("550 no such user"), C("RCPT TO:<to2@x.test>"), S("250 ok"),
                         C("RCPT TO:<hidden@x.test>"), S("250 ok"), C("DATA"), S("354 go"), D(),
                         S("250 ok"), C("RSET"), S("250 reset"), C("QUIT"), S("221")});
    Smtp s(server);
    TmsMessage message = ThreeRecipients();
    s.smtp.MailMessage = &message;
    std::vector<std::string> rejected;
    s.smtp.OnAddressRejected = [&](TagSocket&, const std::string& address, const std::string& reply,
                                   bool& proceed) {
        rejected.push_back(address + " " + reply);
        proceed = true;
    };
    s.smtp.Open();
    s.smtp.Send();
    s.smtp.Reset();
    s.smtp.Close();
    EXPECT_EQ(rejected, std::vector<std::string>{"to1@x.test 550 no such user"});
    auto received = server.Received();
    auto expected = server.Expected();
    EXPECT_EQ(std::vector<std::string>(received.begin() + 1, received.end()),
              std::vector<std::string>(expected.begin() + 1, expected.end()));
}

TEST(SmtpClient, MessageChecksComeBeforeAnyTraffic) {
    PumpPlatform platform;
    TmsSMTP smtp(platform);
    EXPECT_THROW(smtp.SendMail(), ESocketError);  // no server
    ScriptServer server({S("220 hi"), test::Step{test::Step::client, "HELO *"}, S("250 ok"),
                         C("QUIT"), S("221 bye")});
    smtp.Server = server.Address();
    smtp.Open();
    EXPECT_THROW(smtp.Send(), ESocketError);  // no message assigned
    TmsMessage message;
    message.Sender().SetAddress("me@x.test");
    smtp.MailMessage = &message;
    EXPECT_THROW(smtp.Send(), EMessageError);  // no recipient
    smtp.Close();
    EXPECT_EQ(server.Received().size(), 2u);
}

TEST(SmtpClient, StuffDots) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {".", ".."},
        {".\r\n..\r\n...\r\n.x\r\n", "..\r\n...\r\n....\r\n..x\r\n"},
        {"a.b\r\n x\r\n", "a.b\r\n x\r\n"},
        {"", ""},
    };
    for (auto& c : cases) {
        EXPECT_EQ(StuffDots(c.in), c.out) << c.in;
        // Stuffed in two pieces split anywhere: the same, also with a dot just after a cut.
        for (std::size_t cut = 0; cut <= c.in.size(); ++cut) {
            TDotStuffer stuffer;
            std::string out;
            stuffer.Append(std::string_view(c.in).substr(0, cut), out);
            stuffer.Append(std::string_view(c.in).substr(cut), out);
            EXPECT_EQ(out, c.out) << c.in << " cut at " << cut;
        }
    }
}

// However much a server says in one reply, the client reads a bounded amount, hangs up and
// names the server and the limit.
TEST(SmtpClient, RepliesAreBoundedInLinesAndBytes) {
    struct Case {
        const char* why;
        std::string reply;  // the answer to EHLO
        std::string error;  // after "The SMTP server 127.0.0.1:port "
    } cases[] = {
        {"a flood of long extension lines",
         [] {
             std::string flood;
             for (int i = 0; i < 2000; ++i) flood += "250-X" + std::string(1000, 'x') + "\r\n";
             return flood + "250 end\r\n";
         }(),
         "sent a reply of more than 65536 bytes"},
        {"a flood of short lines",
         [] {
             std::string flood;
             for (int i = 0; i < 5000; ++i) flood += "250-X\r\n";
             return flood + "250 end\r\n";
         }(),
         "sent a reply of more than 500 lines"},
    };
    for (auto& c : cases) {
        ScriptServer server({S("220 hi"), test::Step{test::Step::client, "EHLO *"},
                             test::Raw(c.reply), test::Stall()});
        Smtp s(server);
        s.smtp.AuthUser = "me";  // a log-in needs EHLO
        std::string seen;
        s.smtp.OnError = [&](TagSocket&, std::string& text) { seen = text; };
        try {
            s.smtp.Open();
            FAIL() << c.why;
        } catch (const ESocketError& e) {
            const std::string expected =
                "The SMTP server 127.0.0.1:" + std::to_string(server.Port()) + " " + c.error;
            EXPECT_EQ(e.what(), expected) << c.why;
            EXPECT_EQ(seen, expected) << c.why;
        }
        EXPECT_FALSE(s.smtp.Connected()) << c.why;
    }

    // A single line past the socket's line limit ends it as well.
    ScriptServer server({S("220 hi"), test::Step{test::Step::client, "EHLO *"},
                         test::Endless("250-" + std::string(65 * 1024, 'x'))});
    Smtp s(server);
    s.smtp.AuthUser = "me";
    EXPECT_THROW(s.smtp.Open(), ESocketError);
    EXPECT_FALSE(s.smtp.Connected());
}

// The data of a message must arrive within the idle time-out plus a second per 10 KB: steady
// progress slower than that ends it, without the final dot, and the connection is closed.
TEST(SmtpClient, TheDataOfAMessageHasADeadlineScaledToItsSize) {
    for (const bool slow : {false, true}) {
        std::vector<test::Step> steps{S("220 hi"), test::Step{test::Step::client, "HELO *"},
                                      S("250 ok"), C("MAIL FROM:<me@x.test>"),
                                      S("250 ok"), C("RCPT TO:<to1@x.test>"),
                                      S("250 ok"), C("DATA"),
                                      S("354 go"), D()};
        if (!slow) steps.push_back(S("250 ok"));
        ScriptServer server(steps);
        Smtp s(server);
        test::FakeClock clock;
        s.smtp.Counter().SetClock(clock.Now());
        // 200 KB: a deadline of 5 + 20 s. Each piece of 64 KB "takes" 10 s when slow: the
        // fourth would start at 30 s.
        s.smtp.OnProgress = [&](TagSocket&, int, std::int64_t) {
            if (slow) clock.Advance(10);
        };
        const std::string data =
            "Subject: big\r\n\r\n" + std::string(200 * 1024 - 18, 'a') + "\r\n";
        s.smtp.Open();
        if (slow) {
            EXPECT_THROW(s.smtp.SendEnvelope("me@x.test", {"to1@x.test"}, data), ETimedOutError);
            EXPECT_FALSE(s.smtp.Connected());
            EXPECT_FALSE(server.Data().ends_with("\r\n.\r\n"));
        } else {
            s.smtp.SendEnvelope("me@x.test", {"to1@x.test"}, data);
            EXPECT_EQ(server.Data(), data + "\r\n.\r\n");
        }
        EXPECT_EQ(s.smtp.TimeOut, 5) << "the account's time-out is back";
        s.smtp.Disconnect();
    }
}

// A message larger than a piece leaves whole, in pieces, through a temporary file that has no name
// while it is sent (so none is ever left behind); the attachment arrives byte for byte.
TEST(SmtpClient, ALargeMessageIsSentWholeThroughAnUnnamedTemporaryFile) {
    test::TempDir temp;
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", temp.path().c_str(), 1);

    TmsMessage message = ThreeRecipients();
    TmsAttItem item;
    item.SetFileName("blob.bin");
    for (unsigned i = 0; i < 300 * 1024; ++i) item.Data() += static_cast<char>((i * 7919u) >> 5);
    message.Attachments().Add(item);
    ScriptServer server({S("220 hi"), test::Step{test::Step::client, "HELO *"}, S("250 ok"),
                         C("MAIL FROM:<me@x.test>"), S("250 ok"), C("RCPT TO:<to1@x.test>"),
                         S("250 ok"), C("RCPT TO:<to2@x.test>"), S("250 ok"),
                         C("RCPT TO:<hidden@x.test>"), S("250 ok"), C("DATA"), S("354 go"), D(),
                         S("250 ok"), C("QUIT"), S("221 bye")});
    Smtp s(server);
    std::size_t namedDuringSend = 0;
    s.smtp.OnSending = [&](TagSocket&) {
        namedDuringSend = std::distance(std::filesystem::directory_iterator(temp.path()),
                                        std::filesystem::directory_iterator());
    };
    std::vector<int> percents;
    s.smtp.OnProgress = [&](TagSocket&, int perc, std::int64_t) { percents.push_back(perc); };
    s.smtp.MailMessage = &message;
    s.smtp.SendMail();
    if (old) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }

    EXPECT_EQ(namedDuringSend, 0u);
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents[percents.size() - 2], 100);
    EXPECT_EQ(percents.back(), 0);
    std::string data = server.Data();
    ASSERT_TRUE(data.ends_with("\r\n\r\n.\r\n"));
    data.resize(data.size() - 3);
    TmsMessage arrived;
    arrived.LoadFromBytes(data);
    ASSERT_EQ(arrived.Attachments().Count(), 1u);
    EXPECT_TRUE(arrived.Attachments().Items(0).Data() == item.Data());
}

}  // namespace
}  // namespace kivo
