#pragma once
// File helpers shared by every layer. Names are matched without regard to case, as users of
// the program expect ("In.mbx" and "in.mbx" are one mailbox). Whole-file rewrites go through
// a temporary file that is flushed and renamed, and appends lock the file and are cut back on
// failure, so neither a crash nor a full disk loses data.

#include <cstdint>
#include <filesystem>
#include <optional>
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
// Whole file, or empty text when it does not exist; throws std::system_error when it exists
// but cannot be read.
std::string ReadFileOrEmpty(const fs::path& path);

// Up to `count` bytes of the open file `fd` from offset `at`: fewer only where the file ends
// sooner. Throws std::system_error naming `path`.
std::string ReadFileAt(int fd, std::uint64_t at, std::size_t count, const fs::path& path);

// Who may read a file the program writes: everyone the folder lets (Shared), or only its
// owner (Private: files that hold passwords or what is left on mail servers).
enum class FileAccess { Shared, Private };

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`; throws std::system_error. The old file is untouched on failure. The new file keeps
// the old one's permissions; a Private file is made 0600 and loses any group or other bits.
void WriteFileAtomic(const fs::path& path, std::string_view data,
                     FileAccess access = FileAccess::Shared);
// The same through the fixed temporary file `path` + ".tmp", for files written only under a
// lock: a temporary file left by a killed process then has a name the next locker knows
// (see StaleTempPath) and removes.
void WriteFileAtomicLocked(const fs::path& path, std::string_view data);
fs::path StaleTempPath(const fs::path& path);

// Appends `data` under an exclusive lock, flushed to disk before returning, all or nothing
// (see TAppendTransaction). Waits while another process holds the lock; never call it on a
// file this process holds a FileLock on.
void AppendLocked(const fs::path& path, std::string_view data);

// Exclusive advisory lock on a file (flock) held for the object's life. Used around appends
// and compression so two Kivo processes never interleave writes to one mailbox. A file
// replaced with WriteFileAtomic while its lock is held stays safe: waiting appenders and
// lockers find the replacement and lock that instead of the old, unlinked file. Taking the
// lock cuts back an append that a killed process left unfinished (see TAppendTransaction).
class FileLock {
  public:
    explicit FileLock(const fs::path& path);  // creates the file when missing; throws
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    int fd() const { return fd_; }
    const fs::path& path() const { return path_; }
    // Bytes of an unfinished append cut from the end when the lock was taken.
    std::uint64_t CutBack() const { return cutBack_; }

  private:
    int fd_ = -1;
    fs::path path_;
    std::uint64_t cutBack_ = 0;
};

// The locks of two files, taken in one fixed order (by path) so two processes that lock the
// same pair never wait for each other. The same file twice is locked once.
class TwoFileLocks {
  public:
    TwoFileLocks(const fs::path& a, const fs::path& b);
    TwoFileLocks(const TwoFileLocks&) = delete;
    TwoFileLocks& operator=(const TwoFileLocks&) = delete;
    const FileLock& A() const { return *a_; }
    const FileLock& B() const { return *b_; }

  private:
    std::optional<FileLock> first_;
    std::optional<FileLock> second_;
    const FileLock* a_ = nullptr;
    const FileLock* b_ = nullptr;
};

// An append of one or more pieces to a file whose lock the caller holds, all or nothing.
// Before the first byte goes out, a record of the old length is flushed beside the file
// (AppendRecordPath); Commit flushes the file to disk and removes the record. A process
// killed in between leaves the record, and the next FileLock of the file cuts the unfinished
// tail back, unless the record names a marker file (KeepIf) that exists by then: the append
// belongs to a larger change that was completed. Destroyed without Commit, the transaction
// cuts the file back itself.
class TAppendTransaction {
  public:
    explicit TAppendTransaction(const FileLock& lock);
    ~TAppendTransaction();
    TAppendTransaction(const TAppendTransaction&) = delete;
    TAppendTransaction& operator=(const TAppendTransaction&) = delete;

    // Throws std::system_error; the file is then cut back already.
    void Write(std::string_view data);
    // Before the first Write: after a crash the append is kept when the file `marker`
    // exists and its first line is `token`, else cut back.
    void KeepIf(const fs::path& marker, std::string token);
    // Flushes the appended bytes to disk and keeps the record; throws std::system_error (the
    // file is then cut back).
    void Flush();
    // Flushes the appended bytes to disk and removes the record; throws std::system_error
    // (the file is then cut back). False when the record could not be removed: a crash may
    // still cut the append back unless its marker stays.
    bool Commit();
    // Cuts the file back to its old length, also after Commit while the lock is still held
    // (a later step of the same change failed). False when the cut failed: the record then
    // stays, and the next lock of the file cuts the tail back.
    bool TakeBack() noexcept;
    std::uint64_t OldLength() const { return oldLength_; }
    std::uint64_t Written() const { return written_; }

  private:
    void Begin();
    bool WriteRecord() const;  // false with errno set

    const FileLock& lock_;
    std::uint64_t oldLength_ = 0;
    std::uint64_t inode_ = 0;
    std::uint64_t written_ = 0;
    bool begun_ = false;
    bool open_ = false;     // begun and neither committed nor taken back
    bool flushed_ = false;  // nothing written since the last flush
    std::string keepIf_;    // the record's line naming the marker, or empty
};

// The record of an unfinished append of `path`: "<file>.append".
fs::path AppendRecordPath(const fs::path& path);

// Reads a file front to back in large blocks and hands out its lines (without CR LF or LF),
// so a file of any size is read with a fixed amount of memory.
class TFileLineReader {
  public:
    // Throws std::system_error when the file cannot be opened.
    explicit TFileLineReader(const fs::path& path);
    ~TFileLineReader();
    TFileLineReader(const TFileLineReader&) = delete;
    TFileLineReader& operator=(const TFileLineReader&) = delete;
    // The next line, valid until the next call; false at the end of the file.
    bool Next(std::string_view& line);

  private:
    int fd_ = -1;
    fs::path path_;
    std::string buf_;
    std::size_t pos_ = 0;  // start of the next line in buf_
    bool eof_ = false;
};

// Creates a folder only when its parent exists (never creates missing parents); false when
// the folder does not exist afterwards.
bool CreateFolderOneLevel(const fs::path& dir);

// The system temporary folder: $TMPDIR or /tmp.
fs::path TempFolder();

// Writes all of `bytes` to the open file `fd` (`path` names it in the error). Throws
// std::system_error.
void WriteToFile(int fd, std::string_view bytes, const fs::path& path);

}  // namespace kivo
