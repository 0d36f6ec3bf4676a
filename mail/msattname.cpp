#include "mail/msattname.h"

#include "base/bytes.h"
#include "mail/encodedword.h"
#include "mail/headerfields.h"
#include "mail/utf8text.h"

namespace kivo {

namespace {

// The pieces that came, as one name in UTF-8, converted from the charset piece 0 names (as
// encoded words are).
std::string NameOf(const ExtendedParameter& parameter) {
    return ToUtf8(parameter.value, parameter.charset);
}

}  // namespace

std::string PartFileName(std::string_view parameter, std::string_view fieldValue) {
    const ExtendedParameter parts = ReadExtendedParameter(parameter, fieldValue);
    // Senders add a plain "filename=" only for readers that cannot join pieces; the pieces
    // hold the real name.
    if (parts.hasFirst) {
        std::string name = NameOf(parts);
        if (!name.empty()) return name;
    }
    if (parts.plain || !parts.hasPieces) {
        std::string value = ParameterValue(parameter, fieldValue);
        if (value.find("=?") != std::string::npos) value = DecodeEncodedWords(value);
        if (!value.empty() || !parts.hasPieces) return value;
    }
    // Piece 0 is lost and there is no plain name: the pieces that came are better than none.
    return NameOf(parts);
}

}  // namespace kivo
