#include "script/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace kivo {

namespace {

// posix_spawnp of argv; -1 when it could not be started.
pid_t Spawn(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return -1;
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argp[0], nullptr, nullptr, argp.data(), environ) != 0) return -1;
    return pid;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> ProgramArgs(std::string_view file, std::string_view params) {
    std::vector<std::string> argv{std::string(file)};
    std::size_t pos = 0;
    while (pos < params.size()) {
        while (pos < params.size() && params[pos] == ' ') ++pos;
        const std::size_t end = std::min(params.find(' ', pos), params.size());
        if (end > pos) argv.emplace_back(params.substr(pos, end - pos));
        pos = end;
    }
    return argv;
}

bool IsProgram(std::string_view file) {
    const std::string name(file);
    if (name.empty()) return false;
    if (name.find('/') != std::string::npos) return IsExecutableFile(name);
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty() && IsExecutableFile(std::string(dir) + "/" + name)) return true;
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return false;
}

bool StartDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return false;
    std::vector<std::string> wrapped{"setsid", "-f"};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    const pid_t pid = Spawn(wrapped);
    if (pid < 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

bool StartAndWait(const std::vector<std::string>& argv, const std::function<bool()>& keepWaiting) {
    const pid_t pid = Spawn(argv);
    if (pid < 0) return false;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return true;
        if (!keepWaiting()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace kivo
