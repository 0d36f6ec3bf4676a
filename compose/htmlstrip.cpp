#include "compose/htmlstrip.h"

#include <string_view>

#include "base/bytes.h"

namespace kivo {

namespace {

// Deletes every "<...>" run; an unclosed tag runs to the end of the text.
std::string RemoveTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('<', pos);
        if (open == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        out.append(text.substr(pos, open - pos));
        const std::size_t close = text.find('>', open);
        if (close == std::string_view::npos) break;
        pos = close + 1;
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
            lines.push_back(std::move(line));
        }
    }
    for (std::string& line : lines) line = ReplaceEntities(line);
}

}  // namespace kivo
