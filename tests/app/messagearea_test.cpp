#include "app/messagearea.h"

#include <gtest/gtest.h>

#include "app/settings.h"

namespace kivo {
namespace {

TMessageArea Area(int dockAlign, int indexHeight) {
    TPositionSettings position;
    position.DockAlign = dockAlign;
    position.IndexHeight = indexHeight;
    TMessageArea area;
    area.Load(position);
    area.SetAreaHeight(500);
    area.SetTitleHeight(20);
    return area;
}

TEST(MessageArea, ZoomCollapsesAStackedIndexToItsTitleAndRestoresIt) {
    for (int align : {0, 2}) {
        TMessageArea area = Area(align, 180);
        ASSERT_TRUE(area.ToggleZoom());
        EXPECT_TRUE(area.IndexMin());
        EXPECT_EQ(area.IndexHeight(), 24);
        TPositionSettings saved;
        area.Save(saved);
        EXPECT_TRUE(saved.IndexMin);
        EXPECT_EQ(saved.Restore, 180);
        ASSERT_TRUE(area.ToggleZoom());
        EXPECT_FALSE(area.IndexMin());
        EXPECT_EQ(area.IndexHeight(), 180);
    }
    for (int align : {1, 3}) {
        TMessageArea area = Area(align, 180);
        EXPECT_FALSE(area.ToggleZoom()) << "side by side nothing collapses";
        EXPECT_FALSE(area.IndexMin());
        EXPECT_EQ(area.IndexHeight(), 180);
    }
}

TEST(MessageArea, RestoreLeavingTheViewNoRoomTakesTwoFifths) {
    struct Case {
        int restore, height;
    } cases[] = {{150, 150}, {499, 499}, {500, 200}, {900, 200}, {0, 200}};
    for (const Case& c : cases) {
        TPositionSettings position;
        position.IndexMin = true;
        position.Restore = c.restore;
        TMessageArea area;
        area.Load(position);
        area.SetAreaHeight(500);
        area.SetTitleHeight(20);
        EXPECT_EQ(area.IndexHeight(), 24);
        area.ToggleZoom();
        EXPECT_EQ(area.IndexHeight(), c.height) << c.restore;
    }
    TPositionSettings sideBySide;
    sideBySide.DockAlign = 1;
    sideBySide.IndexMin = true;
    TMessageArea area;
    area.Load(sideBySide);
    EXPECT_FALSE(area.IndexMin());
}

TEST(MessageArea, FastReadingCollapsesOnAShownMessageAndThePointerBringsItBack) {
    TMessageArea area = Area(0, 200);
    area.MessageShown();
    EXPECT_FALSE(area.IndexMin()) << "fast reading off";
    area.SetFastRead(true);
    area.MessageShown();
    EXPECT_TRUE(area.IndexMin());
    area.MessageShown();  // the next message by keyboard keeps it collapsed
    EXPECT_TRUE(area.IndexMin());
    area.PointerOverIndexTitle();
    EXPECT_FALSE(area.IndexMin());
    EXPECT_EQ(area.IndexHeight(), 200);

    area.SetFastRead(false);
    area.ToggleZoom();
    area.PointerOverIndexTitle();
    EXPECT_TRUE(area.IndexMin()) << "a zoom by F11 stays until F11";
}

TEST(MessageArea, FontSizeStepsWithinSixToTwenty) {
    struct Case {
        int from, delta, to;
        bool changed;
    } cases[] = {{10, +1, 11, true},  {10, -1, 9, true}, {6, -1, 6, false},
                 {20, +1, 20, false}, {7, -1, 6, true},  {19, +1, 20, true}};
    for (const Case& c : cases) {
        TProgramSettings program;
        program.MessageFontSize = c.from;
        EXPECT_EQ(ChangeMessageFontSize(program, c.delta), c.changed) << c.from;
        EXPECT_EQ(program.MessageFontSize, c.to);
    }
}

TEST(MessageArea, UserButtonPanelWidths) {
    EXPECT_EQ(CollapsedButtonsWidth(8), 12);
    EXPECT_EQ(WidenedButtonsWidth(800, 120, 8), 670);
    EXPECT_EQ(WidenedButtonsWidth(100, 120, 8), 12) << "a narrow toolbar: collapsed";
}

}  // namespace
}  // namespace kivo
