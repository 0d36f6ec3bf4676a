#include "mail/encodedword.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

TEST(EncodedWord, DecodesHeaderValues) {
    struct Case {
        std::string value;
        std::string decoded;
        const char* why;
    };
    const Case cases[] = {
        {"=?iso-8859-1?Q?Caf=E9_noir?= is here", "Caf\xc3\xa9 noir is here",
         "Q word and text, read in UTF-8"},
        {"=?utf-8?B?SGVsbG8=?=", "Hello", "B word"},
        {"=?utf-8?b?SGVsbG8=?= =?utf-8?q?_world?=", "Hello world", "blank between words goes"},
        {"=?a?Q?x?=  \t=?a?Q?y?=", "xy", "several blanks between words go"},
        {"=?a?Q?x?= and =?a?Q?y?=", "x and y", "text between words stays"},
        {"Re: =?a?Q?x?= ", "Re: x ", "blanks around a word in text stay"},
        {"plain text", "plain text", "nothing to decode"},
        // Malformed words are text as they stand (RFC 2047 6.2).
        {"pre =?utf-8?Q?broken tail", "pre =?utf-8?Q?broken tail", "an unterminated word"},
        {"=?a?Q?x?= =?broken", "x =?broken", "a broken word after a good one"},
        {"=?a?X?abc?=rest", "=?a?X?abc?=rest", "an unknown encoding"},
        {"=?nothing?=after", "=?nothing?=after", "a word without encoding"},
        {"=?bad =?a?Q?y?=", "=?bad y", "a broken opening before a good word"},
        {"a =? b ?= c", "a =? b ?= c", "question marks in text"},
        {"=?a?Q?=3D=3Fb?=", "=?b", "decoded text is not decoded again"},
        {"=?a?B?SGV*sbG8?=", "Hello", "bad base64 characters are skipped"},
        {"=?a?B?SGVsbG8?=", "Hello", "missing padding"},
        {"=?a?Q?=E?=", "=E", "a broken escape stays"},
        {"=?a?Q?a=5Fb_c?=", "a_b c", "an escaped underscore stays one"},
        {"", "", "empty"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeEncodedWords(c.value), c.decoded) << c.why;
    }
}

TEST(EncodedWord, CutsTheResultTo255) {
    EXPECT_EQ(DecodeEncodedWords(std::string(300, 'x')).size(), 255u);
    // Hostile input of many words and NUL bytes is handled in one pass.
    std::string many;
    for (int i = 0; i < 20000; ++i) many += "=?a?Q?x?= ";
    many += std::string("\0=?", 3);
    EXPECT_EQ(DecodeEncodedWords(many), std::string(255, 'x'));
}

TEST(EncodedWord, BuildsISO2022JPWords) {
    EXPECT_EQ(ISO2022JPWord("\x1b$B"), "=?ISO-2022-JP?B?GyRC?=");
    EXPECT_EQ(ISO2022JPWord("plain"), "plain");
    EXPECT_EQ(ISO2022JPWord(""), "");
}

}  // namespace
}  // namespace kivo
