#include "compose/carriedheaders.h"

#include "base/bytes.h"

namespace kivo {

namespace {

constexpr std::size_t kFoldWidth = 78;
// A thread of hundreds of messages would make a header line no server takes: the first
// identifier (the thread's start) and the latest ones are enough for every reader.
constexpr std::size_t kMaxReferences = 20;
// Longer is garbage, and would break the line length servers take.
constexpr std::size_t kMaxIdLength = 500;

bool IsContinuation(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

bool UsableId(std::string_view id) {
    if (id.size() < 3 || id.size() > kMaxIdLength) return false;
    for (char c : id.substr(1, id.size() - 2)) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7f || c == '<' || c == '>') return false;
    }
    return true;
}

// The Message-ID of a message: its bracketed identifier, or the bare value when a program
// wrote it without brackets.
std::string OwnId(std::string_view value) {
    const std::vector<std::string> ids = MessageIds(value);
    if (!ids.empty()) return ids.front();
    const std::string bare = "<" + Trim(value) + ">";
    return UsableId(bare) ? bare : std::string();
}

}  // namespace

std::string RawFieldValue(const std::vector<std::string>& headers, std::string_view name) {
    const std::string field = std::string(name) + ":";
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (!StartsWithNoCase(headers[i], field)) continue;
        std::string value = Trim(std::string_view(headers[i]).substr(field.size()));
        for (++i; i < headers.size() && IsContinuation(headers[i]); ++i) {
            value += ' ';
            value += TrimView(headers[i]);
        }
        return value;
    }
    return {};
}

std::vector<std::string> MessageIds(std::string_view value) {
    std::vector<std::string> ids;
    for (std::size_t open = value.find('<'); open != std::string_view::npos;
         open = value.find('<', open + 1)) {
        const std::size_t close = value.find('>', open);
        if (close == std::string_view::npos) break;
        const std::string_view id = value.substr(open, close - open + 1);
        // "<a <b@x>" is no identifier; the scan goes on at the next "<".
        if (!UsableId(id)) continue;
        ids.emplace_back(id);
        open = close;
    }
    return ids;
}

std::vector<std::string> FoldedField(std::string_view name, const std::vector<std::string>& items,
                                     bool comma) {
    std::vector<std::string> lines;
    if (items.empty()) return lines;
    std::string line = std::string(name) + ":";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string item = items[i] + (comma && i + 1 < items.size() ? "," : "");
        if (i > 0 && line.size() + 1 + item.size() > kFoldWidth) {
            lines.push_back(std::move(line));
            line.clear();
        }
        line += ' ';
        line += item;
    }
    lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> ThreadLines(const std::vector<std::string>& originalHeaders,
                                     bool inReplyTo) {
    const std::string own = OwnId(RawFieldValue(originalHeaders, "Message-ID"));
    std::vector<std::string> references = MessageIds(RawFieldValue(originalHeaders, "References"));
    if (references.empty()) {
        std::vector<std::string> parent = MessageIds(RawFieldValue(originalHeaders, "In-Reply-To"));
        if (parent.size() == 1) references = std::move(parent);
    }
    if (!own.empty()) references.push_back(own);
    if (references.size() > kMaxReferences) {
        references.erase(references.begin() + 1,
                         references.end() - static_cast<std::ptrdiff_t>(kMaxReferences - 1));
    }
    std::vector<std::string> lines;
    if (inReplyTo && !own.empty()) lines.push_back("In-Reply-To: " + own);
    for (std::string& line : FoldedField("References", references))
        lines.push_back(std::move(line));
    return lines;
}

}  // namespace kivo
