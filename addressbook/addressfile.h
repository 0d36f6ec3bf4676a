#pragma once
// address.ini: the address book file, one contact per line as the comma text of up to three
// fields (first name or nickname, last name, e-mail text). Despite its name it is no INI file.
// A missing file is an empty book; the file is always rewritten whole and atomically.
// What a contact holds beyond the three columns (a nickname kept apart from the first name, a
// card's phone, organisation, note) follows as further fields, each one vCard property line;
// readers that know only three fields read such a line as before.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

struct TContact {
    TContact() = default;
    TContact(std::string first_, std::string last_ = {}, std::string email_ = {},
             std::vector<std::string> extra_ = {})
        : first(std::move(first_)),
          last(std::move(last_)),
          email(std::move(email_)),
          extra(std::move(extra_)) {}

    std::string first;  // first name or nickname
    std::string last;
    // One address, or several joined with ", ".
    std::string email;
    // vCard properties the book has no column for, each a property line without its line
    // break, the value escaped as vCard text ("NICKNAME:cc", "TEL;TYPE=CELL:+1 555 0100",
    // "NOTE:first line\nsecond line").
    std::vector<std::string> extra;

    bool operator==(const TContact&) const = default;
};

// The e-mail text of a stored third field: read as comma text, its items joined with ", ".
std::string EmailText(std::string_view field);

// The value of the contact's first extra property `name` (upper case), unescaped; empty
// when it has none.
std::string ExtraValue(const TContact& contact, std::string_view name);
// The nickname typed to find the contact (the first of a card's nicknames), or empty.
std::string Nickname(const TContact& contact);
// Sets or, with an empty text, removes the nickname.
void SetNickname(TContact& contact, std::string_view nick);
// The contact's addresses, each trimmed, in order.
std::vector<std::string> EmailsOf(const TContact& contact);

// One contact as a line of address.ini: the first name, then the last name and the e-mail
// text when the contact has them (an empty last name is written when an e-mail follows),
// then its extra properties after all three.
std::string ContactLine(const TContact& contact);
// The contact of one line; lines without any field give none.
bool ParseContactLine(std::string_view line, TContact& contact);

// Every contact with at least one field, in file order; throws std::system_error only when
// an existing file cannot be read.
std::vector<TContact> ReadAddressBook(const std::filesystem::path& file);
// Replaces the file with the contacts in the given order; throws std::system_error.
void WriteAddressBook(const std::filesystem::path& file, const std::vector<TContact>& contacts);

}  // namespace kivo
