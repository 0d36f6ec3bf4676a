#pragma once
// A quick look at a mail server before an account is set up with it: connect, secure the
// connection as the account would (TLS from the first byte, or STLS / STARTTLS), read the
// greeting, and leave with QUIT. No user name or password is ever sent. Each wait has a
// short time-out, so a guess that leads nowhere costs seconds, not minutes.

#include <string>

#include "net/agsocket.h"

namespace kivo {

class Platform;

enum class TMailProtocol { pop3, smtp };

struct TProbeRequest {
    TMailProtocol protocol = TMailProtocol::pop3;
    TSecurity security = TSecurity::implicit;
    // "host:port"; the certificate must be for the host.
    std::string server;
    int timeOut = 5;  // seconds, for each of the lookup, connect, handshake and reply
    // Finds the host's addresses; the system's resolver when empty.
    THostResolver resolver;
};

struct TProbeResult {
    bool answered = false;
    // Why the server did not do: "Operation timed out", the certificate's fault, a reply.
    std::string reason;
};

// Runs the event pump while it waits; never throws for what the server does.
TProbeResult ProbeServer(Platform& platform, const TProbeRequest& request);

}  // namespace kivo
