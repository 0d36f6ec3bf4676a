#include "base/htmlentity.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/displaytext.h"

namespace kivo {

namespace {

// An entity's character; NUL and other control characters are no text.
void AppendEntity(std::string& out, unsigned long cp) {
    const bool control = cp < 32 && cp != '\t' && cp != '\n';
    AppendUtf8(out, control || cp > 0x10FFFF ? char32_t{0xFFFD} : static_cast<char32_t>(cp));
}

struct NamedEntity {
    std::string_view name;
    unsigned long cp;
};
constexpr NamedEntity kEntities[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", ' '},     {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"lsquo", 0x2018},
    {"rsquo", 0x2019}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bull", 0x2022},  {"middot", 0xB7},
    {"euro", 0x20AC},  {"pound", 0xA3},   {"zwnj", 0x200C},  {"shy", 0xAD},
};

}  // namespace

std::size_t ReadHtmlEntity(std::string_view text, std::size_t pos, std::string& out) {
    const std::size_t limit = std::min(text.size(), pos + 12);
    const std::size_t semi = text.substr(0, limit).find(';', pos);
    if (semi == std::string_view::npos) return 0;
    const std::string_view name = text.substr(pos + 1, semi - pos - 1);
    if (name.size() >= 2 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        unsigned long cp = 0;
        for (const char c : digits) {
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && LowerChar(c) >= 'a' && LowerChar(c) <= 'f')
                d = LowerChar(c) - 'a' + 10;
            if (d < 0) return 0;
            cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            if (cp > 0x10FFFF) cp = 0x110000;  // stays out of range, never overflows
        }
        AppendEntity(out, cp);
        return semi - pos + 1;
    }
    for (const NamedEntity& e : kEntities) {
        if (name == e.name) {
            AppendEntity(out, e.cp);
            return semi - pos + 1;
        }
    }
    return 0;
}

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string TextLineAsHtml(std::string_view line) {
    std::string out;
    out.reserve(line.size() + 8);
    bool blankBefore = true;  // a blank at the line's start would vanish too
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const bool blank = i < line.size() && (line[i] == ' ' || line[i] == '\t');
        if (!blank && i < line.size()) {
            blankBefore = false;
            continue;
        }
        out += HtmlEscaped(line.substr(start, i - start));
        start = i + 1;
        if (i == line.size()) break;
        if (line[i] == '\t') {
            out += "&nbsp;&nbsp;&nbsp;&nbsp;";
        } else {
            out += blankBefore ? "&nbsp;" : " ";
        }
        blankBefore = true;
    }
    out += "<br>";
    return out;
}

}  // namespace kivo
