#pragma once
// HTTPS GET through libcurl, for the update check: the version page and the download. The
// body is handed on piece by piece as it arrives, never held whole, and only for a reply of
// status 200 to 299. Only https addresses are fetched, with the server's certificate checked
// against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR name another, as for mail
// connections); redirects of the server (301, 302, ...) are followed, at most five, to https
// addresses only, so no step of an update travels in plain text. Waits run the platform's
// event pump; a stalled transfer ends with ETimedOutError, Ctrl-C or a Cancel button with
// ECanceledError.

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
    // Throws ESocketError (no connection, a broken transfer, an address or a redirect that is
    // not https), ETimedOutError, ECanceledError, and what the sink throws.
    virtual THttpStatus Get(const std::string& url, const Sink& sink, const Progress& progress) = 0;
};

// Whether `url` starts with "https://" (letter case ignored).
bool IsHttpsUrl(std::string_view url);

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
