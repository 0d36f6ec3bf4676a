#include "mail/outcharset.h"

namespace kivo {

namespace {

constexpr std::size_t kWordMax = 75;
constexpr char kHex[] = "0123456789ABCDEF";

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
        const std::size_t length = utf8 ? Utf8SequenceLength(text, at) : 1;
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
