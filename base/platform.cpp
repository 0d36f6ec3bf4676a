#include "base/platform.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

extern char** environ;

namespace kivo {

PumpThrottle::PumpThrottle(Platform& platform, std::chrono::milliseconds interval)
    : platform_(platform), interval_(interval), last_(std::chrono::steady_clock::now()) {}

void PumpThrottle::Tick() {
    auto now = std::chrono::steady_clock::now();
    if (now - last_ >= interval_) {
        last_ = now;
        platform_.Pump();
    }
}

namespace {

// Set by the SIGINT handler; a signal handler can only reach process-wide state.
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

// The controlling terminal, or nullptr when there is none (cron, CI).
FILE* OpenTerminal() { return std::fopen("/dev/tty", "r+"); }

bool ReadTerminalLine(FILE* tty, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(tty)) != EOF && c != '\n') line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return c != EOF || !line.empty();
}

bool Prompt(std::string_view prompt, std::string& value, bool echo) {
    FILE* tty = OpenTerminal();
    if (!tty) return false;
    std::fprintf(tty, "%.*s ", static_cast<int>(prompt.size()), prompt.data());
    std::fflush(tty);
    termios saved{};
    bool restore = false;
    if (!echo && tcgetattr(fileno(tty), &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        restore = tcsetattr(fileno(tty), TCSAFLUSH, &quiet) == 0;
    }
    bool ok = ReadTerminalLine(tty, value);
    if (restore) {
        tcsetattr(fileno(tty), TCSAFLUSH, &saved);
        std::fputc('\n', tty);
    }
    std::fclose(tty);
    return ok;
}

}  // namespace

HeadlessPlatform::HeadlessPlatform() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

void HeadlessPlatform::Pump() {}

bool HeadlessPlatform::AbortRequested() const { return gInterrupted != 0; }

void HeadlessPlatform::ClearAbortRequest() { gInterrupted = 0; }

void HeadlessPlatform::ShowTip(std::string_view text) { std::cerr << text << '\n'; }

void HeadlessPlatform::ShowMessage(std::string_view text) { std::cerr << text << '\n'; }

bool HeadlessPlatform::AskYesNo(std::string_view question) {
    std::string answer;
    if (!Prompt(std::string(question) + " [y/N]", answer, true)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

bool HeadlessPlatform::InputText(std::string_view caption, std::string_view prompt,
                                 std::string& value) {
    std::string text = std::string(caption) + ": " + std::string(prompt);
    return Prompt(text, value, true);
}

bool HeadlessPlatform::InputPassword(std::string_view caption, std::string_view prompt,
                                     std::string& value) {
    std::string text = std::string(caption) + ": " + std::string(prompt);
    return Prompt(text, value, false);
}

void HeadlessPlatform::PlaySound(std::string_view) {}

bool HeadlessPlatform::ShellOpen(std::string_view target) {
    // Detached: xdg-open is started and not waited for beyond its own quick exit.
    std::string t(target);
    std::vector<std::string> argv{"xdg-open", t};
    return RunAndWait(argv) == 0;
}

int HeadlessPlatform::RunAndWait(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(a.data());
    argp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argp[0], nullptr, nullptr, argp.data(), environ) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kivo
