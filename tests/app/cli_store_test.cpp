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

// The Subject column of ls.
std::vector<std::string> Subjects(const std::string& ls) {
    std::vector<std::string> subjects;
    for (const std::string& line : SplitLines(ls)) {
        std::size_t at = 0;
        for (int field = 0; field < 6; ++field) at = line.find('\t', at) + 1;
        subjects.push_back(line.substr(at, line.find('\t', at) - at));
    }
    return subjects;
}

// `count` messages with subjects m1..mN.
std::string Numbered(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += StoredMsg("Subject: m" + std::to_string(i) + "\r\nStatus: U\r\n");
    }
    return text;
}

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
    // ls leaves the numbering as it is: only commands that change a mailbox compress it.
    EXPECT_EQ(home.Out({"repair", "in"}),
              "In: nothing was wrong\nIn: index built again: 3 messages, 1 of them deleted\n");
}

TEST(CliStore, RepairFindsMessagesInTwoPlacesAndAStaleDeletedList) {
    Home home;
    const std::string messages = ReadFile(home.Mail("in.mbx"));
    // An older version killed between the copy to the Trash and the mark: the first two
    // messages are in both (the Trash's copies with the status lines compression changed).
    std::string copies = messages.substr(0, messages.find("From ", 1));
    copies += messages.substr(copies.size(), messages.find("From ", copies.size() + 1) - copies.size());
    WriteFile(home.Mail("trash.mbx"), copies);
    WriteFile(home.Mail("Work/Beta.mbx"), messages.substr(messages.rfind("From ")));
    EXPECT_EQ(home.Out({"repair", "in"}),
              "In: 1 message is in Work/Beta too (kept in both)\n"
              "In: 2 messages are in Trash too (kivo repair --yes marks them deleted here)\n"
              "In: index built again: 3 messages, 0 of them deleted\n");
    EXPECT_EQ(home.Out({"repair", "in", "--yes"}),
              "In: 1 message is in Work/Beta too (kept in both)\n"
              "In: 2 messages are in Trash too (marked deleted here, as the delete meant)\n"
              "In: index built again: 3 messages, 2 of them deleted\n");
    EXPECT_EQ(Numbers(home.Out({"ls", "in"})), (std::vector<std::string>{"3"}));

    // A deleted list written for a file since replaced by one of the same name is removed,
    // not applied to the new file's messages.
    WriteFile(home.Mail("Work/Alpha.mbx"), test::NumberedMailbox(20));
    home.Out({"delete", "Work/Alpha", "1"});
    ASSERT_TRUE(fs::exists(home.Mail("Work/Alpha.d")));
    fs::remove(home.Mail("Work/Alpha.mbx"));
    WriteFile(home.Mail("Work/Alpha.mbx"), StoredMsg("Subject: new alpha\r\n"));
    EXPECT_EQ(home.Out({"repair", "Work/Alpha"}),
              "Work/Alpha: removed a deleted list that belonged to an earlier file of this name; "
              "its numbers named other messages\n"
              "Work/Alpha: index built again: 1 messages, 0 of them deleted\n");
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
    // Nothing made: said so, status 1, and no node under another name left behind.
    test::WriteFile(home.Mail("Plain"), "");
    for (const auto& [args, err] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"mailbox", "mkdir", "Old"}, "Old already exists\n"},
             {{"mailbox", "new", "Box", "--in", "Work"}, "Work/Box already exists\n"},
             {{"mailbox", "mkdir", "Plain"}, "Plain already exists\n"}}) {
        const ProcessResult made = home.Kivo(args);
        EXPECT_EQ(made.status, 1) << args[2];
        EXPECT_EQ(made.out, "") << args[2];
        EXPECT_EQ(made.err, err);
    }
    EXPECT_EQ(home.Out({"mailbox", "tree"}), "In\nOut\nSent\nOld\nWork\n\tAlpha\n\tBox\nTrash\n");
    fs::remove(home.Mail("Plain"));

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

    // A results mailbox that found nothing holds only its mark: it goes without a question.
    // One that holds a match still asks.
    EXPECT_EQ(ReadFile(home.Mail("Found 2.mbx")), "SYSTEM:FIND\r\n");
    EXPECT_EQ(home.Out({"mailbox", "delete", "Found 2"}), "");
    EXPECT_FALSE(fs::exists(home.Mail("Found 2.mbx")));
    const ProcessResult r = home.Kivo({"mailbox", "delete", "W"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Mailbox \"W\" is not empty!"), std::string::npos) << r.err;
}

// Listing, Find and compression agree on which messages are deleted: a message ls shows is
// found and survives compression, whatever letters another program left in its header.
TEST(CliStore, OneRuleForDeletedWhereverAMailboxIsRead) {
    Home home;
    const struct {
        const char* status;
        bool deleted;
    } cases[] = {
        {"Status: RO", false},   {"Status: Read", false}, {"Status: Old", false},
        {"Status: d", false},    {"X-Status: D", false},  {"Status: RD", true},
        {"Status: U\r\nStatus: D", true},  // any of its "Status:" lines
    };
    std::string box;
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string subject = "c" + std::to_string(i);
        box += StoredMsg("Subject: " + subject + "\r\n" + cases[i].status + "\r\n",
                         "quokka\r\n");
        if (!cases[i].deleted) kept.push_back(subject);
    }
    WriteFile(home.Mail("B.mbx"), box);
    EXPECT_EQ(Subjects(home.Out({"ls", "B"})), kept);
    EXPECT_EQ(home.Out({"find", "quokka", "--into", "F"}),
              "F\t" + std::to_string(kept.size()) + "\n");
    home.Out({"compress", "B"});
    EXPECT_EQ(Subjects(home.Out({"ls", "B"})), kept);
    const std::string after = ReadFile(home.Mail("B.mbx"));
    for (const std::string& subject : kept) {
        EXPECT_NE(after.find("Subject: " + subject + "\r\n"), std::string::npos) << subject;
    }
}

// ls, show and find never renumber a mailbox, not even one whose compression is due or whose
// index is gone: the numbers they print are the ones the next command acts on. A command that
// changes the mailbox compresses it after it acted.
TEST(CliStore, NumbersPrintedAreTheNumbersActedOn) {
    Home home;
    WriteFile(home.Mail("B.mbx"), Numbered(10));
    WriteFile(home.Mail("B.d"), "1\r\n2\r\n3\r\n");  // more than a tenth: compression is due
    const std::string before = ReadFile(home.Mail("B.mbx"));
    const std::vector<std::string> listed = {"4", "5", "6", "7", "8", "9", "10"};
    EXPECT_EQ(Numbers(home.Out({"ls", "B"})), listed);
    fs::remove(home.Mail("B.idx"));
    EXPECT_EQ(Numbers(home.Out({"ls", "B"})), listed);
    EXPECT_NE(home.Out({"show", "B", "7"}).find("Subject: m7\n"), std::string::npos);
    home.Out({"find", "Subject: m7", "--into", "F"});
    EXPECT_EQ(ReadFile(home.Mail("B.mbx")), before);
    EXPECT_EQ(ReadFile(home.Mail("B.d")), "1\r\n2\r\n3\r\n");

    home.Out({"delete", "B", "7"});
    EXPECT_EQ(Subjects(home.Out({"ls", "Trash"})), std::vector<std::string>{"m7"});
    EXPECT_FALSE(fs::exists(home.Mail("B.d")));  // compressed as it was closed
    EXPECT_EQ(Subjects(home.Out({"ls", "B"})),
              (std::vector<std::string>{"m4", "m5", "m6", "m8", "m9", "m10"}));
}

// Damaged files are errors or are rebuilt, never trusted: an index cut short or full of
// impossible numbers lists every message, a number no message has is refused and never
// reaches the deleted list, and a mailbox file that cannot be read is named.
TEST(CliStore, DamagedFilesAreRebuiltOrRefusedNeverTrusted) {
    Home home;
    WriteFile(home.Mail("B.mbx"), Numbered(200));
    ASSERT_EQ(Numbers(home.Out({"ls", "B"})).size(), 200u);
    const std::vector<std::string> idx = SplitLines(ReadFile(home.Mail("B.idx")));
    std::string cut;
    for (std::size_t i = 0; i <= 101; ++i) cut += idx[i] + "\r\n";
    WriteFile(home.Mail("B.idx"), cut);
    EXPECT_EQ(Numbers(home.Out({"ls", "B"})).size(), 200u);
    EXPECT_NE(home.Out({"show", "B", "150"}).find("Subject: m150\n"), std::string::npos);

    std::string nonsense = idx[0] + "\r\n";
    for (int i = 0; i < 28; ++i) nonsense += "what,is,this\r\n";
    nonsense += "999999,2,m999999,f,01/02/2024,1,t,Normal,0,0\r\n";
    WriteFile(home.Mail("B.idx"), nonsense);
    const ProcessResult r = home.Kivo({"delete", "B", "999999"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kivo delete: no message 999999 in B\n");
    EXPECT_FALSE(fs::exists(home.Mail("B.d")));
    EXPECT_EQ(Numbers(home.Out({"ls", "B"})).size(), 200u);

    // A mailbox file that is a link to itself.
    fs::remove(home.Mail("B.mbx"));
    fs::create_symlink("B.mbx", home.Mail("B.mbx"));
    const std::string unreadable =
        ": cannot read " + home.Mail("B.mbx").string() + ": Too many levels of symbolic links\n";
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"ls", "B"}, {"show", "B", "1"}, {"delete", "B", "1"}}) {
        const ProcessResult bad = home.Kivo(command);
        EXPECT_EQ(bad.status, 1) << command[0];
        EXPECT_EQ(bad.err, "kivo " + command[0] + unreadable);
    }
    const ProcessResult find = home.Kivo({"find", "m1"});
    EXPECT_EQ(find.status, 1);
    EXPECT_EQ(find.err, "kivo find: Find could not finish, no message was copied to Found" +
                            unreadable);
    EXPECT_FALSE(fs::exists(home.Mail("Found.mbx")));  // the results mailbox it made is gone
}

// repair reports what the messages themselves show: a message cut short (mid-line, its MIME
// parts never closed, a body shorter than its Content-Length) and deleted marks readers could
// disagree on. Only --yes changes the file: it ends a last line cut short.
TEST(CliStore, RepairReportsMessagesCutShortAndDeletedMarks) {
    Home home;
    const std::string box =
        StoredMsg("Subject: parts\r\nContent-Type: multipart/mixed;\r\n\tboundary=\"zz\"\r\n",
                  "--zz\r\n\r\nfirst part\r\n") +
        StoredMsg("Subject: length\r\nContent-Length: 500\r\n", "short\r\n") +
        StoredMsg("Subject: marked\r\nStatus: RD\r\n") +
        StoredMsg("Subject: elsewhere\r\nStatus: Read\r\n") +
        StoredMsg("Subject: whole\r\nContent-Type: multipart/mixed; boundary=q\r\n",
                  "--q\r\n\r\np\r\n--q--\r\n") +
        "From x\r\nSubject: cut\r\n\r\nhalf a li";
    WriteFile(home.Mail("B.mbx"), box);
    const std::string findings =
        "B: message 1 is cut short: the MIME parts never close; kept as they are\n"
        "B: message 2 is cut short: the body is shorter than Content-Length says; kept as they "
        "are\n"
        "B: message 4 is not deleted: a lower-case d in a Status line is another program's "
        "letter (as in Status: Read); kept\n";
    EXPECT_EQ(home.Out({"repair", "B"}),
              "B: message 6 is cut short: the file ends in the middle of its last line (--yes "
              "ends the line, so no later message joins it)\n" +
                  findings +
                  "B: message 3 is marked deleted in a Status line but not on the deleted list; "
                  "now listed there, removed at the next compression\n"
                  "B: index built again: 6 messages, 1 of them deleted\n");
    EXPECT_EQ(ReadFile(home.Mail("B.mbx")), box);
    EXPECT_EQ(Subjects(home.Out({"ls", "B"})),
              (std::vector<std::string>{"parts", "length", "elsewhere", "whole", "cut"}));

    EXPECT_EQ(home.Out({"repair", "B", "--yes"}),
              "B: message 6 is cut short: the file ends in the middle of its last line; the line "
              "was ended, so no later message joins it\n" +
                  findings + "B: index built again: 6 messages, 1 of them deleted\n");
    EXPECT_EQ(ReadFile(home.Mail("B.mbx")), box + "\r\n");
}

}  // namespace
}  // namespace kivo
