#pragma once
// The accounts window without its window: TFrmAccounts holds what the "E-mail Accounts"
// window shows and implements its commands. It edits a working copy, "accounts.bak", and
// writes "accounts.ini" only on OK, so Cancel or a crash never changes the accounts. The
// default account lives in the main settings, which this layer cannot reach: Init is given
// it and OK hands back the one to store.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/account.h"
#include "base/inifile.h"

namespace kivo {

// One line of the account list: the account name and its "check mail" box.
struct AccountEntry {
    std::string name;
    bool checked = true;

    bool operator==(const AccountEntry&) const = default;
};

// The edit fields of the shown account. The window writes what the user types straight into
// them (TFrmAccounts::Fields); the password is plain text here and scrambled when stored.
struct AccountFields {
    std::string account;  // the account name field
    std::string name;
    std::string email;
    std::string popServer;
    std::string popUser;
    std::string password;
    bool skipBig = false;
    std::string skipBigSize = "100";
    std::string smtp;
    bool leaveMail = false;
    bool sound = true;
    std::string sig;  // a name of the signature list, or empty for none
    std::string tag;
    AccountSecurity security;  // its SMTP password plain
    int leaveDays = 0;         // "Delete mail from the server after N days"; 0: never

    bool operator==(const AccountFields&) const = default;
};

// PlainTextPasswordServers of the account the fields describe.
std::vector<std::string> PlainTextPasswordServers(const AccountFields& fields);

// What the accounts window shows. The window layer draws it; tests and the headless
// commands record it.
class AccountsView {
  public:
    virtual ~AccountsView() = default;
    // The account list and its selected line (-1 for none).
    virtual void ShowList(const std::vector<AccountEntry>& entries, int selected) = 0;
    // The fields; the size field is enabled only with "skip big" ticked.
    virtual void ShowFields(const AccountFields& fields, bool sizeEnabled) = 0;
    virtual void ShowSignatures(const std::vector<std::string>& names) = 0;
    // The default-account selector: its choices and the name it shows.
    virtual void ShowDefaultAccount(const std::vector<std::string>& choices,
                                    std::string_view shown) = 0;
    // Puts the focus into the account name field (also: keeps it there).
    virtual void FocusAccountName() = 0;
    virtual void CloseWindow() = 0;
};

// Where the window's files are.
struct AccountsPaths {
    std::filesystem::path accountsFile;     // "accounts.ini"
    std::filesystem::path workingCopy;      // "accounts.bak"
    std::filesystem::path signatureFolder;  // "Signatures"

    static AccountsPaths InProgramFolder(const std::filesystem::path& root);
};

class TFrmAccounts {
  public:
    TFrmAccounts(AccountsPaths paths, AccountsView& view);
    ~TFrmAccounts();  // a window still open is closed: the working copy goes
    TFrmAccounts(const TFrmAccounts&) = delete;
    TFrmAccounts& operator=(const TFrmAccounts&) = delete;

    // Opens the window on the accounts; `defaultAccount` is [Mail] "DefaultAccount".
    void Init(std::string_view defaultAccount);
    // The window became active: an empty list puts the focus into the name field.
    void FormActivate();

    // A click on a list line: saves the shown account and shows the clicked one.
    void AccountsListClick(int index);
    // The check box beside a list line.
    void SetChecked(int index, bool checked);

    // The account name field: entering it, typing in it (renames the current account),
    // leaving it. Leaving is refused (false, focus kept) while the name is not usable.
    void EditAccountEnter();
    void EditAccountChange(std::string_view text);
    bool EditAccountExit();

    AccountFields& Fields() { return fields_; }
    const AccountFields& Fields() const { return fields_; }
    // The "skip messages over" box changed: enables or disables the size field.
    void chkSkipBigClick();
    // The default-account selector opens: its choices become the list's names.
    void ComboAccountDropDown();
    // The user picked a name in the default-account selector.
    void SelectDefaultAccount(std::string_view name);

    void BtnNewClick();
    void BtnDeleteClick();
    // Stores everything and closes. Returns the default account to store in the settings,
    // or nothing when the name field refused to give up the focus. Throws when a file
    // cannot be written; the window is closed then too.
    std::optional<std::string> BtnOKClick();
    void BtnCancelClick();
    // Closing the window by any means: the working copy is deleted.
    void Close();

    bool IsOpen() const { return open_; }
    const std::vector<AccountEntry>& Entries() const { return entries_; }
    int Selected() const { return selected_; }
    bool SizeEnabled() const { return sizeEnabled_; }
    bool NameFocused() const { return nameFocused_; }
    const std::vector<std::string>& Signatures() const { return signatures_; }
    const std::vector<std::string>& DefaultChoices() const { return defaultChoices_; }
    const std::string& DefaultShown() const { return defaultShown_; }
    // The list line of an account: the exact name, else the name without regard to case;
    // -1 when there is none.
    int IndexOf(std::string_view name) const;

    // The window's building blocks, under the names its commands use.
    void PopulateSig();
    void SaveAccountInfo(std::string_view account);
    void LoadAccountInfo(std::string_view account);
    void ClearFields();
    // Renames the current list line to `text`, keeping the list in alphabetical order.
    void UpdateAccount(std::string_view text);

  private:
    int InsertSorted(AccountEntry entry);  // returns its position
    bool LeaveNameField();                 // EditAccountExit when it has the focus
    void FlushWorkingCopy();
    void DeleteWorkingCopy();
    void ShowAll();

    AccountsPaths paths_;
    AccountsView& view_;
    IniFile work_;
    bool open_ = false;
    std::vector<AccountEntry> entries_;
    int selected_ = -1;
    AccountFields fields_;
    bool sizeEnabled_ = false;
    bool nameFocused_ = false;
    // The stored "Sig" of the shown account when no signature file of that name exists.
    std::string unlistedSig_;
    std::vector<std::string> signatures_;
    std::vector<std::string> defaultChoices_;
    std::string defaultShown_;
};

}  // namespace kivo
