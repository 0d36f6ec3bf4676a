#include "base/inifile.h"

#include <system_error>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A line break inside a name or value would start a new line of the file (and could forge
// a key), so it is written as a blank.
std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

bool IsPairLine(std::string_view trimmed) {
    return !trimmed.empty() && trimmed.front() != ';' &&
           trimmed.find('=') != std::string_view::npos;
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : path_(ResolveNoCase(path)) {
    SetText(ReadFileOrEmpty(path_));
}

void IniFile::SetText(std::string_view text) {
    preamble_.clear();
    sections_.clear();
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());

    for (const std::string& line : SplitLines(text)) {
        std::string_view trimmed = TrimView(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::string_view name = trimmed.substr(1);
            name = name.substr(0, name.find(']'));
            sections_.push_back(Section{Trim(name), {}});
        } else if (sections_.empty()) {
            preamble_.push_back(line);
        } else if (IsPairLine(trimmed)) {
            std::size_t eq = trimmed.find('=');
            sections_.back().entries.push_back(
                Entry{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1)), true});
        } else {
            sections_.back().entries.push_back(Entry{line, {}, false});
        }
    }
}

std::string IniFile::Text() const {
    std::string out;
    for (const std::string& line : preamble_) out += line + "\r\n";
    for (const Section& section : sections_) {
        out += "[" + section.name + "]\r\n";
        for (const Entry& entry : section.entries) {
            out += entry.isPair ? entry.key + "=" + entry.value : entry.key;
            out += "\r\n";
        }
    }
    return out;
}

void IniFile::UpdateFile(FileAccess access) const {
    if (path_.empty()) {
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "settings file without a name");
    }
    WriteFileAtomic(path_, Text(), access);
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& section : sections_) {
        if (EqualsNoCase(section.name, name)) return &section;
    }
    return nullptr;
}

IniFile::Section& IniFile::FindOrAddSection(std::string_view name) {
    for (Section& section : sections_) {
        if (EqualsNoCase(section.name, name)) return section;
    }
    // A blank line between sections, as people write them; it stays with the section
    // before it, so keys added there later go above it.
    if (!sections_.empty()) {
        auto& entries = sections_.back().entries;
        if (entries.empty() || entries.back().isPair || !Trim(entries.back().key).empty()) {
            entries.push_back(Entry{"", {}, false});
        }
    } else if (!preamble_.empty() && !Trim(preamble_.back()).empty()) {
        preamble_.push_back("");
    }
    sections_.push_back(Section{OneLine(name), {}});
    return sections_.back();
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) return nullptr;
    for (const Entry& entry : found->entries) {
        if (entry.isPair && EqualsNoCase(entry.key, key)) return &entry.value;
    }
    return nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    const std::string* value = FindValue(section, key);
    if (value == nullptr) return std::string(fallback);
    std::string_view text = *value;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
    return ToIntDef(ReadString(section, key, ""), fallback);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
    int value = 0;
    if (!ParseInt(ReadString(section, key, ""), value)) return fallback;
    return value != 0;
}

std::uint32_t IniFile::ReadColour(std::string_view section, std::string_view key,
                                  std::uint32_t fallback) const {
    const std::string text = ReadString(section, key, "");
    int value = 0;
    if (ParseInt(text, value)) return static_cast<std::uint32_t>(value);
    // Also the unsigned form of the same value, as another tool may have written it.
    if (!text.empty() && text.front() != '-' && text.front() != '+' && text.size() <= 10) {
        std::uint64_t big = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return fallback;
            big = big * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (big <= 0xFFFFFFFFu) return static_cast<std::uint32_t>(big);
    }
    return fallback;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    Section& target = FindOrAddSection(section);
    const std::string line = Trim(OneLine(value));
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < target.entries.size(); ++i) {
        Entry& entry = target.entries[i];
        if (!entry.isPair) continue;
        if (EqualsNoCase(entry.key, key)) {
            entry.value = line;
            return;
        }
        insertAt = i + 1;
    }
    // A new key goes after the last key of the section, above its trailing comments and
    // blank lines.
    target.entries.insert(target.entries.begin() + static_cast<std::ptrdiff_t>(insertAt),
                          Entry{Trim(OneLine(key)), line, true});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::WriteColour(std::string_view section, std::string_view key, std::uint32_t value) {
    WriteInteger(section, key, static_cast<int>(static_cast<std::int32_t>(value)));
}

bool IniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindValue(section, key) != nullptr;
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> names;
    for (const Section& section : sections_) {
        if (FindSection(section.name) == &section) names.push_back(section.name);
    }
    return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* found = FindSection(section);
    if (found == nullptr) return keys;
    for (const Entry& entry : found->entries) {
        if (!entry.isPair) continue;
        bool seen = false;
        for (const std::string& key : keys) seen = seen || EqualsNoCase(key, entry.key);
        if (!seen) keys.push_back(entry.key);
    }
    return keys;
}

void IniFile::EraseSection(std::string_view section) {
    std::erase_if(sections_, [&](const Section& s) { return EqualsNoCase(s.name, section); });
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    for (Section& s : sections_) {
        if (!EqualsNoCase(s.name, section)) continue;
        std::erase_if(s.entries,
                      [&](const Entry& e) { return e.isPair && EqualsNoCase(e.key, key); });
    }
}

}  // namespace kivo
