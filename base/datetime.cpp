#include "base/datetime.h"

#include <cstdio>

#include "base/bytes.h"

namespace kivo {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (month == 2 && IsLeapYear(year)) ? 29 : kDays[month - 1];
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads 1 to maxDigits decimal digits at pos; returns how many were read (0: none, and pos
// stays where it was).
int ReadNumber(std::string_view text, std::size_t& pos, int maxDigits, int& value) {
    int digits = 0;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && digits < maxDigits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    // More digits than a field may hold is not a date at all.
    if (pos < text.size() && IsDigit(text[pos])) return 0;
    return digits;
}

bool ReadSeparator(std::string_view text, std::size_t& pos, std::string_view allowed, char& sep) {
    if (pos >= text.size() || allowed.find(text[pos]) == std::string_view::npos) return false;
    sep = text[pos++];
    return true;
}

// Reads "D/M/Y": the same separator twice, one of '/', '.' or '-'.
bool ReadDate(std::string_view text, std::size_t& pos, int currentYear, DateTime& dt) {
    char first = 0;
    char second = 0;
    int yearDigits = 0;
    if (ReadNumber(text, pos, 2, dt.day) == 0 || !ReadSeparator(text, pos, "/.-", first) ||
        ReadNumber(text, pos, 2, dt.month) == 0 || !ReadSeparator(text, pos, "/.-", second) ||
        first != second || (yearDigits = ReadNumber(text, pos, 4, dt.year)) == 0) {
        return false;
    }
    if (yearDigits <= 2) dt.year = ExpandTwoDigitYear(dt.year, currentYear);
    return true;
}

// Reads "h:n[:s]"; some locales write '.' between the parts of the time.
bool ReadTime(std::string_view text, std::size_t& pos, DateTime& dt) {
    char first = 0;
    char second = 0;
    if (ReadNumber(text, pos, 2, dt.hour) == 0 || !ReadSeparator(text, pos, ":.", first) ||
        ReadNumber(text, pos, 2, dt.minute) == 0) {
        return false;
    }
    if (pos == text.size()) return true;
    return ReadSeparator(text, pos, ":.", second) && first == second &&
           ReadNumber(text, pos, 2, dt.second) != 0;
}

}  // namespace

DateTime DateTime::Now() { return FromTimeT(std::time(nullptr)); }

DateTime DateTime::FromTimeT(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::time_t DateTime::ToTimeT() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;  // let the zone rules decide summer time
    return std::mktime(&tm);
}

bool DateTime::IsValid() const {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
           minute <= 59 && second >= 0 && second <= 59;
}

std::string FormatProgramDate(const DateTime& dt) {
    char buffer[64];
    if (dt.hour == 0 && dt.minute == 0 && dt.second == 0) {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", dt.day, dt.month, dt.year);
    } else {
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", dt.day, dt.month,
                      dt.year, dt.hour, dt.minute, dt.second);
    }
    return buffer;
}

std::optional<DateTime> ParseProgramDate(std::string_view text, int currentYear) {
    text = TrimView(text);
    DateTime dt;
    std::size_t pos = 0;
    if (!ReadDate(text, pos, currentYear, dt)) return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != ' ') return std::nullopt;
        while (pos < text.size() && text[pos] == ' ') ++pos;
        if (!ReadTime(text, pos, dt) || pos != text.size()) return std::nullopt;
    }
    if (!dt.IsValid()) return std::nullopt;
    return dt;
}

std::optional<DateTime> ParseProgramDate(std::string_view text) {
    return ParseProgramDate(text, DateTime::Now().year);
}

int ExpandTwoDigitYear(int year, int currentYear) {
    if (year < 0 || year > 99) return year;
    const int windowStart = currentYear - 50;
    int expanded = windowStart - windowStart % 100 + year;
    if (expanded < windowStart) expanded += 100;
    return expanded;
}

}  // namespace kivo
