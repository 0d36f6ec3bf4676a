#include "mail/headerfields.h"

#include "base/bytes.h"

namespace kivo {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The value that starts at text (already past the name and its "="): a quoted value runs to
// the next double quote, any other to the first blank; one trailing ";" goes.
std::string ReadParameterValue(std::string_view text) {
    text = TrimView(text);
    std::string_view value;
    if (!text.empty() && text[0] == '"') {
        std::size_t close = text.find('"', 1);
        value =
            text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    } else {
        value = text.substr(0, text.find(' '));
    }
    if (!value.empty() && value.back() == ';') value.remove_suffix(1);
    return Trim(value);
}

// Start of the value of a parameter called exactly name ("; name = value"), or npos.
std::size_t FindExactParameter(std::string_view name, std::string_view field) {
    std::size_t at = 0;
    while ((at = FindNoCase(field, name, at)) != std::string_view::npos) {
        std::size_t before = at;
        while (before > 0 && IsBlank(field[before - 1])) --before;
        std::size_t after = at + name.size();
        while (after < field.size() && IsBlank(field[after])) ++after;
        if (before > 0 && field[before - 1] == ';' && after < field.size() && field[after] == '=') {
            return after + 1;
        }
        at += name.size();
    }
    return std::string_view::npos;
}

}  // namespace

std::string StripQuotes(std::string_view text) {
    text = TrimView(text);
    while (!text.empty() && text.front() == '"') text.remove_prefix(1);
    while (!text.empty() && text.back() == '"') text.remove_suffix(1);
    return std::string(text);
}

std::string MainValue(std::string_view contentType) {
    contentType = TrimView(contentType.substr(0, kShortTextMax));
    return std::string(contentType.substr(0, contentType.find_first_of(" \t;")));
}

std::string ParameterValue(std::string_view name, std::string_view fieldValue) {
    if (name.empty()) return {};
    std::size_t start = FindExactParameter(name, fieldValue);
    if (start == std::string_view::npos) {
        // The name anywhere, also inside a longer one; the character after it is the "=".
        std::size_t at = FindNoCase(fieldValue, name);
        if (at == std::string_view::npos) return {};
        start = std::min(at + name.size() + 1, fieldValue.size());
    }
    return ReadParameterValue(fieldValue.substr(start));
}

ParsedAddress ParseAddress(std::string_view text) {
    ParsedAddress result;
    std::size_t lt = text.find('<');
    if (lt != std::string_view::npos) {
        std::size_t gt = text.find('>');
        if (gt == std::string_view::npos || gt < lt) {
            result.name = StripQuotes(text);
        } else {
            result.address = StripQuotes(text.substr(lt + 1, gt - lt - 1));
            // An obsolete source route ("@a.org,@b.org:jo@c.org") is no part of the address.
            if (result.address.starts_with('@')) {
                const std::size_t colon = result.address.find(':');
                if (colon != std::string::npos) result.address.erase(0, colon + 1);
            }
            std::string rest(text.substr(0, lt));
            rest.append(text.substr(gt + 1));
            result.name = StripQuotes(rest);
        }
    } else if (std::size_t paren = text.find('('); paren != std::string_view::npos) {
        result.address = StripQuotes(text.substr(0, paren));
        std::string_view comment = text.substr(paren + 1);
        if (!comment.empty()) comment.remove_suffix(1);
        result.name = StripQuotes(comment);
    } else {
        result.address = std::string(text);
    }
    result.name = CutShort(result.name);
    result.address = CutShort(result.address);
    return result;
}

}  // namespace kivo
