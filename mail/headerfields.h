#pragma once
// Small, stateless readers of the structured values inside header fields: quoted strings,
// the main value and parameters of Content-Type and Content-Disposition, and mail addresses
// with display names. None of them throws on malformed input; they degrade to empty results.

#include <string>
#include <string_view>

namespace kivo {

// Blanks at both ends removed, then every double quote at the start and at the end.
std::string StripQuotes(std::string_view text);

// The type of a Content-Type value: the text before the first blank or ";", trimmed
// ("multipart/mixed; boundary=x" -> "multipart/mixed"). Looks at the first 255 characters.
std::string MainValue(std::string_view contentType);

// The value of parameter name in a field value, or empty. A parameter of exactly that name
// wins; otherwise the name is searched anywhere, so "name" also finds "filename".
// Quoted values run to the next double quote, others to the first blank; one trailing ";"
// is removed.
std::string ParameterValue(std::string_view name, std::string_view fieldValue);

// The two parts of one address text, each at most 255 characters.
struct ParsedAddress {
    std::string name;     // display name, may be empty
    std::string address;  // local part, "@", domain
};

// Reads '"Name" <a@b>', 'a@b (Name)' and a bare 'a@b'. A "<" without a following ">" gives
// an empty address and the whole text as the name.
ParsedAddress ParseAddress(std::string_view text);

}  // namespace kivo
