// The web file information component: the page's META lines, the version comparison and the
// update check's dialogue.

#include "app/webfileinfo.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>

#include "app/settings.h"
#include "base/bytes.h"
#include "base/inifile.h"

namespace kivo {

namespace {

constexpr int kMaxPageRedirects = 5;
// A line longer than this is no META line; only its start is kept.
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::string_view kMetaPhrase = "META HTTP-EQUIV";
constexpr std::string_view kContent = "CONTENT=";

std::string LastPart(std::string_view address) {
    const std::size_t slash = address.rfind('/');
    return std::string(slash == std::string_view::npos ? address : address.substr(slash + 1));
}

// Splits the page into lines as it arrives, keeping only the line being read.
class TLineReader {
  public:
    explicit TLineReader(std::function<void(std::string_view)> onLine)
        : onLine_(std::move(onLine)) {}
    void Add(std::string_view piece) {
        for (char c : piece) {
            if (c == '\r' || c == '\n') {
                Finish();
            } else if (line_.size() < kMaxLine) {
                line_ += c;
            }
        }
    }
    void Finish() {
        if (!line_.empty()) onLine_(line_);
        line_.clear();
    }

  private:
    std::function<void(std::string_view)> onLine_;
    std::string line_;
};

// SHA-256 of what passes through, as lower-case hex.
class TSha256 {
  public:
    TSha256() : ctx_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available");
    }
    void Add(std::string_view data) { EVP_DigestUpdate(ctx_.get(), data.data(), data.size()); }
    std::string Hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(ctx_.get(), digest, &size);
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned int k = 0; k < size; ++k) {
            hex += kDigits[digest[k] >> 4];
            hex += kDigits[digest[k] & 15];
        }
        return hex;
    }

  private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx_;
};

bool IsSha256Hex(std::string_view text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == text.npos;
}

std::string NotHttps(const std::string& url) {
    return "Refused an address that is not https: " + url;
}

void WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw std::system_error(errno, std::generic_category(), "write");
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

bool TWebFileTags::AllEmpty() const {
    for (const std::string* tag : {&productName, &readMe, &externalReadMe, &version, &date, &author,
                                   &authorEmail, &download, &redirect, &runParameters, &sha256}) {
        if (!tag->empty()) return false;
    }
    return true;
}

TWebFileInfo::TWebFileInfo(THttpClient& http, TWebFileInfoView& view) : http_(http), view_(view) {}

std::string TWebFileInfo::DownloadFileName() const {
    return LastPart(values_.download);
}

void TWebFileInfo::ReadLine(std::string_view line) {
    const std::string upper = UpperCase(line);
    const std::size_t meta = upper.find(kMetaPhrase);
    if (meta == std::string::npos) return;
    const std::size_t nameStart = meta + kMetaPhrase.size() + 2;
    if (nameStart > line.size()) return;
    const std::size_t nameEnd = line.find('"', nameStart);
    const std::string_view name = line.substr(nameStart, nameEnd - nameStart);
    // "content=" in any letter case, as the META phrase itself: a page written in lower case
    // would otherwise give a value cut from the wrong place.
    const std::size_t content = upper.find(kContent, nameEnd == std::string::npos ? 0 : nameEnd);
    if (content == std::string::npos) return;
    const std::size_t valueStart = std::min(content + kContent.size() + 1, line.size());
    const std::size_t valueEnd = line.find('"', valueStart);
    const std::string value(line.substr(valueStart, valueEnd - valueStart));
    const std::pair<const std::string*, std::string*> fields[] = {
        {&Tags.productName, &values_.productName},
        {&Tags.readMe, &values_.readMe},
        {&Tags.externalReadMe, &values_.externalReadMe},
        {&Tags.version, &values_.version},
        {&Tags.date, &values_.date},
        {&Tags.author, &values_.author},
        {&Tags.authorEmail, &values_.authorEmail},
        {&Tags.download, &values_.download},
        {&Tags.redirect, &values_.redirect},
        {&Tags.runParameters, &values_.runParameters},
        {&Tags.sha256, &values_.sha256},
    };
    for (const auto& [tag, field] : fields) {
        if (!tag->empty() && *tag == name) *field = value;
    }
}

bool TWebFileInfo::Fetch(const std::string& url) {
    values_ = TWebFileValues();
    // A page read in plain text could name any download and any digest.
    if (!IsHttpsUrl(url)) {
        lastError_ = NotHttps(url);
        return false;
    }
    TLineReader reader([this](std::string_view line) { ReadLine(line); });
    view_.Waiting(true);
    THttpStatus status;
    try {
        status = http_.Get(url, [&](std::string_view piece) { reader.Add(piece); }, {});
    } catch (const std::exception& e) {
        view_.Waiting(false);
        values_ = TWebFileValues();
        lastError_ = e.what();
        return false;
    }
    view_.Waiting(false);
    if (status.code > 200) {
        values_ = TWebFileValues();
        lastError_ = status.reason;
        view_.Message(std::to_string(status.code), "Error");
        return false;
    }
    reader.Finish();
    return true;
}

bool TWebFileInfo::Retrieve() {
    values_ = TWebFileValues();
    lastError_.clear();
    if (HomeURL.empty()) return false;
    if (Tags.AllEmpty()) {
        view_.Message(
            "Can not retrieve version information\rbecause no tag information was provided.",
            "Missing Tag Information");
        return false;
    }
    // A page that names itself, or two pages naming each other, would be read for ever.
    std::string url = HomeURL;
    for (int pages = 0;; ++pages) {
        if (!Fetch(url)) return false;
        if (values_.redirect.empty()) return true;
        if (pages >= kMaxPageRedirects) {
            lastError_ = "Too many redirects";
            values_ = TWebFileValues();
            return false;
        }
        url = values_.redirect;
    }
}

bool TWebFileInfo::NewerVersion() const {
    return IsNewerVersion(values_.version, CurrentVersion, VersionFormat);
}

bool TWebFileInfo::Download(const std::string& url, const std::filesystem::path& file,
                            const std::string& title, std::string_view sha256) {
    lastError_.clear();
    if (!IsHttpsUrl(url)) {
        lastError_ = NotHttps(url);
        return false;
    }
    if (!sha256.empty() && !IsSha256Hex(sha256)) {
        lastError_ = "The version page gives no valid SHA-256 for the download";
        return false;
    }
    std::string temp = (file.parent_path() / ("." + file.filename().string() + ".partXXXXXX"));
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        lastError_ = std::system_category().message(errno);
        return false;
    }
    bool done = false;
    try {
        TSha256 digest;
        const THttpStatus status = http_.Get(
            url,
            [&](std::string_view piece) {
                digest.Add(piece);
                WriteAll(fd, piece);
            },
            [&](std::uint64_t received, std::uint64_t total) {
                return view_.Progress(title, received, total);
            });
        if (status.code > 200) {
            lastError_ = status.reason.empty() ? std::to_string(status.code) : status.reason;
        } else if (!sha256.empty() && !EqualsNoCase(digest.Hex(), sha256)) {
            lastError_ =
                "The download's SHA-256 is not the one the version page gives; the file was "
                "deleted";
        } else if (::fsync(fd) != 0) {
            lastError_ = std::system_category().message(errno);
        } else {
            done = true;
        }
    } catch (const std::exception& e) {
        lastError_ = e.what();
    }
    // mkstemp made the file for its owner only; a downloaded file is an ordinary one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    if (done && ::rename(temp.c_str(), file.c_str()) != 0) {
        lastError_ = std::system_category().message(errno);
        done = false;
    }
    if (!done) ::unlink(temp.c_str());
    return done;
}

void TWebFileInfo::Failure(const std::string& text, const std::string& title) {
    view_.Message(
        text + (lastError_.empty() ? "\rError unknown." : "\rError: \"" + lastError_ + ".\""),
        title);
}

void TWebFileInfo::Execute() {
    if (!Retrieve()) {
        Failure("Could not retrieve version information from the Internet.", "Connection Error");
        return;
    }
    if (!NewerVersion()) {
        view_.Message("There is no update available.", "No Update Found");
        return;
    }
    const std::string available =
        "Current version is " + CurrentVersion + ".\rVersion " + values_.version + " is available.";
    const bool readMe = !values_.readMe.empty() || !values_.externalReadMe.empty();
    if ((Options & wfioDisplayReadMe) && readMe &&
        view_.Ask(available + "\rWould you like to view the ReadMe file?", "Update Available")) {
        if (!values_.externalReadMe.empty()) {
            const std::filesystem::path file = TempFolder / LastPart(values_.externalReadMe);
            if (Download(values_.externalReadMe, file, "Downloading ReadMe") &&
                !view_.ShellOpen(file, ""))
                view_.Message("Can not start program.", "Error");
        } else {
            view_.ShowReadMe(values_.readMe);
        }
    }
    if (!view_.Ask(available + "\rDownload the update?", "Update Available")) return;
    // Without a digest to check it against, a download could be anything.
    if (!IsSha256Hex(values_.sha256)) {
        lastError_ = "The version page gives no valid SHA-256 for the download";
        Failure("Error occurred while downloading update.", "Download Error");
        return;
    }
    int fileType = 1;
    const std::optional<std::filesystem::path> chosen = view_.SaveAs(DownloadFileName(), fileType);
    if (!chosen) return;
    const std::filesystem::path target = DownloadTarget(*chosen, fileType, DownloadFileName());
    if (!Download(values_.download, target, "Downloading Update", values_.sha256)) {
        Failure("Error occurred while downloading update.", "Download Error");
        return;
    }
    if (!(Options & wfioRunUpdate)) return;
    if (!view_.Ask(
            "Do you want to install the update now?\rThis will close " + ApplicationTitle + ".",
            "Install Update"))
        return;
    if (!view_.ShellOpen(target, values_.runParameters)) {
        view_.Message("Can not start program.", "Error");
    } else if (Options & wfioExitDuringUpdate) {
        view_.Quit();
    }
}

std::string HomeUrl(const IniFile& settings) {
    return Trim(settings.ReadString("Program", "HomeURL", kHomeUrlDefault));
}

void ConfigureKivoUpdate(TWebFileInfo& info, std::string homeUrl) {
    info.CurrentVersion = kProgramVersion;
    info.HomeURL = std::move(homeUrl);
    info.Tags = TWebFileTags();
    info.Tags.version = "kivoversion";
    info.Tags.date = "kivodate";
    info.Tags.download = "kivodownload";
    info.Tags.productName = "kivoname";
    info.Tags.readMe = "kivoreadme";
    info.Tags.author = "kivoauthor";
    info.Tags.sha256 = "kivosha256";
    info.Options = wfioDisplayUI | wfioDisplayReadMe | wfioRunUpdate | wfioExitDuringUpdate;
    info.VersionFormat = wfivSimpleString;
}

bool IsNewerVersion(std::string_view found, std::string_view current,
                    TWebFileInfoVersionFormat format) {
    if (format == wfivSimpleString) return found > current;
    const std::vector<std::string> a = SplitWords(found, ".");
    const std::vector<std::string> b = SplitWords(current, ".");
    for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
        const int x = k < a.size() ? ToIntDef(a[k], 0) : 0;
        const int y = k < b.size() ? ToIntDef(b[k], 0) : 0;
        if (x != y) return x > y;
    }
    return false;
}

std::filesystem::path DownloadTarget(const std::filesystem::path& chosen, int fileType,
                                     const std::string& downloadName) {
    std::filesystem::path target = chosen;
    const std::string text = chosen.string();
    if (!text.empty() && text.back() == '/') target = chosen / downloadName;
    if (!target.has_extension()) {
        if (fileType == 1) target += ".EXE";
        if (fileType == 2) target += ".ZIP";
    }
    return target;
}

}  // namespace kivo
