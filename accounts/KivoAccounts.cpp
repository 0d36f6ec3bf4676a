#include "accounts/KivoAccounts.h"

#include <algorithm>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "compose/signatures.h"

namespace kivo {

namespace {
constexpr std::string_view kNewAccountName = "Unnamed";
}

AccountsPaths AccountsPaths::InProgramFolder(const std::filesystem::path& root) {
    return {root / "accounts.ini", root / "accounts.bak", root / "Signatures"};
}

TFrmAccounts::TFrmAccounts(AccountsPaths paths, AccountsView& view)
    : paths_(std::move(paths)), view_(view) {}

TFrmAccounts::~TFrmAccounts() {
    if (open_) DeleteWorkingCopy();
}

void TFrmAccounts::Init(std::string_view defaultAccount) {
    entries_.clear();
    selected_ = -1;
    ClearFields();
    PopulateSig();
    DeleteWorkingCopy();
    open_ = true;

    const IniFile accounts(paths_.accountsFile);
    work_ = IniFile(paths_.workingCopy);
    TPasswordStore store = TPasswordStore::ForFolder(paths_.accountsFile.parent_path());
    for (const std::string& section : accounts.Sections()) {
        if (section.empty()) continue;  // "[]" names no account
        // Every key is written explicitly, so the working copy holds all 13, and the
        // passwords wherever they live (the private working copy holds them until OK).
        const Account account = ReadAccount(accounts, section, store);
        WriteAccount(work_, account);
        InsertSorted({section, account.checkMail});
    }
    FlushWorkingCopy();

    std::vector<std::string> names;
    for (const AccountEntry& e : entries_) names.push_back(e.name);
    defaultChoices_ = names;
    defaultShown_ = ResolveDefaultAccount(names, defaultAccount);

    if (entries_.empty()) {
        entries_.push_back({"", true});
        defaultChoices_ = {""};
        selected_ = 0;
    } else {
        selected_ = 0;
        fields_.account = entries_[0].name;
        LoadAccountInfo(entries_[0].name);
    }
    ShowAll();
}

void TFrmAccounts::FormActivate() {
    if (entries_.size() == 1 && entries_[0].name.empty()) {
        nameFocused_ = true;
        view_.FocusAccountName();
    }
}

void TFrmAccounts::AccountsListClick(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size()) || !LeaveNameField()) return;
    if (selected_ >= 0) SaveAccountInfo(entries_[selected_].name);
    selected_ = index;
    fields_.account = entries_[index].name;
    LoadAccountInfo(entries_[index].name);
    ShowAll();
}

void TFrmAccounts::SetChecked(int index, bool checked) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    entries_[index].checked = checked;
    view_.ShowList(entries_, selected_);
}

void TFrmAccounts::EditAccountEnter() {
    nameFocused_ = true;
}

void TFrmAccounts::EditAccountChange(std::string_view text) {
    fields_.account = std::string(text);
    if (nameFocused_) UpdateAccount(text);
}

bool TFrmAccounts::EditAccountExit() {
    const std::string& name = fields_.account;
    bool usable = IsStorableAccountName(name) && !EqualsNoCase(name, "unnamed");
    // Sections are found without regard to case, so "home" and "Home" would be one account.
    const auto same = std::count_if(entries_.begin(), entries_.end(), [&](const AccountEntry& e) {
        return EqualsNoCase(e.name, name);
    });
    if (same > 1) usable = false;
    if (!usable) {
        nameFocused_ = true;
        view_.FocusAccountName();
        return false;
    }
    nameFocused_ = false;
    return true;
}

void TFrmAccounts::chkSkipBigClick() {
    sizeEnabled_ = fields_.skipBig;
    view_.ShowFields(fields_, sizeEnabled_);
}

void TFrmAccounts::ComboAccountDropDown() {
    defaultChoices_.clear();
    for (const AccountEntry& e : entries_) defaultChoices_.push_back(e.name);
    view_.ShowDefaultAccount(defaultChoices_, defaultShown_);
}

void TFrmAccounts::SelectDefaultAccount(std::string_view name) {
    defaultShown_ = std::string(name);
    view_.ShowDefaultAccount(defaultChoices_, defaultShown_);
}

void TFrmAccounts::BtnNewClick() {
    if (!LeaveNameField()) return;
    if (selected_ >= 0) SaveAccountInfo(entries_[selected_].name);
    selected_ = InsertSorted({std::string(kNewAccountName), true});
    // Size, "leave mail", "sound" and signature stay as the account shown before had them.
    ClearFields();
    fields_.account = std::string(kNewAccountName);
    nameFocused_ = true;
    ShowAll();
    view_.FocusAccountName();
}

void TFrmAccounts::BtnDeleteClick() {
    if (selected_ < 0 || entries_.size() <= 1) return;
    const std::string gone = entries_[selected_].name;
    entries_.erase(entries_.begin() + selected_);
    if (selected_ >= static_cast<int>(entries_.size()))
        selected_ = static_cast<int>(entries_.size()) - 1;
    // The name field goes with the deleted account, so it has nothing left to refuse.
    nameFocused_ = false;
    const bool shared = std::any_of(entries_.begin(), entries_.end(), [&](const AccountEntry& e) {
        return EqualsNoCase(e.name, gone);
    });
    if (!gone.empty() && !shared) {
        work_.EraseSection(gone);
        FlushWorkingCopy();
    }
    if (defaultShown_ == gone) {
        std::erase(defaultChoices_, gone);
        defaultShown_ = defaultChoices_.empty() ? std::string() : defaultChoices_.front();
    }
    fields_.account = entries_[selected_].name;
    LoadAccountInfo(entries_[selected_].name);
    ShowAll();
}

std::optional<std::string> TFrmAccounts::BtnOKClick() {
    if (!LeaveNameField()) return std::nullopt;
    try {
        SaveAccountInfo(fields_.account);
        std::string chosen = defaultShown_;
        IniFile fresh;
        TPasswordStore store = TPasswordStore::ForFolder(paths_.accountsFile.parent_path());
        std::vector<std::string> written;
        for (const AccountEntry& e : entries_) {
            // The empty line of an empty list, and a second line of one name, store nothing.
            if (e.name.empty() ||
                std::any_of(written.begin(), written.end(),
                            [&](const std::string& w) { return EqualsNoCase(w, e.name); })) {
                continue;
            }
            work_.WriteBool(e.name, "CheckMail", e.checked);
            Account account = ReadAccount(work_, e.name);
            account.account = e.name;
            WriteAccount(fresh, account, store);
            written.push_back(e.name);
        }
        FlushWorkingCopy();
        const std::vector<std::string> before = IniFile(paths_.accountsFile).Sections();
        WriteFileAtomic(paths_.accountsFile, fresh.Text(), FileAccess::Private);
        // A deleted or renamed account's passwords leave the keyring with it.
        for (const std::string& old : before) {
            if (std::none_of(written.begin(), written.end(),
                             [&](const std::string& w) { return EqualsNoCase(w, old); })) {
                store.Forget({kAccountsFileName, old, "POPPass", kAccountPasswordKey});
                store.Forget({kAccountsFileName, old, "SMTPPass", kAccountPasswordKey});
            }
        }
        Close();
        return chosen;
    } catch (...) {
        Close();
        throw;
    }
}

void TFrmAccounts::BtnCancelClick() {
    Close();
}

void TFrmAccounts::Close() {
    const bool wasOpen = open_;
    open_ = false;
    nameFocused_ = false;
    DeleteWorkingCopy();
    if (wasOpen) view_.CloseWindow();
}

void TFrmAccounts::PopulateSig() {
    signatures_ = SignatureNames(paths_.signatureFolder);
    view_.ShowSignatures(signatures_);
}

std::vector<std::string> PlainTextPasswordServers(const AccountFields& fields) {
    Account a;
    a.popServer = fields.popServer;
    a.popUser = fields.popUser;
    a.SetPassword(fields.password);
    a.smtp = fields.smtp;
    a.security = fields.security;
    a.security.smtpPass = Scramble(fields.security.smtpPass, kAccountPasswordKey);
    return PlainTextPasswordServers(a);
}

void TFrmAccounts::SaveAccountInfo(std::string_view account) {
    if (account.empty()) return;
    // "CheckMail" belongs to the list's check box and is stored on OK.
    Account a = ReadAccount(work_, account);
    a.account = std::string(account);
    a.name = fields_.name;
    a.email = fields_.email;
    a.popServer = fields_.popServer;
    a.popUser = fields_.popUser;
    a.SetPassword(fields_.password);
    a.skipBig = fields_.skipBig;
    a.skipBigSize = fields_.skipBigSize;
    a.leaveMail = fields_.leaveMail;
    a.sound = fields_.sound;
    a.smtp = fields_.smtp;
    // A stored signature whose file is missing is kept, not erased, while none is chosen.
    a.sig = fields_.sig.empty() ? unlistedSig_ : fields_.sig;
    a.tag = fields_.tag;
    a.security = fields_.security;
    a.security.smtpPass = Scramble(fields_.security.smtpPass, kAccountPasswordKey);
    a.leaveDays = std::max(0, fields_.leaveDays);
    WriteAccount(work_, a);
    FlushWorkingCopy();
}

void TFrmAccounts::LoadAccountInfo(std::string_view account) {
    const Account a = ReadAccount(work_, account);
    fields_.account = std::string(account);
    fields_.name = a.name;
    fields_.email = a.email;
    fields_.popServer = a.popServer;
    fields_.popUser = a.popUser;
    fields_.password = a.Password();
    fields_.skipBig = a.skipBig;
    fields_.skipBigSize = a.skipBigSize;
    fields_.smtp = a.smtp;
    fields_.leaveMail = a.leaveMail;
    fields_.sound = a.sound;
    fields_.tag = a.tag;
    fields_.security = a.security;
    fields_.security.smtpPass = Unscramble(a.security.smtpPass, kAccountPasswordKey);
    fields_.leaveDays = a.leaveDays;
    fields_.sig.clear();
    unlistedSig_ = a.sig;
    for (const std::string& s : signatures_) {
        if (EqualsNoCase(s, a.sig)) {
            fields_.sig = s;
            unlistedSig_.clear();
        }
    }
    sizeEnabled_ = a.skipBig;
}

void TFrmAccounts::ClearFields() {
    fields_.account.clear();
    fields_.name.clear();
    fields_.email.clear();
    fields_.popServer.clear();
    fields_.popUser.clear();
    fields_.password.clear();
    fields_.smtp.clear();
    fields_.tag.clear();
    fields_.security = {};
    fields_.skipBig = false;
    sizeEnabled_ = false;
}

void TFrmAccounts::UpdateAccount(std::string_view text) {
    if (selected_ < 0) return;
    AccountEntry entry = entries_[selected_];
    const std::string old = entry.name;
    entries_.erase(entries_.begin() + selected_);
    entry.name = std::string(text);
    selected_ = InsertSorted(entry);
    // The default selector follows its account through a rename.
    if (defaultShown_ == old) defaultShown_ = entry.name;
    std::replace(defaultChoices_.begin(), defaultChoices_.end(), old, entry.name);
    view_.ShowList(entries_, selected_);
    view_.ShowDefaultAccount(defaultChoices_, defaultShown_);
}

int TFrmAccounts::IndexOf(std::string_view name) const {
    int found = -1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].name == name) return static_cast<int>(i);
        if (found < 0 && EqualsNoCase(entries_[i].name, name)) found = static_cast<int>(i);
    }
    return found;
}

int TFrmAccounts::InsertSorted(AccountEntry entry) {
    auto at = std::upper_bound(entries_.begin(), entries_.end(), entry.name,
                               [](const std::string& name, const AccountEntry& e) {
                                   return AccountNameLess(name, e.name);
                               });
    at = entries_.insert(at, std::move(entry));
    return static_cast<int>(at - entries_.begin());
}

bool TFrmAccounts::LeaveNameField() {
    return !nameFocused_ || EditAccountExit();
}

void TFrmAccounts::FlushWorkingCopy() {
    WriteFileAtomic(paths_.workingCopy, work_.Text(), FileAccess::Private);
}

void TFrmAccounts::DeleteWorkingCopy() {
    std::error_code ec;
    std::filesystem::remove(paths_.workingCopy, ec);
}

void TFrmAccounts::ShowAll() {
    view_.ShowList(entries_, selected_);
    view_.ShowFields(fields_, sizeEnabled_);
    view_.ShowDefaultAccount(defaultChoices_, defaultShown_);
}

}  // namespace kivo
