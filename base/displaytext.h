#pragma once
// Text on its way to a screen, a printer or a terminal. Everything shown is UTF-8; stored text
// that is not valid UTF-8 (mailboxes written before text was stored as UTF-8, or by other
// programs) is read as Windows-1252, the charset such mail most often came in. Stored bytes
// are never changed: only what is shown is converted.

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);
// Appends a character as UTF-8; a surrogate or a value past U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);
// The length of the well-formed UTF-8 sequence starting at `pos`, or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// The first `chars` characters of `text`, never ending inside a character: code points when
// the text is valid UTF-8, otherwise bytes (each one Windows-1252 character, as DisplayText
// reads it).
std::string_view CharPrefix(std::string_view text, std::size_t chars);

// `text` as UTF-8: unchanged when it is valid UTF-8, otherwise every byte read as
// Windows-1252 (the five bytes that charset leaves undefined become U+FFFD).
std::string DisplayText(std::string_view text);

// DisplayText for a terminal or a window's label: control characters shown visibly
// (VisibleControls), so a message cannot retitle, clear or reprogram the terminal.
std::string TerminalText(std::string_view text);
// DisplayText for one field of tab-separated output (FieldText): a field never splits a
// column or a line.
std::string TerminalField(std::string_view text);

}  // namespace kivo
