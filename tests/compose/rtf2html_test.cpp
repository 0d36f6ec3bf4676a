// The RTF-to-HTML converter: the rules case by case, whole documents of the rich-edit dialect
// against their HTML (tests/data/rtf: NAME.rtf beside NAME.html; run with --regen to rewrite
// the HTML after an intended change, then review the diff) and hostile input.

#include "compose/rtf2html.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using rtf2html::Convert;

constexpr const char* kHeader =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green128\\blue0;}\\deflang1033\\pard";

std::string Doc(const std::string& body) {
    return kHeader + body + "\\par }";
}

TEST(Rtf2Html, Rules) {
    struct Case {
        std::string rtf;
        std::string html;
        const char* why;
    } cases[] = {
        {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl\\red0\\green0\\blue0;}"
         "\\deflang1033\\pard\\plain\\f0\\fs24 Hello\\par World\\par }",
         "\r\n<P><FONT FACE=\"Arial\" COLOR=\"#000000\" SIZE=\"4\">Hello\r\n<P>World",
         "a size other than the default writes a font tag"},
        {Doc("\\plain\\f0\\fs20 Hello\\par World"), "\r\n<P>Hello\r\n<P>World",
         "nothing differs from the default: no font tag"},
        {Doc("\\plain\\f0\\fs20\\b bold\\plain\\f0\\fs20  normal"), "\r\n<P><B>bold</B> normal",
         "\\plain ends bold"},
        {Doc("\\plain\\f0\\fs20\\b bold\\b0  still"), "\r\n<P><B>bold still",
         "\\b0 does not end bold"},
        {Doc("\\plain\\f0\\fs20\\b\\i\\ul all\\par next"),
         "\r\n<P><B><I><U>all</B></I></U>\r\n<P><B><I><U>next",
         "styles are closed and opened again around a paragraph"},
        {Doc("\\qc\\plain\\f0\\fs20 mid\\par\\pard\\qr\\plain\\f0\\fs20 right"),
         "\r\n<P ALIGN=CENTER>mid\r\n<P ALIGN=RIGHT>right", "alignment"},
        {Doc("\\plain\\f0\\fs20 one\\par \\par two"), "\r\n<P>one\r\n<P>two",
         "a paragraph without text or tags writes nothing"},
        {Doc("\\plain\\f0\\fs20\\b one\\par \\plain\\f0\\fs20 \\par two"),
         "\r\n<P><B>one</B></P>\n<P>two", "an empty paragraph closes the one before"},
        {Doc("\\plain\\f0\\fs20 \\'e9\\'E9\\'zz"), std::string("\r\n<P>\xC3\xA9\xC3\xA9\0", 10),
         "hex escapes are characters of the code page (Windows-1252), written as UTF-8; no digit "
         "is 0"},
        {Doc("\\plain\\f0\\fs20 a<b>c \\{\\}\\\\"), "\r\n<P>a&lt;b&gt;c {}\\",
         "markup characters and escaped braces"},
        {Doc("\\plain\\f0\\fs20 x\\tab y"), "\r\n<P>x\ty", "tab"},
        {Doc("\\plain\\f1\\fs20\\cf1 warm"),
         "\r\n<P><FONT FACE=\"Times New Roman\" COLOR=\"#FF8000\" SIZE=\"3\">warm",
         "font and colour from the tables"},
        {Doc("\\plain\\f0\\fs20\\cf1 warm\\plain\\f0\\fs20  cool"),
         "\r\n<P><FONT FACE=\"Arial\" COLOR=\"#FF8000\" SIZE=\"3\">warm<FONT FACE=\"Arial\" "
         "COLOR=\"#000000\" SIZE=\"3\"> cool",
         "\\plain returns to the default colour with a new font tag"},
        {Doc("\\plain\\f0\\fs20 a{\\*\\bkmkstart x}b{\\*\\x{\\y z}}c"), "\r\n<P>abc",
         "\\* skips its group, nested groups included"},
        {Doc("\\plain\\f0\\fs20 a\\unknown b\\par\r\nlost c"), "\r\n<P>abc",
         "unknown words are ignored; a line break after a word swallows the text"},
        {Doc("\\plain\\f0\\fs20 \xC3\xA9t\xC3\xA9 \xFF"), "\r\n<P>\xC3\xA9t\xC3\xA9 \xFF",
         "8-bit text passes through"},
        {"{\\rtf1 plain text}", "\r\n<P>plain text", "no tables at all"},
        {"", "", "empty"},
    };
    for (const Case& c : cases) EXPECT_EQ(Convert(c.rtf), c.html) << c.why;
}

// RTF without the rich-edit control's "\deflang" (as word processors write it) is read by the
// general rules instead of losing its text.
TEST(Rtf2Html, WordProcessorRtf) {
    const std::string head = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                             "{\\f1\\froman Times{\\*\\falt Tms};}}{\\colortbl;\\red255\\green0\\blue0;}";
    struct Case {
        std::string body;
        std::string html;
        const char* why;
    } cases[] = {
        {"{\\b bold} plain\\par}", "\r\n<P><B>bold</B> plain", "a group ends its formatting"},
        {"\\b bold\\b0  plain\\par}", "\r\n<P><B>bold</B> plain", "\\b0 ends bold"},
        {"\\pard\\plain\\fs24 one\\par\r\ntwo\\line three\\par}",
         "\r\n<P><FONT FACE=\"Arial\" SIZE=\"4\">one\r\n<P>two<BR>three",
         "a line break after a word ends it; \\line breaks the line"},
        {"\\cf1 red\\par}", "\r\n<P><FONT FACE=\"Arial\" COLOR=\"#FF0000\" SIZE=\"3\">red",
         "colour 0 is automatic, so 1 is the first colour"},
        {"\\f9 x\\par}", "\r\n<P><FONT SIZE=\"3\">x", "a font the table lacks is left out"},
        {"{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}text\\par}", "\r\n<P>text",
         "style sheets and document information are no text"},
        {"\\ansicpg1251 \\'e0\\'e1\\par}", "\r\n<P>\xD0\xB0\xD0\xB1",
         "hex escapes in the document's code page"},
    };
    for (const Case& c : cases) EXPECT_EQ(Convert(head + c.body), c.html) << c.why;
}

TEST(Rtf2Html, BulletedList) {
    const std::string rtf =
        Doc("\\plain\\f0\\fs20 Items:\\par \\pard{\\pntext\\f0\\'B7\\tab}{\\*\\pn\\pnlvlblt}"
            "\\fi-200\\li200\\plain\\f0\\fs20 one\\par {\\pntext\\f0\\'B7\\tab}two\\par "
            "\\pard\\plain\\f0\\fs20 after");
    EXPECT_EQ(Convert(rtf), "\r\n<P>Items:\r\n<UL>one\r\n<LI>two\r\n</UL>after");
}

TEST(Rtf2Html, MissingTableEntriesFail) {
    for (const std::string& body :
         {std::string("\\plain\\f5\\fs20 x"), std::string("\\plain\\f0\\fs20\\cf7 x"),
          std::string("\\plain\\f-1\\fs20 x")}) {
        EXPECT_THROW(Convert(Doc(body)), EListError) << body;
    }
    try {
        Convert(Doc("\\plain\\f0\\fs20\\cf7 x"));
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (7)");
    }
}

TEST(Rtf2Html, DocumentsMatchTheirHtml) {
    std::vector<std::filesystem::path> samples;
    for (const auto& entry : std::filesystem::directory_iterator(test::DataPath("rtf"))) {
        if (entry.path().extension() == ".rtf") samples.push_back(entry.path());
    }
    std::sort(samples.begin(), samples.end());
    ASSERT_GE(samples.size(), 6u);
    for (const auto& rtf : samples) {
        std::filesystem::path golden = rtf;
        golden.replace_extension(".html");
        const std::string html = Convert(test::ReadFile(rtf));
        if (test::Regenerating()) {
            test::WriteFile(golden, html);
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(golden)) << golden << " missing; run with --regen";
        EXPECT_EQ(html, test::ReadFile(golden)) << rtf.filename();
    }
}

// Sizes at which a scan that went back over its output or input would take minutes.
TEST(Rtf2Html, HostileInputStaysLinear) {
    const std::string line(10'000'000, 'x');
    EXPECT_EQ(Convert(Doc("\\plain\\f0\\fs20 " + line)).size(), line.size() + 5);
    EXPECT_EQ(Convert(std::string(100'000, '{') + "text").size(), 9u);
    EXPECT_EQ(Convert(std::string(100'000, '}') + "text").size(), 9u);
    std::string nested;
    for (int i = 0; i < 200'000; ++i) nested += "{\\*";
    EXPECT_EQ(Convert(nested + "hidden"), "");
    std::string paragraphs;
    for (int i = 0; i < 300'000; ++i) paragraphs += "\\b x\\par \\plain\\par ";
    const std::string html = Convert(Doc("\\plain\\f0\\fs20 " + paragraphs));
    std::size_t closed = 0;
    for (std::size_t at = html.find("</P>"); at != std::string::npos;
         at = html.find("</P>", at + 1))
        ++closed;
    EXPECT_EQ(closed, 299'999u);  // the last empty paragraph is followed by none
    std::string colours = "{\\colortbl";
    for (int i = 0; i < 1'000'000; ++i) colours += "\\green1";
    for (int i = 0; i < 500'000; ++i) colours += "\\blue";
    EXPECT_LT(Convert(colours + "}").size(), 10u);
    std::string words(5'000'000, 'w');
    EXPECT_EQ(Convert("\\" + words + " a\\fonttbl\\f0" + words), "\r\n<P>a");
}

}  // namespace
}  // namespace kivo
