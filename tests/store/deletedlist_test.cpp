// The deleted list belongs to the mailbox file it was written for: never applied to another
// file of that name, to contents since replaced, or to messages appended after it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "base/files.h"
#include "store/deletedlist.h"
#include "store/mailboxlock.h"
#include "store/transferintent.h"
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

// A finished move whose target was not settled yet keeps its record; the mark it stands for
// is made once only, so a source file later written again with the same bytes (and a new
// deleted list) keeps its messages.
TEST(DeletedList, AMoveLeftByAKilledProgramIsMarkedOnce) {
    TempDir dir;
    const TMailboxFiles source = TMailboxFiles::Of(dir / "X");
    const TMailboxFiles target = TMailboxFiles::Of(dir / "B");
    const std::string messages = test::NumberedMailbox(3);
    WriteFile(source.Mbx, messages);
    WriteFile(target.Mbx, messages);
    const fs::path done = TTransferRecord::DonePath(source);
    {
        const int fd = ::open(source.Mbx.c_str(), O_RDONLY);
        TTransferRecord{"Kivo transfer 1-2-3", target.Mbx, TMailboxState::Read(fd), {1, 2}}
            .Write(done);
        ::close(fd);
    }
    // The target's append is still unsettled and points at the record.
    WriteFile(AppendRecordPath(target.Mbx), "0 1\nkeep-if Kivo transfer 1-2-3\t" +
                                                done.string() + "\n");
    auto settle = [&] {
        const int fd = ::open(source.Mbx.c_str(), O_RDWR);
        const TTransferSettled settled = SettleTransfer(source, fd);
        ::close(fd);
        return settled;
    };
    EXPECT_EQ(settle(), TTransferSettled::Marked);
    EXPECT_EQ(Loaded(source), (std::vector<int>{1, 2}));
    EXPECT_TRUE(fs::exists(done)) << "kept while the target waits";

    fs::remove(source.Del);
    const int fd = ::open(source.Mbx.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_EQ(::write(fd, messages.data(), messages.size()), static_cast<ssize_t>(messages.size()));
    ::close(fd);
    EXPECT_EQ(settle(), TTransferSettled::None);
    EXPECT_EQ(Loaded(source), std::vector<int>{});
}

}  // namespace
}  // namespace kivo
