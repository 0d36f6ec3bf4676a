#include "app/busystate.h"

#include <gtest/gtest.h>

#include "app/autochecktimer.h"
#include "tests/app/fakeclock.h"

namespace kivo {
namespace {

using test::FakeSteadyClock;

TEST(AutoCheckTimer, FiresEveryIntervalOnlyWhenOnWithAPositiveInterval) {
    struct Case {
        bool autoCheck;
        int minutes;
        bool fires;
    } cases[] = {{true, 5, true}, {false, 5, false}, {true, 0, false}, {true, -3, false}};
    for (const Case& c : cases) {
        FakeSteadyClock clock;
        TAutoCheckTimer timer(clock.Now());
        timer.Configure(c.autoCheck, std::int64_t{c.minutes} * 60000);
        clock.AdvanceMs(5 * 60000 - 1);
        EXPECT_FALSE(timer.Due());
        clock.AdvanceMs(1);
        EXPECT_EQ(timer.Due(), c.fires) << c.minutes;
        EXPECT_FALSE(timer.Due()) << "fires once per interval";
        clock.AdvanceMs(24LL * 60 * 60000);  // a day asleep: one check, not hundreds
        EXPECT_EQ(timer.Due(), c.fires);
        EXPECT_FALSE(timer.Due());
    }
}

TEST(AutoCheckTimer, HugeIntervalsDoNotOverflow) {
    FakeSteadyClock clock;
    TAutoCheckTimer timer(clock.Now());
    timer.Configure(true, std::int64_t{2147483647} * 60000);
    clock.AdvanceMs(24LL * 60 * 60000);
    EXPECT_FALSE(timer.Due());
    ASSERT_TRUE(timer.NextDue());
    EXPECT_GT(*timer.NextDue(), clock.now);
}

TEST(AutoCheckTimer, SuspensionsNestAndTheIntervalRestartsAfterTheLast) {
    FakeSteadyClock clock;
    TAutoCheckTimer timer(clock.Now());
    timer.Configure(true, 60000);
    timer.Suspend();  // a check
    timer.Suspend();  // the send run started at its end
    timer.Resume();   // the check ends first
    clock.AdvanceMs(120000);
    EXPECT_FALSE(timer.Running());
    EXPECT_FALSE(timer.Due()) << "the send run still holds the timer off";
    timer.Resume();
    EXPECT_TRUE(timer.Running());
    EXPECT_FALSE(timer.Due()) << "a full interval from the resume";
    clock.AdvanceMs(60000);
    EXPECT_TRUE(timer.Due());
    timer.Resume();  // one too many: ignored
    timer.Suspend();
    EXPECT_FALSE(timer.Running());
    {
        TAutoCheckSuspension find(timer);
        timer.Resume();
        EXPECT_FALSE(timer.Running());
    }
    EXPECT_TRUE(timer.Running());
}

// A busy state over an automatic-check timer of one minute.
struct BusyRig {
    FakeSteadyClock clock;
    TAutoCheckTimer timer{clock.Now()};
    TBusyState busy{timer};
    explicit BusyRig(bool autoCheck) { timer.Configure(autoCheck, 60000); }
};

TEST(BusyState, HidesCheckShowsStopAndRestoresExactlyWhatWasThere) {
    BusyRig rig(true);
    TBusyState& busy = rig.busy;
    TAutoCheckTimer& timer = rig.timer;
    TTransferControls before;
    before.SendButtonEnabled = false;  // for a reason of the window's own
    busy.SetIdleControls(before);

    busy.Enter();
    const TTransferControls during = busy.Controls();
    EXPECT_FALSE(during.CheckButtonVisible);
    EXPECT_FALSE(during.CheckButtonEnabled);
    EXPECT_TRUE(during.StopButtonVisible);
    EXPECT_FALSE(during.CheckCommandEnabled);
    EXPECT_FALSE(during.SendButtonEnabled);
    EXPECT_FALSE(timer.Running());

    busy.Enter();  // SendOnCheck starts the send run before the check has left
    busy.Leave();
    EXPECT_EQ(busy.Controls(), during);
    EXPECT_FALSE(timer.Running());
    busy.Leave();
    EXPECT_EQ(busy.Controls(), before);
    EXPECT_TRUE(timer.Running());
    busy.Leave();  // one too many
    EXPECT_EQ(busy.Controls(), before);
    EXPECT_TRUE(timer.Running());
}

TEST(BusyState, OffTimerStaysOffAndIdleChangesWaitForTheEnd) {
    BusyRig rig(false);
    TBusyState& busy = rig.busy;
    busy.Enter();
    TTransferControls changed;
    changed.CheckButtonEnabled = false;
    busy.SetIdleControls(changed);
    EXPECT_TRUE(busy.Controls().StopButtonVisible);
    busy.Leave();
    EXPECT_EQ(busy.Controls(), changed);
    EXPECT_FALSE(rig.timer.Running());
}

TEST(BusyState, CancelReachesTheRoutedTransferUntilTheBusyStateEnds) {
    BusyRig rig(true);
    TBusyState& busy = rig.busy;
    int cancels = 0;
    EXPECT_FALSE(busy.Cancel());
    busy.Enter();
    EXPECT_FALSE(busy.Cancel());  // between accounts: nothing to cancel
    busy.RouteCancel([&] { ++cancels; });
    EXPECT_TRUE(busy.Cancel());
    busy.RouteCancel([&] {
        ++cancels;
        busy.RouteCancel({});  // a cancel that re-routes while it runs
    });
    EXPECT_TRUE(busy.Cancel());
    EXPECT_EQ(cancels, 2);
    busy.RouteCancel([&] { ++cancels; });
    busy.Leave();
    EXPECT_FALSE(busy.Cancel());
    EXPECT_EQ(cancels, 2);
}

}  // namespace
}  // namespace kivo
