// The command-line habits every command shares, as a user types them: help for each
// command, --opt=value, message-number ranges, -q and -v, the program folder's choice.

#include <gtest/gtest.h>

#include <algorithm>

#include "base/bytes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

std::string Msgs(int count) {
    std::string text;
    for (int k = 1; k <= count; ++k) {
        text += "From sender@example.com 01/02/2024 10:00:00\r\nSubject: m" + std::to_string(k) +
                "\r\nStatus: U\r\n\r\nbody of m" + std::to_string(k) + "\r\n";
    }
    return text;
}

// A program folder whose mailbox X holds m1 to m9 and whose mailbox Y is empty.
struct Home {
    test::TempDir dir;
    Home() {
        EXPECT_EQ(Kivo({"init"}).status, 0);
        test::WriteFile(dir / "Mail" / "X.mbx", Msgs(9));
        test::WriteFile(dir / "Mail" / "Y.mbx", "");
    }
    test::ProcessResult Kivo(std::vector<std::string> args, std::string_view input = {}) const {
        args.insert(args.begin(), "--home=" + dir.path().string());
        return test::RunKivo(args, input);
    }
    // The subjects `ls` lists, joined by blanks.
    std::string Subjects(const std::string& mailbox) const {
        std::string subjects;
        for (const std::string& line : SplitLines(Kivo({"ls", mailbox}).out)) {
            const std::vector<std::string> fields = SplitWords(line, "\t");
            if (!subjects.empty()) subjects += ' ';
            subjects += fields.size() > 5 ? fields[5] : "?";
        }
        return subjects;
    }
};

TEST(CliHabits, InvocationsAndWhatTheyGive) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* out;  // part of standard output ("" for none expected)
        const char* err;  // part of the error stream
        const char* x;    // the subjects of X afterwards, or null
        const char* y;    // the subjects of Y afterwards, or null
    } cases[] = {
        // clang-format off
        {{"help", "ls"}, 0, "Usage: kivo ls MAILBOX", "", nullptr, nullptr},
        {{"ls", "--help"}, 0, "--sort COLUMN", "", nullptr, nullptr},
        {{"ls", "-h"}, 0, "--hide-rest", "", nullptr, nullptr},
        {{"help", "account", "set"}, 0, "SMTPSecurity", "", nullptr, nullptr},
        {{"account", "add", "--help"}, 0, "--password-stdin", "", nullptr, nullptr},
        {{"help", "mailbox"}, 0, "mailbox rename PATH NEWNAME", "", nullptr, nullptr},
        {{"help", "frobnicate"}, 2, "", "no command 'frobnicate'", nullptr, nullptr},
        {{"mailbox"}, 2, "", "mailbox tree", nullptr, nullptr},
        {{"ls", "X", "--frob"}, 2, "", "unknown option '--frob'", nullptr, nullptr},
        {{"ls", "X", "--desc=1"}, 2, "", "--desc takes no value", nullptr, nullptr},
        {{"ls", "X", "--sort"}, 2, "", "--sort needs a value", nullptr, nullptr},
        {{"ls", "X", "--sort=size", "--desc", "--sort=subject"}, 0, "9\t", "", nullptr, nullptr},
        {{"ls", "--show=subject", "m3", "X", "--hide-rest"}, 0, "3\t", "", nullptr, nullptr},
        {{"ls", "--show", "unread", "X"}, 0, "9\t", "", nullptr, nullptr},
        {{"copy", "X", "2-4,7", "--to=Y"}, 0, "", "", "m1 m2 m3 m4 m5 m6 m7 m8 m9",
         "m2 m3 m4 m7"},
        {{"move", "X", "1,9", "3-3", "--to", "Y"}, 0, "", "", "m2 m4 m5 m6 m7 m8", "m1 m3 m9"},
        {{"delete", "X", "5-99"}, 0, "", "", "m1 m2 m3 m4", nullptr},
        {{"delete", "X", "4-2"}, 2, "", "not a message number: 4-2", "m1 m2 m3 m4 m5 m6 m7 m8 m9",
         nullptr},
        {{"delete", "X", "1,,2"}, 2, "", "not a message number", nullptr, nullptr},
        {{"delete", "X", "2,20"}, 1, "", "no message 20 in X", "m1 m2 m3 m4 m5 m6 m7 m8 m9",
         nullptr},
        {{"delete", "X", "20-30"}, 1, "", "no such messages in X", nullptr, nullptr},
        {{"show", "X", "2-3"}, 2, "", "takes one message number", nullptr, nullptr},
        {{"show", "X", "4"}, 0, "body of m4", "", nullptr, nullptr},
        {{"-v", "ls", "Y"}, 0, "", "program folder ", nullptr, nullptr},
        {{"ls", "Y", "--verbose"}, 0, "", "(--home)", nullptr, nullptr},
        {{"mbx", "count", "-v", "/dev/null"}, 0, "0\n", "", nullptr, nullptr},
        {{"find", "--into=Found", "--", "--odd"}, 0, "Found\t0", "", nullptr, nullptr},
        {{"find", "-odd", "--into", "Found"}, 0, "Found\t0", "", nullptr, nullptr},
        {{"mailbox", "new", "Z", "--in="}, 0, "Z", "", nullptr, nullptr},
        {{"addressbook", "add", "Jo", "--email=jo@example.com", "--nick=jj"}, 0, "", "", nullptr,
         nullptr},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string line = [&] {
            std::string text;
            for (const std::string& a : c.args) text += a + " ";
            return text;
        }();
        Home home;
        const test::ProcessResult r = home.Kivo(c.args);
        EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << line << "\n" << r.out;
        if (!*c.out && c.status != 0) {
            EXPECT_EQ(r.out, "") << line;
        }
        EXPECT_NE(r.err.find(c.err), std::string::npos) << line << "\n" << r.err;
        if (!*c.err && c.status == 0) {
            EXPECT_EQ(r.err, "") << line;
        }
        if (c.x) {
            EXPECT_EQ(home.Subjects("X"), c.x) << line;
        }
        if (c.y) {
            EXPECT_EQ(home.Subjects("Y"), c.y) << line;
        }
    }
}

// The names of the commands `kivo --help` lists ("ls", "account add", ...).
std::vector<std::string> ListedCommands() {
    const test::ProcessResult overview = test::RunKivo({"--help"});
    EXPECT_EQ(overview.status, 0);
    std::vector<std::string> names;
    bool inCommands = false;
    for (const std::string& row : SplitLines(overview.out)) {
        if (row == "Commands:") inCommands = true;
        if (!inCommands || !row.starts_with("  ") || row[2] == ' ') continue;
        // The name is the synopsis's words before its first upper-case word or bracket; the
        // synopsis ends at two blanks.
        std::string name;
        for (const std::string& w : SplitWords(row.substr(2, row.find("  ", 2) - 2))) {
            if (!(w[0] >= 'a' && w[0] <= 'z')) break;
            name += (name.empty() ? "" : " ") + w;
        }
        names.push_back(name);
    }
    return names;
}

// Every command answers --help with its own usage line, and kivo help CMD says the same.
TEST(CliHabits, EveryCommandHasItsHelp) {
    const std::vector<std::string> names = ListedCommands();
    EXPECT_GT(names.size(), 40u);
    for (const std::string& name : names) {
        std::vector<std::string> asked = SplitWords(name);
        asked.push_back("--help");
        const test::ProcessResult own = test::RunKivo(asked);
        EXPECT_EQ(own.status, 0) << name;
        EXPECT_TRUE(own.out.starts_with("Usage: kivo " + name)) << own.out;
        std::vector<std::string> help = SplitWords(name);
        help.insert(help.begin(), "help");
        EXPECT_EQ(test::RunKivo(help).out, own.out) << name;
    }
}

// The README's table of commands names every command and no other.
TEST(CliHabits, TheReadmeTableListsEveryCommand) {
    std::vector<std::string> inReadme;
    for (const std::string& row :
         SplitLines(test::ReadFile(fs::path(KIVO_SOURCE_DIR) / "README.md"))) {
        if (!row.starts_with("| `kivo ")) continue;
        std::string name;
        for (const std::string& w : SplitWords(row.substr(8, row.find('`', 8) - 8))) {
            if (!(w[0] >= 'a' && w[0] <= 'z')) break;
            name += (name.empty() ? "" : " ") + w;
        }
        if (name != "help") inReadme.push_back(name);
    }
    std::vector<std::string> listed = ListedCommands();
    std::sort(listed.begin(), listed.end());
    std::sort(inReadme.begin(), inReadme.end());
    EXPECT_EQ(inReadme, listed);
}

}  // namespace
}  // namespace kivo
