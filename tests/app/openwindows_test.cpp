#include "app/openwindows.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

struct Named : TOpenWindow {
    explicit Named(std::string c) : caption(std::move(c)) {}
    std::string Caption() const override { return caption; }
    bool Close() override { return true; }
    void Show() override { ++shown; }
    std::string caption;
    int shown = 0;
};

using Captions = std::vector<std::string>;

TEST(OpenWindows, TagsAreListPlacesAndTheWindowMenuFollowsTheList) {
    TOpenWindows list;
    EXPECT_FALSE(list.MenuEnabled());
    Named first("New, lunch"), second("Reply, Re: plans"), third("Message Index");
    for (Named* w : {&first, &second, &third}) list.Add(*w);
    EXPECT_EQ(list.Tag(first), 0);
    EXPECT_EQ(list.Tag(third), 2);
    EXPECT_TRUE(list.MenuEnabled());
    EXPECT_EQ(list.MenuCaptions(), (Captions{"New, lunch", "Reply, Re: plans", "Message Index"}));

    // A caption that changes (a subject typed) changes its menu item.
    first.caption = "New, dinner";
    EXPECT_EQ(list.MenuCaptions().front(), "New, dinner");

    // Closing the middle window renumbers the one after it; its item goes.
    list.Remove(second);
    EXPECT_EQ(list.Tag(second), -1);
    EXPECT_EQ(list.Tag(third), 1);
    EXPECT_EQ(list.MenuCaptions(), (Captions{"New, dinner", "Message Index"}));
    EXPECT_TRUE(list.MenuClick(1));
    EXPECT_EQ(third.shown, 1);
    EXPECT_FALSE(list.MenuClick(2)) << "the closed window's old tag";
    EXPECT_EQ(second.shown, 0);

    list.Remove(first);
    list.Remove(third);
    EXPECT_FALSE(list.MenuEnabled());
    EXPECT_TRUE(list.MenuCaptions().empty());
}

TEST(OpenWindows, MenuItemsShowSixtyCharactersOfTheTitle) {
    const std::string sixty(60, 'x');
    // "é" is two bytes: sixty of them are 120 bytes, and the cut must not halve the last.
    std::string accents;
    for (int k = 0; k < 61; ++k) accents += "\xc3\xa9";
    EXPECT_EQ(WindowMenuCaption(sixty), sixty) << "exactly sixty stays whole";
    EXPECT_EQ(WindowMenuCaption(sixty + "y"), sixty + "...");
    EXPECT_EQ(WindowMenuCaption(accents), accents.substr(0, 120) + "...");
    EXPECT_EQ(WindowMenuCaption(accents.substr(0, 120)), accents.substr(0, 120));

    TOpenWindows list;
    Named view("Quarterly figures for the northern region and the islands, from someone");
    list.Add(view);
    EXPECT_EQ(list.MenuCaptions(),
              (Captions{"Quarterly figures for the northern region and the islands, f..."}));
    list.Remove(view);
}

}  // namespace
}  // namespace kivo
