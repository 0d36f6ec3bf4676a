#include "compose/placeholders.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "base/bytes.h"
#include "base/inifile.h"

namespace kivo {

namespace {

// Replaces every occurrence of `placeholder` in `line`, leftmost first, continuing after the
// inserted value so the value is never searched again.
void ReplaceAll(std::string& line, std::string_view placeholder, std::string_view value) {
    if (EqualsNoCase(placeholder, value)) return;
    std::size_t pos = FindNoCase(line, placeholder);
    while (pos != std::string::npos) {
        line.replace(pos, placeholder.size(), value);
        pos = FindNoCase(line, placeholder, pos + value.size());
    }
}

}  // namespace

PlaceholderValues PlaceholderValues::ForAccount(const std::filesystem::path& accountsFile,
                                                std::string_view account, const DateTime& now) {
    const IniFile ini(accountsFile);
    return {ini.ReadString(account, "Name", ""), ini.ReadString(account, "Email", ""),
            ini.ReadString(account, "Tag", ""), std::string(account), now};
}

std::string ExpandPlaceholders(std::string_view text, const PlaceholderValues& v) {
    const std::pair<std::string_view, std::string> table[] = {
        {"%fullname%", v.fullName},
        {"%email%", v.email},
        {"%tag%", v.tag},
        {"%account%", v.account},
        {"%time%", FormatLongTime(v.now)},
        {"%date%", FormatShortDate(v.now)},
        {"%dateandtime%", FormatProgramDate(v.now)},
        {"%day%", DayOfWeekName(v.now)},
    };
    std::vector<std::string> lines = SplitLines(text);
    for (std::string& line : lines) {
        for (const auto& [placeholder, value] : table) ReplaceAll(line, placeholder, value);
    }
    std::string result = JoinLinesCrLf(lines);
    // The text keeps its shape: no line break is added after a last line that had none.
    if (!text.empty() && text.back() != '\n' && !result.empty()) result.resize(result.size() - 2);
    return result;
}

std::string ExpandPlaceholders(const std::filesystem::path& accountsFile, std::string_view account,
                               std::string_view text) {
    return ExpandPlaceholders(
        text, PlaceholderValues::ForAccount(accountsFile, account, DateTime::Now()));
}

std::string FormatLongTime(const DateTime& dt) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", dt.hour, dt.minute, dt.second);
    return buf;
}

std::string FormatShortDate(const DateTime& dt) {
    return FormatProgramDate(DateTime{dt.year, dt.month, dt.day, 0, 0, 0});
}

std::string DayOfWeekName(const DateTime& dt) {
    static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    const std::chrono::year_month_day ymd{std::chrono::year(dt.year),
                                          std::chrono::month(static_cast<unsigned>(dt.month)),
                                          std::chrono::day(static_cast<unsigned>(dt.day))};
    if (!ymd.ok()) return "";
    return kDays[std::chrono::weekday(std::chrono::sys_days(ymd)).c_encoding()];
}

}  // namespace kivo
