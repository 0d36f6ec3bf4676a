#include "mail/utf8text.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

TEST(Utf8Text, DeclaredCharsetsBecomeUtf8) {
    struct Case {
        const char* why;
        std::string charset;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"ASCII stays", "iso-8859-2", "plain text", "plain text"},
        {"valid UTF-8 stays", "utf-8",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"},
        {"Latin-1", "ISO-8859-1", "caf\xE9", "caf\xC3\xA9"},
        {"Latin-1 labels read as Windows-1252, as browsers do", "iso-8859-1", "\x93q\x94",
         "\xE2\x80\x9Cq\xE2\x80\x9D"},
        {"Latin-2", "iso-8859-2",
         "\xB3\xF3"
         "d\xBC",
         "\xC5\x82\xC3\xB3"
         "d\xC5\xBA"},
        {"Latin-9 has the euro sign", "\"iso-8859-15\"", "5 \xA4", "5 \xE2\x82\xAC"},
        {"KOI8-R", "koi8-r", "\xED\xC9\xD2", "\xD0\x9C\xD0\xB8\xD1\x80"},
        {"ISO-2022-JP is 7-bit and still converted", "iso-2022-jp", "\x1B$BF|K\\\x1B(B",
         "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"an unknown charset reads as Windows-1252", "x-no-such-charset", "\x80 5",
         "\xE2\x82\xAC 5"},
        {"no charset: UTF-8 if it is one", "", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
        {"no charset: else Windows-1252", "", "\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
        {"broken UTF-8 keeps its valid characters", "utf-8", "\xC3\xA9 \xE9", "\xC3\xA9 \xC3\xA9"},
        {"a byte the charset lacks does not end the text", "iso-2022-jp", "a\x1B$B\xFF\x1B(Bz",
         "a\xC3\xBF"
         "z"},
        {"a byte without a Windows-1252 character", "windows-1252", "a\x81z", "a\xEF\xBF\xBDz"},
    };
    for (const Case& c : cases) EXPECT_EQ(ToUtf8(c.in, c.charset), c.out) << c.why;
}

TEST(Utf8Text, OneConverterServesManyLines) {
    Utf8Converter converter("iso-2022-jp");
    EXPECT_EQ(converter.Convert("\x1B$BF|\x1B(B"), "\xE6\x97\xA5");
    EXPECT_EQ(converter.Convert("ab"), "ab");  // the shift state starts afresh
    EXPECT_EQ(DisplayUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(DisplayUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
}

}  // namespace
}  // namespace kivo
