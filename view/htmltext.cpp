#include "view/htmltext.h"

#include <cctype>
#include <string_view>

#include "base/bytes.h"
#include "base/displaytext.h"
#include "base/htmlentity.h"

namespace kivo {

namespace {

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
            const std::size_t length = ReadHtmlEntity(text, pos, entity);
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
