#include "mail/headerfields.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace kivo
