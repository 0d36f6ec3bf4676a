// The update check: META lines, version comparison and the save name with a fake web, then
// the whole dialogue through libcurl against a small HTTPS server on loopback run by the test
// (an HTTP redirect, a redirect to plain http, a newer version, none, a 404, a server that
// stalls, a 100 MB body, downloads whose SHA-256 matches the page's and does not).

#include "app/webfileinfo.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <map>
#include <thread>

#include "base/files.h"
#include "tests/net/netfakes.h"
#include "tests/net/tlspeer.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A web of fixed pages.
struct FakeWeb : THttpClient {
    std::map<std::string, std::string> pages;
    Lines asked;
    THttpStatus Get(const std::string& url, const Sink& sink, const Progress&) override {
        asked.push_back(url);
        const auto it = pages.find(url);
        if (it == pages.end()) return {404, "Not Found"};
        sink(it->second);
        return {200, "OK"};
    }
};

// The dialogue as a transcript, with the answers given in advance.
struct ScriptedView : TWebFileInfoView {
    Lines said;
    bool readMe = false, download = false, install = false, cancelAt = false;
    std::optional<fs::path> saveAs;
    int fileType = 1;
    std::uint64_t lastReceived = 0, lastTotal = 0;
    int progressCalls = 0;
    bool opened = false, quit = false;
    void Message(const std::string& text, const std::string& title) override {
        said.push_back(title + ": " + text);
    }
    bool Ask(const std::string& text, const std::string& title) override {
        said.push_back(title + "? " + text);
        if (text.ends_with("ReadMe file?")) return readMe;
        if (text.ends_with("Download the update?")) return download;
        return install;
    }
    void Waiting(bool) override {}
    void ShowReadMe(const std::string& text) override { said.push_back("Read Me: " + text); }
    std::optional<fs::path> SaveAs(const std::string& proposed, int& type) override {
        said.push_back("Save " + proposed);
        type = fileType;
        return saveAs;
    }
    bool Progress(const std::string&, std::uint64_t received, std::uint64_t total) override {
        ++progressCalls;
        lastReceived = received;
        lastTotal = total;
        return !(cancelAt && received > 1'000'000);
    }
    bool ShellOpen(const fs::path& file, const std::string& parameters) override {
        said.push_back("Open " + file.filename().string() + " " + parameters);
        opened = true;
        return true;
    }
    void Quit() override { quit = true; }
};

std::string Sha256(std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr);
    static constexpr char kDigits[] = "0123456789ABCDEF";  // the page may use either case
    std::string hex;
    for (unsigned int k = 0; k < size; ++k) {
        hex += kDigits[digest[k] >> 4];
        hex += kDigits[digest[k] & 15];
    }
    return hex;
}

constexpr const char* kNewVersion = "the new version";

// A version page; the download's digest is that of kNewVersion unless another is given.
std::string Page(const std::string& version, const std::string& download = "",
                 const std::string& sha256 = Sha256(kNewVersion)) {
    return "<html><head>\r\n<META HTTP-EQUIV=\"kivoversion\" CONTENT=\"" + version +
           "\">\r\n<meta http-equiv=\"kivodownload\" content=\"" +
           (download.empty() ? "https://h/files/kivo-" + version + ".tar.gz" : download) +
           "\">\r\n<meta http-equiv=\"kivosha256\" content=\"" + sha256 +
           "\">\r\n</head><body>Kivo</body></html>\r\n";
}

TEST(WebFileInfo, ReadsMetaLines) {
    FakeWeb web;
    ScriptedView view;
    TWebFileInfo info(web, view);
    ConfigureKivoUpdate(info, "https://h/");
    web.pages["https://h/"] =
        "<META HTTP-EQUIV=\"kivoname\" CONTENT=\"Kivo\">\n"
        "<META HTTP-EQUIV=\"kivoversion\" CONTENT=\"1.1\">\r"
        "x <META HTTP-EQUIV=\"kivoversion\" CONTENT=\"1.2\"> later lines win\n"
        "<META HTTP-EQUIV=\"KIVODATE\" CONTENT=\"tag names keep their case\">\n"
        "<meta http-equiv=\"kivoauthor\" content=\"lower case\">\n"
        "<META HTTP-EQUIV=\"kivoreadme\" CONTENT=\"no closing quote\n"
        "<META HTTP-EQUIV=\"\" CONTENT=\"empty name\">\n"
        "<META HTTP-EQUIV=\"kivodate\">\n"
        "<META NAME=\"kivodownload\" CONTENT=\"not http-equiv\">\n";
    ASSERT_TRUE(info.Retrieve());
    EXPECT_EQ(info.Values().productName, "Kivo");
    EXPECT_EQ(info.Values().version, "1.2");
    EXPECT_EQ(info.Values().date, "");
    EXPECT_EQ(info.Values().author, "lower case");
    EXPECT_EQ(info.Values().readMe, "no closing quote");
    EXPECT_EQ(info.Values().download, "");
    EXPECT_TRUE(view.said.empty());

    // The component's redirect tag (the program leaves it empty) reads the named page; a page
    // naming itself ends after a few rounds instead of for ever.
    info.Tags.redirect = "kivoredirect";
    web.pages["https://h/"] = "<META HTTP-EQUIV=\"kivoredirect\" CONTENT=\"https://h/new\">";
    web.pages["https://h/new"] = Page("2.0");
    ASSERT_TRUE(info.Retrieve());
    EXPECT_EQ(info.Values().version, "2.0");
    EXPECT_EQ(info.Values().sha256, Sha256(kNewVersion));
    EXPECT_EQ(info.DownloadFileName(), "kivo-2.0.tar.gz");
    web.pages["https://h/new"] = "<META HTTP-EQUIV=\"kivoredirect\" CONTENT=\"https://h/new\">";
    EXPECT_FALSE(info.Retrieve());
    EXPECT_EQ(info.LastError(), "Too many redirects");
    EXPECT_LE(web.asked.size(), 10u);

    // A page in plain text could name any download: neither the home page nor a page it
    // redirects to is read over http.
    const std::size_t asked = web.asked.size();
    web.pages["https://h/"] = "<META HTTP-EQUIV=\"kivoredirect\" CONTENT=\"http://h/new\">";
    web.pages["http://h/new"] = Page("2.0");
    EXPECT_FALSE(info.Retrieve());
    EXPECT_EQ(info.LastError(), "Refused an address that is not https: http://h/new");
    info.HomeURL = "HTTP://h/new";
    EXPECT_FALSE(info.Retrieve());
    EXPECT_EQ(web.asked.size(), asked + 1);

    info.Tags = TWebFileTags();
    EXPECT_FALSE(info.Retrieve());
    EXPECT_EQ(view.said.back(),
              "Missing Tag Information: Can not retrieve version information\rbecause no tag "
              "information was provided.");
}

TEST(WebFileInfo, ComparesVersions) {
    struct Case {
        const char* found;
        bool simple, build;
    } cases[] = {{"1.0", false, false}, {"1.01", true, true},  {"2.0", true, true},
                 {"10", true, true},    {"0.9", false, false}, {"", false, false},
                 {"1.0.1", true, true}, {"1.10", true, true},  {"9.9", true, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsNewerVersion(c.found, "1.0", wfivSimpleString), c.simple) << c.found;
        EXPECT_EQ(IsNewerVersion(c.found, "1.0", wfivBuildNumber), c.build) << c.found;
    }
    EXPECT_FALSE(IsNewerVersion("1.10", "1.9", wfivSimpleString));
    EXPECT_TRUE(IsNewerVersion("1.10", "1.9", wfivBuildNumber));
}

TEST(WebFileInfo, NamesTheDownload) {
    EXPECT_EQ(DownloadTarget("/d/setup", 1, "x.exe"), fs::path("/d/setup.EXE"));
    EXPECT_EQ(DownloadTarget("/d/setup", 2, "x.exe"), fs::path("/d/setup.ZIP"));
    EXPECT_EQ(DownloadTarget("/d/setup", 3, "x.exe"), fs::path("/d/setup"));
    EXPECT_EQ(DownloadTarget("/d/setup.bin", 1, "x.exe"), fs::path("/d/setup.bin"));
    EXPECT_EQ(DownloadTarget("/d/", 3, "kivo.tar.gz"), fs::path("/d/kivo.tar.gz"));
}

// One connection of the loopback server, plain or TLS.
class Connection {
  public:
    Connection(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    void Send(std::string_view data) {
        while (!data.empty()) {
            const int n = ssl_ ? SSL_write(ssl_, data.data(), static_cast<int>(data.size()))
                               : static_cast<int>(::send(fd_, data.data(), data.size(),
                                                         MSG_NOSIGNAL));
            if (n <= 0) return;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    int Receive(char* buffer, int size) {
        return ssl_ ? SSL_read(ssl_, buffer, size)
                    : static_cast<int>(::recv(fd_, buffer, static_cast<std::size_t>(size), 0));
    }
    void Reply(const std::string& status, const std::string& body,
               const std::string& headers = "") {
        Send("HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\n" + headers + "\r\n" + body);
    }

  private:
    int fd_;
    SSL* ssl_;
};

// An HTTP/1.0 server on 127.0.0.1, over TLS with a certificate for that address or in plain
// text, with one handler per path, each connection in a thread. It counts the requests.
class LoopbackHttp {
  public:
    using Handler = std::function<void(Connection& c, const std::atomic<bool>& stop)>;
    explicit LoopbackHttp(bool tls) {
        if (tls) cert_ = std::make_unique<test::TestCertificate>("127.0.0.1");
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listener_, 16) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error("no loopback server");
        port_ = ntohs(addr.sin_port);
        accepter_ = std::thread([this] { Accept(); });
    }
    ~LoopbackHttp() {
        stop_ = true;
        accepter_.join();
        for (std::thread& t : workers_) t.join();
        ::close(listener_);
    }
    std::string Url(const std::string& path) const {
        return (cert_ ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(port_) +
               path;
    }
    // The certificate to trust (TLS only).
    fs::path CertFile() const { return cert_->CertFile(); }
    int Requests() const { return requests_; }
    void On(const std::string& path, Handler handler) { handlers_[path] = std::move(handler); }

  private:
    void Accept() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) workers_.emplace_back([this, fd] { Serve(fd); });
        }
    }
    void Serve(int fd) {
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        SSL* ssl = nullptr;
        if (cert_) {
            ssl = SSL_new(cert_->ServerContext());
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) != 1) {
                SSL_free(ssl);
                ::close(fd);
                return;
            }
        }
        Connection c(fd, ssl);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int n = c.Receive(buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        ++requests_;
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        const auto it = handlers_.find(path);
        if (it == handlers_.end()) {
            c.Reply("404 Not Found", "<html>no such page</html>");
        } else {
            it->second(c, stop_);
        }
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
        }
        ::close(fd);
    }

    std::unique_ptr<test::TestCertificate> cert_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::map<std::string, Handler> handlers_;
    std::thread accepter_;
    std::vector<std::thread> workers_;
};

class UpdateCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        constexpr std::uint64_t kBig = 100ull << 20;
        // The test's certificate is the trust store, for libcurl here and the kivo it runs.
        const char* old = std::getenv("SSL_CERT_FILE");
        oldCertFile = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("SSL_CERT_FILE", server.CertFile().c_str(), 1);
        server.On("/none", [](Connection& c, auto&) { c.Reply("200 OK", Page("1.0")); });
        server.On("/moved", [this](Connection& c, auto&) {
            c.Reply("301 Moved Permanently", "", "Location: " + server.Url("/newer") + "\r\n");
        });
        server.On("/newer", [this](Connection& c, auto&) {
            c.Reply("200 OK", Page("1.5", server.Url("/files/kivo-1.5.tar.gz")));
        });
        server.On("/files/kivo-1.5.tar.gz",
                  [](Connection& c, auto&) { c.Reply("200 OK", kNewVersion); });
        // The download is not the file the page vouches for.
        server.On("/tampered", [this](Connection& c, auto&) {
            c.Reply("200 OK", Page("1.5", server.Url("/files/evil.tar.gz")));
        });
        server.On("/files/evil.tar.gz",
                  [](Connection& c, auto&) { c.Reply("200 OK", "not the new version"); });
        server.On("/undigested", [this](Connection& c, auto&) {
            c.Reply("200 OK", Page("1.5", server.Url("/files/kivo-1.5.tar.gz"), ""));
        });
        // Redirects that leave https, for the page and for the download.
        server.On("/downgrade", [this](Connection& c, auto&) {
            c.Reply("302 Found", "", "Location: " + plain.Url("/newer") + "\r\n");
        });
        server.On("/plain-download", [this](Connection& c, auto&) {
            c.Reply("200 OK", Page("1.5", server.Url("/files/to-plain")));
        });
        server.On("/files/to-plain", [this](Connection& c, auto&) {
            c.Reply("302 Found", "", "Location: " + plain.Url("/files/kivo-1.5.tar.gz") + "\r\n");
        });
        plain.On("/newer", [](Connection& c, auto&) { c.Reply("200 OK", Page("1.5")); });
        plain.On("/files/kivo-1.5.tar.gz",
                 [](Connection& c, auto&) { c.Reply("200 OK", kNewVersion); });
        server.On("/stall", [](Connection& c, const std::atomic<bool>& stop) {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n<html>");
            while (!stop) ::usleep(20'000);
        });
        server.On("/big", [](Connection& c, auto&) {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kBig) + "\r\n\r\n");
            const std::string chunk(1 << 16, 'k');
            for (std::uint64_t sent = 0; sent < kBig; sent += chunk.size()) c.Send(chunk);
        });
    }
    void TearDown() override {
        if (oldCertFile) {
            ::setenv("SSL_CERT_FILE", oldCertFile->c_str(), 1);
        } else {
            ::unsetenv("SSL_CERT_FILE");
        }
    }
    TWebFileInfo Make(const std::string& path) {
        TWebFileInfo info(http, view);
        ConfigureKivoUpdate(info, server.Url(path));
        info.TempFolder = dir.path();
        return info;
    }
    LoopbackHttp server{true};
    LoopbackHttp plain{false};
    std::optional<std::string> oldCertFile;
    test::PumpPlatform platform;
    TCurlHttpClient http{platform, 1};
    ScriptedView view;
    test::TempDir dir;
};

TEST_F(UpdateCheck, SaysWhenThereIsNoUpdateOrNoPage) {
    Make("/none").Execute();
    EXPECT_EQ(view.said, (Lines{"No Update Found: There is no update available."}));
    view.said.clear();
    Make("/gone").Execute();
    EXPECT_EQ(view.said, (Lines{"Error: 404",
                                "Connection Error: Could not retrieve version information "
                                "from the Internet.\rError: \"Not Found.\""}));
    view.said.clear();
    Make("/stall").Execute();
    EXPECT_EQ(view.said, (Lines{"Connection Error: Could not retrieve version information from "
                                "the Internet.\rError: \"Operation timed out.\""}));
}

TEST_F(UpdateCheck, DownloadsAfterAskingAndNeverInstallsUnasked) {
    view.download = true;
    view.saveAs = dir.path() / "";
    view.fileType = 3;
    Make("/moved").Execute();
    EXPECT_EQ(view.said,
              (Lines{"Update Available? Current version is 1.0.\rVersion 1.5 is available.\r"
                     "Download the update?",
                     "Save kivo-1.5.tar.gz",
                     "Install Update? Do you want to install the update now?\rThis will close "
                     "Kivo."}));
    EXPECT_EQ(test::ReadFile(dir / "kivo-1.5.tar.gz"), "the new version");
    EXPECT_FALSE(view.opened);

    // Yes to installing opens the download and ends the program.
    view.said.clear();
    view.install = true;
    Make("/moved").Execute();
    EXPECT_TRUE(view.opened);
    EXPECT_TRUE(view.quit);

    // No to downloading: nothing is asked further, nothing is written.
    view = ScriptedView();
    view.saveAs = dir.path() / "other";
    Make("/moved").Execute();
    EXPECT_EQ(view.said.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "other"));
}

std::size_t FilesIn(const fs::path& dir) {
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
    return files;
}

TEST_F(UpdateCheck, NeverLeavesHttpsNorKeepsAnUnvouchedDownload) {
    const std::string refusedPage = "Connection Error: Could not retrieve version information "
                                    "from the Internet.\rError: \"Refused ";
    Make("/downgrade").Execute();
    ASSERT_EQ(view.said.size(), 1u);
    EXPECT_EQ(view.said[0], refusedPage + "a redirect to an address that is not https: " +
                                plain.Url("/newer") + ".\"");
    view.said.clear();
    TWebFileInfo http = Make("/none");
    http.HomeURL = plain.Url("/newer");
    http.Execute();
    EXPECT_EQ(view.said, (Lines{refusedPage + "an address that is not https: " +
                                plain.Url("/newer") + ".\""}));

    // The download's digest: a file that is not the one the page vouches for is deleted, and a
    // page that vouches for none gets no download at all.
    struct Case {
        const char* page;
        const char* error;
    } cases[] = {
        {"/tampered",
         "The download's SHA-256 is not the one the version page gives; the file was deleted"},
        {"/undigested", "The version page gives no valid SHA-256 for the download"},
        {"/plain-download", "Refused a redirect to an address that is not https: "},
    };
    for (const Case& c : cases) {
        view = ScriptedView();
        view.download = view.install = true;
        view.saveAs = dir.path() / "";
        view.fileType = 3;
        Make(c.page).Execute();
        ASSERT_FALSE(view.said.empty());
        EXPECT_TRUE(view.said.back().starts_with(
            "Download Error: Error occurred while downloading update.\rError: \"" +
            std::string(c.error)))
            << c.page << ": " << view.said.back();
        EXPECT_FALSE(view.opened) << c.page;
        EXPECT_EQ(FilesIn(dir.path()), 0u) << c.page;
    }
    EXPECT_EQ(plain.Requests(), 0) << "nothing went out in plain text";

    // A certificate the trust store does not hold is refused.
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_FALSE(Make("/none").Retrieve());
}

TEST_F(UpdateCheck, DownloadStreamsToATemporaryFileRenamedWhenComplete) {
    TWebFileInfo info = Make("/none");
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    ASSERT_TRUE(info.Download(server.Url("/big"), dir / "big.bin", "Downloading Update"))
        << info.LastError();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(fs::file_size(dir / "big.bin"), 100ull << 20);
    EXPECT_EQ(view.lastReceived, 100ull << 20);
    EXPECT_EQ(view.lastTotal, 100ull << 20);
#ifndef __SANITIZE_ADDRESS__
    // (The address sanitizer's quarantine holds freed memory: the peak says nothing there.)
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 40 * 1024) << "kilobytes held at the peak";
#endif

    // Canceled, stalled or refused: no file, and no temporary file left beside it.
    view.cancelAt = true;
    EXPECT_FALSE(info.Download(server.Url("/big"), dir / "c.bin", "Downloading Update"));
    EXPECT_EQ(info.LastError(), "Operation has been canceled");
    EXPECT_FALSE(info.Download(server.Url("/stall"), dir / "s.bin", "Downloading Update"));
    EXPECT_EQ(info.LastError(), "Operation timed out");
    EXPECT_FALSE(info.Download(server.Url("/gone"), dir / "g.bin", "Downloading Update"));
    EXPECT_EQ(info.LastError(), "Not Found");
    EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST_F(UpdateCheck, KivoUpdateCheckOnTheTerminal) {
    test::TempDir home;
    ASSERT_EQ(test::RunKivo({"--home", home.path().string(), "init"}).status, 0);
    test::WriteFile(home / "kivo.ini", "[Program]\r\nHomeURL=" + server.Url("/moved") + "\r\n");
    test::ProcessResult r = test::RunKivo({"--home", home.path().string(), "update-check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Current version is 1.0.\nVersion 1.5 is available.\nDownload the update? no\n");
    r = test::RunKivo({"--home", home.path().string(), "update-check", "--download", "--to",
                       dir.path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir / "kivo-1.5.tar.gz"), "the new version");
    EXPECT_NE(r.err.find("Downloading Update: 15 of 15 bytes received."), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("This will close Kivo. no\nThe update is saved as "), std::string::npos)
        << r.out;
    test::WriteFile(home / "kivo.ini", "[Program]\r\nHomeURL=" + server.Url("/gone") + "\r\n");
    r = test::RunKivo({"--home", home.path().string(), "update-check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error: \"Not Found.\""), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kivo
