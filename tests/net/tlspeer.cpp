#include "tests/net/tlspeer.h"

#include <arpa/inet.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "net/tlstransport.h"

namespace kivo::test {

TrustStore::TrustStore(const std::string& file) {
    if (const char* old = std::getenv("SSL_CERT_FILE")) old_ = old;
    ::setenv("SSL_CERT_FILE", file.c_str(), 1);
}

TrustStore::~TrustStore() {
    if (old_.empty())
        ::unsetenv("SSL_CERT_FILE");
    else
        ::setenv("SSL_CERT_FILE", old_.c_str(), 1);
}

TestCertificate::TestCertificate(const std::string& certName) {
    // A client that refuses the certificate hangs up before anything is written.
    std::signal(SIGPIPE, SIG_IGN);
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(certName.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    in_addr ip{};
    const std::string san =
        (::inet_pton(AF_INET, certName.c_str(), &ip) == 1 ? "IP:" : "DNS:") + certName;
    for (const auto& [nid, value] :
         {std::pair{NID_subject_alt_name, san},
          std::pair{NID_basic_constraints, std::string("critical,CA:TRUE")}}) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &v3, nid, value.c_str());
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
    X509_sign(cert, key, EVP_sha256());

    unsigned char* der = nullptr;
    int length = i2d_X509(cert, &der);
    fingerprint_ = CertificateFingerprint(der, static_cast<std::size_t>(length));
    OPENSSL_free(der);
    char path[] = "/tmp/kivo-tlspeer-XXXXXX";
    int fd = ::mkstemp(path);
    FILE* file = ::fdopen(fd, "w");
    PEM_write_X509(file, cert);
    std::fclose(file);
    certFile_ = path;

    ctx_ = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx_, cert);
    SSL_CTX_use_PrivateKey(ctx_, key);
    X509_free(cert);
    EVP_PKEY_free(key);
}

TestCertificate::~TestCertificate() {
    SSL_CTX_free(ctx_);
    std::error_code ec;
    std::filesystem::remove(certFile_, ec);
}

TlsPeer::TlsPeer(const std::string& certName, std::string greeting)
    : cert_(certName), greeting_(std::move(greeting)) {

    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

TlsPeer::~TlsPeer() {
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
}

bool TlsPeer::SawCloseNotify() {
    if (thread_.joinable()) thread_.join();
    return closeNotify_;
}

void TlsPeer::Run() {
    pollfd entry{listener_, POLLIN, 0};
    if (::poll(&entry, 1, 5000) > 0) {
        int fd = ::accept(listener_, nullptr, nullptr);
        // Blocking, but the client's socket closing ends every wait here.
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        SSL* ssl = SSL_new(cert_.ServerContext());
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            const std::string line = greeting_ + "\r\n";
            SSL_write(ssl, line.data(), static_cast<int>(line.size()));
            char buffer[256];
            int rc = 0;
            while ((rc = SSL_read(ssl, buffer, sizeof buffer)) > 0) {
            }
            closeNotify_ = SSL_get_error(ssl, rc) == SSL_ERROR_ZERO_RETURN;
        }
        SSL_free(ssl);
        ::close(fd);
    }
}

}  // namespace kivo::test
