// The clients against real servers: Dovecot for POP3 and Postfix for SMTP on loopback, started
// by scripts/test.sh (the MAILPEERS_* variables say where). Each test marks its messages with a
// subject of its own, so other tests using the same mailboxes do not disturb it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "base/bytes.h"
#include "mail/msmsg.h"
#include "net/mspop3.h"
#include "net/mssmtp.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::Env;

class RealServers : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Env("MAILPEERS_POP3_PORT").empty() || Env("MAILPEERS_DIR").empty())
            GTEST_SKIP() << "no mail server rig: run scripts/test.sh or export the output of "
                            "`mailpeers env DIR`";
        host_ = Env("MAILPEERS_HOST").empty() ? "127.0.0.1" : Env("MAILPEERS_HOST");
        tag_ = std::to_string(::getpid()) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    }

    void Configure(TmsRemotePOP& pop, const std::string& user) {
        pop.Server = host_ + ":" + Env("MAILPEERS_POP3_PORT");
        pop.UserName = user;
        pop.Password = user + "pw";
        pop.TimeOut = 20;
    }

    // Subject -> raw message (dots unstuffed, "." line kept) of the messages carrying our tag;
    // deletes those whose subject is in `remove`.
    std::map<std::string, std::string> Fetch(const std::string& user,
                                             const std::vector<std::string>& remove = {}) {
        TmsRemotePOP pop(platform_);
        Configure(pop, user);
        std::map<std::string, std::string> found;
        pop.KeepConnected = true;
        pop.UpdateInfo();
        for (std::size_t i = 0; i < pop.Info.Count(); ++i) {
            std::string subject = pop.Info.Items(i).Headers.GetFieldValue("Subject");
            if (subject.find(tag_) == std::string::npos) continue;
            pop.MarkForRetrieval(i);
            for (const auto& r : remove)
                if (subject == r) pop.MarkForDeletion(i);
        }
        pop.OnUserMessageSave = [&](TagSocket&, int n, std::string& contents) {
            found[pop.Info.Items(n).Headers.GetFieldValue("Subject")] = contents;
        };
        if (pop.Info.Count() > 0)
            pop.TransferData();
        else
            pop.Close();
        return found;
    }

    // Polls the mailbox until `count` of our messages are there (delivery is asynchronous).
    std::map<std::string, std::string> AwaitMessages(const std::string& user, std::size_t count) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        std::map<std::string, std::string> found;
        while ((found = Fetch(user)).size() < count && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return found;
    }

    test::PumpPlatform platform_;
    std::string host_;
    std::string tag_;
};

TEST_F(RealServers, FetchesARealMailboxAndDeletesSomeOfIt) {
    test::TempDir dir;
    std::vector<std::string> files;
    std::map<std::string, std::string> sent;
    for (int i = 0; i < 4; ++i) {
        std::string subject = "fetch " + std::to_string(i) + " " + tag_;
        // LF line ends as stored in a maildir; dot lines that the server must stuff.
        std::string message = "From: a@example.test\nTo: carol@example.test\nSubject: " + subject +
                              "\n\nline one\n.\n..\n.hidden\nend\n";
        auto path = dir / ("m" + std::to_string(i) + ".eml");
        test::WriteFile(path, message);
        files.push_back(path.string());
        std::string crlf;
        for (const auto& line : SplitLines(message)) crlf += line + "\r\n";
        sent[subject] = crlf;  // the transfer's closing "." line is not part of the message
    }
    std::vector<std::string> seed{"bash",
                                  std::string(KIVO_SOURCE_DIR) + "/../shared/peers/mailpeers",
                                  "seed", Env("MAILPEERS_DIR"), "carol"};
    seed.insert(seed.end(), files.begin(), files.end());
    ASSERT_EQ(test::RunProgram(seed).status, 0);

    std::string first = "fetch 0 " + tag_;
    std::string third = "fetch 2 " + tag_;
    EXPECT_EQ(Fetch("carol", {first, third}), sent);
    auto left = Fetch("carol");
    EXPECT_EQ(left.size(), 2u);
    EXPECT_EQ(left.count(first) + left.count(third), 0u);
    Fetch("carol", {"fetch 1 " + tag_, "fetch 3 " + tag_});
}

TEST_F(RealServers, SendsToSeveralRecipientsAndTheLinesArriveAsStored) {
    TmsMessage message;
    message.Sender().SetAddress("alice@example.test");
    message.Recipients().AddAddress("bob@example.test", "Bob");
    message.CC().AddAddress("alice@example.test", "");
    message.BCC().AddAddress("sink@example.test", "");
    message.SetSubject("round trip " + tag_);
    message.Body() = {"top", ".", "..", "...", ".x", ".NET", "bottom"};

    TmsSMTP smtp(platform_);
    smtp.Server = host_ + ":" + Env("MAILPEERS_SMTP_PORT");
    smtp.TimeOut = 20;
    smtp.MailMessage = &message;
    TmsMessage copy = message;
    std::string stored = copy.SaveToString();  // what Kivo keeps in Sent
    smtp.SendMail();

    std::string storedBody = stored.substr(stored.find("\r\n\r\n") + 4);
    for (const char* user : {"bob", "alice", "sink"}) {
        auto found = AwaitMessages(user, 1);
        ASSERT_EQ(found.size(), 1u) << user;
        const std::string& raw = found.begin()->second;
        EXPECT_EQ(found.begin()->first, "round trip " + tag_);
        if (user != std::string("sink")) {
            EXPECT_EQ(raw.find("sink@example.test"), std::string::npos)
                << "the BCC address must not travel in the data";
        }
        std::string body = raw.substr(raw.find("\r\n\r\n") + 4);
        // What was sent ends with the data and an empty line; the closing "." line of the
        // transfer is not handed over as data.
        EXPECT_EQ(body, storedBody + "\r\n") << user;
    }
    for (const char* user : {"bob", "alice", "sink"}) Fetch(user, {"round trip " + tag_});
}

}  // namespace
}  // namespace kivo
