#pragma once
// One address of a server, IPv4 or IPv6, with its port: what a name lookup gives and what a
// connection is made to.

#include <netdb.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace kivo {

struct TSocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int Family() const { return storage.ss_family; }
    const sockaddr* Data() const { return reinterpret_cast<const sockaddr*>(&storage); }
    std::uint16_t Port() const;
    void SetPort(std::uint16_t port);
    // The address in numbers: "192.0.2.7", "::1".
    std::string Text() const;
};

// The address of a resolver entry (IPv4 or IPv6); false for any other family.
bool AddressFromEntry(const addrinfo& entry, TSocketAddress& address);
// The address of a host given in numbers ("192.0.2.7", "::1", "fe80::1%eth0"), found without
// asking any resolver; false for a name.
bool NumericAddress(const std::string& host, TSocketAddress& address);

}  // namespace kivo
