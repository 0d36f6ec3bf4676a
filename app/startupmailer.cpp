#include "app/startupmailer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "base/bytes.h"
#include "base/files.h"

extern char** environ;

namespace kivo {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
constexpr const char* kMailtoType = "x-scheme-handler/mailto";
// Enough for any handler name; a program that talks more is cut off.
constexpr std::size_t kOutputMax = 64 * 1024;
}  // namespace

std::optional<std::string> RunForOutput(const std::vector<std::string>& argv,
                                        std::chrono::milliseconds timeout) {
    if (argv.empty()) return std::nullopt;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    std::string text;
    bool timedOut = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out[0], POLLIN, 0};
        const int ready = left.count() > 0 ? poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            timedOut = true;
            break;
        }
        char buffer[4096];
        const ssize_t n = read(out[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (text.size() < kOutputMax) text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

std::string DesktopExecArgument(std::string_view argument) {
    // Inside the quotes ", `, $ and \ take a backslash; the entry's own string escaping then
    // doubles every backslash, and a literal % is written %%.
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
            quoted += c;
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '%') {
            quoted += "%%";
        } else if (c == '\n' || c == '\r') {
            quoted += ' ';  // a line break would end the entry
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

TXdgDefaultMailer::TXdgDefaultMailer(fs::path executable, fs::path homeFolder,
                                     fs::path applications)
    : executable_(std::move(executable)),
      homeFolder_(std::move(homeFolder)),
      applications_(std::move(applications)) {}

fs::path TXdgDefaultMailer::UserApplications() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return fs::path(data) / "applications";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "") / ".local" / "share" / "applications";
}

std::optional<std::string> TXdgDefaultMailer::CurrentHandler() {
    std::optional<std::string> text = RunForOutput({"xdg-mime", "query", "default", kMailtoType},
                                                   std::chrono::milliseconds(5000));
    if (!text) return std::nullopt;
    return CutShort(Trim(*text));
}

std::string TXdgDefaultMailer::DesktopEntry() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kivo\n"
           "Comment=Read and write e-mail\n"
           "Exec=" +
           DesktopExecArgument(executable_.string()) + " --home " +
           DesktopExecArgument(homeFolder_.string()) +
           " /m %u\n"
           "Terminal=false\n"
           "Categories=Network;Email;\n"
           "MimeType=" +
           kMailtoType + ";\n";
}

void TXdgDefaultMailer::Register() {
    fs::create_directories(applications_);
    WriteFileAtomic(applications_ / OwnHandler(), DesktopEntry());
    if (!RunForOutput({"xdg-mime", "default", OwnHandler(), kMailtoType},
                      std::chrono::milliseconds(5000))) {
        throw std::runtime_error("xdg-mime could not make Kivo the mail program");
    }
}

}  // namespace kivo
