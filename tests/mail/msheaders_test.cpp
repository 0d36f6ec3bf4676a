#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/msmsgcls.h"

namespace kivo {
namespace {

TmsHeaders Make(std::vector<std::string> lines) {
    TmsHeaders headers;
    for (std::string& line : lines) headers.Add(std::move(line));
    return headers;
}

TEST(Headers, GetFieldValue) {
    const TmsHeaders headers = Make({
        "Received: from x",
        "SUBJECT:   Hello  ",
        "To: a@b.c,",
        "\tSmith <s@d.e>",
        "X-Plain:value",
        "Subject: second subject",
        "X-Word: =?iso-8859-1?Q?Caf=E9_noir?= is here",
        "Content-Type: multipart/mixed; boundary=\"=?x?Q?y?=\"",
        "X-Long: " + std::string(300, 'a'),
    });
    struct Case {
        const char* name;
        std::string value;
        const char* why;
    };
    const Case cases[] = {
        {"subject", "Hello", "names in any case, blanks trimmed, the first field wins"},
        {"Subject:", "Hello", "a given colon is not doubled"},
        {"X-Plain", "value", "no blank after the colon"},
        {"To", "a@b.c, Smith <s@d.e>", "continuation joined with one blank"},
        {"Sub", "", "a name is matched up to its colon"},
        {"Missing", "", "no such field"},
        {"X-Word", "Caf\xc3\xa9 noir is here", "encoded words decoded into UTF-8"},
        {"Content-Type", "multipart/mixed; boundary=\"=?x?Q?y?=\"", "Content-Type kept raw"},
        {"X-Long", std::string(255, 'a'), "other values cut to 255"},
    };
    for (const Case& c : cases) EXPECT_EQ(headers.GetFieldValue(c.name), c.value) << c.why;
    EXPECT_EQ(TmsHeaders().GetFieldValue("To"), "");
}

TEST(Headers, GetFieldValuesCollectsEveryFieldOfThatName) {
    const TmsHeaders headers = Make({
        "To: \"Smith, Bob\" <bob@x.org>, ann@y.org,",
        "  carl@z.org",
        "Cc: c1@x.org",
        "To: dave@w.org,",
        "Subject: x",
    });
    std::vector<std::string> items = {"left over"};
    headers.GetFieldValues("To", items);
    EXPECT_EQ(items, (std::vector<std::string>{"\"Smith, Bob\" <bob@x.org>", "ann@y.org",
                                               "carl@z.org", "dave@w.org"}));
    headers.GetFieldValues("Bcc", items);
    EXPECT_TRUE(items.empty());
    // Empty items between commas are kept; the empty tail after the last comma is not.
    Make({"Cc: a@b,, c@d,"}).GetFieldValues("CC", items);
    EXPECT_EQ(items, (std::vector<std::string>{"a@b", "", "c@d"}));
    // A route's commas are inside the brackets; a lone "<" shields nothing.
    Make({"To: <@a.com,@b.ru:t@c.com>, x <y@z, u@v"}).GetFieldValues("To", items);
    EXPECT_EQ(items, (std::vector<std::string>{"<@a.com,@b.ru:t@c.com>", "x <y@z", "u@v"}));
    // A name folded away from its address, and a comma in a comment, split nothing.
    Make({"To: =?utf-8?Q?Ann_B?=", "\t<ann@x.org>, bob@y.org (Doe, Bob)"}).GetFieldValues("To",
                                                                                       items);
    EXPECT_EQ(items, (std::vector<std::string>{"Ann B <ann@x.org>", "bob@y.org (Doe, Bob)"}));
}

TEST(Headers, RemoveFieldAndCutAtBlankLine) {
    TmsHeaders headers = Make({"To: a@b,", "\tc@d", "X-A: 1", "to: second", "", "body"});
    headers.RemoveField("TO");
    EXPECT_EQ(headers.Lines(), (std::vector<std::string>{"X-A: 1", "to: second", "", "body"}));
    headers.RemoveField("Nothing");
    EXPECT_EQ(headers.Count(), 4u);
    headers.CutAtBlankLine();
    EXPECT_EQ(headers.Lines(), (std::vector<std::string>{"X-A: 1", "to: second"}));
    headers.CutAtBlankLine();
    EXPECT_EQ(headers.Count(), 2u);
}

}  // namespace
}  // namespace kivo
