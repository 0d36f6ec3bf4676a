#pragma once
// RFC 822 dates as they appear in Date fields and as Kivo writes them into outgoing mail
// ("Sun, 4 Jul 1999 09:05:00 +0200"). The zone is kept as text: a parsed date is neither
// converted to local nor to universal time. Names of days and months are English, whatever
// the user's locale.

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace kivo {

struct Rfc822Date {
    DateTime date;     // DateTime{} (all zero) when the text held no date
    std::string zone;  // the text after the time, e.g. "+0200", "-0500 (EST)", "GMT"

    bool Valid() const { return date.year != 0; }
};

// Reads a Date field value leniently: weekday optional, two-digit years (00..49 -> 20xx,
// 50..99 -> 19xx) and three-digit years (+1900) as RFC 5322 reads them, time optional
// (midnight), also the asctime form "Wed Feb  1 19:06:09 2006". Garbage gives an invalid
// result; never throws.
Rfc822Date ParseRfc822Date(std::string_view text);

// "Sun, 4 Jul 1999 09:05:00 +0200".
std::string FormatRfc822Date(const DateTime& date, std::string_view zone);

// "+hhmm" / "-hhmm" for minutes east of UTC: 120 -> "+0200", -330 -> "-0530".
std::string ZoneFromMinutes(int minutesEast);

// The zone of the computer's clock now ("GMT" when the system has no zone information).
std::string LocalZone();

}  // namespace kivo
