// The send-queue run against an SMTP double: routing to servers and connections, failures and
// cancel, outgoing filters, the tips of an empty queue, and mail queued during the run.

#include "transfer/sendqueue.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>

#include "base/bytes.h"
#include "net/mssmtp.h"
#include "store/mbxfile.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// An SMTP double: records the dialogue as short words and fails where told to.
class FakeSmtp : public TSmtpSender {
  public:
    void SetEvents(TSmtpEvents events) override { events_ = std::move(events); }
    void SetServer(std::string_view server) override { server_ = server; }
    void SetAccess(const TSmtpAccess& access) override {
        if (!access.user.empty()) logins.push_back(access.user + ":" + access.password);
    }
    void Open() override {
        if (!connected_) Connect();
    }
    void Send(TmsMessage& message) override {
        if (!connected_) Fail("Not connected");
        Deliver(message, "send ");
    }
    void SendMail(TmsMessage& message) override {
        Connect();
        try {
            Deliver(message, "sendmail ");
        } catch (...) {
            Close();
            throw;
        }
        Close();
    }
    void Reset() override {
        calls.push_back("reset");
        if (failReset) Fail("421 closing");
        Open();
    }
    void Close() override {
        if (connected_) calls.push_back("close");
        connected_ = false;
    }
    void Cancel() override { calls.push_back("cancel"); }

    Lines calls;
    Lines logins;                               // "user:password" of each log-in set up
    std::set<std::string> unreachable;          // servers that refuse connections
    std::map<std::string, std::string> refuse;  // subject -> failure text
    std::set<std::string> stall;                // subjects whose sending times out
    bool failReset = false;
    std::function<void(const TmsMessage&)> onSend;  // runs while a message is sent
    std::vector<TmsMessage> delivered;

  private:
    void Connect() {
        calls.push_back("open " + server_);
        if (unreachable.count(server_)) Fail("[10061] Connection refused");
        connected_ = true;
    }
    void Deliver(TmsMessage& message, const std::string& how) {
        calls.push_back(how + message.Subject());
        if (onSend) onSend(message);
        auto it = refuse.find(message.Subject());
        if (it != refuse.end()) Fail(it->second);
        if (stall.count(message.Subject())) {
            std::string text = kTimedOutText;
            events_.error(text);
            connected_ = false;
            throw ETimedOutError(text);
        }
        events_.progress(100);
        delivered.push_back(message);
    }
    [[noreturn]] void Fail(std::string text) {
        events_.error(text);
        throw std::runtime_error(text);
    }

    TSmtpEvents events_;
    std::string server_;
    bool connected_ = false;
};

class RecordingFeedback : public TTransferFeedback {
  public:
    void StatusText(int panel, std::string_view text) override {
        status[panel] = std::string(text);
        if (panel == 3 && !text.empty()) shown.emplace_back(text);
    }
    void ErrorLevel(int level, std::string_view text) override {
        log.push_back(std::to_string(level) + " " + std::string(text));
    }
    void ShowTip(std::string_view text) override { tips.emplace_back(text); }
    bool AskPassword(std::string_view caption, std::string_view prompt,
                     std::string& password) override {
        asked.push_back(std::string(caption) + ": " + std::string(prompt));
        if (!answer) return false;
        password = *answer;
        return true;
    }
    void SetBusy(bool on) override { busy.push_back(on); }
    void RouteCancel(std::function<void()> cancel) override { cancel_ = std::move(cancel); }
    void ReopenMailbox(const fs::path& mbx) override { reopened.push_back(mbx.filename()); }
    void Stop() {
        if (cancel_) cancel_();
    }

    std::string status[4];
    Lines shown;
    Lines log;
    Lines tips;
    std::vector<bool> busy;
    Lines reopened;
    Lines asked;                        // password prompts shown
    std::optional<std::string> answer;  // what the user types; none: no terminal, or Cancel

  private:
    std::function<void()> cancel_;
};

// Outgoing filters: "drop" in the subject marks the message deleted, "boom" fails.
class DroppingFilters : public TFilterLists {
  public:
    void RunIncoming(TmsMessage&) override {}
    void RunOutgoing(TmsMessage& message) override {
        seen.push_back(message.Headers().GetFieldValue("Status"));
        if (message.Subject().find("drop") != std::string::npos) {
            message.Headers().RemoveField("Status");
            message.Headers().Add("Status: Rd");
        }
        if (message.Subject().find("boom") != std::string::npos)
            throw std::runtime_error("script error");
    }
    Lines seen;
};

class SendQueue : public testing::Test {
  protected:
    SendQueue() { fs::create_directories(mail); }

    void Settings(std::string_view smtp, std::string_view defaultAccount = "") {
        test::WriteFile(dir / "kivo.ini", "[Mail]\r\nSMTP=" + std::string(smtp) +
                                              "\r\nDefaultAccount=" + std::string(defaultAccount) +
                                              "\r\n");
    }
    void Queue(std::string_view subject, std::optional<std::string> server,
               std::string_view bcc = "") {
        TmsMessage m;
        m.Sender().SetAddress("ann@example.org");
        m.Recipients().AddAddress("bob@example.org", "Bob Builder");
        if (!bcc.empty()) m.BCC().AddAddress(bcc, "");
        m.SetSubject(subject);
        m.Body() = {"Body of " + std::string(subject)};
        TQueueOptions options;
        options.smtp = std::move(server);
        QueueMessage(m, options, mail);
    }
    TSendResult Run(bool byCheck = false) {
        TSendQueue run({dir / "kivo.ini", dir / "accounts.ini", mail}, smtp, filters, feedback);
        return run.Run(byCheck);
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
    Lines Level(char level) const {
        Lines found;
        for (const std::string& entry : feedback.log)
            if (entry[0] == level) found.push_back(entry.substr(2));
        return found;
    }

    test::TempDir dir;
    fs::path mail = dir / "Mail";
    fs::path out = mail / "out.mbx";
    fs::path sent = mail / "sent.mbx";
    FakeSmtp smtp;
    DroppingFilters filters;
    RecordingFeedback feedback;
};

TEST_F(SendQueue, OneServerSharesOneConnectionAndSentKeepsTheQueueForm) {
    Settings("");
    for (const char* s : {"one", "two", "three"}) Queue(s, "mx.example", "eve@example.org");
    const std::string queued = test::ReadFile(out);
    const TSendResult r = Run();

    EXPECT_EQ(smtp.calls,
              (Lines{"open mx.example", "send one", "send two", "send three", "close"}));
    EXPECT_EQ(r.sent, 3);
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(FindLastIndex(out), 0);
    EXPECT_EQ(Subjects(sent), (Lines{"one", "two", "three"}));
    Lines first;
    ExtractMsg(1, sent, first);
    EXPECT_EQ(first[0], kQueueSeparator);
    EXPECT_EQ(first[1], "Status: RQ");
    EXPECT_EQ(HeaderValue("X-SMTP:", first), "mx.example");
    EXPECT_EQ(HeaderValue("X-Bcc:", first), "eve@example.org");
    EXPECT_NE(queued.find(JoinLinesCrLf(first)), std::string::npos) << "Sent gets it unchanged";

    ASSERT_EQ(smtp.delivered.size(), 3u);
    EXPECT_EQ(smtp.delivered[0].BCC().Items(0).Address(), "eve@example.org");
    EXPECT_EQ(smtp.delivered[0].Headers().GetFieldValue("Status"), "")
        << "the status letters stay home";
    EXPECT_EQ(Level('1'), (Lines{"Sending queued messages through mx.example SMTP server..."}));
    EXPECT_EQ(feedback.shown.front(), "Bob Builder, one");
    EXPECT_EQ(feedback.busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(feedback.reopened, (Lines{"out.mbx", "sent.mbx"}));
    EXPECT_EQ(feedback.status[0], "");
    EXPECT_TRUE(feedback.tips.empty());
}

// An SMTP log-in without a stored password is asked for once per run and never stored;
// without an answer its messages stay queued and the others go.
class SmtpPasswordPrompt : public SendQueue {
  protected:
    void SetUp() override {
        test::WriteFile(dir / "accounts.ini", kAccounts);
        Settings("", "Work");
        Queue("one", "mx.example");
        Queue("plain", "other.example");
        Queue("two", "mx.example");
    }
    static constexpr const char* kAccounts =
        "[Work]\r\nSMTP=mx.example\r\nSMTPAuth=own\r\nSMTPUser=ann\r\n";
    const Lines prompt = {"Work, ann@mx.example: Enter your SMTP password:"};
};

TEST_F(SmtpPasswordPrompt, TheAnswerLogsInEveryMessageOfTheRun) {
    feedback.answer = "typed";
    const TSendResult r = Run();
    EXPECT_EQ(feedback.asked, prompt);
    EXPECT_EQ(r.sent, 3);
    EXPECT_EQ(smtp.logins, (Lines{"ann:typed", "ann:typed"}));
    EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), kAccounts);
}

TEST_F(SmtpPasswordPrompt, WithoutAnAnswerTheAccountsMessagesStayQueued) {
    const TSendResult r = Run();
    EXPECT_EQ(feedback.asked, prompt);
    EXPECT_EQ(r.sent, 1);
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(smtp.calls, (Lines{"open other.example", "sendmail plain", "close"}))
        << "no connection without the password";
    EXPECT_EQ(Subjects(out), (Lines{"one", "two"}));
    ASSERT_EQ(Level('2').size(), 2u);
    EXPECT_NE(Level('2')[0].find("No SMTP password was given for mx.example"), std::string::npos)
        << Level('2')[0];
}

// Which server each message goes through, and over how many connections.
TEST_F(SendQueue, RoutesEachMessageToItsServer) {
    struct Case {
        const char* why;
        std::vector<std::optional<std::string>> servers;  // X-SMTP of each queued message
        const char* mailSmtp;
        const char* defaultAccount;
        Lines calls;
    };
    const Case cases[] = {
        {"two servers: a connection per message",
         {"a.example", "b.example"},
         "",
         "",
         {"open a.example", "sendmail m0", "close", "open b.example", "sendmail m1", "close"}},
        {"no X-SMTP line: the default server",
         {std::nullopt, "d.example"},
         "d.example",
         "",
         {"open d.example", "send m0", "send m1", "close"}},
        {"empty X-SMTP and no default: the default account's POP server",
         {"", ""},
         "",
         "Home",
         {"open pop.home", "send m0", "send m1", "close"}},
        {"no default account named: the first in alphabetical order",
         {""},
         "",
         "Nobody",
         {"open pop.home", "send m0", "close"}},
        {"one named server and one for the POP server: never the named one for both",
         {"a.example", ""},
         "",
         "Work",
         {"open a.example", "sendmail m0", "close", "open pop.work", "sendmail m1", "close"}},
        {"no default server: the default account's own SMTP server before its POP server",
         {std::nullopt, ""},
         "",
         "Office",
         {"open smtp.office", "send m0", "send m1", "close"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        fs::remove(out);
        fs::remove(sent);
        smtp.calls.clear();
        Settings(c.mailSmtp, c.defaultAccount);
        test::WriteFile(dir / "accounts.ini",
                        "[Work]\r\nPOPServer=pop.work\r\n[Home]\r\nPOPServer=pop.home\r\n"
                        "[Office]\r\nPOPServer=pop.office\r\nSMTP=smtp.office\r\n");
        for (std::size_t i = 0; i < c.servers.size(); ++i)
            Queue("m" + std::to_string(i), c.servers[i]);
        const TSendResult r = Run();
        EXPECT_EQ(smtp.calls, c.calls);
        EXPECT_EQ(r.sent, static_cast<int>(c.servers.size()));
        EXPECT_EQ(FindLastIndex(out), 0);
    }
}

TEST_F(SendQueue, AFailedMessageStaysQueuedAndIsRetriedByTheNextRun) {
    Settings("mx.example");
    for (const char* s : {"one", "two", "three"}) Queue(s, std::nullopt);
    Lines two;
    ExtractMsg(2, out, two);
    smtp.refuse["two"] = "550 5.1.1 <bob@example.org>: Recipient address rejected";
    const TSendResult r = Run();

    EXPECT_EQ(smtp.calls,
              (Lines{"open mx.example", "send one", "send two", "reset", "send three", "close"}));
    EXPECT_EQ(r.sent, 2);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(Level('2'), (Lines{"Could not send message \"two\"<br>\r\nthrough mx.example SMTP "
                                 "server<br>\r\n550 5.1.1 &lt;bob@example.org&gt;: Recipient "
                                 "address rejected"}))
        << "the server's reply is text, not HTML tags";
    EXPECT_EQ(Subjects(sent), (Lines{"one", "three"}));
    Lines left;
    ExtractMsg(1, out, left);
    StripMsgBottom(two);
    StripMsgBottom(left);
    EXPECT_EQ(left, two) << "the failed message stays exactly as queued";
    EXPECT_EQ(FindLastIndex(out), 1);

    smtp.refuse.clear();
    EXPECT_EQ(Run().sent, 1);
    EXPECT_EQ(Subjects(sent), (Lines{"one", "three", "two"}));
    EXPECT_EQ(FindLastIndex(out), 0);
}

// A server that cannot be reached fails only its own messages when each has a connection of
// its own; with one shared connection nothing is sent.
TEST_F(SendQueue, AnUnreachableServerFailsOnlyItsMessages) {
    Settings("");
    Queue("a1", "a.example");
    Queue("down", "down.example");
    Queue("a2", "a.example");
    Queue("down too", "down.example");
    smtp.unreachable = {"down.example"};
    TSendResult r = Run();
    EXPECT_EQ(smtp.calls, (Lines{"open a.example", "sendmail a1", "close", "open down.example",
                                 "open a.example", "sendmail a2", "close", "open down.example"}));
    EXPECT_EQ(r.sent, 2);
    EXPECT_EQ(Subjects(out), (Lines{"down", "down too"}));
    EXPECT_EQ(feedback.status[0], "Error sending mail") << "the last message failed";

    smtp.calls.clear();
    feedback.log.clear();
    const std::string before = test::ReadFile(out);
    r = Run();
    EXPECT_TRUE(r.couldNotConnect);
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(smtp.calls, (Lines{"open down.example"}));
    EXPECT_EQ(Level('2'), (Lines{"Could not connect to down.example SMTP server<br>\r\n[10061] "
                                 "Connection refused"}));
    EXPECT_EQ(test::ReadFile(out), before);
}

TEST_F(SendQueue, AFailedResetEndsTheRunAndKeepsTheRestQueued) {
    Settings("mx.example");
    for (const char* s : {"one", "two", "three"}) Queue(s, std::nullopt);
    smtp.refuse["one"] = "451 try later";
    smtp.failReset = true;
    const TSendResult r = Run();
    EXPECT_EQ(smtp.calls, (Lines{"open mx.example", "send one", "reset", "close"}));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.failed, 3);
    EXPECT_EQ(Subjects(out), (Lines{"one", "two", "three"}));
    EXPECT_FALSE(fs::exists(sent));
}

// A server that times out is not tried again in the run: with one shared connection the run
// ends; with a connection per message, that server's other messages wait and the others go.
TEST_F(SendQueue, AServerThatTimesOutIsTriedOncePerRun) {
    Settings("");
    Queue("a1", "a.example");
    Queue("b1", "b.example");
    Queue("a2", "a.example");
    smtp.stall = {"a1"};
    const TSendResult r = Run();
    EXPECT_EQ(smtp.calls,
              (Lines{"open a.example", "sendmail a1", "open b.example", "sendmail b1", "close"}));
    EXPECT_EQ(r.sent, 1);
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(Level('2'), (Lines{"Could not send message \"a1\"<br>\r\nthrough a.example SMTP "
                                 "server<br>\r\nOperation timed out"}));
    EXPECT_EQ(Subjects(out), (Lines{"a1", "a2"}));

    smtp.calls.clear();
    smtp.stall.clear();
    EXPECT_EQ(Run().sent, 2) << "the next run tries the server again";
    EXPECT_EQ(Subjects(sent), (Lines{"b1", "a1", "a2"}));
}

// The real client against a server that takes the data of the first message and then falls
// silent: one time-out, no new connection for the other messages, all three still queued;
// the next run delivers each once, each with the Message-ID it was queued with, so a copy of
// the first that did arrive is known for what it is.
TEST_F(SendQueue, AStallAfterTheDotEndsTheRunAndTheRetryKeepsEachMessageId) {
    const auto transaction = [](std::vector<test::Step>& steps) {
        for (const char* line :
             {"MAIL FROM:<ann@example.org>", "RCPT TO:<bob@example.org>", "DATA"}) {
            steps.push_back(test::C(line));
            steps.push_back(test::S(line[0] == 'D' ? "354 go" : "250 ok"));
        }
        steps.push_back(test::D());
    };
    std::vector<test::Step> stalling{test::S("220 hi"), test::Step{test::Step::client, "HELO *"},
                                     test::S("250 ok")};
    transaction(stalling);
    stalling.push_back(test::Stall());
    auto first = std::make_unique<test::ScriptServer>(stalling);
    const int port = first->Port();
    Settings(first->Address());
    for (const char* s : {"one", "two", "three"}) Queue(s, std::nullopt);
    Lines ids;
    for (int n = 1; n <= 3; ++n) {
        Lines lines;
        ExtractMsg(n, out, lines);
        ids.push_back(HeaderValue("Message-ID:", lines));
        ASSERT_FALSE(ids.back().empty());
    }

    test::PumpPlatform platform;
    TmsSMTP client(platform);
    client.TimeOut = 1;
    int connections = 0;
    client.OnOpen = [&](TagSocket&) { ++connections; };
    TSmtpClientSender sender(client);
    const auto run = [&] {
        TSendQueue queue({dir / "kivo.ini", dir / "accounts.ini", mail}, sender, filters, feedback,
                         &platform);
        return queue.Run(false);
    };
    TSendResult r = run();
    EXPECT_EQ(connections, 1);
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.failed, 3);
    EXPECT_EQ(Level('2'), (Lines{"Could not send message \"one\"<br>\r\nthrough " +
                                 first->Address() + " SMTP server<br>\r\nOperation timed out"}));
    EXPECT_EQ(Subjects(out), (Lines{"one", "two", "three"}));
    EXPECT_FALSE(fs::exists(sent));
    const std::string stalled = first->Data();
    first.reset();

    std::vector<test::Step> good{test::S("220 hi"), test::Step{test::Step::client, "HELO *"},
                                 test::S("250 ok")};
    for (int i = 0; i < 3; ++i) {
        transaction(good);
        good.push_back(test::S("250 queued"));
    }
    good.push_back(test::C("QUIT"));
    good.push_back(test::S("221 bye"));
    test::ScriptServer second(good, 0, false, port);
    r = run();
    EXPECT_EQ(r.sent, 3);
    EXPECT_EQ(FindLastIndex(out), 0);
    EXPECT_EQ(Subjects(sent), (Lines{"one", "two", "three"}));
    const auto idsIn = [](const std::string& data) {
        Lines found;
        for (std::size_t at = 0; (at = data.find("\r\nMessage-ID: ", at)) != std::string::npos;) {
            at += 14;
            found.push_back(data.substr(at, data.find("\r\n", at) - at));
        }
        return found;
    };
    EXPECT_EQ(idsIn(second.Data()), ids);
    EXPECT_EQ(idsIn(stalled), Lines{ids[0]});
}

TEST_F(SendQueue, ACanceledMessageSaysSoAndStaysQueued) {
    Settings("");
    Queue("one", "a.example");
    Queue("two", "b.example");
    smtp.refuse["one"] = "Operation has been canceled";
    smtp.onSend = [&](const TmsMessage& m) {
        if (m.Subject() == "one") feedback.Stop();
    };
    const TSendResult r = Run();
    EXPECT_NE(std::find(smtp.calls.begin(), smtp.calls.end(), "cancel"), smtp.calls.end())
        << "Stop goes to the SMTP client";
    EXPECT_EQ(Level('2'), Lines{});
    EXPECT_EQ(Level('3'), (Lines{"Operation canceled."}));
    EXPECT_EQ(r.sent, 1);
    EXPECT_EQ(Subjects(out), (Lines{"one"}));
}

// The terminal's Ctrl-C: the message on the way is canceled and the run ends after it.
TEST_F(SendQueue, StopEndsTheRunAfterTheCurrentMessage) {
    Settings("");
    for (const char* s : {"one", "two", "three"}) Queue(s, std::string(s) + ".example");
    TSendQueue run({dir / "kivo.ini", dir / "accounts.ini", mail}, smtp, filters, feedback);
    smtp.onSend = [&](const TmsMessage& m) {
        if (m.Subject() == "two") run.Stop();
    };
    const TSendResult r = run.Run(false);
    EXPECT_EQ(r.sent, 2);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(Subjects(out), (Lines{"three"}));
}

TEST_F(SendQueue, OutgoingFiltersMayDiscardAMessage) {
    Settings("mx.example");
    Queue("keep", std::nullopt);
    Queue("drop me", std::nullopt);
    Queue("boom", std::nullopt);
    const TSendResult r = Run();
    EXPECT_EQ(filters.seen, (Lines{"RQ", "RQ", "RQ"}));
    EXPECT_EQ(smtp.calls, (Lines{"open mx.example", "send keep", "send boom", "close"}));
    EXPECT_EQ(r.sent, 2);
    EXPECT_EQ(r.discarded, 1);
    EXPECT_EQ(Level('2'), (Lines{"Outgoing filter failed: script error"}));
    EXPECT_EQ(Subjects(sent), (Lines{"keep", "boom"}));
    EXPECT_EQ(FindLastIndex(out), 0);
}

TEST_F(SendQueue, AnEmptyQueueShowsItsTipUnlessRunAfterACheck) {
    struct Case {
        const char* why;
        std::optional<std::string> out;  // none: no file
        const char* tip;
    };
    const Case cases[] = {
        {"no Out mailbox", std::nullopt, "Out mailbox is empty -\nnothing to send (e61)"},
        {"an empty file", "", "Out mailbox is empty -\nnothing to send (e62)"},
        // Compressing Out first drops the lines that belong to no message.
        {"lines but no message", "\r\n\r\n", "Out mailbox is empty -\nnothing to send (e62)"},
    };
    Settings("mx.example");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        for (bool byCheck : {false, true}) {
            fs::remove(out);
            if (c.out) test::WriteFile(out, *c.out);
            feedback.tips.clear();
            const TSendResult r = Run(byCheck);
            EXPECT_EQ(r.queued, 0);
            EXPECT_EQ(feedback.tips, byCheck ? Lines{} : Lines{c.tip});
            EXPECT_TRUE(smtp.calls.empty());
        }
    }
}

TEST_F(SendQueue, AMessageWithoutServerWaitsOrEndsARunAfterACheck) {
    Settings("");
    Queue("nowhere", "");
    Queue("there", "a.example");
    Queue("nowhere too", "");
    TSendResult r = Run();
    EXPECT_EQ(feedback.tips, (Lines{"SMTP server not entered -\npress F7 to enter it (e64)",
                                    "SMTP server not entered -\npress F7 to enter it (e64)"}));
    EXPECT_EQ(r.sent, 1);
    EXPECT_EQ(Subjects(out), (Lines{"nowhere", "nowhere too"}));

    feedback.tips.clear();
    Queue("there again", "a.example");
    r = Run(true);
    EXPECT_TRUE(feedback.tips.empty());
    EXPECT_EQ(r.sent, 0) << "after a check the run ends at the first message without server";
    EXPECT_EQ(FindLastIndex(out), 3);
}

// Mail queued while the run is going (by the composer, a script or another Kivo process)
// survives the end of the run once and intact.
TEST_F(SendQueue, MailQueuedDuringTheRunSurvivesIt) {
    Settings("mx.example");
    Queue("one", std::nullopt);
    Queue("two", std::nullopt);
    Lines lateLines;
    smtp.onSend = [&](const TmsMessage& m) {
        if (m.Subject() != "one") return;
        const std::string before = test::ReadFile(out);
        Queue("late", std::nullopt, "eve@example.org");
        lateLines = SplitLines(test::ReadFile(out).substr(before.size()));
        lateLines.erase(lateLines.begin());  // the empty line before the separator
    };
    const TSendResult r = Run();
    EXPECT_EQ(r.sent, 2);
    EXPECT_EQ(Subjects(out), (Lines{"late"}));
    EXPECT_EQ(Subjects(sent), (Lines{"one", "two"}));
    const std::string text = test::ReadFile(out);
    EXPECT_NE(text.find(JoinLinesCrLf(lateLines)), std::string::npos) << "intact:\n" << text;

    smtp.onSend = nullptr;
    EXPECT_EQ(Run().sent, 1);
    ASSERT_EQ(smtp.delivered.size(), 3u);
    EXPECT_EQ(smtp.delivered[2].Subject(), "late");
    EXPECT_EQ(smtp.delivered[2].Body().front(), "Body of late");
    EXPECT_EQ(smtp.delivered[2].BCC().Items(0).Address(), "eve@example.org");
}

// A message delivered but not filed in Sent stays queued (never lost) and the run ends, so a
// full disk does not turn every further message into one sent twice.
TEST_F(SendQueue, ASentCopyThatCannotBeWrittenEndsTheRun) {
    Settings("mx.example");
    Queue("one", std::nullopt);
    Queue("two", std::nullopt);
    fs::create_directories(sent);  // a folder where the file should be: every append fails
    const TSendResult r = Run();
    EXPECT_EQ(smtp.calls, (Lines{"open mx.example", "send one", "close"}));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.failed, 2);
    EXPECT_EQ(Subjects(out), (Lines{"one", "two"}));
    ASSERT_EQ(Level('2').size(), 1u);
    EXPECT_TRUE(Level('2')[0].starts_with("Could not add the message to the mailbox"));
}

}  // namespace
}  // namespace kivo
