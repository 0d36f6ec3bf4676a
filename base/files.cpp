#include "base/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
    // Hands the descriptor over to a new owner.
    int Release() { return std::exchange(fd_, -1); }
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

constexpr std::string_view kKeepIf = "keep-if ";

// Whether an append record's second line ("keep-if TOKEN<tab>PATH") names a marker file that
// exists with TOKEN as its first line: the change the append belonged to was completed.
bool MarkerKeeps(std::string_view record) {
    const std::size_t lf = record.find('\n');
    std::string_view line = record.substr(lf + 1);
    if (!line.starts_with(kKeepIf)) return false;
    line.remove_prefix(kKeepIf.size());
    line = line.substr(0, line.find('\n'));
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return false;
    try {
        const std::string marker = ReadFileOrEmpty(fs::path(std::string(line.substr(tab + 1))));
        return !marker.empty() && marker.substr(0, marker.find_first_of("\r\n")) == line.substr(0, tab);
    } catch (const std::system_error&) {
        return false;
    }
}

// Cuts back an append that a killed process left unfinished: its record names the length the
// file had before. Returns the number of bytes cut.
std::uint64_t RecoverAppend(int fd, const fs::path& path) {
    const fs::path record = AppendRecordPath(path);
    if (::access(record.c_str(), F_OK) != 0) return 0;
    std::uint64_t cut = 0;
    unsigned long long oldLength = 0;
    unsigned long long inode = 0;
    const std::string text = ReadFileOrEmpty(record);
    struct stat st {};
    // A record cut short was never followed by an append (it is flushed before the first
    // byte goes out): it is only removed.
    if (std::sscanf(text.c_str(), "%llu %llu\n", &oldLength, &inode) == 2 &&
        text.find('\n') != std::string::npos && !MarkerKeeps(text) && ::fstat(fd, &st) == 0 &&
        static_cast<unsigned long long>(st.st_ino) == inode &&
        static_cast<unsigned long long>(st.st_size) > oldLength) {
        const auto length = static_cast<off_t>(oldLength);
        if (::ftruncate(fd, length) == 0 || ::truncate(path.c_str(), length) == 0) {
            ::fdatasync(fd);
            cut = static_cast<std::uint64_t>(st.st_size) - oldLength;
        } else {
            return 0;  // the record stays for a locker that can write the file
        }
    }
    ::unlink(record.c_str());
    return cut;
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
    } catch (const std::system_error& e) {
        // Any other failure is no empty file: taken for one, it would be saved back emptier.
        if (e.code() == std::errc::no_such_file_or_directory) return {};
        throw;
    }
}

namespace {

// The end of an atomic rewrite: `fd` is the open temporary file `tempPath`.
void ReplaceThrough(int rawFd, const fs::path& tempPath, const fs::path& target,
                    std::string_view data, FileAccess access = FileAccess::Shared) {
    Fd fd(rawFd);
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
        ::fchmod(fd.get(), old.st_mode & (access == FileAccess::Private ? 07700 : 07777));
    } else if (access == FileAccess::Private) {
        ::fchmod(fd.get(), 0600);
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

}  // namespace

std::string ReadFileAt(int fd, std::uint64_t at, std::size_t count, const fs::path& path) {
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(at + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowErrno(errno, "cannot read", path);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

void WriteFileAtomic(const fs::path& path, std::string_view data, FileAccess access) {
    // A link is followed so the file it points to gets the new text and the link stays.
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec) target = resolved;
    }
    fs::path tempPath;
    const int fd = CreateTempBeside(target, tempPath);
    if (fd < 0) ThrowErrno(errno, "cannot create a temporary file for", target);
    ReplaceThrough(fd, tempPath, target, data, access);
}

fs::path StaleTempPath(const fs::path& path) {
    return fs::path(path.string() + ".tmp");
}

void WriteFileAtomicLocked(const fs::path& path, std::string_view data) {
    const fs::path tempPath = StaleTempPath(path);
    const int fd = OpenRetry(tempPath, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) ThrowErrno(errno, "cannot create a temporary file for", path);
    ReplaceThrough(fd, tempPath, path, data);
}

void AppendLocked(const fs::path& path, std::string_view data) {
    FileLock lock(path);
    TAppendTransaction append(lock);
    append.Write(data);
    append.Commit();
}

fs::path AppendRecordPath(const fs::path& path) {
    return fs::path(path.string() + ".append");
}

TAppendTransaction::TAppendTransaction(const FileLock& lock) : lock_(lock) {}

TAppendTransaction::~TAppendTransaction() {
    if (open_) TakeBack();
}

void TAppendTransaction::Begin() {
    // A record left under this lock by a cut that failed is dealt with as the next lock
    // would: the new record must not take the uncut tail for part of the old length.
    if (::access(AppendRecordPath(lock_.path()).c_str(), F_OK) == 0) {
        RecoverAppend(lock_.fd(), lock_.path());
        if (::access(AppendRecordPath(lock_.path()).c_str(), F_OK) == 0) {
            ThrowErrno(EIO, "cannot cut back an unfinished append to", lock_.path());
        }
    }
    struct stat st {};
    if (::fstat(lock_.fd(), &st) != 0) ThrowErrno(errno, "cannot read the size of", lock_.path());
    oldLength_ = static_cast<std::uint64_t>(st.st_size);
    inode_ = static_cast<std::uint64_t>(st.st_ino);
    if (!WriteRecord()) {
        int err = errno;
        ::unlink(AppendRecordPath(lock_.path()).c_str());
        ThrowErrno(err, "cannot append to", lock_.path());
    }
    begun_ = true;
    open_ = true;
}

bool TAppendTransaction::WriteRecord() const {
    // The record is on disk before the first byte of the append: with delayed allocation a
    // power cut can keep appended data whose record's contents were never written, and an
    // empty record would then pass for "nothing appended". Flushed first, a record found
    // empty or cut short means the append never began, so removing it loses nothing. (The
    // record's name is made durable by the same flush on journaling file systems.)
    const std::string record =
        std::to_string(oldLength_) + " " + std::to_string(inode_) + "\n" + keepIf_;
    Fd fd(OpenRetry(AppendRecordPath(lock_.path()), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    return fd.get() >= 0 && WriteAll(fd.get(), record) && ::fdatasync(fd.get()) == 0 &&
           fd.Close() == 0;
}

void TAppendTransaction::Write(std::string_view data) {
    if (data.empty()) return;
    if (!begun_) Begin();
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(lock_.fd(), data.data() + done, data.size() - done,
                                   static_cast<off_t>(oldLength_ + written_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n == 0 ? ENOSPC : errno;
            TakeBack();
            ThrowErrno(err, "cannot append to", lock_.path());
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += done;
    flushed_ = false;
}

void TAppendTransaction::KeepIf(const fs::path& marker, std::string token) {
    keepIf_ = std::string(kKeepIf) + token + "\t" + marker.string() + "\n";
}

void TAppendTransaction::Flush() {
    if (!open_ || flushed_) return;
    if (::fdatasync(lock_.fd()) != 0) {
        const int err = errno;
        TakeBack();
        ThrowErrno(err, "cannot flush", lock_.path());
    }
    flushed_ = true;
}

bool TAppendTransaction::Commit() {
    if (!open_) return true;
    Flush();
    open_ = false;
    return ::unlink(AppendRecordPath(lock_.path()).c_str()) == 0 || errno == ENOENT;
}

bool TAppendTransaction::TakeBack() noexcept {
    if (!begun_) return true;
    const auto length = static_cast<off_t>(oldLength_);
    written_ = 0;
    open_ = false;
    const fs::path record = AppendRecordPath(lock_.path());
    if (::ftruncate(lock_.fd(), length) == 0 && ::fdatasync(lock_.fd()) == 0) {
        ::unlink(record.c_str());
        return true;
    }
    // The tail stays: the record must too (written again after a Commit), so the next lock
    // of the file cuts it.
    if (::access(record.c_str(), F_OK) != 0) WriteRecord();
    return false;
}

FileLock::FileLock(const fs::path& path) : path_(path) {
    int fd = OpenLocked(path, O_RDWR);
    // A file the user made read-only can still be locked.
    if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = OpenLocked(path, O_RDONLY);
    if (fd < 0) ThrowErrno(errno, "cannot lock", path);
    // A recovery that throws must not leave the file locked by a descriptor nobody owns.
    Fd locked(fd);
    cutBack_ = RecoverAppend(locked.get(), path_);
    fd_ = locked.Release();
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), cutBack_(other.cutBack_) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        cutBack_ = other.cutBack_;
    }
    return *this;
}

TwoFileLocks::TwoFileLocks(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    const bool same = fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
    const fs::path fullA = fs::absolute(a, ec).lexically_normal();
    const fs::path fullB = fs::absolute(b, ec).lexically_normal();
    if (same || fullA == fullB) {
        first_.emplace(a);
        a_ = b_ = &*first_;
    } else if (fullA.string() < fullB.string()) {
        first_.emplace(a);
        second_.emplace(b);
        a_ = &*first_;
        b_ = &*second_;
    } else {
        first_.emplace(b);
        second_.emplace(a);
        b_ = &*first_;
        a_ = &*second_;
    }
}

TFileLineReader::TFileLineReader(const fs::path& path) : path_(path) {
    fd_ = OpenRetry(path, O_RDONLY);
    if (fd_ < 0) ThrowErrno(errno, "cannot open", path);
}

TFileLineReader::~TFileLineReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool TFileLineReader::Next(std::string_view& line) {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    for (;;) {
        const std::size_t lf = buf_.find('\n', pos_);
        if (lf != std::string::npos || (eof_ && pos_ < buf_.size())) {
            const std::size_t end = lf == std::string::npos ? buf_.size() : lf;
            line = std::string_view(buf_).substr(pos_, end - pos_);
            if (lf != std::string::npos && line.ends_with('\r')) line.remove_suffix(1);
            pos_ = lf == std::string::npos ? buf_.size() : lf + 1;
            return true;
        }
        if (eof_) return false;
        buf_.erase(0, pos_);
        pos_ = 0;
        const std::size_t kept = buf_.size();
        buf_.resize(kept + kBlock);
        ssize_t n;
        do {
            n = ::read(fd_, buf_.data() + kept, kBlock);
        } while (n < 0 && errno == EINTR);
        if (n < 0) ThrowErrno(errno, "cannot read", path_);
        buf_.resize(kept + static_cast<std::size_t>(n));
        if (n == 0) eof_ = true;
    }
}

bool CreateFolderOneLevel(const fs::path& dir) {
    if (dir.empty()) return false;
    ::mkdir(dir.c_str(), 0777);  // mkdir never creates missing parents
    std::error_code ec;
    return fs::is_directory(dir, ec);
}

void WriteToFile(int fd, std::string_view bytes, const fs::path& path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw std::system_error(n < 0 ? errno : ENOSPC, std::generic_category(), path.string());
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

fs::path TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') return fs::path(tmp);
    return fs::path("/tmp");
}

}  // namespace kivo
