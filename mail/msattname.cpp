#include "mail/msattname.h"

#include <algorithm>
#include <map>

#include "base/bytes.h"
#include "mail/encodedword.h"
#include "mail/headerfields.h"
#include "mail/utf8text.h"

namespace kivo {

namespace {

// A name may come in pieces numbered 0 to 99; higher numbers are ignored, so a hostile field
// cannot make one name grow without end.
constexpr unsigned kMaxPieces = 100;

// One numbered piece of a name as the field writes it.
struct Piece {
    std::string text;
    bool encoded = false;  // "name*N*=": %XX escapes; piece 0 starts with charset'language'
};

// What a field holds of one parameter: whether the plain "name=" form is there, and the
// numbered pieces by number ("name*=" is piece 0 on its own).
struct NameParts {
    bool plain = false;
    std::map<unsigned, Piece> pieces;
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
std::string ReadValue(std::string_view field, std::size_t& at) {
    while (at < field.size() && (field[at] == ' ' || field[at] == '\t')) ++at;
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

// Every "; attribute=value" of the field that belongs to parameter. A repeated piece number
// keeps its first value.
NameParts FindNameParts(std::string_view parameter, std::string_view field) {
    NameParts parts;
    std::size_t at = field.find(';');
    while (at < field.size()) {
        const std::size_t equals = field.find_first_of(";=", at + 1);
        if (equals == std::string_view::npos) break;
        if (field[equals] == ';') {
            at = equals;
            continue;
        }
        const Attribute attribute =
            ReadAttribute(parameter, TrimView(field.substr(at + 1, equals - at - 1)));
        std::size_t end = equals + 1;
        std::string value = ReadValue(field, end);
        if (attribute.form == AttributeForm::kPlain) {
            parts.plain = true;
        } else if (attribute.form == AttributeForm::kPiece) {
            parts.pieces.try_emplace(attribute.number, Piece{std::move(value), attribute.encoded});
        }
        at = field.find(';', end);
    }
    return parts;
}

// The pieces from the lowest number on, up to the first number missing, as one name in
// UTF-8, converted from the charset piece 0 names (as encoded words are).
std::string JoinPieces(const std::map<unsigned, Piece>& pieces) {
    std::string name;
    std::string charset;
    unsigned next = pieces.empty() ? 0 : pieces.begin()->first;
    for (auto it = pieces.begin(); it != pieces.end() && it->first == next; ++it, ++next) {
        std::string_view text = it->second.text;
        if (!it->second.encoded) {
            name += text;
            continue;
        }
        if (it->first == 0) {
            const std::size_t first = text.find('\'');
            const std::size_t second =
                first == std::string_view::npos ? first : text.find('\'', first + 1);
            if (second != std::string_view::npos) {
                charset = text.substr(0, first);
                text.remove_prefix(second + 1);
            }
        }
        name += PercentDecoded(text);
    }
    return ToUtf8(name, charset);
}

}  // namespace

std::string PartFileName(std::string_view parameter, std::string_view fieldValue) {
    const NameParts parts = FindNameParts(parameter, fieldValue);
    // Senders add a plain "filename=" only for readers that cannot join pieces; the pieces
    // hold the real name.
    if (parts.pieces.contains(0)) {
        std::string name = JoinPieces(parts.pieces);
        if (!name.empty()) return name;
    }
    if (parts.plain || parts.pieces.empty()) {
        std::string value = ParameterValue(parameter, fieldValue);
        if (value.find("=?") != std::string::npos) value = DecodeEncodedWords(value);
        if (!value.empty() || parts.pieces.empty()) return value;
    }
    // Piece 0 is lost and there is no plain name: the pieces that came are better than none.
    return JoinPieces(parts.pieces);
}

}  // namespace kivo
