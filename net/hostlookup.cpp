#include "net/hostlookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "net/sockerrors.h"

namespace kivo {

TServerParts SplitServer(std::string_view server) {
    if (!server.empty() && server.front() == '[') {
        const std::size_t close = server.find(']');
        if (close != std::string_view::npos) {
            std::string_view rest = server.substr(close + 1);
            return {std::string(server.substr(1, close - 1)),
                    std::string(rest.starts_with(':') ? rest.substr(1) : std::string_view())};
        }
    }
    const std::size_t colon = server.find(':');
    in6_addr literal{};
    if (colon == std::string_view::npos ||
        ::inet_pton(AF_INET6, std::string(server).c_str(), &literal) == 1)
        return {std::string(server), {}};
    return {std::string(server.substr(0, colon)), std::string(server.substr(colon + 1))};
}

struct THostLookup::State {
    std::atomic<bool> done{false};
    int code = 0;  // written before done is set
    sockaddr_in address{};
};

THostLookup::THostLookup(std::string host) : state_(std::make_shared<State>()) {
    thread_ = std::thread([state = state_, host = std::move(host)] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (rc != 0) {
            state->code = WinsockErrorFromLookup(rc, errno);
        } else if (found == nullptr || found->ai_addrlen < sizeof(sockaddr_in)) {
            state->code = kWsaHostNotFound;
        } else {
            std::memcpy(&state->address, found->ai_addr, sizeof(sockaddr_in));
        }
        if (found) ::freeaddrinfo(found);
        state->done.store(true, std::memory_order_release);
    });
}

THostLookup::~THostLookup() {
    if (thread_.joinable()) {
        if (Done())
            thread_.join();
        else
            thread_.detach();
    }
}

bool THostLookup::Done() const {
    return state_->done.load(std::memory_order_acquire);
}

int THostLookup::Result(sockaddr_in& address) {
    if (thread_.joinable()) thread_.join();
    address = state_->address;
    return state_->code;
}

void THostLookup::Abandon() {
    if (thread_.joinable()) thread_.detach();
}

}  // namespace kivo
