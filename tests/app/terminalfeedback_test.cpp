// The progress log on the terminal: what `kivo check` and `kivo send` print on stderr.

#include <gtest/gtest.h>

#include <sstream>

#include "app/terminalfeedback.h"
#include "base/platform.h"

namespace kivo {
namespace {

TEST(TerminalFeedback, EntriesAsTextLines) {
    HeadlessPlatform platform;
    std::ostringstream err;
    TTerminalFeedback feedback(platform, err);
    feedback.ErrorLevel(1, "Connecting to pop.example.org POP server for Work...");
    feedback.ErrorLevel(2, "Cannot connect to pop.example.org POP server for Work<br>\r\n"
                           "[10061] Connection refused");
    feedback.ErrorLevel(3, "No messages on a &amp; b.");
    feedback.ErrorLevel(0, "");
    feedback.ShowTip("Out mailbox is empty -\nnothing to send (e61)");
    EXPECT_EQ(err.str(),
              "Connecting to pop.example.org POP server for Work...\n"
              "error: Cannot connect to pop.example.org POP server for Work\n"
              "  [10061] Connection refused\n"
              "  No messages on a & b.\n"
              "Out mailbox is empty - nothing to send (e61)\n");
    EXPECT_EQ(feedback.Errors(), 1);
    EXPECT_EQ(feedback.Tips(), 1);
    EXPECT_EQ(feedback.LastLevel(), 0) << "an empty entry only sets the level";
}

}  // namespace
}  // namespace kivo
