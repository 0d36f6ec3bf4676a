#pragma once
// The value rules of KivoScript: every variable holds text, and commands read it as an
// integer, a boolean or a list of lines when they need one.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// A 32-bit signed decimal number with an optional sign; leading blanks are allowed.
bool ReadScriptInt(std::string_view text, int& value);
// False for "0", "false", "off" and "no" in any letter case; true for everything else.
bool StrToBool(std::string_view value);
// "1" or "0".
std::string BoolToStr(bool flag);
// The lines of a value, split at CR LF, CR or LF; an empty value has no lines.
std::vector<std::string> ValueLines(std::string_view value);
// Every line followed by CR LF, the last one included.
std::string JoinValueLines(const std::vector<std::string>& lines);

}  // namespace kivo
