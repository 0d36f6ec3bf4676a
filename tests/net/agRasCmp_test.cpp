#include "net/agRasCmp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "tests/net/fakenmcli.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

class DialUp : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WriteFile(dir_ / "nmcli", test::kFakeNmcli);
        ::chmod((dir_ / "nmcli").c_str(), 0755);
        test::WriteFile(dir_ / "entries", "Dialup:ppp\nHome\\:Net:802-11-wireless\nlo:loopback\n");
        test::WriteFile(dir_ / "up", "ok");
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        ::setenv("PATH", (dir_.path().string() + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", oldPath_.c_str(), 1); }
    std::string Calls() { return test::ReadFile(dir_ / "calls"); }

    test::TempDir dir_;
    std::string oldPath_;
    test::PumpPlatform platform_;
};

TEST_F(DialUp, EntriesAndService) {
    TagRas ras(platform_);
    EXPECT_EQ(ras.Entries(), (std::vector<std::string>{"Dialup", "Home:Net"}));
    ras.SetService("Home:Net");
    EXPECT_EQ(ras.Service(), "Home:Net");
    ras.SetService("Nowhere");
    EXPECT_EQ(ras.Service(), "");
    EXPECT_EQ(platform_.messages, std::vector<std::string>{"Invalid service name"});
}

TEST_F(DialUp, DialsAndHangsUpItsOwnConnection) {
    TagRas ras(platform_);
    std::vector<std::string> statuses;
    int disconnected = 0;
    ras.OnStatusChange = [&](TagRas&, const std::string& text) { statuses.push_back(text); };
    ras.OnDisconnected = [&](TagRas&) { ++disconnected; };
    ras.SetService("Dialup");
    ras.Dial();
    EXPECT_TRUE(ras.IsConnected());
    EXPECT_TRUE(ras.DialedByUs());
    EXPECT_EQ(statuses, (std::vector<std::string>{"Initializing...", "Dialing...",
                                                  "Successfully connected"}));
    EXPECT_EQ(ras.Connections(), std::vector<std::string>{"Dialup"});
    ras.HangUp();
    EXPECT_FALSE(ras.IsConnected());
    EXPECT_EQ(disconnected, 1);
    EXPECT_NE(Calls().find("--wait 120 connection up id Dialup"), std::string::npos);
    EXPECT_NE(Calls().find("connection down id Dialup"), std::string::npos);
}

TEST_F(DialUp, AdoptsAConnectionSomeoneElseMadeAndLeavesItUp) {
    test::WriteFile(dir_ / "active", "Dialup:activated\n");
    TagRas ras(platform_);
    ras.SetService("Dialup");
    ras.Dial();
    EXPECT_TRUE(ras.IsConnected());
    EXPECT_FALSE(ras.DialedByUs());
    ras.HangUp();
    EXPECT_EQ(Calls().find("connection up"), std::string::npos);
    EXPECT_EQ(Calls().find("connection down"), std::string::npos);
}

TEST_F(DialUp, EmptyServiceDialsNothing) {
    TagRas ras(platform_);
    ras.Dial();
    EXPECT_TRUE(ras.IsConnected());
    EXPECT_FALSE(ras.DialedByUs());
    EXPECT_EQ(test::ReadFile(dir_ / "calls").find("connection up"), std::string::npos);
}

TEST_F(DialUp, FailureTimeOutAndCancel) {
    TagRas ras(platform_);
    ras.SetService("Dialup");
    test::WriteFile(dir_ / "up", "fail");
    try {
        ras.Dial();
        FAIL();
    } catch (const ERASError& e) {
        EXPECT_EQ(e.Code(), 4);
        EXPECT_STREQ(e.what(), "Error: Connection activation failed: No carrier");
    }
    EXPECT_FALSE(ras.IsConnected());

    test::WriteFile(dir_ / "up", "hang");
    test::FakeClock clock;
    ras.Counter().SetClock(clock.Now());
    platform_.onPump = [&] { clock.Advance(10); };
    EXPECT_THROW(ras.Dial(), ETimedOutError);

    platform_.onPump = [&] { ras.Disconnect(); };
    EXPECT_THROW(ras.Dial(), ECanceledError);
}

TEST(DialUpMissing, WithoutTheToolEverythingIsEmpty) {
    test::PumpPlatform platform;
    TagRas ras(platform);
    ras.Tool = "no-such-network-tool";
    EXPECT_TRUE(ras.Entries().empty());
    EXPECT_TRUE(ras.Connections().empty());
    ras.SetService("Dialup");
    EXPECT_EQ(ras.Service(), "");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "TagRas component was unable to detect\nRAS on your system.");
}

}  // namespace
}  // namespace kivo
