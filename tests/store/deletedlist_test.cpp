// The deleted list belongs to the mailbox file it was written for: never applied to another
// file of that name, to contents since replaced, or to messages appended after it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "store/deletedlist.h"
#include "store/mailboxlock.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

std::vector<int> Loaded(const TMailboxFiles& files) {
    const int fd = ::open(files.Mbx.c_str(), O_RDONLY);
    const std::vector<int> numbers = TDeletedList::Load(files, fd).Numbers();
    ::close(fd);
    return numbers;
}

TEST(DeletedList, AppliesOnlyToTheFileItWasWrittenFor) {
    struct Case {
        const char* why;
        std::function<void(const fs::path& mbx)> change;
        std::vector<int> kept;
    } cases[] = {
        {"unchanged", [](const fs::path&) {}, {2, 3}},
        {"messages appended", [](const fs::path& mbx) {
             WriteFile(mbx, test::ReadFile(mbx) + test::NumberedMailbox(2));
         }, {2, 3}},
        {"emptied and filled again (same file)", [](const fs::path& mbx) {
             const std::string text = test::NumberedMailbox(5, "R");
             const int fd = ::open(mbx.c_str(), O_WRONLY | O_TRUNC);
             ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
             ::close(fd);
         }, {}},
        {"removed and made again", [](const fs::path& mbx) {
             fs::remove(mbx);
             WriteFile(mbx, test::NumberedMailbox(4, "R"));
         }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TempDir dir;
        const TMailboxFiles files = TMailboxFiles::Of(dir / "Box");
        WriteFile(files.Mbx, test::NumberedMailbox(3));
        {
            TMailboxLock lock(files);
            TDeletedList list;
            list.Add(2);
            list.Add(3);
            list.Add(9);  // no such message: never written
            list.Save(files, lock.fd());
        }
        c.change(files.Mbx);
        EXPECT_EQ(Loaded(files), c.kept);
        // Appended messages never take over numbers of the list.
        WriteFile(files.Mbx, test::ReadFile(files.Mbx) + test::NumberedMailbox(6));
        EXPECT_EQ(Loaded(files), c.kept);
    }
}

TEST(DeletedList, AnOldUnstampedListIsAppliedWithinTheFileAndStampedWhenSaved) {
    TempDir dir;
    const TMailboxFiles files = TMailboxFiles::Of(dir / "Box");
    WriteFile(files.Mbx, test::NumberedMailbox(3));
    WriteFile(files.Del, "3\r\n7\r\n");
    EXPECT_EQ(Loaded(files), std::vector<int>{3});
    {
        TMailboxLock lock(files);  // a stale list is removed here; an old one stays
        TDeletedList list = TDeletedList::Load(files, lock.fd());
        EXPECT_TRUE(list.Unstamped());
        EXPECT_EQ(list.Ignored(), 1);
        list.Save(files, lock.fd());
    }
    EXPECT_TRUE(test::ReadFile(files.Del).starts_with("Mailbox v2:"));
    EXPECT_EQ(test::ListedNumbers(files.Del), "3\r\n");
    // Now stamped: emptying the file makes it stale, and the next lock removes it.
    ::truncate(files.Mbx.c_str(), 0);
    { TMailboxLock lock(files); EXPECT_TRUE(lock.Recovered().staleList); }
    EXPECT_FALSE(fs::exists(files.Del));
}

}  // namespace
}  // namespace kivo
