#include "compose/composerplace.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(ComposerPlace, ComposersCascadeAndStayOnTheScreen) {
    IniFile settings;
    // The fourth composer in a row starts 48 pixels right of and below the first.
    TComposerRect first = PlaceComposer(settings, 1920, 1080);
    EXPECT_EQ(first, (TComposerRect{20, 20, 540, 400}));
    PlaceComposer(settings, 1920, 1080);
    PlaceComposer(settings, 1920, 1080);
    EXPECT_EQ(PlaceComposer(settings, 1920, 1080), (TComposerRect{68, 68, 540, 400}));

    struct Case {
        int left, top, width, height;
        TComposerRect placed;
        const char* why;
    } cases[] = {
        {700, 100, 540, 400, {20, 100, 540, 400}, "too far right: back to the left margin"},
        {100, 500, 540, 400, {100, 20, 540, 400}, "too low: back to the top margin"},
        {0, 0, 2000, 1000, {0, 0, 1024, 768}, "larger than the screen"},
    };
    for (const auto& c : cases) {
        IniFile ini;
        ini.WriteInteger("Position", "OtherLeft", c.left);
        ini.WriteInteger("Position", "OtherTop", c.top);
        ini.WriteInteger("Position", "OtherWidth", c.width);
        ini.WriteInteger("Position", "OtherHeight", c.height);
        EXPECT_EQ(PlaceComposer(ini, 1024, 768), c.placed) << c.why;
    }
}

TEST(ComposerPlace, ClosingRemembersPlaceAndChoices) {
    IniFile settings;
    SaveComposerOnClose(settings, {{30, 40, 600, 500}, true, false, false, true, false});
    EXPECT_EQ(settings.ReadInteger("Position", "OtherLeft", 0), 30);
    EXPECT_EQ(settings.ReadInteger("Position", "OtherHeight", 0), 500);
    EXPECT_FALSE(settings.ReadBool("Position", "Toolbar2", true));
    EXPECT_EQ(settings.ReadInteger("Defaults", "FormatLast", -1), 2);
    EXPECT_FALSE(settings.ReadBool("Defaults", "SigLast", true));
}

}  // namespace
}  // namespace kivo
