#include "mail/quotedprintable.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "base/platform.h"

namespace kivo {
namespace {

std::atomic<bool> wrapOnly{false};

// Segments are at most this long; a longer rest is cut before its last blank in reach.
constexpr std::size_t kSegment = 65;
constexpr char kHex[] = "0123456789ABCDEF";

enum EscapeMode { kNormal, kWrapOnly };

constexpr std::array<std::array<bool, 256>, 2> MakeEscapeTables() {
    std::array<std::array<bool, 256>, 2> t{};
    for (int c = 0; c < 256; ++c) {
        bool escape = c < 32 || c == '=' || c >= 128;
        t[kNormal][c] = escape;
        t[kWrapOnly][c] = escape && c != '\t' && c != '\r' && c != '\n' && c != '=';
    }
    return t;
}
constexpr auto kEscape = MakeEscapeTables();

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Where the next segment of rest (at least 65 characters) ends: before the last blank among
// offsets 1 to 65, or after 65 characters when there is none.
std::size_t CutPoint(std::string_view rest) {
    std::size_t limit = std::min(kSegment, rest.size() - 1);
    for (std::size_t i = limit; i >= 1; --i) {
        if (rest[i] == ' ') return i;
    }
    return kSegment;
}

}  // namespace

bool WrapOnlyMode() {
    return wrapOnly.load(std::memory_order_relaxed);
}
void SetWrapOnlyMode(bool on) {
    wrapOnly.store(on, std::memory_order_relaxed);
}

WrapOnlyScope::WrapOnlyScope() : previous_(WrapOnlyMode()) {
    SetWrapOnlyMode(true);
}
WrapOnlyScope::~WrapOnlyScope() {
    SetWrapOnlyMode(previous_);
}

void QuotedPrintableEncoder::AppendSegment(std::string_view segment, bool final,
                                           std::vector<std::string>& lines) {
    const auto& escape = kEscape[wrapOnly_ ? kWrapOnly : kNormal];
    // The last character of a wrapped segment stays as it is in wrap-only mode.
    std::size_t escaped = (final || !wrapOnly_) ? segment.size() : segment.size() - 1;
    std::string line;
    line.reserve(segment.size() * 3 + 1);
    for (std::size_t i = 0; i < escaped; ++i) {
        auto c = static_cast<unsigned char>(segment[i]);
        if (escape[c]) {
            line.push_back('=');
            line.push_back(kHex[c >> 4]);
            line.push_back(kHex[c & 15]);
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    line.append(segment.substr(escaped));
    if (!final && !wrapOnly_) line.push_back('=');
    lines.push_back(std::move(line));
}

void QuotedPrintableEncoder::EmitFullSegments(std::vector<std::string>& lines) {
    // With more than 65 characters buffered the next cut no longer depends on what follows.
    std::string_view rest(paragraph_);
    while (rest.size() > kSegment) {
        std::size_t cut = CutPoint(rest);
        AppendSegment(rest.substr(0, cut), false, lines);
        rest.remove_prefix(cut);
    }
    paragraph_.erase(0, paragraph_.size() - rest.size());
}

void QuotedPrintableEncoder::EndParagraph(std::vector<std::string>& lines) {
    std::string_view rest(paragraph_);
    while (rest.size() >= kSegment) {
        std::size_t cut = CutPoint(rest);
        AppendSegment(rest.substr(0, cut), false, lines);
        rest.remove_prefix(cut);
    }
    AppendSegment(rest, true, lines);
    paragraph_.clear();
    open_ = false;
}

void QuotedPrintableEncoder::Encode(std::string_view chunk, std::vector<std::string>& lines) {
    std::size_t i = 0;
    if (afterCr_ && !chunk.empty()) {
        afterCr_ = false;
        if (chunk[0] == '\n') i = 1;
    }
    while (i < chunk.size()) {
        const char* start = chunk.data() + i;
        const char* stop = start;
        const char* end = chunk.data() + chunk.size();
        while (stop < end && *stop != '\r' && *stop != '\n') ++stop;
        if (stop > start) {
            paragraph_.append(start, stop);
            open_ = true;
            EmitFullSegments(lines);
        }
        i = stop - chunk.data();
        if (i == chunk.size()) break;
        // CR LF, a lone CR and a lone LF each end one paragraph.
        EndParagraph(lines);
        if (chunk[i] == '\r') {
            if (i + 1 == chunk.size()) {
                afterCr_ = true;
            } else if (chunk[i + 1] == '\n') {
                ++i;
            }
        }
        ++i;
    }
}

void QuotedPrintableEncoder::Finish(std::vector<std::string>& lines) {
    if (open_) EndParagraph(lines);
    afterCr_ = false;
}

void UnescapeQuotedPrintable(std::string_view text, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const void* found = std::memchr(text.data() + i, '=', text.size() - i);
        std::size_t eq = found ? static_cast<const char*>(found) - text.data() : text.size();
        out.append(text.data() + i, eq - i);
        if (eq == text.size()) break;
        int hi = eq + 2 < text.size() ? HexValue(text[eq + 1]) : -1;
        int lo = hi >= 0 ? HexValue(text[eq + 2]) : -1;
        if (lo >= 0) {
            out.push_back(static_cast<char>(hi * 16 + lo));
            i = eq + 3;
        } else {
            out.push_back('=');
            i = eq + 1;
        }
    }
}

void DecodeQuotedPrintableLine(std::string_view line, std::string& out) {
    // A soft break is an "=" at the very end, before any blanks a transport may have added.
    std::size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '\r')) {
        --end;
    }
    const bool soft = end > 0 && line[end - 1] == '=';
    std::string_view text = soft ? line.substr(0, end - 1) : line;

    const std::size_t start = out.size();
    out.reserve(start + text.size() + 2);
    UnescapeQuotedPrintable(text, out);
    if (soft) return;
    // A line ending in the end-of-file mark ends the text without a line break.
    if (out.size() > start && out.back() == '\x1a') return;
    out.append("\r\n");
}

std::vector<std::string> EncodeQuotedPrintable(std::string_view bytes, bool wrapOnlyMode) {
    std::vector<std::string> lines;
    QuotedPrintableEncoder encoder(wrapOnlyMode);
    encoder.Encode(bytes, lines);
    encoder.Finish(lines);
    return lines;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        DecodeQuotedPrintableLine(line, out);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    return out;
}

void TQuotedPrintable::Encode() {
    constexpr std::size_t kChunk = 64 * 1024;
    QuotedPrintableEncoder encoder(WrapOnlyMode());
    std::string_view data(stream_);
    for (std::size_t at = 0; at < data.size(); at += kChunk) {
        encoder.Encode(data.substr(at, kChunk), lines_);
        if (pump_) pump_->Tick();
    }
    encoder.Finish(lines_);
}

void TQuotedPrintable::Decode() {
    for (const std::string& line : lines_) {
        DecodeQuotedPrintableLine(line, stream_);
        if (pump_) pump_->Tick();
    }
}

}  // namespace kivo
