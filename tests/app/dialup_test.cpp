// Dialling around the mail runs, against a stand-in for NetworkManager's tool.
#include "app/dialup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/settings.h"
#include "net/agRasCmp.h"
#include "tests/net/fakenmcli.h"
#include "tests/store/fakes.h"
#include "tests/support/testutil.h"
#include "transfer/transferfeedback.h"

namespace kivo {
namespace {

struct StatusFeedback : TTransferFeedback {
    std::vector<std::string> panel0;
    void StatusText(int panel, std::string_view text) override {
        if (panel == 0) panel0.emplace_back(text);
    }
    bool AskPassword(std::string_view, std::string_view, std::string&) override { return false; }
};

class DialUpControl : public ::testing::Test {
  protected:
    void SetUp() override {
        test::WriteFile(dir_ / "nmcli", test::kFakeNmcli);
        ::chmod((dir_ / "nmcli").c_str(), 0755);
        test::WriteFile(dir_ / "entries", "Modem:ppp\nOffice:vpn\n");
        test::WriteFile(dir_ / "up", "ok");
        ras_.Tool = (dir_ / "nmcli").string();
        control_.OnDisconnectVisibleChanged = [this] { ++visibleChanges_; };
    }
    std::string Calls() { return test::ReadFile(dir_ / "calls"); }
    bool Called(std::string_view what) { return Calls().find(what) != std::string::npos; }

    test::TempDir dir_;
    test::RecordingPlatform platform_;
    TagRas ras_{platform_};
    TSettings settings_ = DefaultSettings(dir_.path());
    StatusFeedback feedback_;
    TDialUpControl control_{ras_, settings_, feedback_};
    int visibleChanges_ = 0;
};

TEST_F(DialUpControl, DialsTheFirstEntryAndHangsUpOnlyWithAutoHangup) {
    control_.DialUp();  // AutoDial off: nothing at all
    EXPECT_FALSE(std::filesystem::exists(dir_ / "calls"));

    settings_.Mail.AutoDial = true;
    control_.DialUp();
    EXPECT_TRUE(Called("connection up id Modem"));
    EXPECT_TRUE(control_.DisconnectVisible());
    EXPECT_EQ(feedback_.panel0, (std::vector<std::string>{"Dialing service provider...", ""}));

    // The next account's turn finds the line up: nothing is dialled again.
    test::WriteFile(dir_ / "calls", "");
    control_.DialUp();
    EXPECT_FALSE(Called("connection up"));

    control_.HangUp();  // AutoHangup off: the line stays, the command goes
    EXPECT_FALSE(control_.DisconnectVisible());
    EXPECT_FALSE(Called("connection down"));
    EXPECT_EQ(visibleChanges_, 2);

    settings_.Mail.AutoHangup = true;
    feedback_.panel0.clear();
    control_.HangUp();
    EXPECT_TRUE(Called("connection down id Modem"));
    EXPECT_EQ(feedback_.panel0, (std::vector<std::string>{"Disconnecting modem...", ""}));
}

TEST_F(DialUpControl, DisconnectModemAndAFailedDial) {
    settings_.Mail.AutoDial = true;
    settings_.Mail.RAS = "Office";
    control_.DialUp();
    EXPECT_TRUE(Called("connection up id Office"));
    control_.DisconnectModem();
    EXPECT_FALSE(control_.DisconnectVisible());
    EXPECT_TRUE(Called("connection down id Office"));

    test::WriteFile(dir_ / "up", "fail");
    feedback_.panel0.clear();
    EXPECT_THROW(control_.DialUp(), ERASError);
    EXPECT_EQ(feedback_.panel0.back(), "");  // the status panel does not keep "Dialing..."

    // An entry the system does not know is refused with its message and never dialled.
    settings_.Mail.RAS = "Nowhere";
    test::WriteFile(dir_ / "calls", "");
    control_.DialUp();
    EXPECT_FALSE(Called("connection up"));
}

}  // namespace
}  // namespace kivo
