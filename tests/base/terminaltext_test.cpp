#include "base/terminaltext.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(TerminalText, ControlCharactersAreShownNotSent) {
    struct Case {
        std::string text;
        std::string visible;  // VisibleControls
        std::string field;    // FieldText
        const char* why;
    } cases[] = {
        {"plain text", "plain text", "plain text", "nothing to change"},
        {"Hi\x1b]0;pwned\x07", "Hi^[]0;pwned^G", "Hi^[]0;pwned^G", "a title escape and BEL"},
        {"a\tb", "a\tb", "a b", "a tab stays in text, is a blank in a field"},
        {"a\r\nb", "a^M^Jb", "a  b", "line ends"},
        {"del\x7f", "del^?", "del^?", "DEL"},
        {"csi\xc2\x9b"
         "2J",
         "csi<U+009B>2J", "csi<U+009B>2J", "a C1 control in UTF-8"},
        {"caf\xc3\xa9 \xc2\xa0", "caf\xc3\xa9 \xc2\xa0", "caf\xc3\xa9 \xc2\xa0",
         "other UTF-8 is untouched"},
        {"\xc2", "\xc2", "\xc2", "a cut sequence at the end"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VisibleControls(c.text), c.visible) << c.why;
        EXPECT_EQ(FieldText(c.text), c.field) << c.why;
    }
    EXPECT_EQ(VisibleControls("a\tb", false), "a^Ib");
}

}  // namespace
}  // namespace kivo
