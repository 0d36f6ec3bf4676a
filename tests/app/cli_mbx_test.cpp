// kivo mbx count / extract run as real processes on real files.

#include <gtest/gtest.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::RunKivo;
using test::TempDir;
using test::WriteFile;

constexpr std::string_view kMailbox =
    "stray line before the first message\r\n"
    "From a@example.com 01/02/2024 10:00:00\r\n"
    "Subject: one\r\n"
    "\r\n"
    ">From the body\r\n"
    "From b@example.com\r\n"
    "Subject: two\r\n"
    "\r\n"
    "last line without a line end";

TEST(CliMbx, CountsAndExtractsMessages) {
    TempDir dir;
    WriteFile(dir / "in.mbx", kMailbox);
    const std::string box = (dir / "in.mbx").string();

    test::ProcessResult count = RunKivo({"mbx", "count", box});
    EXPECT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "2\n");

    const struct {
        const char* number;
        std::string text;
    } cases[] = {
        {"1", "From a@example.com 01/02/2024 10:00:00\r\nSubject: one\r\n\r\n>From the body\r\n"},
        {"2", "From b@example.com\r\nSubject: two\r\n\r\nlast line without a line end\r\n"},
    };
    for (const auto& c : cases) {
        test::ProcessResult extract = RunKivo({"mbx", "extract", box, c.number});
        EXPECT_EQ(extract.status, 0) << extract.err;
        EXPECT_EQ(extract.out, c.text);
        EXPECT_EQ(extract.err, "");
    }
}

TEST(CliMbx, FailsWithOneLineOnStandardError) {
    TempDir dir;
    WriteFile(dir / "in.mbx", kMailbox);
    const std::string box = (dir / "in.mbx").string();
    const std::string missing = (dir / "none.mbx").string();
    const struct {
        std::vector<std::string> args;
        const char* mentions;
    } cases[] = {
        {{"mbx", "count", missing}, "none.mbx"},
        {{"mbx", "count", dir.path().string()}, "directory"},
        {{"mbx", "extract", missing, "1"}, "none.mbx"},
        {{"mbx", "extract", box, "3"}, "3"},
        {{"mbx", "extract", box, "0"}, "0"},
        {{"mbx", "extract", box, "-1"}, "-1"},
        {{"mbx", "extract", box, "two"}, "two"},
        {{"mbx", "extract", box, "1x"}, "1x"},
        {{"mbx", "extract", box, "99999999999"}, "99999999999"},
    };
    for (const auto& c : cases) {
        const std::string line = c.args.back();
        test::ProcessResult r = RunKivo(c.args);
        EXPECT_NE(r.status, 0) << line;
        EXPECT_EQ(r.out, "") << line;
        ASSERT_FALSE(r.err.empty()) << line;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace kivo
