#include "store/freename.h"

#include <gtest/gtest.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

TEST(NextNumberedName, CountsUpTheLastDigit) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"report", "report1"},
        {"report1", "report2"},
        {"report9", "report10"},
        {"report10", "report101"},
        {"report101", "report102"},
        {"a0", "a01"},
        {"", "1"},
        {"v2.", "v2.1"},
    };
    for (const auto& c : cases) EXPECT_EQ(NextNumberedName(c.in), c.out) << c.in;
}

TEST(FreeFileName, SkipsNamesTakenInAnyCase) {
    test::TempDir dir;
    for (const char* taken : {"att.txt", "ATT1.txt", "att2.TXT"}) test::WriteFile(dir / taken, "x");
    EXPECT_EQ(FreeFileName(dir.path(), "att", ".txt"), dir / "att3.txt");
    EXPECT_EQ(FreeFileName(dir.path(), "other", ".txt"), dir / "other.txt");
}

// One listing for a run: the names it hands out count as taken, as do the folder's own.
TEST(FreeNames, HandsOutEachNameOnceWithoutListingTheFolderAgain) {
    test::TempDir dir;
    for (const char* taken : {"att.txt", "ATT1.txt"}) test::WriteFile(dir / taken, "x");
    TFreeNames names(dir.path());
    EXPECT_EQ(names.Take("att", ".txt"), dir / "att2.txt");
    EXPECT_EQ(names.Take("Att", ".TXT"), dir / "Att3.TXT");
    EXPECT_EQ(names.Take("other", ".txt"), dir / "other.txt");
    EXPECT_EQ(names.Take("other", ".txt"), dir / "other1.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "att2.txt")) << "names only; the caller writes";
}

}  // namespace
}  // namespace kivo
