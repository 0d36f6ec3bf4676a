#include "app/statusbar.h"

#include <gtest/gtest.h>

#include "store/KivoIndex.h"

namespace kivo {
namespace {

TEST(StatusBar, PanelsKeepTheirWidthsButTheDetailsPanelGrowsAndShrinks) {
    TStatusBar bar([](std::string_view text) { return static_cast<int>(text.size()) * 10; });
    EXPECT_EQ((std::array{bar.Width(0), bar.Width(1), bar.Width(2), bar.Width(3)}),
              (std::array{240, 90, 200, 10}));
    bar.SetText(0, std::string(100, 'a'));
    EXPECT_EQ(bar.Width(0), 240);
    bar.SetText(3, "3 messages left on pop.example.com");  // 34 characters
    EXPECT_EQ(bar.Text(3), "3 messages left on pop.example.com");
    EXPECT_GE(bar.Width(3), 340);
    bar.SetText(3, "x");
    EXPECT_LT(bar.Width(3), 30);
    bar.SetText(3, "");
    EXPECT_EQ(bar.Width(3), 10);
    bar.SetText(7, "nowhere");
    bar.SetText(-1, "nowhere");
    EXPECT_EQ(bar.Text(7), "");
}

TEST(StatusBar, MessageCountOfTheIndexWindow) {
    TStatusBar bar;
    TFrmIndex index;
    bar.ShowMessageCount(index);
    EXPECT_EQ(bar.Text(TStatusBar::spCount), "No messages");
}

TEST(StatusBar, ProgressBarPercentTextAndReset) {
    TStatusBar bar;
    struct Case {
        int set, percent;
    } cases[] = {{42, 42}, {-5, 0}, {250, 100}, {100, 100}};
    bar.ShowProgressText(true);
    for (const Case& c : cases) {
        bar.SetProgress(c.set);
        EXPECT_EQ(bar.Percent(), c.percent) << c.set;
        EXPECT_EQ(bar.ProgressText(), std::to_string(c.percent) + "%");
    }
    bar.ShowProgressText(false);
    EXPECT_EQ(bar.ProgressText(), "");
    bar.ResetProgress();
    EXPECT_EQ(bar.Percent(), 0);
    EXPECT_FALSE(bar.ProgressTextShown());
}

TEST(StatusBar, ProgressMenuShowsDisconnectOnlyWhileDialled) {
    for (bool dialled : {false, true}) {
        const auto menu = ProgressMenu(dialled);
        EXPECT_EQ(menu[3], (TProgressMenuItem{"&Disconnect Modem", dialled}));
        EXPECT_EQ(menu[4].Caption, "&View progress messages...");
        EXPECT_TRUE(menu[2].Visible);
    }
}

}  // namespace
}  // namespace kivo
