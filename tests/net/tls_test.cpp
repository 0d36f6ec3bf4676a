// Secure connections and log-in: certificate checks against a TLS server of the test's own,
// hostile and stalling servers during the handshake, exact AUTH and STARTTLS dialogues against
// scripted servers, and the real Dovecot and Postfix of the rig over every mode.

#include <gtest/gtest.h>

#include <cstdlib>

#include "mail/msmsg.h"
#include "net/mspop3.h"
#include "net/mssmtp.h"
#include "net/tlstransport.h"
#include "tests/net/netfakes.h"
#include "tests/net/tlspeer.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::C;
using test::PumpPlatform;
using test::S;
using test::ScriptServer;

using test::Env;

using test::TrustStore;

// A socket client that connects, starts TLS at once and reads the greeting.
class Probe : public TagSocket {
  public:
    explicit Probe(Platform& platform) : TagSocket(platform) { TimeOut = 5; }
    std::string Greeting(const std::string& server, const std::string& trust) {
        Server = server;
        Connect();
        OpenConnection();
        StartTls(trust);
        std::string line;
        ReadLine(line);
        Disconnect();
        return line;
    }
};

TEST(TlsCertificate, OnlyATrustedCertificateForTheHostIsUsed) {
    struct Case {
        const char* why;
        const char* certName;
        const char* host;
        bool trustStore;    // the peer's certificate is in the trust store
        int fingerprint;    // 0: none, 1: the peer's, 2: another
        const char* error;  // empty: the greeting arrives
    };
    const Case cases[] = {
        {"trusted, for this host", "localhost", "localhost", true, 0, ""},
        {"trusted, for another host", "other.example", "127.0.0.1", true, 0, "is for another host"},
        {"a name that is no address", "other.example", "localhost", true, 0, "is for another host"},
        {"issuer unknown", "localhost", "localhost", false, 0, "issuer is unknown"},
        {"fingerprint trusted", "other.example", "127.0.0.1", false, 1, ""},
        {"another fingerprint", "localhost", "localhost", false, 2, "issuer is unknown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        test::TlsPeer peer(c.certName, "+OK secure");
        TrustStore store(c.trustStore ? peer.CertFile().string() : "/dev/null");
        PumpPlatform platform;
        Probe probe(platform);
        const std::string trust = c.fingerprint == 1   ? peer.Fingerprint()
                                  : c.fingerprint == 2 ? std::string(95, 'A')
                                                       : std::string();
        const std::string server =
            std::string(c.host) + peer.Address().substr(peer.Address().find(':'));
        if (*c.error == '\0') {
            EXPECT_EQ(probe.Greeting(server, trust), "+OK secure");
            // The session ended with close-notify, though the peer never answered it.
            EXPECT_TRUE(peer.SawCloseNotify());
            continue;
        }
        try {
            probe.Greeting(server, trust);
            ADD_FAILURE() << "connected";
        } catch (const ESocketError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.error), std::string::npos) << text;
            // The fingerprint the user may choose to trust is in the text.
            EXPECT_NE(text.find(peer.Fingerprint()), std::string::npos) << text;
        }
        EXPECT_FALSE(probe.Connected());
        EXPECT_FALSE(peer.SawCloseNotify()) << "a refused session is cut, not ended";
    }
}

TEST(TlsCertificate, FingerprintsCompareWithoutColonsOrCase) {
    EXPECT_TRUE(SameFingerprint("AB:cd:01", "abCD01"));
    EXPECT_FALSE(SameFingerprint("AB:CD:01", "AB:CD:02"));
    EXPECT_FALSE(SameFingerprint("", ""));
}

TEST(TlsHandshake, HostileAndStallingServersEndWithAnErrorNeverAHang) {
    enum Kind { stall, garbage, closes, cancel };
    struct Case {
        const char* why;
        Kind kind;
        const char* error;
    };
    const Case cases[] = {
        {"a server that never answers the hello", stall, kTimedOutText},
        {"a server that speaks no TLS", garbage, "TLS error in the handshake"},
        {"a server that hangs up", closes, "closed the connection during the TLS handshake"},
        {"the user cancels", cancel, kCanceledText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<test::Step> steps;
        if (c.kind == garbage) steps = {test::Raw(std::string(64, 'G') + "\r\n"), test::Stall()};
        if (c.kind == stall || c.kind == cancel) steps = {test::Stall()};
        ScriptServer server(steps);
        PumpPlatform platform;
        test::FakeClock clock;
        TmsRemotePOP pop(platform);
        pop.Server = server.Address();
        pop.UserName = "u";
        pop.Password = "p";
        pop.Security = TSecurity::implicit;
        pop.TimeOut = 30;
        pop.Counter().SetClock(clock.Now());
        platform.onPump = [&] {
            if (c.kind == cancel && platform.pumps > 3) pop.Cancel();
            clock.Advance(1);
        };
        try {
            pop.UpdateInfo();
            ADD_FAILURE() << "logged in";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
        EXPECT_FALSE(pop.Connected());
    }
}

TEST(SecureDialogue, NoUpgradeRefusedOrMissingEverFallsBackToPlainText) {
    PumpPlatform platform;
    {
        // STARTTLS stripped from the EHLO reply: no AUTH, no mail over plain text.
        ScriptServer server({S("220 mail ESMTP"), test::Step{test::Step::client, "EHLO *"},
                             S("250-mail\n250-AUTH PLAIN\n250 8BITMIME"), C("QUIT")});
        TmsSMTP smtp(platform);
        smtp.Server = server.Address();
        smtp.TimeOut = 5;
        smtp.Security = TSecurity::upgrade;
        smtp.AuthUser = "alice";
        smtp.AuthPassword = "secret";
        EXPECT_THROW(smtp.Open(), ESocketError);
        EXPECT_FALSE(smtp.Connected());
        EXPECT_EQ(server.Received().size(), 1u);
    }
    {
        // A refused STLS: the password never goes out.
        ScriptServer server({S("+OK ready"), C("STLS"), S("-ERR not now"), C("USER u")});
        TmsRemotePOP pop(platform);
        pop.Server = server.Address();
        pop.TimeOut = 5;
        pop.UserName = "u";
        pop.Password = "secret";
        pop.Security = TSecurity::upgrade;
        try {
            pop.UpdateInfo();
            ADD_FAILURE() << "logged in";
        } catch (const ESocketError& e) {
            EXPECT_NE(std::string(e.what()).find("-ERR not now"), std::string::npos);
        }
        EXPECT_EQ(server.Received(), std::vector<std::string>{"STLS"});
    }
}

// An SMTP client for a scripted server that logs in as `user`.
void LogInAs(TmsSMTP& smtp, const ScriptServer& server, const char* user, const char* password) {
    smtp.Server = server.Address();
    smtp.TimeOut = 5;
    smtp.AuthUser = user;
    smtp.AuthPassword = password;
}

TEST(SecureDialogue, SmtpLogsInWithTheMechanismTheServerOffers) {
    struct Case {
        const char* why;
        const char* offer;
        std::vector<test::Step> login;
    };
    // RFC 2195's example: user tim, password tanstaaftanstaaf.
    const std::vector<Case> cases = {
        {"PLAIN in one line",
         "AUTH PLAIN LOGIN",
         {C("AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm"), S("235 ok")}},
        {"LOGIN in three steps (old AUTH= form)",
         "AUTH=LOGIN",
         {C("AUTH LOGIN"), S("334 VXNlcm5hbWU6"), C("dGlt"), S("334 UGFzc3dvcmQ6"),
          C("dGFuc3RhYWZ0YW5zdGFhZg=="), S("235 ok")}},
        {"CRAM-MD5 keeps the password off a plain connection",
         "AUTH PLAIN CRAM-MD5",
         {C("AUTH CRAM-MD5"), S("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+"),
          C("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw"), S("235 ok")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<test::Step> steps = {S("220 mail ESMTP"),
                                         test::Step{test::Step::client, "EHLO *"},
                                         S(std::string("250-mail\n250 ") + c.offer)};
        steps.insert(steps.end(), c.login.begin(), c.login.end());
        steps.insert(steps.end(), {C("QUIT"), S("221 bye")});
        ScriptServer server(steps);
        PumpPlatform platform;
        TmsSMTP smtp(platform);
        LogInAs(smtp, server, "tim", "tanstaaftanstaaf");
        smtp.Open();
        smtp.Close();
        const auto received = server.Received();
        const auto expected = server.Expected();
        ASSERT_EQ(received.size(), expected.size());
        for (std::size_t i = 1; i < received.size(); ++i) EXPECT_EQ(received[i], expected[i]);
    }
}

TEST(SecureDialogue, SizeAndEightBitAreDeclaredAndAnOversizeMessageNeverSent) {
    for (const char* limit : {"1000000", "10"}) {
        SCOPED_TRACE(limit);
        const bool fits = std::string(limit) != "10";
        std::vector<test::Step> steps = {
            S("220 mail ESMTP"), test::Step{test::Step::client, "EHLO *"},
            S(std::string("250-mail\n250-8BITMIME\n250-SIZE ") + limit + "\n250 AUTH PLAIN"),
            C("AUTH PLAIN AHUAcA=="), S("235 ok")};
        if (fits)
            steps.insert(steps.end(), {test::Step{test::Step::client, "MAIL FROM:<me@x.test> *"},
                                       S("250 ok"), C("RCPT TO:<you@x.test>"), S("250 ok"),
                                       C("DATA"), S("354 go"), test::D(), S("250 queued")});
        steps.insert(steps.end(), {C("QUIT"), S("221 bye")});
        ScriptServer server(steps);
        PumpPlatform platform;
        TmsSMTP smtp(platform);
        LogInAs(smtp, server, "u", "p");
        const std::string data = "Subject: caf\xc3\xa9\r\n\r\nbody\r\n";
        smtp.Open();
        if (fits) {
            smtp.SendEnvelope("me@x.test", {"you@x.test"}, data);
        } else {
            EXPECT_THROW(smtp.SendEnvelope("me@x.test", {"you@x.test"}, data), EServerError);
        }
        smtp.Close();
        const auto received = server.Received();
        if (fits) {
            ASSERT_GE(received.size(), 3u);
            EXPECT_EQ(received[2], "MAIL FROM:<me@x.test> SIZE=" + std::to_string(data.size()) +
                                       " BODY=8BITMIME");
        } else {
            EXPECT_EQ(received.size(), 3u);  // EHLO, AUTH, QUIT
        }
    }
}

// --- the rig ----------------------------------------------------------------------------------

class SecureRig : public testing::Test {
  protected:
    void SetUp() override {
        if (Env("MAILPEERS_POP3S_PORT").empty() || Env("MAILPEERS_CA_FILE").empty())
            GTEST_SKIP() << "no mail server rig: run scripts/test.sh or export the output of "
                            "`mailpeers env DIR`";
        store_ = std::make_unique<TrustStore>(Env("MAILPEERS_CA_FILE"));
    }
    std::unique_ptr<TrustStore> store_;
    PumpPlatform platform_;
};

TEST_F(SecureRig, Pop3LogsInOverStlsAndImplicitTls) {
    for (auto [security, port] : {std::pair{TSecurity::upgrade, "MAILPEERS_POP3_PORT"},
                                  std::pair{TSecurity::implicit, "MAILPEERS_POP3S_PORT"}}) {
        SCOPED_TRACE(port);
        TmsRemotePOP pop(platform_);
        pop.Server = "localhost:" + Env(port);
        pop.UserName = "carol";
        pop.Password = "carolpw";
        pop.Security = security;
        pop.TimeOut = 20;
        pop.UpdateInfo();
        EXPECT_GE(pop.MessageCount, 0);
        EXPECT_FALSE(pop.Connected());
    }
}

TEST_F(SecureRig, SmtpRelaysOnlyAfterLogInOverStartTlsAndImplicitTls) {
    for (auto [security, port] : {std::pair{TSecurity::upgrade, "MAILPEERS_SMTP_PORT"},
                                  std::pair{TSecurity::implicit, "MAILPEERS_SMTPS_PORT"}}) {
        SCOPED_TRACE(port);
        for (const char* password : {"alicepw", "wrong"}) {
            TmsSMTP smtp(platform_);
            smtp.Server = "localhost:" + Env(port);
            smtp.Security = security;
            smtp.AuthUser = "alice";
            smtp.AuthPassword = password;
            smtp.TimeOut = 20;
            TmsMessage message;
            message.Sender().SetAddress("alice@example.test");
            // Another domain: Postfix relays it only for a client that logged in.
            message.Recipients().AddAddress("someone@elsewhere.test", "");
            message.SetSubject("tls rig");
            message.Body() = {"over TLS"};
            smtp.MailMessage = &message;
            if (std::string(password) == "alicepw") {
                EXPECT_NO_THROW(smtp.SendMail());
                continue;
            }
            try {
                smtp.SendMail();
                ADD_FAILURE() << "sent with a wrong password";
            } catch (const ELoginRefused& e) {
                EXPECT_TRUE(std::string(e.what()).starts_with(
                    "The server refused the user name or password: 535"))
                    << e.what();
            }
        }
    }
}

}  // namespace
}  // namespace kivo
