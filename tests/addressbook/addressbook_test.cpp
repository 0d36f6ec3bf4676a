#include <gtest/gtest.h>

#include "addressbook/KivoAddress.h"
#include "addressbook/KivoAddressBook.h"
#include "addressbook/addressfile.h"
#include "addressbook/addsender.h"
#include "base/bytes.h"
#include "base/commatext.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(AddressFile, ReadsContactsOfOneToThreeFields) {
    TempDir dir;
    WriteFile(dir / "address.ini",
              "Ann,Lee,\"ann@a.org, ann@b.org\"\r\n"
              "Bob\r\n"
              "\r\n"
              "\"Mary Jo\",Smith,mj@c.org\n"
              "Cy,,cy@d.org\r\n"
              "Di,Doe,di@e.org,di@f.org\r\n");
    const std::vector<TContact> book = ReadAddressBook(dir / "address.ini");
    const std::vector<TContact> expected = {
        {"Ann", "Lee", "ann@a.org, ann@b.org"},  // quoted field of two addresses
        {"Bob", "", ""},                         // first name only; the empty line is skipped
        {"Mary Jo", "Smith", "mj@c.org"},        // quoted two-word name, LF line end
        {"Cy", "", "cy@d.org"},                  // empty last name
        {"Di", "Doe", "di@e.org"},               // a fourth field that is no property: ignored
    };
    EXPECT_EQ(book, expected);
    EXPECT_TRUE(ReadAddressBook(dir / "missing.ini").empty());
}

TEST(AddressFile, WritesWhatItReadsBack) {
    TempDir dir;
    const std::vector<TContact> book = {
        {"Ann", "Lee", "ann@a.org, ann@b.org"}, {"Bob", "", ""}, {"Cy", "", "cy@d.org"}};
    WriteAddressBook(dir / "address.ini", book);
    EXPECT_EQ(ReadFile(dir / "address.ini"),
              "Ann,Lee,\"ann@a.org, ann@b.org\"\r\nBob\r\nCy,,cy@d.org\r\n");
    EXPECT_EQ(ReadAddressBook(dir / "address.ini"), book);
}

// What the book has no column for follows the third field as property lines: readers of
// three fields see the same contact, and the line comes back whole.
TEST(AddressFile, KeepsPropertiesBeyondTheThreeColumns) {
    TempDir dir;
    TContact carol{"Carol",
                   "",
                   "",
                   {"NICKNAME:cc", "TEL;TYPE=CELL:+1 555 0100",
                    "NOTE:met at \"FOSDEM\"\\, hall K\\nsecond line"}};
    const std::vector<TContact> book = {carol, {"Dan", "Ek", "dan@x.org", {"ORG:Acme;Sales"}}};
    WriteAddressBook(dir / "address.ini", book);
    const std::string text = ReadFile(dir / "address.ini");
    EXPECT_EQ(SplitLines(text).size(), 2u) << text;
    EXPECT_EQ(ReadAddressBook(dir / "address.ini"), book);
    const std::vector<std::string> fields = FromCommaText(SplitLines(text)[0]);
    ASSERT_GE(fields.size(), 3u);
    EXPECT_EQ((std::vector<std::string>{fields[0], fields[1], fields[2]}),
              (std::vector<std::string>{"Carol", "", ""}));
    EXPECT_EQ(Nickname(carol), "cc");
    EXPECT_EQ(ExtraValue(carol, "NOTE"), "met at \"FOSDEM\", hall K\nsecond line");
    SetNickname(carol, "");
    EXPECT_EQ(Nickname(carol), "");
    EXPECT_EQ(carol.extra.size(), 2u);
}

// A nickname names one person and stands for the first of the contact's addresses; a first
// name shared by several addresses still stands for all of them (a list of people).
TEST(AddressFile, NicknameStandsForOneAddress) {
    TfrmAddress list;
    list.Load({{"Carol", "Ek", "carol@home.org, carol@work.org", {"NICKNAME:cc"}},
               {"Team", "", "a@x.org, b@x.org"},
               {"Ccily", "", "ccily@x.org"}});
    EXPECT_EQ(list.ResolveNick("CC", kLookupDefault), std::vector<std::string>{"carol@home.org"});
    EXPECT_EQ(list.ResolveNick("carol", kLookupDefault),
              std::vector<std::string>{"carol@home.org, carol@work.org"});
    EXPECT_EQ(list.ResolveNick("team", kLookupDefault),
              std::vector<std::string>{"a@x.org, b@x.org"});
    EXPECT_EQ(list.ResolveNick("cc", kLookupLastName), std::vector<std::string>{});
}

class ResolveNick : public ::testing::Test {
  protected:
    void SetUp() override {
        list.Load({{"Ann", "Lee", "ann@a.org"},
                   {"Andy", "Ross", "andy@b.org, andy@c.org"},
                   {"Lee", "Park", "lp@d.org"},
                   {"Zed", "An", "an@e.org"},
                   {"Bo", "", ""}});
    }
    TfrmAddress list;
};

TEST_F(ResolveNick, PassesRunInOrderWithTheirBits) {
    struct Case {
        const char* text;
        int lookup;
        std::vector<std::string> candidates;
        const char* why;
    } cases[] = {
        {"ann", 7, {"ann@a.org"}, "first name, any case"},
        {"LEE", 7, {"lp@d.org"}, "first name wins over last name"},
        {"lee", 2, {"ann@a.org"}, "last name alone"},
        {"ross", 1, {}, "last name bit off"},
        {"lp", 7, {"lp@d.org"}, "local part"},
        {"lp", 3, {}, "local part needs bit 4"},
        {"an", 7, {"an@e.org"}, "last name found before the beginning of first names"},
        {"an", 5, {"an@e.org"}, "local part before the beginning of first names"},
        {"an", 1, {}, "beginnings need bit 4"},
        {"a", 4, {"ann@a.org", "andy@b.org, andy@c.org"}, "beginning of first names, file order"},
        {"", 7, {}, "empty text"},
        {"x", 7, {}, "no match"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list.ResolveNick(c.text, c.lookup), c.candidates) << c.why;
    }
}

TEST_F(ResolveNick, ListsTrimmedValuesSortedAndCopiesTheEmail) {
    EXPECT_EQ(list.Listed(lfLastName), (std::vector<std::string>{"An", "Lee", "Park", "Ross"}));
    EXPECT_EQ(list.Listed(lfFirstName).size(), 5u);
    EXPECT_EQ(list.EmailOfEntry(lfLastName, "Ross"), "andy@b.org, andy@c.org");
    EXPECT_EQ(list.EmailOfEntry(lfLastName, "Nobody"), "");
}

TEST(AddSender, TakesNamesFromTheDisplayName) {
    struct Case {
        const char* from;
        std::optional<TContact> contact;
        const char* why;
    } cases[] = {
        {"Mary Ann Jones <MJ@x.org>", TContact{"Mary", "Jones", "mj@x.org"}, "three words"},
        {"\"Doe, John\" <jd@x.org>", TContact{"Doe,", "John", "jd@x.org"}, "quoted name"},
        {"bob@x.org", TContact{"bob", "", "bob@x.org"}, "bare address: local part"},
        {"'-' <q@x.org>", TContact{"q", "", "q@x.org"}, "no letter in the name"},
        {"\"Älice Dœ\" <a@x.org>", TContact{"Älice", "Dœ", "a@x.org"},
         "letters beyond ASCII at the ends stay"},
        {"  ", std::nullopt, "blank"},
        {"Just A Name", std::nullopt, "no address"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SenderContact(c.from), c.contact) << c.why;
    }
}

TEST(AddSender, AddsOnceThenSaysItIsThere) {
    TempDir dir;
    const auto file = dir / "address.ini";
    WriteFile(file, "Zoe,Ray,zoe@x.org\r\n");
    EXPECT_EQ(AddSender("Ann Lee <ann@x.org>", file, kLookupDefault), TAddSenderResult::Added);
    EXPECT_EQ(AddSender("Ann Lee <ann@x.org>", file, kLookupDefault),
              TAddSenderResult::AlreadyThere);
    EXPECT_EQ(ReadFile(file), "Ann,Lee,ann@x.org\r\nZoe,Ray,zoe@x.org\r\n");
    // Another Ann makes the first name ambiguous: the second Ann is added.
    EXPECT_EQ(AddSender("Ann Other <ao@x.org>", file, kLookupDefault), TAddSenderResult::Added);
    EXPECT_EQ(AddSender("Ann Lee <ann@x.org>", file, kLookupDefault), TAddSenderResult::Added);
    EXPECT_EQ(AddSender("nobody", file, kLookupDefault), TAddSenderResult::Nothing);
}

TEST(AddressEditor, EmailFieldIsJoinedAndRowsChange) {
    EXPECT_EQ(JoinEmailField("a@x.org; b@x.org\r\n c@x.org,"), "a@x.org, b@x.org, c@x.org");
    EXPECT_EQ(JoinEmailField("  a@x.org  "), "a@x.org");

    TempDir dir;
    const auto file = dir / "address.ini";
    TFrmAddressBook editor;
    editor.Load(file);
    EXPECT_FALSE(editor.FieldsEnabled());
    editor.New();
    editor.SetFirstName("Zed");
    editor.SetEmail("z@x.org;y@x.org");
    editor.New();
    editor.SetFirstName("Amy");
    editor.SetEmail(std::string(1000, 'a'));  // too long: not taken over
    EXPECT_FALSE(editor.Cancel());
    EXPECT_TRUE(editor.Cancel());
    editor.OK(file);
    EXPECT_EQ(ReadFile(file), "Amy\r\nZed,,\"z@x.org, y@x.org\"\r\n");
    editor.Load(file);
    editor.Select(1);
    editor.Delete();
    EXPECT_EQ(editor.Selected(), 0u);
    editor.Delete();
    EXPECT_FALSE(editor.FieldsEnabled());
    EXPECT_TRUE(editor.Changed());
}

}  // namespace
}  // namespace kivo
