#include "transfer/batchjournal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string Texts(const std::vector<LeaveOnServerEntry>& entries) {
    std::string text;
    for (const LeaveOnServerEntry& e : entries)
        text += e.uid + "|" + e.messageId + "|" + e.date + ";";
    return text;
}

class BatchJournal : public testing::Test {
  protected:
    BatchJournal() { test::WriteFile(mailbox, kOld); }

    // The note a check writes just before appending `lines` to the mailbox, with the
    // bytes the append will write.
    TBatchJournal NoteFor(const Lines& lines) const {
        const std::string bytes = JoinLinesCrLf(lines);
        std::vector<std::uint64_t> messages;
        for (const Lines& message : Messages(lines))
            messages.push_back(TBatchJournal::MessageDigest(message));
        return {.mailbox = mailbox,
                .start = kOld.size(),
                .length = bytes.size(),
                .digest = TBatchJournal::DigestOf(bytes),
                .user = "jo",
                .server = "pop.example",
                .entries = {{"u1", "<1@example.org>", "Mon, 7 Dec 2026 10:00:00 +0100"},
                            {"u2", "", ""}},
                .messages = messages};
    }
    // The lines split into messages at their separators.
    static std::vector<Lines> Messages(const Lines& lines) {
        std::vector<Lines> messages;
        for (const std::string& line : lines) {
            if (IsSeparator(line) || messages.empty()) messages.emplace_back();
            messages.back().push_back(line);
        }
        return messages;
    }

    static inline const std::string kOld = "From a\r\nold\r\n";
    test::TempDir dir;
    const fs::path mailbox = dir / "in.mbx";
    const fs::path note = dir / "lmos.pending";
    const fs::path list = dir / "lmos.dat";
    // Big enough that its first and last bytes are far apart.
    const Lines batch = {"From ???@??? Mon 07/12/2026 10:00:00",
                         "Subject: one",
                         "Status: U",
                         "",
                         std::string(20000, 'x'),
                         "From ???@??? Mon 07/12/2026 10:00:01",
                         "Subject: two",
                         "Status: U",
                         "",
                         "end of two"};
};

TEST_F(BatchJournal, ANoteReadsBackWholeAndABrokenOneIsNone) {
    TBatchJournal written = NoteFor(batch);
    written.entries.push_back({"u3", "<folded\r\n id>", "Tue"});
    written.Write(note);
    const std::optional<TBatchJournal> read = TBatchJournal::Read(note);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->mailbox, mailbox);
    EXPECT_EQ(read->start, written.start);
    EXPECT_EQ(read->length, written.length);
    EXPECT_EQ(read->digest, written.digest);
    EXPECT_EQ(read->messages, written.messages);
    EXPECT_EQ(read->user + "@" + read->server, "jo@pop.example");
    EXPECT_EQ(Texts(read->entries),
              "u1|<1@example.org>|Mon, 7 Dec 2026 10:00:00 +0100;u2||;u3|<folded   id>|Tue;");
    EXPECT_EQ(fs::status(note).permissions() & fs::perms::others_read, fs::perms::none);

    const std::string whole = test::ReadFile(note);
    const struct {
        const char* what;
        std::string text;
    } broken[] = {
        {"cut off", whole.substr(0, whole.size() - 6)},
        {"empty", ""},
        {"another file", "Creator: Kivo, v1.0\r\n" + whole.substr(whole.find('\n') + 1)},
        {"an entry short", whole.substr(0, whole.rfind("Tue")) + "end\r\n"},
        {"a bad number", "Kivo batch journal 1\r\nin.mbx\r\n12x\r\n5\r\nff\r\njo\r\ns\r\nend\r\n"},
    };
    for (const auto& c : broken) {
        test::WriteFile(note, c.text);
        EXPECT_FALSE(TBatchJournal::Read(note)) << c.what;
    }
    fs::remove(note);
    EXPECT_FALSE(TBatchJournal::Read(note));
}

TEST_F(BatchJournal, TellsWhetherTheBatchReachedTheMailbox) {
    const TBatchJournal journal = NoteFor(batch);
    EXPECT_FALSE(journal.Appended()) << "not appended yet";

    // A run killed inside the append: the next look cuts the unfinished bytes back first.
    const int code = test::InChild([&] {
        FileLock lock(mailbox);
        TAppendTransaction append(lock);
        append.Write(JoinLinesCrLf(batch));
        ::_exit(0);
        return 0;
    });
    ASSERT_EQ(code, 0);
    EXPECT_FALSE(journal.Appended()) << "an append never finished";
    EXPECT_EQ(test::ReadFile(mailbox), kOld);

    std::uint64_t start = 0;
    AppendToFile(batch, mailbox, [&](std::uint64_t at, std::string_view bytes) {
        start = at;
        EXPECT_EQ(TBatchJournal::DigestOf(bytes), journal.digest);
    });
    EXPECT_EQ(start, kOld.size());
    EXPECT_TRUE(journal.Appended());
    AppendToFile({"From later", "more mail"}, mailbox);
    EXPECT_TRUE(journal.Appended()) << "mail appended after it";

    // The same length of other bytes at its place (the mailbox was compressed meanwhile).
    std::string other = test::ReadFile(mailbox);
    other[kOld.size() + 100] = 'y';
    other[other.find("end of two")] = 'E';
    test::WriteFile(mailbox, other);
    EXPECT_FALSE(journal.Appended());
    test::WriteFile(mailbox, kOld);
    EXPECT_FALSE(journal.Appended());
    fs::remove(mailbox);
    EXPECT_FALSE(journal.Appended());
    EXPECT_FALSE(fs::exists(mailbox)) << "looking makes no mailbox";
}

// Between a killed run and the next, the user may delete, move, read and compress: the
// batch's place in In then holds other bytes, and its messages are found by their content
// wherever they went. Only when none of them is left anywhere is the batch fetched again.
TEST_F(BatchJournal, FindsTheBatchByItsMessagesWhereverTheStoreTookThem) {
    const TBatchJournal journal = NoteFor(batch);
    const std::vector<Lines> messages = Messages(batch);
    auto text = [](const Lines& lines) { return JoinLinesCrLf(lines); };
    Lines read = messages[1];
    read[2] = "Status: RW";
    read[0] = "From someone Tue 08/12/2026 08:00:00";
    read.push_back("");
    Lines changed = messages[1];
    changed.back() = "end of three";
    const struct {
        const char* what;
        std::string in;
        std::string work;  // the mailbox Work/Project beside In
        bool found;
    } cases[] = {
        {"an older message deleted, In compressed", text(batch), "", true},
        {"the batch's first message deleted, In compressed", kOld + text(messages[1]), "", true},
        {"read and replied to, moved to another place", text(read) + kOld, "", true},
        {"moved into a mailbox of a folder, In compressed", kOld, text(messages[0]), true},
        {"all of it deleted for good", kOld, "", false},
        {"another message that only looks alike", kOld + text(changed), "", false},
    };
    for (const auto& c : cases) {
        test::WriteFile(mailbox, c.in);
        fs::remove_all(dir / "Work");
        if (!c.work.empty()) {
            fs::create_directories(dir / "Work");
            test::WriteFile(dir / "Work" / "Project.MBX", c.work);
        }
        EXPECT_EQ(journal.Appended(), c.found) << c.what;
    }
    // A note of an older version has no digests: only its place counts.
    TBatchJournal old = journal;
    old.messages.clear();
    test::WriteFile(mailbox, text(batch));
    EXPECT_FALSE(old.Appended());
}

TEST_F(BatchJournal, SettlingRecordsABatchThatGotThereOnce) {
    const TBatchJournal journal = NoteFor(batch);
    auto listed = [&] {
        LeaveOnServerList read(list);
        read.SelectAccount("jo", "pop.example");
        int count = 0;
        for (const LeaveOnServerEntry& e : journal.entries) count += read.Contains(e);
        return count;
    };

    // Not in the mailbox: nothing is recorded, the mail is fetched again.
    journal.Write(note);
    EXPECT_EQ(SettleBatchJournal(note, list), 0u);
    EXPECT_FALSE(fs::exists(note));
    EXPECT_EQ(listed(), 0);

    AppendToFile(batch, mailbox);
    journal.Write(note);
    EXPECT_EQ(SettleBatchJournal(note, list), 2u);
    EXPECT_FALSE(fs::exists(note));
    EXPECT_EQ(listed(), 2);
    // Killed after the list's save but before the note went: settled again, nothing doubles.
    const std::string saved = test::ReadFile(list);
    journal.Write(note);
    EXPECT_EQ(SettleBatchJournal(note, list), 0u);
    EXPECT_EQ(test::ReadFile(list), saved);

    // A list that cannot be read keeps the note for the next run.
    fs::remove(list);
    fs::create_directory(list);
    journal.Write(note);
    EXPECT_THROW(SettleBatchJournal(note, list), std::system_error);
    EXPECT_TRUE(fs::exists(note));
    EXPECT_EQ(SettleBatchJournal(dir / "none.pending", list), 0u);
}

}  // namespace
}  // namespace kivo
