#include "compose/htmlstrip.h"

#include <cctype>
#include <string_view>

#include "base/bytes.h"
#include "base/htmlentity.h"

namespace kivo {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Whether a tag's text (after its '<') opens the element `name`.
bool Opens(std::string_view tag, std::string_view name) {
    return StartsWithNoCase(tag, name) &&
           (tag.size() == name.size() ||
            !std::isalnum(static_cast<unsigned char>(tag[name.size()])));
}

// One past the end of the markup at text[open] == '<', or npos when it runs to the end of the
// text. A style sheet or a script ends with its closing tag, a comment with "-->": what they
// hold is no text of the message.
std::size_t MarkupEnd(std::string_view text, std::size_t open) {
    if (text.substr(open, 4) == "<!--") {
        const std::size_t end = text.find("-->", open + 4);
        return end == npos ? npos : end + 3;
    }
    const std::size_t close = text.find('>', open);
    if (close == npos) return npos;
    for (std::string_view name : {"style", "script"}) {
        if (!Opens(text.substr(open + 1, close - open - 1), name)) continue;
        const std::size_t end = FindNoCase(text, "</" + std::string(name), close);
        const std::size_t endClose = end == npos ? npos : text.find('>', end);
        return endClose == npos ? npos : endClose + 1;
    }
    return close + 1;
}

// Deletes every "<...>" run; an unclosed tag runs to the end of the text.
std::string RemoveTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('<', pos);
        if (open == npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        pos = MarkupEnd(text, open);
        if (pos == npos) break;
    }
    return out;
}

// Every character reference of a body line read.
std::string ReadEntities(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t pos = 0; pos < line.size();) {
        const std::size_t length = line[pos] == '&' ? ReadHtmlEntity(line, pos, out) : 0;
        if (length == 0) out += line[pos++];
        pos += length;
    }
    return out;
}

std::string ReplaceEntities(std::string_view line) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&gt;", '>'}, {"&lt;", '<'}, {"&nbsp;", ' '}};
    std::string out;
    out.reserve(line.size());
    std::size_t pos = 0;
    while (pos < line.size()) {
        bool replaced = false;
        if (line[pos] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (line.substr(pos, entity.size()) == entity) {
                    out += c;
                    pos += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += line[pos++];
    }
    return out;
}

}  // namespace

void StripHtml(std::vector<std::string>& lines) {
    std::size_t body = 0;
    while (body < lines.size() && !TrimView(lines[body]).empty()) ++body;
    if (body < lines.size()) {
        std::vector<std::string> tail(lines.begin() + static_cast<std::ptrdiff_t>(body),
                                      lines.end());
        lines.resize(body);
        for (std::string& line : SplitLines(RemoveTags(JoinLinesCrLf(tail)))) {
            lines.push_back(ReadEntities(line));
        }
    }
    for (std::size_t i = 0; i < body; ++i) lines[i] = ReplaceEntities(lines[i]);
}

}  // namespace kivo
