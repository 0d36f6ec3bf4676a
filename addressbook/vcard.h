#pragma once
// vCard files (RFC 2426 version 3.0, RFC 6350 version 4.0, and the 2.1 cards older programs
// still write) for moving contacts between Kivo's address book and other programs. A card
// carries the first name or nickname, the last name and every address; nothing else of a
// card has a place in the book and is ignored.

#include <string>
#include <string_view>
#include <vector>

#include "addressbook/addressfile.h"

namespace kivo {

// Every card of the text that has a name or an address. Lenient: folded lines, quoted-
// printable values (with soft line breaks), groups ("item1.EMAIL") and parameters in any
// case; ISO-8859-1 values become UTF-8. Never throws.
std::vector<TContact> ReadVCards(std::string_view text);

// vCard 3.0 text for the contacts: N, FN, NICKNAME (the book's first field, which is what the
// user types to find the contact) and one EMAIL per address; lines folded at 75 bytes
// without cutting a UTF-8 character, CR LF line ends.
std::string WriteVCards(const std::vector<TContact>& contacts);

}  // namespace kivo
