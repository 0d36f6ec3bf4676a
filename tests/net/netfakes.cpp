#include "tests/net/netfakes.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kivo::test {

namespace {

constexpr int kReadLimitMs = 5000;

// Listens on `port`, or on a free port when it is 0; `port` is then the port taken.
int Listen(int& port, bool ipv6 = false) {
    int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A port given again after an earlier server's connections closed.
    const int on = 1;
    if (port != 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (ipv6) {
        auto& address = reinterpret_cast<sockaddr_in6&>(storage);
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof address;
    } else {
        auto& address = reinterpret_cast<sockaddr_in&>(storage);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof address;
    }
    auto* address = reinterpret_cast<sockaddr*>(&storage);
    if (fd < 0 || ::bind(fd, address, length) != 0 || ::listen(fd, 4) != 0)
        throw std::runtime_error("cannot listen on loopback");
    ::getsockname(fd, address, &length);
    port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6&>(storage).sin6_port
                      : reinterpret_cast<sockaddr_in&>(storage).sin_port);
    return fd;
}

// Reads one byte, waiting at most kReadLimitMs; false at the end of the connection.
bool ReadByte(int fd, char& c) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, kReadLimitMs) <= 0) return false;
    return ::recv(fd, &c, 1, 0) == 1;
}

}  // namespace

ScriptServer::ScriptServer(std::vector<Step> steps, std::size_t sendChunk, bool ipv6, int port)
    : steps_(std::move(steps)), sendChunk_(sendChunk), ipv6_(ipv6), port_(port) {
    listener_ = Listen(port_, ipv6);
    thread_ = std::thread([this] { Run(); });
}

ScriptServer::~ScriptServer() {
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
}

void ScriptServer::Run() {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, kReadLimitMs) <= 0) return;
    int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    for (const Step& step : steps_) {
        bool alive = true;
        switch (step.kind) {
            case Step::client: {
                std::string line;
                char c;
                while ((alive = ReadByte(fd, c))) {
                    if (c == '\n') break;
                    line += c;
                }
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (alive) received_.push_back(line);
                break;
            }
            case Step::data: {
                // In blocks (a large message byte by byte would take minutes), taking no
                // byte past the "." line.
                const std::size_t start = data_.size();
                std::vector<char> block(1 << 16);
                for (bool done = false; !done;) {
                    pollfd entry{fd, POLLIN, 0};
                    const ssize_t peeked = ::poll(&entry, 1, kReadLimitMs) > 0
                                               ? ::recv(fd, block.data(), block.size(), MSG_PEEK)
                                               : 0;
                    if (peeked <= 0) {
                        alive = false;
                        break;
                    }
                    const std::size_t before = data_.size();
                    data_.append(block.data(), static_cast<std::size_t>(peeked));
                    std::size_t end = std::string::npos;
                    if (data_.size() - start >= 3 && data_.compare(start, 3, ".\r\n") == 0) {
                        end = start + 3;  // no data lines at all
                    } else {
                        const std::size_t at =
                            data_.find("\r\n.\r\n", before >= start + 4 ? before - 4 : start);
                        if (at != std::string::npos) end = at + 5;
                    }
                    if (end != std::string::npos) {
                        data_.resize(end);
                        done = true;
                    }
                    ::recv(fd, block.data(), data_.size() - before, 0);
                }
                break;
            }
            case Step::server: {
                std::size_t chunk = sendChunk_ ? sendChunk_ : step.text.size();
                for (std::size_t at = 0; at < step.text.size() && alive; at += chunk) {
                    auto piece = step.text.substr(at, chunk);
                    alive = ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) ==
                            static_cast<ssize_t>(piece.size());
                }
                break;
            }
            case Step::endless: {
                // Until the client gives up and closes: send fails then.
                while (::send(fd, step.text.data(), step.text.size(), MSG_NOSIGNAL) ==
                       static_cast<ssize_t>(step.text.size())) {
                    if (step.pauseMs > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
                }
                alive = false;
                break;
            }
            case Step::stall: {
                char c;
                while (ReadByte(fd, c)) {
                }
                alive = false;
                break;
            }
            case Step::reset: {
                linger hard{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                alive = false;
                break;
            }
        }
        if (!alive) break;
    }
    ::close(fd);
}

const std::vector<std::string>& ScriptServer::Received() {
    if (thread_.joinable()) thread_.join();
    return received_;
}

std::vector<std::string> ScriptServer::Expected() const {
    std::vector<std::string> lines;
    for (const Step& step : steps_)
        if (step.kind == Step::client) lines.push_back(step.text);
    return lines;
}

std::string ScriptServer::Data() {
    Received();
    return data_;
}

int ClosedPort() {
    int port = 0;
    int fd = Listen(port);
    ::close(fd);
    return port;
}

}  // namespace kivo::test
