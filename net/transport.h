#pragma once
// The byte transport under the socket client's line reader: plain TCP, or TLS over it
// (tlstransport.h), under the same reader without the POP3 and SMTP dialogues noticing. A transport
// never blocks: it reports what it needs to wait for and the socket client does the waiting (with
// the event pump, time-out and cancel).

#include <cstddef>
#include <memory>
#include <string>

#include "net/sockaddress.h"

namespace kivo {

// The outcome of one non-blocking transfer call.
struct TIoResult {
    enum Kind { ioDone, ioWantRead, ioWantWrite, ioClosed, ioError };
    Kind kind = ioDone;
    std::size_t bytes = 0;  // with ioDone
    int error = 0;          // errno, with ioError
};

class TByteTransport {
  public:
    virtual ~TByteTransport() = default;
    // The descriptor to wait on with poll().
    virtual int Handle() const = 0;
    // Starts the connection; ioWantWrite means it is in progress (wait, then FinishConnect).
    // Called again with another address, it drops the attempt before and starts anew.
    virtual TIoResult StartConnect(const TSocketAddress& address) = 0;
    // After the descriptor became writable: ioDone once connected, ioError with the reason.
    virtual TIoResult FinishConnect() = 0;
    virtual TIoResult Receive(char* buffer, std::size_t size) = 0;
    virtual TIoResult Send(const char* data, std::size_t size) = 0;
    // Advances the transport's own opening (a TLS handshake); ioDone once it can carry data.
    virtual TIoResult Handshake() { return {}; }
    // Why the last call gave ioError, when the transport knows better than errno.
    virtual std::string ErrorText() const { return {}; }
};

// TCP over a non-blocking socket of the address's family, made by StartConnect. The
// descriptor is closed with the object.
class TPlainTransport : public TByteTransport {
  public:
    TPlainTransport() = default;
    ~TPlainTransport() override;
    TPlainTransport(const TPlainTransport&) = delete;
    TPlainTransport& operator=(const TPlainTransport&) = delete;

    int Handle() const override { return fd_; }
    TIoResult StartConnect(const TSocketAddress& address) override;
    TIoResult FinishConnect() override;
    TIoResult Receive(char* buffer, std::size_t size) override;
    TIoResult Send(const char* data, std::size_t size) override;

  private:
    int fd_ = -1;
};

}  // namespace kivo
