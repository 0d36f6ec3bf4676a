// The mailbox commands (ls, show, delete, move, copy, compress, empty-trash, mailbox, find)
// run as real processes on a program folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/bytes.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::ReadFile;
using test::StoredMsg;
using test::TempDir;
using test::WriteFile;

struct Home {
    TempDir dir;
    Home() {
        fs::create_directories(dir / "Mail" / "Work");
        WriteFile(dir / "Mail" / "in.mbx",
                  StoredMsg("From: Ann <ann@example.com>\r\nSubject: Zebra\r\nStatus: U\r\n"
                            "To: me@example.com\r\nDate: Mon, 5 Jul 1999 12:34:56 +0100\r\n") +
                      StoredMsg("From: Bob <bob@work.org>\r\nSubject: apple\r\nStatus: R\r\n"
                                "Date: 6 Jul 1999 08:00:00 +0100\r\nX-Priority: 1\r\n",
                                "Attachment Converted: \"/tmp/x\"\r\n") +
                      StoredMsg("From: Cy <cy@work.org>\r\nSubject: mango zanzibar\r\n"
                                "Date: 4 Jul 1999 08:00:00 +0100\r\n"));
        WriteFile(dir / "Mail" / "Work" / "Alpha.mbx",
                  StoredMsg("Subject: alpha zanzibar\r\nStatus: U\r\n"));
    }
    ProcessResult Kivo(std::vector<std::string> args) const {
        return test::RunKivoIn(dir.path(), std::move(args));
    }
    std::string Out(std::vector<std::string> args) const {
        ProcessResult r = Kivo(std::move(args));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    fs::path Mail(std::string_view name) const { return dir.path() / "Mail" / name; }
};

// The Number column of ls.
std::vector<std::string> Numbers(const std::string& ls) {
    std::vector<std::string> numbers;
    for (const std::string& line : SplitLines(ls))
        numbers.push_back(line.substr(0, line.find('\t')));
    return numbers;
}

TEST(CliStore, TextBeforeTheFirstMessageSurvivesCompressionAndAGarbageIndex) {
    Home home;
    const std::string preamble = std::string(100000, 'p') + "\r\nnotes of my own\r\n";
    const std::string messages = ReadFile(home.Mail("in.mbx"));
    WriteFile(home.Mail("in.mbx"), preamble + messages);
    WriteFile(home.Mail("in.idx"), "garbage\r\n1,2,3\r\n");
    EXPECT_EQ(Numbers(home.Out({"ls", "in"})), (std::vector<std::string>{"1", "2", "3"}));
    home.Out({"delete", "in", "2"});
    home.Out({"compress", "in"});
    const std::string now = ReadFile(home.Mail("in.mbx"));
    EXPECT_TRUE(now.starts_with(preamble));
    EXPECT_EQ(Numbers(home.Out({"ls", "in"})), (std::vector<std::string>{"1", "2"}));
}

TEST(CliStore, RepairSaysWhatItFoundAndSetRight) {
    Home home;
    const std::string messages = ReadFile(home.Mail("in.mbx"));
    // What a killed append and a killed compression leave behind.
    WriteFile(home.Mail("in.mbx"), messages + "From x\r\nSubject: half");
    struct stat st {};
    ASSERT_EQ(stat(home.Mail("in.mbx").c_str(), &st), 0);
    WriteFile(home.Mail("in.mbx.append"),
              std::to_string(messages.size()) + " " + std::to_string(st.st_ino) + "\n");
    WriteFile(home.Mail("in.tmp"), "From half a compression");
    WriteFile(home.Mail("in.d"), "2\r\n9\r\n");
    const ProcessResult r = home.Kivo({"repair", "in"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "In: cut an unfinished message of 21 bytes from the end\n"
              "In: removed in.tmp, left behind by an interrupted program\n"
              "In: dropped 1 number from the deleted list that names no message\n"
              "In: index built again: 3 messages, 1 of them deleted\n");
    EXPECT_EQ(ReadFile(home.Mail("in.mbx")), messages);
    EXPECT_FALSE(fs::exists(home.Mail("in.tmp")));
    EXPECT_EQ(Numbers(home.Out({"ls", "in"})), (std::vector<std::string>{"1", "3"}));
    // ls compressed the mailbox as it closed it.
    EXPECT_EQ(home.Out({"repair", "in"}),
              "In: nothing was wrong\nIn: index built again: 2 messages, 0 of them deleted\n");
}

TEST(CliStore, LsPrintsTheIndexSortedAndFiltered) {
    Home home;
    EXPECT_EQ(home.Out({"ls", "in"}),
              "1\t0\t1\t0\t05/07/1999 12:34:56\tAnn <ann@example.com>\tZebra\t1\t"
              "me@example.com\tNormal\n"
              "2\t3\t0\t1\t06/07/1999 08:00:00\tBob <bob@work.org>\tapple\t1\t\tHighest\n"
              "3\t2\t0\t0\t04/07/1999 08:00:00\tCy <cy@work.org>\tmango zanzibar\t1\t\tNormal\n");
    EXPECT_TRUE(fs::exists(home.Mail("in.idx")));
    EXPECT_EQ(Numbers(home.Out({"ls", "In", "--sort", "subject"})),
              (std::vector<std::string>{"2", "3", "1"}));
    EXPECT_EQ(Numbers(home.Out({"ls", "In", "--sort", "date", "--desc"})),
              (std::vector<std::string>{"2", "1", "3"}));
    // The index keeps the order of the last sort.
    EXPECT_EQ(Numbers(home.Out({"ls", "In"})), (std::vector<std::string>{"2", "1", "3"}));

    const std::string filtered =
        home.Out({"ls", "In", "--show", "from", "WORK.org", "--hide-rest"});
    EXPECT_EQ(Numbers(filtered), (std::vector<std::string>{"2", "3"}));
    EXPECT_NE(filtered.find("\tNormal\t*\n"), std::string::npos);
    EXPECT_EQ(Numbers(home.Out({"ls", "In", "--show", "with-attached"})).size(), 3u);

    const struct {
        std::vector<std::string> args;
        int status;
    } bad[] = {
        {{"ls", "Nowhere"}, 1},
        {{"ls"}, 2},
        {{"ls", "In", "--sort", "colour"}, 2},
        {{"ls", "In", "--show", "sometimes"}, 2},
        {{"show", "In", "9"}, 1},
        {{"show", "In", "x"}, 2},
        {{"delete", "In"}, 2},
        {{"move", "In", "1"}, 2},
        {{"copy", "In", "1", "--to", "Nowhere"}, 1},
    };
    for (const auto& b : bad) {
        ProcessResult r = home.Kivo(b.args);
        EXPECT_EQ(r.status, b.status) << b.args[0] << " " << r.err;
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(CliStore, ShowDeleteMoveCopyAndCompress) {
    Home home;
    EXPECT_EQ(home.Out({"show", "In", "1"}),
              "From: Ann <ann@example.com>\n"
              "Subject: Zebra\nStatus: U\nTo: me@example.com\n"
              "Date: Mon, 5 Jul 1999 12:34:56 +0100\n\nbody\n");
    EXPECT_TRUE(home.Out({"ls", "In"}).starts_with("1\t2\t0\t"));  // read now

    // One of three deleted is more than a tenth: closing the mailbox compresses it.
    home.Out({"delete", "In", "2"});
    EXPECT_FALSE(fs::exists(home.Mail("in.d")));
    EXPECT_EQ(Numbers(home.Out({"ls", "Trash"})), std::vector<std::string>{"1"});
    const std::string in = ReadFile(home.Mail("in.mbx"));
    EXPECT_EQ(in.find("apple"), std::string::npos);
    EXPECT_NE(in.find("Subject: Zebra\r\nStatus: R\r\n"), std::string::npos);
    EXPECT_EQ(Numbers(home.Out({"ls", "In"})), (std::vector<std::string>{"1", "2"}));

    home.Out({"copy", "In", "1", "--to", "Work/Alpha"});
    home.Out({"move", "In", "2", "--to", "work\\alpha"});
    EXPECT_EQ(Numbers(home.Out({"ls", "Work/Alpha"})), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Numbers(home.Out({"ls", "In"})), std::vector<std::string>{"1"});

    home.Out({"compress", "In"});
    EXPECT_FALSE(fs::exists(home.Mail("in.d")));
    EXPECT_EQ(test::ReadFile(home.Mail("in.mbx")).find("mango"), std::string::npos);

    home.Out({"empty-trash"});
    EXPECT_EQ(fs::file_size(home.Mail("trash.mbx")), 0u);
}

TEST(CliStore, MailboxTreeCommandsAndTheirRefusals) {
    Home home;
    EXPECT_EQ(home.Out({"mailbox", "new", "Box", "--in", "Work"}), "Work/Box\n");
    EXPECT_EQ(home.Out({"mailbox", "mkdir", "Old"}), "Old\n");
    EXPECT_EQ(home.Out({"mailbox", "tree"}), "In\nOut\nSent\nOld\nWork\n\tAlpha\n\tBox\nTrash\n");

    ProcessResult r = home.Kivo({"mailbox", "rename", "In", "Inbox"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot rename system mailbox!\n");
    r = home.Kivo({"mailbox", "rename", "Work/Box", "Alpha"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Work/Alpha 1\n");
    EXPECT_EQ(r.err, "Name already exists!\n");

    r = home.Kivo({"mailbox", "delete", "Work/Alpha"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Mailbox \"Alpha\" is not empty!"), std::string::npos);
    EXPECT_TRUE(fs::exists(home.Mail("Work/Alpha.mbx")));
    r = home.Kivo({"mailbox", "delete", "Trash"});
    EXPECT_EQ(r.err, "Cannot delete system mailbox!\n");

    r = home.Kivo({"mailbox", "move", "Work/Alpha", "--onto", "Old"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(home.Mail("Old/Alpha.mbx")));
    r = home.Kivo({"mailbox", "move", "In", "--onto", "Old"});
    EXPECT_EQ(r.err, "Cannot move system mailbox!\n");

    home.Out({"mailbox", "delete", "Old", "--yes"});
    EXPECT_FALSE(fs::exists(home.Mail("Old")));
}

// A folder holding messages: without --yes nothing at all is deleted; with it its messages
// go to the Trash, or for good with --no-trash.
TEST(CliStore, DeletingAFolderIsAllOrNothingAndItsMessagesGoToTheTrash) {
    Home home;
    home.Out({"mailbox", "new", "Box", "--in", "Work"});  // empty, deleted without a question
    ProcessResult r = home.Kivo({"mailbox", "delete", "Work"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Work was not deleted (--yes deletes it)"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(home.Mail("Work/Box.mbx")));
    EXPECT_TRUE(fs::exists(home.Mail("Work/Alpha.mbx")));
    EXPECT_EQ(home.Out({"mailbox", "tree"}), "In\nOut\nSent\nWork\n\tAlpha\n\tBox\nTrash\n");

    home.Out({"mailbox", "delete", "Work", "--yes"});
    EXPECT_FALSE(fs::exists(home.Mail("Work")));
    std::string trash = home.Out({"ls", "Trash"});
    EXPECT_EQ(Numbers(trash), std::vector<std::string>{"1"});
    EXPECT_NE(trash.find("alpha zanzibar"), std::string::npos) << trash;

    home.Out({"mailbox", "new", "Kept"});
    home.Out({"copy", "In", "1", "--to", "Kept"});
    home.Out({"mailbox", "delete", "Kept", "--yes", "--no-trash"});
    EXPECT_FALSE(fs::exists(home.Mail("Kept.mbx")));
    EXPECT_EQ(Numbers(home.Out({"ls", "Trash"})), std::vector<std::string>{"1"});
}

TEST(CliStore, FindCopiesTheMatchesIntoAResultsMailbox) {
    Home home;
    EXPECT_EQ(home.Out({"find", "ZANZIBAR"}), "Found\t2\n");
    EXPECT_EQ(home.Out({"find", "zanzibar", "--exclude", "mango"}), "Found 1\t1\n");
    EXPECT_EQ(home.Out({"find", "ZANZIBAR", "--match-case"}), "Found 2\t0\n");
    EXPECT_EQ(home.Out({"find", "zanzibar", "--current-folder", "Work/Alpha", "--into", "W"}),
              "W\t1\n");
    EXPECT_NE(ReadFile(home.Mail("W.mbx")).find("X-Found: Work/Alpha\r\n"), std::string::npos);
    EXPECT_EQ(home.Kivo({"find", " "}).status, 2);
}

}  // namespace
}  // namespace kivo
