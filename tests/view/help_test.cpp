// The help window: Contents, Back, links between pages and the replacement page.

#include <gtest/gtest.h>

#include <set>

#include "tests/support/testutil.h"
#include "tests/view/viewfakes.h"
#include "view/FHelp.h"
#include "view/helppages.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

struct RecordingHelpView : TFrmHelpView {
    std::vector<std::string> shown;  // file names, or "replacement"
    std::string font;
    int size = 0;
    void SetDefaultFont(std::string_view name, int points) override {
        font = name;
        size = points;
    }
    void LoadFile(const fs::path& file) override { shown.push_back(file.filename().string()); }
    void LoadHtml(std::string_view html) override {
        EXPECT_EQ(HelpReplacementPage(), html);
        shown.push_back("replacement");
    }
};

struct HelpFixture : ::testing::Test {
    test::TempDir dir;
    fs::path folder = dir / "Help";
    RecordingHelpView view;
    test::OpenRecorder platform;
    TFrmHelp help{folder, view, platform};
};

TEST_F(HelpFixture, WithoutAHelpFolderTheReplacementPageShows) {
    help.Show("Verdana");
    help.ContentsClick();
    EXPECT_EQ((std::vector<std::string>{"replacement", "replacement"}), view.shown);
    EXPECT_EQ("Verdana", view.font);
    EXPECT_EQ(10, view.size);
    EXPECT_TRUE(help.History().empty());
    EXPECT_EQ(0u,
              HelpReplacementPage().find("<b>Help file (help\\index.html) not found!<b><br><br>"));
}

TEST_F(HelpFixture, BackReturnsToThePreviousPageOrToTheReplacementPage) {
    WriteHelpPages(folder);
    help.Show("Arial");
    help.BackClick();
    EXPECT_EQ((std::vector<std::string>{"index.html"}), view.shown) << "Back on the first page";
    EXPECT_TRUE(help.LinkClick("reading.html"));
    EXPECT_TRUE(help.LinkClick("writing.html#queue"));
    ASSERT_EQ(3u, help.History().size());
    EXPECT_EQ(folder / "writing.html", help.History().front());
    help.BackClick();
    EXPECT_EQ("reading.html", view.shown.back());
    EXPECT_EQ(2u, help.History().size());
    fs::remove(folder / "index.html");
    help.BackClick();
    EXPECT_EQ("replacement", view.shown.back()) << "a page deleted after it was visited";
    EXPECT_TRUE(help.History().empty());
}

TEST_F(HelpFixture, LinksStayInTheHelpFolderOrGoToTheBrowser) {
    WriteHelpPages(folder);
    test::WriteFile(dir / "secret.html", "x");
    help.ContentsClick();
    EXPECT_FALSE(help.LinkClick("../secret.html"));
    EXPECT_FALSE(help.LinkClick("file:///etc/passwd"));
    EXPECT_FALSE(help.LinkClick("/etc/passwd"));
    EXPECT_TRUE(help.LinkClick("https://kivo.example.org/"));
    EXPECT_EQ((std::vector<std::string>{"https://kivo.example.org/"}), platform.opened);
    EXPECT_EQ(1u, help.History().size());
    EXPECT_FALSE(help.LinkClick("nosuch.html"));
    EXPECT_EQ("replacement", view.shown.back());
}

TEST(HelpPages, EveryLinkBetweenPagesLeadsToAPage) {
    std::set<std::string> names;
    for (const THelpPage& page : HelpPages()) names.insert(std::string(page.FileName));
    ASSERT_TRUE(names.contains("index.html"));
    for (const THelpPage& page : HelpPages()) {
        std::size_t pos = 0;
        while ((pos = page.Html.find("href=\"", pos)) != std::string_view::npos) {
            pos += 6;
            const std::string_view target = page.Html.substr(pos, page.Html.find('"', pos) - pos);
            EXPECT_TRUE(names.contains(std::string(target))) << page.FileName << " -> " << target;
        }
    }
}

TEST(HelpPages, AreWrittenAgainWhenChangedOrMissing) {
    test::TempDir dir;
    WriteHelpPages(dir / "Help");
    test::WriteFile(dir / "Help" / "index.html", "old");
    fs::remove(dir / "Help" / "reading.html");
    WriteHelpPages(dir / "Help");
    for (const THelpPage& page : HelpPages())
        EXPECT_EQ(page.Html, test::ReadFile(dir / "Help" / std::string(page.FileName)));
}

}  // namespace
}  // namespace kivo
