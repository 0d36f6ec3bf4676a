// The password store: the keyring when there is one, the scrambled file values otherwise.

#include "base/secretstore.h"

#include <cstdlib>
#include <iostream>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/scramble.h"

namespace kivo {

namespace fs = std::filesystem;

namespace {

// Its presence says the note below was given for the folder.
constexpr const char* kNotedFile = ".passwords-scrambled";
constexpr const char* kNote =
    "kivo: no keyring is available, so passwords are kept scrambled (not encrypted) in "
    "accounts.ini and kivo.ini";

// A folder holding the executable is a portable install: its passwords travel with it.
bool IsPortable(const fs::path& folder) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return !ec && fs::equivalent(exe.parent_path(), folder, ec) && !ec;
}

}  // namespace

TPasswordStore::TPasswordStore(fs::path folder, std::unique_ptr<TKeyring> keyring)
    : folder_(std::move(folder)), keyring_(std::move(keyring)) {}
TPasswordStore::TPasswordStore(TPasswordStore&&) noexcept = default;
TPasswordStore::~TPasswordStore() = default;

TPasswordStore TPasswordStore::ForFolder(const fs::path& folder) {
    const char* off = std::getenv("KIVO_NO_KEYRING");
    if ((off && std::string_view(off) == "1") || folder.empty() || IsPortable(folder))
        return TPasswordStore(folder, nullptr);
    return TPasswordStore(folder, OpenSecretService());
}

TKeyring::Attributes TPasswordStore::Attributes(const TSecretName& name) const {
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(folder_, ec);
    if (ec) folder = folder_;
    // Sections are found without regard to letter case, so the keyring's items are too.
    return {{"folder", folder.string()},
            {"file", std::string(name.file)},
            {"section", LowerCase(name.section)},
            {"key", std::string(name.key)}};
}

std::string TPasswordStore::Read(const IniFile& ini, const TSecretName& name, bool* moved) {
    const std::string stored = ini.ReadString(name.section, name.key, "");
    const std::string plain = Unscramble(stored, name.scrambleKey);
    if (!keyring_) return plain;
    try {
        if (!stored.empty()) {
            keyring_->Store(Attributes(name),
                            "Kivo " + std::string(name.key) + " " + std::string(name.section),
                            plain);
            if (moved) *moved = true;
            return plain;
        }
        return keyring_->Lookup(Attributes(name)).value_or("");
    } catch (const EKeyringError& e) {
        std::cerr << "kivo: the keyring could not be read: " << e.what() << '\n';
        return plain;
    }
}

void TPasswordStore::Write(IniFile& ini, const TSecretName& name, std::string_view plain) {
    if (keyring_) {
        try {
            if (plain.empty()) {
                keyring_->Clear(Attributes(name));
            } else {
                keyring_->Store(Attributes(name),
                                "Kivo " + std::string(name.key) + " " + std::string(name.section),
                                plain);
            }
            if (ini.ValueExists(name.section, name.key)) ini.WriteString(name.section, name.key, "");
            return;
        } catch (const EKeyringError& e) {
            std::cerr << "kivo: the keyring could not store a password: " << e.what() << '\n';
        }
    }
    ini.WriteString(name.section, name.key, Scramble(plain, name.scrambleKey));
    if (!plain.empty()) NoteScrambled();
}

void TPasswordStore::Forget(const TSecretName& name) {
    if (!keyring_) return;
    try {
        keyring_->Clear(Attributes(name));
    } catch (const EKeyringError&) {
        // An item left behind holds a password no account names; nothing reads it.
    }
}

void TPasswordStore::NoteScrambled() {
    std::error_code ec;
    if (folder_.empty() || fs::exists(folder_ / kNotedFile, ec) || !fs::is_directory(folder_, ec))
        return;
    std::cerr << kNote << '\n';
    try {
        WriteFileAtomic(folder_ / kNotedFile, std::string(kNote) + "\n", FileAccess::Private);
    } catch (const std::exception&) {
        // Then the note comes again next time; it is only a note.
    }
}

}  // namespace kivo
