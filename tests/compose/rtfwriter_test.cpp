// The composer body's RTF writer, read back by rtf2html: each formatting the style toolbar can
// give and each kind of typed text must reach the HTML of a styled message as the user saw it.

#include "compose/rtfwriter.h"

#include <gtest/gtest.h>

#include "compose/rtf2html.h"

namespace kivo {
namespace {

TRtfRun TextRun(std::string text) {
    TRtfRun run;
    run.text = std::move(text);
    run.font = "Arial";
    return run;
}

TRtfRun With(TRtfRun run, void (*change)(TRtfRun&)) {
    change(run);
    return run;
}

TRtfParagraph Para(std::vector<TRtfRun> runs, TAlignment alignment = TAlignment::Left,
                   bool bulleted = false, int indent = 0) {
    return {alignment, bulleted, indent, std::move(runs)};
}

std::string Html(const std::vector<TRtfParagraph>& paragraphs) {
    return rtf2html::Convert(WriteRichEditRtf(paragraphs, "Arial"));
}

TEST(RtfWriter, RoundTripThroughRtf2Html) {
    const auto bold = [](TRtfRun& r) { r.bold = true; };
    const auto italic = [](TRtfRun& r) { r.italic = true; };
    const auto underline = [](TRtfRun& r) { r.underline = true; };
    const auto red = [](TRtfRun& r) { r.colour = 0x0000FF; };
    const auto times14 = [](TRtfRun& r) {
        r.font = "Times New Roman";
        r.points = 14;
    };
    struct Case {
        const char* why;
        std::vector<TRtfParagraph> paragraphs;
        std::string html;
    };
    const std::vector<Case> cases = {
        {"the message font writes no font tag", {Para({TextRun("Hello")})}, "\r\n<P>Hello"},
        {"bold, italic and underline open and close around their words",
         {Para({TextRun("a "), With(TextRun("b"), bold), TextRun(" "), With(TextRun("i"), italic),
                TextRun(" "), With(TextRun("u"), underline), TextRun(" z")})},
         "\r\n<P>a <B>b</B> <I>i</I> <U>u</U> z"},
        {"a colour gets a font tag, the default colour after it another",
         {Para({With(TextRun("red"), red), TextRun(" black")})},
         "\r\n<P><FONT FACE=\"Arial\" COLOR=\"#FF0000\" SIZE=\"3\">red"
         "<FONT FACE=\"Arial\" COLOR=\"#000000\" SIZE=\"3\"> black"},
        {"another font and size",
         {Para({With(TextRun("big"), times14)})},
         "\r\n<P><FONT FACE=\"Times New Roman\" COLOR=\"#000000\" SIZE=\"5\">big"},
        {"a bulleted list between two paragraphs",
         {Para({TextRun("Shopping:")}), Para({TextRun("bread")}, TAlignment::Left, true),
          Para({TextRun("milk")}, TAlignment::Left, true), Para({TextRun("Thanks")})},
         "\r\n<P>Shopping:\r\n<UL>bread\r\n<LI>milk\r\n</UL>Thanks"},
        {"alignment",
         {Para({TextRun("mid")}, TAlignment::Center), Para({TextRun("end")}, TAlignment::Right)},
         "\r\n<P ALIGN=CENTER>mid\r\n<P ALIGN=RIGHT>end"},
        {"an indented first line",
         {Para({TextRun("in")}, TAlignment::Left, false, 400), Para({TextRun("out")})},
         "\r\n<UL>in\r\n</UL>out"},
        {"an empty paragraph between two leaves no text (as the rich-edit control's)",
         {Para({TextRun("one")}), Para({}), Para({TextRun("two")})},
         "\r\n<P>one\r\n<P>two"},
        {"accents, euro, Cyrillic, CJK and an emoji stay the characters typed",
         {Para({TextRun("Caf\xC3\xA9 \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
                        "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80!")})},
         "\r\n<P>Caf\xC3\xA9 \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
         "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80!"},
        {"RTF's own characters typed as text",
         {Para({TextRun("{braces} \\ back \\'e9 \\par \\u233? tab\there")})},
         "\r\n<P>{braces} \\ back \\'e9 \\par \\u233? tab\there"},
        {"a semicolon right after a change of format",
         {Para({TextRun(";a"), With(TextRun(";b"), bold)}), Para({TextRun(";c")})},
         "\r\n<P>;a<B>;b</B>\r\n<P>;c"},
        {"digits and a dash right after a tab and a format change",
         {Para({TextRun("x\t-1"), With(TextRun("2-"), bold)})},
         "\r\n<P>x\t-1<B>2-"},
    };
    for (const Case& c : cases) EXPECT_EQ(Html(c.paragraphs), c.html) << c.why;
}

TEST(RtfWriter, FontNamesCannotBreakTheTable) {
    TRtfRun run = TextRun("x");
    run.font = "Evil;} \\f0 {Font";
    const std::string html = Html({Para({run, TextRun("y")})});
    EXPECT_EQ(html,
              "\r\n<P><FONT FACE=\"Evil f0 Font\" COLOR=\"#000000\" SIZE=\"3\">x"
              "<FONT FACE=\"Arial\" COLOR=\"#000000\" SIZE=\"3\">y");
}

TEST(RtfWriter, WritesTheRichEditShape) {
    const std::string rtf = WriteRichEditRtf(
        std::vector<TRtfParagraph>{Para({TextRun("Hi")}), Para({TextRun("there")})}, "Arial");
    EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\deff0")) << rtf;
    EXPECT_NE(rtf.find("}\r\n\\deflang1033\\pard\\plain\\f0\\fs20 Hi\r\n\\par there\r\n\\par }"),
              std::string::npos)
        << rtf;
}

}  // namespace
}  // namespace kivo
