#include "mail/rfc822date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kivo {
namespace {

TEST(Rfc822Date, Parses) {
    struct Case {
        const char* text;
        DateTime date;
        const char* zone;
        const char* why;
    };
    const Case cases[] = {
        {"Mon, 5 Jul 1999 12:34:56 +0100", {1999, 7, 5, 12, 34, 56}, "+0100", "full form"},
        {"5 Jul 99 12:34", {1999, 7, 5, 12, 34, 0}, "", "no weekday, two-digit year"},
        {"05 JUL 1999", {1999, 7, 5, 0, 0, 0}, "", "no time: midnight"},
        // Two- and three-digit years as RFC 5322 4.3 reads them.
        {"Thu, 1 Jan 49 00:00:01 GMT", {2049, 1, 1, 0, 0, 1}, "GMT", "49 is 2049"},
        {"Sun, 1 Jan 50 00:00:01 GMT", {1950, 1, 1, 0, 0, 1}, "GMT", "50 is 1950"},
        {"1 Jan 00 00:00:00 GMT", {2000, 1, 1, 0, 0, 0}, "GMT", "00 is 2000"},
        {"1 Jan 101 00:00:00 GMT", {2001, 1, 1, 0, 0, 0}, "GMT", "three digits count from 1900"},
        // The asctime form of list archives, with or without a zone.
        {"Wed Feb  1 19:06:09 2006", {2006, 2, 1, 19, 6, 9}, "", "asctime"},
        {"Thu Jan 05 10:00:00 EST 2006", {2006, 1, 5, 10, 0, 0}, "EST", "asctime, zone first"},
        {"Wed Feb 1 19:06:09 2006 +0100", {2006, 2, 1, 19, 6, 9}, "+0100", "asctime, zone last"},
        {"Feb 1 19:06:09 06", {2006, 2, 1, 19, 6, 9}, "", "asctime without weekday"},
        {"Tue, 1 Dec 2026 23:59:59 -0500 (EST)",
         {2026, 12, 1, 23, 59, 59},
         "-0500 (EST)",
         "zone with comment"},
        {"1 Feb 2000 10:00 est", {2000, 2, 1, 10, 0, 0}, "EST", "obsolete zone, upper-cased"},
        {"\"Sat, 29 Feb 2020 08:00:00 +0000\"", {2020, 2, 29, 8, 0, 0}, "+0000", "quoted, leap"},
        {"Wed, 3 Mar 2021, 07:08:09 +0900", {2021, 3, 3, 7, 8, 9}, "+0900", "comma after year"},
        {"1 Jan 2001 25:00 +0000", {2001, 1, 1, 0, 0, 0}, "+0000", "unreadable time: midnight"},
        {"31 Dec 1998 23:59:60 +0000", {1998, 12, 31, 23, 59, 59}, "+0000", "leap second"},
        {"5 Jul 1999 12:00 +0000 (Mar)",
         {1999, 7, 5, 12, 0, 0},
         "+0000 (MAR)",
         "the month after the day wins over a month name later"},
        {"Mon, 5 July 1999 1:02:03", {1999, 7, 5, 1, 2, 3}, "", "full month name"},
    };
    for (const auto& c : cases) {
        const Rfc822Date parsed = ParseRfc822Date(c.text);
        EXPECT_EQ(parsed.date, c.date) << c.why;
        EXPECT_EQ(parsed.zone, c.zone) << c.why;
        EXPECT_TRUE(parsed.Valid()) << c.why;
    }
}

TEST(Rfc822Date, GarbageGivesNoDate) {
    const char* cases[] = {
        "",                            // empty
        "1999-07-05",                  // no month name
        "Mon, Jul 1999",               // the year is taken as the day, no year follows
        "no digits at all",            //
        "Jul 5",                       // a digit only at the end
        "31 Feb 2001 10:00",           // no such day
        "0 Jan 2001",                  // day zero
        "5x Jul 1999",                 // the day is not a number
        "5 Jul abc",                   // no year
        "5 Jul 99999999999999999999",  // year out of range
        "\"\"",                        // quotes only
        "Wed Feb 30 19:06:09 2006",    // asctime: no such day
        "Wed Feb 1 2006",              // asctime without a time
    };
    for (const char* text : cases) {
        const Rfc822Date parsed = ParseRfc822Date(text);
        EXPECT_FALSE(parsed.Valid()) << text;
        EXPECT_EQ(parsed.date, DateTime{}) << text;
        EXPECT_EQ(parsed.zone, "") << text;
    }
    std::string huge(1 << 20, '7');
    EXPECT_FALSE(ParseRfc822Date(huge).Valid());
}

TEST(Rfc822Date, Formats) {
    EXPECT_EQ(FormatRfc822Date({1999, 7, 4, 9, 5, 0}, "+0200"), "Sun, 4 Jul 1999 09:05:00 +0200");
    EXPECT_EQ(FormatRfc822Date({2024, 2, 29, 23, 59, 59}, "-0530"),
              "Thu, 29 Feb 2024 23:59:59 -0530");
    EXPECT_EQ(FormatRfc822Date({2000, 1, 1, 0, 0, 0}, "GMT"), "Sat, 1 Jan 2000 00:00:00 GMT");
    EXPECT_EQ(FormatRfc822Date(DateTime{}, "+0000"), "");
    // What Kivo writes, it reads back.
    const DateTime when{2026, 12, 10, 1, 2, 3};
    const Rfc822Date back = ParseRfc822Date(FormatRfc822Date(when, "+0100"));
    EXPECT_EQ(back.date, when);
    EXPECT_EQ(back.zone, "+0100");
}

TEST(Rfc822Date, Zones) {
    struct Case {
        int minutes;
        const char* zone;
    };
    const Case cases[] = {{0, "+0000"},   {60, "+0100"},  {120, "+0200"}, {-330, "-0530"},
                          {600, "+1000"}, {345, "+0545"}, {-720, "-1200"}};
    for (const auto& c : cases) EXPECT_EQ(ZoneFromMinutes(c.minutes), c.zone) << c.minutes;
}

TEST(Rfc822Date, LocalZoneFollowsTheClock) {
    // The zone comes from the TZ rules; zones without summer time make the result fixed.
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    struct Case {
        const char* tz;
        const char* zone;
    };
    for (const Case& c :
         {Case{"UTC0", "+0000"}, Case{"IST-5:30", "+0530"}, Case{"EST5", "-0500"}}) {
        setenv("TZ", c.tz, 1);
        tzset();
        EXPECT_EQ(LocalZone(), c.zone) << c.tz;
    }
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace kivo
