#include "net/tlstransport.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <signal.h>

#include <cctype>
#include <cerrno>
#include <stdexcept>

namespace kivo {

namespace {

struct SslCtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct X509Free {
    void operator()(X509* cert) const { X509_free(cert); }
};

// OpenSSL writes with write(), which raises SIGPIPE when the server has gone. The signal is
// held back for this thread while one call runs and taken away if it came, so a vanished
// server is an error to report, not the end of the program.
class HeldSigpipe {
  public:
    HeldSigpipe() {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &old_);
    }
    ~HeldSigpipe() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec now{0, 0};
            sigtimedwait(&pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    HeldSigpipe(const HeldSigpipe&) = delete;
    HeldSigpipe& operator=(const HeldSigpipe&) = delete;

  private:
    sigset_t old_{};
    bool wasPending_ = false;
};

bool IsAddressLiteral(const std::string& host) {
    unsigned char buffer[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// The reason a certificate failed, in the user's terms where a common one applies.
std::string VerifyReason(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "the certificate has expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "the certificate is not valid yet";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "the certificate is for another host";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return "the certificate's issuer is unknown";
        default:
            return X509_verify_cert_error_string(result);
    }
}

// The first queued OpenSSL error as text, the queue emptied.
std::string TakeSslError() {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return {};
    const char* reason = ERR_reason_error_string(code);
    return reason ? reason : "error " + std::to_string(code);
}

std::string NormalFingerprint(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ':' || c == ' ') continue;
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

struct TTlsTransport::Handles {
    std::unique_ptr<SSL_CTX, SslCtxFree> ctx;
    std::unique_ptr<SSL, SslFree> ssl;
};

std::string CertificateFingerprint(const unsigned char* der, std::size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(der, size, digest, &length, EVP_sha256(), nullptr) != 1) return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i) text += ':';
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

bool SameFingerprint(std::string_view a, std::string_view b) {
    const std::string na = NormalFingerprint(a);
    return !na.empty() && na == NormalFingerprint(b);
}

TTlsTransport::TTlsTransport(std::unique_ptr<TByteTransport> inner, TTlsOptions options)
    : inner_(std::move(inner)), options_(std::move(options)), ssl_(std::make_unique<Handles>()) {
    ERR_clear_error();
    ssl_->ctx.reset(SSL_CTX_new(TLS_client_method()));
    if (!ssl_->ctx) throw std::runtime_error("TLS cannot be set up: " + TakeSslError());
    SSL_CTX* ctx = ssl_->ctx.get();
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // The trust store as the system and the user's SSL_CERT_FILE / SSL_CERT_DIR name it. The
    // chain is checked during the handshake; the verdict is read before any data is sent.
    SSL_CTX_set_default_verify_paths(ctx);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    ssl_->ssl.reset(SSL_new(ctx));
    SSL* ssl = ssl_->ssl.get();
    if (!ssl || SSL_set_fd(ssl, inner_->Handle()) != 1)
        throw std::runtime_error("TLS cannot be set up: " + TakeSslError());
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (IsAddressLiteral(options_.host)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, options_.host.c_str());
    } else {
        SSL_set_tlsext_host_name(ssl, options_.host.c_str());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(ssl, options_.host.c_str());
    }
    SSL_set_connect_state(ssl);
}

TTlsTransport::~TTlsTransport() {
    // A session that carried data ends with close-notify, so the server can tell a finished
    // session from a cut one. One try that never waits: no answer is awaited, and a server
    // that reads nothing more cannot hold the program. Never after a fatal error.
    if (!handshakeDone_ || failed_) return;
    ERR_clear_error();
    HeldSigpipe held;
    SSL_shutdown(ssl_->ssl.get());
    ERR_clear_error();
}

TIoResult TTlsTransport::StartConnect(const TSocketAddress& address) {
    return inner_->StartConnect(address);
}

TIoResult TTlsTransport::FinishConnect() {
    return inner_->FinishConnect();
}

TIoResult TTlsTransport::Outcome(int rc, const char* during) {
    const int code = SSL_get_error(ssl_->ssl.get(), rc);
    switch (code) {
        case SSL_ERROR_WANT_READ:
            return {TIoResult::ioWantRead, 0, 0};
        case SSL_ERROR_WANT_WRITE:
            return {TIoResult::ioWantWrite, 0, 0};
        case SSL_ERROR_ZERO_RETURN:
            return {TIoResult::ioClosed, 0, 0};
        case SSL_ERROR_SYSCALL: {
            failed_ = true;
            const int err = errno;
            std::string text = TakeSslError();
            if (text.empty() && (rc == 0 || err == 0)) {
                if (handshakeDone_) return {TIoResult::ioClosed, 0, 0};
                error_ = "The server closed the connection during the TLS handshake";
                return {TIoResult::ioError, 0, ECONNRESET};
            }
            if (!text.empty()) error_ = std::string("TLS error ") + during + ": " + text;
            return {TIoResult::ioError, 0, err ? err : EPROTO};
        }
        default:
            failed_ = true;
            if (!handshakeDone_ &&
                ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
                ERR_clear_error();
                error_ = "The server closed the connection during the TLS handshake";
                return {TIoResult::ioError, 0, ECONNRESET};
            }
            error_ = std::string("TLS error ") + during + ": " + TakeSslError();
            return {TIoResult::ioError, 0, EPROTO};
    }
}

TIoResult TTlsTransport::Handshake() {
    if (handshakeDone_) return {};
    error_.clear();
    ERR_clear_error();
    HeldSigpipe held;
    const int rc = SSL_do_handshake(ssl_->ssl.get());
    if (rc != 1) return Outcome(rc, "in the handshake");
    TIoResult checked = CheckCertificate();
    if (checked.kind == TIoResult::ioDone) handshakeDone_ = true;
    return checked;
}

TIoResult TTlsTransport::CheckCertificate() {
    SSL* ssl = ssl_->ssl.get();
    std::unique_ptr<X509, X509Free> cert(SSL_get1_peer_certificate(ssl));
    if (!cert) {
        error_ = "The server " + options_.host + " showed no TLS certificate";
        return {TIoResult::ioError, 0, EPROTO};
    }
    unsigned char* der = nullptr;
    const int length = i2d_X509(cert.get(), &der);
    std::string fingerprint;
    if (length > 0) fingerprint = CertificateFingerprint(der, static_cast<std::size_t>(length));
    OPENSSL_free(der);
    if (!fingerprint.empty() && SameFingerprint(fingerprint, options_.trustFingerprint)) return {};
    const long result = SSL_get_verify_result(ssl);
    if (result == X509_V_OK) return {};
    error_ = "The certificate of " + options_.host + " is not trusted: " + VerifyReason(result) +
             " (SHA-256 fingerprint " + fingerprint + ")";
    return {TIoResult::ioError, 0, EPROTO};
}

TIoResult TTlsTransport::Receive(char* buffer, std::size_t size) {
    error_.clear();
    ERR_clear_error();
    std::size_t got = 0;
    const int rc = SSL_read_ex(ssl_->ssl.get(), buffer, size, &got);
    if (rc == 1) return {TIoResult::ioDone, got, 0};
    return Outcome(rc, "receiving");
}

TIoResult TTlsTransport::Send(const char* data, std::size_t size) {
    error_.clear();
    ERR_clear_error();
    std::size_t sent = 0;
    HeldSigpipe held;
    const int rc = SSL_write_ex(ssl_->ssl.get(), data, size, &sent);
    if (rc == 1) return {TIoResult::ioDone, sent, 0};
    return Outcome(rc, "sending");
}

}  // namespace kivo
