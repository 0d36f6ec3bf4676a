#pragma once
// A script's user settings: lines "External $userdataN "description" "value"" (N = 1 to 4)
// are edit fields on the Setup page, "External $userfileN ..." buttons that open a text file
// of the mail folder. The Setup page shows them and writes edited data values back.

#include <array>
#include <string>
#include <vector>

namespace kivo {

struct TUserSetting {
    bool present = false;
    std::string description;
    std::string value;

    bool operator==(const TUserSetting&) const = default;
};

struct TUserSettings {
    std::array<TUserSetting, 4> data;   // $userdata1 .. $userdata4
    std::array<TUserSetting, 4> files;  // $userfile1 .. $userfile4

    bool Empty() const;
    bool HasFiles() const;
    bool operator==(const TUserSettings&) const = default;
};

// The settings declared in the lines; a later declaration of a setting wins.
TUserSettings CollectUserSettings(const std::vector<std::string>& lines);

// The lines with every declaration of each present data setting replaced by
// External $userdataN "description" "value", or that line put first when the script has
// none. Values are written as they are, without escapes.
std::vector<std::string> WriteBackDataSettings(std::vector<std::string> lines,
                                               const TUserSettings& settings);

// The file a file setting opens: the file-name part of its value, in the mail folder.
std::string UserFileName(const TUserSetting& setting);

}  // namespace kivo
