#pragma once
// The composer's reading of an address field: the text is cut at line breaks, commas and
// semicolons, typed names without "@" are resolved through the address book (asking when
// several contacts match), and pieces that hold several addresses are split again.

#include <string>
#include <string_view>
#include <vector>

#include "addressbook/KivoAddress.h"
#include "addressbook/KivoChooseAddress.h"

namespace kivo {

// Every non-empty address of the field, trimmed, in order. A piece is also split at blanks
// outside double quotes (a contact's space-separated addresses), unless it holds an address
// in angle brackets or a comment: "Jo Doe <jo@x.org>" and "jo@x.org (Jo)" are one address.
std::vector<std::string> ParseAddresses(std::string_view text, const TfrmAddress& book, int lookup,
                                        TFrmChooseAddress& chooser);

// The field as it reads after the user left it: every address joined with ", ".
std::string JoinAddresses(const std::vector<std::string>& addresses);

// The bare address of one item of a field: "Jo Doe <jo@x.org>" and "jo@x.org (Jo)" give
// jo@x.org; anything else is the item itself. The header writer adds its own brackets.
std::string RecipientAddress(const std::string& item);

// True for a text a server can take as a mailbox: a local part (unquoted without blanks,
// brackets or separators, or in double quotes), "@" and a domain. A name the address book
// did not resolve ("carol") is none.
bool IsMailAddress(std::string_view address);

}  // namespace kivo
