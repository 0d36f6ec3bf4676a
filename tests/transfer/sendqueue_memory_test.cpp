// What a large queued message costs a `kivo send` process: an attachment is held once while the
// encoded message goes through a temporary file and out in pieces; a message queued inline is
// held a few times, never the dozen it once was.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "mail/msmsg.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

class SendQueueMemory : public testing::Test {
  protected:
    SendQueueMemory() { fs::create_directories(home / "Mail"); }

    // Queues the message to a scripted server, runs `kivo send` and returns the child's peak
    // resident set in kilobytes (the largest of this test's children: run each test in a
    // process of its own, as ctest does, or the largest first); the server keeps the data.
    long SendAndMeasure(TmsMessage& m, TQueueOptions options) {
        test::WriteFile(home / "kivo.ini", "[Mail]\r\nSMTP=" + server.Address() + "\r\n");
        m.Sender().SetAddress("ann@example.org");
        m.Recipients().AddAddress("bob@example.org", "Bob");
        m.SetSubject("big");
        options.smtp = "";
        QueueMessage(m, options, home / "Mail");
        const test::ProcessResult r = test::RunKivoIn(home.path(), {"send"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        rusage children{};
        ::getrusage(RUSAGE_CHILDREN, &children);
        EXPECT_TRUE(server.Data().ends_with("\r\n.\r\n"));
        return children.ru_maxrss;
    }

    test::TempDir home;
    test::ScriptServer server{{test::S("220 hi"), test::Step{test::Step::client, "HELO *"},
                               test::S("250 ok"), test::C("MAIL FROM:<ann@example.org>"),
                               test::S("250 ok"), test::C("RCPT TO:<bob@example.org>"),
                               test::S("250 ok"), test::C("DATA"), test::S("354 go"), test::D(),
                               test::S("250 ok"), test::C("QUIT"), test::S("221 bye")}};
};

TEST_F(SendQueueMemory, AnAttachmentIsHeldOnceAndItsEncodingNever) {
    // 40 MB of attachment: about 54 MB on the wire.
    constexpr std::size_t kAttachment = 40u << 20;
    {
        std::string bytes(kAttachment, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        test::WriteFile(home / "big.bin", bytes);
    }
    TmsMessage m;
    m.Body() = {"see attached"};
    TQueueOptions options;
    options.attachments = {home / "big.bin"};
    const long peak = SendAndMeasure(m, options);
    EXPECT_GT(server.Data().size(), kAttachment * 4 / 3);
#ifndef __SANITIZE_ADDRESS__
    // (The address sanitizer's quarantine holds freed memory: the peak says nothing there.)
    // The attachment itself plus the program.
    EXPECT_LT(peak, static_cast<long>((kAttachment >> 10) + 32 * 1024))
        << "kilobytes held at the peak";
#else
    (void)peak;
#endif
}

TEST_F(SendQueueMemory, AMessageQueuedInlineIsHeldAFewTimesAtMost) {
    // 16 MB of text lines in the body, queued in Out as they are.
    constexpr std::size_t kLines = 200000;
    TmsMessage m;
    m.Body().assign(kLines, std::string(78, 'q'));
    const long peak = SendAndMeasure(m, {});
    EXPECT_GT(server.Data().size(), kLines * 80);
#ifndef __SANITIZE_ADDRESS__
    // Out as the run read it, the decoded message, and the mailbox read again to mark it:
    // about 7 times its size with the program here, where it used to be over 12.
    EXPECT_LT(peak, static_cast<long>(10 * (kLines * 80 >> 10))) << "kilobytes held at the peak";
#else
    (void)peak;
#endif
}

}  // namespace
}  // namespace kivo
