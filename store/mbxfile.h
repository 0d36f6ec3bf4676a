#pragma once
// Line-level operations on mailbox files and on the lines of messages: finding a message by
// its number, counting messages, appending, and reading or changing header lines. A mailbox
// file holds messages one after another, each starting at a line whose first five bytes are
// "From " (see MbxScanner); every other line that would start so is stored with ">" in front.
// Header lines run from the separator to the header end line, the first line that is empty
// after trimming. Message numbers count separator lines from 1.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class MbxScanner;

// The text the user sees when an append to a mailbox fails.
inline constexpr std::string_view kAppendFailedText =
    "Could not add the message to the mailbox,\rmost likely due to lack of free space!";
inline constexpr std::string_view kIndexInvalidText = "Index invalid, please Compress Mailbox";

// A message number that the mailbox file does not reach: the index is out of date. The
// caller compresses the mailbox (which rebuilds the index) and reopens it.
class EIndexInvalid : public std::runtime_error {
  public:
    EIndexInvalid() : std::runtime_error(std::string(kIndexInvalidText)) {}
};

// An append to a mailbox failed; the file was cut back to its old length, so nothing of the
// message is left behind. what() is kAppendFailedText, the text of the error box that the
// command which started the append shows; cause() says what the system reported.
class EAppendError : public std::runtime_error {
  public:
    explicit EAppendError(std::string cause)
        : std::runtime_error(std::string(kAppendFailedText)), cause_(std::move(cause)) {}
    const std::string& cause() const { return cause_; }

  private:
    std::string cause_;
};

// True for a separator line: its first five bytes are exactly "From ".
bool IsSeparator(std::string_view line);

// Appends the lines of message `number` to `lines`, its separator first; the last line of
// the file is included even without a line end. Throws EIndexInvalid when the file (or a
// missing file) ends before the message begins, or when `number` is below 1.
void ExtractMsg(int number, const std::filesystem::path& path, std::vector<std::string>& lines);

// Extracts several messages of one mailbox as ExtractMsg does, in one pass over the file
// when the numbers ascend (a smaller number starts again from the top), so running over the
// selected messages of a large mailbox reads it once instead of once per message.
class TMessageReader {
  public:
    explicit TMessageReader(std::filesystem::path path);
    ~TMessageReader();
    TMessageReader(const TMessageReader&) = delete;
    TMessageReader& operator=(const TMessageReader&) = delete;

    void Extract(int number, std::vector<std::string>& lines);

  private:
    std::filesystem::path path_;
    std::unique_ptr<MbxScanner> scanner_;
};

// Number of messages (separator lines) of a mailbox file; 0 when it is missing or cannot be
// opened.
int FindLastIndex(const std::filesystem::path& path);

// True when the open file is not empty and its last byte is not a line feed: an appended
// message must then start with a line end, or its separator would not start a line.
bool EndsWithoutLineEnd(int fd);

// Appends the lines, each ended by CR LF, to the file (created when missing), under an
// exclusive lock and flushed to disk. When the file's last line has no line end, one is
// written first so the new message's separator starts a line of its own. On failure the
// file is cut back to its old length and EAppendError is thrown.
void AppendToFile(const std::vector<std::string>& lines, const std::filesystem::path& path);
// The same, telling `beforeWrite` under the lock, before the first byte goes out, where the
// lines' bytes will start in the file and what they are: a caller can note the append where
// it can find it again after a crash. What `beforeWrite` throws stops the append.
void AppendToFile(
    const std::vector<std::string>& lines, const std::filesystem::path& path,
    const std::function<void(std::uint64_t start, std::string_view bytes)>& beforeWrite);

// Removes empty (after trimming) lines from the start, but never the last remaining line.
void StripMsgTop(std::vector<std::string>& lines);
// Removes lines from the end while they are empty (after trimming) or a single ".".
void StripMsgBottom(std::vector<std::string>& lines);
// Clears `headers`, then moves the lines before the first line that is empty after trimming
// from `lines` into `headers`; that line stays first in `lines`.
void ExtractHeaders(std::vector<std::string>& headers, std::vector<std::string>& lines);

// The value of the last line starting with `name` (which includes its colon), compared
// without regard to case: the rest of the line after the name and one more character,
// trimmed. Empty when no line matches.
std::string HeaderValue(std::string_view name, const std::vector<std::string>& lines);
// The same for one line, comparing the name with regard to case.
std::string SingleHeaderValue(std::string_view name, std::string_view line);

// In one message whose header lines start after any leading empty lines: replaces every
// header line starting with `name` (with regard to case) by name + " " + value, or, when
// none does, inserts that line at the header end.
void ChangeSingleHeader(std::string_view name, std::string_view value,
                        std::vector<std::string>& lines);

// In the lines of a whole mailbox file: finds message `number` and the header lines
// starting with `name` (without regard to case). Returns the old value (the text after the
// name, trimmed). An empty `value` changes nothing. In status mode the value is appended to
// the line's letters, after removing every "R" from them for "U" and every "U" for "R";
// otherwise the line becomes name + " " + value. With no matching line a non-empty value is
// inserted as a new header line.
std::string ChangeHeader(int number, std::string_view name, bool statusMode, std::string_view value,
                         std::vector<std::string>& lines);

// Tidies a header value for the index: a leading double quote is removed together with the
// next double quote before the last character; then a trailing comma or semicolon that is
// the first one of its kind in the text is removed.
std::string TrimSpecial(std::string_view text);

}  // namespace kivo
