#include "script/scriptvalues.h"

#include "base/bytes.h"

namespace kivo {

bool ReadScriptInt(std::string_view text, int& value) {
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= 32) ++start;
    text.remove_prefix(start);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
        if (n > 2147483648LL) return false;
    }
    if (negative) n = -n;
    if (n > 2147483647LL) return false;
    value = static_cast<int>(n);
    return true;
}

bool StrToBool(std::string_view value) {
    return !(EqualsNoCase(value, "0") || EqualsNoCase(value, "false") ||
             EqualsNoCase(value, "off") || EqualsNoCase(value, "no"));
}

std::string BoolToStr(bool flag) {
    return flag ? "1" : "0";
}

std::vector<std::string> ValueLines(std::string_view value) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < value.size()) {
        const std::size_t end = value.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(value.substr(start));
            break;
        }
        lines.emplace_back(value.substr(start, end - start));
        start = end + 1;
        if (value[end] == '\r' && start < value.size() && value[start] == '\n') ++start;
    }
    return lines;
}

std::string JoinValueLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace kivo
