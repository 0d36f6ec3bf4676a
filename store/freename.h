#pragma once
// Free file names for files the program writes beside others (attachments, saved parts):
// a taken name is changed by numbering until no file of that name exists.

#include <filesystem>
#include <string>
#include <string_view>

namespace kivo {

// The numbering rule: a last character from 1 to 9 is replaced by the number one higher
// (9 becomes 10); otherwise (0 or no digit) a 1 is appended. From "report" this gives
// report1 ... report9, report10, report101, report102, ...
std::string NextNumberedName(std::string_view name);

// `base` + `extension` in `dir`, with `base` renumbered while a file of that name exists
// (names compared without regard to case).
std::filesystem::path FreeFileName(const std::filesystem::path& dir, std::string_view base,
                                   std::string_view extension);

}  // namespace kivo
