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

namespace kivo {

// The keys of an account section, in the order they are written.
inline constexpr std::array<std::string_view, 13> kAccountKeys = {
    "Name", "Email",     "POPServer", "POPUser", "POPPass", "SkipBig", "SkipBigSize",
    "SMTP", "CheckMail", "LeaveMail", "Sound",   "Sig",     "Tag"};

// The value a missing key reads as ("1" and "0" for the booleans).
std::string_view AccountKeyDefault(std::string_view key);

// An account with every key read; the password is kept as stored (scrambled).
struct Account {
    std::string account;  // the section name
    std::string name;     // the user's full name
    std::string email;
    std::string popServer;
    std::string popUser;
    std::string popPass;  // scrambled, as stored
    bool skipBig = false;
    std::string skipBigSize;  // kilobytes, kept as typed
    std::string smtp;
    bool checkMail = true;
    bool leaveMail = false;
    bool sound = true;
    std::string sig = "Default";
    std::string tag;

    std::string Password() const;              // unscrambled
    void SetPassword(std::string_view plain);  // scrambles
    // The size limit in kilobytes; a value that is not a number counts as 0.
    int SkipBigKilobytes() const;
};

// Reads one section with the defaults for missing keys.
Account ReadAccount(const IniFile& ini, std::string_view section);
// Writes all 13 keys of the account into its section, in key order.
void WriteAccount(IniFile& ini, const Account& account);

// Every account of the file in file order (the order checking mail walks them).
std::vector<Account> ReadAccounts(const std::filesystem::path& accountsFile);

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
