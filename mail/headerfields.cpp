#include "mail/headerfields.h"

#include <algorithm>
#include <map>

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


// A parameter may come in pieces numbered 0 to 99; higher numbers are ignored, so a hostile
// field cannot make one value grow without end.
constexpr unsigned kMaxPieces = 100;

// One numbered piece of a parameter as the field writes it.
struct Piece {
    std::string text;
    bool encoded = false;  // "name*N*=": %XX escapes; piece 0 starts with charset'language'
};

enum class AttributeForm { kOther, kPlain, kPiece };

struct Attribute {
    AttributeForm form = AttributeForm::kOther;
    unsigned number = 0;
    bool encoded = false;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// How attribute (the text before a "=") names parameter: "name", "name*", "name*N" or
// "name*N*", compared without regard to case; anything else is another parameter.
Attribute ReadAttribute(std::string_view parameter, std::string_view attribute) {
    Attribute result;
    if (!StartsWithNoCase(attribute, parameter)) return result;
    std::string_view rest = attribute.substr(parameter.size());
    if (rest.empty()) {
        result.form = AttributeForm::kPlain;
        return result;
    }
    if (rest[0] != '*') return result;
    rest.remove_prefix(1);
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits])) ++digits;
    if (digits > 3) return result;  // over the cap anyway
    for (std::size_t i = 0; i < digits; ++i) result.number = result.number * 10 + (rest[i] - '0');
    rest.remove_prefix(digits);
    if (digits == 0 ? !rest.empty() : !rest.empty() && rest != "*") return result;
    if (result.number >= kMaxPieces) return result;
    result.encoded = digits == 0 || rest == "*";
    result.form = AttributeForm::kPiece;
    return result;
}

// The value that starts at field[at] (just past the "="), at moved past it. A quoted value
// keeps its blanks and runs to the closing quote, with \" and \\ read as one character; any
// other value runs to the next ";", trimmed.
std::string ReadPieceValue(std::string_view field, std::size_t& at) {
    while (at < field.size() && IsBlank(field[at])) ++at;
    std::string value;
    if (at < field.size() && field[at] == '"') {
        for (++at; at < field.size() && field[at] != '"'; ++at) {
            if (field[at] == '\\' && at + 1 < field.size() &&
                (field[at + 1] == '"' || field[at + 1] == '\\')) {
                ++at;
            }
            value += field[at];
        }
        if (at < field.size()) ++at;
        return value;
    }
    const std::size_t end = std::min(field.find(';', at), field.size());
    value = TrimView(field.substr(at, end - at));
    at = end;
    return value;
}

// The pieces from the lowest number on, up to the first number missing, as bytes; the
// charset is the one piece 0 names.
void JoinPieces(const std::map<unsigned, Piece>& pieces, ExtendedParameter& result) {
    unsigned next = pieces.empty() ? 0 : pieces.begin()->first;
    for (auto it = pieces.begin(); it != pieces.end() && it->first == next; ++it, ++next) {
        std::string_view text = it->second.text;
        if (!it->second.encoded) {
            result.value += text;
            continue;
        }
        if (it->first == 0) {
            const std::size_t first = text.find('\'');
            const std::size_t second =
                first == std::string_view::npos ? first : text.find('\'', first + 1);
            if (second != std::string_view::npos) {
                result.charset = text.substr(0, first);
                text.remove_prefix(second + 1);
            }
        }
        result.value += PercentDecoded(text);
    }
}

// Where a quoted string that opens at text[at] ends (the index of its closing quote), or npos
// when it is never closed. A backslash takes the character after it as it stands.
std::size_t QuotedStringEnd(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

// The first c in text outside closed quoted strings, or npos.
std::size_t FindOutsideQuotes(std::string_view text, char c, std::size_t from = 0) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == c) return i;
        if (text[i] == '"') {
            const std::size_t close = QuotedStringEnd(text, i);
            if (close != std::string_view::npos) i = close;
        }
    }
    return std::string_view::npos;
}

// A display name: its quoted words without their quotes (and backslash escapes read), a
// quote that is never closed dropped, blanks at both ends removed.
std::string DisplayName(std::string_view text) {
    std::string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '"') {
            name += text[i];
            continue;
        }
        const std::size_t close = QuotedStringEnd(text, i);
        if (close == std::string_view::npos) continue;
        for (std::size_t j = i + 1; j < close; ++j) {
            if (text[j] == '\\' && j + 1 < close) ++j;
            name += text[j];
        }
        i = close;
    }
    return Trim(name);
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
    // Writers add a plain value beside the RFC 2231 pieces only for readers that cannot join
    // them; the pieces hold the real value.
    const ExtendedParameter extended = ReadExtendedParameter(name, fieldValue);
    if (extended.hasFirst && !extended.value.empty()) return extended.value;
    std::size_t start = FindExactParameter(name, fieldValue);
    if (start == std::string_view::npos && extended.hasPieces) return extended.value;
    if (start == std::string_view::npos) {
        // The name anywhere, also inside a longer one; the character after it is the "=".
        std::size_t at = FindNoCase(fieldValue, name);
        if (at == std::string_view::npos) return {};
        start = std::min(at + name.size() + 1, fieldValue.size());
    }
    return ReadParameterValue(fieldValue.substr(start));
}

ExtendedParameter ReadExtendedParameter(std::string_view name, std::string_view field) {
    ExtendedParameter result;
    std::map<unsigned, Piece> pieces;
    std::size_t at = field.find(';');
    while (at < field.size()) {
        const std::size_t equals = field.find_first_of(";=", at + 1);
        if (equals == std::string_view::npos) break;
        if (field[equals] == ';') {
            at = equals;
            continue;
        }
        const Attribute attribute =
            ReadAttribute(name, TrimView(field.substr(at + 1, equals - at - 1)));
        std::size_t end = equals + 1;
        std::string value = ReadPieceValue(field, end);
        if (attribute.form == AttributeForm::kPlain) {
            result.plain = true;
        } else if (attribute.form == AttributeForm::kPiece) {
            // A repeated piece number keeps its first value.
            pieces.try_emplace(attribute.number, Piece{std::move(value), attribute.encoded});
        }
        at = field.find(';', end);
    }
    result.hasPieces = !pieces.empty();
    result.hasFirst = pieces.contains(0);
    JoinPieces(pieces, result);
    return result;
}

std::string ValidContentType(std::string_view contentType) {
    const std::string type = MainValue(contentType);
    if (type.empty() || type.find('/') != std::string::npos) return std::string(contentType);
    return ReplaceMainValue(contentType, "text/plain");
}

std::string ReplaceMainValue(std::string_view contentType, std::string_view type) {
    const std::size_t parameters = contentType.find(';');
    std::string result(type);
    if (parameters != std::string_view::npos) result += contentType.substr(parameters);
    return result;
}

ParsedAddress ParseAddress(std::string_view text) {
    ParsedAddress result;
    const std::size_t lt = FindOutsideQuotes(text, '<');
    if (lt != std::string_view::npos) {
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string_view::npos) {
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
            result.name = DisplayName(rest);
        }
    } else if (std::size_t paren = FindOutsideQuotes(text, '('); paren != std::string_view::npos) {
        result.address = StripQuotes(text.substr(0, paren));
        std::string_view comment = text.substr(paren + 1);
        if (!comment.empty()) comment.remove_suffix(1);
        result.name = StripQuotes(comment);
    } else {
        // A bracket left over from a damaged address ("a@b>") is no part of it.
        std::string_view bare = text;
        while (!bare.empty() && bare.front() == '<') bare.remove_prefix(1);
        while (!bare.empty() && bare.back() == '>') bare.remove_suffix(1);
        result.address = std::string(bare);
    }
    result.name = CutShort(result.name);
    result.address = CutShort(result.address);
    return result;
}

void SplitAddressList(std::string_view text, std::vector<std::string>& items) {
    bool inAngle = false;
    int commentDepth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' && !inAngle && commentDepth == 0) {
            // An unclosed quote holds the rest of the line together.
            i = std::min(QuotedStringEnd(text, i), text.size());
            continue;
        }
        if (c == '<' && commentDepth == 0 && text.find('>', i) != std::string_view::npos) {
            inAngle = true;
        } else if (c == '>') {
            inAngle = false;
        } else if (c == '(' && !inAngle && text.find(')', i) != std::string_view::npos) {
            ++commentDepth;
        } else if (c == ')' && commentDepth > 0) {
            --commentDepth;
        } else if (c == ',' && !inAngle && commentDepth == 0) {
            items.emplace_back(TrimView(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    std::string_view last = TrimView(text.substr(start));
    if (!last.empty()) items.emplace_back(last);
}

}  // namespace kivo
