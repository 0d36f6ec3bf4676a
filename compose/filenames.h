#pragma once
// File name helpers for mailbox, script, temporary and attachment names.

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// False for an empty name and for one holding any of \ / : * ? " < > |.
bool ValidFileName(std::string_view name);

// Derives the next name of a numbered series in place: a last digit 1-9 is replaced by the
// next number ("name1" -> "name2", "name9" -> "name10"), anything else gets "1" appended
// after it ("name" -> "name1", "name10" -> "name101"). The result is cut to maxLength
// (at most 255).
void NextNumberedName(std::string& name, std::size_t maxLength);

}  // namespace kivo
