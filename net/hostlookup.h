#pragma once
// A name lookup that runs beside the user-interface thread, so the socket client's wait can
// keep running the event pump and honour Cancel while a slow resolver answers. The helper
// thread only resolves; it shares nothing with the caller but a small state block, so a
// lookup that is abandoned (cancel, time-out) finishes on its own and frees that block.

#include <netinet/in.h>

#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace kivo {

// A server field split into host and port text: "host", "host:port", "[v6]:port", or a bare
// IPv6 literal ("::1"), which has no port.
struct TServerParts {
    std::string host;
    std::string port;
};
TServerParts SplitServer(std::string_view server);

class THostLookup {
  public:
    explicit THostLookup(std::string host);
    ~THostLookup();  // abandons a lookup still running
    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    bool Done() const;
    // After Done: 0 and the first IPv4 address, or the Winsock number of the failure.
    int Result(sockaddr_in& address);
    // Leaves a running lookup to finish by itself.
    void Abandon();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace kivo
