#include "tests/support/faultfiles.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

namespace kivo::test {
namespace {

std::atomic<int> truncateError{0};
std::mutex flushedMutex;
std::vector<std::string>& FlushedPaths() {
    static std::vector<std::string> paths;
    return paths;
}

void NoteFlushed(int fd) {
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target);
    if (n <= 0) return;
    const std::lock_guard<std::mutex> guard(flushedMutex);
    FlushedPaths().emplace_back(target, static_cast<std::size_t>(n));
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

void FailTruncate(int err) { truncateError = err; }

std::vector<std::string> Flushed() {
    const std::lock_guard<std::mutex> guard(flushedMutex);
    return FlushedPaths();
}

void ClearFlushed() {
    const std::lock_guard<std::mutex> guard(flushedMutex);
    FlushedPaths().clear();
}

}  // namespace kivo::test

extern "C" {

int ftruncate(int fd, off_t length) {
    if (const int err = kivo::test::truncateError.load()) {
        errno = err;
        return -1;
    }
    static const auto next = kivo::test::Next<int (*)(int, off_t)>("ftruncate");
    return next(fd, length);
}

int ftruncate64(int fd, off_t length) { return ftruncate(fd, length); }

int fdatasync(int fd) {
    kivo::test::NoteFlushed(fd);
    static const auto next = kivo::test::Next<int (*)(int)>("fdatasync");
    return next(fd);
}

int fsync(int fd) {
    kivo::test::NoteFlushed(fd);
    static const auto next = kivo::test::Next<int (*)(int)>("fsync");
    return next(fd);
}
}
