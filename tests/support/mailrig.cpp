#include "tests/support/mailrig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <stdexcept>
#include <thread>

#include "tests/support/testutil.h"

namespace kivo::test {

std::optional<MailRig> MailRig::FromEnvironment() {
    if (Env("MAILPEERS_DIR").empty() || Env("MAILPEERS_POP3_PORT").empty()) return std::nullopt;
    MailRig rig;
    rig.dir_ = Env("MAILPEERS_DIR");
    const std::string host = Env("MAILPEERS_HOST");
    rig.pop3_ = (host.empty() ? "127.0.0.1" : host) + ":" + Env("MAILPEERS_POP3_PORT");
    return rig;
}

std::filesystem::path MailRig::Maildir(const std::string& user) const {
    return dir_ / "mail" / user / "Maildir";
}

std::string MailRig::AddUser(std::string_view prefix) const {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000;
    const std::string name =
        std::string(prefix) + std::to_string(::getpid()) + "t" + std::to_string(tick);
    const std::filesystem::path home = dir_ / "mail" / name;
    // Owned as the rig's own users' folders are, so Dovecot may write there.
    struct stat owner {};
    if (::stat((dir_ / "mail").c_str(), &owner) != 0) {
        throw std::runtime_error("the rig has no mail folder");
    }
    for (const char* sub : {"", "Maildir", "Maildir/cur", "Maildir/new", "Maildir/tmp"}) {
        std::filesystem::create_directories(home / sub);
        if (::chown((home / sub).c_str(), owner.st_uid, owner.st_gid) != 0) {
            throw std::runtime_error("cannot give the rig user's folder to the rig");
        }
    }
    // Dovecot reads its user file again when it changes.
    const std::string line = name + ":{PLAIN}" + name + "pw:" + std::to_string(owner.st_uid) + ":" +
                             std::to_string(owner.st_gid) + "::" + home.string() + "::\n";
    const int fd = ::open((dir_ / "etc" / "users").c_str(), O_WRONLY | O_APPEND);
    if (fd < 0) throw std::runtime_error("cannot add a user to the rig");
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) throw std::runtime_error("cannot add a user to the rig");
    // Dovecot looks at its user file at most once a second: a user added within the second of
    // its last look is known from the next second on.
    const std::time_t addedAt = std::time(nullptr);
    while (std::time(nullptr) <= addedAt)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return name;
}

void MailRig::Seed(const std::string& user, const std::vector<std::string>& messages) const {
    const TempDir files;
    std::vector<std::string> argv = {
        "bash",
        (std::filesystem::path(KIVO_SOURCE_DIR) / ".." / "shared" / "peers" / "mailpeers").string(),
        "seed", dir_.string(), user};
    for (std::size_t k = 0; k < messages.size(); ++k) {
        const std::filesystem::path file = files / ("m" + std::to_string(k) + ".eml");
        WriteFile(file, messages[k]);
        argv.push_back(file.string());
    }
    if (RunProgram(argv).status != 0) throw std::runtime_error("mailpeers seed failed");
}

}  // namespace kivo::test
