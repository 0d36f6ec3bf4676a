// The mini address list's place on the screen, its link to a composer, and the contacts
// dragged out of it.

#include <gtest/gtest.h>

#include "addressbook/KivoAddress.h"
#include "addressbook/KivoAddressBook.h"
#include "addressbook/contactdrag.h"
#include "addressbook/minilistlink.h"
#include "addressbook/minilistplace.h"
#include "addressbook/namesort.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

TEST(MiniListPlace, ReadsAndKeepsItsDock) {
    struct Case {
        const char* docked;
        TDockSide side;
    } sides[] = {{"DL", TDockSide::Left},
                 {"dr", TDockSide::Right},
                 {" f ", TDockSide::Floating},
                 {"", TDockSide::Left},
                 {"XX", TDockSide::Left}};
    for (const auto& c : sides) EXPECT_EQ(DockSideOf(c.docked), c.side) << c.docked;
    EXPECT_EQ(DockedText(TDockSide::Right), "DR");
    EXPECT_EQ(DockAlignOf(3), daRight);
    EXPECT_EQ(DockAlignOf(7), daTop);
    EXPECT_EQ(DockAlignOf(-1), daTop);

    // Stacked: bottom from 20 pixels below the dock's top; side by side: right past 4.
    EXPECT_EQ(AlignFromPlace(false, 19), daTop);
    EXPECT_EQ(AlignFromPlace(false, 20), daBottom);
    EXPECT_EQ(AlignFromPlace(true, 4), daLeft);
    EXPECT_EQ(AlignFromPlace(true, 5), daRight);

    const TListPlace before{"DL", daBottom, 115, 214, 30, 40, true};
    // Docked: side, size and alignment change, the floating position is kept for later.
    EXPECT_EQ(PlaceToKeep(TDockSide::Right, {900, 300, 150, 250}, false, 0, false, before),
              (TListPlace{"DR", daTop, 150, 250, 30, 40, false}));
    EXPECT_EQ(PlaceToKeep(TDockSide::Left, {0, 300, 150, 250}, true, 150, true, before).align,
              daRight);
    // Alone in its dock it keeps the alignment it had; floating, it keeps it too.
    EXPECT_EQ(PlaceToKeep(TDockSide::Left, {0, 90, 150, 250}, false, std::nullopt, true, before),
              (TListPlace{"DL", daBottom, 150, 250, 30, 40, true}));
    EXPECT_EQ(PlaceToKeep(TDockSide::Floating, {500, 60, 160, 300}, false, 0, true, before),
              (TListPlace{"F", daBottom, 160, 300, 500, 60, true}));
}

TEST(MiniListPlace, StandsBesideTheComposerOnTheScreen) {
    const TRect screen{0, 0, 1280, 800};
    struct Case {
        TRect composer;
        TRect list;
        const char* why;
    } cases[] = {
        {{100, 50, 600, 400}, {700, 50, 200, 300}, "room on the right"},
        {{700, 50, 500, 400}, {500, 50, 200, 300}, "no room on the right: on the left"},
        {{50, 50, 1150, 400}, {0, 50, 200, 300}, "room on neither side: kept on the screen"},
        {{100, 650, 600, 140}, {700, 500, 200, 300}, "too low: moved up onto the screen"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BesideComposer(c.composer, 200, 300, screen), c.list) << c.why;
    }
    // The back window at the list's lower right corner, pulled onto the screen at its edge.
    EXPECT_EQ(BackWindowAt({700, 50, 200, 300}, 120, 60, screen), (TPoint{900, 290}));
    EXPECT_EQ(BackWindowAt({1100, 50, 180, 300}, 120, 60, screen), (TPoint{1160, 290}));
    EXPECT_EQ(FloatPlaceOnClose({40, 30}), (TPoint{24, 46}));
}

class FakeComposer : public TLinkedComposer {
  public:
    TAddressField FocusedField() const override { return focused; }
    void AddAddressLine(TAddressField field, std::string_view line) override {
        std::string& text = field == TAddressField::To ? to : field == TAddressField::Cc ? cc : bcc;
        text = FieldWithLine(text, line);
    }
    TAddressField focused = TAddressField::To;
    std::string to, cc, bcc;
};

TEST(MiniListLink, ClickedEntriesGoToTheLinkedComposersFocusedField) {
    TMiniListLink link;
    FakeComposer first, second;
    EXPECT_FALSE(link.EntryReleased("Ann")) << "no composer linked";

    link.Link(first);
    EXPECT_TRUE(link.Highlighted());
    link.Clicked();
    EXPECT_FALSE(link.Highlighted());
    EXPECT_TRUE(link.EntryReleased("Ann"));
    EXPECT_TRUE(link.EntryReleased("bob@x.org"));
    first.focused = TAddressField::Bcc;
    EXPECT_TRUE(link.EntryReleased("Cy"));
    first.focused = TAddressField::None;  // the subject or the body has the keyboard
    EXPECT_FALSE(link.EntryReleased("Di"));
    EXPECT_FALSE(link.EntryReleased("  "));
    EXPECT_EQ(first.to, "Ann\r\nbob@x.org");
    EXPECT_EQ(first.bcc, "Cy");
    EXPECT_EQ(first.cc, "");

    // The last composer to ask is served; an older one leaving does not unlink it.
    link.Link(second);
    link.Unlink(first);
    EXPECT_EQ(link.Linked(), &second);
    link.Deactivated();
    EXPECT_FALSE(link.Highlighted());
    link.Unlink(second);
    EXPECT_EQ(link.Linked(), nullptr);
    EXPECT_FALSE(link.EntryReleased("Ann"));
}

TEST(MiniListLink, NamesFieldsAndRemembersADropOnce) {
    struct Case {
        const char* name;
        TAddressField field;
    } names[] = {{"To", TAddressField::To},   {"&Cc:", TAddressField::Cc},
                 {"BCC", TAddressField::Bcc}, {"Subject", TAddressField::None},
                 {"", TAddressField::None},   {"Toast", TAddressField::None}};
    for (const auto& c : names) EXPECT_EQ(AddressFieldNamed(c.name), c.field) << c.name;
    EXPECT_EQ(FieldWithLine("", "a@x.org"), "a@x.org");
    EXPECT_EQ(FieldWithLine("b@x.org", "a@x.org"), "b@x.org\r\na@x.org");
    EXPECT_EQ(FieldWithLine("b@x.org\n", "a@x.org"), "b@x.org\na@x.org");

    TMiniListLink link;
    EXPECT_FALSE(link.TakeDropTo());
    link.RememberDropTo("Ann");
    EXPECT_EQ(link.TakeDropTo(), "Ann");
    EXPECT_FALSE(link.TakeDropTo()) << "taken by the one command that follows the drop";
}

TEST(ContactDrag, CarriesTheContactFoundByTheShownFieldAndItsAddresses) {
    TfrmAddress list;
    list.Load({{"Ann", "Lee", "ann@a.org"},
               {"Ann", "Other", "ao@b.org"},
               {"", "Ørsted", "hc@dk.example, \"hc\"@x.org"},
               {"Bo", "", ""}});
    EXPECT_EQ(list.ShownBy(), lfEmail);
    list.ShowBy(lfLastName);
    EXPECT_EQ(list.Listed(), (std::vector<std::string>{"Lee", "Ørsted", "Other"}));

    // The first contact with that first name, as the mailbox tree looks it up.
    const std::optional<TContactDrag> ann = DragOfEntry(list, lfFirstName, "Ann");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->contact, (TContact{"Ann", "Lee", "ann@a.org"}));
    EXPECT_EQ(ContactDragText(*ann), "ann@a.org");
    EXPECT_FALSE(DragOfEntry(list, lfFirstName, "Nobody"));

    // Commas, quotes and UTF-8 survive the drag's data.
    const std::optional<TContactDrag> hc = DragOfEntry(list, lfLastName, "Ørsted");
    ASSERT_TRUE(hc);
    EXPECT_EQ(DecodeContactDrag(EncodeContactDrag(*hc)), hc);
    EXPECT_EQ(ContactDragText(*hc), "hc@dk.example, \"hc\"@x.org");

    // Without an address the entry itself is dropped, to be resolved as a typed name.
    const std::optional<TContactDrag> bo = DragOfEntry(list, lfFirstName, "Bo");
    ASSERT_TRUE(bo);
    EXPECT_EQ(ContactDragText(*bo), "Bo");

    for (const char* junk : {"", "first", "nonsense,a,b,c,d", "first,a,b,c", "first,a,b,c,d,e"}) {
        EXPECT_FALSE(DecodeContactDrag(junk)) << junk;
    }
}

TEST(ContactDrag, DroppedTextGivesAddressLines) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
        const char* why;
    } cases[] = {
        {"ann@a.org", {"ann@a.org"}, "one address"},
        {"ann@a.org, bo@b.org", {"ann@a.org, bo@b.org"}, "a contact's addresses stay one line"},
        {" a@x.org \r\n\r\nb@x.org\n", {"a@x.org", "b@x.org"}, "lines trimmed, empty ones left"},
        {"MAILTO:c@x.org?subject=Hi", {"c@x.org"}, "a mailto link"},
        {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:D E\r\nEMAIL:d@x.org\r\nEMAIL:e@x.org\r\n"
         "END:VCARD\r\nBEGIN:VCARD\r\nFN:No Mail\r\nEND:VCARD\r\n",
         {"d@x.org, e@x.org"},
         "a vCard gives its addresses; a card without any gives nothing"},
        {"  \r\n", {}, "blank"},
    };
    for (const auto& c : cases) EXPECT_EQ(DroppedAddressLines(c.text), c.lines) << c.why;
}

TEST(NameSort, AccentsAndCaseDoNotSeparateNames) {
    // Each list is in the order a person expects.
    const std::vector<std::vector<std::string>> orders = {
        {"Ann", "ann", "Emil", "émile", "Eva"},  // case, then accents, stay with their letter
        {"Oscar", "Østergaard", "Otto"},         // a stroked O is an O
        {"Strasse", "Straße", "Stratton"},       // "ß" as "ss"; the plain spelling first
        {"Zoë", "Zoeÿ", "Зоя", "李"},            // bytes beyond the folded letters stay put
    };
    for (const auto& order : orders) {
        std::vector<std::string> shuffled(order.rbegin(), order.rend());
        std::sort(shuffled.begin(), shuffled.end(), NameLess);
        EXPECT_EQ(shuffled, order);
    }
    TfrmAddress list;
    list.Load({{"émile", "", ""}, {"Zoë", "", ""}, {"Eva", "", ""}});
    EXPECT_EQ(list.Listed(lfFirstName), (std::vector<std::string>{"émile", "Eva", "Zoë"}));
}

// An imported contact the book holds (one sharing an address, or without addresses the same
// names) is merged into its row, which takes what it lacked; the others are added.
TEST(AddressEditor, ImportMergesContactsItHolds) {
    test::TempDir dir;
    test::WriteFile(dir / "address.ini", "Ann,Lee,ann@a.org,NICKNAME:al\r\nCy\r\n");
    TFrmAddressBook editor;
    editor.Load(dir / "address.ini");
    const TImportResult result =
        editor.Import({{"Ann", "", "ANN@a.org, ann@b.org", {"NICKNAME:annie", "TEL:1"}},
                       {"Bo", "", "bo@b.org"},
                       {"Bo", "Day", "bo@b.org"},
                       {"Ann", "Lee", "ann@other.org"},
                       {"cy", "", ""}});
    EXPECT_EQ(result.added, 2);
    ASSERT_EQ(result.merged.size(), 3u);
    EXPECT_EQ(result.merged[0],
              (TContact{"Ann", "Lee", "ann@a.org, ann@b.org", {"NICKNAME:al", "TEL:1"}}));
    EXPECT_EQ(result.merged[1], (TContact{"Bo", "Day", "bo@b.org"}));
    EXPECT_EQ(ImportSummary(result), "2 contacts imported, 3 merged");
    EXPECT_TRUE(editor.Changed());
    editor.OK(dir / "address.ini");
    EXPECT_EQ(test::ReadFile(dir / "address.ini"),
              "Ann,Lee,\"ann@a.org, ann@b.org\",NICKNAME:al,TEL:1\r\n"
              "Ann,Lee,ann@other.org\r\nBo,Day,bo@b.org\r\nCy\r\n");

    // The same again changes nothing.
    editor.Load(dir / "address.ini");
    EXPECT_EQ(ImportSummary(editor.Import({{"Bo", "Day", "bo@b.org"}})),
              "0 contacts imported, 1 merged");
    EXPECT_FALSE(editor.Changed());
}

}  // namespace
}  // namespace kivo
