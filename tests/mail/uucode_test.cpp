#include "mail/uucode.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "mail/mserrors.h"

namespace kivo {
namespace {

TEST(UUCode, EncodesLinesOfTheirLength) {
    struct Case {
        std::size_t bytes;
        std::size_t length;
        char first;
        const char* why;
    };
    const Case cases[] = {
        {45, 61, 'M', "a full line"},
        {0, 1, '`', "no bytes: the grave accent alone"},
        {1, 3, '!', "one byte gives two characters"},
        {2, 4, '"', "two bytes give three"},
        {10, 15, '*', "the last line of 100 bytes"},
    };
    for (const auto& c : cases) {
        const std::string line = EncodeUULine(std::string(c.bytes, '\0'));
        EXPECT_EQ(line.size(), c.length) << c.why;
        EXPECT_EQ(line[0], c.first) << c.why;
        EXPECT_EQ(line.find(' '), std::string::npos) << "zero is never a blank: " << c.why;
    }
    EXPECT_EQ(EncodeUULine("Cat"), "#0V%T");
    EXPECT_THROW(EncodeUULine(std::string(46, 'x')), std::invalid_argument);
}

TEST(UUCode, DecodesLines) {
    struct Case {
        std::string line;
        std::string bytes;
        const char* why;
    };
    const Case cases[] = {
        {"#0V%T", "Cat", "a plain line"},
        {"`", "", "the grave accent alone is the end line"},
        {"", "", "an empty line"},
        {"#0V%", "Ca@", "a short final group is filled with zero bits"},
        {"\"0V%T", "Ca", "the count cuts the bytes"},
        {"M0V%T", "Cat", "fewer bytes than the count announces"},
        {"# ```", std::string(3, '\0'), "blanks and grave accents are zero"},
    };
    for (const auto& c : cases) {
        std::string out;
        DecodeUULine(c.line, out);
        EXPECT_EQ(out, c.bytes) << c.why;
    }
    for (const std::string bad : {"#0v%T", "#0V%\x80", "a"}) {
        std::string out;
        try {
            DecodeUULine(bad, out);
            ADD_FAILURE() << bad;
        } catch (const EMessageParserError& e) {
            EXPECT_STREQ(e.what(), "Invalid Character");
        }
    }
}

TEST(UUCode, RoundTripsRandomData) {
    std::mt19937 rng(11);
    for (std::size_t n = 0; n <= 45; ++n) {
        std::string data(n, '\0');
        for (auto& c : data) c = static_cast<char>(rng());
        std::string out;
        DecodeUULine(EncodeUULine(data), out);
        ASSERT_EQ(out, data) << n;
    }
}

TEST(UUCode, BeginLines) {
    struct Case {
        const char* line;
        bool begin;
        const char* name;
        const char* why;
    };
    const Case cases[] = {
        {"begin 644 file.txt", true, "file.txt", "the usual line"},
        {"BEGIN 600 x", true, "x", "any case"},
        {"begin 644 \"my file.doc\" rest", true, "my file.doc", "a quoted name"},
        {"begin 644 \"open", true, "", "an unclosed quote gives no name"},
        {"begin 644 a b", true, "a", "the name ends at a blank"},
        {"begin 0644 f", true, "", "four mode digits leave no name"},
        {"Begin the meeting", false, "", "prose"},
        {"begin 64", false, "", "too short"},
        {"begin", false, "", "the word alone"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUUBeginLine(c.line), c.begin) << c.why;
        if (c.begin) {
            EXPECT_EQ(UUBeginFileName(c.line), c.name) << c.why;
        }
    }
}

}  // namespace
}  // namespace kivo
