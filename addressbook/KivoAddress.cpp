#include "addressbook/KivoAddress.h"

#include <algorithm>

#include "addressbook/namesort.h"
#include "base/bytes.h"

namespace kivo {

void TfrmAddress::Init(const std::filesystem::path& addressFile) {
    Load(ReadAddressBook(addressFile));
}

void TfrmAddress::Load(const std::vector<TContact>& contacts) {
    first_.clear();
    last_.clear();
    email_.clear();
    nick_.clear();
    for (const TContact& contact : contacts) {
        first_.push_back(contact.first);
        last_.push_back(contact.last);
        email_.push_back(contact.email);
        nick_.push_back(LowerCase(Nickname(contact)));
    }
}

std::vector<std::string> TfrmAddress::ResolveNick(std::string_view text, int lookup) const {
    const std::string nick = LowerCase(text);
    std::vector<std::string> found;
    if (nick.empty()) return found;
    const auto pass = [&](bool enabled, auto matches) {
        if (!enabled || !found.empty()) return;
        for (std::size_t i = 0; i < email_.size(); ++i) {
            if (matches(i)) found.push_back(email_[i]);
        }
    };
    if (lookup & kLookupFirstName) {
        for (std::size_t i = 0; i < email_.size(); ++i) {
            if (LowerCase(first_[i]) == nick) {
                found.push_back(email_[i]);
            } else if (!nick_[i].empty() && nick_[i] == nick) {
                const std::vector<std::string> emails = EmailsOf({first_[i], last_[i], email_[i]});
                found.push_back(emails.empty() ? std::string() : emails.front());
            }
        }
    }
    pass(lookup & kLookupLastName, [&](std::size_t i) { return LowerCase(last_[i]) == nick; });
    pass(lookup & kLookupEmail, [&](std::size_t i) {
        const std::string email = LowerCase(email_[i]);
        return email.substr(0, email.find('@')) == nick;
    });
    pass(lookup & kLookupEmail,
         [&](std::size_t i) { return LowerCase(first_[i]).starts_with(nick); });
    return found;
}

const std::vector<std::string>& TfrmAddress::Field(TListField field) const {
    if (field == lfFirstName) return first_;
    if (field == lfLastName) return last_;
    return email_;
}

std::vector<std::string> TfrmAddress::Listed(TListField field) const {
    std::vector<std::string> shown;
    for (const std::string& value : Field(field)) {
        std::string trimmed = Trim(value);
        if (!trimmed.empty()) shown.push_back(std::move(trimmed));
    }
    std::sort(shown.begin(), shown.end(), NameLess);
    return shown;
}

std::optional<TContact> TfrmAddress::ContactOfEntry(TListField field,
                                                    std::string_view entry) const {
    const std::vector<std::string>& values = Field(field);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (Trim(values[i]) == entry) return TContact{first_[i], last_[i], email_[i]};
    }
    return std::nullopt;
}

std::string TfrmAddress::EmailOfEntry(TListField field, std::string_view entry) const {
    const std::optional<TContact> contact = ContactOfEntry(field, entry);
    return contact ? contact->email : std::string();
}

}  // namespace kivo
