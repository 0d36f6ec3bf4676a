#pragma once
// Placeholder expansion in signatures: "%fullname%", "%email%", "%tag%" and "%account%" take
// an account's values from "accounts.ini"; "%time%", "%date%", "%dateandtime%" and "%day%"
// the given moment. Placeholders are found without regard to letter case.

#include <filesystem>
#include <string>
#include <string_view>

#include "base/datetime.h"

namespace kivo {

// The values the placeholders stand for.
struct PlaceholderValues {
    std::string fullName;
    std::string email;
    std::string tag;
    std::string account;
    DateTime now;

    // Reads "Name", "Email" and "Tag" of the account; a missing key or account gives empty text.
    static PlaceholderValues ForAccount(const std::filesystem::path& accountsFile,
                                        std::string_view account, const DateTime& now);
};

// Replaces every placeholder in every line of the text. Inserted values are never searched
// again for the placeholder they replaced; a value equal to its placeholder leaves it as is.
std::string ExpandPlaceholders(std::string_view text, const PlaceholderValues& values);

// The same with the account read from the accounts file and the current time.
std::string ExpandPlaceholders(const std::filesystem::path& accountsFile, std::string_view account,
                               std::string_view text);

// The time as "hh:nn:ss" in 24-hour time, the form of "%time%".
std::string FormatLongTime(const DateTime& dt);
// "DD/MM/YYYY", the form of "%date%".
std::string FormatShortDate(const DateTime& dt);
// The English name of the weekday ("Sunday" ... "Saturday").
std::string DayOfWeekName(const DateTime& dt);

}  // namespace kivo
