#pragma once
// The line-oriented TCP client under the POP3 and SMTP clients: resolve the server, connect,
// send command lines, read reply lines and dot-terminated responses, send message data. It
// never blocks the user interface: every wait runs the platform's event pump, so windows
// repaint and a Cancel button works, while TimeOut (seconds without progress) and the cancel
// flag end any wait. All errors are reported through OnError first, which may change the
// text, and then raised. It never interprets the protocol; that is for the clients above.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "net/hostlookup.h"
#include "net/transport.h"

namespace kivo {

class Platform;
class TagRas;

// Network errors; each carries the text OnError saw (and possibly changed).
class ESocketError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class ETimedOutError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class ECanceledError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// A negative protocol reply; the text is the server's reply line.
class EServerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// The server refused the log-in's user name or password; the text says so and quotes the
// server's reply. Refusals for other reasons (a mailbox in use, a server fault) stay
// EServerError.
class ELoginRefused : public EServerError {
  public:
    explicit ELoginRefused(std::string_view reply)
        : EServerError("The server refused the user name or password: " + std::string(reply)) {}
};
class EWinsockDLLError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kTimedOutText = "Operation timed out";
inline constexpr const char* kCanceledText = "Operation has been canceled";

// A countdown of whole seconds for one wait. Start does not clear the expired flag; only
// ResetExpired does. The clock can be replaced so tests decide when time passes.
class TTimeCounter {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    void SetClock(Clock clock) { clock_ = std::move(clock); }
    void Start(int seconds);
    void Restart() { Start(seconds_); }  // progress: the full time again
    void Stop() { running_ = false; }
    bool Running() const { return running_; }
    // True once a running countdown reached zero (and stays true until ResetExpired).
    bool Expired();
    void ResetExpired() { expired_ = false; }
    std::chrono::steady_clock::time_point Now() const;

  private:
    Clock clock_;
    int seconds_ = 0;
    bool running_ = false;
    bool expired_ = false;
    std::chrono::steady_clock::time_point deadline_{};
};

// The process-wide socket layer. POSIX sockets need no loading; the load count is kept as
// bookkeeping so a client can tell whether it was started.
class TagWinsock {
  public:
    static void Load();
    static void Unload();
    static bool Loaded();
    static int LoadCount();
};

class TagSocket {
  public:
    using TNotifyEvent = std::function<void(TagSocket& sender)>;
    using TmsErrorEvent = std::function<void(TagSocket& sender, std::string& msg)>;
    using TmsProgressEvent =
        std::function<void(TagSocket& sender, int perc, std::int64_t transferred)>;
    // Makes the transport of each new connection; plain TCP when empty.
    using TransportFactory = std::function<std::unique_ptr<TByteTransport>()>;

    explicit TagSocket(Platform& platform);
    virtual ~TagSocket();
    TagSocket(const TagSocket&) = delete;
    TagSocket& operator=(const TagSocket&) = delete;

    // Host name or address, optionally followed by ":" and a port number ("[::1]:110" for an
    // IPv6 address with a port).
    std::string Server;
    std::uint16_t DefaultPort = 0;
    int TimeOut = 60;
    TagRas* RAS = nullptr;  // borrowed; dialled in Connect, released in Disconnect
    TransportFactory MakeTransport;
    // Finds the server's addresses; the system's resolver when empty.
    THostResolver Resolver;

    TNotifyEvent OnOpen;
    TNotifyEvent OnClosing;
    TNotifyEvent OnClosed;
    TNotifyEvent OnCancel;
    TmsErrorEvent OnError;
    TmsProgressEvent OnProgress;

    bool WinsockLoaded() const { return winsockLoaded_; }
    void SetWinsockLoaded(bool loaded);

    virtual void ResetFlags();
    virtual int ReplyCode(std::string_view line) const;
    // Resolves the server, finds the port and creates the socket; LogIn connects it, trying
    // the server's addresses in the resolver's order.
    virtual void Connect();
    virtual void Disconnect();
    // Callable at any time, also from a handler that runs inside a wait.
    virtual void Cancel();

    bool Connected() const { return transport_ != nullptr; }
    const std::string& LastReply() const { return lastReply_; }
    const std::string& LocalHostName() const { return localHostName_; }
    // "host:port" of the server, for error texts that must say which server did what.
    std::string ServerName() const;
    std::uint16_t Port() const { return port_; }  // of the last Connect
    TTimeCounter& Counter() { return counter_; }

    // Turns the open connection into a TLS one: handshake and certificate check within
    // TimeOut, Cancel honoured. A failure closes the connection and raises ESocketError with
    // the reason; nothing is ever sent over a connection whose certificate failed.
    void StartTls(std::string_view trustFingerprint);

    // One reply line without its line end; returns ReplyCode of it.
    int ReadLine(std::string& line);
    // A reply that may span several "code-" lines; the code of the first, LastReply the last;
    // every line of it in `lines` when given.
    int ReadReply(std::vector<std::string>* lines = nullptr);
    void SendLine(std::string_view text);
    // Appends a response up to and including its CR LF "." CR LF line, bytes as received.
    // The response may not grow much past `sizeBound` (the message's size where known; 0:
    // the expected size, else kMaxResponseBytes).
    void ReceiveToStream(std::string& stream, std::int64_t expectedSize,
                         std::int64_t sizeBound = 0);
    // The same response handed to `sink` piece by piece as it arrives, so it is never held
    // whole: the bytes as received up to the line end before the closing "." line (that
    // line is no data). A sink that throws ends the reading; the connection is then out of
    // step and is closed.
    using TDataSink = std::function<void(std::string_view bytes)>;
    void ReceiveToSink(const TDataSink& sink, std::int64_t expectedSize,
                       std::int64_t sizeBound = 0);
    // Sends the bytes unchanged, firing OnProgress per chunk and (0, 0) at the end.
    void SendStream(std::string_view data);

    // A reply line longer than this is an error rather than a reply.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;
    // No single response may grow past this, whatever size the server announced.
    static constexpr std::int64_t kMaxResponseBytes = std::int64_t{1} << 30;
    // A multi-line reply may have at most this many lines.
    static constexpr int kMaxReplyLines = 10000;

  protected:
    // Opens the TCP connection of a created socket (first step of every LogIn): the first of
    // the server's addresses that connects wins; each has TimeOut to do so.
    void OpenConnection();
    // `where` follows the code's text: the host and port a connection was refused by.
    [[noreturn]] void RaiseSocketError(int code, std::string_view where = {});
    [[noreturn]] void RaiseSocketText(std::string text);
    [[noreturn]] void RaiseTimedOut();
    [[noreturn]] void RaiseCanceled();
    void SetServiceName(std::string name) { serviceName_ = std::move(name); }
    // The cancel request, for a client that ends its own dialogue after a cancel.
    bool CancelRequested() const { return cancel_; }
    void SetCancelRequest(bool on) { cancel_ = on; }
    Platform& GetPlatform() { return platform_; }
    std::string lastReply_;

  private:
    enum class WaitEnd { ready, canceled, timedOut, overdue };
    WaitEnd Wait(short events);
    void WaitOrRaise(short events);
    void RaiseUnlessReady(WaitEnd end);
    // Connects to one address: ioDone, or ioError with errno (ETIMEDOUT when its time ran
    // out and `last` is false; on the last address a time-out raises as any wait does).
    TIoResult ConnectTo(const TSocketAddress& address, bool last);
    void ResolveAddress(const std::string& host);
    void FindPort();
    // The port of the service name, else DefaultPort.
    std::uint16_t ServicePort();
    void ReceiveMore();
    // After bytes moved: lets the user interface run and honours Cancel and a lost connection.
    void AfterProgress();
    // Waits until the transport can go on, or raises for a closed connection or an error.
    void WaitForTransport(const TIoResult& result);
    void SendBytes(std::string_view data);
    void RequireConnection();
    // Bytes received for the largest allowed response to `expectedSize`.
    static std::int64_t ResponseLimit(std::int64_t expectedSize);
    // Whether the reply being read has taken longer than its whole allowance: TimeOut plus
    // a second per kSlowestBytesPerSecond of the bytes that really arrived (never of a size
    // the server announced), so a server that trickles a byte just under TimeOut cannot hold
    // a run much longer than TimeOut, however large it says the reply is.
    bool ReplyOverdue();
    [[noreturn]] void RaiseOverdue();
    struct TReplyClock;

  public:
    // The least average rate of a reply (after its first TimeOut).
    static constexpr std::int64_t kSlowestBytesPerSecond = 10 * 1024;

  private:

    Platform& platform_;
    std::unique_ptr<TByteTransport> transport_;
    std::string serviceName_;
    std::string localHostName_;
    std::vector<TSocketAddress> addresses_;
    std::uint16_t port_ = 0;
    TTimeCounter counter_;
    bool cancel_ = false;
    bool winsockLoaded_ = true;
    int winsockStarts_ = 0;
    // Received bytes not yet consumed, from inputPos_ on.
    std::string input_;
    std::size_t inputPos_ = 0;
    // The reply being read: since when, and the bytes of it that arrived.
    bool replyTimed_ = false;
    std::chrono::steady_clock::time_point replyStart_{};
    std::int64_t replyBytes_ = 0;
};

// How a mail connection is secured: not at all, upgraded in the dialogue (POP3 STLS, SMTP
// STARTTLS), or TLS from the first byte (POP3S, SMTPS).
enum class TSecurity { none, upgrade, implicit };

// The mail protocol clients' base: a socket client with the protocol's log-in and log-out.
class TmsMailBase : public TagSocket {
  public:
    using TagSocket::TagSocket;

    TSecurity Security = TSecurity::none;
    // The SHA-256 fingerprint of a certificate trusted as it is (a self-signed server).
    std::string TrustCert;

    // Connects the TCP socket and performs the greeting and log-in.
    virtual void LogIn() = 0;
    // Sends the protocol's QUIT.
    virtual void LogOut() = 0;
    // Connect and LogIn unless connected.
    void Open();
    // LogOut then Disconnect when connected; the socket is closed even when LogOut fails.
    void Close();
};

}  // namespace kivo
