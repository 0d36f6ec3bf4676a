#pragma once
// Small, stateless readers of the structured values inside header fields: quoted strings,
// the main value and parameters of Content-Type and Content-Disposition, and mail addresses
// with display names. None of them throws on malformed input; they degrade to empty results.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Blanks at both ends removed, then every double quote at the start and at the end.
std::string StripQuotes(std::string_view text);

// The type of a Content-Type value: the text before the first blank or ";", trimmed
// ("multipart/mixed; boundary=x" -> "multipart/mixed"). Looks at the first 255 characters.
std::string MainValue(std::string_view contentType);

// The value of parameter name in a field value, or empty. A parameter of exactly that name
// wins, in the RFC 2231 form too (name*=us-ascii''b1, or numbered pieces name*0*=..;
// name*1=..), read as its bytes without charset conversion; otherwise the name is searched
// anywhere, so "name" also finds "filename". Quoted values run to the next double quote,
// others to the first blank; one trailing ";" is removed.
std::string ParameterValue(std::string_view name, std::string_view fieldValue);

// A parameter as RFC 2231 writes it: "name*=charset'language'%XX..", or in numbered pieces
// ("name*0*=", "name*1=", ...) joined in number order up to the first one missing (at most
// 100 pieces). `value` holds the joined bytes (percent escapes decoded); `charset` is what
// piece 0 names.
struct ExtendedParameter {
    bool plain = false;      // a plain "name=" stands beside the pieces
    bool hasFirst = false;   // piece 0 (or "name*=") is there
    bool hasPieces = false;  // any piece is there
    std::string value;
    std::string charset;
};
ExtendedParameter ReadExtendedParameter(std::string_view name, std::string_view fieldValue);

// A Content-Type value as readers take it: a type without a subtype ("text") is invalid and
// reads as text/plain with its parameters (RFC 2045 5.2); any other value is returned as is.
std::string ValidContentType(std::string_view contentType);
// The Content-Type value with its type replaced by `type`, its parameters kept.
std::string ReplaceMainValue(std::string_view contentType, std::string_view type);

// The two parts of one address text, each at most 255 characters.
struct ParsedAddress {
    std::string name;     // display name, may be empty
    std::string address;  // local part, "@", domain
};

// Reads '"Name" <a@b>', 'a@b (Name)' and a bare 'a@b'. Quoted words of a display name lose
// their quotes ('First "M." Last' -> First M. Last), and a "<" inside them is no bracket. A
// "<" without a following ">" gives an empty address and the whole text as the name; a bare
// address loses stray brackets at its ends ('a@b>' -> a@b).
ParsedAddress ParseAddress(std::string_view text);

// The comma-separated items of an address list field value, each trimmed (a trailing empty
// item dropped). Commas inside double quotes, angle brackets and comments split nothing.
void SplitAddressList(std::string_view text, std::vector<std::string>& items);

}  // namespace kivo
