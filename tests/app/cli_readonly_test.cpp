// kivo ls and show on a program folder the user may not write, as when browsing a backup:
// the index is built in memory, nothing is saved, and a note says so.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

const char* const kMailbox =
    "From a@example.com 01/02/2024 10:00:00\r\nSubject: one\r\nStatus: U\r\n\r\nfirst\r\n"
    "From a@example.com 01/02/2024 10:00:00\r\nSubject: two\r\nStatus: U\r\n\r\nsecond\r\n";

// A copy of a program folder that cannot be written: a read-only file system of its own for
// root (whom permissions do not stop), a folder without write permission for anyone else.
class ReadOnlyCopy {
  public:
    ReadOnlyCopy(const fs::path& from, const fs::path& at) : at_(at) {
        fs::create_directories(at);
        if (::geteuid() == 0) {
            if (::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") != 0) return;
            mounted_ = true;
            fs::copy(from, at, fs::copy_options::recursive);
            ready_ = ::mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        } else {
            fs::copy(from, at, fs::copy_options::recursive);
            for (const auto& entry : fs::recursive_directory_iterator(at))
                fs::permissions(entry.path(), fs::perms::all & ~fs::perms::owner_write &
                                                  ~fs::perms::group_write &
                                                  ~fs::perms::others_write);
            fs::permissions(at, fs::perms::owner_read | fs::perms::owner_exec);
            ready_ = true;
        }
    }
    ~ReadOnlyCopy() {
        if (mounted_) {
            ::umount2(at_.c_str(), MNT_DETACH);
        } else if (ready_) {
            for (const auto& entry : fs::recursive_directory_iterator(at_))
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
            fs::permissions(at_, fs::perms::owner_write, fs::perm_options::add);
        }
    }
    bool Ready() const { return ready_; }

  private:
    fs::path at_;
    bool mounted_ = false;
    bool ready_ = false;
};

TEST(KivoReadOnly, LsAndShowUseTheIndexInMemoryAndSayItIsNotSaved) {
    test::TempDir dir;
    const fs::path home = dir / "home";
    ASSERT_EQ(test::RunKivo({"--home", home.string(), "init"}).status, 0);
    test::WriteFile(home / "Mail" / "X.mbx", kMailbox);
    ReadOnlyCopy backup(home, dir / "backup");
    if (!backup.Ready()) GTEST_SKIP() << "no read-only file system can be made here";
    const std::string b = (dir / "backup").string();

    const test::ProcessResult ls = test::RunKivo({"--home", b, "ls", "X"});
    EXPECT_EQ(ls.status, 0) << ls.err;
    EXPECT_NE(ls.out.find("1\t0\t1\t0\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("\ttwo\t"), std::string::npos) << ls.out;
    EXPECT_NE(ls.err.find("kivo: note: " + b +
                          "/Mail is read-only; the index of X is used in "
                          "memory and not saved"),
              std::string::npos)
        << ls.err;

    const test::ProcessResult show = test::RunKivo({"--home", b, "show", "X", "2"});
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find("Subject: two\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("\nsecond\n"), std::string::npos) << show.out;
    EXPECT_NE(show.err.find("is read-only"), std::string::npos) << show.err;

    // A system mailbox never written is empty, not an error.
    const test::ProcessResult trash = test::RunKivo({"--home", b, "ls", "Trash"});
    EXPECT_EQ(trash.status, 0) << trash.err;
    EXPECT_EQ(trash.out, "");

    // Changing commands still fail and say why.
    const test::ProcessResult del = test::RunKivo({"--home", b, "delete", "X", "1"});
    EXPECT_EQ(del.status, 1);
    EXPECT_FALSE(fs::exists(dir / "backup" / "Mail" / "X.idx"));
    EXPECT_EQ(test::ReadFile(dir / "backup" / "Mail" / "X.mbx"), kMailbox);
}

}  // namespace
}  // namespace kivo
