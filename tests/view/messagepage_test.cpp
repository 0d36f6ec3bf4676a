// The page the view loads: scripts, refresh and the message's own security policy taken out
// however the markup hides them; remote references replaced for `kivo show --html-safe`; the
// view's defaults placed where the page keeps its rendering mode.

#include "view/messagepage.h"

#include <gtest/gtest.h>

#include "base/bytes.h"

namespace kivo {
namespace {

bool Has(std::string_view text, std::string_view part) {
    return FindNoCase(text, part) != std::string_view::npos;
}

TEST(StripActiveContent, TakesOutRefreshPolicyAndScriptsHoweverWritten) {
    struct Case {
        const char* why;
        const char* html;
        const char* gone;  // no longer in the page (any case)
        const char* kept;  // still there
    };
    const Case cases[] = {
        {"plain refresh", "<head><meta http-equiv=\"refresh\" content=\"1\"></head><p>Hi",
         "refresh", "<p>Hi"},
        {"upper case, unquoted", "<META HTTP-EQUIV=Refresh CONTENT=0;URL=http://x/>text", "refresh",
         "text"},
        {"content first, single quotes, slashes", "<meta/content='1'/http-equiv='REFRESH'/>a",
         "refresh", "a"},
        {"line breaks between attributes", "<meta\ncontent=\"1\"\r\n\thttp-equiv = \"refresh\" >a",
         "refresh", "a"},
        {"a quoted > inside a value", "<meta content=\"1;url=x>y\" http-equiv=\"refresh\">after",
         "refresh", "after"},
        {"character references", "<meta http-equiv=\"&#114;efresh\" content=\"1\">a", "efresh",
         "a"},
        {"the message's own policy",
         "<meta http-equiv=\"Content-Security-Policy\" content=\"style-src 'none'\"><b>x</b>",
         "security", "<b>x</b>"},
        {"policy report-only", "<meta http-equiv=content-security-policy-report-only content=x>",
         "security", ""},
        {"a meta cut off by the text's end", "<p>a</p><meta http-equiv=refresh content=1",
         "refresh", "<p>a</p>"},
        {"one meta hidden in another's value",
         "<meta name=\"<meta http-equiv=refresh content=1>\">b", "refresh", "b"},
        {"two halves joined by a removed tag",
         "<me<meta http-equiv=refresh>ta http-equiv=refresh content=1>c", "<meta", "c"},
        {"a refresh inside a comment that ends early",
         "<!-- <p title=\"--> <meta http-equiv=refresh content=1> \"> -->d", "refresh", "d"},
        {"a script", "<p>a</p><script>document.title='x'</script><p>b</p>", "document.title",
         "<p>b</p>"},
        {"a script with an odd end tag", "<SCRIPT type=text/javascript>x()</script\t foo>after",
         "x()", "after"},
        {"a script's end tag in a string ends it", "<script>s='</script>';</script>c", "<script",
         "c"},
        {"a script never ended", "<p>a</p><script>x()", "x()", "<p>a</p>"},
        {"a refresh after a script that seemed to end",
         "<script><!--<script></script><meta http-equiv=refresh content=1></script>e", "refresh",
         "e"},
    };
    for (const Case& c : cases) {
        const std::string page = StripActiveContent(c.html);
        EXPECT_FALSE(Has(page, c.gone)) << c.why << ": " << page;
        EXPECT_TRUE(Has(page, c.kept)) << c.why << ": " << page;
    }
}

TEST(StripActiveContent, KeepsWhatAMessageNeeds) {
    const std::string html =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width\"><metadata>"
        "<style>p{color:red}</style></head><body><p>a < b, i<meta>n</p><scripts>"
        "<a href=\"https://example.org/\">link</a></body></html>";
    EXPECT_EQ(html, StripActiveContent(html));
    EXPECT_EQ("", StripActiveContent(""));
}

// Hostile shapes cost time in proportion to their size: no tag is read twice.
TEST(StripActiveContent, HostileShapesTakeOnePass) {
    std::string tags;
    for (int k = 0; k < 200000; ++k) tags += "<meta x=";
    std::string names;
    for (int k = 0; k < 200000; ++k) names += "<a<b<scrip";
    for (const std::string& html : {tags, names, std::string(2000000, '<')}) {
        const std::string page = StripActiveContent(html);
        EXPECT_FALSE(Has(page, "<meta "));
        EXPECT_LE(page.size(), html.size());
        EXPECT_LE(BlockRemoteReferences(html).size(), html.size());
    }
}

TEST(BlockRemoteReferences, ReplacesWhatWouldBeFetched) {
    struct Case {
        const char* why;
        const char* html;
        const char* want;
    };
    const Case cases[] = {
        {"a tracking picture", "<img src=\"http://t.example/p.gif\" width=1>",
         "<img src=\"about:blank\" width=1>"},
        {"unquoted, upper case", "<IMG SRC=HTTPS://t.example/p.gif>", "<IMG src=\"about:blank\">"},
        {"character references in the scheme", "<img src='http&#58;//t.example/p'>",
         "<img src=\"about:blank\">"},
        {"a style sheet and a base",
         "<link rel=stylesheet href=\"http://x/s.css\"><base href=http://x/>",
         "<link rel=stylesheet href=\"about:blank\"><base href=\"about:blank\">"},
        {"a srcset with one remote candidate", "<img srcset=\"cid:a 1x, http://x/b.png 2x\">",
         "<img srcset=\"about:blank\">"},
        {"a body background", "<body background=\"http://x/bg.png\">",
         "<body background=\"about:blank\">"},
        {"SVG pictures", "<svg><image xlink:href=\"https://x/i.svg\"/></svg>",
         "<svg><image xlink:href=\"about:blank\"/></svg>"},
        {"a style attribute", "<td style=\"background:url('http://x/a.png') red\">",
         "<td style=\"background:url(about:blank) red\">"},
        {"a style sheet's import, url and image-set",
         "<style>@import \"http://x/a.css\";p{background:URL( https://x/b.png )}"
         "q{background-image:image-set('http://x/c.png' 1x)}</style>",
         "<style>@import \"about:blank\";p{background:url(about:blank)}"
         "q{background-image:image-set('about:blank' 1x)}</style>"},
        {"a CSS escape in url", "<style>p{background:\\75 rl(http://x/a.png)}</style>",
         "<style>p{background:url(about:blank)}</style>"},
        {"event handlers", "<img src=cid:a onerror=\"fetch('http://x')\" ONLOAD=x>",
         "<img src=cid:a  >"},
        {"a link stays a link", "<a href=\"https://example.org/offer\">offer</a>",
         "<a href=\"https://example.org/offer\">offer</a>"},
        {"own pictures and text stay", "<img src=\"cid:logo@x\"><p>see http://example.org</p>",
         "<img src=\"cid:logo@x\"><p>see http://example.org</p>"},
        {"comments stay as written", "<!-- <img src=http://x/a> -->",
         "<!-- <img src=http://x/a> -->"},
        {"a tag cut off by the text's end", "<p>a</p><img src=\"http://x/", "<p>a</p>"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, BlockRemoteReferences(c.html)) << c.why;
}

TEST(MessagePageHtml, PutsTheDefaultsFirstAndStripsTheMessage) {
    const std::string css = ":where(html){color:#000000;}";
    EXPECT_EQ("<!DOCTYPE html><style>" + css + "</style>\n<html>\n  <p>a</p>\n",
              MessagePageHtml({"<!DOCTYPE html>", "<html>", "  <p>a</p>"}, true, css));
    EXPECT_EQ(
        "\n<style>" + css + "</style><html><head> </head>\n",
        MessagePageHtml({"", "<html><head><meta http-equiv=refresh content=1></head>"}, true, css));
    // The view's HTML of a text message is a page of its own; its lines are already text.
    const std::string text = MessagePageHtml({"a &lt;meta&gt;<br>"}, false, css);
    EXPECT_TRUE(text.starts_with("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"));
    EXPECT_TRUE(text.ends_with("<body>a &lt;meta&gt;<br>\n</body></html>"));
}

}  // namespace
}  // namespace kivo
