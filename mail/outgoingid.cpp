#include "mail/outgoingid.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>

#include "base/bytes.h"
#include "mail/msmsgcls.h"
#include "mail/rfc822date.h"

namespace kivo {

namespace {

bool HasField(const TmsHeaders& headers, std::string_view name) {
    for (const std::string& line : headers) {
        if (StartsWithNoCase(line, name)) return true;
    }
    return false;
}

// The part after the last "@" when it is a usable domain (no blanks, brackets or quotes).
std::string DomainOf(std::string_view address) {
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos) return {};
    const std::string domain = Trim(address.substr(at + 1));
    if (domain.empty() || domain.find_first_of(" \t<>()[]\",;@\\") != std::string::npos) {
        return {};
    }
    return domain;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

}  // namespace

std::string NewMessageId(std::string_view senderAddress) {
    static std::atomic<unsigned> count{0};
    std::random_device random;
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    char local[80];
    std::snprintf(local, sizeof local, "%08x%08x.%llx.%x", random(), random(),
                  static_cast<unsigned long long>(micros), count.fetch_add(1) & 0xFFFFu);
    std::string domain = DomainOf(senderAddress);
    if (domain.empty()) domain = HostName();
    return "<" + std::string(local) + "@" + domain + ">";
}

void AddMissingIdentity(TmsHeaders& headers, std::string_view senderAddress, const DateTime& now) {
    if (!HasField(headers, "Message-ID:"))
        headers.Add("Message-ID: " + NewMessageId(senderAddress));
    if (!HasField(headers, "Date:")) headers.Add("Date: " + FormatRfc822Date(now, LocalZone()));
}

}  // namespace kivo
