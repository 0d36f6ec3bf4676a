#pragma once
// Where the program's passwords live: in the desktop's keyring (the Secret Service) when one
// can be reached, else scrambled in the settings file that names them, as older folders keep
// them. Callers ask for "the password of key K in section S of file F" and never learn where
// it is. A scrambled value found in a file always wins (an older folder, or one written by a
// script) and, with a keyring, is copied into it, the caller then emptying the file's value.
// Nothing here ever writes a password to a file in plain text.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kivo {

class IniFile;

class EKeyringError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The desktop's secret store, items found by their attributes.
class TKeyring {
  public:
    using Attributes = std::map<std::string, std::string>;
    virtual ~TKeyring() = default;
    // Nothing when the keyring holds no such item. Each throws EKeyringError when the keyring
    // cannot be asked (locked and not opened, gone away).
    virtual std::optional<std::string> Lookup(const Attributes& attributes) = 0;
    virtual void Store(const Attributes& attributes, const std::string& label,
                       std::string_view secret) = 0;
    virtual void Clear(const Attributes& attributes) = 0;
};

// The Secret Service through libsecret, or null when there is no session bus to find it on
// (a headless server, a cron job, the tests), so nothing ever starts a bus of its own.
std::unique_ptr<TKeyring> OpenSecretService();

// One stored password: its file in the program folder, section, key and scrambling key.
struct TSecretName {
    std::string_view file;  // "accounts.ini", "kivo.ini"
    std::string_view section;
    std::string_view key;
    std::uint16_t scrambleKey;
};

class TPasswordStore {
  public:
    // `folder` is the program folder; without a keyring passwords stay scrambled in the files.
    TPasswordStore(std::filesystem::path folder, std::unique_ptr<TKeyring> keyring);
    TPasswordStore(TPasswordStore&&) noexcept;
    ~TPasswordStore();

    // The keyring unless KIVO_NO_KEYRING=1, the folder is a portable one (the executable's own
    // folder) or no keyring can be reached.
    static TPasswordStore ForFolder(const std::filesystem::path& folder);

    bool UsesKeyring() const { return keyring_ != nullptr; }

    // The password: the file's scrambled value when it holds one, else the keyring's. With a
    // keyring, a value found in the file is stored in the keyring and `moved` set, so that the
    // caller can empty it in the file. A keyring that cannot be asked gives the file's value.
    std::string Read(const IniFile& ini, const TSecretName& name, bool* moved = nullptr);
    // Stores the password: in the keyring, the file's value emptied where the key exists;
    // or scrambled in the file (with a one-line note the first time for the folder).
    void Write(IniFile& ini, const TSecretName& name, std::string_view plain);
    // Removes what the keyring holds for a section (an account deleted or renamed).
    void Forget(const TSecretName& name);

  private:
    TKeyring::Attributes Attributes(const TSecretName& name) const;
    void NoteScrambled();

    std::filesystem::path folder_;
    std::unique_ptr<TKeyring> keyring_;
};

}  // namespace kivo
