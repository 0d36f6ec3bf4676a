#include "transfer/leaveonserver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using Lines = std::vector<std::string>;

TEST(LeaveOnServer, NewFileBlocksAndNewestEntryFirst) {
    test::TempDir dir;
    LeaveOnServerList list(dir / "lmos.dat");
    EXPECT_TRUE(list.Empty());
    list.SelectAccount("jo", "pop.a");
    list.Insert({"u1", "<1@a>", "Mon, 1 Jan 2026"});
    list.Insert({"u2", "<2@a>", ""});
    list.SelectAccount("jo", "pop.b");
    list.Insert({"u9", "<9@b>", "d"});
    list.Save();
    EXPECT_EQ(test::ReadFile(dir / "lmos.dat"),
              "Creator: Kivo, v1.0\r\n\r\n# USER: jo@pop.a\r\nu2\r\n<2@a>\r\n\r\nu1\r\n<1@a>\r\n"
              "Mon, 1 Jan 2026\r\n\r\n# USER: jo@pop.b\r\nu9\r\n<9@b>\r\nd\r\n\r\n");

    LeaveOnServerList again(dir / "lmos.dat");
    again.SelectAccount("jo", "pop.a");
    EXPECT_TRUE(again.Contains({"u1", "<1@a>", "Mon, 1 Jan 2026"}));
    EXPECT_TRUE(again.Remove({"u2", "<2@a>", ""}));
    EXPECT_FALSE(again.Contains({"u2", "<2@a>", ""}));
    EXPECT_TRUE(again.Contains({"u1", "<1@a>", "Mon, 1 Jan 2026"}));
    EXPECT_EQ(again.Lines().size(), 12u);

    // What is left on which server is the owner's business alone.
    struct stat st {};
    ASSERT_EQ(::stat((dir / "lmos.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(LeaveOnServer, MatchesWholeLinesInTheAccountsOwnBlockOnly) {
    test::TempDir dir;
    LeaveOnServerList list(dir / "lmos.dat");
    list.SelectAccount("jo", "pop.a");
    list.Insert({"uid-10", "<m@x>", "Tue"});
    list.SelectAccount("ajo", "pop.a");  // a user name that ends like another one
    list.Insert({"shared", "<list@x>", "Wed"});
    list.SelectAccount("jo", "pop.a");
    struct Case {
        LeaveOnServerEntry entry;
        bool seen;
        const char* why;
    } cases[] = {
        {{"uid-10", "<m@x>", "Tue"}, true, "the stored entry"},
        {{"uid-1", "<m@x>", "Tue"}, false, "a unique id that is a prefix of a stored one"},
        {{"uid-10", "<m@x", "Tue"}, false, "a Message-ID prefix"},
        {{"uid-10", "<m@x>", ""}, false, "an empty value matches only an empty line"},
        {{"shared", "<list@x>", "Wed"}, false, "the same message seen by another account"},
        {{"", "", ""}, false, "nothing identifies the message"},
    };
    for (const auto& c : cases) EXPECT_EQ(list.Contains(c.entry), c.seen) << c.why;
    EXPECT_FALSE(list.Remove({"shared", "<list@x>", "Wed"}));
    list.SelectAccount("ajo", "pop.a");
    EXPECT_TRUE(list.Contains({"shared", "<list@x>", "Wed"}));
}

TEST(LeaveOnServer, AppendsANewBlockToAnExistingFileAndSavesNothingEmpty) {
    test::TempDir dir;
    test::WriteFile(dir / "lmos.dat", "Creator: Kivo, v1.0\n\n# USER: a@b\nx\ny\nz\n");
    LeaveOnServerList list(dir / "lmos.dat");
    list.SelectAccount("c", "d");
    list.Insert({"1", "2", "3"});
    EXPECT_EQ(list.Lines(), (Lines{"Creator: Kivo, v1.0", "", "# USER: a@b", "x", "y", "z", "",
                                   "# USER: c@d", "1", "2", "3", ""}));
    list.SelectAccount("a", "b");
    EXPECT_TRUE(list.Contains({"x", "y", "z"}));

    LeaveOnServerList empty(dir / "none.dat");
    empty.Save();
    EXPECT_FALSE(std::filesystem::exists(dir / "none.dat"));
}

// Entries of mail the server no longer holds go, given the ids of all it holds; an entry
// without an id goes only when the server holds nothing; other accounts' blocks stay.
TEST(LeaveOnServer, DropsTheEntriesOfMailNoLongerOnTheServer) {
    test::TempDir dir;
    LeaveOnServerList list(dir / "lmos.dat");
    list.SelectAccount("ajo", "pop.a");
    list.Insert({"u1", "<1@x>", "Mon"});
    list.SelectAccount("jo", "pop.a");
    for (const char* uid : {"u1", "u2", "", "u4"}) list.Insert({uid, "<m@x>", uid});
    EXPECT_FALSE(list.SelectExisting("nobody", "pop.a"));
    ASSERT_TRUE(list.SelectExisting("jo", "pop.a"));
    EXPECT_EQ(list.RemoveUnlisted({"u2", " u9 "}), 2u);
    EXPECT_EQ(list.Lines(),
              (Lines{"Creator: Kivo, v1.0", "", "# USER: ajo@pop.a", "u1", "<1@x>", "Mon", "",
                     "# USER: jo@pop.a", "", "<m@x>", "", "u2", "<m@x>", "u2", ""}));
    EXPECT_EQ(list.RemoveUnlisted({}), 2u);
    // A batch goes in as its entries one by one would: the last one first.
    list.Insert(std::vector<LeaveOnServerEntry>{{"u5", "<5@x>", "Fri"}, {"u6", "<6@x>", "Sat"}});
    EXPECT_EQ(std::vector<std::string>(list.Lines().begin() + 8, list.Lines().end()),
              (Lines{"u6", "<6@x>", "Sat", "u5", "<5@x>", "Fri", ""}));
    list.SelectAccount("ajo", "pop.a");
    EXPECT_TRUE(list.Contains({"u1", "<1@x>", "Mon"}));
    EXPECT_EQ(list.Lines().size(), 15u);
}

}  // namespace
}  // namespace kivo
