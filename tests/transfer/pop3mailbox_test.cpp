// The check run's POP3 mailbox against scripted servers: what it asks the server in each
// phase, the unique ids it collects, and how a failing save stops the transfer.

#include "transfer/pop3mailbox.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::C;
using test::Endless;
using test::Raw;
using test::S;
using test::ScriptServer;
using test::Step;

const char* kTop1 = "+OK\nFrom: a@x.test\nSubject: one\n\nbody\n.";
const char* kTop2 = "+OK\nFrom: b@x.test\nSubject: two\n\nbody\n.";
const char* kRetr1 = "+OK 40 octets\nFrom: a@x.test\nSubject: one\n\nbody\n..dotted\n.";

std::vector<Step> Dialogue(std::vector<Step> steps) {
    std::vector<Step> all = {S("+OK ready"),   C("USER name"),      S("+OK"),
                             C("PASS secret"), S("+OK Logged in."), C("STAT")};
    all.insert(all.end(), steps.begin(), steps.end());
    return all;
}

// The first phase for two messages after the UIDL exchange.
std::vector<Step> ScanTwo(std::vector<Step> uidl) {
    std::vector<Step> steps = {S("+OK 2 100"), C("CAPA"), S("-ERR unknown command"), C("UIDL")};
    steps.insert(steps.end(), uidl.begin(), uidl.end());
    for (Step step : {C("LIST 1"), S("+OK 1 40"), C("TOP 1 1"), S(kTop1), C("LIST 2"),
                      S("+OK 2 60"), C("TOP 2 1"), S(kTop2)})
        steps.push_back(step);
    return steps;
}

struct Mailbox {
    test::PumpPlatform platform;
    TPop3Mailbox box{platform};
    std::vector<std::string> events;
    std::vector<std::string> saved;
    std::vector<long> progress;

    explicit Mailbox(const ScriptServer& server) {
        box.Client().TimeOut = 5;
        box.SetEvents({
            .nextInfoUpdated = [this](int n) { Note("info", n); },
            .retrieving = [this](int n) { Note("retrieving", n); },
            .retrieved = [this](int n) { Note("retrieved", n); },
            .progress = [this](long bytes) { progress.push_back(bytes); },
            .save =
                [this](int n, std::string_view raw) {
                    Note("save", n);
                    saved.emplace_back(raw);
                },
            .saveSpooled = {},
            .stored = [this] { events.push_back("stored"); },
            .error = [this](std::string& text) { events.push_back("error " + text); },
        });
        box.Configure(server.Address(), "name", "secret");
    }
    void Note(const char* what, int n) { events.push_back(what + (" " + std::to_string(n))); }
    std::vector<std::string> Uids() {
        std::vector<std::string> uids;
        for (const TRemoteInfo& info : box.Info()) uids.push_back(info.uidl);
        return uids;
    }
};

TEST(Pop3Mailbox, ScansWithOneUidlListingThenFetchesAndDeletesTheMarkedMessages) {
    std::vector<Step> steps = Dialogue(ScanTwo({S("+OK\n1 uid-one\n2 uid-two\n.")}));
    for (Step step :
         {C("UIDL 1"), S("+OK 1 uid-one"), C("LIST 1"),   S("+OK 1 40"), C("TOP 1 1"),
          S(kTop1),    C("LIST 1"),        S("+OK 1 40"), C("RETR 1"),   S(kRetr1),
          C("UIDL 1"), S("+OK 1 uid-one"), C("LIST 1"),   S("+OK 1 40"), C("TOP 1 1"),
          S(kTop1),    C("DELE 1"),        S("+OK"),      C("QUIT"),     S("+OK Logging out.")})
        steps.push_back(step);
    ScriptServer server(steps);
    Mailbox m(server);

    m.box.UpdateInfo();
    ASSERT_EQ(m.box.Info().size(), 2u);
    EXPECT_EQ(m.box.MessageCount(), 2);
    EXPECT_EQ(m.box.MailboxSize(), 100);
    EXPECT_EQ(m.box.Info()[1].size, 60);
    EXPECT_EQ(m.box.Info()[1].headers,
              (std::vector<std::string>{"From: b@x.test", "Subject: two"}));
    EXPECT_EQ(m.Uids(), (std::vector<std::string>{"uid-one", "uid-two"}));
    EXPECT_TRUE(m.progress.empty()) << "the scan is no download";

    m.box.Info()[0].retrieve = true;
    m.box.Info()[0].remove = true;
    m.box.TransferData();
    EXPECT_EQ(server.Received(), server.Expected());
    EXPECT_EQ(m.events, (std::vector<std::string>{"info 0", "info 1", "retrieving 0", "save 0",
                                                  "retrieved 0", "stored"}));
    ASSERT_EQ(m.saved.size(), 1u);
    EXPECT_EQ(m.saved[0], "From: a@x.test\r\nSubject: one\r\n\r\nbody\r\n.dotted\r\n");
    EXPECT_FALSE(m.progress.empty());
}

// Ids the server does not give (or gives for no such message) stay empty; the scan goes on.
TEST(Pop3Mailbox, UidlListingsThatHelpLittleLeaveIdsEmpty) {
    const struct {
        const char* why;
        const char* listing;
        std::vector<std::string> uids;
    } cases[] = {
        {"refused", "-ERR unknown command", {"", ""}},
        {"one id missing", "+OK\n2 uid-two\n.", {"", "uid-two"}},
        {"numbers out of range and junk",
         "+OK\n0 zero\n3 three\n-1 minus\nnonsense\n1\n1  spaced-id  extra\n.",
         {"spaced-id", ""}},
    };
    for (const auto& c : cases) {
        std::vector<Step> steps = Dialogue(ScanTwo({S(c.listing)}));
        steps.push_back(C("QUIT"));
        steps.push_back(S("+OK"));
        ScriptServer server(steps);
        Mailbox m(server);
        m.box.UpdateInfo();
        m.box.Close();
        EXPECT_EQ(server.Received(), server.Expected()) << c.why;
        EXPECT_EQ(m.Uids(), c.uids) << c.why;
    }
}

TEST(Pop3Mailbox, AnEmptyMailboxIsNotAskedForIds) {
    ScriptServer server(Dialogue({S("+OK 0 0"), C("QUIT"), S("+OK")}));
    Mailbox m(server);
    m.box.UpdateInfo();
    EXPECT_TRUE(m.box.Info().empty());
    m.box.TransferData();  // nothing marked, nothing to do
    m.box.Close();
    EXPECT_EQ(server.Received(), server.Expected());
}

TEST(Pop3Mailbox, ARefusedLogOutStillEndsTheConnectionQuietly) {
    ScriptServer server(Dialogue({S("+OK 0 0"), C("QUIT"), S("-ERR not now")}));
    Mailbox m(server);
    m.box.UpdateInfo();
    EXPECT_NO_THROW(m.box.Close());
    EXPECT_FALSE(m.box.Client().Connected());
    EXPECT_EQ(server.Received(), server.Expected());
}

// A message that cannot be stored must not be deleted, and nothing after it is touched: the
// failure leaves TransferData and the connection ends without a DELE.
TEST(Pop3Mailbox, AFailedSaveStopsTheTransferBeforeAnyDeletion) {
    std::vector<Step> steps = Dialogue(ScanTwo({S("+OK\n1 a\n2 b\n.")}));
    for (Step step : {C("UIDL 1"), S("+OK 1 a"), C("LIST 1"), S("+OK 1 40"), C("TOP 1 1"), S(kTop1),
                      C("LIST 1"), S("+OK 1 40"), C("RETR 1"), S(kRetr1), C("QUIT"), S("+OK")})
        steps.push_back(step);
    ScriptServer server(steps);
    Mailbox m(server);
    TRemoteEvents events;
    events.save = [](int, std::string_view) { throw std::runtime_error("disk full"); };
    m.box.SetEvents(events);
    m.box.UpdateInfo();
    for (TRemoteInfo& info : m.box.Info()) info.retrieve = info.remove = true;
    EXPECT_THROW(m.box.TransferData(), std::runtime_error);
    m.box.Close();
    EXPECT_EQ(server.Received(), server.Expected());
}

// Runs `work` in a child process and returns its exit status and its peak memory in
// kilobytes: the child's own, whatever the test process used before.
std::pair<int, long> InChild(const std::function<int()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 2;
        try {
            status = work();
        } catch (...) {
        }
        ::_exit(status);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
}

// Servers that announce huge sizes or counts and then stream without end, or trickle a byte
// at a time just inside the time-out: each run ends with an error that names the server and
// the limit, soon, and memory stays near what a sane reply needs, never near what the server
// claims.
TEST(Pop3Mailbox, LyingServersEndWithAnErrorInBoundedMemoryAndTime) {
    constexpr long kBoundKb = 96 * 1024;
    const std::vector<Step> scanOne = {S("+OK 1 100"), C("CAPA"),    S("-ERR"),
                                       C("UIDL"),      S("-ERR"),    C("LIST 1"),
                                       S("+OK 1 100"), C("TOP 1 1"), S(kTop1)};
    auto then = [](std::vector<Step> first, std::vector<Step> more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    };
    auto fetchOne = [&](const char* size, Step reply) {
        return then(scanOne, {C("UIDL 1"), S("-ERR"), C("LIST 1"), S("+OK 1 100"), C("TOP 1 1"),
                              S(kTop1), C("LIST 1"), S(std::string("+OK 1 ") + size), C("RETR 1"),
                              Raw("+OK\r\n"), std::move(reply)});
    };
    const struct {
        const char* why;
        std::vector<Step> steps;
        bool transfer;      // the lie comes while a message is fetched
        const char* error;  // what the error says besides the server's name
    } cases[] = {
        {"a count of 3,000,000", {S("+OK 3000000 5")}, false,
         "reports 3000000 messages, more than the 100000 a check can look at"},
        {"a count of 99,999 and an endless id listing",
         {S("+OK 99999 5"), C("CAPA"), S("-ERR"), C("UIDL"), Raw("+OK\r\n"),
          Endless("junk that is no id line\r\n")},
         false, "is not a listing of its messages (more than 1000 lines"},
        {"a size of 10^12 and endless header lines",
         {S("+OK 1 5"), C("CAPA"), S("-ERR"), C("UIDL"), S("-ERR"), C("LIST 1"),
          S("+OK 1 1000000000000"), C("TOP 1 1"), Raw("+OK\r\n"),
          Endless("Received: from nowhere by nobody\r\n")},
         false, "sent more than 1024 KB of header lines for message 1"},
        {"a message that never ends", fetchOne("100", Endless("body line\r\n")), true,
         "Response longer than"},
        {"a message said to be 100 MB whose header lines never end",
         fetchOne("104857600", Endless("Received: from nowhere by nobody\r\n")), true,
         "sent more than 1024 KB of header lines for message 1"},
        {"a message trickled a byte at a time inside the time-out",
         fetchOne("100", Endless("x", 300)), true, "is too slow"},
        {"a message said to be 100 MB, trickled", fetchOne("104857600", Endless("x", 300)), true,
         "below the least rate of 10 KB/s after the time-out of 1 s"},
    };
    for (const auto& c : cases) {
        ScriptServer server(Dialogue(c.steps));
        const auto start = std::chrono::steady_clock::now();
        const auto [status, peakKb] = InChild([&] {
            Mailbox m(server);
            m.box.Client().TimeOut = 1;
            try {
                m.box.UpdateInfo();
                if (!c.transfer) return 1;
                for (TRemoteInfo& info : m.box.Info()) info.retrieve = true;
                m.box.TransferData();
                return 1;
            } catch (const std::exception& e) {
                const std::string text = e.what();
                if (text.find(c.error) == std::string::npos ||
                    text.find(server.Address()) == std::string::npos) {
                    std::fprintf(stderr, "%s: %s\n", c.why, e.what());
                    return 3;
                }
                return m.saved.empty() ? 0 : 1;  // an error, and nothing handed over
            }
        });
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(status, 0) << c.why;
        EXPECT_LT(peakKb, kBoundKb) << c.why;
        EXPECT_LT(took, std::chrono::seconds(10)) << c.why;
    }
}

// Honest messages, large or many in a batch, are fetched whole; memory holds one message at
// a time, once (the batch waits on disk).
TEST(Pop3Mailbox, FetchingHoldsOneMessageAtATimeOnce) {
    const std::string big = "Subject: big\r\n\r\n" + std::string(24 << 20, 'b') + "\r\n";
    const std::string part = "Subject: part\r\n\r\n" + std::string(3 << 20, 'p') + "\r\n";
    const struct {
        const char* why;
        const std::string& message;
        int count;
        bool pipelined;
        long boundKb;  // growth at the peak
    } cases[] = {
        {"one 24 MB message", big, 1, false, (24 + 8) * 1024},
        {"a pipelined batch of 12 messages of 3 MB", part, 12, true, 16 * 1024},
    };
    for (const auto& c : cases) {
        const std::string size = std::to_string(c.message.size());
        std::vector<Step> steps = {S("+OK " + std::to_string(c.count) + " 5"), C("CAPA"),
                                   S(c.pipelined ? "+OK\nPIPELINING\n." : "-ERR"), C("UIDL"),
                                   S("-ERR")};
        for (int n = 1; n <= c.count; ++n) {
            // Said to be small (a megabyte): a lying size still never has a batch held.
            const std::string list = "+OK " + std::to_string(n) + " " + std::to_string(1 << 20);
            steps.insert(steps.end(), {C("LIST " + std::to_string(n)), S(list),
                                       C("TOP " + std::to_string(n) + " 1"), S(kTop1)});
        }
        for (int n = 1; n <= c.count; ++n) {
            const std::string num = std::to_string(n);
            steps.insert(steps.end(),
                         {C("UIDL " + num), S("-ERR"), C("LIST " + num), S("+OK " + num + " " + size),
                          C("TOP " + num + " 1"), S(kTop1), C("LIST " + num),
                          S("+OK " + num + " " + size), C("RETR " + num),
                          Raw("+OK\r\n" + c.message + ".\r\n")});
        }
        steps.insert(steps.end(), {C("QUIT"), S("+OK")});
        ScriptServer server(Dialogue(steps));
        test::TempDir spool;
        const auto [status, peakKb] = InChild([&] {
            std::size_t whole = 0;
            [[maybe_unused]] const long growth = test::PeakGrowthKb([&] {
                Mailbox m(server);
                m.box.SpoolIn(spool.path());
                TRemoteEvents events;
                events.save = [&](int, std::string_view raw) {
                    whole += raw == c.message ? 1 : 0;
                };
                m.box.SetEvents(events);
                m.box.UpdateInfo();
                for (TRemoteInfo& info : m.box.Info()) info.retrieve = true;
                m.box.TransferData();
                m.box.Close();
            });
            if (whole != static_cast<std::size_t>(c.count)) return 1;
#ifndef __SANITIZE_ADDRESS__
            // (The address sanitizer's quarantine holds freed memory: the peak says nothing.)
            if (growth >= c.boundKb) {
                std::fprintf(stderr, "%s: %ld KB at the peak\n", c.why, growth);
                return 4;
            }
#endif
            return 0;
        });
        EXPECT_EQ(status, 0) << c.why << " (1: not fetched whole, 4: too much memory)";
        EXPECT_TRUE(std::filesystem::is_empty(spool.path())) << c.why;
    }
}

// A message file as a server holds it: every line ended by CR LF.
std::string AsHeld(std::string_view file) {
    std::string held;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\n' && (i == 0 || file[i - 1] != '\r')) held += '\r';
        held += file[i];
    }
    if (!held.empty() && !held.ends_with("\r\n")) held += "\r\n";
    return held;
}

// The message as it travels: a leading dot doubled, and the closing "." line after it.
std::string OnTheWire(std::string_view held) {
    std::string wire;
    for (std::size_t i = 0; i < held.size(); ++i) {
        if ((i == 0 || held[i - 1] == '\n') && held[i] == '.') wire += '.';
        wire += held[i];
    }
    return wire + ".\r\n";
}

// Every sample message, fetched over POP3, reaches the decoder as exactly that message: what
// the check decodes is what `kivo mime dump` makes of the file, also when the last part has
// no closing boundary (the closing "." line of the transfer is no data).
TEST(Pop3Mailbox, EverySampleMessageArrivesAsTheFileDecodes) {
    std::vector<std::filesystem::path> samples;
    for (const auto& entry : std::filesystem::directory_iterator(test::DataPath("mime"))) {
        if (entry.path().extension() == ".eml") samples.push_back(entry.path());
    }
    std::sort(samples.begin(), samples.end());
    ASSERT_GE(samples.size(), 20u);
    test::TempDir dir;
    for (const auto& eml : samples) {
        const std::string held = AsHeld(test::ReadFile(eml));
        const std::string wire = OnTheWire(held);
        const std::string size = std::to_string(wire.size() - 3);
        const std::string top = "+OK\r\n" + wire.substr(0, wire.find("\r\n\r\n") + 4) + ".\r\n";
        std::vector<Step> steps = Dialogue(
            {S("+OK 1 " + size), C("CAPA"), S("-ERR"), C("UIDL"), S("-ERR"), C("LIST 1"),
             S("+OK 1 " + size), C("TOP 1 1"), Raw(top), C("UIDL 1"), S("-ERR"), C("LIST 1"),
             S("+OK 1 " + size), C("TOP 1 1"), Raw(top), C("LIST 1"), S("+OK 1 " + size),
             C("RETR 1"), Raw("+OK\r\n" + wire), C("QUIT"), S("+OK")});
        ScriptServer server(steps);
        Mailbox m(server);
        m.box.UpdateInfo();
        m.box.Info()[0].retrieve = true;
        m.box.TransferData();
        EXPECT_EQ(server.Received(), server.Expected()) << eml.filename();
        ASSERT_EQ(m.saved.size(), 1u) << eml.filename();
        EXPECT_EQ(m.saved[0], held) << eml.filename();

        test::WriteFile(dir / "fetched.eml", m.saved[0]);
        const auto fetched = test::RunKivo({"mime", "dump", (dir / "fetched.eml").string()});
        const auto original = test::RunKivo({"mime", "dump", eml.string()});
        ASSERT_EQ(original.status, 0) << original.err;
        EXPECT_EQ(fetched.out, original.out) << eml.filename();
    }
}

}  // namespace
}  // namespace kivo
