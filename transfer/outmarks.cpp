#include "transfer/outmarks.h"

#include <openssl/evp.h>

#include <map>
#include <memory>
#include <stdexcept>

#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {

using Lines = std::vector<std::string>;

// What identifies a message across a rewrite: the SHA-256 of its lines without the "Status:"
// lines of its header (compression rewrites them) and without trailing empty lines (the next
// queued message brings its own leading empty line). A digest rather than the lines, so that
// a large message is not held again as its key.
std::string Identity(const Lines& lines, TLineRange range) {
    std::size_t end = range.end;
    while (end > range.begin + 1 && TrimView(lines[end - 1]).empty()) --end;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
    bool header = true;
    for (std::size_t i = range.begin; i < end; ++i) {
        if (header && i > range.begin && TrimView(lines[i]).empty()) header = false;
        if (header && StartsWithNoCase(lines[i], "Status:")) continue;
        // Lines hold no line break, so one after each keeps them apart.
        EVP_DigestUpdate(context.get(), lines[i].data(), lines[i].size());
        EVP_DigestUpdate(context.get(), "\n", 1);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return std::string(reinterpret_cast<const char*>(digest), length);
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

std::string DoneDigest(const Lines& message) {
    return Identity(message, {0, message.size()});
}

int MarkDoneInOut(const std::filesystem::path& outFile, const std::vector<Lines>& done) {
    std::vector<std::string> digests;
    for (const Lines& message : done) digests.push_back(DoneDigest(message));
    return MarkDigestsDoneInOut(outFile, digests);
}

int MarkDigestsDoneInOut(const std::filesystem::path& outFile,
                         const std::vector<std::string>& digests) {
    if (digests.empty()) return 0;
    const std::filesystem::path file = ResolveNoCase(outFile);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return 0;

    std::map<std::string, int> wanted;
    for (const std::string& digest : digests) ++wanted[digest];

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
