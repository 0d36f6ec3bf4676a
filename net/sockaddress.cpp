#include "net/sockaddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace kivo {

std::uint16_t TSocketAddress::Port() const {
    if (Family() == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
    if (Family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    return 0;
}

void TSocketAddress::SetPort(std::uint16_t port) {
    if (Family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
    else if (Family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
}

std::string TSocketAddress::Text() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (Family() == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, text,
                    sizeof text);
    else if (Family() == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr, text,
                    sizeof text);
    return text;
}

bool AddressFromEntry(const addrinfo& entry, TSocketAddress& address) {
    if ((entry.ai_family != AF_INET && entry.ai_family != AF_INET6) || entry.ai_addr == nullptr ||
        entry.ai_addrlen > sizeof address.storage)
        return false;
    address = TSocketAddress{};
    std::memcpy(&address.storage, entry.ai_addr, entry.ai_addrlen);
    address.length = entry.ai_addrlen;
    return true;
}

bool NumericAddress(const std::string& host, TSocketAddress& address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;  // never a network lookup
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
    const bool ok = found != nullptr && AddressFromEntry(*found, address);
    ::freeaddrinfo(found);
    return ok;
}

}  // namespace kivo
