#include "app/messagearea.h"

#include <gtest/gtest.h>

#include "app/settings.h"

namespace kivo {
namespace {

// A message area 500 pixels high with a 20-pixel index title.
struct AreaRig {
    TSettings settings;
    TMessageArea area{settings};
    AreaRig(int dockAlign, int indexHeight) {
        settings.Position.DockAlign = dockAlign;
        settings.Position.IndexHeight = indexHeight;
        area.SetAreaHeight(500);
        area.SetTitleHeight(20);
    }
};

TEST(MessageArea, ZoomCollapsesAStackedIndexToItsTitleAndRestoresIt) {
    for (int align : {0, 2}) {
        AreaRig rig(align, 180);
        ASSERT_TRUE(rig.area.ToggleZoom());
        EXPECT_TRUE(rig.area.IndexMin());
        EXPECT_EQ(rig.area.IndexHeight(), 24);
        EXPECT_TRUE(rig.settings.Position.IndexMin);  // what SaveIni writes
        EXPECT_EQ(rig.settings.Position.Restore, 180);
        ASSERT_TRUE(rig.area.ToggleZoom());
        EXPECT_FALSE(rig.area.IndexMin());
        EXPECT_FALSE(rig.settings.Position.IndexMin);
        EXPECT_EQ(rig.area.IndexHeight(), 180);
    }
    for (int align : {1, 3}) {
        AreaRig rig(align, 180);
        EXPECT_FALSE(rig.area.ToggleZoom()) << "side by side nothing collapses";
        EXPECT_FALSE(rig.area.IndexMin());
        EXPECT_EQ(rig.area.IndexHeight(), 180);
        rig.settings.Position.IndexMin = true;  // saved so, but not shown so
        EXPECT_FALSE(rig.area.IndexMin());
    }
}

TEST(MessageArea, ClosingTheIndexFloatsItAndClosingAgainDocksItAtTheBottom) {
    for (int align : {0, 1, 3}) {
        AreaRig rig(align, 180);
        ASSERT_TRUE(rig.area.ToggleZoom() || align != 0);
        ASSERT_TRUE(rig.area.CloseIndexWindow());
        EXPECT_TRUE(rig.area.IndexSeparate());
        EXPECT_FALSE(rig.area.Stacked());
        EXPECT_FALSE(rig.area.IndexMin()) << "nothing to zoom while the index floats";
        EXPECT_FALSE(rig.area.ToggleZoom());
        rig.area.SetFastRead(true);
        rig.area.MessageShown();
        EXPECT_FALSE(rig.area.IndexMin()) << "fast reading collapses only a docked index";
        EXPECT_EQ(rig.settings.Position.DockAlign, align) << "floating is not a setting";

        EXPECT_FALSE(rig.area.CloseIndexWindow());
        EXPECT_FALSE(rig.area.IndexSeparate());
        EXPECT_EQ(rig.settings.Position.DockAlign, 2) << "docked under the view";
        EXPECT_TRUE(rig.area.Stacked());
        EXPECT_FALSE(rig.area.IndexMin()) << "a collapsed index comes back open";
        EXPECT_EQ(rig.area.IndexHeight(), 180);
    }
}

TEST(MessageArea, RestoreLeavingTheViewNoRoomTakesTwoFifths) {
    struct Case {
        int restore, height;
    } cases[] = {{150, 150}, {499, 499}, {500, 200}, {900, 200}, {24, 200}, {0, 200}};
    for (const Case& c : cases) {
        AreaRig rig(0, 300);
        rig.settings.Position.IndexMin = true;  // as read from kivo.ini
        rig.settings.Position.Restore = c.restore;
        EXPECT_EQ(rig.area.IndexHeight(), 24);
        rig.area.ToggleZoom();
        EXPECT_EQ(rig.area.IndexHeight(), c.height) << c.restore;
    }
}

TEST(MessageArea, DraggingTheSplitterOpensACollapsedIndex) {
    AreaRig rig(0, 180);
    rig.area.ToggleZoom();
    rig.area.SetIndexHeight(20);
    EXPECT_TRUE(rig.area.IndexMin());
    rig.area.SetIndexHeight(260);
    EXPECT_FALSE(rig.area.IndexMin());
    EXPECT_EQ(rig.area.IndexHeight(), 260);
}

TEST(MessageArea, FastReadingCollapsesOnAShownMessageAndThePointerBringsItBack) {
    AreaRig rig(0, 200);
    TMessageArea& area = rig.area;
    area.MessageShown();
    EXPECT_FALSE(area.IndexMin()) << "fast reading off";
    area.SetFastRead(true);
    EXPECT_TRUE(rig.settings.Mail.FastRead);
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

TEST(MessageArea, UserButtonPanelAndSideDockWidths) {
    EXPECT_EQ(CollapsedButtonsWidth(8), 12);
    EXPECT_EQ(WidenedButtonsWidth(800, 120, 8), 670);
    EXPECT_EQ(WidenedButtonsWidth(100, 120, 8), 12) << "a narrow toolbar: collapsed";

    TSideDock dock;
    EXPECT_EQ(dock.Width(), 0);
    dock.Docked(960);
    EXPECT_EQ(dock.Width(), 160);
    dock.SetWidth(200);
    dock.Docked(960);  // a second window keeps the width
    dock.Undocked();
    EXPECT_EQ(dock.Width(), 200);
    dock.Undocked();
    EXPECT_FALSE(dock.Visible());
    EXPECT_EQ(dock.Width(), 0);
    dock.Undocked();
    dock.Docked(600);
    EXPECT_EQ(dock.Width(), 100);
}

}  // namespace
}  // namespace kivo
