// What a large queued message costs a `kivo send` process: its attachment is held once, while
// the encoded message goes through a temporary file and out in pieces.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "mail/msmsg.h"
#include "tests/net/netfakes.h"
#include "tests/support/testutil.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

TEST(SendQueueMemory, ALargeMessageIsSentWithoutHoldingItsEncodingInMemory) {
    test::TempDir home;
    fs::create_directories(home / "Mail");
    // 40 MB of attachment: about 54 MB on the wire.
    constexpr std::size_t kAttachment = 40u << 20;
    {
        std::string bytes(kAttachment, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        test::WriteFile(home / "big.bin", bytes);
    }
    std::vector<test::Step> steps{test::S("220 hi"), test::Step{test::Step::client, "HELO *"},
                                  test::S("250 ok"), test::C("MAIL FROM:<ann@example.org>"),
                                  test::S("250 ok"), test::C("RCPT TO:<bob@example.org>"),
                                  test::S("250 ok"), test::C("DATA"),
                                  test::S("354 go"), test::D(),
                                  test::S("250 ok"), test::C("QUIT"),
                                  test::S("221 bye")};
    test::ScriptServer server(steps);
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nSMTP=" + server.Address() + "\r\n");
    TmsMessage m;
    m.Sender().SetAddress("ann@example.org");
    m.Recipients().AddAddress("bob@example.org", "Bob");
    m.SetSubject("big");
    m.Body() = {"see attached"};
    TQueueOptions options;
    options.smtp = "";
    options.attachments = {home / "big.bin"};
    QueueMessage(m, options, home / "Mail");

    const test::ProcessResult r = test::RunKivoIn(home.path(), {"send"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    const std::string data = server.Data();
    EXPECT_GT(data.size(), kAttachment * 4 / 3);
    EXPECT_TRUE(data.ends_with("\r\n.\r\n"));
#ifndef __SANITIZE_ADDRESS__
    // (The address sanitizer's quarantine holds freed memory: the peak says nothing there.)
    // The attachment itself plus the program: the 54 MB encoding is never held, let alone
    // several times.
    EXPECT_LT(children.ru_maxrss, static_cast<long>((kAttachment >> 10) + 32 * 1024))
        << "kilobytes held at the peak";
#endif
}

}  // namespace
}  // namespace kivo
