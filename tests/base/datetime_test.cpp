#include "base/datetime.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(ProgramDate, Formatting) {
    struct Case {
        DateTime dt;
        const char* text;
        const char* why;
    } cases[] = {
        {{2024, 3, 7, 9, 5, 1}, "07/03/2024 09:05:01", "two-digit fields padded, 24-hour time"},
        {{2024, 12, 31, 23, 59, 59}, "31/12/2024 23:59:59", "last second of a year"},
        {{2024, 3, 7, 0, 0, 0}, "07/03/2024", "time left out at exactly midnight"},
        {{2024, 3, 7, 0, 0, 1}, "07/03/2024 00:00:01", "one second after midnight keeps it"},
        {{2024, 3, 7, 0, 1, 0}, "07/03/2024 00:01:00", "one minute after midnight keeps it"},
        {{999, 1, 2, 12, 0, 0}, "02/01/0999 12:00:00", "four-digit year"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatProgramDate(c.dt), c.text) << c.why;
    }
}

TEST(ProgramDate, Parsing) {
    struct Case {
        const char* text;
        std::optional<DateTime> dt;
        const char* why;
    } cases[] = {
        {"07/03/2024 09:05:01", DateTime{2024, 3, 7, 9, 5, 1}, "as written"},
        {"07/03/2024", DateTime{2024, 3, 7, 0, 0, 0}, "midnight"},
        {"7/3/2024 9:5", DateTime{2024, 3, 7, 9, 5, 0}, "short fields, no seconds"},
        {"  07/03/2024  09:05:01 \r", DateTime{2024, 3, 7, 9, 5, 1}, "blanks around"},
        {"07.03.2024 09.05.01", DateTime{2024, 3, 7, 9, 5, 1}, "dots of another locale"},
        {"07-03-2024 09:05:01", DateTime{2024, 3, 7, 9, 5, 1}, "dashes"},
        {"29/02/2024", DateTime{2024, 2, 29, 0, 0, 0}, "leap day"},
        {"01/01/76 10:00:00", DateTime{1976, 1, 1, 10, 0, 0}, "two-digit year, 50 years back"},
        {"01/01/75", DateTime{2075, 1, 1, 0, 0, 0}, "two-digit year, 49 years ahead"},
        {"01/01/26", DateTime{2026, 1, 1, 0, 0, 0}, "two-digit year, this year"},
        {"31/02/2024", std::nullopt, "no 31st of February"},
        {"29/02/2023", std::nullopt, "no leap day in 2023"},
        {"00/01/2024", std::nullopt, "day 0"},
        {"01/13/2024", std::nullopt, "month 13"},
        {"01/01/2024 25:00", std::nullopt, "hour 25"},
        {"01/01/2024 24:00:00", std::nullopt, "hour 24"},
        {"01/01/2024 10:60", std::nullopt, "minute 60"},
        {"01/01/2024 10:00:60", std::nullopt, "second 60"},
        {"01/01/2024 10", std::nullopt, "hour alone"},
        {"01/01/2024 10:00:00 x", std::nullopt, "text after the time"},
        {"01/01/2024x", std::nullopt, "text after the date"},
        {"01/01-2024", std::nullopt, "mixed separators"},
        {"001/01/2024", std::nullopt, "three-digit day"},
        {"01/01/20245", std::nullopt, "five-digit year"},
        {"01/01/0000", std::nullopt, "year 0"},
        {"1//2024", std::nullopt, "missing month"},
        {"0", std::nullopt, "the index mark of a missing mailbox"},
        {"", std::nullopt, "empty"},
        {"Tue, 5 Mar 2024 10:00:00 +0100", std::nullopt, "a mail header date is another form"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseProgramDate(c.text, 2026), c.dt) << c.why << ": " << c.text;
    }
}

TEST(ProgramDate, FormatAndParseRoundTrip) {
    const DateTime dates[] = {{2024, 3, 7, 9, 5, 1}, {2024, 3, 7, 0, 0, 0}, {1, 1, 1, 23, 0, 0}};
    for (const auto& dt : dates) {
        EXPECT_EQ(ParseProgramDate(FormatProgramDate(dt), 2026), dt) << FormatProgramDate(dt);
    }
}

TEST(ProgramDate, TwoDigitYearWindow) {
    struct Case {
        int year;
        int current;
        int expanded;
        const char* why;
    } cases[] = {
        {76, 2026, 1976, "first year of the window"},
        {75, 2026, 2075, "last year of the window"},
        {0, 2026, 2000, "zero"},
        {99, 2026, 1999, "99"},
        {50, 2000, 1950, "window starts on a century's 50"},
        {49, 2000, 2049, "and ends at 49"},
        {0, 2050, 2000, "window starts exactly at a century"},
        {99, 2050, 2099, "and ends at its 99"},
        {2024, 2026, 2024, "four-digit years stay"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandTwoDigitYear(c.year, c.current), c.expanded) << c.why;
    }
}

TEST(ProgramDate, TimeTConversionKeepsLocalTime) {
    const DateTime dt{2024, 7, 15, 13, 45, 30};
    EXPECT_EQ(DateTime::FromTimeT(dt.ToTimeT()), dt);
    EXPECT_TRUE(DateTime::Now().IsValid());
    EXPECT_FALSE(DateTime{}.IsValid());
}

}  // namespace
}  // namespace kivo
