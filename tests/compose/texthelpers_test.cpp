#include <gtest/gtest.h>

#include "compose/filenames.h"
#include "compose/htmlstrip.h"
#include "compose/signatures.h"
#include "compose/tip.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using Lines = std::vector<std::string>;

TEST(StripHtml, RemovesTagsAndReadsCharacterReferences) {
    struct Case {
        Lines in;
        Lines out;
        const char* why;
    } cases[] = {
        {{"Subject: a &lt;b&gt;", "", "<p>Hello <b>world</b></p>"},
         {"Subject: a <b>", "", "Hello world"},
         "tags in the body, three entities in headers too"},
        {{"X: <kept>", " ", "one <a", "href=x>two</a>"},
         {"X: <kept>", " ", "one two"},
         "a tag across a line break; header tags stay"},
        {{"H: Tom &amp; Jerry", "", "a&amp;b&nbsp;c &quot;", "x <unclosed", "gone"},
         {"H: Tom &amp; Jerry", "", "a&b c \"", "x "},
         "every reference in the body, only three in headers; an unclosed tag runs to the end"},
        {{"H: 1", "", "It&#8217;s 5 &euro; &#x2013; &amp;lt; & &bogus; &#xD800000;"},
         {"H: 1", "", "It’s 5 € – &lt; & &bogus; �"},
         "numbers, names, one level only; a lone & and unknown names stay"},
        {{"H: 1", "", "<style type=\"text/css\">", "p { color: red; }", "</STYLE><p>Hi</p>",
          "<script>if (a < b) x();</script>", "<!-- a <b> comment -->Bye", "<styles>x</styles>"},
         {"H: 1", "", "Hi", "", "Bye", "x"},
         "style sheets, scripts and comments go with what they hold"},
        {{"<b>no blank line</b> &gt;"}, {"<b>no blank line</b> >"}, "no body: entities only"},
        {{"H: 1", "", "<i></i>", "", "&lt;b&gt;"},
         {"H: 1", "", "", "", "<b>"},
         "entities are replaced after the tags went"},
    };
    for (auto& c : cases) {
        StripHtml(c.in);
        EXPECT_EQ(c.in, c.out) << c.why;
    }
}

TEST(FileNames, ValidFileNameRefusesEmptyAndReservedCharacters) {
    EXPECT_TRUE(ValidFileName("Work 2026.old"));
    EXPECT_TRUE(ValidFileName("\xe4rger"));
    for (const char* bad : {"", "a\\b", "a/b", "c:", "*", "why?", "\"q\"", "<", ">", "a|b"}) {
        EXPECT_FALSE(ValidFileName(bad)) << bad;
    }
}

TEST(FileNames, NextNumberedNameCountsUpTheLastDigit) {
    struct Case {
        const char* in;
        std::size_t max;
        const char* out;
    } cases[] = {
        {"name", 255, "name1"},     {"name1", 255, "name2"}, {"name9", 255, "name10"},
        {"name10", 255, "name101"}, {"", 255, "1"},          {"abcd9", 5, "abcd1"},
        {"name", 3, "nam"},
    };
    for (const auto& c : cases) {
        std::string name = c.in;
        NextNumberedName(name, c.max);
        EXPECT_EQ(name, c.out) << c.in;
    }
    std::string longName(300, 'x');
    NextNumberedName(longName, 1000);
    EXPECT_EQ(longName.size(), 255u);
}

TEST(Signatures, ListsReadsAndWritesSignatureFiles) {
    test::TempDir dir;
    test::WriteFile(dir / "Work.TXT", "-- \r\n%fullname%\r\n");
    test::WriteFile(dir / "default.txt", "x");
    test::WriteFile(dir / "notes.md", "not a signature");
    std::filesystem::create_directory(dir / "folder.txt");
    EXPECT_EQ(SignatureNames(dir.path()), (std::vector<std::string>{"default", "Work"}));
    EXPECT_TRUE(SignatureNames(dir / "missing").empty());

    EXPECT_EQ(ReadSignature(dir.path(), "work"), "-- \r\n%fullname%\r\n");
    EXPECT_EQ(ReadSignature(dir.path(), "Missing"), "");
    WriteSignature(dir.path(), "WORK", "new");
    EXPECT_EQ(test::ReadFile(dir / "Work.TXT"), "new");  // the existing file, whatever its case
    EXPECT_THROW(WriteSignature(dir.path(), "../escape", "x"), std::invalid_argument);
    EXPECT_EQ(ReadSignature(dir.path(), "../default"), "");
}

TEST(Tip, SitsBelowThePointerAndFramesItsText) {
    EXPECT_EQ(TipWindowRect(100, 200, 50, 14), (TipRect{100, 224, 56, 16}));
    EXPECT_EQ(kTipColour & 0xFF, 0u);  // no red in aqua
}

}  // namespace
}  // namespace kivo
