#include "mail/headerfields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

TEST(HeaderFields, StripsQuotes) {
    EXPECT_EQ(StripQuotes("  \"John Doe\"  "), "John Doe");
    EXPECT_EQ(StripQuotes("\"\" a \"\"\""), " a ");
    EXPECT_EQ(StripQuotes("say \"hi\" now"), "say \"hi\" now");
    EXPECT_EQ(StripQuotes("\""), "");
}

TEST(HeaderFields, MainValue) {
    EXPECT_EQ(MainValue("multipart/mixed; boundary=x"), "multipart/mixed");
    EXPECT_EQ(MainValue("text/plain;charset=us-ascii"), "text/plain");
    EXPECT_EQ(MainValue("  text/html  "), "text/html");
    EXPECT_EQ(MainValue(""), "");
}

TEST(HeaderFields, ParameterValues) {
    struct Case {
        const char* name;
        const char* field;
        const char* value;
        const char* why;
    };
    const Case cases[] = {
        {"boundary", "multipart/mixed; boundary=\"abc\"; x=y", "abc", "quoted"},
        {"charset", "text/plain; charset=iso-8859-1;", "iso-8859-1", "one trailing ; goes"},
        {"boundary", "multipart/mixed; boundary=abc;x=y", "abc;x=y", "unquoted runs to a blank"},
        {"Boundary", "multipart/mixed; BOUNDARY=\"q r\"", "q r", "any case, blanks in quotes"},
        {"name", "attachment; filename=\"report.pdf\"", "report.pdf", "name found in filename"},
        {"name", "application/pdf; filename=\"a.pdf\"; name=\"b.pdf\"", "b.pdf",
         "a parameter of exactly that name wins"},
        {"name", "text/plain;name = \"spaced.txt\"", "spaced.txt", "blanks around ="},
        {"charset", "text/plain", "", "missing"},
        {"name", "text/plain; name=\"open", "open", "an unclosed quote runs to the end"},
        {"name", "x; name", "", "a name at the very end"},
        {"name", "x; name=", "", "an empty value"},
        {"", "x; a=b", "", "an empty name"},
        {"boundary", "multipart/mixed; boundary*=us-ascii''b1", "b1", "RFC 2231 form"},
        {"charset", "text/plain; charset*=us-ascii'en'utf-8", "utf-8", "RFC 2231, a language"},
        {"boundary", "multipart/mixed; boundary*0=\"ab\"; boundary*1*=%3Dc", "ab=c",
         "RFC 2231 pieces"},
        {"boundary", "multipart/mixed; boundary=old; boundary*=''new", "new",
         "the RFC 2231 form wins over a plain value beside it"},
        {"boundary", "multipart/mixed; boundary*1=tail", "tail", "piece 0 lost"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParameterValue(c.name, c.field), c.value) << c.why;
    }
}

TEST(HeaderFields, ParsesAddresses) {
    struct Case {
        std::string text;
        std::string name;
        std::string address;
        const char* why;
    };
    const Case cases[] = {
        {"\"John Doe\" <john@example.com>", "John Doe", "john@example.com", "quoted name"},
        {"John Doe <john@example.com>", "John Doe", "john@example.com", "bare name"},
        {"<john@example.com>", "", "john@example.com", "brackets only"},
        {"john@example.com", "", "john@example.com", "bare address"},
        {"john@example.com (John Doe)", "John Doe", "john@example.com", "comment as name"},
        {"john@example.com (", "", "john@example.com", "an empty comment"},
        {"John <john@example.com", "John <john@example.com", "", "no closing bracket"},
        {"John >x< y", "John >x< y", "", "brackets the wrong way round"},
        {"<a@b> trailing", "trailing", "a@b", "name after the address"},
        {"Caf\xe9 <c@d>", "Caf\xe9", "c@d", "8-bit names stay bytes"},
        {"", "", "", "empty"},
        {"garbage;;;", "", "garbage;;;", "garbage is an address"},
        {"<@a.com,@b.ru:test@attack.com>", "", "test@attack.com", "an obsolete route goes"},
        {"Eve <@a.com:eve@b.org>", "Eve", "eve@b.org", "a route of one host"},
        {"First \"M.\" Last <u@x.org>", "First M. Last", "u@x.org", "a quoted word inside"},
        {"\"First\" M. \"Last\" <u@x.org>", "First M. Last", "u@x.org", "quoted words around"},
        {"\"First M. Last\" (Comment) <u@x.org>", "First M. Last (Comment)", "u@x.org",
         "a quoted name and a comment: the comment stays apart"},
        {"\"Smith <boss>\" <eve@x.org>", "Smith <boss>", "eve@x.org", "a bracket inside quotes"},
        {"\"say \\\"hi\\\"\" <u@x.org>", "say \"hi\"", "u@x.org", "an escaped quote"},
        {"\"Open <u@x.org>", "Open", "u@x.org", "an unclosed quote"},
        {"test1@local>", "", "test1@local", "a stray closing bracket"},
        {"<test1@local", "<test1@local", "", "an opening bracket alone is no address"},
    };
    for (const auto& c : cases) {
        const ParsedAddress parsed = ParseAddress(c.text);
        EXPECT_EQ(parsed.name, c.name) << c.why;
        EXPECT_EQ(parsed.address, c.address) << c.why;
    }
    const ParsedAddress longOne =
        ParseAddress(std::string(300, 'n') + " <" + std::string(300, 'a') + ">");
    EXPECT_EQ(longOne.name, std::string(255, 'n'));
    EXPECT_EQ(longOne.address, std::string(255, 'a'));
}

TEST(HeaderFields, SplitsAddressLists) {
    struct Case {
        const char* text;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"a@b, \"Doe, John\" <j@x>", {"a@b", "\"Doe, John\" <j@x>"}},
        {"j@x (Doe, John), k@y", {"j@x (Doe, John)", "k@y"}},
        {"<@a.org,@b.org:jo@c.org>, d@e", {"<@a.org,@b.org:jo@c.org>", "d@e"}},
        {"<any@attack.com>, <any2@attack.com>", {"<any@attack.com>", "<any2@attack.com>"}},
        {"a@b, , c@d,", {"a@b", "", "c@d"}},
        {"\"Doe, John <j@x>", {"\"Doe, John <j@x>"}},
        {"x (open, y", {"x (open", "y"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> items;
        SplitAddressList(c.text, items);
        EXPECT_EQ(items, c.items) << c.text;
    }
}

TEST(HeaderFields, ContentTypeWithoutSubtypeIsPlainText) {
    EXPECT_EQ(ValidContentType("text; charset=us-ascii"), "text/plain; charset=us-ascii");
    EXPECT_EQ(ValidContentType("multipart"), "text/plain");
    EXPECT_EQ(ValidContentType("image/png; name=a"), "image/png; name=a");
    EXPECT_EQ(ValidContentType(""), "");
}

}  // namespace
}  // namespace kivo
