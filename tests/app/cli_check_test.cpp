// `kivo check` without a mail server: its command line, a program folder with nothing to
// check, and Ctrl-C during a transfer that would otherwise wait for its time-out.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::RunKivo;
using test::TempDir;

TEST(KivoCheck, RefusesArgumentsAndSaysWhenThereIsNothingToCheck) {
    TempDir home;
    const std::string h = home.path().string();
    auto wrong = RunKivo({"--home", h, "check", "now"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("unexpected argument 'now'"), std::string::npos) << wrong.err;

    auto empty = RunKivo({"--home", h, "check"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "No new messages\n");
    EXPECT_EQ(empty.err, "No accounts have been setup\n");

    ASSERT_EQ(RunKivo({"--home", h, "account", "add", "Off", "--pop-server", "127.0.0.1:1",
                       "--pop-user", "u", "--password", "p", "--check", "0", "--yes"})
                  .status,
              0);
    auto unmarked = RunKivo({"--home", h, "check"});
    EXPECT_EQ(unmarked.status, 0) << unmarked.err;
    EXPECT_EQ(unmarked.err, "No account marked to check - press F3 to change\n");
}

TEST(KivoCheck, SendOnCheckRunsTheSendQueueAfterTheCheck) {
    TempDir home;
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nSendOnCheck=1\r\n");
    auto result = RunKivo({"--home", home.path().string(), "check"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "No new messages\nNothing to send\n");
}

// One check and one send at a time per program folder: a run of a kind that is busy waits
// (here not at all, or until the holder lets go with --wait) and names the holder; the other
// kind goes ahead meanwhile.
TEST(KivoCheck, ARunOfABusyKindGivesUpNamingTheHolderOrWaitsForIt) {
    struct Case {
        const char* busy;   // the command whose lock the test holds
        const char* other;  // runs meanwhile
        const char* lockFile;
        const char* text;
        const char* otherOut;
    };
    for (const Case& c :
         {Case{"check", "send", "check.lock", "a check is already running", "Nothing to send\n"},
          Case{"send", "check", "send.lock", "a send is already running", "No new messages\n"}}) {
        TempDir home;
        const std::string h = home.path().string();
        ASSERT_EQ(RunKivo({"--home", h, "init"}).status, 0);
        const int fd = ::open((home / c.lockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        const std::string pid = std::to_string(::getpid());
        ASSERT_EQ(::write(fd, pid.data(), pid.size()), static_cast<ssize_t>(pid.size()));

        auto refused = RunKivo({"--home", h, c.busy, "--wait-up-to", "0"});
        EXPECT_EQ(refused.status, 1) << c.busy;
        EXPECT_NE(refused.err.find(std::string(c.text) + " (pid " + pid + ")"), std::string::npos)
            << refused.err;
        EXPECT_EQ(refused.out, "") << "nothing of the run was done";

        auto other = RunKivo({"--home", h, c.other, "--wait-up-to", "0"});
        EXPECT_EQ(other.status, 0) << other.err;
        EXPECT_EQ(other.out, c.otherOut);

        std::thread release([fd] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::close(fd);
        });
        auto waited = RunKivo({"--home", h, c.busy, "--wait"});
        release.join();
        EXPECT_EQ(waited.status, 0) << waited.err;
    }
    EXPECT_EQ(RunKivo({"check", "--wait-up-to", "soon"}).status, 2);
}

// A server that takes the connection and never says a word: without Ctrl-C the check would
// wait out its 60-second time-out.
TEST(KivoCheck, CtrlCCancelsTheRunningTransfer) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string server = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    TempDir home;
    const std::string h = home.path().string();
    ASSERT_EQ(RunKivo({"--home", h, "account", "add", "Silent", "--pop-server", server,
                       "--pop-user", "u", "--password", "p", "--yes"})
                  .status,
              0);
    // SIGINT after a second; SIGKILL ten seconds later should the check not end.
    auto result = test::RunProgram({"timeout", "--preserve-status", "-k", "10", "-s", "INT", "1",
                                    KIVO_BINARY, "--home", h, "check"});
    ::close(listener);
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_TRUE(result.out.starts_with("No new messages; failed: Silent: ")) << result.out;
    EXPECT_NE(result.err.find("Operation has been canceled"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Operation canceled."), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// -q keeps the error stream to errors; -v adds the program folder and the status texts.
TEST(KivoCheck, QuietAndVerboseDecideWhatTheErrorStreamTells) {
    TempDir home;
    const std::string h = home.path().string();
    ASSERT_EQ(RunKivo({"--home", h, "account", "add", "Off", "--pop-server", "127.0.0.1:1",
                       "--pop-user", "u", "--password", "p", "--yes"})
                  .status,
              0);
    const std::string progress = "Connecting to 127.0.0.1:1 POP server for Off...\n";
    const std::string error = "error: Cannot connect to 127.0.0.1:1 POP server for Off\n";
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> shown, hidden;
    } cases[] = {
        {{"check"}, {progress, error}, {"program folder", "Connecting to 127.0.0.1:1 server"}},
        {{"-q", "check"}, {error}, {progress}},
        {{"check", "--quiet"}, {error}, {progress}},
        {{"check", "-v"},
         {"kivo: program folder " + h + " (--home)\n", "Connecting to 127.0.0.1:1 server...\n",
          progress, error},
         {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--home", h};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::ProcessResult r = RunKivo(args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.out,
                  "No new messages; failed: Off: [10061] Connection refused (127.0.0.1:1)\n");
        for (const std::string& text : c.shown)
            EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
        for (const std::string& text : c.hidden)
            EXPECT_EQ(r.err.find(text), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace kivo
