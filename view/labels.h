#pragma once
// Header values as the view's labels and the print heading show them, and cutting UTF-8 text
// by characters rather than bytes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The value of the last header line starting with `name` (case ignored), its encoded words
// decoded (a sent copy keeps them), in UTF-8 and without control characters.
std::string LabelText(std::string_view name, const std::vector<std::string>& headers);

// The number of characters of UTF-8 text, and its first `count` characters.
std::size_t Utf8Length(std::string_view text);
std::string Utf8Prefix(std::string_view text, std::size_t count);

}  // namespace kivo
