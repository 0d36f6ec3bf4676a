#pragma once
// The character set outgoing 8-bit text is declared in. Text typed on Linux is UTF-8, so
// text that is valid UTF-8 is sent as "utf-8"; other 8-bit text (older mailboxes) as
// "iso-8859-1". Pure ASCII text is never touched.

#include <string>
#include <string_view>
#include <vector>

#include "base/displaytext.h"

namespace kivo {

bool IsAscii(std::string_view text);
bool IsAscii(const std::vector<std::string>& lines);
// Every line well-formed UTF-8 (IsValidUtf8 of base/displaytext.h).
bool IsValidUtf8(const std::vector<std::string>& lines);

// "utf-8" for valid UTF-8, else "iso-8859-1".
std::string_view EightBitCharset(bool validUtf8);

// Header text (a subject, a display name) as written: ASCII text unchanged, 8-bit text as RFC
// 2047 "Q" encoded words of at most 75 characters, never cutting a UTF-8 character, joined by
// blanks (which a reader drops between adjacent words).
std::string EncodeHeaderText(std::string_view text);

}  // namespace kivo
