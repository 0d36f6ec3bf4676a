#pragma once
// A TLS server on loopback for the certificate checks: a fresh self-signed certificate for
// one host name, one connection, the handshake, then one greeting line.

#include <filesystem>
#include <string>
#include <thread>

struct ssl_ctx_st;

namespace kivo::test {

// A fresh self-signed certificate for one host name or IP address (valid for an hour either
// side of now), written to a PEM file so a test can make it the trust store (SSL_CERT_FILE),
// and a server context that presents it.
class TestCertificate {
  public:
    explicit TestCertificate(const std::string& certName);
    ~TestCertificate();
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    const std::filesystem::path& CertFile() const { return certFile_; }
    // "AB:CD:..." of the certificate's SHA-256.
    const std::string& Fingerprint() const { return fingerprint_; }
    ssl_ctx_st* ServerContext() const { return ctx_; }

  private:
    std::filesystem::path certFile_;
    std::string fingerprint_;
    ssl_ctx_st* ctx_ = nullptr;
};

// Points OpenSSL's default trust store at one file while it lives.
class TrustStore {
  public:
    explicit TrustStore(const std::string& file);
    ~TrustStore();
    TrustStore(const TrustStore&) = delete;
    TrustStore& operator=(const TrustStore&) = delete;

  private:
    std::string old_;
};

class TlsPeer {
  public:
    TlsPeer(const std::string& certName, std::string greeting);
    ~TlsPeer();
    TlsPeer(const TlsPeer&) = delete;
    TlsPeer& operator=(const TlsPeer&) = delete;

    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::filesystem::path& CertFile() const { return cert_.CertFile(); }
    const std::string& Fingerprint() const { return cert_.Fingerprint(); }
    // Once the client has gone: whether it ended the session with close-notify rather than
    // by closing the connection. The peer never answers it.
    bool SawCloseNotify();

  private:
    void Run();

    TestCertificate cert_;
    std::string greeting_;
    int listener_ = -1;
    int port_ = 0;
    bool closeNotify_ = false;
    std::thread thread_;
};

}  // namespace kivo::test
