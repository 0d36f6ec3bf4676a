#pragma once
// The program's own date form, "DD/MM/YYYY hh:nn:ss" in 24-hour time with the time left out
// at exactly midnight, used for separator lines and index dates. Two-digit years read from
// text fall in the window from 50 years before to 49 years after the current year.

#include <compare>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// A local calendar date and time; a plain value ordered by time.
struct DateTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const DateTime&) const = default;

    static DateTime Now();
    static DateTime FromTimeT(std::time_t t);  // local time
    std::time_t ToTimeT() const;               // local time
    bool IsValid() const;
};

std::string FormatProgramDate(const DateTime& dt);

// Reads "D/M/Y[ h:n[:s]]" as written by FormatProgramDate; other separators ('.', '-') are
// accepted for files written under another locale. currentYear resolves two-digit years.
std::optional<DateTime> ParseProgramDate(std::string_view text, int currentYear);
std::optional<DateTime> ParseProgramDate(std::string_view text);

// Resolves a two-digit year into the window [currentYear - 50, currentYear + 49].
int ExpandTwoDigitYear(int year, int currentYear);

}  // namespace kivo
