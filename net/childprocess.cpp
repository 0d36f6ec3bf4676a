#include "net/childprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace kivo {

TChildProcess::~TChildProcess() {
    Kill();
}

bool TChildProcess::OnPath(const std::string& program) {
    // A name with a slash is a path of its own, as the shell and posix_spawnp take it.
    if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool TChildProcess::Start(const std::vector<std::string>& argv) {
    if (argv.empty() || pid_ > 0) return false;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        pid_ = -1;
        return false;
    }
    fd_ = pipeFds[0];
    ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    output_.clear();
    status_ = -1;
    return true;
}

bool TChildProcess::Poll(int ms) {
    if (pid_ <= 0) return true;
    if (fd_ >= 0) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, ms) > 0) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) output_.append(buffer, n);
            if (n == 0) {  // end of output: the process is ending
                ::close(fd_);
                fd_ = -1;
            }
        }
    } else {
        ::poll(nullptr, 0, ms);
    }
    Reap(false);
    return pid_ <= 0;
}

void TChildProcess::Reap(bool wait) {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid_, &status, wait ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return;  // still running
    status_ = done == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    if (fd_ >= 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) output_.append(buffer, n);
        ::close(fd_);
        fd_ = -1;
    }
}

void TChildProcess::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        Reap(true);
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace kivo
