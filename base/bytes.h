#pragma once
// Byte-string helpers. Text in Kivo is 8-bit bytes held in std::string with no charset
// conversion; case folding touches ASCII letters only, so 8-bit text is never mangled
// (FoldCaseUtf8 alone also folds UTF-8 capitals, keeping every byte length).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The length bound of the many short text fields (subjects in the index, account names, ...).
inline constexpr std::size_t kShortTextMax = 255;

// Cuts text to kShortTextMax bytes; used only where a field is specified as bounded.
std::string CutShort(std::string_view text);

// Trimming removes every byte with a code up to 32 (blanks and control characters).
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
char LowerChar(char c);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Position of needle in text ignoring ASCII case, or npos.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

// The bytes of text with its %XX escapes decoded; a "%" without two hex digits after it stays.
std::string PercentDecoded(std::string_view text);

// Text with ASCII capitals and the two-byte UTF-8 capitals of Latin-1, Latin Extended-A,
// Greek and Cyrillic in lower case; every character keeps its byte length, so a position in
// the result is the same position in the text. Other bytes stay as they are.
std::string FoldCaseUtf8(std::string_view text);

// Whole decimal number with optional sign and no other characters; false when not a 32-bit int.
bool ParseInt(std::string_view text, int& value);
int ToIntDef(std::string_view text, int fallback);

// Splits text into lines at LF, dropping one CR before each LF; a final line without a
// line end is kept, an empty text gives no lines.
std::vector<std::string> SplitLines(std::string_view text);
// The non-empty words of a line between any of the separator characters.
std::vector<std::string> SplitWords(std::string_view line, std::string_view separators = " ");
// Joins lines, each ended by CR LF.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

// FNV-1a, 64 bits: a quick digest that tells whether bytes stayed as they were (not a
// defence against anyone). Pass the previous result as `hash` to go on over more bytes.
constexpr std::uint64_t kFnvStart = 14695981039346656037ull;
std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash = kFnvStart);

}  // namespace kivo
