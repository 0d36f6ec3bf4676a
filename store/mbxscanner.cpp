#include "store/mbxscanner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/bytes.h"

namespace kivo {

namespace {

constexpr char kSeparator[] = "From ";
constexpr std::size_t kSeparatorLen = 5;
// The search pattern: a line end followed by a separator.
constexpr char kLineSeparator[] = "\nFrom ";
constexpr std::size_t kLineSeparatorLen = 6;
// A block must hold a carried-over partial pattern plus room to read.
constexpr std::size_t kMinBlock = 64;

// The first "\nFrom " in [begin, end), or null. Looking for a line feed followed by "F"
// sixteen bytes at a time is about twice as fast as memmem; every hit is then checked whole.
const char* FindLineSeparator(const char* begin, const char* end) {
    const char* p = begin;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i f = _mm_set1_epi8('F');
    for (; end - p >= 17; p += 16) {
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, lf), _mm_cmpeq_epi8(next, f))));
        for (; hits != 0; hits &= hits - 1) {
            const char* hit = p + __builtin_ctz(hits);
            if (end - hit >= static_cast<std::ptrdiff_t>(kLineSeparatorLen) &&
                std::memcmp(hit, kLineSeparator, kLineSeparatorLen) == 0)
                return hit;
        }
    }
#endif
    return static_cast<const char*>(
        ::memmem(p, static_cast<std::size_t>(end - p), kLineSeparator, kLineSeparatorLen));
}

[[noreturn]] void ThrowErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

MbxScanner::MbxScanner(const std::filesystem::path& path, std::size_t block)
    : MbxScanner(path, Range{}, block) {}

MbxScanner::MbxScanner(const std::filesystem::path& path, Range range, std::size_t block)
    : buf_(std::max(block, kMinBlock)),
      bufStart_(range.start),
      start_(range.start),
      end_(std::max(range.end, range.start)),
      readPos_(range.start) {
    current_.number = range.numberBefore;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        openError_ = std::error_code(errno, std::generic_category());
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        openError_ = std::error_code(S_ISDIR(st.st_mode) ? EISDIR : errno, std::generic_category());
        ::close(fd);
        return;
    }
    fd_ = fd;
}

MbxScanner::~MbxScanner() {
    if (fd_ >= 0) ::close(fd_);
}

// Drops the bytes before file offset `keepFrom` and reads the next block behind the rest.
// False at the end of the file.
bool MbxScanner::Fill(std::uint64_t keepFrom) {
    std::size_t drop = static_cast<std::size_t>(
        std::min<std::uint64_t>(keepFrom > bufStart_ ? keepFrom - bufStart_ : 0, bufLen_));
    if (drop > 0) {
        std::memmove(buf_.data(), buf_.data() + drop, bufLen_ - drop);
        bufLen_ -= drop;
        bufStart_ += drop;
    }
    for (;;) {
        const std::size_t room = static_cast<std::size_t>(
            std::min<std::uint64_t>(buf_.size() - bufLen_, end_ - readPos_));
        ssize_t n =
            room == 0 ? 0 : ::pread(fd_, buf_.data() + bufLen_, room, static_cast<off_t>(readPos_));
        if (n > 0) {
            bufLen_ += static_cast<std::size_t>(n);
            readPos_ += static_cast<std::uint64_t>(n);
            return true;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) ThrowErrno("reading mailbox");
    }
}

// Finds the first separator at file offset `from` or later. Bytes from `keep` on stay in the
// block while they take at most half of it, so the message being walked can be handed out
// without reading it again.
bool MbxScanner::FindSeparator(std::uint64_t from, std::uint64_t keep, std::uint64_t& found) {
    if (fd_ < 0) return false;
    if (from == start_) {
        while (bufLen_ < kSeparatorLen && !eof_) Fill(start_);
        if (bufLen_ >= kSeparatorLen && std::memcmp(buf_.data(), kSeparator, kSeparatorLen) == 0) {
            found = start_;
            return true;
        }
    }
    // A separator at `from` is found through the line end just before it.
    std::uint64_t search = from == start_ ? from : from - 1;
    for (;;) {
        if (search >= bufStart_ && search < BufEnd()) {
            const char* hit =
                FindLineSeparator(buf_.data() + (search - bufStart_), buf_.data() + bufLen_);
            if (hit) {
                found = bufStart_ + static_cast<std::uint64_t>(hit - buf_.data()) + 1;
                return true;
            }
        }
        if (eof_) return false;
        // The last few bytes may start a pattern that the next block completes.
        if (BufEnd() >= kLineSeparatorLen - 1)
            search = std::max(search, BufEnd() - (kLineSeparatorLen - 1));
        std::uint64_t keepFrom = search;
        if (keep < keepFrom && BufEnd() - keep <= buf_.size() / 2) keepFrom = keep;
        Fill(keepFrom);
    }
}

bool MbxScanner::Next() {
    return Advance(true);
}

// Moves to the next message; `keep` asks to hold its bytes in the block for Text().
bool MbxScanner::Advance(bool keep) {
    if (!started_) {
        started_ = true;
        havePending_ = FindSeparator(start_, UINT64_MAX, pending_);
    }
    if (!havePending_) return false;
    current_.number += 1;
    current_.offset = pending_;
    havePending_ =
        FindSeparator(current_.offset + 1, keep ? current_.offset : UINT64_MAX, pending_);
    current_.length = (havePending_ ? pending_ : BufEnd()) - current_.offset;
    return true;
}

bool MbxScanner::SkipTo(std::int64_t number) {
    // The messages on the way are only counted, never held.
    while (current_.number < number - 1) {
        if (!Advance(false)) return false;
    }
    if (current_.number < number && !Advance(true)) return false;
    return number > 0 && current_.number == number;
}

std::int64_t MbxScanner::CountRest() {
    if (!started_) {
        started_ = true;
        havePending_ = FindSeparator(start_, UINT64_MAX, pending_);
    }
    std::int64_t count = 0;
    while (havePending_) {
        ++count;
        havePending_ = FindSeparator(pending_ + 1, UINT64_MAX, pending_);
    }
    return count;
}

std::string_view MbxScanner::Text(std::uint64_t maxBytes) {
    std::uint64_t want = std::min(current_.length, maxBytes);
    if (current_.number == 0 || want == 0) return {};
    if (current_.offset >= bufStart_ && current_.offset + want <= BufEnd())
        return std::string_view(buf_.data() + (current_.offset - bufStart_),
                                static_cast<std::size_t>(want));
    copy_.resize(static_cast<std::size_t>(want));
    std::size_t got = 0;
    while (got < copy_.size()) {
        ssize_t n = ::pread(fd_, copy_.data() + got, copy_.size() - got,
                            static_cast<off_t>(current_.offset + got));
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;  // the file was cut short meanwhile
        } else if (errno != EINTR) {
            ThrowErrno("reading mailbox");
        }
    }
    copy_.resize(got);
    return copy_;
}

std::vector<std::string> MbxScanner::Lines() {
    return SplitLines(Text());
}

bool MbxLines::Next(std::string_view& line) {
    if (rest_.empty()) return false;
    const void* lf = std::memchr(rest_.data(), '\n', rest_.size());
    std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - rest_.data()) : rest_.size();
    line = rest_.substr(0, end);
    if (lf && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    rest_.remove_prefix(lf ? end + 1 : end);
    return true;
}

}  // namespace kivo
