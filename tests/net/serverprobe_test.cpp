// The look at a server before an account is set up with it: TLS servers of the test's own and
// the rig's real Dovecot and Postfix answer; a closed port, a silent port, a plain server where
// TLS is expected and a certificate for another name do not, each within its short time-out.

#include "net/serverprobe.h"

#include <gtest/gtest.h>

#include <chrono>

#include "net/sockerrors.h"
#include "tests/net/netfakes.h"
#include "tests/net/tlspeer.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::C;
using test::Env;
using test::PumpPlatform;
using test::S;
using test::ScriptServer;

// Names ending in ".test" are 127.0.0.1; no other name is known.
int LoopbackResolver(const std::string& host, std::vector<TSocketAddress>& found) {
    if (!host.ends_with(".test")) return kWsaHostNotFound;
    TSocketAddress address;
    NumericAddress("127.0.0.1", address);
    found.push_back(address);
    return 0;
}

TProbeResult Probe(TMailProtocol protocol, TSecurity security, const std::string& server) {
    PumpPlatform platform;
    return ProbeServer(platform, {protocol, security, server, 1, LoopbackResolver});
}

std::string PortOf(const std::string& address) {
    return address.substr(address.rfind(':'));
}

TEST(ServerProbe, ATlsServerAnswersOnlyWithACertificateForItsName) {
    test::TlsPeer peer("pop.example.test", "+OK ready");
    test::TrustStore trust(peer.CertFile().string());
    const TProbeResult found = Probe(TMailProtocol::pop3, TSecurity::implicit,
                                     "pop.example.test" + PortOf(peer.Address()));
    EXPECT_TRUE(found.answered) << found.reason;

    test::TlsPeer other("pop.example.test", "+OK ready");
    test::TrustStore trustOther(other.CertFile().string());
    const TProbeResult wrongName = Probe(TMailProtocol::pop3, TSecurity::implicit,
                                         "mail.example.test" + PortOf(other.Address()));
    EXPECT_FALSE(wrongName.answered);
    EXPECT_NE(wrongName.reason.find("mail.example.test"), std::string::npos) << wrongName.reason;
}

TEST(ServerProbe, ServersThatLeadNowhereFailWithTheReasonWithinTheTimeOut) {
    struct Case {
        const char* why;
        TMailProtocol protocol;
        TSecurity security;
        std::vector<test::Step> steps;  // empty: a closed port
        const char* reason;
    };
    const Case cases[] = {
        {"closed port", TMailProtocol::pop3, TSecurity::implicit, {}, "refused"},
        {"accepts and never speaks",
         TMailProtocol::pop3,
         TSecurity::none,
         {test::Stall()},
         "timed out"},
        {"silent during the handshake",
         TMailProtocol::smtp,
         TSecurity::implicit,
         {test::Stall()},
         "timed out"},
        {"plain greeting where TLS is expected",
         TMailProtocol::pop3,
         TSecurity::implicit,
         {S("+OK plain"), test::Stall()},
         ""},
        {"a refusing greeting",
         TMailProtocol::smtp,
         TSecurity::none,
         {S("554 no service")},
         "554 no service"},
        {"STARTTLS not offered",
         TMailProtocol::smtp,
         TSecurity::upgrade,
         {S("220 hi"), C("EHLO *"), S("250-hi\n250 AUTH PLAIN")},
         "does not offer STARTTLS"},
        {"STLS refused",
         TMailProtocol::pop3,
         TSecurity::upgrade,
         {S("+OK hi"), C("STLS"), S("-ERR no")},
         "STLS refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::optional<ScriptServer> server;
        std::string address = "127.0.0.1:" + std::to_string(test::ClosedPort());
        if (!c.steps.empty()) address = server.emplace(c.steps).Address();
        const auto start = std::chrono::steady_clock::now();
        const TProbeResult result = Probe(c.protocol, c.security, address);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        EXPECT_FALSE(result.answered);
        EXPECT_FALSE(result.reason.empty());
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
        // Nothing beyond the opening is ever sent.
        if (server) {
            EXPECT_EQ(server->Received().size(), server->Expected().size());
        }
    }
    const TProbeResult unknown = Probe(TMailProtocol::pop3, TSecurity::implicit, "pop.nowhere:995");
    EXPECT_FALSE(unknown.answered);
    EXPECT_NE(unknown.reason.find("pop.nowhere"), std::string::npos) << unknown.reason;
}

TEST(ServerProbe, TheRigsServersAnswerInEveryMode) {
    if (Env("MAILPEERS_POP3S_PORT").empty() || Env("MAILPEERS_CA_FILE").empty())
        GTEST_SKIP() << "no mail server rig";
    test::TrustStore trust(Env("MAILPEERS_CA_FILE"));
    struct Case {
        TMailProtocol protocol;
        TSecurity security;
        const char* port;
    };
    const Case cases[] = {
        {TMailProtocol::pop3, TSecurity::implicit, "MAILPEERS_POP3S_PORT"},
        {TMailProtocol::pop3, TSecurity::upgrade, "MAILPEERS_POP3_PORT"},
        {TMailProtocol::smtp, TSecurity::implicit, "MAILPEERS_SMTPS_PORT"},
        {TMailProtocol::smtp, TSecurity::upgrade, "MAILPEERS_SMTP_PORT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        // The rig's certificate names mail.example.test.
        PumpPlatform platform;
        const TProbeResult result = ProbeServer(
            platform,
            {c.protocol, c.security, "mail.example.test:" + Env(c.port), 5, LoopbackResolver});
        EXPECT_TRUE(result.answered) << result.reason;
    }
}

}  // namespace
}  // namespace kivo
