// The socket client's reading and writing: reply lines, multi-line replies, dot-terminated
// responses and message data. Received bytes are buffered, so a line reader never takes
// bytes that belong to the next response.

#include <poll.h>

#include <algorithm>
#include <cmath>

#include "base/platform.h"
#include "net/agsocket.h"
#include "net/sockerrors.h"

namespace kivo {

namespace {

constexpr std::size_t kReceiveBlock = 16384;
constexpr std::size_t kSendChunk = 2047;
constexpr std::string_view kTerminator = "\r\n.\r\n";

int Percent(std::int64_t position, std::int64_t total) {
    return static_cast<int>(
        std::llround(static_cast<double>(position) * 100.0 / static_cast<double>(total)));
}

}  // namespace

// Times one reply from its first wait to its end, for ReplyOverdue.
struct TagSocket::TReplyClock {
    explicit TReplyClock(TagSocket& socket) : socket_(socket) {
        socket_.replyTimed_ = true;
        socket_.replyStart_ = socket_.counter_.Now();
        socket_.replyBytes_ = 0;
    }
    ~TReplyClock() { socket_.replyTimed_ = false; }
    TReplyClock(const TReplyClock&) = delete;
    TReplyClock& operator=(const TReplyClock&) = delete;

  private:
    TagSocket& socket_;
};

void TagSocket::ReceiveMore() {
    // Drop what was consumed before growing the buffer.
    if (inputPos_ > 0) {
        input_.erase(0, inputPos_);
        inputPos_ = 0;
    }
    std::size_t old = input_.size();
    for (;;) {
        input_.resize(old + kReceiveBlock);
        TIoResult result = transport_->Receive(input_.data() + old, kReceiveBlock);
        input_.resize(old + result.bytes);
        if (result.kind == TIoResult::ioDone) {
            counter_.Restart();
            AfterProgress();
            return;
        }
        WaitForTransport(result);
    }
}

void TagSocket::AfterProgress() {
    platform_.Pump();
    if (cancel_) RaiseCanceled();
    RequireConnection();
}

void TagSocket::WaitForTransport(const TIoResult& result) {
    switch (result.kind) {
        case TIoResult::ioDone:
            return;
        case TIoResult::ioWantRead:
            WaitOrRaise(POLLIN);
            return;
        case TIoResult::ioWantWrite:
            WaitOrRaise(POLLOUT);
            return;
        case TIoResult::ioClosed:
            // The server went away in the middle of a reply: the reply will never come.
            RaiseSocketError(kWsaConnReset);
        case TIoResult::ioError:
            if (cancel_) RaiseCanceled();
            RaiseSocketError(WinsockErrorFromErrno(result.error));
    }
}

int TagSocket::ReadLine(std::string& line) {
    RequireConnection();
    counter_.Start(TimeOut);
    TReplyClock clock(*this);
    std::size_t scanned = inputPos_;
    for (;;) {
        replyBytes_ = static_cast<std::int64_t>(input_.size() - inputPos_);
        std::size_t end = input_.find('\n', scanned);
        if (end != std::string::npos) {
            std::size_t stop = end;
            while (stop > inputPos_ && (input_[stop - 1] == '\r' || input_[stop - 1] == '\n'))
                --stop;
            line.assign(input_, inputPos_, stop - inputPos_);
            inputPos_ = end + 1;
            break;
        }
        if (input_.size() - inputPos_ > kMaxLineLength) {
            // The rest of the stream cannot be trusted to line up with our commands.
            Disconnect();
            RaiseSocketText("Reply line longer than " + std::to_string(kMaxLineLength) +
                            " bytes from the server " + ServerName());
        }
        scanned = input_.size();
        std::size_t consumed = inputPos_;
        ReceiveMore();  // moves the unread bytes to the front
        scanned -= consumed;
    }
    counter_.Stop();
    return ReplyCode(line);
}

int TagSocket::ReadReply(std::vector<std::string>* lines) {
    int code = ReadLine(lastReply_);
    if (lines) lines->assign(1, lastReply_);
    if (code <= 0 || lastReply_.size() < 4 || lastReply_[3] != '-') return code;
    std::string line;
    for (int count = 1;; ++count) {
        if (count >= kMaxReplyLines) {
            Disconnect();
            RaiseSocketText("Reply longer than " + std::to_string(kMaxReplyLines) +
                            " lines from the server " + ServerName());
        }
        ReadLine(line);
        if (lines) lines->push_back(line);
        // Any line that does not continue ("250" alone, "250 ok") ends the reply.
        if (line.size() < 4 || line[3] != '-') break;
    }
    lastReply_ = line;
    return code;
}

void TagSocket::SendBytes(std::string_view data) {
    while (!data.empty()) {
        TIoResult result = transport_->Send(data.data(), data.size());
        if (result.kind != TIoResult::ioDone) {
            WaitForTransport(result);
            continue;
        }
        data.remove_prefix(result.bytes);
        if (result.bytes > 0) counter_.Restart();
        AfterProgress();
    }
}

void TagSocket::SendLine(std::string_view text) {
    RequireConnection();
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text).append("\r\n");
    counter_.Start(TimeOut);
    SendBytes(line);
    counter_.Stop();
}

std::int64_t TagSocket::ResponseLimit(std::int64_t expectedSize) {
    if (expectedSize <= 0 || expectedSize >= kMaxResponseBytes) return kMaxResponseBytes;
    // Room for dot-stuffing and line ends counted differently by the server.
    return std::min(kMaxResponseBytes, expectedSize + expectedSize / 2 + (1 << 20));
}

void TagSocket::ReceiveToStream(std::string& stream, std::int64_t expectedSize,
                                std::int64_t sizeBound) {
    ReceiveToSink([&stream](std::string_view bytes) { stream.append(bytes); }, expectedSize,
                  sizeBound);
    stream.append(".\r\n");
}

void TagSocket::ReceiveToSink(const TDataSink& sink, std::int64_t expectedSize,
                              std::int64_t sizeBound) {
    RequireConnection();
    counter_.Start(TimeOut);
    TReplyClock clock(*this);
    const std::int64_t limit = ResponseLimit(sizeBound > 0 ? sizeBound : expectedSize);
    // The bytes not handed on yet: the last few of what arrived may begin the closing line.
    std::string held;
    std::int64_t position = 0;  // bytes handed on
    auto hand = [&](std::size_t count) {
        if (count == 0) return;
        try {
            sink(std::string_view(held).substr(0, count));
        } catch (...) {
            Disconnect();  // the rest of the response is still on its way
            throw;
        }
        held.erase(0, count);
        position += static_cast<std::int64_t>(count);
    };
    for (;;) {
        if (OnProgress) {
            if (expectedSize < 1)
                OnProgress(*this, -1, position);
            else
                OnProgress(*this, Percent(position, expectedSize), position);
        }
        if (inputPos_ < input_.size()) {
            held.append(input_, inputPos_, std::string::npos);
            input_.clear();
            inputPos_ = 0;
            std::size_t end = std::string::npos;  // where the data ends
            std::size_t next = 0;                 // where the next response begins
            if (position == 0 && held.compare(0, 3, ".\r\n") == 0) {
                end = 0;  // a response without data lines
                next = 3;
            } else if (position == 0 && held.size() < 3 &&
                       std::string_view(".\r\n").starts_with(held)) {
                // Too little to tell yet.
            } else if (std::size_t at = held.find(kTerminator); at != std::string::npos) {
                end = at + 2;  // the last data line keeps its line end
                next = at + kTerminator.size();
            }
            if (end != std::string::npos) {
                // Whatever followed belongs to the next response.
                input_.assign(held, next, std::string::npos);
                held.resize(end);
                hand(end);
                break;
            }
            if (position + static_cast<std::int64_t>(held.size()) > limit) {
                Disconnect();
                RaiseSocketText("Response longer than " + std::to_string(limit) +
                                " bytes from the server " + ServerName());
            }
            if (held.size() > kTerminator.size()) hand(held.size() - (kTerminator.size() - 1));
        }
        replyBytes_ = position + static_cast<std::int64_t>(held.size());
        ReceiveMore();
    }
    counter_.Stop();
}

void TagSocket::SendStream(std::string_view data) {
    RequireConnection();
    counter_.Start(TimeOut);
    const std::size_t total = data.size();
    std::size_t position = 0;
    do {
        std::size_t chunk = std::min(kSendChunk, total - position);
        SendBytes(data.substr(position, chunk));
        position += chunk;
        if (OnProgress)
            OnProgress(*this,
                       total ? Percent(static_cast<std::int64_t>(position),
                                       static_cast<std::int64_t>(total))
                             : 100,
                       static_cast<std::int64_t>(position));
    } while (position < total);
    counter_.Stop();
    if (OnProgress) OnProgress(*this, 0, 0);
}

}  // namespace kivo
