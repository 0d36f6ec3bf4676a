#include "base/bytes.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(Bytes, TrimRemovesBlanksAndControlCodesOnly) {
    EXPECT_EQ(Trim(" \t\r\n\x01 abc \x1f\x20"), "abc");
    EXPECT_EQ(Trim("\xa0x\xa0"), "\xa0x\xa0");  // 8-bit bytes are text, not blanks
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim(""), "");
}

TEST(Bytes, CaseFoldingTouchesAsciiOnly) {
    EXPECT_EQ(LowerCase("AbC\xc4\xe4Z"), "abc\xc4\xe4z");
    EXPECT_EQ(UpperCase("abc\xe4"), "ABC\xe4");
    EXPECT_TRUE(EqualsNoCase("In.MBX", "in.mbx"));
    EXPECT_FALSE(EqualsNoCase("\xc4", "\xe4"));
    EXPECT_TRUE(StartsWithNoCase("SUBJECT: x", "subject:"));
    EXPECT_EQ(FindNoCase("abcZanZIBARx", "zanzibar"), 3u);
    EXPECT_EQ(FindNoCase("abc", "abcd"), std::string::npos);
}

TEST(Bytes, CutShortKeeps255Bytes) {
    EXPECT_EQ(CutShort(std::string(300, 'x')).size(), 255u);
    EXPECT_EQ(CutShort("short"), "short");
}

TEST(Bytes, ParseIntAcceptsWholeSigned32BitNumbersOnly) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    } cases[] = {{"0", true, 0},          {"-17", true, -17}, {"+5", true, 5},
                 {"2147483647", true, 2147483647}, {"2147483648", false, 0},
                 {"", false, 0},          {"12a", false, 0},  {" 1", false, 0},
                 {"+-1", false, 0},       {"-", false, 0}};
    for (const auto& c : cases) {
        int v = 0;
        EXPECT_EQ(ParseInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(Bytes, SplitLinesAcceptsCrLfAndLf) {
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLinesCrLf({"a", ""}), "a\r\n\r\n");
}

}  // namespace
}  // namespace kivo
