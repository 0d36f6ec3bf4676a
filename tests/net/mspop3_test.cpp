#include "net/mspop3.h"

#include <gtest/gtest.h>

#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::C;
using test::PumpPlatform;
using test::S;
using test::ScriptServer;

const char* kTop1 = "+OK\nFrom: a@x.test\nSubject: one\n\nfirst body line\n.";
const char* kTop2 = "+OK\nFrom: b@x.test\nSubject: two\n\nbody\n.";

std::vector<test::Step> LogInSteps(const char* stat) {
    return {S("+OK ready"), C("USER name"), S("+OK"), C("PASS secret"),
            S("+OK"),       C("STAT"),      S(stat)};
}

void Append(std::vector<test::Step>& steps, std::vector<test::Step> more) {
    steps.insert(steps.end(), more.begin(), more.end());
}

struct Pop {
    PumpPlatform platform;
    TmsRemotePOP pop{platform};
    std::vector<std::string> events;
    std::vector<std::string> saved;

    explicit Pop(const ScriptServer& server) {
        pop.Server = server.Address();
        pop.UserName = "name";
        pop.Password = "secret";
        pop.TimeOut = 5;
        pop.OnNextInfoUpdated = [this](TagSocket&, int n) { Note("info", n); };
        pop.OnRetrieving = [this](TagSocket&, int n) { Note("retrieving", n); };
        pop.OnRetrieved = [this](TagSocket&, int n) { Note("retrieved", n); };
        pop.OnDeleting = [this](TagSocket&, int n) { Note("deleting", n); };
        pop.OnInfoUpdated = [this](TagSocket&) { events.push_back("updated"); };
        pop.OnUserMessageSave = [this](TagSocket&, int n, std::string& contents) {
            Note("save", n);
            saved.push_back(contents);
        };
    }
    void Note(const char* what, int n) { events.push_back(what + (" " + std::to_string(n))); }
};

TEST(Pop3Client, TwoPhaseDialogueRetrievesAndDeletesTheMarkedMessage) {
    auto steps = LogInSteps("+OK 2 320");
    Append(steps,
           {C("LIST 1"), S("+OK 1 120"), C("TOP 1 1"), S(kTop1), C("LIST 2"), S("+OK 2 200"),
            C("TOP 2 1"), S(kTop2),
            // re-check, then the message
            C("UIDL 1"), S("+OK 1 uid-one"), C("LIST 1"), S("+OK 1 120"), C("TOP 1 1"), S(kTop1),
            C("LIST 1"), S("+OK 1 120"), C("RETR 1"),
            S("+OK 120 octets\nFrom: a@x.test\nSubject: one\n\nfirst body line\n.."
              "dotted\n.."),
            S("."),
            // re-check before the deletion
            C("UIDL 1"), S("+OK 1 uid-one"), C("LIST 1"), S("+OK 1 120"), C("TOP 1 1"), S(kTop1),
            C("DELE 1"), S("+OK Marked to be deleted."), C("QUIT"), S("+OK Logging out.")});
    ScriptServer server(steps);
    Pop p(server);
    p.pop.KeepConnected = true;
    p.pop.UpdateInfo();
    ASSERT_EQ(p.pop.Info.Count(), 2u);
    EXPECT_EQ(p.pop.MessageCount, 2);
    EXPECT_EQ(p.pop.MailboxSize, 320);
    EXPECT_EQ(p.pop.Info.Items(0).Size, 120);
    EXPECT_EQ(p.pop.Info.Items(1).Headers.Lines(),
              (std::vector<std::string>{"From: b@x.test", "Subject: two"}));
    EXPECT_TRUE(p.pop.Connected());
    p.pop.MarkForRetrieval(0);
    p.pop.MarkForDeletion(0);
    p.pop.TransferData();
    EXPECT_EQ(server.Received(), server.Expected());
    EXPECT_FALSE(p.pop.Connected());
    EXPECT_EQ(p.pop.Info.Items(0).UIDL, "uid-one");
    EXPECT_EQ(p.events, (std::vector<std::string>{"info 0", "info 1", "updated", "retrieving 0",
                                                  "save 0", "retrieved 0", "deleting 0"}));
    // Dots doubled by the server are single again; the closing line is no part of the message
    // (a "." line of the message stays).
    ASSERT_EQ(p.saved.size(), 1u);
    EXPECT_EQ(p.saved[0],
              "From: a@x.test\r\nSubject: one\r\n\r\nfirst body line\r\n.dotted\r\n.\r\n");
}

TEST(Pop3Client, EmptyMailboxSendsOnlyStat) {
    auto steps = LogInSteps("+OK 0 0");
    Append(steps, {C("QUIT"), S("+OK")});
    ScriptServer server(steps);
    Pop p(server);
    p.pop.UpdateInfo();
    EXPECT_EQ(p.pop.Info.Count(), 0u);
    EXPECT_EQ(p.events, std::vector<std::string>{"updated"});
    p.pop.TransferData();  // nothing to do, no connection
    EXPECT_EQ(server.Received(), server.Expected());
}

TEST(Pop3Client, LenientReplies) {
    // LIST with text after the size gives 0; a refused UIDL does not stop the transfer; without
    // a save handler the third message goes to msg_2.eml.
    auto steps = LogInSteps("+OK 3 30");
    Append(steps, {C("LIST 1"),  S("+OK 1 10 octets"),
                   C("TOP 1 1"), S("+OK\nA: 1\n."),
                   C("LIST 2"),  S("+OK 2 10"),
                   C("TOP 2 1"), S("+OK\nA: 2\n\n."),
                   C("LIST 3"),  S("+OK 3 1099511627776"),
                   C("TOP 3 1"), S("+OK\nA: 3\n\n."),
                   C("UIDL 3"),  S("-ERR not supported"),
                   C("LIST 3"),  S("+OK 3 10"),
                   C("TOP 3 1"), S("+OK\nA: 3\n\n."),
                   C("LIST 3"),  S("+OK 3 10"),
                   C("RETR 3"),  S("+OK\nA: 3\n\nthird\n."),
                   C("QUIT"),    S("+OK")});
    ScriptServer server(steps);
    Pop p(server);
    p.pop.OnUserMessageSave = nullptr;
    test::TempDir dir;
    p.pop.SetMessageDirectory(dir.path().string());
    p.pop.KeepConnected = true;
    p.pop.UpdateInfo();
    EXPECT_EQ(p.pop.Info.Items(0).Size, 0);
    EXPECT_EQ(p.pop.Info.Items(0).Headers.Lines(), std::vector<std::string>{"A: 1"});
    EXPECT_EQ(p.pop.Info.Items(2).Size, std::int64_t{1} << 40);
    p.pop.MarkForRetrieval(2);
    p.pop.TransferData();
    EXPECT_EQ(server.Received(), server.Expected());
    EXPECT_EQ(test::ReadFile(dir / "msg_2.eml"), "A: 3\r\n\r\nthird\r\n");
}

TEST(Pop3Client, RefusalsAndMissingCredentials) {
    {
        PumpPlatform platform;
        TmsRemotePOP pop(platform);
        pop.Server = "127.0.0.1:" + std::to_string(test::ClosedPort());
        pop.UserName = "name";
        std::string seen;
        pop.OnError = [&](TagSocket&, std::string& msg) { seen = msg; };
        EXPECT_THROW(pop.UpdateInfo(), ESocketError);
        EXPECT_EQ(seen, "Password property is required");  // before any connection attempt
    }
    // A refused user name or password says so; a refusal for another cause keeps its text.
    const struct {
        const char* refusal;
        bool credentials;
    } cases[] = {
        {"-ERR [AUTH] Authentication failed.", true},
        {"-ERR Bad login", true},
        {"-ERR [IN-USE] Mailbox locked by another session", false},
        {"-ERR [SYS/TEMP] Try again later", false},
    };
    for (const auto& c : cases) {
        ScriptServer server({S("+OK ready"), C("USER name"), S("+OK"), C("PASS secret"),
                             S(c.refusal)});
        Pop p(server);
        try {
            p.pop.UpdateInfo();
            FAIL();
        } catch (const ELoginRefused& e) {
            EXPECT_TRUE(c.credentials) << c.refusal;
            EXPECT_EQ(e.what(),
                      "The server refused the user name or password: " + std::string(c.refusal));
        } catch (const EServerError& e) {
            EXPECT_FALSE(c.credentials) << c.refusal;
            EXPECT_STREQ(e.what(), c.refusal);
        }
        EXPECT_TRUE(p.pop.Connected());  // the caller closes after a server refusal
        EXPECT_EQ(server.Received(), server.Expected());
    }
}

TEST(Pop3Client, HostileServersCannotMakeItHoardMemory) {
    {
        ScriptServer server(LogInSteps("+OK 99999999999 5"));
        Pop p(server);
        EXPECT_THROW(p.pop.UpdateInfo(), EServerError);
    }
    // A header said to be 10 bytes long that never ends.
    auto steps = LogInSteps("+OK 1 10");
    Append(steps,
           {C("LIST 1"), S("+OK 1 10"), C("TOP 1 1"), S("+OK\n" + std::string(3 << 20, 'h'))});
    ScriptServer server(steps);
    Pop p(server);
    try {
        p.pop.UpdateInfo();
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Response longer than", 0), 0u) << e.what();
    }
    EXPECT_FALSE(p.pop.Connected());
}

// However the response is cut into pieces as it arrives, the same data comes out.
TEST(Pop3Client, UnstuffsAResponseThatArrivesInPieces) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"a\r\n..b\r\n", "a\r\n.b\r\n"},
        {"..\r\n...\r\n", ".\r\n..\r\n"},
        {"x.y\r\n .z\r\n", "x.y\r\n .z\r\n"},  // dots inside lines stay
        {"a\r\n.\r\n", "a\r\n\r\n"},          // a lone "." line (a lenient read)
        {"a\r\n..\r\n", "a\r\n.\r\n"},        // the message's own "." line stays
        {".a.\r\n..\r\nb", "a.\r\n.\r\nb"},    // no line end at the end
        {"", ""},
    };
    for (const Case& c : cases) {
        for (std::size_t cut = 0; cut <= c.in.size(); ++cut) {
            TDotUnstuffer unstuffer;
            std::string out;
            unstuffer.Feed(std::string_view(c.in).substr(0, cut), out);
            unstuffer.Feed(std::string_view(c.in).substr(cut), out);
            EXPECT_EQ(out, c.out) << c.in << " cut at " << cut;
        }
        TDotUnstuffer unstuffer;
        std::string out;
        for (char byte : c.in) unstuffer.Feed(std::string_view(&byte, 1), out);
        EXPECT_EQ(out, c.out) << c.in << " a byte at a time";
    }
}

}  // namespace
}  // namespace kivo
