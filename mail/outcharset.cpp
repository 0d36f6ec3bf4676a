#include "mail/outcharset.h"

namespace kivo {

namespace {

constexpr std::size_t kWordMax = 75;
constexpr char kHex[] = "0123456789ABCDEF";

// The length of the UTF-8 sequence starting at `at`, or 0 when none is well-formed there.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char c = byte(at + i);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

// Characters a "Q" word may carry as they are, also inside a display name.
bool IsPlainQ(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' ||
           c == '*' || c == '+' || c == '-' || c == '/';
}

std::string QEncode(std::string_view bytes) {
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsPlainQ(c)) {
            out += ch;
        } else if (c == ' ') {
            out += '_';
        } else {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

bool IsAscii(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (!IsAscii(line)) return false;
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8Length(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

bool IsValidUtf8(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (!IsValidUtf8(line)) return false;
    }
    return true;
}

std::string_view EightBitCharset(bool validUtf8) {
    return validUtf8 ? "utf-8" : "iso-8859-1";
}

std::string EncodeHeaderText(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    const bool utf8 = IsValidUtf8(text);
    const std::string open = "=?" + std::string(EightBitCharset(utf8)) + "?Q?";
    std::string result;
    std::string word;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8 ? Utf8Length(text, at) : 1;
        const std::string piece = QEncode(text.substr(at, length));
        if (!word.empty() && open.size() + word.size() + piece.size() + 2 > kWordMax) {
            result += (result.empty() ? "" : " ") + open + word + "?=";
            word.clear();
        }
        word += piece;
        at += length;
    }
    result += (result.empty() ? "" : " ") + open + word + "?=";
    return result;
}

}  // namespace kivo
