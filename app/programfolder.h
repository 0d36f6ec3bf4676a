#pragma once
// The program folder and the data folders and files inside it. Everything Kivo keeps lives
// here: settings, accounts, the address book, the mail folder and the leave-on-server list.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"

namespace kivo {

namespace fs = std::filesystem;

struct ProgramFolder {
    ProgramFolder() = default;
    ProgramFolder(fs::path root, std::string chosenBy = {}, bool byDefault = false)
        : root(std::move(root)), chosenBy(std::move(chosenBy)), byDefault(byDefault) {}

    fs::path root;
    // How the folder was chosen, for `kivo -v`: "--home", "KIVO_HOME", ...
    std::string chosenBy;
    bool byDefault = false;  // neither named nor found beside the executable

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
    // folder when it already holds a kivo.ini (a portable install), else $XDG_DATA_HOME/kivo
    // (~/.local/share/kivo). A build run from the source tree thus keeps no mail beside it.
    static ProgramFolder Locate(const std::optional<fs::path>& homeOption,
                                const fs::path& executable);
    // Makes the folder when it is missing, readable by its owner only. The default folder
    // gets its missing parents too; a folder the user named only when its parent exists,
    // so a mistyped path is refused. False when it is still missing.
    bool Create() const;
    // Create, throwing a one-line error that says why the folder could not be made.
    void CreateOrThrow() const;
};

// Files that first-run preparation writes into new folders: the built-in scripts, the user
// buttons' defaults and the welcome mailbox. They come with the script engine and the setup
// wizard, which override these; until then nothing is written.
class TFirstRunContent {
  public:
    virtual ~TFirstRunContent() = default;
    // Into a script folder that was just created.
    virtual void WriteBuiltInScripts(const ProgramFolder& /*folder*/) {}
    virtual void WriteDefaultUserButtons(const ProgramFolder& /*folder*/) {}
    // Into a mail folder that was just created, when there is no accounts file either.
    virtual void WriteWelcomeMailbox(const ProgramFolder& /*folder*/) {}
};

// The one line of the signature a new program folder starts with.
inline constexpr const char* kDefaultSignatureLine = "-- %fullname%, %email% on %date% at %time%";

// What start-up made of the program folder.
struct TStartFolders {
    bool FirstRun = false;          // the mail folder was missing
    TSettings Settings;             // as read from kivo.ini
    std::vector<fs::path> Created;  // folders and files made, in order
    // Settings that could not be read (see LoadIni), for the log.
    std::vector<std::string> SettingsProblems;
};

// Start-up's work on the program folder, in its order: first-run preparation (signature,
// script and mail folders with their first content), reading the settings, then the
// signature, script, mail and attachment folders. Folders are made one level deep only: one
// whose parent is missing stays missing. Throws when a first-run file cannot be written.
TStartFolders PrepareProgramFolder(const ProgramFolder& folder, TFirstRunContent& content,
                                   TScreen screen = {});

}  // namespace kivo
