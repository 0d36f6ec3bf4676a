#include "mail/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mail/mserrors.h"

namespace kivo {
namespace {

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xff);
    return s;
}

TEST(Base64, DecodesLinesLeniently) {
    struct Case {
        const char* text;
        std::string bytes;
        const char* why;
    };
    const Case cases[] = {
        {"QQ==", "A", "one byte with two pads"},
        {"QUI=", "AB", "two bytes with one pad"},
        {"QUJD", "ABC", "a whole group"},
        {"QQ", "A", "missing padding"},
        {"QUI", "AB", "missing single pad"},
        {"Q", "", "a lone character holds no whole byte"},
        {"QUJD\r\nREVG\r\n", "ABCDEF", "line ends inside the data"},
        {"QU JD\t", "ABC", "blanks and tabs are skipped"},
        {"QQ==QUI=", "AAB", "concatenated encodings decode whole"},
        {"QQ==\r\nQUI=", "AAB", "padded lines one after another"},
        {"", "", "empty input"},
        {"====", "", "padding alone"},
        {"AAAA", std::string(3, '\0'), "NUL bytes are kept"},
        {"/+/+", "\xff\xef\xfe", "the last two alphabet characters"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeBase64(c.text, Base64Errors::kRaise), c.bytes) << c.why;
    }
}

TEST(Base64, BadCharactersRaiseOrAreSkipped) {
    const std::string bad[] = {"QU*J", "QUJ\x80", std::string("QU\0J", 4), "Q!==", "QUJD.REVG"};
    for (const std::string& text : bad) {
        EXPECT_THROW(DecodeBase64(text, Base64Errors::kRaise), EMessageParserError) << text;
    }
    try {
        DecodeBase64("a-b", Base64Errors::kRaise);
        FAIL();
    } catch (const EMessageParserError& e) {
        EXPECT_STREQ(e.what(), "Invalid Character");
    }
    EXPECT_EQ(DecodeBase64("QU*JD!", Base64Errors::kSkip), "ABC");
}

TEST(Base64, StreamingDecoderKeepsGroupsAcrossChunks) {
    // Every way of cutting the text into two chunks gives the same bytes.
    const std::string text = "SGVsbG8s\r\nIHdvcmxk\r\nIQ==";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        Base64Decoder decoder;
        std::string out;
        decoder.Decode(std::string_view(text).substr(0, cut), out);
        decoder.Decode(std::string_view(text).substr(cut), out);
        decoder.Finish(out);
        EXPECT_EQ(out, "Hello, world!") << "cut at " << cut;
    }
}

TEST(Base64, Encodes) {
    EXPECT_EQ(EncodeBase64("abc"), "YWJj");
    EXPECT_EQ(EncodeBase64("ab"), "YWI=");
    EXPECT_EQ(EncodeBase64("a"), "YQ==");
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64(std::string("\0\xff\xfe", 3)), "AP/+");
}

TEST(Base64, RoundTripsRandomDataOfManyLengths) {
    std::mt19937 rng(1234);
    for (std::size_t n = 0; n < 300; ++n) {
        const std::string data = RandomBytes(rng, n);
        const std::string lines = EncodeBase64Lines(data);
        ASSERT_EQ(DecodeBase64(lines, Base64Errors::kRaise), data) << n;
        // Fed in odd-sized chunks, the streaming decoder gives the same.
        Base64Decoder decoder;
        std::string out;
        for (std::size_t at = 0; at < lines.size(); at += 7) {
            decoder.Decode(std::string_view(lines).substr(at, 7), out);
        }
        decoder.Finish(out);
        ASSERT_EQ(out, data) << n;
    }
}

TEST(Base64, AttachmentLinesHaveTheirLengths) {
    std::mt19937 rng(99);
    struct Case {
        std::size_t bytes;
        std::vector<std::size_t> lineLengths;
        const char* why;
    };
    const Case cases[] = {
        {0, {0}, "no data still gives the closing empty line"},
        {10, {16}, "one short line"},
        {57, {76, 0}, "a multiple of 57 is followed by an empty line"},
        {100, {76, 60}, "a full line and the rest"},
        {171, {76, 76, 76, 0}, "three full lines"},
    };
    for (const auto& c : cases) {
        const std::string text = EncodeBase64Lines(RandomBytes(rng, c.bytes));
        std::vector<std::size_t> lengths;
        std::size_t at = 0, crlf;
        while ((crlf = text.find("\r\n", at)) != std::string::npos) {
            lengths.push_back(crlf - at);
            at = crlf + 2;
        }
        EXPECT_EQ(at, text.size()) << c.why;
        EXPECT_EQ(lengths, c.lineLengths) << c.why;
    }
}

TEST(Base64, LineEncoderGivesTheSameLinesWhateverTheChunks) {
    std::mt19937 rng(7);
    const std::string data = RandomBytes(rng, 1000);
    const std::string whole = EncodeBase64Lines(data, "\n");
    for (std::size_t chunk : {1, 13, 56, 57, 58, 999}) {
        Base64LineEncoder encoder("\n");
        std::string out;
        for (std::size_t at = 0; at < data.size(); at += chunk) {
            encoder.Encode(std::string_view(data).substr(at, chunk), out);
        }
        encoder.Finish(out);
        EXPECT_EQ(out, whole) << chunk;
    }
}

TEST(Base64, DecodesALineOfAMegabyteWhole) {
    // Real mail carries base64 without line breaks; nothing is cut.
    std::mt19937 rng(5);
    const std::string data = RandomBytes(rng, 1 << 20);
    EXPECT_EQ(DecodeBase64(EncodeBase64(data), Base64Errors::kRaise), data);
}

}  // namespace
}  // namespace kivo
