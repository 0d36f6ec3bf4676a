#pragma once
// address.ini: the address book file, one contact per line as the comma text of up to three
// fields (first name or nickname, last name, e-mail text). Despite its name it is no INI file.
// A missing file is an empty book; the file is always rewritten whole and atomically.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct TContact {
    std::string first;  // first name or nickname
    std::string last;
    // One address, or several joined with ", ".
    std::string email;

    bool operator==(const TContact&) const = default;
};

// The e-mail text of a stored third field: read as comma text, its items joined with ", ".
std::string EmailText(std::string_view field);

// One contact as a line of address.ini: the first name, then the last name and the e-mail
// text when the contact has them (an empty last name is written when an e-mail follows).
std::string ContactLine(const TContact& contact);
// The contact of one line; lines without any field give none.
bool ParseContactLine(std::string_view line, TContact& contact);

// Every contact with at least one field, in file order; throws std::system_error only when
// an existing file cannot be read.
std::vector<TContact> ReadAddressBook(const std::filesystem::path& file);
// Replaces the file with the contacts in the given order; throws std::system_error.
void WriteAddressBook(const std::filesystem::path& file, const std::vector<TContact>& contacts);

}  // namespace kivo
