#include "net/agsocket.h"

#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>

#include "net/sockerrors.h"
#include "tests/net/netfakes.h"

namespace kivo {
namespace {

using test::C;
using test::PumpPlatform;
using test::Raw;
using test::S;
using test::ScriptServer;

// The socket client with the bare TCP connection as its log-in.
class LineClient : public TmsMailBase {
  public:
    explicit LineClient(Platform& platform) : TmsMailBase(platform) {
        DefaultPort = 110;
        SetServiceName("pop3");
        TimeOut = 5;
    }
    void LogIn() override { OpenConnection(); }
    void LogOut() override {}
};

// Records the order of the client's events.
struct EventLog {
    std::vector<std::string> events;
    void Attach(TagSocket& socket) {
        socket.OnCancel = [this](TagSocket&) { events.push_back("cancel"); };
        socket.OnClosed = [this](TagSocket&) { events.push_back("closed"); };
        socket.OnError = [this](TagSocket&, std::string& msg) { events.push_back("error " + msg); };
    }
};

using Progress = std::vector<std::pair<int, std::int64_t>>;

// The (percent, bytes) pairs of every OnProgress call.
std::shared_ptr<Progress> RecordProgress(TagSocket& socket) {
    auto progress = std::make_shared<Progress>();
    socket.OnProgress = [progress](TagSocket&, int perc, std::int64_t at) {
        progress->emplace_back(perc, at);
    };
    return progress;
}

TEST(SocketErrors, WinsockNumbersAndTexts) {
    struct Case {
        int err;
        const char* text;
    } cases[] = {
        {ECONNREFUSED, "[10061] Connection refused"},
        {ECONNRESET, "[10054] Connection reset by peer"},
        {EPIPE, "[10054] Connection reset by peer"},  // a send after a reset
        {ETIMEDOUT, "[10060] Connection timed out"},
        {ENETUNREACH, "[10051] Network is unreachable"},
        {EHOSTUNREACH, "[10065] No Route to Host"},
        {EADDRINUSE, "[10048] Address already in use"},
        {EACCES, "[10013] Permission denied."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SocketErrorText(WinsockErrorFromErrno(c.err)), c.text) << c.err;
    EXPECT_EQ(SocketErrorText(WinsockErrorFromLookup(EAI_NONAME, 0)), "[11001] Host not found");
    EXPECT_EQ(SocketErrorText(WinsockErrorFromLookup(EAI_AGAIN, 0)),
              "[11002] Non-Authoritative Host not found");
    EXPECT_EQ(SocketErrorText(12345), "Error #12345");
}

TEST(SocketClient, PortFromServerOrServiceOrDefault) {
    struct Case {
        std::string suffix;
        int port;
        const char* why;
    } cases[] = {
        {":2110", 2110, "explicit port, no service lookup"},
        {":abc", 110, "not a number: the service lookup"},
        {":0", 110, "zero is no port"},
        {":70000", 110, "out of range"},
        {"", 110, "no port at all"},
    };
    PumpPlatform platform;
    for (const auto& c : cases) {
        LineClient client(platform);
        client.Server = "127.0.0.1" + c.suffix;
        client.Connect();
        EXPECT_EQ(client.Port(), c.port) << c.why;
        EXPECT_TRUE(client.Connected());
        client.Disconnect();
    }
}

TEST(SocketClient, RequiresServerAndConnection) {
    PumpPlatform platform;
    LineClient client(platform);
    std::string line;
    EXPECT_THROW(
        {
            try {
                client.Connect();
            } catch (const ESocketError& e) {
                EXPECT_STREQ(e.what(), "Server property is required");
                throw;
            }
        },
        ESocketError);
    EXPECT_THROW(client.ReadLine(line), ESocketError);
    EXPECT_THROW(client.SendLine("NOOP"), ESocketError);
}

TEST(SocketClient, RefusedConnectionIsASocketErrorAndOnErrorMayRewordIt) {
    PumpPlatform platform;
    LineClient client(platform);
    EventLog log;
    log.Attach(client);
    client.Server = "127.0.0.1:" + std::to_string(test::ClosedPort());
    client.Connect();
    // The code's text as ever, and who refused: the user sees which setting to look at.
    const std::string refused = "[10061] Connection refused (" + client.Server + ")";
    try {
        client.LogIn();
        FAIL() << "connected to a closed port";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.what(), refused);
    }
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0], "error " + refused);

    client.OnError = [](TagSocket&, std::string& msg) { msg = "Mail server is not running"; };
    client.Disconnect();
    client.ResetFlags();
    client.Connect();
    try {
        client.LogIn();
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_STREQ(e.what(), "Mail server is not running");
    }
}

TEST(SocketClient, UnknownHostIsReportedInWinsockTerms) {
    PumpPlatform platform;
    LineClient client(platform);
    client.Server = "no-such-host.invalid:25";
    try {
        client.Connect();
        FAIL();
    } catch (const ESocketError& e) {
        // 11001 where a resolver answers, 11002 where none can be asked; the name either way.
        EXPECT_EQ(std::string(e.what()).rfind("[1100", 0), 0u) << e.what();
        EXPECT_NE(std::string(e.what()).find("no-such-host.invalid"), std::string::npos)
            << e.what();
    }
}

// A transport whose connection to `silent` never completes, as a host that drops every packet;
// other addresses connect over plain TCP.
class SilentHostTransport : public TPlainTransport {
  public:
    explicit SilentHostTransport(std::string silent) : silent_(std::move(silent)) {
        if (::pipe(pipe_) != 0) throw std::runtime_error("no pipe");
    }
    ~SilentHostTransport() override {
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }
    int Handle() const override { return waiting_ ? pipe_[0] : TPlainTransport::Handle(); }
    TIoResult StartConnect(const TSocketAddress& address) override {
        waiting_ = address.Text() == silent_;
        if (waiting_) return {TIoResult::ioWantWrite, 0, 0};  // the read end never is writable
        return TPlainTransport::StartConnect(address);
    }
    TIoResult FinishConnect() override {
        if (waiting_) return {TIoResult::ioWantWrite, 0, 0};
        return TPlainTransport::FinishConnect();
    }

  private:
    std::string silent_;
    int pipe_[2] = {-1, -1};
    bool waiting_ = false;
};

// A resolver that answers every name with these addresses, in this order.
THostResolver Answer(std::vector<std::string> numbers) {
    return [numbers](const std::string&, std::vector<TSocketAddress>& found) {
        for (const std::string& number : numbers) {
            TSocketAddress address;
            if (!NumericAddress(number, address)) return kWsaHostNotFound;
            found.push_back(address);
        }
        return 0;
    };
}

TEST(SocketClient, Ipv6LiteralsConnect) {
    ScriptServer server({S("+OK over IPv6")}, 0, true);
    PumpPlatform platform;
    LineClient client(platform);
    client.Server = server.Address();  // "[::1]:port"
    client.Open();
    std::string line;
    client.ReadLine(line);
    EXPECT_EQ(line, "+OK over IPv6");
    EXPECT_EQ(client.Port(), server.Port());

    // A bare IPv6 literal has no port: the service's.
    LineClient bare(platform);
    bare.Server = "::1";
    bare.Connect();
    EXPECT_EQ(bare.Port(), 110);
}

TEST(SocketClient, AddressesAreTriedInOrderUntilOneConnects) {
    struct Case {
        const char* why;
        bool ipv6Server;
        std::vector<std::string> addresses;  // what the name resolves to
        const char* silent;                  // an address that never answers
        const char* error;                   // empty: the greeting arrives
    };
    const Case cases[] = {
        {"IPv6 refused, IPv4 answers", false, {"::1", "127.0.0.1"}, "", ""},
        {"IPv4 refused, IPv6 answers", true, {"127.0.0.1", "::1"}, "", ""},
        {"the first never answers: its time runs out, the next answers",
         false,
         {"192.0.2.1", "127.0.0.1"},
         "192.0.2.1",
         ""},
        {"every address refused: the last one's error",
         false,
         {"::1"},
         "",
         "[10061] Connection refused (mail.example:"},
        {"the last one never answers", false, {"::1", "192.0.2.1"}, "192.0.2.1", kTimedOutText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ScriptServer server({S("+OK found")}, 0, c.ipv6Server);
        PumpPlatform platform;
        test::FakeClock clock;
        platform.onPump = [&] { clock.Advance(1); };
        LineClient client(platform);
        client.Counter().SetClock(clock.Now());
        client.TimeOut = 10;
        client.Server = "mail.example:" + std::to_string(server.Port());
        client.Resolver = Answer(c.addresses);
        const std::string silent = c.silent;
        client.MakeTransport = [silent] { return std::make_unique<SilentHostTransport>(silent); };
        try {
            client.Open();
            std::string line;
            client.ReadLine(line);
            EXPECT_EQ(line, "+OK found");
            EXPECT_STREQ(c.error, "");
        } catch (const std::exception& e) {
            EXPECT_TRUE(*c.error && std::string(e.what()).starts_with(c.error)) << e.what();
        }
        if (*c.error) {
            // The server waits for a connection that never comes.
            LineClient waker(platform);
            waker.Server = server.Address();
            waker.Open();
        }
    }
}

TEST(SocketClient, StallMidLineTimesOutAndCloses) {
    ScriptServer server({Raw("+OK half a li"), test::Stall()});
    PumpPlatform platform;
    test::FakeClock clock;
    platform.onPump = [&] { clock.Advance(1); };
    LineClient client(platform);
    client.Counter().SetClock(clock.Now());
    client.TimeOut = 30;
    EventLog log;
    log.Attach(client);
    client.Server = server.Address();
    client.Open();
    std::string line;
    EXPECT_THROW(client.ReadLine(line), ETimedOutError);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(log.events, (std::vector<std::string>{"error Operation timed out", "closed"}));
    EXPECT_GE(platform.pumps, 30);
}

TEST(SocketClient, ProgressRestartsTheTimeOut) {
    // A line of 64 KB read a block at a time while the fake clock moves a second per pump:
    // the whole line takes longer than TimeOut, yet no wait lacks progress for that long, and
    // the reply's own deadline grows with what arrives (a second a KB). The server has sent
    // it all before the reading starts, so no read waits on the server's thread.
    const std::string reply = "+OK " + std::string(65536, 'x') + "\r\n";
    ScriptServer server({S("+OK hi"), Raw(reply)});
    PumpPlatform platform;
    test::FakeClock clock;
    platform.onPump = [&] { clock.Advance(1); };
    LineClient client(platform);
    client.Counter().SetClock(clock.Now());
    client.TimeOut = 2;
    client.Server = server.Address();
    client.Open();
    std::string line;
    client.ReadLine(line);
    server.Received();
    const auto start = clock.now;
    EXPECT_EQ(client.ReadLine(line), -1);  // "+OK" is no three-digit code
    EXPECT_EQ(line, reply.substr(0, reply.size() - 2));
    EXPECT_GT(clock.now - start, std::chrono::seconds(client.TimeOut));
}

TEST(SocketClient, CancelFromThePumpDuringAReply) {
    ScriptServer server({test::Stall()});
    PumpPlatform platform;
    LineClient client(platform);
    EventLog log;
    log.Attach(client);
    platform.onPump = [&] {
        if (platform.pumps == 3) client.Cancel();
    };
    client.Server = server.Address();
    client.Open();
    std::string line;
    EXPECT_THROW(client.ReadLine(line), ECanceledError);
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"cancel", "closed", "error Operation has been canceled"}));
}

TEST(SocketClient, ResetByPeerIsReportedAndCloses) {
    // The reset waits for a line, so it cannot race with the connection being set up.
    ScriptServer server({C("HELLO"), Raw("+OK par"), test::Reset()});
    PumpPlatform platform;
    LineClient client(platform);
    client.Server = server.Address();
    client.Open();
    client.SendLine("HELLO");
    std::string line;
    try {
        client.ReadLine(line);
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_STREQ(e.what(), "[10054] Connection reset by peer");
    }
    EXPECT_FALSE(client.Connected());
}

TEST(SocketClient, LongLinesAreReadWholeUpToALimit) {
    std::string longLine = "250 " + std::string(5000, 'a');
    std::string hostile(TagSocket::kMaxLineLength + 10, 'b');
    ScriptServer server({S(longLine), S("250 next"), Raw(hostile)});
    PumpPlatform platform;
    LineClient client(platform);
    client.Server = server.Address();
    client.Open();
    std::string line;
    EXPECT_EQ(client.ReadLine(line), 250);
    EXPECT_EQ(line, longLine);
    EXPECT_EQ(client.ReadLine(line), 250);
    EXPECT_EQ(line, "250 next");
    EXPECT_THROW(client.ReadLine(line), ESocketError);
    EXPECT_FALSE(client.Connected());
}

TEST(SocketClient, MultiLineReplies) {
    ScriptServer server(
        {S("220-first\n220-second\n220 last"), S("250 one line"), S("250-a\n250"), S("221 bye")});
    PumpPlatform platform;
    LineClient client(platform);
    client.Server = server.Address();
    client.Open();
    EXPECT_EQ(client.ReadReply(), 220);
    EXPECT_EQ(client.LastReply(), "220 last");
    EXPECT_EQ(client.ReadReply(), 250);
    EXPECT_EQ(client.LastReply(), "250 one line");
    EXPECT_EQ(client.ReadReply(), 250);  // a bare code ends a reply too
    EXPECT_EQ(client.LastReply(), "250");
    EXPECT_EQ(client.ReadReply(), 221);
}

TEST(SocketClient, ResponseEndsExactlyAtTheDotLineWhateverTheBlocks) {
    // Stuffed dot lines look like the end to a careless reader.
    std::string response = "Subject: x\r\n\r\n..\r\n...\r\n.x\r\nline\r\n.\r\n";
    std::string full = "+OK\r\n" + response + "+OK next\r\n";
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 4096u}) {
        ScriptServer server({Raw(full)}, chunk);
        PumpPlatform platform;
        LineClient client(platform);
        auto progress = RecordProgress(client);
        client.Server = server.Address();
        client.Open();
        std::string line;
        client.ReadLine(line);
        std::string stream;
        client.ReceiveToStream(stream, 0);
        EXPECT_EQ(stream, response) << "blocks of " << chunk;
        client.ReadLine(line);
        EXPECT_EQ(line, "+OK next");
        ASSERT_FALSE(progress->empty());
        EXPECT_EQ(progress->front(), std::make_pair(-1, std::int64_t{0}));
    }
}

TEST(SocketClient, EmptyResponseAndServerClosingMidResponse) {
    ScriptServer server({Raw(".\r\n"), Raw("partial\r\n")});
    PumpPlatform platform;
    LineClient client(platform);
    client.Server = server.Address();
    client.Open();
    std::string stream;
    client.ReceiveToStream(stream, 100);
    EXPECT_EQ(stream, ".\r\n");
    stream.clear();
    EXPECT_THROW(client.ReceiveToStream(stream, 100), ESocketError);
    EXPECT_FALSE(client.Connected());
}

TEST(SocketClient, SendStreamReportsProgressAndEnds) {
    std::string data(5000, 'z');
    data += "\r\n.\r\n";
    ScriptServer server({test::D()});
    PumpPlatform platform;
    LineClient client(platform);
    auto progress = RecordProgress(client);
    client.Server = server.Address();
    client.Open();
    client.SendStream(data);
    EXPECT_EQ(server.Data(), data);
    std::vector<std::pair<int, std::int64_t>> expected{{41, 2047}, {82, 4094}, {100, 5005}, {0, 0}};
    EXPECT_EQ(*progress, expected);
}

}  // namespace
}  // namespace kivo
