#include "app/singleinstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

TEST(SingleInstance, CommandTextOnlyForSlashMWithAnAddress) {
    struct Case {
        std::vector<std::string> args;
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {{}, "", "no arguments: front only"},
        {{"/m"}, "", "/m without an address sends an empty command"},
        {{"/m", "jo@example.test"}, "/m jo@example.test", "the address follows"},
        {{"/M", "mailto:jo@example.test?subject=Hi"},
         "/m mailto:jo@example.test?subject=Hi",
         "capital M too, always sent as /m"},
        {{"jo@example.test", "/m"}, "", "/m must come first"},
        {{"/x", "jo"}, "", "other arguments are ignored"},
        {{"/m", "a", "b"}, "/m a", "a third argument is ignored"},
    };
    for (const Case& c : cases) EXPECT_EQ(InstanceCommandText(c.args), c.text) << c.why;
}

// Runs a listener's polls on a thread until stopped; collects the commands.
struct Instance {
    TInstanceListener listener;
    std::vector<std::string> commands;
    std::atomic<bool> stop{false};
    std::thread loop;

    explicit Instance(TInstanceListener l, TInstanceRefusal refuse = {}) : listener(std::move(l)) {
        loop = std::thread([this, refuse] {
            while (!stop) {
                listener.Poll(
                    milliseconds(20), [this](const std::string& c) { commands.push_back(c); },
                    refuse);
            }
        });
    }
    ~Instance() { Stop(); }
    void Stop() {
        stop = true;
        if (loop.joinable()) loop.join();
    }
};

TEST(SingleInstance, HandsCommandsOverAndCutsThemAt256) {
    test::TempDir home;
    const fs::path socket = home / ".kivo.sock";
    std::optional<TInstanceListener> listener = TInstanceListener::Listen(socket);
    ASSERT_TRUE(listener);
    // A second start on the same folder finds the running instance.
    EXPECT_FALSE(TInstanceListener::Listen(socket));

    Instance instance(std::move(*listener));
    EXPECT_EQ(SendToInstance(socket, "/m jo@example.test"), THandOver::Acknowledged);
    EXPECT_EQ(SendToInstance(socket, ""), THandOver::Acknowledged);
    EXPECT_EQ(SendToInstance(socket, "/m " + std::string(400, 'x')), THandOver::Acknowledged);
    instance.Stop();
    ASSERT_EQ(instance.commands.size(), 3u);
    EXPECT_EQ(instance.commands[0], "/m jo@example.test");
    EXPECT_EQ(instance.commands[1], "");
    EXPECT_EQ(instance.commands[2], "/m " + std::string(253, 'x'));
}

// An instance that cannot carry a command out says why; the command is not run, and a
// reason of several lines arrives as one.
TEST(SingleInstance, ARefusedCommandComesBackWithItsReason) {
    test::TempDir home;
    const fs::path socket = home / ".kivo.sock";
    std::optional<TInstanceListener> listener = TInstanceListener::Listen(socket);
    ASSERT_TRUE(listener);
    Instance instance(std::move(*listener), [](const std::string& c) -> std::optional<std::string> {
        if (c.starts_with("/m ")) return "no windows here\nat all";
        return std::nullopt;
    });
    std::string why = "unchanged";
    EXPECT_EQ(SendToInstance(socket, "/m jo@example.test", kHandOverWait, &why),
              THandOver::Refused);
    EXPECT_EQ(why, "no windows here at all");
    EXPECT_EQ(SendToInstance(socket, "", kHandOverWait, &why), THandOver::Acknowledged);
    instance.Stop();
    EXPECT_EQ(instance.commands, std::vector<std::string>{""});
}

TEST(SingleInstance, ASilentClientNeitherBlocksOthersNorStaysForever) {
    test::TempDir home;
    const fs::path socket = home / ".kivo.sock";
    std::optional<TInstanceListener> listener =
        TInstanceListener::Listen(socket, milliseconds(100));
    ASSERT_TRUE(listener);
    Instance instance(std::move(*listener));

    // Connects and says nothing, then a real start sends its command.
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket.c_str(), sizeof(addr.sun_path) - 1);
    ASSERT_EQ(connect(silent, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    EXPECT_EQ(SendToInstance(socket, "/m jo@example.test", milliseconds(2000)),
              THandOver::Acknowledged);

    // After the time-out the instance has hung up on the silent client: no command from it.
    char byte;
    EXPECT_EQ(recv(silent, &byte, 1, 0), 0);
    close(silent);
    instance.Stop();
    EXPECT_EQ(instance.commands, std::vector<std::string>{"/m jo@example.test"});
}

TEST(SingleInstance, NoInstanceOrABusyOneThatTakesTheCommandLater) {
    test::TempDir home;
    const fs::path socket = home / ".kivo.sock";
    EXPECT_EQ(SendToInstance(socket, "/m jo@example.test", milliseconds(200)),
              THandOver::NoInstance);
    // An instance busy elsewhere (not polling) does not answer in time; once it polls it still
    // takes the command, exactly once.
    std::optional<TInstanceListener> busy = TInstanceListener::Listen(socket);
    ASSERT_TRUE(busy);
    EXPECT_EQ(SendToInstance(socket, "/m late@example.test", milliseconds(100)),
              THandOver::Unanswered);
    std::vector<std::string> commands;
    for (int i = 0; i < 5; ++i) {
        busy->Poll(milliseconds(20), [&](const std::string& c) { commands.push_back(c); });
    }
    EXPECT_EQ(commands, std::vector<std::string>{"/m late@example.test"});
}

TEST(SingleInstance, StaleSocketIsReplacedAndTheSocketGoesAtTheEnd) {
    test::TempDir home;
    const fs::path socket = home / ".kivo.sock";
    {
        // A crashed instance: bound, never removed.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, socket.c_str(), sizeof(addr.sun_path) - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        close(fd);
    }
    ASSERT_TRUE(fs::exists(socket));
    {
        std::optional<TInstanceListener> listener = TInstanceListener::Listen(socket);
        ASSERT_TRUE(listener);
        Instance instance(std::move(*listener));
        EXPECT_EQ(SendToInstance(socket, "/m a@b"), THandOver::Acknowledged);
    }
    EXPECT_FALSE(fs::exists(socket));
}

TEST(SingleInstance, WorksInAFolderWithAPathLongerThanASocketAddress) {
    test::TempDir home;
    fs::path deep = home.path() / std::string(100, 'd');
    fs::create_directory(deep);
    deep /= std::string(60, 'e');
    fs::create_directory(deep);
    const fs::path socket = deep / ".kivo.sock";
    ASSERT_GT(socket.string().size(), sizeof(sockaddr_un{}.sun_path));
    {
        std::optional<TInstanceListener> listener = TInstanceListener::Listen(socket);
        ASSERT_TRUE(listener);
        EXPECT_TRUE(fs::exists(socket));
        Instance instance(std::move(*listener));
        EXPECT_EQ(SendToInstance(socket, "/m a@b"), THandOver::Acknowledged);
        instance.Stop();
        EXPECT_EQ(instance.commands, std::vector<std::string>{"/m a@b"});
    }
    EXPECT_FALSE(fs::exists(socket));
}

TEST(SingleInstance, StartsAtTheSameMomentMakeOneInstance) {
    test::TempDir home;
    const fs::path socket = home / ".kivo.sock";
    std::atomic<int> instances{0};
    std::vector<std::thread> starts;
    std::vector<std::optional<TInstanceListener>> won;
    for (int i = 0; i < 8; ++i) won.emplace_back();
    for (int i = 0; i < 8; ++i) {
        starts.emplace_back([&, i] {
            if (auto l = TInstanceListener::Listen(socket)) won[i].emplace(std::move(*l));
            if (won[i]) ++instances;
        });
    }
    for (std::thread& t : starts) t.join();
    EXPECT_EQ(instances, 1);
}

}  // namespace
}  // namespace kivo
