// Files a command cannot read or write: the command stops with the error and writes nothing
// over them, and never reports success. The failures are made so that they fail for root too
// (the tests run as root, where permissions do not stop anything): a link to itself cannot
// be read, a folder cannot be replaced by a file.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::TempDir;
using test::WriteFile;

// A program folder with In holding two messages.
struct Home {
    TempDir dir;
    Home() {
        fs::create_directories(dir / "Mail");
        WriteFile(dir / "Mail" / "In.mbx",
                  test::StoredMsg("From: Ann <ann@example.com>\r\nSubject: one\r\n") +
                      test::StoredMsg("From: Bob <bob@example.com>\r\nSubject: two\r\n"));
    }
    ProcessResult Kivo(std::vector<std::string> args) const {
        return test::RunKivoIn(dir.path(), std::move(args));
    }
    fs::path operator/(std::string_view name) const { return dir / name; }
};

// Replaces a file by a link to itself: it is there, but reading it fails.
void MakeUnreadable(const fs::path& file) {
    fs::remove(file);
    fs::create_symlink(file.filename(), file);
}

bool StillUnreadable(const fs::path& file) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(file, ec)) &&
           fs::read_symlink(file, ec) == file.filename();
}

TEST(FailedFiles, AnUnreadableFileStopsTheCommandAndIsNotWrittenOver) {
    const struct Case {
        const char* file;
        std::vector<std::string> command;
    } cases[] = {
        {"kivo.ini", {"init"}},
        {"kivo.ini",
         {"account", "add", "Home", "--pop-server", "pop.example", "--pop-user", "u", "--password",
          "p", "--yes"}},
        {"Mail/In.d", {"ls", "In"}},
        {"Mail/In.d", {"delete", "In", "1"}},
    };
    for (const Case& c : cases) {
        Home home;
        ASSERT_EQ(home.Kivo({"ls", "In"}).status, 0);  // In gets its index
        MakeUnreadable(home / c.file);
        const ProcessResult r = home.Kivo(c.command);
        const std::string what = c.file + std::string(" by ") + c.command[0];
        EXPECT_EQ(r.status, 1) << what << "\n" << r.out;
        EXPECT_NE(r.err.find(fs::path(c.file).filename().string()), std::string::npos)
            << what << ": " << r.err;
        EXPECT_NE(r.err.find("Too many levels of symbolic links"), std::string::npos)
            << what << ": " << r.err;
        EXPECT_TRUE(StillUnreadable(home / c.file)) << what;
        EXPECT_FALSE(fs::exists(home / "Mail" / "Trash.mbx") &&
                     !test::ReadFile(home / "Mail" / "Trash.mbx").empty())
            << what << ": nothing went to the Trash";
    }
}

// A mailbox operation whose file operation fails says so and fails; the tree stays as it was.
TEST(FailedFiles, AFailedMailboxRenameIsReportedAndChangesNothing) {
    Home home;
    ASSERT_EQ(home.Kivo({"mailbox", "new", "Alpha"}).status, 0);
    fs::create_directories(home / "Mail" / "Beta.mbx" / "x");  // stops root too
    const ProcessResult r = home.Kivo({"mailbox", "rename", "Alpha", "Beta"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("Cannot rename \"Alpha\" to \"Beta\": ")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_regular_file(home / "Mail" / "Alpha.mbx"));
}

// An index that cannot be saved (a folder stands where its new text is written) is noted, and
// the command succeeds: what it changed is made and kept, and the index is built again on the
// next access (a script that retried on failure would delete or copy twice).
TEST(FailedFiles, AnIndexThatCannotBeSavedIsReported) {
    Home home;
    ASSERT_EQ(home.Kivo({"ls", "In"}).status, 0);
    fs::create_directories(home / "Mail" / "In.idx.tmp" / "x");
    const std::vector<std::string> commands[] = {{"ls", "In"}, {"delete", "In", "1"}};
    for (const std::vector<std::string>& command : commands) {
        const ProcessResult r = home.Kivo(command);
        EXPECT_EQ(r.status, 0) << command[0];
        EXPECT_EQ(r.err,
                  "kivo: note: the index of the mailbox In could not be saved (Is a directory); "
                  "the mailbox itself is fine and its index is built again when it is next "
                  "opened\n")
            << command[0];
    }
    EXPECT_EQ(test::ListedNumbers(home / "Mail" / "In.d"), "1\r\n");
}

}  // namespace
}  // namespace kivo
