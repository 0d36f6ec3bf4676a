#include "base/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <system_error>

#include "tests/support/faultfiles.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::InChild;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Lets files of this process grow to `bytes` at most; a larger write fails with EFBIG
// instead of killing the process.
void LimitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Files, FindFileNoCaseMatchesExistingEntries) {
    TempDir dir;
    WriteFile(dir / "In.mbx", "");
    WriteFile(dir / "a.txt", "");
    WriteFile(dir / "A.txt", "");
    fs::create_directory(dir / "Work");
    struct Case {
        const char* name;
        const char* expected;
        const char* why;
    } cases[] = {
        {"in.mbx", "In.mbx", "case differs: the existing entry"},
        {"IN.MBX", "In.mbx", "all upper case"},
        {"In.mbx", "In.mbx", "exact"},
        {"A.txt", "A.txt", "exact match wins over a case-insensitive one"},
        {"a.TXT", "A.txt", "several candidates: the smallest name"},
        {"work", "Work", "folders too"},
        {"out.mbx", "out.mbx", "none: the name as given"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindFileNoCase(dir.path(), c.name), dir / c.expected) << c.why;
    }
    EXPECT_EQ(FindFileNoCase(dir / "missing", "x"), dir / "missing" / "x");
    EXPECT_EQ(ResolveNoCase(dir / "IN.mbx"), dir / "In.mbx");
    EXPECT_EQ(ResolveNoCase(dir / "WORK" / "x"), dir / "WORK" / "x");  // last part only
    EXPECT_EQ(FindFileNoCase(dir.path(), "work/IN.mbx"), dir / "work" / "IN.mbx");
}

TEST(Files, ReadsBytesExactly) {
    TempDir dir;
    const std::string data("a\r\nb\0c\xff\n", 8);
    WriteFile(dir / "f", data);
    EXPECT_EQ(ReadFileBytes(dir / "f"), data);
    EXPECT_EQ(ReadFileOrEmpty(dir / "f"), data);

    EXPECT_EQ(ReadFileOrEmpty(dir / "missing"), "");
    try {
        ReadFileBytes(dir / "missing");
        ADD_FAILURE() << "a missing file must throw";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    }
    EXPECT_THROW(ReadFileBytes(dir.path()), std::system_error);  // a folder
}

// Only a file that does not exist reads as empty: one that is there but cannot be read would
// otherwise be taken for empty and written back emptier. These fail for root too.
TEST(Files, ReadFileOrEmptyThrowsForEveryFailureButAMissingFile) {
    TempDir dir;
    EXPECT_EQ(ReadFileOrEmpty(dir / "no" / "such" / "file"), "");
    fs::create_symlink("loop", dir / "loop");
    WriteFile(dir / "file", "x");
    const struct Case {
        const char* why;
        fs::path path;
    } cases[] = {
        {"a folder", dir.path()},
        {"a link to itself", dir / "loop"},
        {"a file where a folder should be", dir / "file" / "x"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(ReadFileOrEmpty(c.path), std::system_error) << c.why;
    }
}

TEST(Files, WriteFileAtomicReplacesWholeFile) {
    TempDir dir;
    const fs::path file = dir / "kivo.ini";
    WriteFileAtomic(file, "first");
    EXPECT_EQ(ReadFile(file), "first");

    chmod(file.c_str(), 0640);
    WriteFileAtomic(file, "second, longer");
    EXPECT_EQ(ReadFile(file), "second, longer");
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"kivo.ini"});  // no temp left

    // A link keeps pointing at the file, which gets the new text.
    fs::create_symlink(file, dir / "link.ini");
    WriteFileAtomic(dir / "link.ini", "through the link");
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFile(file), "through the link");

    EXPECT_THROW(WriteFileAtomic(dir / "missing" / "x", "data"), std::system_error);
}

TEST(Files, PrivateFilesAreTheOwnersAlone) {
    TempDir dir;
    auto mode = [](const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    };
    WriteFileAtomic(dir / "new", "x", FileAccess::Private);
    EXPECT_EQ(mode(dir / "new"), 0600u);
    WriteFile(dir / "old", "x");
    ::chmod((dir / "old").c_str(), 0664);
    WriteFileAtomic(dir / "old", "y");
    EXPECT_EQ(mode(dir / "old"), 0664u);  // a shared file keeps what it had
    WriteFileAtomic(dir / "old", "z", FileAccess::Private);
    EXPECT_EQ(mode(dir / "old"), 0600u);
}

TEST(Files, WriteFileAtomicKeepsOldFileWhenWriteFails) {
    TempDir dir;
    const fs::path file = dir / "accounts.ini";
    WriteFile(file, "old content");
    int code = InChild([&] {
        LimitFileSize(64);
        try {
            WriteFileAtomic(file, std::string(100000, 'x'));
        } catch (const std::system_error& e) {
            return e.code() == std::errc::file_too_large ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0) << "the write must fail with EFBIG";
    EXPECT_EQ(ReadFile(file), "old content");
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"accounts.ini"});
}

TEST(Files, AppendLockedAppendsAndCreates) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    AppendLocked(file, "From a\r\n");
    AppendLocked(file, "From b\r\n");
    AppendLocked(file, "");
    EXPECT_EQ(ReadFile(file), "From a\r\nFrom b\r\n");
    EXPECT_THROW(AppendLocked(dir / "missing" / "x.mbx", "x"), std::system_error);
}

TEST(Files, AppendLockedCutsBackToOldLengthOnFailure) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    const std::string old = "From a\r\nSubject: first\r\n\r\nbody\r\n";
    WriteFile(file, old);
    int code = InChild([&] {
        LimitFileSize(old.size() + 10);  // part of the message fits, the rest does not
        try {
            AppendLocked(file, "From b\r\n" + std::string(5000, 'y') + "\r\n");
        } catch (const std::system_error& e) {
            return e.code() == std::errc::file_too_large ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(code, 0) << "the append must fail with EFBIG";
    EXPECT_EQ(ReadFile(file), old);
}

TEST(Files, AnAppendKilledHalfWayIsCutBackByTheNextLocker) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    const std::string old = "From a\r\nbody\r\n";
    WriteFile(file, old);
    // A process dies inside an append: its record and half a message stay behind.
    const int code = InChild([&] {
        FileLock lock(file);
        TAppendTransaction append(lock);
        append.Write("From b\r\nhalf a mess");
        _exit(0);  // no destructor runs, as after a kill
        return 0;
    });
    ASSERT_EQ(code, 0);
    ASSERT_TRUE(fs::exists(AppendRecordPath(file)));
    {
        FileLock lock(file);
        EXPECT_EQ(lock.CutBack(), 19u);
    }
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_FALSE(fs::exists(AppendRecordPath(file)));

    // A record written only in part was never followed by an append: only removed.
    WriteFile(AppendRecordPath(file), "12");
    AppendLocked(file, "From c\r\n");
    EXPECT_EQ(ReadFile(file), old + "From c\r\n");
    EXPECT_FALSE(fs::exists(AppendRecordPath(file)));
}

TEST(Files, AnAppendTransactionIsAllOrNothing) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    WriteFile(file, "old\r\n");
    {
        FileLock lock(file);
        TAppendTransaction append(lock);
        append.Write("From a\r\n");
        append.Write("From b\r\n");
        // Destroyed without Commit: a later step failed.
    }
    EXPECT_EQ(ReadFile(file), "old\r\n");
    {
        FileLock lock(file);
        TAppendTransaction append(lock);
        append.Write("From a\r\n");
        append.Commit();
        EXPECT_EQ(ReadFile(file), "old\r\nFrom a\r\n");
        append.TakeBack();  // committed, but the change it belonged to failed
    }
    EXPECT_EQ(ReadFile(file), "old\r\n");
    EXPECT_FALSE(fs::exists(AppendRecordPath(file)));
}

// After a power cut an empty record must mean "nothing appended": the record is on disk
// before any byte of the append is.
TEST(Files, TheAppendRecordIsOnDiskBeforeTheAppend) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    WriteFile(file, "old\r\n");
    FileLock lock(file);
    TAppendTransaction append(lock);
    test::ClearFlushed();
    append.Write("From a\r\n");
    const std::vector<std::string> flushed = test::Flushed();
    EXPECT_EQ(flushed, std::vector<std::string>{fs::canonical(AppendRecordPath(file)).string()});
    append.Commit();
}

TEST(Files, ACutThatFailsKeepsTheRecordForTheNextLock) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    WriteFile(file, "old\r\n");
    for (const bool committed : {false, true}) {
        SCOPED_TRACE(committed ? "taken back after Commit" : "taken back before Commit");
        {
            FileLock lock(file);
            TAppendTransaction append(lock);
            append.Write("From a\r\nhalf");
            if (committed) append.Commit();
            {
                test::TruncateFails fails(EIO);
                EXPECT_FALSE(append.TakeBack());
            }
            EXPECT_TRUE(fs::exists(AppendRecordPath(file)));
            // A later append under the same lock first cuts the tail it would build on.
            TAppendTransaction next(lock);
            next.Write("From b\r\n");
            next.Commit();
            EXPECT_EQ(ReadFile(file), "old\r\nFrom b\r\n");
            EXPECT_TRUE(next.TakeBack());
        }
        EXPECT_EQ(ReadFile(file), "old\r\n");
        EXPECT_FALSE(fs::exists(AppendRecordPath(file)));
    }
    // Left as it is, the record makes the next lock cut the tail.
    {
        FileLock lock(file);
        TAppendTransaction append(lock);
        append.Write("From c\r\n");
        test::TruncateFails fails(EIO);
        EXPECT_FALSE(append.TakeBack());
    }
    FileLock lock(file);
    EXPECT_EQ(lock.CutBack(), 8u);
    EXPECT_EQ(ReadFile(file), "old\r\n");
}

// Another process tries the lock without waiting: 0 when it got it, 1 when it is taken.
int OtherProcessTriesLock(const fs::path& path) {
    return InChild([&] {
        int fd = open(path.c_str(), O_RDWR);
        if (fd < 0) return 3;
        return flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : (errno == EWOULDBLOCK ? 1 : 4);
    });
}

TEST(Files, TwoFileLocksTakeOneOrderAndLockTheSameFileOnce) {
    TempDir dir;
    const fs::path a = dir / "a.mbx";
    const fs::path b = dir / "b.mbx";
    {
        TwoFileLocks locks(b, a);
        EXPECT_EQ(locks.A().path(), b);
        EXPECT_EQ(locks.B().path(), a);
        EXPECT_EQ(OtherProcessTriesLock(a), 1);
        EXPECT_EQ(OtherProcessTriesLock(b), 1);
    }
    TwoFileLocks same(a, dir / "." / "a.mbx");
    EXPECT_EQ(&same.A(), &same.B());
}

TEST(Files, FileLockExcludesOtherProcessesUntilReleased) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    {
        FileLock lock(file);
        EXPECT_TRUE(fs::exists(file));  // created when missing
        EXPECT_EQ(OtherProcessTriesLock(file), 1);

        FileLock moved(std::move(lock));  // the lock goes with the object
        EXPECT_EQ(lock.fd(), -1);
        EXPECT_EQ(OtherProcessTriesLock(file), 1);
    }
    EXPECT_EQ(OtherProcessTriesLock(file), 0);
    EXPECT_THROW(FileLock(dir / "missing" / "x"), std::system_error);
}

TEST(Files, AFailedRecoveryReleasesTheLock) {
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    WriteFile(file, "old\r\n");
    // A record that cannot be read makes taking the lock fail.
    fs::create_directory(AppendRecordPath(file));
    EXPECT_THROW(FileLock{file}, std::system_error);
    ASSERT_EQ(OtherProcessTriesLock(file), 0) << "the failed lock must not stay held";
    fs::remove(AppendRecordPath(file));
    FileLock again(file);
    EXPECT_EQ(ReadFile(file), "old\r\n");
}

// True once process `pid` waits for a file lock, as the kernel's lock table shows it.
bool WaitsForLock(pid_t pid) {
    const std::string table = ReadFile("/proc/locks");
    const std::string mark = " " + std::to_string(pid) + " ";
    std::size_t start = 0;
    while (start < table.size()) {
        std::size_t end = table.find('\n', start);
        if (end == std::string::npos) end = table.size();
        std::string_view line(table.data() + start, end - start);
        if (line.find("->") != line.npos && line.find(mark) != line.npos) return true;
        start = end + 1;
    }
    return false;
}

TEST(Files, AppendWaitingForLockFollowsReplacedFile) {
    if (!fs::exists("/proc/locks")) GTEST_SKIP() << "no kernel lock table to watch";
    TempDir dir;
    const fs::path file = dir / "in.mbx";
    WriteFile(file, "From a\r\n");
    pid_t child = -1;
    {
        FileLock lock(file);
        child = fork();
        if (child == 0) {
            close(lock.fd());  // the inherited copy would hold the lock for the child
            try {
                AppendLocked(file, "From new\r\n");
                _exit(0);
            } catch (...) {
                _exit(1);
            }
        }
        // The appender opened the old file and waits for its lock; the lock holder then
        // replaces the file, as compression does.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!WaitsForLock(child) && std::chrono::steady_clock::now() < deadline) {
            usleep(1000);
        }
        ASSERT_TRUE(WaitsForLock(child));
        WriteFileAtomic(file, "From compressed\r\n");
    }
    // A child stuck on a lock nobody releases must not hang the test run.
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        usleep(1000);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(file), "From compressed\r\nFrom new\r\n");
}

TEST(Files, CreateFolderOneLevelNeverCreatesParents) {
    TempDir dir;
    WriteFile(dir / "file", "");
    fs::create_directory(dir / "Existing");
    struct Case {
        fs::path path;
        bool result;
        const char* why;
    } cases[] = {
        {dir / "Mail", true, "parent exists"},
        {dir / "Existing", true, "already there"},
        {dir / "No" / "Mail", false, "parent missing"},
        {dir / "file", false, "a file of that name"},
        {fs::path(), false, "empty path"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateFolderOneLevel(c.path), c.result) << c.why;
    }
    EXPECT_FALSE(fs::exists(dir / "No"));
}

TEST(Files, TempFolderFollowsTmpdir) {
    const char* saved = std::getenv("TMPDIR");
    const std::string restore = saved ? saved : "";
    setenv("TMPDIR", "/var/tmp/x", 1);
    EXPECT_EQ(TempFolder(), fs::path("/var/tmp/x"));
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(TempFolder(), fs::path("/tmp"));
    unsetenv("TMPDIR");
    EXPECT_EQ(TempFolder(), fs::path("/tmp"));
    if (saved) setenv("TMPDIR", restore.c_str(), 1);
}

}  // namespace
}  // namespace kivo
