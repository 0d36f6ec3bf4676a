#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "base/bytes.h"
#include "base/datetime.h"
#include "store/KivoIndex.h"
#include "store/compress.h"
#include "store/deletedlist.h"
#include "store/indexfile.h"
#include "store/indexopen.h"
#include "store/mailboxlock.h"
#include "store/mbxfile.h"
#include "store/msgops.h"
#include "store/populate.h"
#include "store/storefeedback.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::StoredMsg;
using test::TempDir;
using test::WriteFile;

TEST(Rebuild, ReadsEachMessageIntoAnEntry) {
    TempDir dir;
    const std::string big(3000, 'x');
    WriteFile(dir / "Box.mbx",
              "junk before the first separator\r\n" +
                  // 1: quoted name, priority digit, unread, an attachment line, body size
                  StoredMsg("From: \"Ann Lee\" <ann@example.com>\r\nSubject: Hello\r\n"
                            "To: Bob <BOB@Example.com>\r\nX-Priority: 1\r\nStatus: U\r\n"
                            "Date: Mon, 5 Jul 1999 12:34:56 +0100\r\n",
                            "Attachment Converted: \"/tmp/a.txt\"\r\n" + big + "\r\n") +
                  // 2: X-Real-To stands in for a missing To; replied and bounced -> W
                  StoredMsg("Subject: two\r\nX-Real-To: real@example.com\r\nStatus: RWB\r\n"
                            "X-Priority: 3 (Normal)\r\n") +
                  // 3: a capital D after the name: deleted, joins the deleted list
                  StoredMsg("Subject: three\r\nStatus: RD\r\n") +
                  // 4: no Status line counts as read; header names are case-sensitive
                  StoredMsg("subject: lower\r\nSubject: four\r\nX-Priority: 5\r\n"
                            "Date: not a date\r\n",
                            "text\r\nnot Attachment Converted: here\r\n"));
    TFrmIndex window = test::WindowOn(dir.path());
    PopulateAll(window);

    ASSERT_EQ(window.ItemCount(), 3);
    const TIndexItem a = window.Item(0);
    EXPECT_EQ(a.Number, 1);
    EXPECT_EQ(a.Subject, "Hello");
    EXPECT_EQ(a.From, "Ann Lee <ann@example.com>");
    EXPECT_EQ(a.To, "bob@example.com");
    EXPECT_EQ(a.Priority, "Highest");
    EXPECT_EQ(a.Date, "05/07/1999 12:34:56");
    EXPECT_EQ(a.Size, "3");  // 21 + 36 + 3000 bytes of lines -> 3057 / 1024 + 1
    EXPECT_TRUE(a.Unread);
    EXPECT_TRUE(a.HasAttachment);
    EXPECT_EQ(a.Icon, 1);

    const TIndexItem b = window.Item(1);
    EXPECT_EQ(b.To, "real@example.com");
    EXPECT_EQ(b.Priority, "Normal");
    EXPECT_EQ(b.Icon, 6);  // read, replied: W wins over B
    EXPECT_FALSE(b.Unread);
    EXPECT_EQ(b.Date, "01/02/2024 10:00:00") << "no Date line: the separator's date";

    const TIndexItem d = window.Item(2);
    EXPECT_EQ(d.Number, 4);
    EXPECT_EQ(d.Subject, "four");
    EXPECT_EQ(d.Priority, "Lowest");
    EXPECT_FALSE(d.Unread);
    EXPECT_FALSE(d.HasAttachment);
    EXPECT_EQ(d.Icon, 2);
    EXPECT_EQ(d.Date, "01/02/2024 10:00:00") << "an unreadable Date line: the separator's date";

    EXPECT_EQ(window.MessageCounter, 4);
    EXPECT_EQ(window.DeletedCount, 1);
    EXPECT_EQ(test::ListedNumbers(dir / "Box.d"), "3\r\n");
}

TEST(Rebuild, LeavesOutListedMessagesAndCountsLineBytesOfAnyLineEnd) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", "From a\nSubject: lf only\n\n" + std::string(1023, 'y') + "\n" +
                                   "From b\r\nSubject: gone\r\n\r\nx\r\n" +
                                   "From c\r\nSubject: last, no line end\r\n\r\n" +
                                   std::string(1024, 'z'));
    WriteFile(dir / "Box.d", "2\r\n");
    TFrmIndex window = test::WindowOn(dir.path());
    PopulateAll(window);
    ASSERT_EQ(window.ItemCount(), 2);
    EXPECT_EQ(window.Item(0).Size, "1");  // 1023 bytes
    EXPECT_EQ(window.Item(1).Subject, "last, no line end");
    EXPECT_EQ(window.Item(1).Size, "2");  // 1024 bytes
    EXPECT_EQ(window.DeletedCount, 1);
}

TEST(Rebuild, BodyScanMatchesALineByLineCount) {
    // Bodies that straddle the 16-byte blocks of the fast scan in every way.
    for (std::size_t len = 0; len < 80; ++len) {
        std::string body;
        std::uint64_t expect = 0;
        for (std::size_t i = 0; i < len; ++i) {
            const std::size_t line = (i * 7 + len) % 23;
            body += std::string(line, 'a') + (i % 3 ? "\r\n" : "\n");
            expect += line;
        }
        body += "\rtail";
        expect += 5;
        EXPECT_EQ(ScanBody(body).lineBytes, expect) << len;
    }
    EXPECT_TRUE(ScanBody("Attachment Converted: \"x\"").hasAttachment);
    EXPECT_TRUE(ScanBody("a\r\nAttachment Converted: \"x\"\r\n").hasAttachment);
    EXPECT_FALSE(ScanBody("a\r\n Attachment Converted: \"x\"\r\n").hasAttachment);
}

TEST(IndexFile, SavedIndexLoadsBackWhileTheMailboxIsUnchanged) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(3) +
                                   StoredMsg("Subject: \"quoted\", with comma\r\nStatus: R\r\n"));
    TFrmIndex built = test::WindowOn(dir.path());
    PopulateAll(built);
    built.SelectOnly(0);
    built.UpdateIndexIcons(0, 'F');
    ASSERT_TRUE(SaveIndex(built));
    EXPECT_TRUE(built.Saved);

    TFrmIndex loaded = test::WindowOn(dir.path());
    LoadIndex(loaded);
    EXPECT_EQ(test::Entries(loaded), test::Entries(built));
    EXPECT_FALSE(loaded.NeedsCompress);
}

TEST(IndexFile, AChangedMailboxMakesTheIndexStaleAndRemovesIt) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(2));
    TFrmIndex built = test::WindowOn(dir.path());
    PopulateAll(built);
    ASSERT_TRUE(SaveIndex(built));

    // A rewrite within the same second, even of the same length, counts as a change.
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(2, "R"));
    TFrmIndex loaded = test::WindowOn(dir.path());
    EXPECT_THROW(LoadIndex(loaded), EIndexFileInvalid);
    EXPECT_FALSE(fs::exists(dir / "Box.idx"));

    // Touching the file (a new modification time) does too.
    PopulateAll(built);
    ASSERT_TRUE(SaveIndex(built));
    struct utimbuf times {
        1000000000, 1000000000
    };
    ASSERT_EQ(utime((dir / "Box.mbx").c_str(), &times), 0);
    EXPECT_THROW(LoadIndex(loaded), EIndexFileInvalid);
}

// Number, subject and read state of each entry.
std::vector<std::string> Summary(const TFrmIndex& window) {
    std::vector<std::string> lines;
    for (const TIndexItem& e : test::Entries(window)) {
        lines.push_back(std::to_string(e.Number) + " " + e.Subject +
                        (e.Unread ? " unread" : " read"));
    }
    return lines;
}

TEST(IndexFile, MessagesAppendedByAnotherProgramAreListedOnLoad) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(2));
    TFrmIndex built = test::WindowOn(dir.path());
    PopulateAll(built);
    built.SelectOnly(0);
    built.ToggleUnread(false);  // a flag only the index holds
    ASSERT_TRUE(SaveIndex(built));

    AppendToFile({"From x", "Subject: m3", "Status: U", "", "body"}, dir / "Box.mbx");
    AppendToFile({"From x", "Subject: gone", "Status: UD", "", "body"}, dir / "Box.mbx");
    TFrmIndex loaded = test::WindowOn(dir.path());
    LoadIndex(loaded);
    EXPECT_EQ(Summary(loaded),
              (std::vector<std::string>{"1 m1 read", "2 m2 unread", "3 m3 unread"}));
    EXPECT_EQ(loaded.Basis.messages, 4);
    EXPECT_EQ(test::ListedNumbers(dir / "Box.d"), "4\r\n");  // marked deleted in the file

    // Saved again, the index holds them all and needs no second look.
    ASSERT_TRUE(SaveIndex(loaded));
    TFrmIndex again = test::WindowOn(dir.path());
    LoadIndex(again);
    EXPECT_EQ(test::Entries(again), test::Entries(loaded));
    EXPECT_EQ(again.Basis, loaded.Basis);
}

TEST(IndexFile, AnIndexIsNeverSavedForAFileThatChangedUnderIt) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(3));
    TFrmIndex window = test::WindowOn(dir.path());
    PopulateAll(window);
    WriteFile(dir / "Box.d", "1\r\n");
    CompressMailbox(dir / "Box", false, NoFeedback());  // another program renumbers
    EXPECT_FALSE(SaveIndex(window));
    EXPECT_FALSE(fs::exists(dir / "Box.idx"));
    window.SelectAll();
    EXPECT_THROW(DeleteSelected(window, false, NoFeedback()), EMailboxChanged);
    EXPECT_FALSE(fs::exists(dir / "Box.d"));
    EXPECT_EQ(window.RowCount(), 3);
}

TEST(IndexFile, LoadsLenientlyWithTheDocumentedDefaults) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(3));
    const std::string stamp = MailboxStamp(dir / "Box.mbx");
    WriteFile(dir / "Box.idx",
              stamp +
                  "\r\n"
                  // nine fields: the lost last field reads as true
                  "1,4,Subj,From,01/02/2024,2,to,Normal,0\r\n"
                  "\r\n"  // a blank line is no entry
                          // bad icon and size; an unreadable date becomes now
                  "2,y,S2,F2,notadate,z,t2,High,1,0\r\n"
                  // the icon is computed again from the flags and the group
                  "3,15,S3,F3,\"01/02/2024 10:00:00\",1,t3,Low,no,off\r\n");
    TFrmIndex window = test::WindowOn(dir.path());
    LoadIndex(window);
    ASSERT_EQ(window.ItemCount(), 3);
    EXPECT_TRUE(window.Item(0).HasAttachment);
    EXPECT_EQ(window.Item(0).Icon, 7);  // read, attachment, replied
    EXPECT_EQ(window.Item(1).Number, 2);
    EXPECT_EQ(window.Item(1).Size, "1");
    EXPECT_EQ(window.Item(1).Icon, 0);  // unread, HasAttachment "0"
    EXPECT_TRUE(ParseProgramDate(window.Item(1).Date).has_value());
    EXPECT_EQ(window.Item(2).Icon, 14);  // read, no attachment, bounced
    EXPECT_EQ(window.Item(2).Number, 3);

    // A first line that is not a date fails but keeps the file.
    WriteFile(dir / "Box.idx", "garbage\r\n");
    TFrmIndex other = test::WindowOn(dir.path());
    EXPECT_THROW(LoadIndex(other), EIndexFileInvalid);
    EXPECT_TRUE(fs::exists(dir / "Box.idx"));
}

TEST(IndexFile, EntriesTheProgramWroteAreSavedAgainByteForByte) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(5));
    // Every priority word, dates with and without a time, flags and groups, quoted texts.
    const TIndexItem entries[] = {
        MakeIndexItem("Hello", false, true, "", "05/07/1999 12:34:56", 1, "3", "Highest",
                      "bob@example.com", "\"Ann Lee\" <ann@example.com>"),
        MakeIndexItem("\"quoted\", with comma", false, false, "W", "29/02/2024", 2, "1", "High", "",
                      ""),
        MakeIndexItem("s", true, false, "B", "31/12/2023 23:59:59", 3, "120", "Normal", "t@x",
                      "f"),
        MakeIndexItem("", true, true, "F", "01/01/2000 00:00:01", 4, "2147483647", "Low", "", "x"),
        MakeIndexItem("last", false, false, "", "10/10/2010 10:10:10", 5, "9", "Lowest", "a", "b"),
    };
    std::string text = MailboxStamp(dir / "Box.mbx") + "\r\n";
    for (const TIndexItem& entry : entries) text += IndexLine(entry) + "\r\n";
    WriteFile(dir / "Box.idx", text);

    TFrmIndex window = test::WindowOn(dir.path());
    LoadIndex(window);
    ASSERT_EQ(window.ItemCount(), static_cast<int>(std::size(entries)));
    for (int i = 0; i < window.ItemCount(); ++i) EXPECT_EQ(window.Item(i), entries[i]);
    window.Saved = false;
    ASSERT_TRUE(SaveIndex(window));
    EXPECT_EQ(ReadFile(dir / "Box.idx"), text);
}

TEST(IndexFile, ManyDeletedMessagesAskForCompression) {
    struct Case {
        int entries;
        int deleted;
        bool compress;
    } cases[] = {
        {50, 6, true},      // 50 / 10 = 5 < 6
        {50, 5, false},     // 5 is not less than 5
        {1000, 101, true},  // more than 100
        {2000, 100, false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        WriteFile(dir / "Box.mbx", test::NumberedMailbox(c.entries + c.deleted));
        TFrmIndex window = test::WindowOn(dir.path());
        for (int i = 1; i <= c.entries; ++i) {
            window.AddIndexItem(
                MakeIndexItem("s", false, false, "", "01/02/2024", i, "1", "Normal", "", ""));
        }
        ASSERT_TRUE(SaveIndex(window));
        TDeletedList list;
        for (int i = 0; i < c.deleted; ++i) list.Add(c.entries + 1 + i);
        list.Save(dir / "Box.d");
        TFrmIndex loaded = test::WindowOn(dir.path());
        LoadIndex(loaded);
        EXPECT_EQ(loaded.NeedsCompress, c.compress) << c.entries << "/" << c.deleted;
        EXPECT_EQ(loaded.Saved, !c.compress);
        EXPECT_EQ(loaded.DeletedCount, c.deleted);
    }
}

// An index file that does not describe its mailbox is thrown away and the index built again
// from the file: none of its entries reach the window, and no number of it is acted on.
TEST(IndexFile, AnIndexThatDoesNotDescribeItsMailboxIsNeverTrusted) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", test::NumberedMailbox(5));
    TFrmIndex built = test::Rebuilt(dir.path());
    ASSERT_TRUE(SaveIndex(built));
    const std::string stamp = SplitLines(ReadFile(dir / "Box.idx"))[0];
    // Entry lines with the given numbers (subjects "e<number>").
    auto entries = [&](std::vector<std::string> numbers) {
        std::string text;
        for (const std::string& n : numbers) {
            text += n + ",2,e" + n + ",f,01/02/2024,1,t,Normal,0,0\r\n";
        }
        return text;
    };
    const std::string dateOnly = stamp.substr(0, stamp.find('\t'));
    const struct {
        const char* why;
        std::string index;
    } cases[] = {
        {"cut short, its stamp intact", stamp + "\r\n" + entries({"1", "2", "3"})},
        {"a number that is not one", stamp + "\r\n" + entries({"1", "2", "3", "4", "x"})},
        {"number 0", stamp + "\r\n" + entries({"0", "1", "2", "3", "4", "5"})},
        {"a number twice", stamp + "\r\n" + entries({"1", "2", "3", "4", "5", "5"})},
        {"a number past the end", stamp + "\r\n" + entries({"1", "2", "3", "4", "5", "999999"})},
        // Another mailbox's index of the same second: the date alone names no file.
        {"a date stamp alone", dateOnly + "\r\n" + entries({"1", "2", "3", "4", "5"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WriteFile(dir / "Box.idx", c.index);
        TFrmIndex window = test::WindowOn(dir.path());
        EXPECT_THROW(LoadIndex(window), EIndexFileInvalid);
        EXPECT_FALSE(fs::exists(dir / "Box.idx"));
        OpenMailboxIndex(window, NoFeedback(), false);
        EXPECT_EQ(Summary(window), Summary(built));
    }

    // Messages on the deleted list need no entry; the index is whole without them.
    WriteFile(dir / "Box.idx", stamp + "\r\n" + entries({"1", "2", "4"}));
    WriteFile(dir / "Box.d", "3\r\n5\r\n");
    TFrmIndex window = test::WindowOn(dir.path());
    LoadIndex(window);
    EXPECT_EQ(Summary(window),
              (std::vector<std::string>{"1 e1 read", "2 e2 read", "4 e4 read"}));
}

TEST(PopulateIndex, MakesTheEntryOfANewMessageAndItsSeparator) {
    TempDir dir;
    TFrmIndex window = test::WindowOn(dir.path());
    std::vector<std::string> lines = {"",
                                      "From: \"Zed\" <zed@example.com>",
                                      "SUBJECT: Hi",
                                      "To: <Me@Example.com>",
                                      "Date: 5 Jul 99 12:34",
                                      "Status: RQ",
                                      "",
                                      "Attachment Converted: \"/x\""};
    PopulateIndex(true, 9, window, lines);
    ASSERT_EQ(window.ItemCount(), 1);
    const TIndexItem item = window.Item(0);
    EXPECT_EQ(item.Number, 9);
    EXPECT_EQ(item.Subject, "Hi");
    EXPECT_EQ(item.From, "Zed <zed@example.com>");
    EXPECT_EQ(item.To, "me@example.com");
    EXPECT_EQ(item.Date, "05/07/1999 12:34:00");
    EXPECT_FALSE(item.Unread);
    EXPECT_TRUE(item.HasAttachment);
    EXPECT_EQ(item.Icon, 3);
    EXPECT_FALSE(window.Saved);
    EXPECT_EQ(lines[0], "From Zed <zed@example.com> 05/07/1999 12:34:00");
}

}  // namespace
}  // namespace kivo
