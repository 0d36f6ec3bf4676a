#pragma once
// File helpers shared by every layer. Names are matched without regard to case, as users of
// the program expect ("In.mbx" and "in.mbx" are one mailbox). Whole-file rewrites go through
// a temporary file that is flushed and renamed, and appends lock the file and are cut back on
// failure, so neither a crash nor a full disk loses data.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

namespace fs = std::filesystem;

// The existing entry of `dir` whose name equals `name` without regard to case (an exact match
// wins); dir / name when there is none.
fs::path FindFileNoCase(const fs::path& dir, std::string_view name);
// Same for a full path: only its last component is matched.
fs::path ResolveNoCase(const fs::path& path);

// Whole file as bytes; throws std::system_error when it cannot be read.
std::string ReadFileBytes(const fs::path& path);
// Whole file, or empty text when it is missing or cannot be read.
std::string ReadFileOrEmpty(const fs::path& path);

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`; throws std::system_error. The old file is untouched on failure.
void WriteFileAtomic(const fs::path& path, std::string_view data);

// Appends `data` under an exclusive lock, flushed to disk before returning. On failure the
// file is cut back to its old length and std::system_error is thrown. Waits while another
// process holds the lock; never call it on a file this process holds a FileLock on.
void AppendLocked(const fs::path& path, std::string_view data);

// Exclusive advisory lock on a file (flock) held for the object's life. Used around appends
// and compression so two Kivo processes never interleave writes to one mailbox. A file
// replaced with WriteFileAtomic while its lock is held stays safe: waiting appenders and
// lockers find the replacement and lock that instead of the old, unlinked file.
class FileLock {
public:
    explicit FileLock(const fs::path& path);  // creates the file when missing; throws
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// Creates a folder only when its parent exists (never creates missing parents); false when
// the folder does not exist afterwards.
bool CreateFolderOneLevel(const fs::path& dir);

// The system temporary folder: $TMPDIR or /tmp.
fs::path TempFolder();

}  // namespace kivo
