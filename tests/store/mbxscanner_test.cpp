#include "store/mbxscanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// The messages of a mailbox text found the slow, obvious way: split into lines, a line that
// starts with "From " starts a message.
std::vector<std::string> NaiveMessages(const std::string& text) {
    std::vector<std::string> messages;
    bool inMessage = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::size_t next = lf == std::string::npos ? text.size() : lf + 1;
        if (text.compare(start, 5, "From ") == 0) {
            messages.emplace_back();
            inMessage = true;
        }
        if (inMessage) messages.back() += text.substr(start, next - start);
        start = next;
    }
    return messages;
}

// Every message the scanner reports, checking that numbers, offsets and lengths agree with
// the text it hands out.
std::vector<std::string> ScannedMessages(const fs::path& file, const std::string& text,
                                         std::size_t block) {
    std::vector<std::string> messages;
    MbxScanner scanner(file, block);
    std::uint64_t lastEnd = 0;
    while (scanner.Next()) {
        const MbxSpan& span = scanner.Current();
        EXPECT_EQ(span.number, static_cast<std::int64_t>(messages.size()) + 1);
        EXPECT_GE(span.offset, lastEnd);
        lastEnd = span.offset + span.length;
        std::string_view got = scanner.Text();
        EXPECT_EQ(got, text.substr(span.offset, span.length));
        messages.emplace_back(got);
    }
    if (!messages.empty()) {
        EXPECT_EQ(lastEnd, text.size());
    }
    EXPECT_EQ(MbxScanner(file, block).CountRest(), static_cast<std::int64_t>(messages.size()));
    return messages;
}

struct ScanCase {
    const char* why;
    std::string text;
    std::vector<std::string> messages;
};

TEST(MbxScanner, FindsMessagesAtSeparatorLines) {
    const ScanCase cases[] = {
        {"empty file", "", {}},
        {"lines before any separator belong to no message", "hello\r\nFrom: x\r\n", {}},
        {"preamble, then two messages",
         "junk\r\n\r\nFrom a\r\nSubject: x\r\n\r\nbody\r\nFrom b\r\nb2\r\n",
         {"From a\r\nSubject: x\r\n\r\nbody\r\n", "From b\r\nb2\r\n"}},
        {"an escaped body line is no separator",
         "From a\r\n\r\n>From here on\r\n",
         {"From a\r\n\r\n>From here on\r\n"}},
        {"lower case, a blank or tab before, no blank after: no separator",
         "From a\r\nfrom b\r\n From c\r\n\tFrom d\r\nFrom:x\r\nFrom\r\nFromage\r\n",
         {"From a\r\nfrom b\r\n From c\r\n\tFrom d\r\nFrom:x\r\nFrom\r\nFromage\r\n"}},
        {"a blank line before a separator stays with the message before",
         "From a\r\nx\r\n\r\nFrom b\r\n",
         {"From a\r\nx\r\n\r\n", "From b\r\n"}},
        {"LF-only line ends", "From a\nx\nFrom b\ny\n", {"From a\nx\n", "From b\ny\n"}},
        {"last message without a final line end",
         "From a\r\nx\r\nFrom b\r\nlast",
         {"From a\r\nx\r\n", "From b\r\nlast"}},
        {"a file that is one bare separator", "From ", {"From "}},
        {"a bare CR is no line end", "From a\rFrom b\r\n", {"From a\rFrom b\r\n"}},
        {"empty messages back to back",
         "From \r\nFrom \r\nFrom \r\n",
         {"From \r\n", "From \r\n", "From \r\n"}},
    };
    TempDir dir;
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.why);
        WriteFile(dir / "box.mbx", c.text);
        for (std::size_t block : {std::size_t{1}, MbxScanner::kDefaultBlock})
            EXPECT_EQ(ScannedMessages(dir / "box.mbx", c.text, block), c.messages);
    }
}

// Separators, line ends and messages that straddle block edges in every possible way: a
// generated mailbox checked against the obvious reading for several block sizes.
TEST(MbxScanner, AgreesWithLineByLineReadingAcrossBlockEdges) {
    const std::string pool[] = {"From sender@example.com 01/02/2024 10:00:00",
                                ">From an escaped body line",
                                "from lower case",
                                " From indented",
                                "From:",
                                "Subject: hello",
                                "",
                                " ",
                                std::string(150, 'x'),
                                std::string(1000, 'y'),
                                "F",
                                "Fro"};
    std::mt19937 random(7);
    std::string text = "preamble line\r\n";
    for (int i = 0; i < 3000; ++i) {
        bool separator = random() % 6 == 0;
        text += separator ? pool[0] : pool[random() % std::size(pool)];
        text += random() % 5 == 0 ? "\n" : "\r\n";
    }
    text += "From last\r\nno line end";
    TempDir dir;
    WriteFile(dir / "gen.mbx", text);
    const std::vector<std::string> expected = NaiveMessages(text);
    ASSERT_GT(expected.size(), 400u);
    for (std::size_t block : {64, 100, 4099, 1 << 16}) {
        const std::vector<std::string> got = ScannedMessages(dir / "gen.mbx", text, block);
        ASSERT_EQ(got.size(), expected.size()) << "block " << block;
        auto diff = std::mismatch(got.begin(), got.end(), expected.begin());
        EXPECT_TRUE(diff.first == got.end())
            << "block " << block << ", message " << (diff.first - got.begin() + 1);
    }
}

TEST(MbxScanner, MissingFileOrFolderScansAsEmpty) {
    TempDir dir;
    struct {
        fs::path path;
        std::errc error;
    } cases[] = {{dir / "none.mbx", std::errc::no_such_file_or_directory},
                 {dir.path(), std::errc::is_a_directory}};
    for (const auto& c : cases) {
        MbxScanner scanner(c.path);
        EXPECT_FALSE(scanner.IsOpen());
        EXPECT_EQ(scanner.OpenError(), std::make_error_code(c.error));
        EXPECT_FALSE(scanner.Next());
        EXPECT_EQ(MbxScanner(c.path).CountRest(), 0);
    }
}

TEST(MbxScanner, SkipsToMessageAndHandsOutItsStart) {
    TempDir dir;
    WriteFile(dir / "box.mbx", "From a\r\n1\r\nFrom b\r\nSubject: two\r\n\r\nbody\r\nFrom c\r\n");
    MbxScanner scanner(dir / "box.mbx", 64);
    ASSERT_TRUE(scanner.SkipTo(2));
    EXPECT_EQ(scanner.Current().offset, 11u);
    EXPECT_EQ(scanner.Text(8), "From b\r\n");
    EXPECT_EQ(scanner.Lines(), (std::vector<std::string>{"From b", "Subject: two", "", "body"}));
    EXPECT_FALSE(scanner.SkipTo(1));  // only forward
    EXPECT_FALSE(scanner.SkipTo(4));
    EXPECT_FALSE(MbxScanner(dir / "box.mbx").SkipTo(0));
}

TEST(MbxLines, SplitsAtLineFeedsDroppingOneCarriageReturn) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"a\r\r\n", {"a\r"}},
        {"a\r", {"a\r"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        MbxLines lines(c.text);
        for (std::string_view line; lines.Next(line);) got.emplace_back(line);
        EXPECT_EQ(got, c.lines) << c.text;
    }
}

}  // namespace
}  // namespace kivo
