#include "compose/placeholders.h"

#include <gtest/gtest.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

// Thursday 5 March 2026, 14:07:09.
constexpr DateTime kAfternoon{2026, 3, 5, 14, 7, 9};

PlaceholderValues Values(std::string fullName, std::string email = "jo@example.org",
                         DateTime now = kAfternoon) {
    return {std::move(fullName), std::move(email), "Sales", "Work", now};
}

TEST(Placeholders, ExpandsEveryPlaceholderIgnoringCase) {
    struct Case {
        const char* text;
        const char* expanded;
        const char* why;
    } cases[] = {
        {"Regards, %FullName% <%EMAIL%>", "Regards, Jo Doe <jo@example.org>", "letter case"},
        {"%tag%/%Account%", "Sales/Work", "account values"},
        {"%time% %date% %day%", "14:07:09 05/03/2026 Thursday", "clock values"},
        {"%dateandtime%", "05/03/2026 14:07:09", "date and time"},
        {"%email%%email% x%email", "jo@example.orgjo@example.org x%email", "adjacent, unclosed"},
        {"no placeholder %", "no placeholder %", "untouched"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandPlaceholders(c.text, Values("Jo Doe")), c.expanded) << c.why;
    }
}

TEST(Placeholders, InsertedValuesAreNotExpandedAgain) {
    // A value that is its own placeholder leaves it in place.
    EXPECT_EQ(ExpandPlaceholders("A %fullname% B", Values("%FULLNAME%")), "A %fullname% B");
    // A value holding its placeholder is inserted once, not expanded forever.
    EXPECT_EQ(ExpandPlaceholders("%fullname%,%fullname%", Values("Jo %fullname%")),
              "Jo %fullname%,Jo %fullname%");
}

TEST(Placeholders, MidnightGivesOnlyTheDateAndLinesKeepTheirShape) {
    const PlaceholderValues midnight = Values("Jo", "", DateTime{2026, 3, 8, 0, 0, 0});
    EXPECT_EQ(ExpandPlaceholders("%dateandtime%|%day%", midnight), "08/03/2026|Sunday");
    EXPECT_EQ(ExpandPlaceholders("-- \r\n%fullname%\n%email%\r\n", midnight), "-- \r\nJo\r\n\r\n");
    EXPECT_EQ(ExpandPlaceholders("", midnight), "");
}

TEST(Placeholders, ReadsTheAccountFromTheAccountsFile) {
    test::TempDir dir;
    test::WriteFile(dir / "accounts.ini",
                    "[Home]\r\nName=Jo Doe\r\nEmail=jo@home.example\r\n[Work]\r\nTag=Sales\r\n");
    const auto home = PlaceholderValues::ForAccount(dir / "accounts.ini", "home", kAfternoon);
    EXPECT_EQ(ExpandPlaceholders("%fullname% <%email%> [%tag%] %account%", home),
              "Jo Doe <jo@home.example> [] home");
    const auto none = PlaceholderValues::ForAccount(dir / "accounts.ini", "Gone", kAfternoon);
    EXPECT_EQ(ExpandPlaceholders("[%fullname%%email%%tag%]", none), "[]");
}

}  // namespace
}  // namespace kivo
