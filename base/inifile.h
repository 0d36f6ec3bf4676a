#pragma once
// An INI settings file held in memory: sections and keys compared without regard to case,
// other sections and keys kept as they are when the file is written back, and the file
// replaced atomically (temporary file, flush, rename) so a crash never leaves half a file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"

namespace kivo {

class IniFile {
  public:
    IniFile() = default;
    // Reads the file; a missing file gives an empty settings set. Throws std::system_error
    // when the file is there but cannot be read.
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& Path() const { return path_; }

    // A value enclosed as a whole in one pair of double quotes is returned without them.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // Signed 32-bit decimal; anything else reads as the fallback.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    // "0" is false, any other integer true; missing or not an integer gives the fallback.
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
    // Colours are 0x00BBGGRR or 0x80000000 + a system colour index, stored signed decimal.
    std::uint32_t ReadColour(std::string_view section, std::string_view key,
                             std::uint32_t fallback) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void WriteColour(std::string_view section, std::string_view key, std::uint32_t value);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> Sections() const;                      // in file order
    std::vector<std::string> Keys(std::string_view section) const;  // in file order
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);

    // Text of the whole file, CR LF line ends.
    std::string Text() const;
    void SetText(std::string_view text);
    // Writes the file atomically; throws std::system_error on failure.
    void UpdateFile(FileAccess access = FileAccess::Shared) const;

  private:
    // A key and its value, or a line kept as it stands (a comment, a blank line, text
    // without '=') so that writing the file back does not lose it.
    struct Entry {
        std::string key;  // the whole line when !isPair
        std::string value;
        bool isPair = true;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* FindSection(std::string_view name) const;
    Section& FindOrAddSection(std::string_view name);
    const std::string* FindValue(std::string_view section, std::string_view key) const;

    std::filesystem::path path_;
    std::vector<std::string> preamble_;  // lines before the first section, kept as they are
    std::vector<Section> sections_;
};

}  // namespace kivo
