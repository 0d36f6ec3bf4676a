#pragma once
// A name lookup that runs beside the user-interface thread, so the socket client's wait can
// keep running the event pump and honour Cancel while a slow resolver answers. The helper
// thread only resolves; it shares nothing with the caller but a small state block, so a
// lookup that is abandoned (cancel, time-out) finishes on its own and frees that block.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/sockaddress.h"

namespace kivo {

// A server field split into host and port text: "host", "host:port", "[v6]:port", or a bare
// IPv6 literal ("::1"), which has no port.
struct TServerParts {
    std::string host;
    std::string port;
};
TServerParts SplitServer(std::string_view server);

// Finds the addresses of a host name, in the order to try them: 0, or the Winsock number of
// the failure. It runs on the lookup's own thread.
using THostResolver = std::function<int(const std::string& host, std::vector<TSocketAddress>&)>;
// The system's resolver (getaddrinfo): IPv6 and IPv4 addresses in the order it prefers.
int SystemResolve(const std::string& host, std::vector<TSocketAddress>& found);

class THostLookup {
  public:
    // `resolver` empty: the system's.
    explicit THostLookup(std::string host, THostResolver resolver = {});
    ~THostLookup();  // abandons a lookup still running
    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    bool Done() const;
    // After Done: 0 and at least one address, or the Winsock number of the failure.
    int Result(std::vector<TSocketAddress>& addresses);
    // Leaves a running lookup to finish by itself.
    void Abandon();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace kivo
