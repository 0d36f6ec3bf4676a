// Styled HTML lines: size levels, the page and signature lines, "From " lines, blanks and
// links, and the temporary file the RTF passes through.

#include "compose/styledhtml.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "compose/messagestyle.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using Lines = std::vector<std::string>;

const Lines kRtf = {
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl\\red0\\green0\\blue0;}",
    "\\deflang1033\\pard\\plain\\f0\\fs20 Hello <you>", "\\par }"};

TEST(SizeLevels, BothWays) {
    // Level -> points for message font size 10, and the level read back from those points.
    const int points[] = {6, 8, 10, 14, 18, 23, 26};
    for (int level = 0; level <= 6; ++level) {
        EXPECT_EQ(SizeLevelPoints(level, 10), points[level]) << level;
        EXPECT_EQ(PointsSizeLevel(points[level], 10), level) << level;
    }
    EXPECT_EQ(SizeLevelPoints(7, 12), 12);
    EXPECT_EQ(SizeLevelPoints(-1, 12), 12);
    struct Case {
        int points, level;
    } reverse[] = {{1, 0},  {7, 0},  {8, 1},  {9, 1},  {10, 2}, {13, 2},  {17, 3},
                   {21, 4}, {22, 4}, {23, 5}, {25, 5}, {26, 6}, {400, 6}, {-50, 0}};
    for (const Case& c : reverse) EXPECT_EQ(PointsSizeLevel(c.points, 10), c.level) << c.points;
}

TEST(StyledHtml, WithoutSignature) {
    TStyleState state;
    EXPECT_EQ(StyledHtmlLines(kRtf, state, nullptr, 10),
              (Lines{"<html><head></head>", "<body>", "", "<P>Hello &lt;you&gt;"}));
    state.defaultBackground = true;
    EXPECT_EQ(StyledHtmlLines(kRtf, state, nullptr, 10)[1], "<body bgcolor=\"#FFFFFF\">");
    state.background = Rgb(255, 128, 128);
    EXPECT_EQ(StyledHtmlLines(kRtf, state, nullptr, 10)[1], "<body bgcolor=\"#FF8080\">");
    state.defaultBackground = false;
    EXPECT_EQ(StyledHtmlLines(kRtf, state, nullptr, 10)[1], "<body>")
        << "a background from the toolbar alone stays out of the page";
}

TEST(StyledHtml, SignatureLine) {
    const Lines sig = {"-- ", "Ann <ann@x.org>"};
    struct Case {
        TStyleState state;
        const char* line;
        const char* why;
    };
    TStyleState plain;
    TStyleState sameSize = plain;
    sameSize.defaultSigFont = true;
    TStyleState larger = sameSize;
    larger.sigFont.size = 14;
    TStyleState coloured = plain;
    coloured.sigColourSet = true;
    TStyleState red = larger;
    red.sigColourSet = true;
    red.sigFontChanged = true;
    red.defaultSigFont = false;
    red.sigFont = {"Times New Roman", 8, Rgb(255, 0, 0), true, true, true};
    const Case cases[] = {
        {plain, "</font></td></tr></table><table><tr><td><br>", "no colour or font: no font tag"},
        {sameSize, "</font></td></tr></table><table><tr><td><font face=\"Arial\" ><br>",
         "the message font's size: no size attribute"},
        {larger, "</font></td></tr></table><table><tr><td><font face=\"Arial\" size=\"5\" ><br>",
         "14 points is size 5"},
        {coloured, "</font></td></tr></table><table><tr><td><font color=\"#000000\"><br>",
         "the window-text colour is black"},
        {red,
         "</font></td></tr></table><table><tr><td><font face=\"Times New Roman\" size=\"2\" "
         "color=\"#FF0000\"><br><b><i><u>",
         "a changed font with colour and styles"},
    };
    for (const Case& c : cases) {
        const Lines html = StyledHtmlLines(kRtf, c.state, &sig, 10);
        ASSERT_EQ(html.size(), 9u) << c.why;
        EXPECT_EQ(html[2], "<table><tr><td>") << c.why;
        EXPECT_EQ(html[5], c.line) << c.why;
        EXPECT_EQ(html[6], "-- <br>") << c.why;
        EXPECT_EQ(html[7], "Ann &lt;ann@x.org&gt;<br>") << c.why;
        EXPECT_EQ(html[8], "</td></tr></table>") << c.why;
    }
}

TEST(StyledHtml, FromLinesBlanksAndLinks) {
    const Lines sig = {"From me", "see   http://x.org/a"};
    const Lines html = StyledHtmlLines(kRtf, TStyleState(), &sig, 10);
    EXPECT_EQ(html[6], "&gt;From me<br>");
    EXPECT_EQ(html[7], "see&nbsp;&nbsp; <a href=\"http://x.org/a\">http://x.org/a</a><br>");
}

TEST(StyledHtml, KeepsBlanksInPairs) {
    EXPECT_EQ(KeepBlanks("a b  c   d    e"),
              "a b&nbsp;&nbsp;c&nbsp;&nbsp; d&nbsp;&nbsp;&nbsp;&nbsp;e");
}

TEST(StyledHtml, LinksUrls) {
    struct Case {
        const char* text;
        const char* html;
        const char* why;
    } cases[] = {
        {"get ftp://f.org/x and http://h.org/y now",
         "get <a href=\"ftp://f.org/x\">ftp://f.org/x</a> and <a href=\"http://h.org/y\">"
         "http://h.org/y</a> now",
         "two URLs on one line"},
        {"<a href=\"http://h.org\">x</a>", "<a href=\"http://h.org\">x</a>",
         "already inside an href"},
        {"<b>http://h.org</b>", "<b>http://h.org</b>", "right after a tag"},
        {"(NEWS://n.org/g) end", "(<a href=\"NEWS://n.org/g\">NEWS://n.org/g</a>) end",
         "upper case, ended by a parenthesis"},
        {"http://h.org/a;b", "<a href=\"http://h.org/a\">http://h.org/a</a>;b", "semicolon"},
        {"go http://h.org", "go <a href=\"http://h.or\">http://h.or</a>g",
         "the text's last character is never part of a URL"},
        {"&lt;http://h.org/p?a=1&b=2&gt; x&nbsp;&nbsp;",
         "&lt;<a href=\"http://h.org/p?a=1&b=2\">http://h.org/p?a=1&b=2</a>&gt; x&nbsp;&nbsp;",
         "the program's own entities end a URL, other ampersands do not"},
        {"http://a.org\r\nhttp://b.org\r\n",
         "<a href=\"http://a.org\">http://a.org</a>\r\n<a href=\"http://b.org\">http://b.org</a>"
         "\r\n",
         "line ends"},
        {"http:/ nothing ftp:", "http:/ nothing ftp:", "incomplete schemes"},
    };
    for (const Case& c : cases) EXPECT_EQ(LinkUrls(c.text), c.html) << c.why;
}

TEST(StyledHtml, RtfPassesThroughTheNextFreeTemporaryName) {
    test::TempDir dir;
    test::WriteFile(dir / "~kiv001.tmp", "one");
    test::WriteFile(dir / "~kiv002.tmp", "two");
    const auto path = CreateNumberedTempFile(dir.path());
    EXPECT_EQ(path.filename(), "~kiv003.tmp");
    std::filesystem::remove(path);
    EXPECT_EQ(RtfLinesThroughFile("{\\rtf1\r\nx}\r\n", dir.path()), (Lines{"{\\rtf1", "x}"}));
    EXPECT_EQ(test::ReadFile(dir / "~kiv001.tmp"), "one");
    EXPECT_EQ(test::ReadFile(dir / "~kiv002.tmp"), "two");
    EXPECT_FALSE(std::filesystem::exists(dir / "~kiv003.tmp"));
}

// 10 MB of blanks, URLs and "From " lines: each step is one pass.
TEST(StyledHtml, HostileBodyStaysLinear) {
    const std::string blanks(10'000'000, ' ');
    EXPECT_EQ(KeepBlanks(blanks).size(), blanks.size() * 6);
    std::string urls;
    for (int i = 0; i < 500'000; ++i) urls += "http://a ";
    EXPECT_EQ(LinkUrls(urls).size(), urls.size() + 500'000u * 23);
}

}  // namespace
}  // namespace kivo
