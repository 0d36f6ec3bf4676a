#include "transfer/outmarks.h"

#include <map>

#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {

using Lines = std::vector<std::string>;

// What identifies a message across a rewrite: its lines without the "Status:" lines of its
// header (compression rewrites them) and without trailing empty lines (the next queued
// message brings its own leading empty line).
Lines Identity(const Lines& lines, TLineRange range) {
    std::size_t end = range.end;
    while (end > range.begin + 1 && TrimView(lines[end - 1]).empty()) --end;
    Lines key;
    bool header = true;
    for (std::size_t i = range.begin; i < end; ++i) {
        if (header && i > range.begin && TrimView(lines[i]).empty()) header = false;
        if (header && StartsWithNoCase(lines[i], "Status:")) continue;
        key.push_back(lines[i]);
    }
    return key;
}

// Whether the message's "Status:" line already carries the deleted mark.
bool MarkedDone(const Lines& lines, TLineRange range) {
    for (std::size_t i = range.begin + 1; i < range.end && !TrimView(lines[i]).empty(); ++i) {
        if (StartsWithNoCase(lines[i], "Status:") &&
            lines[i].find_first_of("dD", 7) != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

std::vector<TLineRange> MessageRanges(const Lines& lines) {
    std::vector<TLineRange> ranges;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsSeparator(lines[i])) continue;
        if (!ranges.empty()) ranges.back().end = i;
        ranges.push_back({i, lines.size()});
    }
    return ranges;
}

int MarkDoneInOut(const std::filesystem::path& outFile, const std::vector<Lines>& done) {
    if (done.empty()) return 0;
    const std::filesystem::path file = ResolveNoCase(outFile);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return 0;

    std::map<Lines, int> wanted;
    for (const Lines& message : done) {
        const TLineRange whole{0, message.size()};
        ++wanted[Identity(message, whole)];
    }

    FileLock lock(file);
    Lines lines = SplitLines(ReadFileBytes(file));
    const std::vector<TLineRange> ranges = MessageRanges(lines);
    std::vector<int> numbers;
    for (std::size_t n = 0; n < ranges.size(); ++n) {
        if (MarkedDone(lines, ranges[n])) continue;  // an earlier mark of this run
        auto it = wanted.find(Identity(lines, ranges[n]));
        if (it == wanted.end() || it->second == 0) continue;
        --it->second;
        numbers.push_back(static_cast<int>(n + 1));
    }
    if (numbers.empty()) return 0;
    for (int number : numbers) ChangeHeader(number, "Status:", true, "D", lines);
    WriteFileAtomicLocked(file, JoinLinesCrLf(lines));
    return static_cast<int>(numbers.size());
}

}  // namespace kivo
