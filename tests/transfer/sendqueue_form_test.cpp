// The queue form of an outgoing message: what QueueMessage writes into "out.mbx", what the
// send queue reads back from it, and how the run marks the messages it is done with.

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "mail/quotedprintable.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "transfer/outmarks.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TmsMessage Letter(std::string_view subject) {
    TmsMessage m;
    m.Sender().SetAddress("ann@example.org");
    m.Sender().SetName("Ann");
    m.Recipients().AddAddress("bob@example.org", "Bob");
    m.SetSubject(subject);
    m.Body() = {"Hello,", "From here on it is serious.", ".", "Ann"};
    return m;
}

Lines MessageOf(const fs::path& mbx, int n) {
    Lines lines;
    ExtractMsg(n, mbx, lines);
    return lines;
}

TEST(QueueForm, WritesTheQueueLinesAndReadsBackTheMessage) {
    test::TempDir dir;
    test::WriteFile(dir / "photo.png", std::string("\x89PNG\0\r\n", 7));
    TmsMessage m = Letter("plans");
    m.BCC().AddAddress("carol@example.org", "");
    m.BCC().AddAddress("dave@example.org", "Dave");
    TQueueOptions options;
    options.smtp = "smtp.example.org";
    options.signatureLines = 3;
    options.attachments = {dir / "photo.png", dir / "gone.txt"};
    const Lines lines = QueueLines(m, options);

    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(
        Lines(lines.begin(), lines.begin() + 4),
        (Lines{"", "From ???@??? ?\?/?\?/?\?\?? ?\?:?\?:?\?", "X-Sig-Local: 3", "Status: RQ"}));
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("X-SMTP: smtp.example.org"));
    EXPECT_TRUE(has("X-Bcc: carol@example.org,dave@example.org"));
    EXPECT_TRUE(has("Attachment Converted: \"" + (dir / "photo.png").string() + "\""));
    EXPECT_TRUE(has(">From here on it is serious.")) << "a body line must not split the mailbox";
    for (const std::string& line : lines) EXPECT_FALSE(StartsWithNoCase(line, "Bcc:")) << line;

    const TQueuedMessage back = ReadQueued(Lines(lines.begin() + 1, lines.end()));
    EXPECT_EQ(back.server, "smtp.example.org");
    EXPECT_EQ(back.message.Subject(), "plans");
    ASSERT_EQ(back.message.BCC().Count(), 2u);
    EXPECT_EQ(back.message.BCC().Items(1).Address(), "dave@example.org");
    // The missing file is left out; the existing one is attached whole; no queue line stays.
    ASSERT_EQ(back.message.Attachments().Count(), 1u);
    EXPECT_EQ(back.message.Attachments().Items(0).Data(), std::string("\x89PNG\0\r\n", 7));
    for (const std::string& line : back.message.Headers().Lines()) {
        EXPECT_FALSE(StartsWithNoCase(line, "X-SMTP") || StartsWithNoCase(line, "X-Bcc") ||
                     StartsWithNoCase(line, "X-Sig-Local"))
            << line;
    }
    for (const std::string& line : back.message.Body())
        EXPECT_FALSE(line.starts_with("Attachment Converted:")) << line;
}

// Dot lines reach the SMTP client as the user wrote them, a last "." line too.
TEST(QueueForm, DotLinesComeBackUnchanged) {
    TmsMessage m = Letter("dots");
    m.Body() = {".", "..", "text", "."};
    const Lines lines = QueueLines(m, {});
    const TQueuedMessage back = ReadQueued(Lines(lines.begin() + 1, lines.end()));
    EXPECT_EQ(back.message.Body(), (Lines{".", "..", "text", "."}));
}

// Whatever the text and however long the path, the attachment arrives: Out keeps the text as
// typed, and Out files written the older way (quoted-printable, long lines cut at 65
// characters with nothing marking the cut) still give the file.
TEST(QueueForm, AttachmentsOfEightBitMessagesAreReadBackWhole) {
    test::TempDir dir;
    const fs::path folder = dir / "a-rather-long-folder-name-for-testing" / "and-another-level";
    fs::create_directories(folder);
    const fs::path file = folder / "report-Q4.csv";
    test::WriteFile(file, "a,b\r\n1,2\r\n");
    TmsMessage m = Letter("csv");
    m.Body() = {"Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x91\x8B"};
    TQueueOptions options;
    options.attachments = {file};
    const Lines lines = QueueLines(m, options);
    const std::string attachmentLine = "Attachment Converted: \"" + file.string() + "\"";
    EXPECT_NE(std::find(lines.begin(), lines.end(), attachmentLine), lines.end());

    // The same message as older versions queued it: the header block, then the body
    // quoted-printable in wrap-only mode.
    Lines old(lines.begin() + 1, std::find(lines.begin() + 1, lines.end(), "") + 1);
    for (std::string& line : old) {
        if (line == "Content-Transfer-Encoding: 8bit")
            line = "Content-Transfer-Encoding: quoted-printable";
    }
    const Lines wrapped =
        EncodeQuotedPrintable(JoinLinesCrLf({m.Body()[0], attachmentLine}), true);
    ASSERT_GT(wrapped.size(), 3u) << "the old form cut the attachment line";
    old.insert(old.end(), wrapped.begin(), wrapped.end());

    for (const Lines& form : {Lines(lines.begin() + 1, lines.end()), old}) {
        const TQueuedMessage back = ReadQueued(form);
        EXPECT_EQ(back.message.Body(), m.Body());
        ASSERT_EQ(back.message.Attachments().Count(), 1u) << JoinLinesCrLf(form);
        EXPECT_EQ(back.message.Attachments().Items(0).Data(), "a,b\r\n1,2\r\n");
    }
}

// The Message-ID is fixed when the message is queued: each attempt to send it reads the same
// one; a message that brings its own keeps it.
TEST(QueueForm, TheMessageIdIsFixedWhenQueued) {
    const Lines lines = QueueLines(Letter("id"), {});
    const std::string id = HeaderValue("Message-ID:", lines);
    EXPECT_TRUE(id.starts_with("<") && id.ends_with("@example.org>")) << id;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TQueuedMessage back = ReadQueued(Lines(lines.begin() + 1, lines.end()));
        EXPECT_EQ(back.message.Headers().GetFieldValue("Message-ID"), id);
    }
    TmsMessage own = Letter("own");
    own.Headers().Add("Message-ID: <mine@example.org>");
    const Lines ownLines = QueueLines(own, {});
    EXPECT_EQ(HeaderValue("Message-ID:", ownLines), "<mine@example.org>");
    EXPECT_EQ(std::count_if(ownLines.begin(), ownLines.end(),
                            [](const std::string& l) { return StartsWithNoCase(l, "Message-ID:"); }),
              1);
}

TEST(QueueForm, QueueMessageAppendsToAnOutMailboxOfAnyLetterCase) {
    test::TempDir dir;
    test::WriteFile(dir / "Out.mbx", "");
    QueueMessage(Letter("one"), {}, dir.path());
    TQueueOptions defaultServer;
    defaultServer.smtp = "";
    QueueMessage(Letter("two"), defaultServer, dir.path());
    EXPECT_FALSE(fs::exists(dir / "out.mbx"));
    EXPECT_EQ(FindLastIndex(dir / "Out.mbx"), 2);
    const Lines second = MessageOf(dir / "Out.mbx", 2);
    EXPECT_EQ(HeaderValue("Subject:", second), "two");
    EXPECT_NE(std::find(second.begin(), second.end(), "X-SMTP: "), second.end())
        << "an empty server is still written: the default server then";
    EXPECT_EQ(ReadQueued(second).server, "");
}

// The marks of a run land on the messages it read, wherever they are in the file now.
TEST(QueueForm, MarksDoneMessagesInTheFileAsItIsNow) {
    test::TempDir dir;
    const fs::path out = dir / "out.mbx";
    for (const char* s : {"a", "b", "c"}) QueueMessage(Letter(s), {}, dir.path());
    const Lines a = MessageOf(out, 1), c = MessageOf(out, 3);
    // Meanwhile: another process compressed away "b" (rewriting the Status lines) and queued
    // "d", and "a" was queued a second time.
    Lines now = SplitLines(test::ReadFile(out));
    const std::vector<TLineRange> ranges = MessageRanges(now);
    now.erase(now.begin() + static_cast<std::ptrdiff_t>(ranges[1].begin),
              now.begin() + static_cast<std::ptrdiff_t>(ranges[1].end));
    for (std::string& line : now)
        if (line == "Status: RQ") line = "Status: R";
    test::WriteFile(out, JoinLinesCrLf(now));
    QueueMessage(Letter("d"), {}, dir.path());
    QueueMessage(Letter("a"), {}, dir.path());

    EXPECT_EQ(MarkDoneInOut(out, {a, c}), 2);
    ASSERT_EQ(FindLastIndex(out), 4);
    const Lines statuses = {
        HeaderValue("Status:", MessageOf(out, 1)), HeaderValue("Status:", MessageOf(out, 2)),
        HeaderValue("Status:", MessageOf(out, 3)), HeaderValue("Status:", MessageOf(out, 4))};
    EXPECT_EQ(statuses, (Lines{"RD", "RD", "RQ", "RQ"}));
    EXPECT_EQ(HeaderValue("Subject:", MessageOf(out, 3)), "d");

    EXPECT_EQ(MarkDoneInOut(dir / "missing.mbx", {a}), 0);
    EXPECT_FALSE(fs::exists(dir / "missing.mbx"));
}

}  // namespace
}  // namespace kivo
