#include "mail/quotedprintable.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kivo {
namespace {

using Lines = std::vector<std::string>;

TEST(QuotedPrintable, EncodesParagraphs) {
    struct Case {
        std::string bytes;
        Lines lines;
        const char* why;
    };
    const std::string a65(65, 'a');
    const std::string blank64 = std::string(64, 'b') + " ";
    const Case cases[] = {
        {"a=b", {"a=3Db"}, "the equals sign is escaped"},
        {"caf\xe9\x01\x7f", {"caf=E9=01\x7f"}, "8-bit and control bytes, not DEL"},
        {"tab\there  ", {"tab=09here  "}, "blanks stay, also at the end"},
        {"a\r\nb", {"a", "b"}, "CR LF"},
        {"a\nb", {"a", "b"}, "LF alone"},
        {"a\rb", {"a", "b"}, "CR alone"},
        {"a\n\nb", {"a", "", "b"}, "an empty line between LF line ends is kept"},
        {"a\r\n\r\nb", {"a", "", "b"}, "an empty line between CR LF line ends"},
        {"a\r\n", {"a"}, "a final line end adds no empty line"},
        {"a\n", {"a"}, "a final LF is a line end like any other"},
        {"\r\n", {""}, "one empty paragraph"},
        {"", {}, "no data"},
        {a65, {a65 + "=", ""}, "65 characters without a blank leave an empty final segment"},
        {blank64, {std::string(64, 'b') + "=", " "}, "cut before the blank"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeQuotedPrintable(c.bytes, false), c.lines) << c.why;
    }
}

TEST(QuotedPrintable, WrapsLongLinesBeforeABlank) {
    std::string text;
    while (text.size() < 100) text += "word ";
    text.resize(100);
    const Lines lines = EncodeQuotedPrintable(text, false);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].back(), '=');
    EXPECT_LE(lines[0].size(), 66u);
    EXPECT_EQ(lines[1][0], ' ');
    EXPECT_EQ(lines[0].substr(0, lines[0].size() - 1) + lines[1], text);
}

TEST(QuotedPrintable, LineLengthsStayAsSpecifiedOnLongParagraphs) {
    // 30 KB of one paragraph with 8-bit bytes: every line is one segment of at most 65 bytes,
    // so at most 65 * 3 + 1 characters, and the text comes back whole.
    std::mt19937 rng(3);
    std::string text;
    for (int i = 0; i < 30000; ++i) {
        int r = rng() % 10;
        text.push_back(r == 0 ? ' ' : r == 1 ? static_cast<char>(0xe9) : 'x');
    }
    const Lines lines = EncodeQuotedPrintable(text, false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_LE(lines[i].size(), 196u);
        if (i + 1 < lines.size()) {
            ASSERT_EQ(lines[i].back(), '=') << i;
        }
    }
    std::string decoded;
    for (const auto& line : lines) DecodeQuotedPrintableLine(line, decoded);
    EXPECT_EQ(decoded, text + "\r\n");
}

TEST(QuotedPrintable, WrapOnlyModeOnlyWraps) {
    // Equals signs and tabs stay, 8-bit bytes are still escaped except as the last byte of a
    // wrapped segment, and no line gets a soft break.
    const std::string head = "x=y\t" + std::string(60, '=') + "\xe9";
    Lines lines;
    {
        WrapOnlyScope scope;
        EXPECT_TRUE(WrapOnlyMode());
        lines = EncodeQuotedPrintable(head + "rest \xe9");
    }
    EXPECT_FALSE(WrapOnlyMode());
    EXPECT_EQ(lines, (Lines{head, "rest =E9"}));
    // The same text in the normal mode, for contrast.
    std::string escapedHead = "x=3Dy=09";
    for (int i = 0; i < 60; ++i) escapedHead += "=3D";
    EXPECT_EQ(EncodeQuotedPrintable(head + "rest \xe9", false),
              (Lines{escapedHead + "=E9=", "rest =E9"}));
}

TEST(QuotedPrintable, DecodesLines) {
    struct Case {
        Lines lines;
        std::string bytes;
        const char* why;
    };
    const Case cases[] = {
        {{"caf=E9", "au lait"}, "caf\xe9\r\nau lait\r\n", "hard line ends give CR LF"},
        {{"caf=", "e"}, "cafe\r\n", "soft break"},
        {{"caf=e9"}, "caf\xe9\r\n", "lower-case hex"},
        {{"=3D41"}, "=41\r\n", "produced bytes are not read again"},
        {{"a=3D", "b"}, "a=\r\nb\r\n", "an escaped equals sign at the end is no soft break"},
        {{"a=  \t", "b"}, "ab\r\n", "blanks after a soft break"},
        {{"a=\r", "b"}, "ab\r\n", "a soft break before a stray CR"},
        {{"=4", "=G1", "x=", "="}, "=4\r\n=G1\r\nx", "broken escapes stay as they are"},
        {{"end\x1a"}, "end\x1a", "the end-of-file mark takes no line end"},
        {{""}, "\r\n", "an empty line"},
        {{"a ", "b"}, "a \r\nb\r\n", "blanks before a hard line end stay"},
    };
    for (const auto& c : cases) {
        std::string out;
        for (const auto& line : c.lines) DecodeQuotedPrintableLine(line, out);
        EXPECT_EQ(out, c.bytes) << c.why;
    }
    EXPECT_EQ(DecodeQuotedPrintable("a=\r\nb=3D\nc"), "ab=\r\nc\r\n");
}

TEST(QuotedPrintable, DecodesHugeLinesWhole) {
    // An HTML paragraph of 300 KB as one soft-broken run and as one physical line.
    std::string line(300000, 'h');
    std::string out;
    DecodeQuotedPrintableLine(line + "=", out);
    DecodeQuotedPrintableLine("=41", out);
    EXPECT_EQ(out, line + "A\r\n");

    Lines lines;
    for (int i = 0; i < 5000; ++i) lines.push_back(std::string(70, 'p') + "=");
    lines.push_back("end");
    std::string stream;
    TQuotedPrintable(stream, lines).Decode();
    EXPECT_EQ(stream, std::string(5000 * 70, 'p') + "end\r\n");
}

// The text a decoder gives back for text encoded: every line end as CR LF, a last line
// without one gets one.
std::string Canonical(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') out += "\r\n";
    return out;
}

TEST(QuotedPrintable, RoundTripsRandomText) {
    std::mt19937 rng(42);
    const std::string alphabet = std::string("ab =.\t\r\n\xe9\x00\xff", 11);
    for (std::size_t n = 0; n < 400; n += 3) {
        std::string text;
        for (std::size_t i = 0; i < n; ++i) text += alphabet[rng() % alphabet.size()];
        // Encoded in chunks, as a stream would feed it.
        QuotedPrintableEncoder encoder(false);
        Lines lines;
        for (std::size_t at = 0; at < text.size(); at += 5) {
            encoder.Encode(std::string_view(text).substr(at, 5), lines);
        }
        encoder.Finish(lines);
        ASSERT_EQ(lines, EncodeQuotedPrintable(text, false)) << n;
        std::string stream;
        TQuotedPrintable(stream, lines).Decode();
        ASSERT_EQ(stream, Canonical(text)) << n;
    }
}

TEST(QuotedPrintable, ClassEncodesTheWholeStream) {
    std::string stream = "line one\r\nline two";
    Lines lines = {"kept"};
    TQuotedPrintable(stream, lines).Encode();
    EXPECT_EQ(lines, (Lines{"kept", "line one", "line two"}));
}

}  // namespace
}  // namespace kivo
