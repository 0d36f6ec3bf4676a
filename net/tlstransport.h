#pragma once
// TLS over a connected transport, with OpenSSL. The server's certificate is checked against
// the system's trust store (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR work)
// and against the host name the user gave; a certificate whose SHA-256 fingerprint the user
// chose to trust is accepted as it is. A certificate that fails is never used: the handshake
// ends with ioError and a text that names the reason and the fingerprint. TLS 1.2 at least.
// A session ends with close-notify when the transport is destroyed.

#include <memory>
#include <string>
#include <string_view>

#include "net/transport.h"

namespace kivo {

// What a TLS connection checks the server against.
struct TTlsOptions {
    std::string host;              // name or address literal the certificate must be for
    std::string trustFingerprint;  // SHA-256 in hex, with or without colons; empty: none
};

class TTlsTransport : public TByteTransport {
  public:
    // Takes over a connected transport; throws std::runtime_error when TLS cannot be set up.
    TTlsTransport(std::unique_ptr<TByteTransport> inner, TTlsOptions options);
    ~TTlsTransport() override;
    TTlsTransport(const TTlsTransport&) = delete;
    TTlsTransport& operator=(const TTlsTransport&) = delete;

    int Handle() const override { return inner_->Handle(); }
    TIoResult StartConnect(const TSocketAddress& address) override;
    TIoResult FinishConnect() override;
    // ioDone once the handshake is complete and the certificate trusted.
    TIoResult Handshake() override;
    TIoResult Receive(char* buffer, std::size_t size) override;
    TIoResult Send(const char* data, std::size_t size) override;
    std::string ErrorText() const override { return error_; }

  private:
    // The outcome of an OpenSSL call that returned `rc`.
    TIoResult Outcome(int rc, const char* during);
    TIoResult CheckCertificate();

    struct Handles;
    std::unique_ptr<TByteTransport> inner_;
    TTlsOptions options_;
    std::unique_ptr<Handles> ssl_;
    bool handshakeDone_ = false;
    bool failed_ = false;  // a fatal error: the session must not be shut down
    std::string error_;
};

// "AB:CD:..." of a DER certificate's SHA-256, as the error texts show it.
std::string CertificateFingerprint(const unsigned char* der, std::size_t size);
// Whether two fingerprints name the same digest (colons, blanks and letter case ignored).
bool SameFingerprint(std::string_view a, std::string_view b);

}  // namespace kivo
