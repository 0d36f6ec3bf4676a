#pragma once
// Comma text: the one-line form of a list of strings used by index files, the filter lists,
// the queue's "X-Bcc:" line and the address book.
//
// Writing: items joined by commas; an item holding a blank, a comma, a double quote or a
// control character goes in double quotes with inner quotes doubled; a list of exactly one
// empty item is written as "".
// Reading: splits at commas and, outside quotes, at runs of blanks and control characters; a
// quoted run is one item with its doubled quotes undoubled; a trailing empty item after the
// last comma is lost.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

std::string ToCommaText(const std::vector<std::string>& items);
std::vector<std::string> FromCommaText(std::string_view text);

}  // namespace kivo
