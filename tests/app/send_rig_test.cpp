// `kivo send` as a real process against the real Postfix and Dovecot of the test rig (started
// by scripts/test.sh; the MAILPEERS_* variables say where). Messages are queued in the form
// the composer writes, sent by the command, and read back from the recipients' mailboxes.
// Each test marks its subjects with a tag of its own, so other tests on the rig do not matter.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>
#include <tuple>

#include "accounts/account.h"
#include "base/bytes.h"
#include "mail/msmsg.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using test::Env;

class SendRig : public testing::Test {
  protected:
    void SetUp() override {
        if (Env("MAILPEERS_SMTP_PORT").empty() || Env("MAILPEERS_DIR").empty())
            GTEST_SKIP() << "no mail server rig: run scripts/test.sh or export the output of "
                            "`mailpeers env DIR`";
        port_ = Env("MAILPEERS_SMTP_PORT");
        tag_ = std::to_string(::getpid()) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        fs::create_directories(dir / "Mail");
        test::WriteFile(dir / "kivo.ini", "[Mail]\r\nSMTP=\r\n");
    }
    // Arrived mail stays in the rig's mailboxes: removing a maildir file behind Dovecot's
    // back makes other tests' POP3 sessions meet "-ERR Message 1 expunged.". Every test
    // looks only at messages carrying its own tag.

    std::string Server(const char* host) const { return std::string(host) + ":" + port_; }

    // Queues a message to bob, as the composer does, and returns its subject.
    std::string Queue(const std::string& name, const std::string& server, Lines body,
                      const std::string& to = "bob@example.test", const std::string& bcc = "",
                      std::vector<fs::path> files = {}) {
        TmsMessage m;
        m.Sender().SetAddress("alice@example.test");
        m.Sender().SetName("Alice");
        m.Recipients().AddAddress(to, "");
        if (!bcc.empty()) m.BCC().AddAddress(bcc, "");
        m.SetSubject(name + " " + tag_);
        m.Body() = std::move(body);
        TQueueOptions options;
        options.smtp = server;
        options.attachments = std::move(files);
        QueueMessage(m, options, dir / "Mail");
        return m.Subject();
    }

    test::ProcessResult Send() { return test::RunKivo({"--home", dir.path().string(), "send"}); }

    // The messages carrying our tag in the user's mailbox, by subject, once `count` arrived
    // (delivery runs after Postfix's reply, so the mailbox is polled).
    std::map<std::string, std::string> Await(const std::string& user, std::size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        std::map<std::string, std::string> found;
        for (;;) {
            found.clear();
            const test::ProcessResult list = test::RunProgram(
                {"bash", std::string(KIVO_SOURCE_DIR) + "/../shared/peers/mailpeers", "mailbox",
                 Env("MAILPEERS_DIR"), user});
            for (const std::string& file : SplitLines(list.out)) {
                const std::string raw = test::ReadFile(file);
                if (raw.find(tag_) == std::string::npos) continue;
                TmsMessage m;
                m.LoadFromBytes(raw);
                found[m.Subject()] = raw;
            }
            if (found.size() >= count || std::chrono::steady_clock::now() > until) return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    Lines Subjects(const fs::path& mbx) const {
        Lines subjects;
        for (int n = 1; n <= FindLastIndex(mbx); ++n) {
            Lines lines;
            ExtractMsg(n, mbx, lines);
            subjects.push_back(HeaderValue("Subject:", lines));
        }
        return subjects;
    }

    // Postfix's log line for a finished session whose counts are `counts`, written after
    // `offset`; polled, since Postfix writes it after the client has gone.
    bool SessionLogged(std::size_t offset, const std::string& counts) const {
        const fs::path log = fs::path(Env("MAILPEERS_DIR")) / "log" / "postfix.log";
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            const std::string text = test::ReadFile(log);
            if (text.find(counts, std::min(offset, text.size())) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }
    std::size_t LogSize() const {
        std::error_code ec;
        const auto size = fs::file_size(fs::path(Env("MAILPEERS_DIR")) / "log" / "postfix.log", ec);
        return ec ? 0 : static_cast<std::size_t>(size);
    }

    test::TempDir dir;
    std::string port_;
    std::string tag_;
};

TEST_F(SendRig, OneServerOneConnectionAndTheMailArrivesAsQueued) {
    const std::string attachment(std::string("\x89PNG\r\n\x1a\n\0\xff", 10) + "\n.\r\n..\r\n");
    test::WriteFile(dir / "picture.png", attachment);
    const Lines plain = {"Dear Bob,", ".",    "..", ".hidden", "From here on it is serious.",
                         "",          "Alice"};
    const std::string server = Server("127.0.0.1");
    const std::string first = Queue("plain", server, plain);
    const std::string blind =
        Queue("blind", server, {"secret"}, "bob@example.test", "carol@example.test");
    const std::string attached = Queue("attached", server, {"see the picture"}, "bob@example.test",
                                       "", {dir / "picture.png"});
    const std::string queued = test::ReadFile(dir / "Mail" / "out.mbx");
    const std::size_t offset = LogSize();

    const test::ProcessResult r = Send();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3 messages sent\n");
    EXPECT_NE(r.err.find("Sending queued messages through " + server + " SMTP server..."),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(SessionLogged(offset, "mail=3 rcpt=4 data=3")) << "one session for all three";
    EXPECT_EQ(FindLastIndex(dir / "Mail" / "out.mbx"), 0);
    EXPECT_EQ(Subjects(dir / "Mail" / "sent.mbx"), (Lines{first, blind, attached}));
    Lines copy;
    ExtractMsg(2, dir / "Mail" / "sent.mbx", copy);
    EXPECT_EQ(copy[0], kQueueSeparator);
    EXPECT_EQ(copy[1], "Status: RQ");
    EXPECT_EQ(HeaderValue("X-SMTP:", copy), server);
    EXPECT_EQ(HeaderValue("X-Bcc:", copy), "carol@example.test");
    EXPECT_NE(queued.find(JoinLinesCrLf(copy)), std::string::npos) << "Sent keeps the queue form";

    auto bob = Await("bob", 3);
    ASSERT_EQ(bob.size(), 3u);
    for (const auto& [subject, raw] : bob) {
        for (const std::string& line : SplitLines(raw)) {
            EXPECT_FALSE(StartsWithNoCase(line, "X-Bcc:") || StartsWithNoCase(line, "Bcc:") ||
                         StartsWithNoCase(line, "X-SMTP:") || StartsWithNoCase(line, "Status:") ||
                         StartsWithNoCase(line, "Attachment Converted:"))
                << subject << ": " << line;
        }
        EXPECT_EQ(raw.find("carol@example.test"), std::string::npos) << subject;
    }
    // The plain message's body arrives line for line as Out holds it.
    Lines queuedBody, arrivedBody = SplitLines(bob[first]);
    ExtractMsg(1, dir / "Mail" / "sent.mbx", queuedBody);
    for (Lines* lines : {&queuedBody, &arrivedBody}) {
        lines->erase(lines->begin(), std::find(lines->begin(), lines->end(), ""));
        StripMsgBottom(*lines);
    }
    EXPECT_EQ(arrivedBody, queuedBody);
    EXPECT_NE(std::find(arrivedBody.begin(), arrivedBody.end(), ".hidden"), arrivedBody.end());

    TmsMessage withFile;
    withFile.LoadFromBytes(bob[attached]);
    EXPECT_EQ(withFile.Body(), Lines{"see the picture"});
    ASSERT_EQ(withFile.Attachments().Count(), 1u);
    EXPECT_EQ(withFile.Attachments().Items(0).Data(), attachment);

    auto carol = Await("carol", 1);
    ASSERT_EQ(carol.size(), 1u) << "the blind copy is delivered";
    TmsMessage copyForCarol;
    copyForCarol.LoadFromBytes(carol.begin()->second);
    EXPECT_EQ(copyForCarol.Subject(), blind);
    // The empty line is the one the SMTP client ends the data with.
    EXPECT_EQ(copyForCarol.Body(), (Lines{"secret", ""}));
}

// "127.0.0.1:PORT" and "localhost:PORT" are two servers to Kivo (both reach Postfix): each
// message goes in a connection of its own.
// A message with 8-bit text and a file deep in the tree: the file arrives byte for byte, the
// text as written, under the Message-ID the message got when it was queued.
TEST_F(SendRig, EightBitTextWithALongAttachmentPathArrivesWholeUnderItsQueuedId) {
    const fs::path folder = dir / "a-rather-long-folder-name-for-testing" / "and-another-level";
    fs::create_directories(folder);
    const std::string data("a,b\r\n\xFF\0,2\r\n", 11);
    test::WriteFile(folder / "report-Q4.csv", data);
    const std::string subject = Queue("umlauts", Server("127.0.0.1"),
                                      {"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xF0\x9F\x91\x8B"},
                                      "bob@example.test", "", {folder / "report-Q4.csv"});
    Lines queued;
    ExtractMsg(1, dir / "Mail" / "out.mbx", queued);
    const std::string id = HeaderValue("Message-ID:", queued);
    ASSERT_FALSE(id.empty());

    const test::ProcessResult r = Send();
    ASSERT_EQ(r.status, 0) << r.err;
    const auto arrived = Await("bob", 1);
    ASSERT_EQ(arrived.count(subject), 1u);
    TmsMessage m;
    m.LoadFromBytes(arrived.at(subject));
    EXPECT_EQ(m.Headers().GetFieldValue("Message-ID"), id);
    EXPECT_EQ(m.Body(), (Lines{"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xF0\x9F\x91\x8B"}));
    ASSERT_EQ(m.Attachments().Count(), 1u);
    EXPECT_EQ(m.Attachments().Items(0).FileName(), "report-Q4.csv");
    EXPECT_EQ(m.Attachments().Items(0).Data(), data);
}

TEST_F(SendRig, TwoServersEachMessageItsOwnConnection) {
    const std::string one = Queue("by address", Server("127.0.0.1"), {"one"});
    const std::string two = Queue("by name", Server("localhost"), {"two"});
    const test::ProcessResult r = Send();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 messages sent\n");
    for (const char* host : {"127.0.0.1", "localhost"}) {
        EXPECT_NE(
            r.err.find("Sending some queued messages through " + Server(host) + " SMTP server..."),
            std::string::npos)
            << r.err;
    }
    EXPECT_EQ(Await("bob", 2).size(), 2u);
    EXPECT_EQ(Subjects(dir / "Mail" / "sent.mbx"), (Lines{one, two}));
}

// A recipient Postfix refuses and a server nobody answers fail only their own messages.
TEST_F(SendRig, FailedMessagesStayQueuedAndTheOthersGo) {
    const std::string refused = Queue("refused", Server("127.0.0.1"), {"x"}, "nobody@example.test");
    const std::string good = Queue("good", Server("127.0.0.1"), {"fine"});
    const std::string unreachable = Queue("unreachable", "127.0.0.1:1", {"y"});
    const test::ProcessResult r = Send();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 message sent\n");
    EXPECT_NE(r.err.find("Could not send message \"" + refused + "\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("550"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Could not send message \"" + unreachable + "\""), std::string::npos);
    EXPECT_NE(r.err.find("Connection refused"), std::string::npos) << r.err;
    EXPECT_EQ(Subjects(dir / "Mail" / "out.mbx"), (Lines{refused, unreachable}));
    EXPECT_EQ(Subjects(dir / "Mail" / "sent.mbx"), (Lines{good}));
    EXPECT_EQ(Await("bob", 1).size(), 1u);
}

// The account's own server with a log-in, over STARTTLS and over TLS from the first byte
// (SMTPS): the mail arrives after the log-in; a wrong password keeps the message queued with
// the server's reason; a password stored nowhere is asked for on the terminal, and without
// one the message stays queued.
class SecureSendRig : public SendRig {
  protected:
    void SetUp() override {
        SendRig::SetUp();
        if (IsSkipped()) return;
        if (Env("MAILPEERS_SMTPS_PORT").empty() || Env("MAILPEERS_CA_FILE").empty())
            GTEST_SKIP() << "the rig offers no SMTPS";
        starttls_ = "localhost:" + Env("MAILPEERS_SMTP_PORT");
        smtps_ = "localhost:" + Env("MAILPEERS_SMTPS_PORT");
        for (auto [account, server, security] :
             {std::tuple{"StartTls", starttls_, "starttls"}, std::tuple{"Smtps", smtps_, "tls"}}) {
            ASSERT_EQ(Kivo({"account", "add", account, "--pop-server", "localhost:1", "--pop-user",
                            "alice", "--check", "0"})
                          .status,
                      0);
            ASSERT_EQ(Kivo({"account", "set", account, "SMTP=" + server,
                            std::string("SMTPSecurity=") + security, "SMTPAuth=own",
                            "SMTPUser=alice", "SMTPPass=alicepw"})
                          .status,
                      0);
        }
    }
    // Without a terminal, the rig's CA as the trust store.
    test::ProcessResult Kivo(std::vector<std::string> args) {
        std::vector<std::string> argv = {"setsid",
                                         "-w",
                                         "env",
                                         "SSL_CERT_FILE=" + Env("MAILPEERS_CA_FILE"),
                                         KIVO_BINARY,
                                         "--home",
                                         dir.path().string()};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::RunProgram(argv);
    }
    std::size_t Count(const std::string& text, const std::string& what, std::size_t from) const {
        std::size_t n = 0;
        for (std::size_t at = text.find(what, from); at != std::string::npos;
             at = text.find(what, at + 1))
            ++n;
        return n;
    }
    std::string PostfixLog() const {
        return test::ReadFile(fs::path(Env("MAILPEERS_DIR")) / "log" / "postfix.log");
    }

    std::string starttls_, smtps_;
};

TEST_F(SecureSendRig, BothModesLogInAndAWrongPasswordKeepsTheMessageQueued) {
    const std::size_t offset = LogSize();
    const std::string overStartTls = Queue("starttls", starttls_, {"upgraded"});
    const std::string overSmtps = Queue("smtps", smtps_, {"wrapped"});
    test::ProcessResult r = Kivo({"send"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 messages sent\n");
    const auto bob = Await("bob", 2);
    EXPECT_EQ(bob.count(overStartTls), 1u);
    EXPECT_EQ(bob.count(overSmtps), 1u);
    // Postfix notes each message's log-in; its log may trail the client a little.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Count(PostfixLog(), "sasl_username=alice", offset) < 2 &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Count(PostfixLog(), "sasl_username=alice", offset), 2u);

    ASSERT_EQ(Kivo({"account", "set", "Smtps", "SMTPPass=wrongpw"}).status, 0);
    const std::string refused = Queue("refused", smtps_, {"never"});
    r = Kivo({"send"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0 messages sent\n");
    // The log-in is refused before any message: the connection failed, with the server's reason.
    EXPECT_NE(r.err.find("Could not connect to " + smtps_ + " SMTP server"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("535"), std::string::npos) << "the server's reason: " << r.err;
    EXPECT_EQ(Subjects(dir / "Mail" / "out.mbx"), (Lines{refused}));
    EXPECT_EQ((r.out + r.err).find("wrongpw"), std::string::npos) << "no password shown";
}

TEST_F(SecureSendRig, AMissingPasswordIsAskedForOnTheTerminalOnlyForThisRun) {
    ASSERT_EQ(Kivo({"account", "set", "StartTls", "SMTPPass="}).status, 0);
    const std::string kept = Queue("kept", starttls_, {"waits"});
    test::ProcessResult r = Kivo({"send"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No password for StartTls, alice@" + starttls_), std::string::npos)
        << r.err;
    EXPECT_EQ(Subjects(dir / "Mail" / "out.mbx"), (Lines{kept}));

    r = test::RunOnTerminal(
        {"/usr/bin/env", "SSL_CERT_FILE=" + Env("MAILPEERS_CA_FILE"), KIVO_BINARY, "--home",
         dir.path().string(), "send"},
        "StartTls, alice@" + starttls_ + ": Enter your SMTP password:", "alicepw\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("1 message sent"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("alicepw"), std::string::npos) << "echoed: " << r.out;
    EXPECT_EQ(Await("bob", 1).count(kept), 1u);
    for (const Account& account : ReadAccounts(dir / "accounts.ini"))
        if (account.account == "StartTls") {
            EXPECT_EQ(account.security.smtpPass, "") << "asked for this run only";
        }
}

TEST(SendCommand, RefusesArgumentsAndSaysWhenThereIsNothingToSend) {
    test::TempDir dir;
    fs::create_directories(dir / "Mail");
    test::ProcessResult r = test::RunKivo({"--home", dir.path().string(), "send", "now"});
    EXPECT_EQ(r.status, 2);
    r = test::RunKivo({"--home", dir.path().string(), "send"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Nothing to send\n");
    EXPECT_NE(r.err.find("nothing to send (e61)"), std::string::npos) << r.err;
}

// Ctrl-C while the server keeps the client waiting: the message is canceled and stays queued.
TEST(SendCommand, CtrlCCancelsTheRunAndKeepsTheMessage) {
    // A server that accepts connections (the kernel does, through the backlog) but never greets.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    test::TempDir dir;
    fs::create_directories(dir / "Mail");
    TmsMessage m;
    m.Sender().SetAddress("alice@example.test");
    m.Recipients().AddAddress("bob@example.test", "");
    m.SetSubject("stalled");
    TQueueOptions options;
    options.smtp = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    QueueMessage(m, options, dir / "Mail");

    const auto start = std::chrono::steady_clock::now();
    const test::ProcessResult r =
        test::RunProgram({"timeout", "--preserve-status", "-s", "INT", "1", KIVO_BINARY, "--home",
                          dir.path().string(), "send"});
    ::close(listener);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30))
        << "ended by Ctrl-C, not by the time-out";
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "0 messages sent\n");
    EXPECT_NE(r.err.find("Operation canceled."), std::string::npos) << r.err;
    Lines left;
    ExtractMsg(1, dir / "Mail" / "out.mbx", left);
    EXPECT_EQ(HeaderValue("Subject:", left), "stalled");
    EXPECT_EQ(FindLastIndex(dir / "Mail" / "out.mbx"), 1);
}

// The Outgoing scripts run on every queued message: one adds a header line that the
// recipient sees, another holds a message back, which then is neither sent nor kept.
TEST_F(SendRig, OutgoingScriptsChangeWhatIsSentAndCanHoldAMessageBack) {
    fs::create_directories(dir / "Scripts");
    test::WriteFile(dir / "Scripts" / "Stamp.kiv", "SetHeader %message X-Filtered-By Kivo\r\n");
    test::WriteFile(dir / "Scripts" / "Hold.kiv",
                    "ReadHeader $s Subject %message\r\nSet $w held\r\n"
                    "If $w ^ $s then Hold\r\nExit\r\n:Hold\r\nDeleteMessage %message\r\n");
    test::WriteFile(dir / "kivo.ini", "[Mail]\r\nSMTP=\r\n[Scripts]\r\nOutgoing=Stamp,Hold\r\n");
    const std::string server = Server("127.0.0.1");
    const std::string stamped = Queue("stamped", server, {"hello"});
    const std::string held = Queue("held", server, {"not yet"});

    const test::ProcessResult r = Send();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Subjects(dir / "Mail" / "sent.mbx"), (Lines{stamped}));
    auto bob = Await("bob", 1);
    ASSERT_EQ(bob.count(stamped), 1u);
    EXPECT_NE(bob[stamped].find("\nX-Filtered-By: Kivo"), std::string::npos) << bob[stamped];
    EXPECT_EQ(bob.count(held), 0u);
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// A script's SendMessage goes out at once with the current account's log-in (mail to another
// domain needs it) and is filed in Sent; through a dead server it waits in Out instead.
TEST_F(SendRig, ScriptSendMessageLogsInAsTheAccountAndFilesTheCopy) {
    const std::string home = dir.path().string();
    ASSERT_EQ(test::RunKivo({"--home", home, "init"}).status, 0);
    ASSERT_EQ(test::RunKivo({"--home", home, "account", "add", "Alice", "--email",
                             "alice@example.test", "--smtp", Server("127.0.0.1")})
                  .status,
              0);
    ASSERT_EQ(test::RunKivo({"--home", home, "account", "set", "Alice", "SMTPAuth=own",
                             "SMTPUser=alice", "SMTPPass=" + Env("MAILPEERS_ALICE_PASS"),
                             "--yes"})
                  .status,
              0);
    ASSERT_EQ(test::RunKivo({"--home", home, "account", "default", "Alice"}).status, 0);
    const std::string subject = "scripted " + tag_;
    const fs::path script = dir / "Send.kiv";
    test::WriteFile(script,
                    "CreateMessage %m\r\nSetHeader %m From alice@example.test\r\n"
                    "SetHeader %m To someone@elsewhere.test\r\n"
                    "SetHeader %m Subject \"" +
                        subject +
                        "\"\r\n"
                        "AssignBody %m \"Sent by a script\"\r\nSendMessage %m\r\n");
    test::ProcessResult r = test::RunKivo({"--home", home, "script", "dry-run", script.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Await("sink", 1).count(subject), 1u);
    EXPECT_EQ(Subjects(dir / "Mail" / "sent.mbx"), (Lines{subject}));

    ASSERT_EQ(test::RunKivo({"--home", home, "account", "set", "Alice", "SMTP=127.0.0.1:1"}).status,
              0);
    r = test::RunKivo({"--home", home, "script", "dry-run", script.string()});
    EXPECT_NE(r.err.find("SCRIPT: Could not connect to 127.0.0.1:1 SMTP server"), std::string::npos)
        << r.err;
    EXPECT_EQ(Subjects(dir / "Mail" / "out.mbx"), (Lines{subject}));
}

// Every delivered copy of our tagged messages in `user`'s mailbox, counted by subject.
std::map<std::string, int> Deliveries(const std::string& user, const std::string& tag) {
    std::map<std::string, int> counts;
    const test::ProcessResult list =
        test::RunProgram({"bash", std::string(KIVO_SOURCE_DIR) + "/../shared/peers/mailpeers",
                          "mailbox", Env("MAILPEERS_DIR"), user});
    for (const std::string& file : SplitLines(list.out)) {
        const std::string raw = test::ReadFile(file);
        if (raw.find(tag) == std::string::npos) continue;
        TmsMessage m;
        m.LoadFromBytes(raw);
        ++counts[m.Subject()];
    }
    return counts;
}

// Killed at random moments, a send run delivers the messages it had not finished on the next
// run, and at most the one on the way at the kill goes twice: each delivered message is
// marked done in Out right after its copy is in Sent.
TEST_F(SendRig, AKilledSendDeliversEachMessageOnceButAtMostTheOneOnTheWay) {
    constexpr int kMessages = 10;
    constexpr int kTrials = 6;
    const std::string server = Server("127.0.0.1");
    auto queue = [&](int trial) {
        for (int k = 1; k <= kMessages; ++k)
            Queue("t" + std::to_string(trial) + " m" + std::to_string(k), server, {"Hello."},
                  "sink@example.test");
    };
    queue(0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Send().status, 0);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();

    std::mt19937 random(41);
    for (int trial = 1; trial <= kTrials; ++trial) {
        queue(trial);
        const auto delay = std::chrono::microseconds(random() % (took + 1));
        test::RunAndKill({KIVO_BINARY, "--home", dir.path().string(), "send"}, delay);
        const auto full = Send();
        EXPECT_EQ(full.status, 0) << full.err;
        EXPECT_EQ(FindLastIndex(dir / "Mail" / "out.mbx"), 0) << "trial " << trial;
    }

    // Delivery runs after Postfix's reply: wait until every message has arrived.
    const std::size_t all = static_cast<std::size_t>(kMessages * (kTrials + 1));
    std::map<std::string, int> counts;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((counts = Deliveries("sink", tag_)).size() < all &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    counts = Deliveries("sink", tag_);
    EXPECT_EQ(counts.size(), all);
    std::map<int, int> twice;  // by trial
    for (const auto& [subject, count] : counts) {
        EXPECT_LE(count, 2) << subject;
        if (count > 1) ++twice[std::stoi(subject.substr(1))];
    }
    for (const auto& [trial, count] : twice) EXPECT_LE(count, 1) << "trial " << trial;
    // Sent holds each message, and a second copy only of one that went twice.
    std::map<std::string, int> sent;
    for (const std::string& subject : Subjects(dir / "Mail" / "sent.mbx")) ++sent[subject];
    EXPECT_EQ(sent.size(), all);
    for (const auto& [subject, count] : sent) EXPECT_LE(count, counts[subject]) << subject;
}

// Two send runs started at once on one program folder: the second waits for the first and
// finds the queue empty, so each message is delivered once and filed in Sent once.
TEST_F(SendRig, TwoSendsAtOnceDeliverEachMessageOnce) {
    constexpr int kMessages = 8;
    const std::string server = Server("127.0.0.1");
    for (int k = 1; k <= kMessages; ++k)
        Queue("twice " + std::to_string(k), server, {"Hello."}, "sink@example.test");
    const std::string kivo =
        std::string(KIVO_BINARY) + " --home '" + dir.path().string() + "' send";
    const auto both = test::RunProgram(
        {"bash", "-c",
         kivo + " & a=$!; " + kivo + " & b=$!; wait $a; x=$?; wait $b; exit $((x + $?))"});
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(FindLastIndex(dir / "Mail" / "out.mbx"), 0);

    std::map<std::string, int> counts;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while ((counts = Deliveries("sink", tag_)).size() < std::size_t{kMessages} &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // A second delivery would come right after the first: give it a moment to show.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    counts = Deliveries("sink", tag_);
    EXPECT_EQ(counts.size(), std::size_t{kMessages});
    for (const auto& [subject, count] : counts) EXPECT_EQ(count, 1) << subject;
    std::map<std::string, int> sent;
    for (const std::string& subject : Subjects(dir / "Mail" / "sent.mbx")) ++sent[subject];
    EXPECT_EQ(sent.size(), std::size_t{kMessages});
    for (const auto& [subject, count] : sent) EXPECT_EQ(count, 1) << subject;
}

}  // namespace
}  // namespace kivo
