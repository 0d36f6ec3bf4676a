#include "app/programfolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "base/files.h"
#include "base/inifile.h"

namespace kivo {

namespace {
fs::path EnvPath(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? fs::path(value) : fs::path();
}

// The user's home folder: $HOME, else the password database's entry.
fs::path HomeFolder() {
    if (fs::path home = EnvPath("HOME"); !home.empty()) return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? fs::path(entry->pw_dir) : fs::path("/");
}

}  // namespace

ProgramFolder ProgramFolder::Locate(const std::optional<fs::path>& homeOption,
                                    const fs::path& executable) {
    if (homeOption && !homeOption->empty()) return {fs::absolute(*homeOption), "--home"};
    if (fs::path home = EnvPath("KIVO_HOME"); !home.empty()) {
        return {fs::absolute(home), "KIVO_HOME"};
    }
    std::error_code ec;
    const fs::path exeDir = fs::canonical(executable, ec).parent_path();
    if (!ec && !exeDir.empty() && fs::is_regular_file(exeDir / "kivo.ini", ec)) {
        return {exeDir, "a kivo.ini beside the executable"};
    }
    // A relative $XDG_DATA_HOME is to be ignored, as the base-directory rules say.
    const fs::path data = EnvPath("XDG_DATA_HOME");
    if (!data.empty() && data.is_absolute()) return {data / "kivo", "$XDG_DATA_HOME/kivo", true};
    return {HomeFolder() / ".local" / "share" / "kivo", "~/.local/share/kivo", true};
}

bool ProgramFolder::Create() const {
    std::error_code ec;
    if (fs::is_directory(root, ec)) return true;
    if (byDefault) {
        // Missing parents (~/.local/share on a new account) are made private, too.
        std::vector<fs::path> missing;
        for (fs::path p = root.parent_path(); !p.empty() && !fs::exists(p, ec);
             p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path()) break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) ::mkdir(it->c_str(), 0700);
    }
    if (root.empty() || ::mkdir(root.c_str(), 0700) != 0) return fs::is_directory(root, ec);
    return true;
}

void ProgramFolder::CreateOrThrow() const {
    if (Create()) return;
    const int error = errno;
    std::error_code ec;
    const fs::path parent = root.parent_path();
    std::string why = std::strerror(error);
    if (!parent.empty() && !fs::is_directory(parent, ec)) {
        why = "the folder " + parent.string() +
              " does not exist (make it first, or give another --home)";
    } else if (fs::exists(root, ec)) {
        why = "a file of that name is in the way";
    }
    throw std::runtime_error("cannot create the program folder " + root.string() + ": " + why);
}

}  // namespace kivo

namespace kivo {

namespace {

bool IsFolder(const fs::path& dir) {
    std::error_code ec;
    return fs::is_directory(dir, ec);
}

bool IsFile(const fs::path& file) {
    std::error_code ec;
    return fs::exists(file, ec);
}

// Creates a missing folder one level deep and notes it; false when it stays missing.
bool MakeFolder(const fs::path& dir, TStartFolders& result) {
    if (IsFolder(dir)) return false;
    if (!CreateFolderOneLevel(dir)) return false;
    result.Created.push_back(dir);
    return true;
}

void FirstRunPreparation(const ProgramFolder& folder, TFirstRunContent& content,
                         TStartFolders& result) {
    const bool noAccounts = !IsFile(folder.AccountsFile());
    if (MakeFolder(folder.SignatureFolder(), result) && noAccounts) {
        const fs::path signature = folder.SignatureFolder() / "Default.txt";
        WriteFileAtomic(signature, std::string(kDefaultSignatureLine) + "\r\n");
        result.Created.push_back(signature);
    }
    if (MakeFolder(folder.ScriptFolder(), result)) {
        content.WriteBuiltInScripts(folder);
        content.WriteDefaultUserButtons(folder);
    }
    if (!IsFolder(folder.MailFolder())) {
        // The missing mail folder alone makes a first run, even when it cannot be made.
        result.FirstRun = true;
        if (MakeFolder(folder.MailFolder(), result) && noAccounts) {
            content.WriteWelcomeMailbox(folder);
        }
    }
}

}  // namespace

TStartFolders PrepareProgramFolder(const ProgramFolder& folder, TFirstRunContent& content,
                                   TScreen screen) {
    TStartFolders result;
    FirstRunPreparation(folder, content, result);
    // Reading the settings makes the default attachment folder at once when it is missing.
    const bool hadAttach = IsFolder(folder.DefaultAttachFolder());
    result.Settings =
        LoadIni(IniFile(folder.SettingsFile()), folder.root, screen, &result.SettingsProblems);
    if (!hadAttach && IsFolder(folder.DefaultAttachFolder())) {
        result.Created.push_back(folder.DefaultAttachFolder());
    }
    MakeFolder(folder.SignatureFolder(), result);
    MakeFolder(folder.ScriptFolder(), result);
    MakeFolder(folder.MailFolder(), result);
    MakeFolder(result.Settings.Mail.AttachPath, result);
    return result;
}

}  // namespace kivo
