#include "view/htmltext.h"

#include <cctype>
#include <string_view>

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

// Reads an entity at text[pos] == '&'; appends its character and returns its length, or 0
// when it is none (the '&' is then text).
std::size_t ReadEntity(std::string_view text, std::size_t pos, std::string& out) {
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

// The value of attribute `name` in a tag's text, or empty text.
std::string Attribute(std::string_view tag, std::string_view name) {
    std::size_t pos = 0;
    while ((pos = FindNoCase(tag, name, pos)) != std::string_view::npos) {
        const bool starts = pos > 0 && (tag[pos - 1] == ' ' || tag[pos - 1] == '\t' ||
                                        tag[pos - 1] == '\n' || tag[pos - 1] == '\r');
        std::size_t at = pos + name.size();
        pos = at;
        if (!starts) continue;
        while (at < tag.size() && tag[at] == ' ') ++at;
        if (at >= tag.size() || tag[at] != '=') continue;
        ++at;
        while (at < tag.size() && tag[at] == ' ') ++at;
        if (at >= tag.size()) return {};
        if (tag[at] == '"' || tag[at] == '\'') {
            const std::size_t end = tag.find(tag[at], at + 1);
            return std::string(tag.substr(
                at + 1, end == std::string_view::npos ? std::string_view::npos : end - at - 1));
        }
        const std::size_t end = tag.find_first_of(" \t\r\n>", at);
        return std::string(
            tag.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    }
    return {};
}

class TextWriter {
  public:
    void Text(char c) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (pre_) {
                if (c == '\n')
                    Break();
                else if (c != '\r')
                    line_ += c;
            } else {
                space_ = true;
            }
            return;
        }
        Flush();
        line_ += c;
    }
    void Characters(std::string_view text) {
        Flush();
        line_ += text;
    }
    void Break() {
        lines_.push_back(TrimRight(line_));
        line_.clear();
        space_ = false;
    }
    // A block boundary: a line end unless the line is empty already.
    void Block() {
        if (!TrimView(line_).empty()) Break();
        space_ = false;
    }
    void Paragraph() {
        Block();
        if (!lines_.empty() && !lines_.back().empty()) lines_.emplace_back();
    }
    void SetPre(bool on) { pre_ = on; }
    std::vector<std::string> Finish() {
        Block();
        // No blank lines at either end, never two in a row.
        std::vector<std::string> out;
        for (std::string& line : lines_) {
            if (line.empty() && (out.empty() || out.back().empty())) continue;
            out.push_back(std::move(line));
        }
        while (!out.empty() && out.back().empty()) out.pop_back();
        return out;
    }

  private:
    void Flush() {
        if (space_ && !line_.empty()) line_ += ' ';
        space_ = false;
    }
    std::vector<std::string> lines_;
    std::string line_;
    bool space_ = false;
    bool pre_ = false;
};

bool NameIs(std::string_view name, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) {
        if (EqualsNoCase(name, n)) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> HtmlToText(const std::vector<std::string>& html) {
    std::string joined;
    for (const std::string& line : html) {
        joined += line;
        joined += '\n';
    }
    const std::string_view text = joined;
    TextWriter out;
    std::string href;  // the address of the link being read
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '&') {
            std::string entity;
            const std::size_t length = ReadEntity(text, pos, entity);
            if (length > 0) {
                if (entity == "\n" || entity == "\t")
                    out.Text(entity[0]);
                else
                    out.Characters(entity);
                pos += length;
                continue;
            }
            out.Text(c);
            ++pos;
            continue;
        }
        const bool tagStart =
            c == '<' && pos + 1 < text.size() &&
            (std::isalpha(static_cast<unsigned char>(text[pos + 1])) || text[pos + 1] == '/' ||
             text[pos + 1] == '!' || text[pos + 1] == '?');
        if (!tagStart) {
            out.Text(c);
            ++pos;
            continue;
        }
        if (text.substr(pos, 4) == "<!--") {
            const std::size_t end = text.find("-->", pos + 4);
            pos = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        const std::size_t close = text.find('>', pos);
        if (close == std::string_view::npos) break;  // an unclosed tag runs to the end
        const std::string_view tag = text.substr(pos + 1, close - pos - 1);
        pos = close + 1;
        const bool closing = !tag.empty() && tag[0] == '/';
        const std::string_view body = closing ? tag.substr(1) : tag;
        const std::string_view name = body.substr(0, body.find_first_of(" \t\r\n/"));
        if (!closing && NameIs(name, {"script", "style", "head", "title"})) {
            // Their content is no text: skip to the closing tag.
            const std::string closer = "</" + std::string(name);
            const std::size_t end = FindNoCase(text, closer, pos);
            if (end == std::string_view::npos) break;
            const std::size_t endClose = text.find('>', end);
            pos = endClose == std::string_view::npos ? text.size() : endClose + 1;
            continue;
        }
        if (NameIs(name, {"br"})) {
            out.Break();
        } else if (NameIs(name, {"p", "h1", "h2", "h3", "h4", "h5", "h6", "table", "blockquote",
                                 "ul", "ol", "hr"})) {
            out.Paragraph();
        } else if (NameIs(name, {"div", "tr", "dd", "dt", "center", "section", "article", "header",
                                 "footer", "pre"})) {
            out.Block();
            if (NameIs(name, {"pre"})) out.SetPre(!closing);
        } else if (NameIs(name, {"li"})) {
            out.Block();
            if (!closing) out.Characters("* ");
        } else if (NameIs(name, {"td", "th"})) {
            if (!closing) out.Text(' ');
        } else if (NameIs(name, {"img"}) && !closing) {
            const std::string alt = Attribute(tag, "alt");
            if (!TrimView(alt).empty()) out.Characters("[" + Trim(alt) + "]");
        } else if (NameIs(name, {"a"})) {
            if (!closing) {
                href = Attribute(tag, "href");
            } else if (!href.empty()) {
                const std::string_view address = TrimView(href);
                if (StartsWithNoCase(address, "http") || StartsWithNoCase(address, "mailto:")) {
                    out.Text(' ');
                    out.Characters("<" + std::string(address) + ">");
                }
                href.clear();
            }
        }
    }
    return out.Finish();
}

}  // namespace kivo
