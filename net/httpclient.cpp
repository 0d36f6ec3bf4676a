#include "net/httpclient.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>

#include "base/bytes.h"
#include "base/platform.h"

namespace kivo {

namespace {

struct TTransfer {
    CURL* curl = nullptr;
    const THttpClient::Sink* sink = nullptr;
    const THttpClient::Progress* progress = nullptr;
    Platform* platform = nullptr;
    THttpStatus status;
    std::string location;  // of the last redirect, for a refusal's text
    std::exception_ptr error;  // thrown by the sink, carried past libcurl's C frames
};

bool Success(long code) {
    return code >= 200 && code <= 299;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<TTransfer*>(user);
    const std::string_view line(data, size * count);
    // "HTTP/1.1 404 Not Found": each reply of a redirect chain starts a new status.
    if (line.starts_with("HTTP/")) {
        const std::size_t code = line.find(' ');
        const std::size_t reason = code == std::string_view::npos ? code : line.find(' ', code + 1);
        t.status.reason = reason == std::string_view::npos ? "" : Trim(line.substr(reason + 1));
    } else if (StartsWithNoCase(line, "location:")) {
        t.location = Trim(line.substr(9));
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<TTransfer*>(user);
    long code = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &code);
    if (!Success(code)) return size * count;  // an error page is not the file asked for
    try {
        (*t.sink)(std::string_view(data, size * count));
    } catch (...) {
        t.error = std::current_exception();
        return CURL_WRITEFUNC_ERROR;
    }
    return size * count;
}

int OnProgress(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    auto& t = *static_cast<TTransfer*>(user);
    t.platform->Pump();
    if (t.platform->AbortRequested()) return 1;
    long code = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &code);
    if (*t.progress && Success(code) && received > 0 &&
        !(*t.progress)(static_cast<std::uint64_t>(received), static_cast<std::uint64_t>(total)))
        return 1;
    return 0;
}

}  // namespace

bool IsHttpsUrl(std::string_view url) {
    return StartsWithNoCase(url, "https://");
}

TCurlHttpClient::TCurlHttpClient(Platform& platform, int timeoutSeconds)
    : platform_(platform), timeout_(timeoutSeconds) {}

THttpStatus TCurlHttpClient::Get(const std::string& url, const Sink& sink,
                                 const Progress& progress) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) throw ESocketError("HTTP client could not be started");
    if (!IsHttpsUrl(url)) throw ESocketError("Refused an address that is not https: " + url);
    TTransfer t{curl.get(), &sink, &progress, &platform_, {}, {}, nullptr};
    char message[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // The same trust store as the mail connections, which read these through OpenSSL.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file)
        curl_easy_setopt(c, CURLOPT_CAINFO, file);
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir)
        curl_easy_setopt(c, CURLOPT_CAPATH, dir);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timeout_));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeout_));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Kivo");
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    const CURLcode result = curl_easy_perform(c);
    if (t.error) std::rethrow_exception(t.error);
    if (result == CURLE_ABORTED_BY_CALLBACK) {
        platform_.ClearAbortRequest();
        throw ECanceledError(kCanceledText);
    }
    if (result == CURLE_OPERATION_TIMEDOUT) throw ETimedOutError(kTimedOutText);
    if (result == CURLE_UNSUPPORTED_PROTOCOL) {
        // Only a redirect can lead here: the address asked for was checked above.
        throw ESocketError("Refused a redirect to an address that is not https" +
                           (t.location.empty() ? std::string() : ": " + t.location));
    }
    if (result != CURLE_OK)
        throw ESocketError(message[0] != '\0' ? std::string(message)
                                              : std::string(curl_easy_strerror(result)));
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    t.status.code = static_cast<int>(code);
    return t.status;
}

}  // namespace kivo
