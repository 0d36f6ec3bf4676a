#include "addressbook/addsender.h"

#include <algorithm>

#include "addressbook/KivoAddress.h"
#include "addressbook/KivoAddressBook.h"
#include "base/bytes.h"
#include "store/KivoIndex.h"
#include "store/mailaddress.h"
#include "store/mbxfile.h"
#include "store/msgops.h"

namespace kivo {

namespace {

// Bytes of UTF-8 letters (Ä, œ) count as letters, so a name is not cut at its ends.
bool IsAlnum(char c) {
    const char lower = LowerChar(c);
    return (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Drops characters from both ends until a letter or digit stands there (one always stays).
std::string CleanEnds(std::string name) {
    while (name.size() > 1 && !IsAlnum(name.front())) name.erase(0, 1);
    while (name.size() > 1 && !IsAlnum(name.back())) name.pop_back();
    return Trim(name);
}

std::string WithoutAt(std::string text) {
    std::erase(text, '@');
    return Trim(text);
}

}  // namespace

std::optional<TContact> SenderContact(std::string_view fromValue) {
    if (TrimView(fromValue).empty()) return std::nullopt;
    const std::string address = ExtractAddress(fromValue);
    std::string name = CleanEnds(ExtractName(fromValue));
    // A value that is only an address has no name: the local part serves as the first name
    // (taking the address itself would store it with its "@" removed).
    if (name.find('@') != std::string::npos) name.clear();
    TContact contact;
    const std::size_t firstBlank = name.find(' ');
    contact.first = Trim(name.substr(0, firstBlank));
    if (firstBlank != std::string::npos) contact.last = Trim(name.substr(name.rfind(' ') + 1));
    if (contact.first.empty() || (contact.first.size() == 1 && !IsAlnum(contact.first[0])))
        contact.first = Trim(address.substr(0, address.find('@')));
    if (address.find('@') == std::string::npos) return std::nullopt;
    contact.first = WithoutAt(contact.first);
    contact.last = WithoutAt(contact.last);
    contact.email = Trim(address);
    return contact;
}

TAddSenderResult AddSender(std::string_view fromValue, const std::filesystem::path& addressFile,
                           int lookup) {
    const std::optional<TContact> contact = SenderContact(fromValue);
    if (!contact) return TAddSenderResult::Nothing;
    TfrmAddress list;
    list.Init(addressFile);
    const std::vector<std::string> found = list.ResolveNick(contact->first, lookup);
    if (found.size() == 1 && found[0] == contact->email) return TAddSenderResult::AlreadyThere;
    TFrmAddressBook editor;
    editor.Load(addressFile);
    editor.Append(*contact);
    editor.OK(addressFile);
    return TAddSenderResult::Added;
}

TAddSenderResult AddSenderOfFocused(const TFrmIndex& window,
                                    const std::filesystem::path& addressFile, int lookup) {
    const int row = window.Focused();
    if (row < 0 || row >= window.RowCount()) return TAddSenderResult::Nothing;
    const TShownLines message = ExtractForView(window, window.Row(row).Number);
    return AddSender(HeaderValue("From:", message.headers), addressFile, lookup);
}

}  // namespace kivo
