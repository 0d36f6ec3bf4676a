#include "view/htmltags.h"

#include "base/bytes.h"
#include "base/htmlentity.h"

namespace kivo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Where a tag or attribute name starting at `pos` ends.
std::size_t NameEnd(std::string_view text, std::size_t pos, bool attribute) {
    while (pos < text.size()) {
        const char c = text[pos];
        if (IsBlank(c) || c == '/' || c == '>' || (attribute && c == '=')) break;
        ++pos;
    }
    return pos;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return pos;
}

}  // namespace

THtmlTag ReadTag(std::string_view text, std::size_t pos) {
    THtmlTag tag;
    if (pos >= text.size() || text[pos] != '<') return tag;
    std::size_t start = pos + 1;
    if (start < text.size() && text[start] == '/') {
        tag.closing = true;
        ++start;
    }
    if (start >= text.size() || !IsAsciiLetter(text[start])) return tag;
    std::size_t at = NameEnd(text, start, false);
    tag.name = LowerCase(text.substr(start, at - start));
    for (;;) {
        while (at < text.size() && (IsBlank(text[at]) || text[at] == '/')) ++at;
        if (at >= text.size()) break;
        if (text[at] == '>') {
            tag.end = at + 1;
            tag.complete = true;
            return tag;
        }
        THtmlAttribute attribute;
        attribute.begin = at;
        // A name may start with "=": the tokenizer takes it as the name's first character.
        const std::size_t nameEnd = NameEnd(text, at + 1, true);
        attribute.name = LowerCase(text.substr(at, nameEnd - at));
        at = SkipBlanks(text, nameEnd);
        attribute.valueBegin = attribute.valueEnd = attribute.end = nameEnd;
        if (at < text.size() && text[at] == '=') {
            at = SkipBlanks(text, at + 1);
            if (at >= text.size()) break;
            const char quote = text[at];
            if (quote == '"' || quote == '\'') {
                const std::size_t close = text.find(quote, at + 1);
                if (close == std::string_view::npos) break;
                attribute.valueBegin = at + 1;
                attribute.valueEnd = close;
                at = attribute.end = close + 1;
            } else if (quote != '>') {
                std::size_t end = at;
                while (end < text.size() && !IsBlank(text[end]) && text[end] != '>') ++end;
                attribute.valueBegin = at;
                attribute.valueEnd = attribute.end = at = end;
            }
        } else {
            // No value: the blanks after the name belong to the next attribute.
            at = nameEnd;
        }
        tag.attributes.push_back(std::move(attribute));
    }
    tag.end = text.size();
    return tag;
}

std::size_t FindEndTag(std::string_view text, std::string_view name, std::size_t from) {
    while ((from = text.find("</", from)) != std::string_view::npos) {
        const std::size_t after = from + 2 + name.size();
        if (after <= text.size() && EqualsNoCase(text.substr(from + 2, name.size()), name) &&
            (after == text.size() || IsBlank(text[after]) || text[after] == '/' ||
             text[after] == '>')) {
            return from;
        }
        from += 2;
    }
    return std::string_view::npos;
}

std::string AttributeValue(std::string_view text, const THtmlAttribute& attribute) {
    const std::string_view raw =
        text.substr(attribute.valueBegin, attribute.valueEnd - attribute.valueBegin);
    std::string value;
    value.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        if (raw[i] == '&') {
            const std::size_t length = ReadHtmlEntity(raw, i, value);
            if (length > 0) {
                i += length;
                continue;
            }
        }
        value += raw[i++];
    }
    return value;
}

}  // namespace kivo
