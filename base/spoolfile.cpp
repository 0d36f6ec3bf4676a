#include "base/spoolfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace kivo {

namespace {

[[noreturn]] void Fail(int error, const std::filesystem::path& folder) {
    throw std::system_error(error, std::generic_category(),
                            "Cannot keep received data in " + folder.string());
}

}  // namespace

TSpoolFile::TSpoolFile(const std::filesystem::path& folder) : folder_(folder) {
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a named one, unlinked at once.
        std::string name = (folder / "kivo-spool-XXXXXX").string();
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0) ::unlink(name.c_str());
    }
    if (fd_ < 0) Fail(errno, folder_);
}

TSpoolFile::~TSpoolFile() {
    if (fd_ >= 0) ::close(fd_);
}

TSpoolFile::TSpoolFile(TSpoolFile&& other) noexcept
    : fd_(other.fd_), size_(other.size_), folder_(std::move(other.folder_)) {
    other.fd_ = -1;
    other.size_ = 0;
}

TSpoolFile& TSpoolFile::operator=(TSpoolFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        folder_ = std::move(other.folder_);
        other.fd_ = -1;
        other.size_ = 0;
    }
    return *this;
}

void TSpoolFile::Append(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(size_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(n < 0 ? errno : ENOSPC, folder_);
        bytes.remove_prefix(static_cast<std::size_t>(n));
        size_ += static_cast<std::uint64_t>(n);
    }
}

std::string TSpoolFile::ReadAll() const {
    std::string bytes(static_cast<std::size_t>(size_), '\0');
    if (ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) Fail(EIO, folder_);
    return bytes;
}

std::size_t TSpoolFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    if (offset >= size_) return 0;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(n < 0 ? errno : EIO, folder_);
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace kivo
