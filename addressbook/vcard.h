#pragma once
// vCard files (RFC 2426 version 3.0, RFC 6350 version 4.0, and the 2.1 cards older programs
// still write) for moving contacts between Kivo's address book and other programs. A card's
// names and addresses fill the book's columns; its other properties (nickname, phone,
// organisation, note, ...) are kept with the contact and written back on export.

#include <string>
#include <string_view>
#include <vector>

#include "addressbook/addressfile.h"

namespace kivo {

// Every card of the text that has a name or an address. Lenient: folded lines, quoted-
// printable values (with soft line breaks), groups ("item1.EMAIL") and parameters in any
// case; ISO-8859-1 values become UTF-8. The addresses a card prefers (PREF) come first.
// Never throws.
std::vector<TContact> ReadVCards(std::string_view text);

// vCard 3.0 text for the contacts: N, FN, NICKNAME (the contact's nickname, else the book's
// first field, which is what the user types to find the contact), one EMAIL per address and
// the contact's other properties; lines folded at 75 bytes without cutting a UTF-8
// character, CR LF line ends.
std::string WriteVCards(const std::vector<TContact>& contacts);

// vCard text escaping: "\\", "\,", "\;" and "\n" for a line break; and undone.
std::string EscapeVCardText(std::string_view text);
std::string UnescapeVCardText(std::string_view value);

}  // namespace kivo
