#pragma once
// One mail account as "accounts.ini" stores it: a section named after the account with 13
// keys. Checking mail, sending and the composer read accounts through these functions; the
// accounts window edits them through its working copy (KivoAccounts.h).

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/inifile.h"
#include "base/scramble.h"
#include "base/secretstore.h"
#include "net/agsocket.h"

namespace kivo {

// The keys of an account section, in the order they are written.
inline constexpr std::array<std::string_view, 13> kAccountKeys = {
    "Name", "Email",     "POPServer", "POPUser", "POPPass", "SkipBig", "SkipBigSize",
    "SMTP", "CheckMail", "LeaveMail", "Sound",   "Sig",     "Tag"};

// The keys of secure connections and SMTP log-in, written after the 13 and only when set, so
// an account without them reads, writes and connects exactly as before they existed.
inline constexpr std::array<std::string_view, 6> kSecureAccountKeys = {
    "POPSecurity", "SMTPSecurity", "SMTPAuth", "SMTPUser", "SMTPPass", "TrustCert"};

// Days after which mail left on the server is deleted from it; written after the secure keys
// and only when above 0.
inline constexpr std::string_view kLeaveDaysKey = "LeaveDays";

// The value a missing key reads as ("1" and "0" for the booleans).
std::string_view AccountKeyDefault(std::string_view key);

// Whether `value` is one a secure key takes: "POPSecurity" none, stls or tls;
// "SMTPSecurity" none, starttls or tls; "SMTPAuth" none, pop or own; the others any text.
bool IsSecureKeyValue(std::string_view key, std::string_view value);

// How an account connects and logs in beyond plain POP3 and unauthenticated SMTP.
struct AccountSecurity {
    std::string popSecurity;   // "none" (also empty), "stls", "tls"
    std::string smtpSecurity;  // "none" (also empty), "starttls", "tls"
    std::string smtpAuth;      // "none" (also empty), "pop": the POP user and password, "own"
    std::string smtpUser;
    std::string smtpPass;   // scrambled like POPPass in an Account, plain in the window's fields
    std::string trustCert;  // SHA-256 fingerprint of a certificate trusted as it is

    bool operator==(const AccountSecurity&) const = default;
};

// The field of a secure key (letter case ignored), or null when `key` is none of them.
std::string* SecureKeyField(AccountSecurity& security, std::string_view key);

// An account with every key read; the password is kept as stored (scrambled).
struct Account {
    std::string account;  // the section name
    std::string name;     // the user's full name
    std::string email;
    std::string popServer;
    std::string popUser;
    // Scrambled in memory; read and written through a TPasswordStore it is the password
    // wherever it lives (the keyring or the file), through ReadAccount alone what the file holds.
    std::string popPass;
    bool skipBig = false;
    std::string skipBigSize;  // kilobytes, kept as typed
    std::string smtp;
    bool checkMail = true;
    bool leaveMail = false;
    bool sound = true;
    std::string sig = "Default";
    std::string tag;
    AccountSecurity security;
    // "LeaveDays": mail left on the server goes from it this many days after its date (the
    // Date the leave-on-server list keeps); 0 keeps it there. Written only when set.
    int leaveDays = 0;

    std::string Password() const;              // unscrambled
    void SetPassword(std::string_view plain);  // scrambles
    // A value other than the known ones asks for TLS: a typing error never means plain text.
    TSecurity PopSecurity() const;
    TSecurity SmtpSecurity() const;
    // The SMTP log-in: empty user for none; the POP user and password for "pop".
    std::string SmtpAuthUser() const;
    std::string SmtpAuthPassword() const;  // unscrambled
    // The size limit in kilobytes; a value that is not a number counts as 0.
    int SkipBigKilobytes() const;
};

// The servers the account would send a password to without TLS ("the POP server HOST", "the
// SMTP server HOST"); empty when every password it sends goes encrypted or none is sent.
std::vector<std::string> PlainTextPasswordServers(const Account& account);

// Reads one section with the defaults for missing keys.
Account ReadAccount(const IniFile& ini, std::string_view section);
// Writes all 13 keys of the account into its section, in key order, then the secure keys
// that are set.
void WriteAccount(IniFile& ini, const Account& account);

inline constexpr std::string_view kAccountsFileName = "accounts.ini";

// ReadAccount with "POPPass" and "SMTPPass" from wherever they live; `moved` is set when a
// password found in the file was stored in the keyring (the file's value may then be emptied).
Account ReadAccount(const IniFile& ini, std::string_view section, TPasswordStore& store,
                    bool* moved = nullptr);
// WriteAccount with the passwords put where the store keeps them.
void WriteAccount(IniFile& ini, const Account& account, TPasswordStore& store);

// Every account of the file in file order (the order checking mail walks them), with its
// passwords from the program folder's store. Passwords still scrambled in the file are moved
// into the keyring when there is one, and emptied in the file.
std::vector<Account> ReadAccounts(const std::filesystem::path& accountsFile);

// The account whose SMTP log-in and security apply to `server`: the default account when its
// "SMTP" names the server, else the first account whose "SMTP" does, else the default account
// when `isDefaultServer` (the program's own SMTP server or the fallback); null when none.
const Account* SmtpAccountFor(const std::vector<Account>& accounts, std::string_view server,
                              std::string_view defaultAccount, bool isDefaultServer);

// The order the accounts window lists accounts in: letter case ignored, ties by bytes.
bool AccountNameLess(std::string_view a, std::string_view b);
void SortAccountNames(std::vector<std::string>& names);

// The default account: `configured` when it names one of `names` (letter case ignored, the
// stored spelling returned), else the first name in alphabetical order, else empty.
std::string ResolveDefaultAccount(const std::vector<std::string>& names,
                                  std::string_view configured);

// Whether a name can be stored as a section and read back unchanged: not empty, no blanks
// at either end, no square brackets, no control characters.
bool IsStorableAccountName(std::string_view name);

}  // namespace kivo
