#include "mail/msattname.h"

#include "base/bytes.h"
#include "mail/encodedword.h"
#include "mail/headerfields.h"

namespace kivo {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerChar(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// charset'language'text with %XX escapes in the text.
std::string DecodeExtendedValue(std::string_view value) {
    std::size_t first = value.find('\'');
    std::size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
    if (second == std::string_view::npos) return std::string(value);
    std::string_view text = value.substr(second + 1);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high = 0, low = 0;
        if (text[i] == '%' && i + 2 < text.size() && (high = HexValue(text[i + 1])) >= 0 &&
            (low = HexValue(text[i + 2])) >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string PartFileName(std::string_view parameter, std::string_view fieldValue) {
    std::string value = ParameterValue(parameter, fieldValue);
    if (FindNoCase(fieldValue, std::string(parameter) + "*") != std::string_view::npos) {
        // The parameter search stops one character after the name, so "name*=x",
        // "name*0*=x" and "name*0=x" read as "=x", "0*=x" and "0=x".
        std::size_t digits = 0;
        while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9') ++digits;
        std::string_view rest = std::string_view(value).substr(digits);
        if (rest.starts_with("*=") || (digits == 0 && rest.starts_with('='))) {
            value = DecodeExtendedValue(StripQuotes(rest.substr(rest[0] == '*' ? 2 : 1)));
        } else if (rest.starts_with('=')) {
            value = StripQuotes(rest.substr(1));
        }
    }
    if (value.find("=?") != std::string::npos) value = DecodeEncodedWords(value);
    return value;
}

}  // namespace kivo
