#include <gtest/gtest.h>

#include "store/KivoIndex.h"

namespace kivo {
namespace {

TIndexItem Entry(int number, std::string subject, std::string from, std::string date,
                 std::string size, bool unread = false, bool attachment = false) {
    return MakeIndexItem(subject, attachment, unread, "", date, number, size, "Normal",
                         "to@example.com", from);
}

// Five entries in message order.
TFrmIndex Sample() {
    TFrmIndex window;
    window.AddIndexItem(Entry(1, "beta", "Ann <ann@example.com>", "02/01/2024 10:00:00", "9"));
    window.AddIndexItem(
        Entry(2, "Alpha", "Bob <bob@work.org>", "10/12/2023 09:00:00", "10", true, true));
    window.AddIndexItem(Entry(3, "gamma", "Cy <cy@work.org>", "01/02/2024", "x", false, true));
    window.AddIndexItem(Entry(4, "delta", "Di <di@example.com>", "15/01/2024 08:00:00", "1"));
    window.AddIndexItem(Entry(5, "Beta two", "Ed <ed@work.org>", "bad date", "100", true));
    return window;
}

std::vector<int> RowNumbers(const TFrmIndex& window) {
    std::vector<int> numbers;
    for (int row = 0; row < window.RowCount(); ++row) numbers.push_back(window.Row(row).Number);
    return numbers;
}

TEST(IndexWindow, ShowFilterTagsAndHidesTheRest) {
    TFrmIndex window = Sample();
    window.ApplyFilter(scFrom, "WORK.org", false);
    EXPECT_EQ(window.RowCount(), 5);  // tagged, but everything still listed
    EXPECT_EQ(window.MessageCountText(), "5 messages");

    window.ApplyFilter(scFrom, "work.org", true);
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(window.MessageCountText(), "3 messages");

    // A new message while the rest is hidden is listed, untagged.
    window.AddIndexItem(Entry(6, "new", "Zed <z@else.net>", "01/01/2024", "1"));
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{2, 3, 5, 6}));
    EXPECT_FALSE(window.Row(3).Tagged);

    struct Case {
        int criterion;
        const char* text;
        std::vector<int> rows;
    } cases[] = {
        {scSubject, "BETA", {1, 5}},
        {scDate, "/01/2024", {1, 4}},
        {scSize, "10", {2, 5}},
        {scUnread, "", {2, 5}},
        {scRead, "", {1, 3, 4}},
        {scWithAttached, "", {2, 3}},
        {scWithoutAttached, "", {1, 4, 5}},
    };
    for (const Case& c : cases) {
        TFrmIndex w = Sample();
        w.ApplyFilter(c.criterion, c.text, true);
        EXPECT_EQ(RowNumbers(w), c.rows) << ShowCriterionText(c.criterion);
    }

    TFrmIndex utf8 = Sample();
    utf8.AddIndexItem(Entry(6,
                            "Gr\xC3\xBC\xC3\x9F"
                            "e aus K\xC3\xB6ln",
                            "x@y.org", "01/01/2024", "1"));
    utf8.ApplyFilter(scSubject, "K\xC3\x96LN", true);
    EXPECT_EQ(RowNumbers(utf8), (std::vector<int>{6})) << "letter case of UTF-8 letters";

    window.ApplyFilter(scEverything, "", true);
    EXPECT_EQ(window.RowCount(), 6);
    EXPECT_FALSE(window.FilterActive());
    EXPECT_EQ(ShowCriterionText(scWithoutAttached), "without attached");
    EXPECT_TRUE(ShowCriterionTakesText(scPriority));
    EXPECT_FALSE(ShowCriterionTakesText(scUnread));
}

// Removing entries from the middle leaves every other entry exactly as it was, before the
// removed ones too (a compaction that moved entries onto themselves once emptied their texts).
TEST(IndexWindow, RemovingSelectedRowsKeepsEveryOtherEntryWhole) {
    for (bool hideRest : {false, true}) {
        TFrmIndex window = Sample();
        const TFrmIndex before = Sample();
        if (hideRest) window.ApplyFilter(scFrom, "@", true);  // every entry tagged and shown
        window.SelectOnly(3);
        window.SetSelected(1, true);
        const std::vector<TIndexItem> removed = window.RemoveSelected();
        ASSERT_EQ(removed.size(), 2u);
        EXPECT_EQ(removed[0].Subject, "Alpha");
        EXPECT_EQ(removed[1].Subject, "delta");
        ASSERT_EQ(RowNumbers(window), (std::vector<int>{1, 3, 5}));
        for (int row = 0; row < window.RowCount(); ++row) {
            TIndexItem kept = window.Row(row);
            TIndexItem was = before.Item(kept.Number - 1);
            kept.Tagged = was.Tagged = false;
            EXPECT_EQ(kept, was) << "row " << row << (hideRest ? " hiding the rest" : "");
        }
    }
}

TEST(IndexWindow, SelectTaggedSelectsExactlyTheTaggedRows) {
    TFrmIndex window = Sample();
    window.SelectTagged();  // no filter: nothing happens
    EXPECT_TRUE(window.SelectedRows().empty());
    window.ApplyFilter(scWithAttached, "", false);
    window.SelectOnly(0);
    window.SelectTagged();
    EXPECT_EQ(window.SelectedNumbers(), (std::vector<int>{2, 3}));
    window.InvertSelection();
    EXPECT_EQ(window.SelectedNumbers(), (std::vector<int>{1, 4, 5}));
    window.SelectAll();
    EXPECT_EQ(window.SelectedRows().size(), 5u);
}

TEST(IndexWindow, SortingFlipsOneFlagAndKeepsTheSelection) {
    TFrmIndex window = Sample();
    window.SelectOnly(2);  // message 3
    window.SortByColumn(icSubject);
    EXPECT_TRUE(window.Ascending());
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{2, 1, 5, 4, 3}));
    EXPECT_EQ(window.SelectedNumbers(), std::vector<int>{3});
    window.SortByColumn(icSubject);
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{3, 4, 5, 1, 2}));

    // Dates by time, not text; an unreadable date sorts first.
    window.SortByColumn(icDate);
    EXPECT_TRUE(window.Ascending());
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{5, 2, 1, 4, 3}));
    // Sizes as numbers: 10 after 9; an unreadable size sorts first.
    window.SortByColumn(icSize);
    window.SortByColumn(icSize);
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{3, 4, 1, 2, 5}));

    // With the rest hidden only the shown rows are sorted (the sixth click: descending).
    window.ApplyFilter(scFrom, "work.org", true);
    window.SortByColumn(icSubject);
    EXPECT_FALSE(window.Ascending());
    EXPECT_EQ(RowNumbers(window), (std::vector<int>{3, 5, 2}));
}

TEST(IndexWindow, ReadingChangesTheIconAndTheWeight) {
    TFrmIndex window = Sample();
    window.Saved = true;
    window.SetFocused(1);
    EXPECT_EQ(window.Row(1).Icon, 1);
    EXPECT_TRUE(window.CellLook(1, icSubject, TIndexLook{}).bold);
    window.ToggleUnread(true);
    EXPECT_FALSE(window.Row(1).Unread);
    EXPECT_EQ(window.Row(1).Icon, 3);
    EXPECT_FALSE(window.CellLook(1, icSubject, TIndexLook{}).bold);
    EXPECT_FALSE(window.Saved);

    window.SelectOnly(0);
    window.SetSelected(1, true);
    window.ToggleUnread(false);  // toggles each selected entry
    EXPECT_TRUE(window.Row(0).Unread);
    EXPECT_EQ(window.Row(0).Icon, 0);
    EXPECT_TRUE(window.Row(1).Unread);

    window.UpdateIndexIcons(1, 'B');
    EXPECT_EQ(window.Row(1).Icon, 13);
    window.UpdateIndexIcons(1, 'W');
    EXPECT_EQ(window.Row(1).Icon, 5);
}

TEST(IndexWindow, RowLooksFollowTheFilterAndShading) {
    TIndexLook look;
    look.shadeColour = 0xAAAAAA;
    look.listBack = 0xFFFFFF;
    look.listText = 0x111111;
    look.tagColour = 0x00FFFF;
    look.tagFontColour = 0x0000FF;
    TFrmIndex window = Sample();

    // Column shading, default 42: From, Size and Priority.
    for (int col = 0; col < 6; ++col) {
        const bool shaded = col == icFrom || col == icSize || col == icPriority;
        EXPECT_EQ(window.CellLook(0, col, look).back, shaded ? 0xAAAAAAu : 0xFFFFFFu) << col;
    }
    // Row shading in bands of two rows.
    look.horShade = true;
    look.horLines = 2;
    const std::uint32_t bands[] = {0xAAAAAA, 0xAAAAAA, 0xFFFFFF, 0xFFFFFF, 0xAAAAAA};
    for (int row = 0; row < 5; ++row) EXPECT_EQ(window.CellLook(row, 3, look).back, bands[row]);
    look.shadeCols = false;
    EXPECT_EQ(window.CellLook(0, 1, look), (TCellLook{false, 0x111111, 0xFFFFFF}));

    // While the filter is active: tag colours, the rest in grey.
    window.ApplyFilter(scUnread, "", false);
    EXPECT_EQ(window.CellLook(1, 0, look), (TCellLook{true, 0x0000FF, 0x00FFFF}));
    EXPECT_EQ(window.CellLook(0, 0, look), (TCellLook{false, kUntaggedGrey, 0xFFFFFF}));
}

TEST(IndexWindow, TypingFindsTheNextSubjectAndCountsRead) {
    TFrmIndex window = Sample();
    EXPECT_EQ(window.FindBySubject("be", 1, false), 4);
    EXPECT_EQ(window.FindBySubject("BE", 4, false), 4);
    EXPECT_EQ(window.FindBySubject("al", 2, false), -1);
    EXPECT_EQ(window.FindBySubject("al", 2, true), 1);

    TFrmIndex empty;
    EXPECT_EQ(empty.MessageCountText(), "No messages");
    empty.AddIndexItem(Entry(1, "s", "f", "01/01/2024", "1"));
    EXPECT_EQ(empty.MessageCountText(), "1 message");
}

}  // namespace
}  // namespace kivo
