#include "store/filewriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace kivo {

namespace {

constexpr std::size_t kBuffer = std::size_t{1} << 20;

[[noreturn]] void ThrowErrno(int err, const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

}  // namespace

TFileWriter::TFileWriter(const std::filesystem::path& path, mode_t mode) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd_ < 0) ThrowErrno(errno, "cannot create", path);
    buf_.reserve(kBuffer);
}

TFileWriter::~TFileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

void TFileWriter::Write(std::string_view data) {
    CopyPending();
    if (buf_.size() + data.size() > kBuffer) {
        Flush();
        if (data.size() >= kBuffer) {
            WriteAll(data);
            return;
        }
    }
    buf_.append(data);
}

void TFileWriter::CopyRange(int fd, std::uint64_t offset, std::uint64_t length) {
    if (length == 0) return;
    if (fd == pendingFd_ && offset == pendingOffset_ + pendingLength_) {
        pendingLength_ += length;
        return;
    }
    CopyPending();
    pendingFd_ = fd;
    pendingOffset_ = offset;
    pendingLength_ = length;
}

void TFileWriter::CopyPending() {
    if (pendingFd_ < 0) return;
    const int fd = pendingFd_;
    std::uint64_t length = pendingLength_;
    pendingFd_ = -1;
    pendingLength_ = 0;
    Flush();
    auto in = static_cast<off64_t>(pendingOffset_);
    while (length > 0 && kernelCopy_) {
        ssize_t n = ::copy_file_range(fd, &in, fd_, nullptr, length, 0);
        if (n > 0) {
            length -= static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            ThrowErrno(errno, "cannot write", path_);
        }
        if (n == 0) throw std::system_error(EIO, std::generic_category(), "source ended early");
        kernelCopy_ = false;  // not between these files: copy through memory
    }
    if (length == 0) return;
    std::vector<char> chunk(kBuffer);
    while (length > 0) {
        const std::size_t want = length < kBuffer ? static_cast<std::size_t>(length) : kBuffer;
        ssize_t n = ::pread(fd, chunk.data(), want, in);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ThrowErrno(errno, "cannot read the source of", path_);
        if (n == 0) throw std::system_error(EIO, std::generic_category(), "source ended early");
        WriteAll(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
        in += n;
        length -= static_cast<std::uint64_t>(n);
    }
}

void TFileWriter::Finish() {
    CopyPending();
    Flush();
    if (::fsync(fd_) != 0) ThrowErrno(errno, "cannot flush", path_);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowErrno(errno, "cannot close", path_);
}

void TFileWriter::Flush() {
    WriteAll(buf_);
    buf_.clear();
}

void TFileWriter::WriteAll(std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno, "cannot write", path_);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace kivo
