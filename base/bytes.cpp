#include "base/bytes.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kivo {

namespace {
bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerChar(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The lower-case code point of a two-byte capital (U+0080..U+07FF), or the code point itself.
unsigned LowerCodePoint(unsigned cp) {
    if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) || (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) ||
        (cp >= 0x410 && cp <= 0x42F))
        return cp + 0x20;
    if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
    if (cp == 0x178) return 0xFF;
    const bool evenCapital = (cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177);
    if (evenCapital) return cp % 2 == 0 ? cp + 1 : cp;
    const bool oddCapital = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
    if (oddCapital) return cp % 2 == 1 ? cp + 1 : cp;
    return cp;
}
}  // namespace

std::string CutShort(std::string_view text) {
    return std::string(text.substr(0, kShortTextMax));
}

std::string_view TrimView(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsTrimmed(text[begin])) ++begin;
    while (end > begin && IsTrimmed(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::string TrimLeft(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && IsTrimmed(text[begin])) ++begin;
    return std::string(text.substr(begin));
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && IsTrimmed(text[end - 1])) --end;
    return std::string(text.substr(0, end));
}

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerChar(c);
    return result;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (needle.size() > text.size()) return std::string_view::npos;
    const char first = LowerChar(needle[0]);
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (LowerChar(text[i]) == first && EqualsNoCase(text.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool ParseInt(std::string_view text, int& value) {
    if (text.empty()) return false;
    std::size_t start = (text[0] == '+') ? 1 : 0;
    if (start == 1 && (text.size() == 1 || text[1] == '-')) return false;
    int parsed = 0;
    auto [ptr, ec] = std::from_chars(text.data() + start, text.data() + text.size(), parsed);
    if (ec != std::errc() || ptr != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

int ToIntDef(std::string_view text, int fallback) {
    int value = 0;
    return ParseInt(text, value) ? value : fallback;
}

std::vector<std::string> SplitWords(std::string_view line, std::string_view separators) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find_first_of(separators, at), line.size());
        if (end > at) words.emplace_back(line.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        std::size_t end = (lf > start && text[lf - 1] == '\r') ? lf - 1 : lf;
        lines.emplace_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    std::size_t total = 0;
    for (const auto& line : lines) total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string FoldCaseUtf8(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto lead = static_cast<unsigned char>(out[i]);
        if (lead < 0x80) {
            out[i] = LowerChar(out[i]);
            continue;
        }
        if (lead < 0xC2 || lead > 0xDF || i + 1 >= out.size()) continue;
        const auto trail = static_cast<unsigned char>(out[i + 1]);
        if ((trail & 0xC0) != 0x80) continue;
        const unsigned lower = LowerCodePoint(((lead & 0x1Fu) << 6) | (trail & 0x3Fu));
        out[i] = static_cast<char>(0xC0 | (lower >> 6));
        out[i + 1] = static_cast<char>(0x80 | (lower & 0x3F));
        ++i;
    }
    return out;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high = 0, low = 0;
        if (text[i] == '%' && i + 2 < text.size() && (high = HexDigitValue(text[i + 1])) >= 0 &&
            (low = HexDigitValue(text[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace kivo
