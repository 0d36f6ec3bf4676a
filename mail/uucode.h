#pragma once
// Uuencode, line by line, and the "begin" lines that open a uuencoded file inside plain text.
// Value v is written as the character 32 + v, except 0, which is the grave accent.

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// Bytes per full uuencoded line; gives 61 characters.
inline constexpr std::size_t kUULineBytes = 45;

// One line for 0 to 45 bytes: the count character, then 4 characters per 3 bytes, no fill
// characters. More than 45 bytes throw std::invalid_argument.
std::string EncodeUULine(std::string_view bytes);
// Appends the bytes of one line (of any length) to out. The first character gives the byte
// count; a blank and the grave accent are 0; any other byte outside "!".."_" raises
// EMessageParserError "Invalid Character".
void DecodeUULine(std::string_view line, std::string& out);

// True for a line like "begin 644 name": "BEGIN" in any case, longer than 8 characters,
// followed (after blanks) by three decimal digits.
bool IsUUBeginLine(std::string_view line);
// The file name that a begin line announces (quoted or up to the first blank); empty when the
// mode is not the usual three digits.
std::string UUBeginFileName(std::string_view line);

}  // namespace kivo
