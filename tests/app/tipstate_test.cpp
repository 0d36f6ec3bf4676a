#include "app/tipstate.h"

#include <gtest/gtest.h>

#include "tests/app/fakeclock.h"

namespace kivo {
namespace {

TEST(TipState, ASecondTipReplacesTheFirstAndGoesThreeSecondsAfterItAppeared) {
    test::FakeSteadyClock clock;
    TTipState tips(clock.Now());
    EXPECT_EQ(tips.Current(), nullptr);
    EXPECT_TRUE(tips.HintsEnabled(true));

    tips.Show("No accounts have been setup", 100, 200, 150, 14);
    clock.AdvanceMs(1000);
    const std::uint64_t second =
        tips.Show("Out mailbox is empty -\nnothing to send (e61)", 110, 210, 120, 28).Id;
    ASSERT_NE(tips.Current(), nullptr);
    EXPECT_EQ(tips.Current()->Id, second);
    EXPECT_EQ(tips.Current()->Text, "Out mailbox is empty -\nnothing to send (e61)");
    EXPECT_EQ(tips.Current()->Rect, (TipRect{110, 234, 126, 30}));  // 24 below the pointer
    EXPECT_FALSE(tips.HintsEnabled(true));

    clock.AdvanceMs(2999);  // the first one's time is long gone, the second's not yet
    ASSERT_NE(tips.Current(), nullptr);
    EXPECT_EQ(tips.Current()->Id, second);
    clock.AdvanceMs(1);
    EXPECT_EQ(tips.Current(), nullptr);
    EXPECT_TRUE(tips.HintsEnabled(true));
    EXPECT_FALSE(tips.HintsEnabled(false));
}

}  // namespace
}  // namespace kivo
