#include "base/commatext.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

using Items = std::vector<std::string>;

TEST(CommaText, Writing) {
    struct Case {
        Items items;
        std::string text;
        const char* why;
    } cases[] = {
        {{}, "", "no items"},
        {{""}, "\"\"", "one empty item is a pair of quotes"},
        {{"a", "b"}, "a,b", "plain items are joined by commas"},
        {{"", ""}, ",", "empty items are written as they are"},
        {{"1", "", "x"}, "1,,x", "an empty item between others"},
        {{"Re: hi"}, "\"Re: hi\"", "a blank"},
        {{"a,b"}, "\"a,b\"", "a comma"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\"", "inner quotes doubled"},
        {{"tab\there"}, "\"tab\there\"", "a control character"},
        {{std::string("nul\0x", 5)}, std::string("\"nul\0x\"", 7), "NUL is a control character"},
        {{"caf\xe9"}, "caf\xe9", "8-bit text needs no quotes"},
        {{"a'b;c"}, "a'b;c", "other punctuation needs no quotes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToCommaText(c.items), c.text) << c.why;
    }
}

TEST(CommaText, Reading) {
    struct Case {
        std::string text;
        Items items;
        const char* why;
    } cases[] = {
        {"", {}, "empty text"},
        {"  \t ", {}, "only blanks"},
        {"\"\"", {""}, "a pair of quotes is one empty item"},
        {"a,b,c", {"a", "b", "c"}, "commas"},
        {"a b\tc", {"a", "b", "c"}, "blanks and control characters outside quotes"},
        {"a , \r\n b", {"a", "b"}, "blanks around a comma belong to no item"},
        {"a,,b", {"a", "", "b"}, "an empty item between commas"},
        {",a", {"", "a"}, "a leading empty item"},
        {"a,", {"a"}, "the trailing empty item is lost"},
        {"a,b, ", {"a", "b"}, "also with blanks after the last comma"},
        {"a,,", {"a", ""}, "only the last empty item is lost"},
        {"\"Re: a, b\",x", {"Re: a, b", "x"}, "a quoted run is one item"},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}, "doubled quotes undoubled"},
        {"\"ab\"cd,e", {"ab", "cd", "e"}, "text after a closing quote starts an item"},
        {"ab\"cd", {"ab\"cd"}, "a quote inside an unquoted item is kept"},
        {"\"open ended", {"open ended"}, "a run without its closing quote takes the rest"},
        {"\"", {""}, "a lone quote"},
        {"caf\xe9 \xff", {"caf\xe9", "\xff"}, "8-bit bytes are text, not blanks"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FromCommaText(c.text), c.items) << c.why;
    }
}

TEST(CommaText, RoundTripKeepsEveryListWithoutTrailingEmptyItem) {
    const Items lists[] = {
        {},
        {""},
        {"", "a"},
        {"a", "", "b"},
        {" lead", "trail ", "  "},
        {"\"", "\"\"", ",", "a\"b,c d"},
        {std::string("\0\x01\x1f", 3), "\x7f\x80\xff"},
        {"12", "3", "Subject, with comma", "Joe <joe@x.org>", "01/02/2024 10:11:12", "1", "",
         "Normal", "0", "1"},
    };
    for (const auto& items : lists) {
        EXPECT_EQ(FromCommaText(ToCommaText(items)), items) << ToCommaText(items);
    }
}

TEST(CommaText, TrailingEmptyItemIsLostOnTheWayBack) {
    // The index reader pads its lines to ten fields, so this loss is harmless there.
    EXPECT_EQ(FromCommaText(ToCommaText({"a", ""})), (Items{"a"}));
    EXPECT_EQ(FromCommaText(ToCommaText({"", ""})), (Items{""}));
    EXPECT_EQ(FromCommaText(ToCommaText({"a", "", ""})), (Items{"a", ""}));
}

}  // namespace
}  // namespace kivo
