#include "base/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>
#include <utility>

#include "base/bytes.h"

namespace kivo {

namespace {

[[noreturn]] void ThrowErrno(int err, const std::string& what, const fs::path& path) {
    throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

// Closes a descriptor on every path out of a function.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the result (a deferred write error may show up here).
    int Close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

int OpenRetry(const fs::path& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes every byte; false with errno set on failure. A short write (disk full, file size
// limit) is retried once more so the reason of the failure ends up in errno.
bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int FlockRetry(int fd, int op) {
    int rc;
    do {
        rc = ::flock(fd, op);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

// Opens `path` (creating it when missing) and takes an exclusive lock on it. A process that
// held the lock may have replaced the file meanwhile (compression writes a new file and
// renames it over the old one): the lock then guards a file nobody sees any more, so the
// new file is opened and locked instead. -1 with errno set on failure.
int OpenLocked(const fs::path& path, int flags) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        int fd = OpenRetry(path, flags | O_CREAT, 0666);
        if (fd < 0) return -1;
        if (FlockRetry(fd, LOCK_EX) != 0) {
            int err = errno;
            ::close(fd);
            errno = err;
            return -1;
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
            return fd;
        }
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

// Opens a new file beside `target` with a name no other file has; the mode follows the
// umask like any new file.
int CreateTempBeside(const fs::path& target, fs::path& tempPath) {
    std::random_device random;
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + target.filename().string() + ".tmp" + std::to_string(::getpid()) +
                           "-" + std::to_string(random());
        tempPath = folder / name;
        int fd = OpenRetry(tempPath, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

fs::path FindFileNoCase(const fs::path& dir, std::string_view name) {
    if (name.find('/') != std::string_view::npos) return ResolveNoCase(dir / name);
    fs::path exact = dir / name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;

    // When several entries differ only in case, take the smallest name so the choice does
    // not depend on the order the folder lists them in.
    std::string best;
    const fs::path scanned = dir.empty() ? fs::path(".") : dir;
    for (fs::directory_iterator it(scanned, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (EqualsNoCase(entry, name) && (best.empty() || entry < best)) best = entry;
    }
    return best.empty() ? exact : dir / best;
}

fs::path ResolveNoCase(const fs::path& path) {
    if (!path.has_filename()) return path;
    return FindFileNoCase(path.parent_path(), path.filename().string());
}

std::string ReadFileBytes(const fs::path& path) {
    Fd fd(OpenRetry(path, O_RDONLY));
    if (fd.get() < 0) ThrowErrno(errno, "cannot open", path);
    struct stat st {};
    std::string data;
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)) {
        data.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno, "cannot read", path);
        }
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

std::string ReadFileOrEmpty(const fs::path& path) {
    try {
        return ReadFileBytes(path);
    } catch (const std::system_error&) {
        return {};
    }
}

void WriteFileAtomic(const fs::path& path, std::string_view data) {
    // A link is followed so the file it points to gets the new text and the link stays.
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec) target = resolved;
    }

    fs::path tempPath;
    Fd fd(CreateTempBeside(target, tempPath));
    if (fd.get() < 0) ThrowErrno(errno, "cannot create a temporary file for", target);

    auto fail = [&](const char* what) {
        int err = errno;
        ::unlink(tempPath.c_str());
        ThrowErrno(err, what, target);
    };
    // The replacement keeps the permissions and, where allowed, the owner of the file it
    // replaces.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; the new file is then the caller's own.
        }
        ::fchmod(fd.get(), old.st_mode & 07777);
    }

    if (!WriteAll(fd.get(), data)) fail("cannot write");
    if (::fsync(fd.get()) != 0) fail("cannot flush");
    if (fd.Close() != 0) fail("cannot close");
    if (::rename(tempPath.c_str(), target.c_str()) != 0) fail("cannot replace");

    // Makes the rename itself durable. The new text is in place already, so a folder that
    // cannot be flushed is not reported as a failed write.
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    Fd dirFd(OpenRetry(folder, O_RDONLY | O_DIRECTORY));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
}

void AppendLocked(const fs::path& path, std::string_view data) {
    Fd fd(OpenLocked(path, O_WRONLY | O_APPEND));
    if (fd.get() < 0) ThrowErrno(errno, "cannot lock", path);

    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) ThrowErrno(errno, "cannot read the size of", path);
    const off_t oldLength = st.st_size;

    if (WriteAll(fd.get(), data) && ::fdatasync(fd.get()) == 0) return;
    // Never leave half a message behind: cut the file back to what it was.
    int err = errno;
    if (::ftruncate(fd.get(), oldLength) == 0) ::fdatasync(fd.get());
    ThrowErrno(err, "cannot append to", path);
}

FileLock::FileLock(const fs::path& path) {
    int fd = OpenLocked(path, O_RDWR);
    // A file the user made read-only can still be locked.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = OpenLocked(path, O_RDONLY);
    if (fd < 0) ThrowErrno(errno, "cannot lock", path);
    fd_ = fd;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool CreateFolderOneLevel(const fs::path& dir) {
    if (dir.empty()) return false;
    ::mkdir(dir.c_str(), 0777);  // mkdir never creates missing parents
    std::error_code ec;
    return fs::is_directory(dir, ec);
}

fs::path TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') return fs::path(tmp);
    return fs::path("/tmp");
}

}  // namespace kivo
