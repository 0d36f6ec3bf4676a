#pragma once
// File name helpers for mailbox, script, temporary and attachment names.

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// False for an empty name and for one holding any of \ / : * ? " < > |.
bool ValidFileName(std::string_view name);

// The next name of a numbered series (store/freename.h) in place, cut to maxLength (at most
// 255): "name" -> "name1", "name9" -> "name10", "name10" -> "name101".
void NextNumberedName(std::string& name, std::size_t maxLength);

}  // namespace kivo
