// HTML mail as a terminal reader sees it.

#include "view/htmltext.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(HtmlToText, KeepsTheTextAndItsShape) {
    struct Case {
        std::vector<std::string> html;
        std::vector<std::string> text;
        const char* why;
    };
    const Case cases[] = {
        {{"<p>One <b>bold</b>", "word</p><p>Two</p>"},
         {"One bold word", "", "Two"},
         "paragraphs, a line end inside one is a blank"},
        {{"a<br>b<BR/>c"}, {"a", "b", "c"}, "line breaks in any case"},
        {{"<ul><li>x</li><li>y</li></ul>after"}, {"* x", "* y", "", "after"}, "list items"},
        {{"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>"},
         {"a b", "c"},
         "table rows"},
        {{"&lt;tag&gt; &amp; &quot;q&quot; &#233;&#xE9; &euro;&nbsp;&nbsp;x &bogus; & alone"},
         {"<tag> & \"q\" \xc3\xa9\xc3\xa9 \xe2\x82\xac  x &bogus; & alone"},
         "entities"},
        {{"&#0; &#xD800; &#9999999; &#27;"},
         {"\xef\xbf\xbd \xef\xbf\xbd \xef\xbf\xbd \xef\xbf\xbd"},
         "entities that are no text"},
        {{"<a href=\"http://x.example/\">site</a> <a href='mailto:a@b'>mail</a> <a "
          "href=#top>up</a>"},
         {"site <http://x.example/> mail <mailto:a@b> up"},
         "link addresses follow their text"},
        {{"<img src=\"cid:logo\" alt=\"Logo\"><img src=x>"},
         {"[Logo]"},
         "pictures by their alt text"},
        {{"<head><title>T</title><style>p {}</style></head><script>alert(1)</script>",
          "<!-- hidden --><p>shown"},
         {"shown"},
         "no text from head, style, script or comments"},
        {{"<pre>  two  blanks", "next</pre>x  y"},
         {"  two  blanks", "next", "x y"},
         "white space kept in pre"},
        {{"a < b and 1<2 but <unclosed"}, {"a < b and 1<2 but"}, "a tag without its end"},
        {{"", "<p></p>", "  "}, {}, "nothing to show"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, HtmlToText(c.html)) << c.why;
}

TEST(HtmlToText, StaysLinearOnHostileHtml) {
    std::string unclosed;
    for (int i = 0; i < 100000; ++i) unclosed += "<b><i><div><a href=x>";
    const std::vector<std::vector<std::string>> inputs{
        {unclosed},
        {std::string(10'000'000, 'x')},
        {std::string(5'000'000, '<') + "a"},
        {std::string(2'000'000, '&')},
        {"<script>" + std::string(5'000'000, '<')},
        {"<!--" + std::string(5'000'000, '-')},
    };
    for (const auto& html : inputs) {
        const std::vector<std::string> text = HtmlToText(html);
        EXPECT_LE(text.size(), 1'000'000u);
    }
}

}  // namespace
}  // namespace kivo
