#pragma once
// HTTP GET through libcurl, for the update check: the version page and the download. The
// body is handed on piece by piece as it arrives, never held whole, and only for a reply of
// status 200 to 299. Redirects of the server (301, 302, ...) are followed, at most five, to
// http and https addresses only. Waits run the platform's event pump; a stalled transfer
// ends with ETimedOutError, Ctrl-C or a Cancel button with ECanceledError.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "net/agsocket.h"

namespace kivo {

class Platform;

// The status code and reason text of the final reply ("404", "Not Found").
struct THttpStatus {
    int code = 0;
    std::string reason;
};

class THttpClient {
  public:
    // Bytes received so far and the total, 0 when the server did not say; false cancels.
    using Progress = std::function<bool(std::uint64_t received, std::uint64_t total)>;
    using Sink = std::function<void(std::string_view piece)>;

    virtual ~THttpClient() = default;
    // Throws ESocketError (no connection, a broken transfer), ETimedOutError, ECanceledError,
    // and what the sink throws.
    virtual THttpStatus Get(const std::string& url, const Sink& sink, const Progress& progress) = 0;
};

class TCurlHttpClient : public THttpClient {
  public:
    // `timeoutSeconds`: for the connection, and without a byte received.
    explicit TCurlHttpClient(Platform& platform, int timeoutSeconds = 60);
    THttpStatus Get(const std::string& url, const Sink& sink, const Progress& progress) override;

  private:
    Platform& platform_;
    int timeout_;
};

}  // namespace kivo
