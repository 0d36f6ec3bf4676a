#pragma once
// One pass over a mailbox file that finds its messages. A message begins at a separator line
// (a line whose first five bytes are "From ") and runs up to the next separator or the end of
// the file; bytes before the first separator belong to no message. Every reader of mailbox
// files (extraction, counting, index rebuild, compression, Find) walks the file through this
// class, so separator detection lives in exactly one place.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kivo {

// Where one message lies in its mailbox file. `number` counts separator lines from 1;
// `length` covers the separator line up to (not including) the next separator.
struct MbxSpan {
    std::int64_t number = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// Walks a mailbox file once, front to back, reading large blocks and searching them for a line
// feed followed by "From " sixteen bytes at a time, so a multi-gigabyte file is scanned at the
// speed of grep. It never allocates per line. The file is opened for reading only and never locked:
// other readers and appenders may work meanwhile (bytes appended during the scan may or may not be
// seen). A message smaller than half the block stays in the block, so Text() of such a message is a
// view with no copy; larger ones are read again on demand.
class MbxScanner {
  public:
    static constexpr std::size_t kDefaultBlock = std::size_t{1} << 20;

    // Part of a file: the bytes [start, end), where `start` is the beginning of a message
    // (or of the file) and the messages before it are `numberBefore`.
    struct Range {
        std::uint64_t start = 0;
        std::uint64_t end = UINT64_MAX;
        std::int64_t numberBefore = 0;
    };

    // A missing file, a folder or one that cannot be opened scans as an empty mailbox;
    // OpenError() tells why. `block` is the read size (small values are for tests).
    explicit MbxScanner(const std::filesystem::path& path, std::size_t block = kDefaultBlock);
    MbxScanner(const std::filesystem::path& path, Range range, std::size_t block = kDefaultBlock);
    ~MbxScanner();
    MbxScanner(const MbxScanner&) = delete;
    MbxScanner& operator=(const MbxScanner&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    std::error_code OpenError() const { return openError_; }

    // Moves to the next message and fills Current(); false when there is none. Throws
    // std::system_error when reading fails half-way.
    bool Next();
    const MbxSpan& Current() const { return current_; }

    // Moves forward to message `number` (counting from 1); false when the file ends first.
    bool SkipTo(std::int64_t number);

    // The first `maxBytes` bytes (all by default) of the current message, with its line ends
    // as stored. Valid until the next call on the scanner.
    std::string_view Text(std::uint64_t maxBytes = UINT64_MAX);
    // The current message as lines, its separator first (line ends removed, see MbxLines).
    std::vector<std::string> Lines();

    // Number of messages in the file (counts the rest of the file from the current place).
    std::int64_t CountRest();

  private:
    bool Advance(bool keep);
    bool Fill(std::uint64_t keepFrom);
    bool FindSeparator(std::uint64_t from, std::uint64_t keep, std::uint64_t& found);
    std::uint64_t BufEnd() const { return bufStart_ + bufLen_; }

    int fd_ = -1;
    std::error_code openError_;
    std::vector<char> buf_;
    std::size_t bufLen_ = 0;      // valid bytes in buf_
    std::uint64_t bufStart_ = 0;  // file offset of buf_[0]
    bool eof_ = false;
    std::uint64_t start_ = 0;         // where the scan begins
    std::uint64_t end_ = UINT64_MAX;  // where it stops
    std::uint64_t readPos_ = 0;       // file offset of the next read
    bool started_ = false;
    bool havePending_ = false;  // pending_ holds the offset of the next message
    std::uint64_t pending_ = 0;
    MbxSpan current_;
    std::string copy_;  // Text() of a message no longer in the block
};

// Steps through the lines of a text without copying them: each line without its LF and one
// CR before it; a last line without a line end is a line too.
class MbxLines {
  public:
    explicit MbxLines(std::string_view text) : rest_(text) {}
    bool Next(std::string_view& line);

  private:
    std::string_view rest_;
};

}  // namespace kivo
