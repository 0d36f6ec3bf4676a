// The view's HTML for stored messages, compared with golden files in tests/data/view: each
// NAME.msg is a message as the mailbox holds it; NAME.html is its view, NAME.headers.html the
// view with the headers shown, NAME.raw.html the raw view. KIVO_REGEN=1 rewrites the goldens
// that exist (and every NAME.html) so a change shows as a diff.

#include "view/writemessage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "base/bytes.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "view/msghtml.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

struct StoredMessage {
    std::vector<std::string> headers;
    std::vector<std::string> body;
};

StoredMessage ReadStored(const fs::path& file) {
    std::vector<std::string> lines = SplitLines(test::ReadFile(file));
    StoredMessage m;
    StripMsgBottom(lines);
    StripMsgTop(lines);
    ExtractHeaders(m.headers, lines);
    StripMsgTop(lines);
    m.body = std::move(lines);
    TakeAttachmentLines(m.body);
    return m;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TEST(WriteMessageGolden, EveryStoredMessageRendersAsItsGoldenFiles) {
    const bool regen = std::getenv("KIVO_REGEN") != nullptr;
    const fs::path dir = test::DataPath("view");
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".msg") continue;
        const StoredMessage m = ReadStored(entry.path());
        const std::string stem = entry.path().stem().string();
        struct Variant {
            std::string suffix;
            bool headers, raw;
        };
        for (const Variant& v :
             {Variant{".html", false, false}, Variant{".headers.html", true, false},
              Variant{".raw.html", false, true}}) {
            const fs::path golden = dir / (stem + v.suffix);
            const std::string got = Joined(MessageHtml(m.headers, m.body, v.headers, v.raw));
            if (regen && (v.suffix == ".html" || fs::exists(golden))) {
                test::WriteFile(golden, got);
                continue;
            }
            if (!fs::exists(golden)) continue;
            EXPECT_EQ(test::ReadFile(golden), got) << golden;
            ++compared;
        }
    }
    if (!regen) {
        EXPECT_GE(compared, 8);
    }
}

TEST(TextLineToHtml, EscapesAndKeepsEntities) {
    struct Case {
        const char* line;
        const char* html;
        const char* why;
    };
    const Case cases[] = {
        {"a < b > c", "a &lt; b &gt; c<br>", "angle brackets escaped"},
        {"AT&amp;T", "AT&amp;T<br>", "the ampersand is not escaped, so the entity shows AT&T"},
        {"x  y", "x&nbsp;&nbsp;y<br>", "a pair of blanks"},
        {"x   y", "x&nbsp;&nbsp; y<br>", "three blanks leave one blank after the pair"},
        {"x    y", "x&nbsp;&nbsp;&nbsp;&nbsp;y<br>", "two pairs"},
        {"", "<br>", "an empty line is a line break"},
        {"\ttab", "\ttab<br>", "tabs stay"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.html, TextLineToHtml(c.line)) << c.why;
}

TEST(LinkUrls, LinksHttpAddressesAsTheViewShowsThem) {
    struct Case {
        const char* html;  // a line as TextLineToHtml wrote it
        const char* linked;
        const char* why;
    };
    const Case cases[] = {
        {"go http://a.example/x now<br>",
         "go <a href=\"http://a.example/x\">http://a.example/x</a> now<br>",
         "after a blank, up to a blank"},
        {"see http://a.example/x, ok<br>",
         "see <a href=\"http://a.example/x,\">http://a.example/x,</a> ok<br>",
         "a comma belongs to it"},
        {"(http://a.example/x)<br>", "(<a href=\"http://a.example/x\">http://a.example/x</a>)<br>",
         "a parenthesis does not"},
        {"&gt;http://a.example/<br>", "&gt;http://a.example/<br>",
         "right after a quote mark: not linked"},
        {"x>http://a.example/<br>", "x>http://a.example/<br>", "right after '>': not linked"},
        {"&lt;http://a.example/?a=1&b=2&gt;<br>",
         "&lt;<a href=\"http://a.example/?a=1&b=2\">http://a.example/?a=1&b=2</a>&gt;<br>",
         "ends before an escaped '>', keeps a query's ampersands"},
        {"http://a.example/&nbsp;&nbsp;x<br>",
         "<a href=\"http://a.example/\">http://a.example/</a>&nbsp;&nbsp;x<br>",
         "ends before the blanks' entities"},
        {"HTTP://A.example/ https://b.example/<br>",
         "<a href=\"HTTP://A.example/\">HTTP://A.example/</a> <a href=\"https://b.example/\">"
         "https://b.example/</a><br>",
         "the scheme in any case, https too"},
        {"httpx://a.example/ http:/b ftp://c.example/<br>",
         "httpx://a.example/ http:/b ftp://c.example/<br>", "nothing else"},
        {"say href=\"http://a.example/\"<br>", "say href=\"http://a.example/\"<br>",
         "an href value is left alone"},
        {"http://a.example/;http://b.example/<br>",
         "<a href=\"http://a.example/\">http://a.example/</a>;<a href=\"http://b.example/\">"
         "http://b.example/</a><br>",
         "the scan goes on after the character that ended the address"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines{"first line", c.html};
        LinkUrls(lines);
        EXPECT_EQ(c.linked, lines[1]) << c.why;
    }
    // Fewer than 7 characters before it: even after 'href="' at the very start it is linked.
    std::vector<std::string> start{"href=\"http://a.example/\""};
    LinkUrls(start);
    EXPECT_EQ("href=\"<a href=\"http://a.example/\"\">http://a.example/\"</a>", start[0]);
}

TEST(AttachmentLines, LeaveTheBodyAndGiveTheirPaths) {
    std::vector<std::string> body{"text", "Attachment Converted: \"/a/b/c.pdf\"",
                                  "Attachment Converted: no quote", "Attachment Converted: \"",
                                  "more"};
    const std::vector<std::string> paths = TakeAttachmentLines(body);
    EXPECT_EQ((std::vector<std::string>{"text", "Attachment Converted: no quote", "more"}), body);
    EXPECT_EQ((std::vector<std::string>{"/a/b/c.pdf", ""}), paths);
    EXPECT_EQ("c.pdf", AttachmentFileName("/a/b/c.pdf"));
    EXPECT_EQ("gone.txt", AttachmentFileName("C:\\Kivo\\Attach\\gone.txt"));
}

// Hostile text: one 10 MB line, 100,000 unbalanced tags, a line of nothing but addresses.
// Each takes milliseconds in one pass and minutes if any step were quadratic.
TEST(WriteMessageHostile, StaysLinearOnHugeLinesAndTags) {
    const std::vector<std::string> headers{"From: x@example.org", "Subject: big"};
    const std::vector<std::string> htmlHeaders{"Content-Type: text/html"};
    std::string tags;
    for (int i = 0; i < 100000; ++i) tags += "<b><i><table><td>";
    std::string urls;
    while (urls.size() < 10'000'000) urls += "http://a.example/ http://";
    const std::vector<std::vector<std::string>> bodies{
        {std::string(10'000'000, 'a') + " http://x.example/"},
        {std::string(10'000'000, ' ')},
        {std::string(5'000'000, '<') + std::string(5'000'000, '>')},
        {tags},
        {urls},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& body : bodies) {
        const std::vector<std::string> html = MessageHtml(headers, body, true, false);
        ASSERT_EQ(5u, html.size());
        EXPECT_GE(html[4].size(), body[0].size());
        MessageHtml(htmlHeaders, body, false, false);
    }
    // Generous for a loaded machine and a sanitizer build; quadratic work would take hours.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

}  // namespace
}  // namespace kivo
