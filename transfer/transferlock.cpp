#include "transfer/transferlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#include "base/platform.h"

namespace kivo {

namespace {

constexpr auto kPollStep = std::chrono::milliseconds(50);

int OpenLockFile(const std::filesystem::path& file) {
    for (;;) {
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

bool TryLock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        throw std::system_error(errno, std::generic_category(), "cannot lock");
    }
}

// The holder's pid in the file, so a second run can say who is busy. The lock is the flock,
// not the text: a stale pid of a dead holder locks nothing.
void WritePid(int fd) {
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0) return;
    [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
}

}  // namespace

std::filesystem::path TTransferLock::FileIn(const std::filesystem::path& programFolder,
                                            TTransferKind kind) {
    return programFolder / (kind == TTransferKind::Check ? "check.lock" : "send.lock");
}

std::optional<TTransferLock> TTransferLock::Take(const std::filesystem::path& file,
                                                 std::optional<std::chrono::milliseconds> wait,
                                                 Platform* platform) {
    const int fd = OpenLockFile(file);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), file.string());
    TTransferLock lock(fd);
    const auto until = std::chrono::steady_clock::now() + wait.value_or(kPollStep);
    while (!TryLock(fd)) {
        if (wait && std::chrono::steady_clock::now() >= until) return std::nullopt;
        if (platform) {
            platform->Pump();
            if (platform->AbortRequested()) return std::nullopt;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    WritePid(fd);
    return lock;
}

long TTransferLock::Holder(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    ::close(fd);
    if (n <= 0) return 0;
    return std::strtol(text, nullptr, 10);
}

std::string TTransferLock::BusyText(const std::filesystem::path& file, TTransferKind kind) {
    std::string text =
        kind == TTransferKind::Check ? "a check is already running" : "a send is already running";
    // The holder writes its pid just after it took the lock: give it a moment.
    long pid = Holder(file);
    for (int tries = 0; pid == 0 && tries < 10; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pid = Holder(file);
    }
    if (pid > 0) text += " (pid " + std::to_string(pid) + ")";
    return text;
}

TTransferLock::~TTransferLock() {
    // Closing the only descriptor releases the lock; the file stays for the next run.
    if (fd_ >= 0) ::close(fd_);
}

TTransferLock::TTransferLock(TTransferLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TTransferLock& TTransferLock::operator=(TTransferLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

}  // namespace kivo
