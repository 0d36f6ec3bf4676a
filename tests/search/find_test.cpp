#include <gtest/gtest.h>

#include <random>

#include "base/bytes.h"
#include "search/FFind.h"
#include "store/KivoMailboxes.h"
#include "store/indexfile.h"
#include "store/mbxfile.h"
#include "store/populate.h"
#include "store/storefeedback.h"
#include "tests/store/fakes.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::StoredMsg;
using test::TempDir;
using test::WriteFile;

std::string Msg(std::string_view subject, std::string_view body = "body\r\n",
                std::string_view status = "U") {
    return StoredMsg(
        "Subject: " + std::string(subject) + "\r\nStatus: " + std::string(status) + "\r\n", body);
}

struct FindRig {
    TempDir dir;
    test::FakeHost host;
    test::RecordingPlatform platform;
    TFrmMailboxes tree{dir.path(), host, platform, NoFeedback()};
    struct View : TFindView {
        std::vector<std::string> searched;
        int cancelAt = -1;
        bool cancel = false;
        void Searching(std::string_view rel) override { searched.emplace_back(rel); }
        void MessageNumber(int count) override { cancel = cancel || count == cancelAt; }
        bool CancelRequested() override { return cancel; }
    } view;
    TFrmFind find{dir.path(), host, tree, platform, view};

    explicit FindRig(std::string open = "In") {
        host.index.Folder = dir.path();
        host.index.MailboxName = std::move(open);
        tree.Init();
    }
    // Runs Find as the dialog does and returns the results mailbox's messages.
    std::vector<std::string> Run(std::string text) {
        find.Show();
        find.FindText = std::move(text);
        EXPECT_TRUE(find.FindClick());
        std::vector<std::string> found;
        const fs::path results = dir / (find.Destination + ".mbx");
        for (int n = 1; n <= FindLastIndex(results); ++n) {
            std::vector<std::string> lines;
            ExtractMsg(n, results, lines);
            found.push_back(JoinLinesCrLf(lines));
        }
        return found;
    }
};

TEST(Find, CopiesEveryMatchWithItsSourceIntoANewResultsMailbox) {
    FindRig rig;
    WriteFile(rig.dir / "in.mbx", Msg("Zanzibar trip") + Msg("nothing") + Msg("re: ZANZIBAR"));
    fs::create_directory(rig.dir / "Work");
    WriteFile(rig.dir / "Work" / "Alpha.mbx", Msg("other", "see zanzibar\r\n"));
    std::vector<std::string> found = rig.Run("zanzibar");
    EXPECT_EQ(rig.find.Destination, "Found");
    EXPECT_EQ(rig.find.Copied(), 3);
    EXPECT_EQ(rig.find.ResultText(), "3 messages found");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0],
              "From sender@example.com 01/02/2024 10:00:00\r\nSubject: Zanzibar trip\r\n"
              "X-Found: In\r\nStatus: U\r\n\r\nbody\r\n");
    EXPECT_NE(found[2].find("X-Found: Work/Alpha\r\n"), std::string::npos);
    EXPECT_TRUE(ReadFile(rig.dir / "Found.mbx").starts_with("SYSTEM:FIND\r\nFrom "));
    // The main window opened it and the tree shows it.
    EXPECT_EQ(rig.host.index.MailboxName, "Found");
    EXPECT_EQ(rig.host.saves, 1);
    EXPECT_EQ(rig.host.inits, 1);
    EXPECT_NE(rig.tree.FindNode("Found"), nullptr);

    // The next search goes to "Found 1" and skips the earlier results.
    found = rig.Run("zanzibar");
    EXPECT_EQ(rig.find.Destination, "Found 1");
    EXPECT_EQ(found.size(), 3u);
}

TEST(Find, TestsEachLineForTheTextAndNotTheExclusion) {
    struct Case {
        const char* why;
        std::string mailbox;
        const char* find;
        bool ignoreCase;
        const char* exclude;
        int copied;
    } cases[] = {
        {"exclusion first still excludes", Msg("spam", "hello\r\n"), "hello", true, "SPAM", 1 - 1},
        {"case counts when asked", Msg("Hello"), "hello", false, "", 0},
        {"case ignored by default", Msg("Hello"), "hello", true, "", 1},
        {"a blank exclusion is none", Msg("hello"), "hello", true, "  ", 1},
        {"the separator line is searched", Msg("x"), "sender@example", true, "", 1},
        {"no text spans two lines", Msg("hel", "lo\r\n"), "hel\r\nlo", true, "", 0},
        {"the last line without a line end", Msg("x", "ends hello"), "hello", true, "", 1},
    };
    for (const Case& c : cases) {
        FindRig rig;
        WriteFile(rig.dir / "in.mbx", c.mailbox);
        rig.find.Show();
        rig.find.IgnoreCase = c.ignoreCase;
        rig.find.ExcludeText = c.exclude;
        rig.Run(c.find);
        EXPECT_EQ(rig.find.Copied(), c.copied) << c.why;
        EXPECT_EQ(rig.find.ResultText(), c.copied ? "1 message found" : "No message found");
    }
}

TEST(Find, SkipsDeletedMessagesAndTakesTheStatusFromACurrentIndex) {
    FindRig rig;
    WriteFile(rig.dir / "in.mbx", Msg("word one") + Msg("word listed") +
                                      Msg("word marked", "b\r\n", "RD") + Msg("word four") +
                                      Msg("word read elsewhere", "b\r\n", "Read"));
    WriteFile(rig.dir / "in.d", "2\r\n");
    // The index says message 1 was read and replied to; the file still says U.
    TFrmIndex window = test::Rebuilt(rig.dir.path(), "In");
    window.SelectOnly(0);
    window.ToggleUnread(false);
    window.UpdateIndexIcons(0, 'W');
    ASSERT_TRUE(SaveIndex(window));

    std::vector<std::string> found = rig.Run("WORD");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_NE(found[0].find("Subject: word one\r\nX-Found: In\r\nStatus: RW\r\n"),
              std::string::npos);
    EXPECT_NE(found[1].find("word four"), std::string::npos);
    // Another program's "Read" holds a lower-case d: no deletion, listed and found.
    EXPECT_NE(found[2].find("word read elsewhere"), std::string::npos);

    // The replaced line is what is searched: message 1's "Status: U" is now "Status: RW".
    found = rig.Run("Status: U");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0].find("word four"), std::string::npos);
}

TEST(Find, CancellingKeepsAndOpensTheMatchesSoFar) {
    FindRig rig;
    std::string mailbox;
    for (int i = 0; i < 25; ++i) mailbox += Msg("match");
    WriteFile(rig.dir / "in.mbx", mailbox);
    rig.view.cancelAt = 20;
    std::vector<std::string> found = rig.Run("match");
    EXPECT_EQ(found.size(), 19u);
    EXPECT_EQ(rig.find.ResultText(), "Canceled: 19 messages found");
    EXPECT_EQ(rig.host.index.MailboxName, "Found");
}

// The results mailbox cannot be written (a folder stands in its place, which fails for root
// too): the search says so and copies nothing, never reporting the matches as copied.
TEST(Find, AResultsMailboxThatCannotBeWrittenFailsTheSearch) {
    FindRig rig;
    WriteFile(rig.dir / "in.mbx", Msg("match") + Msg("match"));
    fs::create_directories(rig.dir / "Stuck.mbx");
    rig.find.Show();
    rig.find.FindText = "match";
    rig.find.Destination = "Stuck";
    EXPECT_EQ(rig.find.ResultText(), "");
    rig.find.FindClick();
    EXPECT_EQ(rig.find.Copied(), 0);
    EXPECT_EQ(rig.find.ResultText(), "");  // the error says what happened
    EXPECT_NE(rig.find.Error().find("Find could not finish, no message was copied to Stuck: "),
              std::string::npos)
        << rig.find.Error();
    ASSERT_EQ(rig.platform.messages.size(), 1u);
    EXPECT_EQ(rig.platform.messages[0], rig.find.Error());
    EXPECT_TRUE(fs::is_directory(rig.dir / "Stuck.mbx"));
}

TEST(Find, OnlyWithinTheCurrentFolder) {
    FindRig rig("Work/Alpha");
    WriteFile(rig.dir / "in.mbx", Msg("needle"));
    fs::create_directories(rig.dir / "Work" / "Sub");
    WriteFile(rig.dir / "Work" / "Alpha.mbx", Msg("needle"));
    WriteFile(rig.dir / "Work" / "Sub" / "Beta.mbx", Msg("needle"));
    rig.find.Show();
    EXPECT_EQ(rig.find.CurrentFolder(), "Work/");
    rig.find.OnlyCurrentFolder = true;
    rig.Run("needle");
    EXPECT_EQ(rig.find.Copied(), 2);
    EXPECT_EQ(rig.view.searched, (std::vector<std::string>{"Work/Alpha", "Work/Sub/Beta"}));

    // A destination that names an existing mailbox gets the results appended and is not
    // searched itself; an invalid name becomes the unique "Found".
    FindRig other;
    WriteFile(other.dir / "Keep.mbx", Msg("needle"));
    other.find.Show();
    other.find.Destination = " Keep ";
    other.find.FindText = "needle";
    other.find.FindClick();
    EXPECT_EQ(FindLastIndex(other.dir / "Keep.mbx"), 1);
    other.find.Destination = "a:b";
    other.find.FindClick();
    EXPECT_EQ(other.find.Destination, "Found");
    EXPECT_EQ(FindLastIndex(other.dir / "Found.mbx"), 1);
}

TEST(TextFinder, AgreesWithASimpleSearch) {
    std::mt19937 random(7);
    const std::string alphabet = "aAbB\r\nzZ \xe4";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 70, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        std::string needle(1 + random() % 4, ' ');
        for (char& c : needle) c = alphabet[random() % alphabet.size()];
        const std::size_t from = random() % (text.size() + 1);
        EXPECT_EQ(TTextFinder(needle, true).Find(text, from), FindNoCase(text, needle, from))
            << round;
        EXPECT_EQ(TTextFinder(needle, false).Find(text, from), text.find(needle, from)) << round;
    }
}

TEST(TextFinder, IgnoresTheCaseOfUtf8Letters) {
    struct Case {
        const char* needle;
        const char* text;
        std::size_t at;
    } cases[] = {
        {"K\xC3\xB6ln", "Gr\xC3\xBC\xC3\x9F aus K\xC3\x96LN", 11},  // Köln in KÖLN
        {"\xC3\x84RGER", "kein \xC3\xA4rger", 5},                   // ÄRGER, ärger
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "in \xC5\x82\xC3\x93"
         "D\xC5\xB9!",
         3},  // Łódź
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
         "\xD0\xBC\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90", 0},    // Москва
        {"\xCE\xA3\xCE\xB5", "\xCF\x83\xCE\x95", 0},                // Σε
        {"\xC3\xA4", "\xC3\xA5 \xC3\xB6", std::string_view::npos},  // ä is not å, ö
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TTextFinder(c.needle, true).Find(c.text), c.at) << c.needle;
        EXPECT_EQ(TTextFinder(c.needle, false).Find(c.text),
                  std::string_view(c.text).find(c.needle))
            << c.needle << ": with letter case";
    }
    EXPECT_EQ(TTextFinder("\xC3\xA4", true).Find("\xC3\x84 \xC3\x84", 1), 3u) << "from";
}

}  // namespace
}  // namespace kivo
