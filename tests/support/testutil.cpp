#include "tests/support/testutil.h"

#include <fcntl.h>
#include <malloc.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kivo::test {

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "kivo-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string ListedNumbers(const fs::path& del) {
    std::string numbers;
    std::size_t at = 0;
    const std::string text = ReadFile(del);
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.compare(at, 8, "Mailbox ") != 0) numbers += text.substr(at, end - at);
        at = end;
    }
    return numbers;
}

void WriteFile(const fs::path& path, std::string_view data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

fs::path DataPath(std::string_view name) {
    return fs::path(KIVO_TEST_DATA) / name;
}

int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
            code = 98;
        }
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Regenerating() {
    const std::vector<std::string> args = ::testing::internal::GetArgvs();
    return std::find(args.begin(), args.end(), "--regen") != args.end();
}

ProcessResult RunOnTerminal(std::vector<std::string> args, std::string_view prompt,
                            std::string_view answer) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) throw std::runtime_error("no pseudo-terminal");
    ::grantpt(master);
    ::unlockpt(master);
    const std::string terminal = ::ptsname(master);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int fd = ::open(terminal.c_str(), O_RDWR);  // the controlling terminal
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ProcessResult result;
    bool typed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 50) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // the program has ended
            result.out.append(buffer, static_cast<std::size_t>(n));
        }
        termios modes{};
        if (!typed && result.out.find(prompt) != std::string::npos &&
            ::tcgetattr(master, &modes) == 0 && !(modes.c_lflag & ECHO)) {
            if (::write(master, answer.data(), answer.size()) !=
                static_cast<ssize_t>(answer.size()))
                break;
            typed = true;
        }
    }
    ::kill(pid, SIGKILL);  // when it is still running after the deadline
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

pid_t SpawnKivo(std::vector<std::string> args, const posix_spawn_file_actions_t& actions,
                const std::vector<std::string>& dropEnv) {
    args.insert(args.begin(), KIVO_BINARY);
    std::vector<char*> argp;
    for (std::string& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        if (std::none_of(dropEnv.begin(), dropEnv.end(),
                         [&](const std::string& d) { return entry.starts_with(d + "="); }))
            env.emplace_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) return -1;
    return pid;
}

ProcessResult RunProgram(const std::vector<std::string>& argv, std::string_view input,
                         const std::vector<std::string>& extraEnv) {
    std::signal(SIGPIPE, SIG_IGN);  // a child that exits early must not kill the test
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<std::string> env;
    // An extra "NAME=VALUE" takes the place of the inherited NAME.
    auto named = [&extraEnv](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(extraEnv.begin(), extraEnv.end(),
                           [&](const std::string& e) { return e.starts_with(name); });
    };
    for (char** e = environ; *e; ++e) {
        if (!named(*e)) env.emplace_back(*e);
    }
    for (const auto& e : extraEnv) env.push_back(e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(inPipe[1]);
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error(std::string("spawn failed: ") + std::strerror(rc));
    }

    ProcessResult result;
    std::size_t written = 0;
    int inFd = inPipe[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen || inFd >= 0) {
        pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0},
                         {inFd, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0 && errno != EINTR) break;
        char buf[65536];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents) {
                ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    (i == 0 ? outOpen : errOpen) = false;
                }
            }
        }
        if (inFd >= 0 && fds[2].revents) {
            ssize_t n = write(inFd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void RunAndKill(const std::vector<std::string>& argv, std::chrono::microseconds delay, int signal) {
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error(std::string("spawn failed: ") + std::strerror(rc));
    std::this_thread::sleep_for(delay);
    kill(pid, signal);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

ProcessResult RunKivo(const std::vector<std::string>& args, std::string_view input,
                      const std::vector<std::string>& extraEnv) {
    std::vector<std::string> argv{KIVO_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, input, extraEnv);
}

ProcessResult RunKivoIn(const fs::path& home, std::vector<std::string> args,
                        std::string_view input) {
    args.insert(args.begin(), {"--home", home.string()});
    return RunKivo(args, input);
}

fs::path AddRigUser(const std::string& name) {
    const fs::path rig = Env("MAILPEERS_DIR");
    if (rig.empty()) throw std::runtime_error("no mail server rig");
    const fs::path home = rig / "mail" / name;
    struct stat owner {};
    if (::stat((rig / "mail").c_str(), &owner) != 0)
        throw std::runtime_error("the rig has no mail folder");
    for (const char* sub : {"", "Maildir", "Maildir/cur", "Maildir/new", "Maildir/tmp"}) {
        fs::create_directories(home / sub);
        if (::chown((home / sub).c_str(), owner.st_uid, owner.st_gid) != 0)
            throw std::runtime_error("cannot hand the maildir to the rig's user");
    }
    const std::string line = name + ":{PLAIN}" + name + "pw:" + std::to_string(owner.st_uid) + ":" +
                             std::to_string(owner.st_gid) + "::" + home.string() + "::\n";
    const int fd = ::open((rig / "etc" / "users").c_str(), O_WRONLY | O_APPEND);
    if (fd < 0) throw std::runtime_error("cannot open the rig's users file");
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) throw std::runtime_error("cannot add the user to the rig");
    return home;
}

namespace {

// A line of /proc/self/status ("VmRSS", "VmHWM") in kilobytes.
long StatusKb(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field) && line.size() > field.size() + 1)
            return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

}  // namespace

long PeakGrowthKb(const std::function<void()>& work) {
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKb("VmRSS");
    work();
    return StatusKb("VmHWM") - before;
}

}  // namespace kivo::test
