// Text on its way to the screen: UTF-8 stays, anything else is read as Windows-1252, and a
// terminal never gets control characters.

#include "base/displaytext.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(DisplayText, KeepsUtf8AndReadsTheRestAsWindows1252) {
    struct Case {
        std::string in, out;
        const char* why;
    };
    const Case cases[] = {
        {"plain", "plain", "ASCII"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "valid UTF-8 of two, three and four bytes"},
        {"caf\xe9", "caf\xc3\xa9", "Latin-1 letter"},
        {"\x80 \x93q\x94 \x9f", "\xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d \xc5\xb8",
         "Windows-1252's own characters in 0x80-0x9F"},
        {"\x81\x8d", "\xef\xbf\xbd\xef\xbf\xbd", "bytes Windows-1252 leaves undefined"},
        {"\xc0\xaf", "\xc3\x80\xc2\xaf", "an overlong form is not UTF-8"},
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac", "a surrogate is not UTF-8"},
        {"\xf4\x90\x80\x80", "\xc3\xb4\xef\xbf\xbd\xe2\x82\xac\xe2\x82\xac", "past U+10FFFF"},
        {"caf\xc3", "caf\xc3\x83", "a sequence cut at the end"},
        {std::string("a\0b", 3), std::string("a\0b", 3), "NUL is valid UTF-8"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.out, DisplayText(c.in)) << c.why;
        EXPECT_TRUE(IsValidUtf8(DisplayText(c.in))) << c.why;
    }
}

TEST(CharPrefix, CutsBetweenCharacters) {
    struct Case {
        std::string in;
        std::size_t chars;
        std::string out;
        const char* why;
    };
    const Case cases[] = {
        {"abcdef", 3, "abc", "ASCII counts bytes"},
        {"ab", 5, "ab", "shorter than the cut"},
        {"\xc3\xa9t\xc3\xa9", 2, "\xc3\xa9t", "two-byte letters count once"},
        {"\xe2\x82\xac\xf0\x9f\x98\x80x", 2, "\xe2\x82\xac\xf0\x9f\x98\x80",
         "three- and four-byte characters stay whole"},
        {"caf\xe9 au lait", 4, "caf\xe9", "not UTF-8: each byte is one Windows-1252 letter"},
        {"", 3, "", "empty"},
    };
    for (const Case& c : cases) EXPECT_EQ(CharPrefix(c.in, c.chars), c.out) << c.why;
}

TEST(TerminalText, IsUtf8WithControlCharactersShown) {
    EXPECT_EQ(
        "Gr\xc3\xbc\xc3\x9f"
        "e ^[]0;x^G\tc",
        TerminalText("Gr\xfc\xdf"
                     "e \x1b]0;x\x07\tc"));
    EXPECT_EQ("<U+009B>[2J", TerminalText("\xc2\x9b[2J")) << "a C1 control in UTF-8";
    EXPECT_EQ("a \xe2\x80\x9d", TerminalText("a \x94")) << "Windows-1252 first, then shown";
    EXPECT_EQ("a b c  d^[e", TerminalField("a\tb\rc\r\nd\x1b"
                                           "e"));
}

}  // namespace
}  // namespace kivo
