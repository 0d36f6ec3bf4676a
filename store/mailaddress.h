#pragma once
// The bare address of a header value, as the index shows it in its To column and the
// reply commands address their answers.

#include <string>
#include <string_view>

namespace kivo {

// Removes the first double-quoted run (through the next double quote, or to the end); then,
// when what is left is not blank and holds "<", keeps only the text between the first "<"
// and the first ">" after it (empty when nothing stands between them). The result is trimmed
// and lower-cased.
std::string ExtractAddress(std::string_view text);

// The display name of a header value: the text between the first and the last double quote
// (empty when there is only one); without quotes, the text without its first "<...>" part
// (to the end when no ">" follows). Not trimmed.
std::string ExtractName(std::string_view text);

}  // namespace kivo
