// Checks against scripted POP3 servers that offer PIPELINING. Replies that arrive in odd
// chunks store what an unpipelined check stores. A server that breaks the pipelined dialogue
// (a reply dropped, one too many, replies out of order) fails that account with an error,
// nothing is stored twice or lost, and the next check fetches the rest exactly once.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "base/bytes.h"
#include "base/scramble.h"
#include "store/mbxfile.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"
#include "transfer/checkmail.h"
#include "transfer/pop3mailbox.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::C;
using test::Raw;
using test::Step;

// More than one batch of the pipelined transfer (64 messages).
constexpr int kMessages = 70;

struct Exchange {
    std::string command;
    std::string reply;  // as sent, CR LF line ends
};
using Batch = std::vector<Exchange>;

std::string Message(int k) {
    return "From: ann@example.org\r\nSubject: m" + std::to_string(k) + "\r\nMessage-ID: <" +
           std::to_string(k) + "@example.org>\r\n\r\nbody of " + std::to_string(k) +
           "\r\n.a line that begins with a dot\r\n";
}

std::string Numbered(const char* verb, int k, const char* tail = "") {
    return std::string(verb) + " " + std::to_string(k) + tail;
}

// The mailbox of kMessages as a scripted server plays it, in the order the client asks:
// log-in, CAPA, the UIDL listing, the scan, then the transfer in batches (one message a batch
// without pipelining), each batch's fetches before its deletions, and QUIT.
class ScriptedMailbox {
  public:
    explicit ScriptedMailbox(bool pipelining) : pipelining_(pipelining) {}

    // Every message is fetched except those in `known` (stored before, so only deleted).
    std::vector<Batch> Dialogue(int known) const {
        long size = 0;
        std::string uidl = "+OK\r\n";
        for (int k = 1; k <= kMessages; ++k) {
            size += static_cast<long>(Message(k).size());
            uidl += std::to_string(k) + " u" + std::to_string(k) + "\r\n";
        }
        // The log-in and the listings go one command at a time.
        std::vector<Batch> batches = {
            {{"", "+OK ready\r\n"}},
            {{"USER name", "+OK\r\n"}},
            {{"PASS secret", "+OK\r\n"}},
            {{"STAT", "+OK " + std::to_string(kMessages) + " " + std::to_string(size) + "\r\n"}},
            {{"CAPA", pipelining_ ? "+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n" : "+OK\r\nUIDL\r\n.\r\n"}},
            {{"UIDL", uidl + ".\r\n"}},
        };
        for (int first = 1; first <= kMessages; first += BatchSize()) {
            Batch scan;
            for (int k = first; k < first + BatchSize() && k <= kMessages; ++k) {
                scan.push_back({Numbered("LIST", k), List(k)});
                scan.push_back({Numbered("TOP", k, " 1"), Top(k)});
            }
            batches.push_back(scan);
        }
        for (int first = 1; first <= kMessages; first += BatchSize()) {
            const int end = std::min(first + BatchSize(), kMessages + 1);
            Batch fetch, remove;
            for (int k = first; k < end; ++k) {
                if (k <= known) continue;
                Recheck(k, fetch);
                fetch.push_back({Numbered("LIST", k), List(k)});
                fetch.push_back({Numbered("RETR", k), Retr(k)});
            }
            for (int k = first; k < end; ++k) {
                Recheck(k, remove);
                remove.push_back({Numbered("DELE", k), "+OK\r\n"});
            }
            if (!fetch.empty()) batches.push_back(fetch);
            batches.push_back(remove);
        }
        batches.push_back({{"QUIT", "+OK\r\n"}});
        return batches;
    }

    // The script: a pipelining client sends a batch's commands together, then reads the
    // replies; otherwise each command waits for its reply.
    std::vector<Step> Steps(const std::vector<Batch>& batches) const {
        std::vector<Step> steps;
        for (const Batch& batch : batches) {
            if (pipelining_ && batch.size() > 1) {
                std::string replies;
                for (const Exchange& e : batch) {
                    steps.push_back(C(e.command));
                    replies += e.reply;
                }
                steps.push_back(Raw(replies));
                continue;
            }
            for (const Exchange& e : batch) {
                if (!e.command.empty()) steps.push_back(C(e.command));
                steps.push_back(Raw(e.reply));
            }
        }
        return steps;
    }

  private:
    int BatchSize() const { return pipelining_ ? 64 : 1; }
    static std::string List(int k) {
        return "+OK " + std::to_string(k) + " " + std::to_string(Message(k).size()) + "\r\n";
    }
    static std::string Top(int k) {
        const std::string raw = Message(k);
        const std::size_t body = raw.find("\r\n\r\n") + 4;
        return "+OK\r\n" + raw.substr(0, raw.find("\r\n", body) + 2) + ".\r\n";
    }
    static std::string Retr(int k) {
        std::string stuffed = Message(k);
        for (std::size_t at = stuffed.find("\n."); at != std::string::npos;
             at = stuffed.find("\n.", at + 3))
            stuffed.insert(at + 1, ".");
        return "+OK " + std::to_string(Message(k).size()) + " octets\r\n" + stuffed + ".\r\n";
    }
    static void Recheck(int k, Batch& batch) {
        batch.push_back(
            {Numbered("UIDL", k), "+OK " + std::to_string(k) + " u" + std::to_string(k) + "\r\n"});
        batch.push_back({Numbered("LIST", k), List(k)});
        batch.push_back({Numbered("TOP", k, " 1"), Top(k)});
    }

    bool pipelining_;
};

class LoggedFeedback : public TTransferFeedback {
  public:
    void ErrorLevel(int level, std::string_view text) override {
        if (level == 2) errors.emplace_back(text);
    }
    bool AskPassword(std::string_view, std::string_view, std::string&) override { return false; }
    std::vector<std::string> errors;
};

struct Folder {
    test::TempDir dir;
    Folder() {
        fs::create_directories(dir / "Mail");
        test::WriteFile(dir / "accounts.ini",
                        "[Work]\r\nPOPServer=pop.example\r\nPOPUser=name\r\nPOPPass=" +
                            Scramble("secret", kAccountPasswordKey) + "\r\n");
    }
    // One check against the server, as `kivo check` runs it.
    TCheckResult Check(const test::ScriptServer& server, LoggedFeedback& feedback) {
        test::WriteFile(dir / "accounts.ini", "[Work]\r\nPOPServer=" + server.Address() +
                                                  "\r\nPOPUser=name\r\nPOPPass=" +
                                                  Scramble("secret", kAccountPasswordKey) + "\r\n");
        test::PumpPlatform platform;
        TPop3Mailbox pop(platform);
        pop.Client().TimeOut = 1;
        TNoFilters filters;
        TCheckMail check(
            {dir / "accounts.ini", dir / "Mail", dir / "Attach", dir.path(), dir / "lmos.dat"}, pop,
            filters, feedback, &platform);
        return check.Run();
    }
    // In without its separator lines, which carry the time of storing.
    std::vector<std::string> In() const {
        std::vector<std::string> lines = SplitLines(test::ReadFile(dir / "Mail" / "in.mbx"));
        std::erase_if(lines, [](const std::string& l) { return l.starts_with("From ???@??? "); });
        return lines;
    }
    int Count(int k) const {
        const std::vector<std::string> in = In();
        return static_cast<int>(std::count(in.begin(), in.end(), "Subject: m" + std::to_string(k)));
    }
};

TEST(PipelinedCheck, RepliesInOddChunksStoreWhatAnUnpipelinedCheckStores) {
    const struct {
        const char* why;
        bool pipelining;
        std::size_t chunk;  // bytes per send; 0: a batch's replies at once
    } cases[] = {
        {"unpipelined, each reply at once", false, 0},
        {"pipelined, one byte at a time", true, 1},
        {"pipelined, pieces that split replies", true, 7},
        {"pipelined, a batch's replies in one piece", true, 0},
    };
    std::vector<std::string> unpipelined;
    for (const auto& c : cases) {
        const ScriptedMailbox mailbox(c.pipelining);
        test::ScriptServer server(mailbox.Steps(mailbox.Dialogue(0)), c.chunk);
        Folder folder;
        LoggedFeedback feedback;
        const TCheckResult r = folder.Check(server, feedback);
        EXPECT_EQ(server.Received(), server.Expected()) << c.why;
        EXPECT_EQ(r.failed, 0) << c.why << ": "
                               << (feedback.errors.empty() ? "" : feedback.errors[0]);
        EXPECT_EQ(r.stored, kMessages) << c.why;
        if (unpipelined.empty()) {
            unpipelined = folder.In();
            EXPECT_EQ(folder.Count(kMessages), 1);
        } else {
            EXPECT_EQ(folder.In(), unpipelined) << c.why;
        }
    }
}

// The faults hit the second batch (messages 65 to 70), after the first was stored and its
// deletions sent; the server then falls silent until the client gives up.
TEST(PipelinedCheck, ABrokenDialogueFailsTheAccountAndTheNextCheckFetchesTheRestOnce) {
    // Replies of the second fetch batch: five a message (UIDL, LIST, TOP, LIST, RETR).
    auto reply = [](int k, int which) { return static_cast<std::size_t>((k - 65) * 5 + which); };
    const struct {
        const char* why;
        std::function<void(Batch&)> fault;
    } cases[] = {
        {"a RETR reply dropped in the middle of a batch",
         [&](Batch& b) { b.erase(b.begin() + reply(67, 4)); }},
        {"the batch's last RETR reply dropped", [&](Batch& b) { b.pop_back(); }},
        {"a LIST reply missing", [&](Batch& b) { b.erase(b.begin() + reply(66, 3)); }},
        {"a RETR reply sent twice",
         [&](Batch& b) { b.insert(b.begin() + reply(67, 4), b[reply(67, 4)]); }},
        {"an extra line after a reply", [&](Batch& b) { b[reply(66, 4)].reply += "+OK\r\n"; }},
        {"two messages' replies out of order",
         [&](Batch& b) {
             std::swap_ranges(b.begin() + reply(66, 0), b.begin() + reply(67, 0),
                              b.begin() + reply(67, 0));
         }},
    };
    for (const auto& c : cases) {
        const ScriptedMailbox mailbox(true);
        std::vector<Batch> broken = mailbox.Dialogue(0);
        const std::size_t kSecondFetch = static_cast<std::size_t>(
            std::find_if(broken.begin(), broken.end(),
                         [](const Batch& b) { return b.front().command == "UIDL 65"; }) -
            broken.begin());
        ASSERT_EQ(broken.at(kSecondFetch).size(), 30u);
        c.fault(broken[kSecondFetch]);
        broken.resize(kSecondFetch + 1);
        std::vector<Step> steps = mailbox.Steps(broken);
        steps.push_back(test::Stall());

        Folder folder;
        LoggedFeedback feedback;
        int port = 0;
        {
            test::ScriptServer server(steps);
            port = server.Port();
            const TCheckResult r = folder.Check(server, feedback);
            EXPECT_EQ(r.failed, 1) << c.why;
            ASSERT_EQ(r.failures.size(), 1u) << c.why;
            EXPECT_TRUE(r.failures[0].starts_with("Work: ")) << r.failures[0];
            EXPECT_EQ(r.stored, 64) << c.why << ": the first batch, nothing of the broken one";
        }
        // The server kept everything (no QUIT); the stored ones are deleted unfetched.
        test::ScriptServer server(mailbox.Steps(mailbox.Dialogue(64)), 0, false, port);
        const TCheckResult r = folder.Check(server, feedback);
        EXPECT_EQ(server.Received(), server.Expected()) << c.why;
        EXPECT_EQ(r.failed, 0) << c.why << ": " << feedback.errors.back();
        EXPECT_EQ(r.stored, kMessages - 64) << c.why;
        for (int k = 1; k <= kMessages; ++k) EXPECT_EQ(folder.Count(k), 1) << c.why << ", m" << k;
        EXPECT_EQ(test::ReadFile(folder.dir / "lmos.dat").find("u1\r\n"), std::string::npos)
            << "deleted for good: no entry left";
    }
}

}  // namespace
}  // namespace kivo
