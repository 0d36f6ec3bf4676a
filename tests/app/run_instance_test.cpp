// `kivo run` and `kivo /m` as real processes on a temporary program folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/inifile.h"
#include "base/scramble.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::RunKivo;
using test::TempDir;

// The environment of a start on a machine without a display.
const std::vector<std::string> kNoDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};

// A kivo process left running, its standard output read line by line. It starts without a
// display, so "/m" makes the headless instance and no windows open.
class Background {
  public:
    explicit Background(std::vector<std::string> args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_ = test::SpawnKivo(std::move(args), actions,
                               {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
        if (pid_ <= 0) throw std::runtime_error("spawn failed");
    }
    ~Background() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        close(out_);
    }

    // Reads lines until one equals `line`; false when the process ends or time runs out.
    bool WaitForLine(std::string_view line, std::chrono::seconds limit = std::chrono::seconds(10)) {
        const Clock::time_point deadline = Clock::now() + limit;
        for (;;) {
            while (next_ < lines_.size()) {
                if (lines_[next_++] == line) return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char buffer[4096];
            const ssize_t n = read(out_, buffer, sizeof(buffer));
            if (n <= 0) return false;
            partial_.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = partial_.find('\n')) != std::string::npos;) {
                lines_.push_back(partial_.substr(0, end));
                partial_.erase(0, end + 1);
            }
        }
    }
    // The lines read since `from`.
    std::vector<std::string> Lines(std::size_t from) const {
        return {lines_.begin() + static_cast<std::ptrdiff_t>(from), lines_.end()};
    }
    std::size_t LineCount() const { return lines_.size(); }

    // Sends a signal and waits for the exit status (-1 when it did not exit normally).
    int Stop(int signal) {
        kill(pid_, signal);
        return Wait();
    }

  private:
    int Wait() {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    std::string partial_;
};

std::string RunningLine(const TempDir& home) {
    return "Kivo 1.0 running in " + home.path().string();
}

// The desktop is not asked about the mail program: the tests must not depend on it.
void WriteQuietSettings(const TempDir& home) {
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n");
}

TEST(RunInstance, LaterStartsHandOverTheirCommandsAndSigtermSavesAndCleansUp) {
    TempDir home;
    WriteQuietSettings(home);
    Background instance({"--home", home.path().string(), "run"});
    ASSERT_TRUE(instance.WaitForLine(RunningLine(home)));
    EXPECT_TRUE(fs::exists(home / ".kivo.sock"));
    EXPECT_TRUE(fs::exists(home / "Mail" / "In.mbx"));  // first run: the welcome mail

    // This instance has no window to open a message or itself in: a later start is told so
    // and ends with status 1 (without a display it has no window of its own either).
    const test::ProcessResult compose =
        RunKivo({"--home", home.path().string(), "/m", "someone@example.test"}, {}, kNoDisplay);
    EXPECT_EQ(compose.status, 1);
    EXPECT_EQ(compose.out, "");
    EXPECT_TRUE(
        compose.err.starts_with("kivo: Kivo runs on this folder without windows (kivo "
                                "run, process "))
        << compose.err;
    EXPECT_NE(compose.err.find("cannot open a new message; kivo compose writes one"),
              std::string::npos)
        << compose.err;
    ASSERT_TRUE(instance.WaitForLine(
        "Asked by a later start for a new message to someone@example.test: refused, no windows"));

    const std::size_t before = instance.LineCount();
    const test::ProcessResult again = RunKivo({"--home", home.path().string(), "run"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("cannot show a window; stop it to start Kivo with its windows"),
              std::string::npos)
        << again.err;
    EXPECT_EQ(RunKivo({"--home", home.path().string(), "/M"}, {}, kNoDisplay).status, 1);
    ASSERT_TRUE(
        instance.WaitForLine("Asked by a later start for its windows: refused, no windows"));
    EXPECT_EQ(
        instance.Lines(before),
        (std::vector<std::string>{"Asked by a later start for its windows: refused, no windows",
                                  "Asked by a later start for its windows: refused, no windows"}));

    EXPECT_EQ(instance.Stop(SIGTERM), 0);
    EXPECT_FALSE(fs::exists(home / ".kivo.sock"));
    const IniFile ini(home / "kivo.ini");
    EXPECT_EQ(ini.ReadString("Program", "Opened", ""), "In");
    EXPECT_EQ(ini.ReadString("Scripts", "Button2Script", ""), "Calculator");
    EXPECT_TRUE(fs::exists(home / "Mail" / "In.idx"));
}

TEST(RunInstance, SlashMBecomesTheInstanceWhenNoneRunsAndReplacesAStaleSocket) {
    TempDir home;
    WriteQuietSettings(home);
    {
        // What a crashed instance leaves behind: a socket file nobody listens on.
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = (home / ".kivo.sock").string();
        std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        close(fd);
    }
    // Without a display "/m" makes the headless instance, which says it has no window for
    // the message.
    Background instance({"--home", home.path().string(), "/M", "first@example.test"});
    ASSERT_TRUE(
        instance.WaitForLine("No window for a new message to first@example.test: kivo "
                             "run has no windows (kivo compose writes a message on the "
                             "terminal)"));
    EXPECT_EQ(RunKivo({"--home", home.path().string(), "/m", "second@example.test"}, {}, kNoDisplay)
                  .status,
              1);
    ASSERT_TRUE(instance.WaitForLine(
        "Asked by a later start for a new message to second@example.test: refused, no windows"));
    EXPECT_EQ(instance.Stop(SIGINT), 0);
    EXPECT_FALSE(fs::exists(home / ".kivo.sock"));
}

// A POP3 server on loopback holding one message; it answers every connection until the
// test ends and counts the sessions that ended with QUIT.
class OneMessagePop3 {
  public:
    static constexpr const char* kMessage =
        "From: Sender <sender@example.test>\r\nTo: someone@example.test\r\n"
        "Subject: Fetched at start\r\nDate: Thu, 10 Dec 2026 09:00:00 +0000\r\n\r\nHello.\r\n";

    OneMessagePop3() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            throw std::runtime_error("cannot listen");
        }
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneMessagePop3() {
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        thread_.join();
    }
    std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
    int Sessions() const { return sessions_; }

  private:
    void Serve() {
        for (int client; (client = accept(fd_, nullptr, nullptr)) >= 0;) {
            Session(client);
            close(client);
        }
    }
    void Session(int client) {
        const std::string size = std::to_string(std::strlen(kMessage));
        Send(client, "+OK ready\r\n");
        std::string pending;
        char buffer[1024];
        for (ssize_t n; (n = recv(client, buffer, sizeof(buffer), 0)) > 0;) {
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                const std::string verb = line.substr(0, line.find(' '));
                if (verb == "STAT") {
                    Send(client, "+OK 1 " + size + "\r\n");
                } else if (verb == "LIST") {
                    Send(client, line == "LIST" ? "+OK\r\n1 " + size + "\r\n.\r\n"
                                                : "+OK 1 " + size + "\r\n");
                } else if (verb == "UIDL") {
                    Send(client, line == "UIDL" ? "+OK\r\n1 uid-1\r\n.\r\n" : "+OK 1 uid-1\r\n");
                } else if (verb == "TOP" || verb == "RETR") {
                    Send(client, "+OK\r\n" + std::string(kMessage) + ".\r\n");
                } else if (verb == "CAPA") {
                    Send(client, "-ERR unknown command\r\n");
                } else if (verb == "QUIT") {
                    Send(client, "+OK bye\r\n");
                    ++sessions_;
                    return;
                } else {
                    Send(client, "+OK\r\n");  // USER, PASS, DELE, NOOP
                }
            }
        }
    }
    static void Send(int client, const std::string& text) {
        send(client, text.data(), text.size(), MSG_NOSIGNAL);
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<int> sessions_{0};
    std::thread thread_;
};

TEST(RunInstance, MailFetchedByTheStartCheckStaysInTheIndexSavedAtShutdown) {
    OneMessagePop3 pop3;
    TempDir home;
    fs::create_directory(home / "Mail");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\nAutoCheck=1\r\nAutoCheckTime=0\r\n");
    test::WriteFile(home / "accounts.ini", "[Acc]\r\nPOPServer=" + pop3.Server() +
                                               "\r\nPOPUser=jo\r\nPOPPass=" +
                                               Scramble("pw", kAccountPasswordKey) + "\r\n");
    Background instance({"--home", home.path().string(), "run"});
    ASSERT_TRUE(instance.WaitForLine(RunningLine(home)));
    // A command answered after the start check proves the check is over.
    EXPECT_EQ(
        RunKivo({"--home", home.path().string(), "/m", "a@example.test"}, {}, kNoDisplay).status,
        1);
    ASSERT_TRUE(instance.WaitForLine(
        "Asked by a later start for a new message to a@example.test: refused, no windows"));
    EXPECT_EQ(pop3.Sessions(), 1);
    EXPECT_EQ(instance.Stop(SIGTERM), 0);

    const test::ProcessResult listing = RunKivo({"--home", home.path().string(), "ls", "In"});
    EXPECT_NE(listing.out.find("Fetched at start"), std::string::npos) << listing.out;
}

TEST(RunInstance, AFailingStartCheckLeavesTheInstanceRunning) {
    TempDir home;
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\nAutoCheck=1\r\nAutoCheckTime=0\r\n");
    test::WriteFile(home / "accounts.ini",
                    "[Broken]\r\nPOPServer=127.0.0.1:1\r\nPOPUser=x\r\nCheckMail=1\r\n");
    Background instance({"--home", home.path().string(), "run"});
    ASSERT_TRUE(instance.WaitForLine(RunningLine(home)));
    EXPECT_EQ(
        RunKivo({"--home", home.path().string(), "/m", "a@example.test"}, {}, kNoDisplay).status,
        1);
    EXPECT_TRUE(instance.WaitForLine(
        "Asked by a later start for a new message to a@example.test: refused, no windows"));
    EXPECT_EQ(instance.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace kivo
