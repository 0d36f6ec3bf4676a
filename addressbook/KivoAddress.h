#pragma once
// The mini address list (`TfrmAddress`): the address book held as three parallel lists in
// file order (first names, last names, e-mail texts), the lookup that turns a typed name into
// candidate addresses (`ResolveNick`), and the field the list shows. The window layer draws
// it; it never writes address.ini.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/addressfile.h"

namespace kivo {

// The bits of [Program] "Lookup": which fields a typed name is matched against.
inline constexpr int kLookupFirstName = 1;
inline constexpr int kLookupLastName = 2;
// Also matches first names by their beginning.
inline constexpr int kLookupEmail = 4;
inline constexpr int kLookupDefault = 7;

enum TListField { lfFirstName, lfLastName, lfEmail };

class TfrmAddress {
  public:
    // Reads address.ini into the three lists (a missing file is an empty book).
    void Init(const std::filesystem::path& addressFile);
    void Load(const std::vector<TContact>& contacts);

    const std::vector<std::string>& FirstNames() const { return first_; }
    const std::vector<std::string>& LastNames() const { return last_; }
    const std::vector<std::string>& Emails() const { return email_; }

    // The candidate e-mail texts for a typed text, in file order; a candidate may hold
    // several addresses joined with ", ". Each pass runs only when the earlier found none:
    // first name or nickname equal, last name equal, local part equal, first name beginning
    // with it. A nickname names one person: it stands for the contact's first (preferred)
    // address alone, where a first name stands for all of them (a list of people).
    std::vector<std::string> ResolveNick(std::string_view text, int lookup) const;

    // The field the list shows ("By First/Nickname", "By Last name", "By E-mail address");
    // the e-mail field until the user chooses.
    TListField ShownBy() const { return shown_; }
    void ShowBy(TListField field) { shown_ = field; }

    // The entries shown for a field: its trimmed non-empty values, sorted as names are.
    std::vector<std::string> Listed(TListField field) const;
    std::vector<std::string> Listed() const { return Listed(shown_); }
    // The first contact whose field, trimmed, equals the entry; none when no contact has it.
    std::optional<TContact> ContactOfEntry(TListField field, std::string_view entry) const;
    // "&Copy E-mail Address": the e-mail text of the first contact whose field equals the
    // entry; empty when there is none.
    std::string EmailOfEntry(TListField field, std::string_view entry) const;

  private:
    const std::vector<std::string>& Field(TListField field) const;

    std::vector<std::string> first_;
    std::vector<std::string> last_;
    std::vector<std::string> email_;
    std::vector<std::string> nick_;  // lower case
    TListField shown_ = lfEmail;
};

}  // namespace kivo
