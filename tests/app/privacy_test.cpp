#include "app/privacy.h"

#include <gtest/gtest.h>

#include "tests/app/fakeclock.h"

namespace kivo {
namespace {

TEST(PrivacySheet, CountsDownFromTwoAndAKeyEscapesOnlyThen) {
    test::FakeSteadyClock clock;
    TPrivacySheet sheet(clock.Now());
    EXPECT_FALSE(sheet.Shown());
    sheet.Activate();
    std::vector<int> shown;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sheet.CurrentPhase(), TPrivacySheet::ppCountdown);
        shown.push_back(sheet.Countdown());
        clock.AdvanceMs(1000);
    }
    EXPECT_EQ(shown, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(sheet.CurrentPhase(), TPrivacySheet::ppLocked);
    sheet.KeyOrClick();
    EXPECT_TRUE(sheet.Shown());

    sheet.Activate();
    clock.AdvanceMs(2999);
    sheet.KeyOrClick();
    EXPECT_FALSE(sheet.Shown());
}

TEST(PrivacySheet, OnlyTheExactPasswordUnlocks) {
    struct Case {
        const char* password;
        const char* typed;
        bool opens;
    } cases[] = {
        {"Secret", "Secret", true},
        {"Secret", "secret", false},
        {"Secret", "Secret ", false},
        {"Secret", "", false},
        {"", "", true},
        {"", "x", false},
    };
    for (const Case& c : cases) {
        test::FakeSteadyClock clock;
        TPrivacySheet sheet(clock.Now());
        sheet.Activate();
        EXPECT_FALSE(sheet.Unlock(c.password, c.password)) << "not during the countdown";
        clock.AdvanceMs(3000);
        EXPECT_EQ(sheet.Unlock(c.typed, c.password), c.opens) << c.typed;
        EXPECT_EQ(sheet.Shown(), !c.opens);
    }
}

TEST(PrivacySheet, ClockHands) {
    struct Case {
        int hour, minute, second;
        TClockHands hands;
    } cases[] = {
        {0, 0, 0, {0, 0, 0}},
        {15, 0, 0, {90, 0, 0}},
        {12, 30, 0, {15, 180, 0}},  // the hour hand halfway past twelve
        {9, 45, 30, {292.75, 273, 180}},
    };
    for (const Case& c : cases) {
        const TClockHands hands = ClockHands({2026, 1, 1, c.hour, c.minute, c.second});
        EXPECT_NEAR(hands.Hour, c.hands.Hour, 1e-9) << c.hour;
        EXPECT_NEAR(hands.Minute, c.hands.Minute, 1e-9) << c.hour;
        EXPECT_NEAR(hands.Second, c.hands.Second, 1e-9) << c.hour;
    }
}

}  // namespace
}  // namespace kivo
