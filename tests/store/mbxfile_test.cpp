#include "store/mbxfile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Lines = std::vector<std::string>;

// Lines before the first separator, an escaped body line, a lower-case "from", a blank line
// before a separator, and a last line without a line end.
constexpr std::string_view kMailbox =
    "stray line\r\n"
    "From a@example.com 01/02/2024 10:00:00\r\n"
    "Subject: one\r\n"
    "\r\n"
    ">From the body\r\n"
    "from lower case\r\n"
    "\r\n"
    "From ???@??? ?\?/?\?/???? ??:??:??\r\n"
    "Status: RQ\r\n"
    "\r\n"
    "two\r\n"
    "From c@example.com\r\n"
    "Subject: three\r\n"
    "\r\n"
    "last line";

TEST(ExtractMsg, ReturnsTheMessageOfEachNumber) {
    TempDir dir;
    WriteFile(dir / "In.mbx", kMailbox);
    const struct {
        int number;
        Lines lines;
    } cases[] = {
        {1,
         {"From a@example.com 01/02/2024 10:00:00", "Subject: one", "", ">From the body",
          "from lower case", ""}},
        {2, {"From ???@??? ?\?/?\?/???? ??:??:??", "Status: RQ", "", "two"}},
        {3, {"From c@example.com", "Subject: three", "", "last line"}},
    };
    for (const auto& c : cases) {
        Lines lines = {"kept"};
        ExtractMsg(c.number, dir / "in.mbx", lines);  // names match without regard to case
        Lines expected = {"kept"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(lines, expected) << c.number;
    }
    // One reader over several numbers gives the same, in any order and repeated.
    TMessageReader reader(dir / "In.mbx");
    for (int number : {2, 3, 1, 1, 3, 2}) {
        Lines lines;
        reader.Extract(number, lines);
        EXPECT_EQ(lines, cases[number - 1].lines) << number;
    }
    Lines none;
    EXPECT_THROW(reader.Extract(4, none), EIndexInvalid);
    reader.Extract(1, none);
    EXPECT_EQ(none, cases[0].lines);
}

TEST(ExtractMsg, NumberTheFileDoesNotReachIsAnInvalidIndex) {
    TempDir dir;
    WriteFile(dir / "in.mbx", kMailbox);
    const struct {
        fs::path path;
        int number;
    } cases[] = {
        {dir / "in.mbx", 4}, {dir / "in.mbx", 0}, {dir / "in.mbx", -1}, {dir / "missing.mbx", 1}};
    for (const auto& c : cases) {
        Lines lines;
        try {
            ExtractMsg(c.number, c.path, lines);
            ADD_FAILURE() << "no error for " << c.number;
        } catch (const EIndexInvalid& e) {
            EXPECT_STREQ(e.what(), "Index invalid, please Compress Mailbox");
        }
        EXPECT_TRUE(lines.empty());
    }
}

TEST(FindLastIndex, CountsSeparatorLines) {
    TempDir dir;
    const struct {
        std::string_view text;
        int count;
    } cases[] = {
        {kMailbox, 3},
        {"", 0},
        {"no separator\r\n>From x\r\n From y\r\n", 0},
        {"From a\nFrom b\nFrom c", 3},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "box.mbx", c.text);
        EXPECT_EQ(FindLastIndex(dir / "BOX.mbx"), c.count) << c.text;
    }
    EXPECT_EQ(FindLastIndex(dir / "missing.mbx"), 0);
    EXPECT_EQ(FindLastIndex(dir.path()), 0);
}

TEST(AppendToFile, CreatesAndAppendsWithCrLf) {
    TempDir dir;
    AppendToFile({"From a", "Subject: one", "", "body"}, dir / "new.mbx");
    AppendToFile({"From b", ""}, dir / "NEW.mbx");  // the same file, whatever the case
    EXPECT_EQ(ReadFile(dir / "new.mbx"), "From a\r\nSubject: one\r\n\r\nbody\r\nFrom b\r\n\r\n");
    EXPECT_FALSE(fs::exists(dir / "NEW.mbx"));
}

TEST(AppendToFile, StartsTheNewMessageOnALineOfItsOwn) {
    TempDir dir;
    WriteFile(dir / "in.mbx", "From a\r\nlast line");
    AppendToFile({"From b", "body"}, dir / "in.mbx");
    EXPECT_EQ(ReadFile(dir / "in.mbx"), "From a\r\nlast line\r\nFrom b\r\nbody\r\n");
    EXPECT_EQ(FindLastIndex(dir / "in.mbx"), 2);
}

// A write that fails half-way (here the file-size limit, as a full disk would) must leave
// the mailbox exactly as it was, and the failure must reach the caller with the box text.
TEST(AppendToFile, FailedWriteLeavesTheFileAtItsOldLength) {
    TempDir dir;
    const fs::path box = dir / "in.mbx";
    const std::string before = "From a\r\nSubject: old\r\n\r\nkept\r\n";
    WriteFile(box, before);
    Lines big = {"From b", ""};
    for (int i = 0; i < 2000; ++i) big.push_back("a body line that takes some room on disk");

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(before.size() + 100), RLIM_INFINITY};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        try {
            AppendToFile(big, box);
        } catch (const EAppendError& e) {
            bool text = std::string_view(e.what()) ==
                        "Could not add the message to the mailbox,\r"
                        "most likely due to lack of free space!";
            _exit(text && !e.cause().empty() ? 0 : 2);
        } catch (...) {
            _exit(4);
        }
        _exit(1);  // the append did not fail
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no failure, 2: wrong text, 4: wrong exception";
    EXPECT_EQ(ReadFile(box), before);
}

TEST(StripMsg, TopAndBottom) {
    const struct {
        Lines in, top, bottom;
    } cases[] = {
        {{"", " ", "From a", "", "body", "", "."},
         {"From a", "", "body", "", "."},
         {"", " ", "From a", "", "body"}},
        {{"", ""}, {""}, {}},  // the last remaining line stays at the top
        {{"x", ".", "y", ".."}, {"x", ".", "y", ".."}, {"x", ".", "y", ".."}},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        Lines top = c.in, bottom = c.in;
        StripMsgTop(top);
        StripMsgBottom(bottom);
        EXPECT_EQ(top, c.top);
        EXPECT_EQ(bottom, c.bottom);
    }
}

TEST(ExtractHeaders, MovesLinesUpToTheHeaderEnd) {
    Lines headers = {"old"};
    Lines lines = {"From a", "Subject: x", "  ", "body", ""};
    ExtractHeaders(headers, lines);
    EXPECT_EQ(headers, (Lines{"From a", "Subject: x"}));
    EXPECT_EQ(lines, (Lines{"  ", "body", ""}));

    Lines onlyHeaders = {"Subject: y"};
    ExtractHeaders(headers, onlyHeaders);
    EXPECT_EQ(headers, (Lines{"Subject: y"}));
    EXPECT_TRUE(onlyHeaders.empty());
}

TEST(HeaderValue, SkipsNameAndOneCharacter) {
    const struct {
        const char* why;
        Lines lines;
        std::string value;
    } cases[] = {
        {"plain", {"From a", "Subject: Hello there  "}, "Hello there"},
        {"name without regard to case", {"SUBJECT: Hi"}, "Hi"},
        {"no blank after the colon loses a character", {"Subject:Hello"}, "ello"},
        {"the last matching line wins", {"Subject: one", "Subject: two"}, "two"},
        {"name alone", {"Subject:"}, ""},
        {"no match", {"Subjects are many", "X-Subject: no"}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(HeaderValue("Subject:", c.lines), c.value) << c.why;

    EXPECT_EQ(SingleHeaderValue("Status:", "Status: RQ "), "RQ");
    EXPECT_EQ(SingleHeaderValue("Status:", "status: RQ"), "");  // with regard to case
    EXPECT_EQ(SingleHeaderValue("Status:", "Status:U"), "");
}

TEST(ChangeSingleHeader, ReplacesOrInsertsAtTheHeaderEnd) {
    const struct {
        const char* why;
        Lines in, out;
    } cases[] = {
        {"replaces every match, leaves the body alone",
         {"", "Status: RQ", "To: x", "Status: D", "", "Status: body"},
         {"", "Status: U", "To: x", "Status: U", "", "Status: body"}},
        {"inserts before the header end line",
         {"To: x", "Subject: y", " ", "body"},
         {"To: x", "Subject: y", "Status: U", " ", "body"}},
        {"matches with regard to case", {"status: R", ""}, {"status: R", "Status: U", ""}},
        {"no header end line: the last line is a header too",
         {"To: x", "Status: R"},
         {"To: x", "Status: U"}},
        {"empty list", {}, {"Status: U"}},
    };
    for (const auto& c : cases) {
        Lines lines = c.in;
        ChangeSingleHeader("Status:", "U", lines);
        EXPECT_EQ(lines, c.out) << c.why;
    }
}

TEST(ChangeHeader, ChangesOneMessageOfAMailbox) {
    const Lines box = {"stray",  "From a",     "Status: U", "Subject: s", "",           "Status: U",
                       "From b", "Status: RQ", "",          "From c",     "Subject: c", "To: t",
                       "",       "From d",     "",          "body"};
    const struct {
        const char* why;
        int number;
        const char* name;
        bool status;
        const char* value;
        std::string old;
        std::size_t line;  // the line that must read `changed` afterwards
        std::string changed;
    } cases[] = {
        {"status R on U gives R", 1, "Status:", true, "R", "U", 2, "Status: R"},
        {"status D on RQ gives RQD", 2, "Status:", true, "D", "RQ", 7, "Status: RQD"},
        {"status U drops R", 2, "Status:", true, "U", "RQ", 7, "Status: QU"},
        {"name without regard to case", 1, "STATUS:", false, "D", "U", 2, "STATUS: D"},
        {"replace", 3, "Subject:", false, "new", "c", 10, "Subject: new"},
        {"missing: before the last header line", 3, "Status:", true, "D", "", 11, "Status: D"},
        {"no header lines: right after the separator", 4, "Status:", false, "D", "", 14,
         "Status: D"},
    };
    for (const auto& c : cases) {
        Lines lines = box;
        EXPECT_EQ(ChangeHeader(c.number, c.name, c.status, c.value, lines), c.old) << c.why;
        ASSERT_LT(c.line, lines.size()) << c.why;
        EXPECT_EQ(lines[c.line], c.changed) << c.why;
        // Only that line changed or was added; the body line "Status: U" of message 1 and
        // every other message stay as they were.
        Lines rest = lines;
        if (rest.size() == box.size())
            rest[c.line] = box[c.line];
        else
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(c.line));
        EXPECT_EQ(rest, box) << c.why;
    }
}

TEST(ChangeHeader, ReadsWithoutChangingAndIgnoresMissingMessages) {
    Lines lines = {"From a", "Status: RU  ", "", "From b", ""};
    const Lines before = lines;
    EXPECT_EQ(ChangeHeader(1, "Status:", true, "", lines), "RU");
    EXPECT_EQ(ChangeHeader(3, "Status:", true, "D", lines), "");
    EXPECT_EQ(ChangeHeader(0, "Status:", false, "D", lines), "");
    EXPECT_EQ(lines, before);
}

TEST(TrimSpecial, QuotesAndTrailingSeparators) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"\"John Doe\" <jd@example.com>", "John Doe <jd@example.com>"},
        {"a@example.com;", "a@example.com"},
        {"a@example.com,", "a@example.com"},
        {"a; b;", "a; b;"},          // the trailing semicolon is not the first one
        {"a, b;", "a, b"},           // the first semicolon is the last character
        {"\"quoted\"", "quoted\""},  // a quote in the last position stays
        {"\"", ""},
        {"plain \"inner\"", "plain \"inner\""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TrimSpecial(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kivo
