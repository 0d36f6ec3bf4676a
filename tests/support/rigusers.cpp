#include "tests/support/rigusers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/testutil.h"

namespace kivo::test {

namespace fs = std::filesystem;

bool RigAvailable() {
    return !Env("MAILPEERS_DIR").empty() && !Env("MAILPEERS_POP3_PORT").empty();
}

std::optional<RigUser> NewRigUser(const std::string& prefix) {
    if (!RigAvailable()) return std::nullopt;
    const fs::path rig = Env("MAILPEERS_DIR");
    static std::atomic<int> serial{0};
    RigUser user;
    user.name =
        prefix + std::to_string(::getpid()) + "n" + std::to_string(++serial) + "t" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
    user.password = user.name + "pw";
    const fs::path home = rig / "mail" / user.name;
    user.maildir = home / "Maildir";
    user.popServer = (Env("MAILPEERS_HOST").empty() ? "127.0.0.1" : Env("MAILPEERS_HOST")) + ":" +
                     Env("MAILPEERS_POP3_PORT");
    struct stat owner {};
    if (::stat((rig / "mail").c_str(), &owner) != 0) return std::nullopt;
    for (const char* sub : {"", "Maildir", "Maildir/cur", "Maildir/new", "Maildir/tmp"}) {
        std::error_code ec;
        fs::create_directories(home / sub, ec);
        if (::chown((home / sub).c_str(), owner.st_uid, owner.st_gid) != 0) return std::nullopt;
    }
    const std::string line = user.name + ":{PLAIN}" + user.password + ":" +
                             std::to_string(owner.st_uid) + ":" + std::to_string(owner.st_gid) +
                             "::" + home.string() + "::\n";
    const int fd = ::open((rig / "etc" / "users").c_str(), O_WRONLY | O_APPEND);
    if (fd < 0) return std::nullopt;
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) return std::nullopt;
    user.addedAt = std::time(nullptr);
    return user;
}

void AwaitRigUser(const RigUser& user) {
    while (std::time(nullptr) <= user.addedAt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool SeedRig(const RigUser& user, const std::vector<std::string>& messages) {
    const fs::path peers = fs::path(KIVO_SOURCE_DIR) / ".." / "shared" / "peers" / "mailpeers";
    std::vector<std::string> argv = {"bash", peers.string(), "seed", Env("MAILPEERS_DIR"),
                                     user.name};
    TempDir files;
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const fs::path file = files / ("m" + std::to_string(k) + ".eml");
        WriteFile(file, messages[k]);
        argv.push_back(file.string());
    }
    return RunProgram(argv).status == 0;
}

}  // namespace kivo::test
