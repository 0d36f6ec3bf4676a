#include "accounts/account.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

namespace {
// Where each key lives in an Account; every key is in exactly one of the two tables.
struct TextKey {
    std::string_view key;
    std::string Account::*member;
};
struct FlagKey {
    std::string_view key;
    bool Account::*member;
};
constexpr TextKey kTextKeys[] = {{"Name", &Account::name},
                                 {"Email", &Account::email},
                                 {"POPServer", &Account::popServer},
                                 {"POPUser", &Account::popUser},
                                 {"POPPass", &Account::popPass},
                                 {"SkipBigSize", &Account::skipBigSize},
                                 {"SMTP", &Account::smtp},
                                 {"Sig", &Account::sig},
                                 {"Tag", &Account::tag}};
constexpr FlagKey kFlagKeys[] = {{"SkipBig", &Account::skipBig},
                                 {"CheckMail", &Account::checkMail},
                                 {"LeaveMail", &Account::leaveMail},
                                 {"Sound", &Account::sound}};
}  // namespace

std::string_view AccountKeyDefault(std::string_view key) {
    if (EqualsNoCase(key, "CheckMail") || EqualsNoCase(key, "Sound")) return "1";
    if (EqualsNoCase(key, "SkipBig") || EqualsNoCase(key, "LeaveMail")) return "0";
    if (EqualsNoCase(key, "Sig")) return "Default";
    return "";
}

namespace {
// Where each secure key lives in AccountSecurity, in kSecureAccountKeys order.
constexpr std::string AccountSecurity::*kSecureMembers[] = {
    &AccountSecurity::popSecurity, &AccountSecurity::smtpSecurity, &AccountSecurity::smtpAuth,
    &AccountSecurity::smtpUser,    &AccountSecurity::smtpPass,     &AccountSecurity::trustCert};

bool OneOf(std::string_view value, std::initializer_list<std::string_view> choices) {
    return std::any_of(choices.begin(), choices.end(),
                       [&](std::string_view c) { return EqualsNoCase(value, c); });
}

TSecurity ParseSecurity(std::string_view value, std::string_view upgrade) {
    if (value.empty() || EqualsNoCase(value, "none")) return TSecurity::none;
    if (EqualsNoCase(value, upgrade)) return TSecurity::upgrade;
    return TSecurity::implicit;
}
}  // namespace

std::string* SecureKeyField(AccountSecurity& security, std::string_view key) {
    for (std::size_t i = 0; i < kSecureAccountKeys.size(); ++i)
        if (EqualsNoCase(key, kSecureAccountKeys[i])) return &(security.*kSecureMembers[i]);
    return nullptr;
}

bool IsSecureKeyValue(std::string_view key, std::string_view value) {
    if (EqualsNoCase(key, "POPSecurity")) return OneOf(value, {"none", "stls", "tls"});
    if (EqualsNoCase(key, "SMTPSecurity")) return OneOf(value, {"none", "starttls", "tls"});
    if (EqualsNoCase(key, "SMTPAuth")) return OneOf(value, {"none", "pop", "own"});
    return true;
}

TSecurity Account::PopSecurity() const {
    return ParseSecurity(Trim(security.popSecurity), "stls");
}

TSecurity Account::SmtpSecurity() const {
    return ParseSecurity(Trim(security.smtpSecurity), "starttls");
}

std::string Account::SmtpAuthUser() const {
    const std::string auth = Trim(security.smtpAuth);
    if (EqualsNoCase(auth, "pop")) return popUser;
    if (EqualsNoCase(auth, "own")) return security.smtpUser;
    return {};
}

std::string Account::SmtpAuthPassword() const {
    const std::string auth = Trim(security.smtpAuth);
    if (EqualsNoCase(auth, "pop")) return Password();
    if (EqualsNoCase(auth, "own")) return Unscramble(security.smtpPass, kAccountPasswordKey);
    return {};
}

std::vector<std::string> PlainTextPasswordServers(const Account& account) {
    std::vector<std::string> servers;
    if (!Trim(account.popServer).empty() && !account.Password().empty() &&
        account.PopSecurity() == TSecurity::none)
        servers.push_back("the POP server " + Trim(account.popServer));
    if (!Trim(account.smtp).empty() && !account.SmtpAuthPassword().empty() &&
        account.SmtpSecurity() == TSecurity::none)
        servers.push_back("the SMTP server " + Trim(account.smtp));
    return servers;
}

std::string Account::Password() const {
    return Unscramble(popPass, kAccountPasswordKey);
}

void Account::SetPassword(std::string_view plain) {
    popPass = Scramble(plain, kAccountPasswordKey);
}

int Account::SkipBigKilobytes() const {
    return ToIntDef(Trim(skipBigSize), 0);
}

Account ReadAccount(const IniFile& ini, std::string_view section) {
    Account a;
    a.account = std::string(section);
    for (const TextKey& k : kTextKeys) {
        a.*k.member = ini.ReadString(section, k.key, AccountKeyDefault(k.key));
    }
    for (const FlagKey& k : kFlagKeys) {
        a.*k.member = ini.ReadBool(section, k.key, AccountKeyDefault(k.key) == "1");
    }
    for (std::size_t i = 0; i < kSecureAccountKeys.size(); ++i)
        a.security.*kSecureMembers[i] = ini.ReadString(section, kSecureAccountKeys[i], "");
    a.leaveDays = std::max(0, ToIntDef(Trim(ini.ReadString(section, kLeaveDaysKey, "")), 0));
    return a;
}

void WriteAccount(IniFile& ini, const Account& a) {
    for (std::string_view key : kAccountKeys) {
        for (const TextKey& k : kTextKeys) {
            if (k.key == key) ini.WriteString(a.account, key, a.*k.member);
        }
        for (const FlagKey& k : kFlagKeys) {
            if (k.key == key) ini.WriteBool(a.account, key, a.*k.member);
        }
    }
    for (std::size_t i = 0; i < kSecureAccountKeys.size(); ++i) {
        const std::string& value = a.security.*kSecureMembers[i];
        if (value.empty())
            ini.DeleteKey(a.account, kSecureAccountKeys[i]);
        else
            ini.WriteString(a.account, kSecureAccountKeys[i], value);
    }
    if (a.leaveDays > 0)
        ini.WriteString(a.account, kLeaveDaysKey, std::to_string(a.leaveDays));
    else
        ini.DeleteKey(a.account, kLeaveDaysKey);
}

namespace {

TSecretName PopPassName(std::string_view account) {
    return {kAccountsFileName, account, "POPPass", kAccountPasswordKey};
}

TSecretName SmtpPassName(std::string_view account) {
    return {kAccountsFileName, account, "SMTPPass", kAccountPasswordKey};
}

}  // namespace

Account ReadAccount(const IniFile& ini, std::string_view section, TPasswordStore& store,
                    bool* moved) {
    Account a = ReadAccount(ini, section);
    a.SetPassword(store.Read(ini, PopPassName(section), moved));
    a.security.smtpPass =
        Scramble(store.Read(ini, SmtpPassName(section), moved), kAccountPasswordKey);
    return a;
}

void WriteAccount(IniFile& ini, const Account& account, TPasswordStore& store) {
    WriteAccount(ini, account);
    store.Write(ini, PopPassName(account.account), account.Password());
    const std::string smtpPass = Unscramble(account.security.smtpPass, kAccountPasswordKey);
    if (smtpPass.empty()) {
        store.Forget(SmtpPassName(account.account));
    } else {
        store.Write(ini, SmtpPassName(account.account), smtpPass);
    }
}

std::vector<Account> ReadAccounts(const std::filesystem::path& accountsFile) {
    IniFile ini(accountsFile);
    TPasswordStore store = TPasswordStore::ForFolder(accountsFile.parent_path());
    std::vector<Account> accounts;
    bool moved = false;
    for (const std::string& section : ini.Sections())
        accounts.push_back(ReadAccount(ini, section, store, &moved));
    if (moved) {
        // The keyring holds them now: the file keeps no copy.
        for (const Account& a : accounts) {
            for (const TSecretName& name : {PopPassName(a.account), SmtpPassName(a.account)}) {
                if (!ini.ReadString(name.section, name.key, "").empty())
                    ini.WriteString(name.section, name.key, "");
            }
        }
        try {
            WriteFileAtomic(accountsFile, ini.Text(), FileAccess::Private);
        } catch (const std::exception&) {
            // The file keeps its scrambled copies until a later read moves them again.
        }
    }
    return accounts;
}

const Account* SmtpAccountFor(const std::vector<Account>& accounts, std::string_view server,
                              std::string_view defaultAccount, bool isDefaultServer) {
    const Account* chosen = nullptr;
    const Account* fallback = nullptr;
    for (const Account& a : accounts) {
        const bool isDefault = a.account == defaultAccount;
        if (isDefault) fallback = &a;
        if (!EqualsNoCase(Trim(a.smtp), Trim(server))) continue;
        if (isDefault || !chosen) chosen = &a;
        if (isDefault) break;
    }
    if (chosen) return chosen;
    return isDefaultServer ? fallback : nullptr;
}

bool AccountNameLess(std::string_view a, std::string_view b) {
    const std::string la = LowerCase(a);
    const std::string lb = LowerCase(b);
    if (la != lb) return la < lb;
    return a < b;
}

void SortAccountNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return AccountNameLess(a, b);
    });
}

std::string ResolveDefaultAccount(const std::vector<std::string>& names,
                                  std::string_view configured) {
    if (!configured.empty()) {
        for (const std::string& n : names) {
            if (EqualsNoCase(n, configured)) return n;
        }
    }
    std::vector<std::string> sorted = names;
    SortAccountNames(sorted);
    return sorted.empty() ? std::string() : sorted.front();
}

bool IsStorableAccountName(std::string_view name) {
    if (name.empty() || TrimView(name).size() != name.size()) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '[' || c == ']' || static_cast<unsigned char>(c) < 32 || c == 127;
    });
}

}  // namespace kivo
