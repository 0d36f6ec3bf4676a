#include "addressbook/addressfile.h"

#include <algorithm>

#include "addressbook/vcard.h"
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

namespace {

// The property name of an extra line: up to its first ";" or ":".
std::string_view PropertyName(std::string_view line) {
    return line.substr(0, line.find_first_of(";:"));
}

}  // namespace

std::string ExtraValue(const TContact& contact, std::string_view name) {
    for (const std::string& line : contact.extra) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && PropertyName(line) == name)
            return UnescapeVCardText(std::string_view(line).substr(colon + 1));
    }
    return {};
}

std::string Nickname(const TContact& contact) {
    for (const std::string& line : contact.extra) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || PropertyName(line) != "NICKNAME") continue;
        // Several nicknames are separated by unescaped commas; the first is the one typed.
        std::string_view value = std::string_view(line).substr(colon + 1);
        std::size_t end = 0;
        while (end < value.size() && value[end] != ',') end += value[end] == '\\' ? 2 : 1;
        return Trim(UnescapeVCardText(value.substr(0, std::min(end, value.size()))));
    }
    return {};
}

void SetNickname(TContact& contact, std::string_view nick) {
    std::erase_if(contact.extra,
                  [](const std::string& line) { return PropertyName(line) == "NICKNAME"; });
    const std::string trimmed = Trim(nick);
    if (!trimmed.empty())
        contact.extra.insert(contact.extra.begin(), "NICKNAME:" + EscapeVCardText(trimmed));
}

std::vector<std::string> EmailsOf(const TContact& contact) {
    std::vector<std::string> emails;
    for (const std::string& item : FromCommaText(contact.email)) {
        std::string email = Trim(item);
        if (!email.empty()) emails.push_back(std::move(email));
    }
    return emails;
}

std::string ContactLine(const TContact& contact) {
    std::vector<std::string> fields = {contact.first};
    const bool extra = !contact.extra.empty();
    if (!contact.last.empty() || !contact.email.empty() || extra) fields.push_back(contact.last);
    if (!contact.email.empty() || extra) fields.push_back(contact.email);
    fields.insert(fields.end(), contact.extra.begin(), contact.extra.end());
    return ToCommaText(fields);
}

bool ParseContactLine(std::string_view line, TContact& contact) {
    const std::vector<std::string> fields = FromCommaText(line);
    if (fields.empty()) return false;
    contact = {};
    contact.first = fields[0];
    if (fields.size() > 1) contact.last = fields[1];
    if (fields.size() > 2) contact.email = EmailText(fields[2]);
    for (std::size_t i = 3; i < fields.size(); ++i) {
        // Only property lines: a stray item another program put there is no property.
        const std::string& field = fields[i];
        const std::size_t colon = field.find(':');
        if (colon != std::string::npos && colon > 0 &&
            field.find_first_of("\r\n") == std::string::npos)
            contact.extra.push_back(field);
    }
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
