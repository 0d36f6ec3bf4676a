#include "net/agsocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>

#include "base/bytes.h"
#include "base/platform.h"
#include "net/agRasCmp.h"
#include "net/hostlookup.h"
#include "net/sockerrors.h"
#include "net/tlstransport.h"

namespace kivo {

namespace {

// How long one poll() may sleep before the event pump runs again.
constexpr int kPollSliceMs = 20;

std::atomic<int>& WinsockCount() {
    static std::atomic<int> count{0};
    return count;
}

std::string HostPart(const std::string& server) {
    return SplitServer(server).host;
}

}  // namespace

// --- TTimeCounter -------------------------------------------------------------------------

std::chrono::steady_clock::time_point TTimeCounter::Now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void TTimeCounter::Start(int seconds) {
    seconds_ = seconds;
    deadline_ = Now() + std::chrono::seconds(seconds);
    running_ = true;
}

bool TTimeCounter::Expired() {
    if (running_ && Now() >= deadline_) expired_ = true;
    return expired_;
}

// --- TagWinsock ---------------------------------------------------------------------------

void TagWinsock::Load() {
    ++WinsockCount();
}
void TagWinsock::Unload() {
    int count = WinsockCount().load();
    while (count > 0 && !WinsockCount().compare_exchange_weak(count, count - 1)) {
    }
}
bool TagWinsock::Loaded() {
    return WinsockCount().load() > 0;
}
int TagWinsock::LoadCount() {
    return WinsockCount().load();
}

// --- TagSocket ----------------------------------------------------------------------------

TagSocket::TagSocket(Platform& platform) : platform_(platform) {}

TagSocket::~TagSocket() {
    transport_.reset();
    for (; winsockStarts_ > 0; --winsockStarts_) TagWinsock::Unload();
}

void TagSocket::SetWinsockLoaded(bool loaded) {
    winsockLoaded_ = loaded;
    if (!loaded) {
        Disconnect();
        for (; winsockStarts_ > 0; --winsockStarts_) TagWinsock::Unload();
    }
}

void TagSocket::ResetFlags() {
    cancel_ = false;
    counter_.ResetExpired();
    counter_.Stop();
}

int TagSocket::ReplyCode(std::string_view line) const {
    int code = 0;
    if (line.size() < 3 || !ParseInt(line.substr(0, 3), code)) return -1;
    return code;
}

void TagSocket::Connect() {
    if (RAS) RAS->Dial();
    if (OnOpen) OnOpen(*this);
    if (Server.empty()) RaiseSocketText("Server property is required");
    if (!winsockLoaded_) {
        std::string text = "Winsock is not loaded";
        throw EWinsockDLLError(text);
    }
    TagWinsock::Load();
    ++winsockStarts_;

    std::string host = HostPart(Server);
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        localHostName_ = name;
    else
        localHostName_ = host;

    addresses_.clear();
    TSocketAddress literal;
    if (NumericAddress(host, literal))
        addresses_.push_back(literal);
    else
        ResolveAddress(host);
    FindPort();

    input_.clear();
    inputPos_ = 0;
    try {
        transport_ = MakeTransport ? MakeTransport() : std::make_unique<TPlainTransport>();
    } catch (const std::system_error& e) {
        RaiseSocketError(WinsockErrorFromErrno(e.code().value()));
    }
}

void TagSocket::ResolveAddress(const std::string& host) {
    THostLookup lookup(host, Resolver);
    counter_.Start(TimeOut);
    while (!lookup.Done()) {
        ::poll(nullptr, 0, kPollSliceMs);
        platform_.Pump();
        if (cancel_) {
            lookup.Abandon();
            RaiseCanceled();
        }
        if (counter_.Expired() && !lookup.Done()) {
            lookup.Abandon();
            RaiseTimedOut();
        }
    }
    counter_.Stop();
    if (int code = lookup.Result(addresses_)) {
        // The name is what the user typed wrong: say which, and that it was not found.
        const bool unknown = code == kWsaHostNotFound || code == kWsaNoData;
        RaiseSocketError(code, unknown ? ": the server name " + host + " is not known"
                                       : " (the server name " + host + ")");
    }
    if (addresses_.empty()) RaiseSocketText("Error resolving remote host " + host);
}

void TagSocket::FindPort() {
    const std::string portText = SplitServer(Server).port;
    int port = 0;
    if (!portText.empty() && ParseInt(portText, port) && port > 0 && port <= 65535) {
        port_ = static_cast<std::uint16_t>(port);
    } else {
        port_ = ServicePort();
    }
    for (TSocketAddress& address : addresses_) address.SetPort(port_);
}

std::uint16_t TagSocket::ServicePort() {
    if (serviceName_.empty()) RaiseSocketText("Service name is required");
    // The services file is local and small; this lookup never waits on the network.
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (::getservbyname_r(serviceName_.c_str(), "tcp", &entry, buffer, sizeof buffer, &found) ==
            0 &&
        found != nullptr)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    return DefaultPort;
}

void TagSocket::Disconnect() {
    if (transport_) {
        if (OnClosing) OnClosing(*this);
        transport_.reset();
        input_.clear();
        inputPos_ = 0;
        if (OnClosed) OnClosed(*this);
    }
    if (RAS) RAS->HangUp();
}

void TagSocket::Cancel() {
    cancel_ = true;
    if (OnCancel) OnCancel(*this);
    Disconnect();
}

void TagSocket::OpenConnection() {
    if (cancel_) RaiseCanceled();
    RequireConnection();
    TIoResult result{TIoResult::ioError, 0, EHOSTUNREACH};
    for (std::size_t i = 0; i < addresses_.size(); ++i) {
        result = ConnectTo(addresses_[i], i + 1 == addresses_.size());
        if (result.kind != TIoResult::ioError) break;
    }
    if (result.kind == TIoResult::ioError) {
        const std::string host = HostPart(Server);
        const std::string at = host.find(':') != std::string::npos ? "[" + host + "]" : host;
        RaiseSocketError(WinsockErrorFromErrno(result.error),
                         " (" + at + ":" + std::to_string(port_) + ")");
    }
    counter_.Stop();
}

TIoResult TagSocket::ConnectTo(const TSocketAddress& address, bool last) {
    counter_.Start(TimeOut);
    TIoResult result = transport_->StartConnect(address);
    while (result.kind == TIoResult::ioWantWrite || result.kind == TIoResult::ioWantRead) {
        const short events = result.kind == TIoResult::ioWantRead ? POLLIN : POLLOUT;
        const WaitEnd end = Wait(events);
        if (end == WaitEnd::timedOut && !last) {
            // An address that does not answer in time gives way to the next one.
            counter_.ResetExpired();
            return {TIoResult::ioError, 0, ETIMEDOUT};
        }
        RaiseUnlessReady(end);
        result = transport_->FinishConnect();
    }
    return result;
}

void TagSocket::StartTls(std::string_view trustFingerprint) {
    RequireConnection();
    if (inputPos_ < input_.size()) {
        // Bytes that came before the handshake could be anyone's: they must not be read as
        // if they had come over TLS.
        Disconnect();
        RaiseSocketText("The server sent more than its reply before the TLS handshake");
    }
    TTlsOptions options{HostPart(Server), std::string(trustFingerprint)};
    try {
        transport_ = std::make_unique<TTlsTransport>(std::move(transport_), std::move(options));
    } catch (const std::runtime_error& e) {
        Disconnect();
        RaiseSocketText(e.what());
    }
    counter_.Start(TimeOut);
    for (;;) {
        TIoResult result = transport_->Handshake();
        if (result.kind == TIoResult::ioDone) break;
        if (result.kind == TIoResult::ioError || result.kind == TIoResult::ioClosed) {
            std::string text = transport_->ErrorText();
            Disconnect();
            if (cancel_) RaiseCanceled();
            if (text.empty()) RaiseSocketError(WinsockErrorFromErrno(result.error));
            RaiseSocketText(text);
        }
        WaitForTransport(result);
    }
    counter_.Stop();
}

void TagSocket::RequireConnection() {
    if (!Connected()) RaiseSocketText("You have to connect to the server first");
}

TagSocket::WaitEnd TagSocket::Wait(short events) {
    for (;;) {
        if (cancel_) return WaitEnd::canceled;
        if (counter_.Expired()) return WaitEnd::timedOut;
        if (ReplyOverdue()) return WaitEnd::overdue;
        if (!transport_) return WaitEnd::canceled;
        pollfd entry{transport_->Handle(), events, 0};
        int ready = ::poll(&entry, 1, kPollSliceMs);
        platform_.Pump();
        if (cancel_ || !transport_) return WaitEnd::canceled;
        if (ready > 0) return WaitEnd::ready;
    }
}

bool TagSocket::ReplyOverdue() {
    if (!replyTimed_) return false;
    const auto allowance = std::chrono::seconds(TimeOut + replyBytes_ / kSlowestBytesPerSecond);
    return counter_.Now() - replyStart_ > allowance;
}

std::string TagSocket::ServerName() const {
    const std::string host = HostPart(Server);
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    const std::uint16_t port = port_ ? port_ : DefaultPort;
    return port ? shown + ":" + std::to_string(port) : shown;
}

void TagSocket::WaitOrRaise(short events) {
    RaiseUnlessReady(Wait(events));
}

void TagSocket::RaiseUnlessReady(WaitEnd end) {
    switch (end) {
        case WaitEnd::ready:
            return;
        case WaitEnd::canceled:
            if (!cancel_) RequireConnection();  // closed by a handler without Cancel
            RaiseCanceled();
        case WaitEnd::timedOut:
            RaiseTimedOut();
        case WaitEnd::overdue:
            RaiseOverdue();
    }
}

void TagSocket::RaiseOverdue() {
    counter_.Stop();
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(counter_.Now() - replyStart_).count();
    std::string text = "The server " + ServerName() + " is too slow: " +
                       std::to_string(replyBytes_) + " bytes of its reply came in " +
                       std::to_string(seconds) + " s, below the least rate of " +
                       std::to_string(kSlowestBytesPerSecond / 1024) + " KB/s after the time-out of " +
                       std::to_string(TimeOut) + " s";
    if (OnError) OnError(*this, text);
    Disconnect();
    throw ETimedOutError(text);
}

void TagSocket::RaiseSocketError(int code, std::string_view where) {
    counter_.Stop();
    std::string text = SocketErrorText(code) + std::string(where);
    if (OnError) OnError(*this, text);
    if (code == kWsaConnReset) Disconnect();
    throw ESocketError(text);
}

void TagSocket::RaiseSocketText(std::string text) {
    counter_.Stop();
    if (OnError) OnError(*this, text);
    throw ESocketError(text);
}

void TagSocket::RaiseTimedOut() {
    counter_.Stop();
    std::string text = kTimedOutText;
    if (OnError) OnError(*this, text);
    Disconnect();
    throw ETimedOutError(text);
}

void TagSocket::RaiseCanceled() {
    counter_.Stop();
    std::string text = kCanceledText;
    if (OnError) OnError(*this, text);
    throw ECanceledError(text);
}

// --- TmsMailBase --------------------------------------------------------------------------

void TmsMailBase::Open() {
    if (Connected()) return;
    Connect();
    LogIn();
}

void TmsMailBase::Close() {
    if (!Connected()) return;
    try {
        LogOut();
    } catch (...) {
        Disconnect();
        throw;
    }
    Disconnect();
}

}  // namespace kivo
