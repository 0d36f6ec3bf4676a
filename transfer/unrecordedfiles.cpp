#include "transfer/unrecordedfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

void TUnrecordedFiles::Add(const std::filesystem::path& file) {
    const int fd = ::open(list_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), list_.string());
    // One write of the whole line: a kill never leaves half a name.
    const std::string line = std::filesystem::absolute(file).string() + "\n";
    const ssize_t n = ::write(fd, line.data(), line.size());
    const int err = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(line.size()))
        throw std::system_error(n < 0 ? err : ENOSPC, std::generic_category(), list_.string());
    files_.push_back(file);
}

void TUnrecordedFiles::RemoveSince(std::size_t count) {
    std::error_code ec;
    while (files_.size() > count) {
        std::filesystem::remove(files_.back(), ec);
        files_.pop_back();
    }
}

namespace {

void FlushPath(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
    const int rc = (flags & O_DIRECTORY) != 0 ? ::fsync(fd) : ::fdatasync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) throw std::system_error(err, std::generic_category(), path.string());
}

}  // namespace

void TUnrecordedFiles::Flush() const {
    std::set<std::filesystem::path> folders;
    for (const std::filesystem::path& file : files_) {
        FlushPath(file, O_RDONLY);
        folders.insert(std::filesystem::absolute(file).parent_path());
    }
    for (const std::filesystem::path& folder : folders) FlushPath(folder, O_RDONLY | O_DIRECTORY);
}

void TUnrecordedFiles::Recorded() {
    files_.clear();
    std::error_code ec;
    std::filesystem::remove(list_, ec);
}

std::size_t TUnrecordedFiles::RemoveListed() {
    std::error_code ec;
    if (!std::filesystem::exists(list_, ec)) return 0;
    std::size_t removed = 0;
    const std::string text = ReadFileOrEmpty(list_);
    // Only whole lines: one cut short by a full disk could name another file.
    const std::string_view whole(text.data(), text.rfind('\n') + 1);
    for (const std::string& line : SplitLines(whole)) {
        if (line.empty() || line.front() != '/') continue;
        if (std::filesystem::remove(line, ec)) ++removed;
    }
    Recorded();
    return removed;
}

}  // namespace kivo
