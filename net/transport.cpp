#include "net/transport.h"

#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kivo {

namespace {

TIoResult Failure(int err) {
    if (err == EAGAIN || err == EWOULDBLOCK) return {TIoResult::ioWantRead, 0, 0};
    return {TIoResult::ioError, 0, err};
}

}  // namespace

TPlainTransport::~TPlainTransport() {
    if (fd_ >= 0) ::close(fd_);
}

TIoResult TPlainTransport::StartConnect(const TSocketAddress& address) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::socket(address.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return {TIoResult::ioError, 0, errno};
    int one = 1;
    // Commands are short lines answered one by one; waiting to fill a segment only adds delay.
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd_, address.Data(), address.length) == 0) return {};
    if (errno == EINPROGRESS) return {TIoResult::ioWantWrite, 0, 0};
    return {TIoResult::ioError, 0, errno};
}

TIoResult TPlainTransport::FinishConnect() {
    int err = 0;
    socklen_t length = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &length) != 0) err = errno;
    if (err == EINPROGRESS || err == EALREADY) return {TIoResult::ioWantWrite, 0, 0};
    if (err != 0) return {TIoResult::ioError, 0, err};
    return {};
}

TIoResult TPlainTransport::Receive(char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n > 0) return {TIoResult::ioDone, static_cast<std::size_t>(n), 0};
        if (n == 0) return {TIoResult::ioClosed, 0, 0};
        if (errno != EINTR) return Failure(errno);
    }
}

TIoResult TPlainTransport::Send(const char* data, std::size_t size) {
    for (;;) {
        // MSG_NOSIGNAL: a peer that went away is an error to report, not a SIGPIPE.
        ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (n >= 0) return {TIoResult::ioDone, static_cast<std::size_t>(n), 0};
        if (errno == EAGAIN || errno == EWOULDBLOCK) return {TIoResult::ioWantWrite, 0, 0};
        if (errno != EINTR) return {TIoResult::ioError, 0, errno};
    }
}

}  // namespace kivo
