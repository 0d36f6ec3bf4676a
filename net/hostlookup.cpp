#include "net/hostlookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>

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

int SystemResolve(const std::string& host, std::vector<TSocketAddress>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (rc != 0) return WinsockErrorFromLookup(rc, errno);
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        TSocketAddress address;
        if (AddressFromEntry(*entry, address)) found.push_back(address);
    }
    ::freeaddrinfo(list);
    return found.empty() ? kWsaHostNotFound : 0;
}

struct THostLookup::State {
    std::atomic<bool> done{false};
    int code = 0;  // written before done is set
    std::vector<TSocketAddress> addresses;
};

THostLookup::THostLookup(std::string host, THostResolver resolver)
    : state_(std::make_shared<State>()) {
    if (!resolver) resolver = SystemResolve;
    thread_ = std::thread([state = state_, host = std::move(host), resolver = std::move(resolver)] {
        state->code = resolver(host, state->addresses);
        if (state->code == 0 && state->addresses.empty()) state->code = kWsaHostNotFound;
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

int THostLookup::Result(std::vector<TSocketAddress>& addresses) {
    if (thread_.joinable()) thread_.join();
    addresses = state_->addresses;
    return state_->code;
}

void THostLookup::Abandon() {
    if (thread_.joinable()) thread_.detach();
}

}  // namespace kivo
