#include "addressbook/addressfile.h"

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/files.h"

namespace kivo {

std::string EmailText(std::string_view field) {
    const std::vector<std::string> items = FromCommaText(field);
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) text += ", ";
        text += item;
    }
    return text;
}

std::string ContactLine(const TContact& contact) {
    std::vector<std::string> fields = {contact.first};
    if (!contact.last.empty() || !contact.email.empty()) fields.push_back(contact.last);
    if (!contact.email.empty()) fields.push_back(contact.email);
    return ToCommaText(fields);
}

bool ParseContactLine(std::string_view line, TContact& contact) {
    const std::vector<std::string> fields = FromCommaText(line);
    if (fields.empty()) return false;
    contact = {};
    contact.first = fields[0];
    if (fields.size() > 1) contact.last = fields[1];
    if (fields.size() > 2) contact.email = EmailText(fields[2]);
    return true;
}

std::vector<TContact> ReadAddressBook(const std::filesystem::path& file) {
    std::vector<TContact> contacts;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return contacts;
    for (const std::string& line : SplitLines(ReadFileBytes(file))) {
        TContact contact;
        if (ParseContactLine(line, contact)) contacts.push_back(std::move(contact));
    }
    return contacts;
}

void WriteAddressBook(const std::filesystem::path& file, const std::vector<TContact>& contacts) {
    std::vector<std::string> lines;
    lines.reserve(contacts.size());
    for (const TContact& contact : contacts) lines.push_back(ContactLine(contact));
    WriteFileAtomic(file, JoinLinesCrLf(lines));
}

}  // namespace kivo
