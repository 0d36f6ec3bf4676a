#include "mail/rfc822date.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "base/bytes.h"
#include "mail/headerfields.h"

namespace kivo {
namespace {

constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t FindDigit(std::string_view text, std::size_t from) {
    while (from < text.size() && !IsDigit(text[from])) ++from;
    return from < text.size() ? from : std::string_view::npos;
}

// The token at from up to the first of stops (or the end); from moves past it.
std::string_view Token(std::string_view text, std::size_t& from, std::string_view stops) {
    std::size_t end = std::min(text.find_first_of(stops, from), text.size());
    std::string_view token = text.substr(from, end - from);
    from = end;
    return token;
}

// Month 1..12 of upper-case text: the word right after the day when it is a month name,
// otherwise the first name, in calendar order, found anywhere in the text.
int FindMonth(std::string_view rest) {
    std::string_view word = TrimView(rest);
    word = word.substr(0, std::min(word.find_first_of(" ,"), word.size()));
    for (int m = 0; m < 12; ++m) {
        if (word.substr(0, 3) == kMonths[m]) return m + 1;
    }
    for (int m = 0; m < 12; ++m) {
        if (rest.find(kMonths[m]) != std::string_view::npos) return m + 1;
    }
    return 0;
}

// Reads "hh:mm[:ss]"; false when the token is not such a time.
bool ReadTime(std::string_view token, DateTime& date) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        std::size_t colon = token.find(':');
        if (!ParseInt(token.substr(0, colon), parts[count]) || parts[count] < 0) return false;
        ++count;
        if (colon == std::string_view::npos) break;
        token.remove_prefix(colon + 1);
        if (count == 3) return false;
    }
    if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 60) return false;
    date.hour = parts[0];
    date.minute = parts[1];
    date.second = parts[2] == 60 ? 59 : parts[2];  // a leap second stays in its minute
    return true;
}

// A year as written: two digits are 2000 to 2049 or 1950 to 1999, three digits count from
// 1900 (RFC 5322 4.3); four-digit years stand as they are.
int FullYear(int year) {
    if (year >= 0 && year <= 49) return year + 2000;
    if (year >= 50 && year <= 999) return year + 1900;
    return year;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(" \t", at)) != std::string_view::npos) {
        std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

int MonthOfWord(std::string_view word) {
    for (int m = 0; m < 12; ++m) {
        if (word.substr(0, 3) == kMonths[m]) return m + 1;
    }
    return 0;
}

// The asctime form of list archives and Unix tools: "WED FEB  1 19:06:09 2006", also with a
// zone before or after the year ("... 19:06:09 EST 2006", "... 19:06:09 2006 +0100").
Rfc822Date ParseAsctime(std::string_view text) {
    const std::vector<std::string_view> words = Words(text);
    std::size_t i = 0;
    if (i < words.size() && MonthOfWord(words[i]) == 0) ++i;  // the weekday
    if (i + 3 >= words.size()) return {};
    DateTime date;
    date.month = MonthOfWord(words[i]);
    if (date.month == 0 || !ParseInt(words[i + 1], date.day)) return {};
    if (!ReadTime(words[i + 2], date)) return {};
    std::size_t yearAt = i + 3;
    std::string zone;
    if (!ParseInt(words[yearAt], date.year)) {
        zone = std::string(words[yearAt]);
        ++yearAt;
        if (yearAt >= words.size() || !ParseInt(words[yearAt], date.year)) return {};
    }
    date.year = FullYear(date.year);
    for (std::size_t k = yearAt + 1; k < words.size(); ++k) {
        if (!zone.empty()) zone += ' ';
        zone += words[k];
    }
    if (!date.IsValid()) return {};
    return {date, zone};
}

}  // namespace

Rfc822Date ParseRfc822Date(std::string_view input) {
    const std::string text = UpperCase(StripQuotes(input));
    std::size_t pos = FindDigit(text, 0);
    if (pos == std::string::npos || pos + 1 >= text.size()) return {};
    // A month before the first digit: the asctime form.
    for (const char* month : kMonths) {
        if (std::string_view(text).substr(0, pos).find(month) != std::string_view::npos) {
            if (Rfc822Date asctime = ParseAsctime(text); asctime.Valid()) return asctime;
            break;
        }
    }

    DateTime date;
    if (!ParseInt(Token(text, pos, " "), date.day)) return {};
    std::string_view rest = std::string_view(text).substr(pos);
    date.month = FindMonth(rest);
    if (date.month == 0) return {};

    pos = FindDigit(text, pos);
    if (pos == std::string::npos) return {};
    std::string_view yearToken = Token(text, pos, " ,");
    if (!ParseInt(yearToken, date.year)) return {};
    date.year = FullYear(date.year);
    if (pos < text.size() && text[pos] == ',') ++pos;

    std::string zone;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos < text.size()) {
        std::string_view timeToken = Token(text, pos, " ");
        if (!timeToken.empty() && timeToken.back() == ',') timeToken.remove_suffix(1);
        if (!ReadTime(timeToken, date)) date.hour = date.minute = date.second = 0;
        zone = Trim(std::string_view(text).substr(pos));
    }
    if (!date.IsValid()) return {};
    return {date, zone};
}

std::string FormatRfc822Date(const DateTime& date, std::string_view zone) {
    if (!date.IsValid()) return {};
    using namespace std::chrono;
    const sys_days days{year{date.year} / month{static_cast<unsigned>(date.month)} /
                        day{static_cast<unsigned>(date.day)}};
    const unsigned weekday = std::chrono::weekday{days}.c_encoding();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %d %s %04d %02d:%02d:%02d ", kDayNames[weekday],
                  date.day, kMonthNames[date.month - 1], date.year, date.hour, date.minute,
                  date.second);
    return buffer + std::string(zone);
}

std::string ZoneFromMinutes(int minutesEast) {
    const int magnitude = std::abs(minutesEast);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%c%04d", minutesEast < 0 ? '-' : '+',
                  magnitude / 60 * 100 + magnitude % 60);
    return buffer;
}

std::string LocalZone() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return "GMT";
    return ZoneFromMinutes(static_cast<int>(local.tm_gmtoff / 60));
}

}  // namespace kivo
