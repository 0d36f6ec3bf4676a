#include "script/usersettings.h"

#include <algorithm>
#include <optional>

#include "base/bytes.h"
#include "script/tokenizer.h"

namespace kivo {

namespace {

struct TDeclaration {
    bool file = false;
    int index = 0;  // 0 to 3
};

// A declaration is a line of exactly four tokens, "External" first and a second token that
// begins with "$userdataN" or "$userfileN" (letter case aside).
std::optional<TDeclaration> Declaration(const std::vector<std::string>& tokens) {
    if (tokens.size() != 4 || LowerCase(tokens[0]) != "external") return std::nullopt;
    const std::string name = LowerCase(tokens[1]);
    for (const auto& [prefix, file] : {std::pair{"$userdata", false}, {"$userfile", true}}) {
        const std::string_view p(prefix);
        if (name.size() > p.size() && name.starts_with(p) && name[p.size()] >= '1' &&
            name[p.size()] <= '4') {
            return TDeclaration{file, name[p.size()] - '1'};
        }
    }
    return std::nullopt;
}

std::string DeclarationLine(int index, const TUserSetting& setting) {
    return "External $userdata" + std::to_string(index + 1) + " \"" + setting.description +
           "\" \"" + setting.value + "\"";
}

}  // namespace

bool TUserSettings::Empty() const {
    const auto absent = [](const TUserSetting& s) { return !s.present; };
    return std::all_of(data.begin(), data.end(), absent) &&
           std::all_of(files.begin(), files.end(), absent);
}

bool TUserSettings::HasFiles() const {
    return std::any_of(files.begin(), files.end(), [](const TUserSetting& s) { return s.present; });
}

TUserSettings CollectUserSettings(const std::vector<std::string>& lines) {
    TUserSettings settings;
    for (const std::string& line : lines) {
        const std::vector<std::string> tokens = GetTokens(line);
        const std::optional<TDeclaration> d = Declaration(tokens);
        if (!d) continue;
        TUserSetting& s = d->file ? settings.files[d->index] : settings.data[d->index];
        s = {true, ProcessString(tokens[2]), ProcessString(tokens[3])};
    }
    return settings;
}

std::vector<std::string> WriteBackDataSettings(std::vector<std::string> lines,
                                               const TUserSettings& settings) {
    for (int i = 0; i < 4; ++i) {
        const TUserSetting& setting = settings.data[i];
        if (!setting.present) continue;
        bool replaced = false;
        for (std::string& line : lines) {
            const std::optional<TDeclaration> d = Declaration(GetTokens(line));
            if (d && !d->file && d->index == i) {
                line = DeclarationLine(i, setting);
                replaced = true;
            }
        }
        if (!replaced) lines.insert(lines.begin(), DeclarationLine(i, setting));
    }
    return lines;
}

std::string UserFileName(const TUserSetting& setting) {
    const std::size_t slash = setting.value.find_last_of("/\\");
    return slash == std::string::npos ? setting.value : setting.value.substr(slash + 1);
}

}  // namespace kivo
