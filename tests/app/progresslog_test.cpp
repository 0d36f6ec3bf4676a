#include "app/progresslog.h"

#include <gtest/gtest.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

const DateTime kWhen{2026, 2, 3, 14, 5, 9};

TProgressLog FixedLog() {
    return TProgressLog([] { return kWhen; });
}

TEST(ProgressLog, EachLevelAddsItsFragments) {
    struct Case {
        int level;
        std::vector<std::string> added;
    } cases[] = {
        {0, {"<br><font size=\"+1\" color=\"#000000\">03/02/2026 14:05:09</font><br>", "T<br>"}},
        {1,
         {"<br><font size=\"+1\" color=\"#006600\">Progress on 03/02/2026 14:05:09</font><br>",
          "T<br>"}},
        {2,
         {"<br><font size=\"+1\" color=\"#660000\">Error on 03/02/2026 14:05:09</font><br>",
          "T<br>"}},
        {3, {"<ul><li><b>T</b></ul><br>"}},
        // A level nobody defined is still logged, as a plain entry.
        {7, {"<br><font size=\"+1\" color=\"#000000\">03/02/2026 14:05:09</font><br>", "T<br>"}},
    };
    for (const Case& c : cases) {
        TProgressLog log = FixedLog();
        log.ErrorLevel(c.level, "T");
        std::vector<std::string> expected{"<b>Progress and error messages</b><br><br>"};
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(log.Fragments(), expected) << "level " << c.level;
        EXPECT_EQ(log.LastLevel(), c.level);
    }
}

TEST(ProgressLog, EmptyTextOnlySetsTheLevelAndTheWindowCommandsClearIt) {
    TProgressLog log = FixedLog();
    log.ErrorLevel(1, "Connecting...");
    const auto revision = log.Revision();
    log.ErrorLevel(2, "");
    EXPECT_EQ(log.Fragments().size(), 3u);
    EXPECT_EQ(log.Revision(), revision);
    EXPECT_EQ(log.LastLevel(), 2);

    log.ToggleWindow();  // F12
    EXPECT_TRUE(log.WindowVisible());
    EXPECT_EQ(log.LastLevel(), 0);
    log.SetLastLevel(2);
    log.ToggleWindow();
    EXPECT_FALSE(log.WindowVisible());
    EXPECT_EQ(log.LastLevel(), 0);
    log.SetLastLevel(1);
    log.ShowWindow();  // "&View progress messages..." never hides it
    log.ShowWindow();
    EXPECT_TRUE(log.WindowVisible());
    EXPECT_EQ(log.LastLevel(), 0);
}

TEST(ProgressLog, FragmentsAsPlainText) {
    struct Case {
        const char* html;
        const char* text;
    } cases[] = {
        {"Sent<br>", "Sent\n"},
        {"<ul><li><b>5 messages left on pop.example.com</b></ul><br>",
         "  5 messages left on pop.example.com\n"},
        {"a &lt;b&gt; &amp; &quot;c&quot;&nbsp;d &copy;", "a <b> & \"c\" d &copy;"},
        {"<BR/>x<br />", "\nx\n"},
        {"cut <font", "cut "},  // an unclosed tag shows nothing rather than markup
    };
    for (const Case& c : cases) EXPECT_EQ(LogFragmentText(c.html), c.text) << c.html;
}

TEST(ProgressLog, CopyTakesTheSelectionOrEverything) {
    TProgressLog log = FixedLog();
    log.ErrorLevel(2, "Could not connect");
    log.ErrorLevel(3, "Operation canceled.");
    const std::string all =
        "Progress and error messages\n\n\nError on 03/02/2026 14:05:09\nCould not connect\n"
        "  Operation canceled.\n";
    EXPECT_EQ(log.CopyText(), all);
    EXPECT_EQ(log.CopyText(2, 3), "Could not connect\n  Operation canceled.\n");
    EXPECT_EQ(log.CopyText(3, 2), all);   // an empty selection
    EXPECT_EQ(log.CopyText(2, 99), all);  // a selection past the end
}

TEST(ProgressLog, SaveWritesAnHtmlPageAndReplacesAnOldFile) {
    test::TempDir dir;
    TProgressLog log = FixedLog();
    log.ErrorLevel(1, "Checking <i>pop.example.com</i>");
    test::WriteFile(dir / "log.html", std::string(100000, '#'));
    log.Save(dir / "log.html");
    const std::string saved = test::ReadFile(dir / "log.html");
    EXPECT_EQ(saved.find("###"), std::string::npos);
    EXPECT_NE(saved.find("<html>"), std::string::npos);
    EXPECT_NE(saved.find(log.Html()), std::string::npos);
    EXPECT_NE(saved.find("</html>"), std::string::npos);
    EXPECT_THROW(log.Save(dir / "missing" / "log.html"), std::system_error);
}

}  // namespace
}  // namespace kivo
