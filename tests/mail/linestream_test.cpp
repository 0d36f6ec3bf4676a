#include "mail/linestream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

std::vector<std::string> ReadAll(std::string_view data) {
    TLineStream reader(data);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.ReadLine(line)) lines.emplace_back(line);
    return lines;
}

TEST(LineStream, SplitsAtEveryKindOfLineEnd) {
    using namespace std::string_literals;
    struct Case {
        std::string data;
        std::vector<std::string> lines;
        const char* why;
    };
    const Case cases[] = {
        {"", {}, "no data, no line"},
        {"a\r\nb\r\n", {"a", "b"}, "CR LF; the final line end gives no empty line"},
        {"a\nb", {"a", "b"}, "LF alone; a last line without line end is kept"},
        {"a\rb\r", {"a", "b"}, "CR alone"},
        {"a\n\rb", {"a", "", "b"}, "LF CR is two line ends"},
        {"\r\n\r\n", {"", ""}, "empty lines"},
        {"a\0b\nc"s, {"a\0b"s, "c"}, "NUL bytes stay inside the line"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAll(c.data), c.lines) << c.why;
}

TEST(LineStream, LongLinesAndCrOnlyTextAreReadWhole) {
    // Far beyond any block size: a single line, and CR-only text.
    std::string longLine(200000, 'x');
    EXPECT_EQ(ReadAll(longLine + "\r\nend"), (std::vector<std::string>{longLine, "end"}));
    std::string crOnly;
    for (int i = 0; i < 5000; ++i) crOnly += "line of text\r";
    EXPECT_EQ(ReadAll(crOnly).size(), 5000u);
}

TEST(LineStream, EndMarkerAndFlagStayAfterTheEndAndResetStartsOver) {
    TLineStream reader("one\r\ntwo");
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(line));
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "two");
    EXPECT_FALSE(reader.Eof());
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(reader.ReadLine(line));
        EXPECT_EQ(line, TLineStream::kEndMarker);
        EXPECT_TRUE(reader.Eof());
    }
    reader.Reset();
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "one");
    EXPECT_FALSE(reader.Eof());
}

}  // namespace
}  // namespace kivo
