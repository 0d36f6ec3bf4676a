#pragma once
// The program folder and the data folders and files inside it. Everything Kivo keeps lives
// here: settings, accounts, the address book, the mail folder and the leave-on-server list.

#include <filesystem>
#include <optional>
#include <string>

namespace kivo {

namespace fs = std::filesystem;

struct ProgramFolder {
    fs::path root;

    fs::path MailFolder() const { return root / "Mail"; }
    fs::path SignatureFolder() const { return root / "Signatures"; }
    fs::path ScriptFolder() const { return root / "Scripts"; }
    fs::path HelpFolder() const { return root / "Help"; }
    // The attachment folder unless the settings name another one.
    fs::path DefaultAttachFolder() const { return root / "Attach"; }
    fs::path SettingsFile() const { return root / "kivo.ini"; }
    fs::path AccountsFile() const { return root / "accounts.ini"; }
    fs::path AddressFile() const { return root / "address.ini"; }
    fs::path LeaveOnServerFile() const { return root / "lmos.dat"; }
    fs::path InstanceSocket() const { return root / ".kivo.sock"; }

    // Where the program folder is: the --home option, else $KIVO_HOME, else the executable's
    // folder when writable, else $XDG_DATA_HOME/kivo (~/.local/share/kivo).
    static ProgramFolder Locate(const std::optional<fs::path>& homeOption,
                                const fs::path& executable);
};

}  // namespace kivo
