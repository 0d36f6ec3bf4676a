#include "store/compress.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "base/bytes.h"
#include "store/KivoIndex.h"
#include "store/indexfile.h"
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
using test::NumberedMailbox;
using test::ReadFile;
using test::StoredMsg;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> Subjects(const TFrmIndex& window) {
    std::vector<std::string> subjects;
    for (const TIndexItem& item : test::Entries(window)) subjects.push_back(item.Subject);
    return subjects;
}

std::vector<std::string> StatusLines(const fs::path& mbx) {
    std::vector<std::string> status;
    for (const std::string& line : SplitLines(ReadFile(mbx))) {
        if (line.starts_with("Status:")) status.push_back(line);
    }
    return status;
}

TEST(Compress, DeletedMessagesGoToTrashAndLeaveWithCompression) {
    TempDir dir;
    const std::string original = NumberedMailbox(10);
    WriteFile(dir / "Box.mbx", original);
    TFrmIndex window = test::Rebuilt(dir.path());
    window.SelectOnly(1);
    window.SetSelected(4, true);
    window.SetSelected(9, true);
    window.SetFocused(4);
    DeleteSelected(window, true, NoFeedback());

    EXPECT_EQ(ReadFile(dir / "Box.mbx"), original);
    EXPECT_EQ(test::ListedNumbers(dir / "Box.d"), "2\r\n5\r\n10\r\n");
    EXPECT_EQ(window.RowCount(), 7);
    EXPECT_EQ(window.DeletedCount, 3);
    EXPECT_EQ(FindLastIndex(dir / "trash.mbx"), 3);
    EXPECT_EQ(window.SelectedRows(), std::vector<int>{4});  // the row at the old focus

    // Read m1 and reply to m3 in the index, then compress as the command does.
    window.SelectOnly(0);
    window.ToggleUnread(false);
    window.UpdateIndexIcons(1, 'W');
    ASSERT_TRUE(SaveIndex(window));
    CompressMailbox(window.Base(), true, NoFeedback());

    EXPECT_FALSE(fs::exists(dir / "Box.d"));
    EXPECT_EQ(FindLastIndex(dir / "Box.mbx"), 7);
    const std::vector<std::string> expect = {"Status: R", "Status: UW", "Status: U", "Status: U",
                                             "Status: U", "Status: U",  "Status: U"};
    EXPECT_EQ(StatusLines(dir / "Box.mbx"), expect);
    EXPECT_EQ(Subjects(test::Rebuilt(dir.path())),
              (std::vector<std::string>{"m1", "m3", "m4", "m6", "m7", "m8", "m9"}));
}

TEST(Compress, GivesAStatusLineAndRemovesMessagesMarkedDeletedInTheFile) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", "stray line\r\n" + StoredMsg("Subject: no status\r\n") +
                                   StoredMsg("Subject: marked\r\nStatus: RD\r\n") +
                                   StoredMsg("Subject: others' letters\r\nStatus: Read\r\n") +
                                   StoredMsg("Subject: kept\r\nStatus: U\r\n", "last line"));
    CompressMailbox(dir / "Box", false, NoFeedback());
    // Text before the first message is the user's and stays.
    EXPECT_EQ(ReadFile(dir / "Box.mbx"),
              "stray line\r\n"
              "From sender@example.com 01/02/2024 10:00:00\r\nSubject: no status\r\n"
              "Status: \r\n \r\nbody\r\n"
              // A lower-case "d" of another program's letters is no deletion.
              "From sender@example.com 01/02/2024 10:00:00\r\nSubject: others' letters\r\n"
              "Status: Read\r\n\r\nbody\r\n"
              "From sender@example.com 01/02/2024 10:00:00\r\nSubject: kept\r\nStatus: U\r\n"
              "\r\nlast line");
    EXPECT_FALSE(fs::exists(dir / "Box.d"));
}

TEST(Compress, EdgeCasesOfTheFile) {
    TempDir dir;
    // Deleting the last message, which has no final line end, removes all its lines.
    WriteFile(dir / "Box.mbx", NumberedMailbox(1) + "From x\r\nSubject: last\r\n\r\nno end");
    WriteFile(dir / "Box.d", "2\r\n");
    CompressMailbox(dir / "Box", false, NoFeedback());
    EXPECT_EQ(ReadFile(dir / "Box.mbx"), NumberedMailbox(1));

    // A header block longer than the part read first is still seen whole.
    const std::string longHeader = "X-Long: " + std::string(70000, 'h') + "\r\n";
    WriteFile(dir / "Long.mbx", StoredMsg(longHeader + "Status: RD\r\n") +
                                    StoredMsg(longHeader + "Subject: kept\r\n"));
    CompressMailbox(dir / "Long", false, NoFeedback());
    EXPECT_EQ(ReadFile(dir / "Long.mbx"), StoredMsg(longHeader + "Subject: kept\r\nStatus: \r\n "));

    // A missing mailbox becomes an empty one.
    CompressMailbox(dir / "Missing", false, NoFeedback());
    EXPECT_TRUE(fs::exists(dir / "Missing.mbx"));
    EXPECT_EQ(fs::file_size(dir / "Missing.mbx"), 0u);

    // An index saved for another state of the file numbers other messages: not applied.
    WriteFile(dir / "Box.mbx", NumberedMailbox(2));
    TFrmIndex window = test::Rebuilt(dir.path());
    window.SelectAll();
    window.ToggleUnread(false);
    ASSERT_TRUE(SaveIndex(window));
    WriteFile(dir / "Box.mbx", NumberedMailbox(3, "RW"));  // rewritten in place
    CompressMailbox(dir / "Box", false, NoFeedback());
    EXPECT_EQ(StatusLines(dir / "Box.mbx"),
              (std::vector<std::string>{"Status: RW", "Status: RW", "Status: RW"}));
}

// Runs a compression in a child process that kills itself at `step`.
void CompressAndDieAt(const fs::path& base, const std::string& step) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CompressMailbox(base, false, NoFeedback(), [&](std::string_view at) {
            if (at == step) raise(SIGKILL);
        });
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
}

TEST(Compress, AKillAtAnyStepLeavesTheOldOrTheNewMailbox) {
    const std::string original = NumberedMailbox(6);
    for (const std::string step : {"copied", "synced", "list-set-aside", "renamed", "done"}) {
        SCOPED_TRACE(step);
        TempDir dir;
        WriteFile(dir / "Box.mbx", original);
        WriteFile(dir / "Box.d", "2\r\n4\r\n");
        CompressAndDieAt(dir / "Box", step);

        TMailboxLock{TMailboxFiles::Of(dir / "Box")};  // the next locker sets it right
        const std::string now = ReadFile(dir / "Box.mbx");
        if (now == original) {
            EXPECT_EQ(test::ListedNumbers(dir / "Box.d"), "2\r\n4\r\n");
        } else {
            EXPECT_EQ(FindLastIndex(dir / "Box.mbx"), 4);
            EXPECT_FALSE(fs::exists(dir / "Box.d"));
        }
        // Either way the user sees exactly the messages that were not deleted.
        EXPECT_EQ(Subjects(test::Rebuilt(dir.path())),
                  (std::vector<std::string>{"m1", "m3", "m5", "m6"}));
        // And the next compression finishes the job.
        CompressMailbox(dir / "Box", false, NoFeedback());
        EXPECT_EQ(FindLastIndex(dir / "Box.mbx"), 4);
        EXPECT_FALSE(fs::exists(dir / "Box.tmp"));
    }
}

TEST(Compress, AFailedWriteKeepsTheOldMailboxAndItsDeletedList) {
    TempDir dir;
    const std::string original = NumberedMailbox(200);
    WriteFile(dir / "Box.mbx", original);
    WriteFile(dir / "Box.d", "3\r\n");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A full disk, as far as this process can tell: files may not grow past 4 KB.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            4096, 4096
        };
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            CompressMailbox(dir / "Box", false, NoFeedback());
        } catch (const std::system_error&) {
            _exit(0);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no error reported";
    EXPECT_EQ(ReadFile(dir / "Box.mbx"), original);
    EXPECT_EQ(test::ListedNumbers(dir / "Box.d"), "3\r\n");
    EXPECT_FALSE(fs::exists(dir / "Box.tmp"));
}

TEST(Compress, AnAppendWaitingForTheLockLandsInTheNewFile) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", NumberedMailbox(3));
    WriteFile(dir / "Box.d", "1\r\n");
    pid_t child = -1;
    CompressMailbox(dir / "Box", false, NoFeedback(), [&](std::string_view at) {
        if (at != "copied") return;
        // Another process appends while the compression holds the lock.
        child = fork();
        if (child == 0) {
            close_range(3, ~0U, 0);  // a copy of the parent's lock would keep the lock held
            AppendToFile({"From late@example.com", "Subject: late", "", "x"}, dir / "Box.mbx");
            _exit(0);
        }
        usleep(
            100000);  // gives the child time to block on the lock; the outcome never depends on it
    });
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(Subjects(test::Rebuilt(dir.path())), (std::vector<std::string>{"m2", "m3", "late"}));
}

// What a long pass tells the window: the steps of the bar, how often events could run, and
// the status line.
struct RecordingFeedback : TStoreFeedback {
    void StatusText(std::string_view text) override { status.emplace_back(text); }
    void Progress(int percent) override { bar.push_back(percent); }
    void Pump() override { ++pumps; }
    std::vector<std::string> status;
    std::vector<int> bar;
    int pumps = 0;
};

TEST(Compress, LongPassesMoveTheBarLetEventsRunAndTidyUpAlsoWhenTheyFail) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", NumberedMailbox(300));
    WriteFile(dir / "Box.d", "3\r\n");
    const std::vector<std::pair<const char*, std::function<void(RecordingFeedback&)>>> passes = {
        {"compress", [&](RecordingFeedback& f) { CompressMailbox(dir / "Box", true, f); }},
        {"rebuild",
         [&](RecordingFeedback& f) {
             TFrmIndex window;
             window.Folder = dir.path();
             window.MailboxName = "Box";
             ReindexMailbox(window, f, false);
             EXPECT_EQ(window.RowCount(), 299);
         }},
    };
    for (const auto& [name, pass] : passes) {
        RecordingFeedback feedback;
        pass(feedback);
        EXPECT_GE(feedback.pumps, 299) << name;
        ASSERT_GE(feedback.bar.size(), 3u) << name;
        EXPECT_TRUE(std::is_sorted(feedback.bar.begin(), feedback.bar.end() - 1)) << name;
        EXPECT_GT(feedback.bar[feedback.bar.size() - 2], 90) << name;
        EXPECT_EQ(feedback.bar.back(), -1) << name;
        ASSERT_FALSE(feedback.status.empty()) << name;
        EXPECT_EQ(feedback.status.back(), "") << name;
    }
    // A compression that cannot write its new file takes its status and bar away again.
    fs::create_directories(dir / "Box.tmp" / "inside");
    RecordingFeedback failed;
    EXPECT_THROW(CompressMailbox(dir / "Box", true, failed), std::system_error);
    EXPECT_EQ(failed.status, (std::vector<std::string>{"Compressing mailbox...", ""}));
    EXPECT_EQ(failed.bar.back(), -1);
}

}  // namespace
}  // namespace kivo
