#include "net/hostlookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "net/sockerrors.h"

namespace kivo {

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
