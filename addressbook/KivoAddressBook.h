#pragma once
// The address book editor (`TFrmAddressBook`, "Address Book") without its window: the rows
// of the book, the selected row, the rules by which typed fields change a row, and saving.
// The window layer binds the list and the three fields to it. It writes address.ini only
// on OK.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/addressfile.h"

namespace kivo {

inline constexpr const char* kBookChangedTip =
    "Address book changed -\nclick again to really cancel";

// The e-mail field as one text: split at line breaks, commas and semicolons, each piece
// trimmed; one piece stays as it is, several non-empty pieces are joined with ", ".
std::string JoinEmailField(std::string_view text);

struct TImportResult {
    int added = 0;
    // The rows merged with an imported contact, as the book holds them now.
    std::vector<TContact> merged;
};

// "2 contacts imported", with ", 1 merged" when contacts were in the book already.
std::string ImportSummary(const TImportResult& result);

class TFrmAddressBook {
  public:
    // Fills the rows from address.ini, sorted by first name, and selects the first row.
    void Load(const std::filesystem::path& addressFile);

    const std::vector<TContact>& Rows() const { return rows_; }
    std::optional<std::size_t> Selected() const { return selected_; }
    // With an empty book the fields are disabled.
    bool FieldsEnabled() const { return selected_.has_value(); }
    bool Changed() const { return changed_; }

    void Select(std::size_t row);
    void SetFirstName(std::string_view text);
    void SetLastName(std::string_view text);
    // The nickname kept beside the names (empty removes it).
    void SetNickname(std::string_view text);
    // Typing in the e-mail field: texts of 1000 characters or more are not taken over.
    void SetEmail(std::string_view text);
    // "N&ew": an empty row, selected.
    void New();
    // Adds a contact at the end and selects it.
    void Append(const TContact& contact);
    // Contacts from elsewhere (a vCard file, the command line): a contact the book holds
    // already (one sharing an address with it, or without addresses the same names) is merged
    // into that row, which gains the names, addresses and properties it lacked; the others
    // are appended.
    TImportResult Import(const std::vector<TContact>& contacts);
    // "&Delete": removes the selected row and selects the row now at that place, or the last.
    void Delete();

    // "&OK": writes every row, sorted by first name, and clears the changed mark.
    void OK(const std::filesystem::path& addressFile);
    // "&Cancel": true when the editor may close. With changes the first call refuses (the
    // caller shows kBookChangedTip) and a second call closes; TipExpired re-arms it.
    bool Cancel();
    void TipExpired();

  private:
    TContact* Current();

    std::vector<TContact> rows_;
    std::optional<std::size_t> selected_;
    bool changed_ = false;
    bool cancelArmed_ = false;
};

}  // namespace kivo
