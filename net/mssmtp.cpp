#include "net/mssmtp.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <fstream>
#include <system_error>
#include <utility>

#include "base/bytes.h"
#include "base/files.h"
#include "base/platform.h"
#include "mail/base64.h"
#include "mail/headerfields.h"
#include "mail/mserrors.h"
#include "mail/outgoingid.h"
#include "net/hostlookup.h"

namespace kivo {

namespace {

// How much message data is read, stuffed and sent at a time.
constexpr std::size_t kDataPiece = 64 * 1024;

bool HasEightBit(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The encoded message in a file of the temporary folder. Its name is removed as soon as it is
// open, so the file goes with the stream, also when the program is killed mid-send.
class TTempFileStream {
  public:
    TTempFileStream() {
        std::string path = (TempFolder() / "msXXXXXX").string();
        const int fd = ::mkstemp(path.data());
        if (fd < 0)
            throw std::system_error(errno, std::generic_category(),
                                    "Cannot create a temporary file in " + TempFolder().string());
        stream_.open(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        ::close(fd);
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        if (!stream_) throw std::system_error(EIO, std::generic_category(), "Cannot open " + path);
    }

    // Writes the message into the file and describes what was written; the data reads it
    // back from the start.
    TmsSMTP::TData Encode(TmsMessage& message, Platform& platform) {
        message.SaveToStream(stream_, &platform);
        stream_.flush();
        if (!stream_) Fail("Cannot write the message to a temporary file (is the disk full?)");
        TmsSMTP::TData data;
        data.size = static_cast<std::uint64_t>(stream_.tellp());
        stream_.seekg(0);
        std::vector<char> buffer(kDataPiece);
        for (std::size_t n; (n = Read(buffer.data(), buffer.size())) > 0;)
            data.eightBit = data.eightBit || HasEightBit({buffer.data(), n});
        stream_.clear();
        stream_.seekg(0);
        data.read = [this](char* to, std::size_t capacity) { return Read(to, capacity); };
        return data;
    }

  private:
    std::size_t Read(char* to, std::size_t capacity) {
        stream_.read(to, static_cast<std::streamsize>(capacity));
        const auto n = static_cast<std::size_t>(stream_.gcount());
        // A short read that is not the end is an error: never send a message cut short.
        if (n < capacity && !stream_.eof())
            Fail("Cannot read the message back from its temporary file");
        return n;
    }
    [[noreturn]] static void Fail(const std::string& text) {
        throw std::system_error(EIO, std::generic_category(), text);
    }

    std::fstream stream_;
};

// The CRAM-MD5 answer's digest (RFC 2195): HMAC-MD5 of the challenge, in lower-case hex.
std::string CramMd5Digest(std::string_view key, std::string_view challenge) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(challenge.data()), challenge.size(), digest,
         &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

// The envelope sender: for a redirected message the address in its newest Resent-From
// (the user who redirected it, logged in to this server; the author's address would be
// refused there), else the From address.
std::string EnvelopeSender(const TmsMessage& message) {
    const std::string resent = message.Headers().GetFieldValue("Resent-From");
    if (!resent.empty()) {
        const std::string address = Trim(ParseAddress(resent).address);
        if (!address.empty()) return address;
    }
    return message.Sender().Address();
}

}  // namespace

void TDotStuffer::Append(std::string_view piece, std::string& out) {
    out.reserve(out.size() + piece.size() + piece.size() / 64 + 2);
    for (char c : piece) {
        if (lineStart_ && c == '.') out += '.';
        out += c;
        lineStart_ = c == '\n';
    }
}

std::string StuffDots(std::string_view data) {
    std::string out;
    TDotStuffer().Append(data, out);
    return out;
}

TmsSMTP::TmsSMTP(Platform& platform) : TmsMailBase(platform) {
    DefaultPort = 25;
    SetServiceName("smtp");
}

void TmsSMTP::Connect() {
    if (Server.empty()) RaiseSocketText("Server property is required");
    const bool implicit = Security == TSecurity::implicit;
    DefaultPort = implicit ? 465 : 25;
    SetServiceName(implicit ? "submissions" : "smtp");
    ResetFlags();
    TmsMailBase::Connect();
}

std::string TmsSMTP::ServerName() const {
    const std::string host = SplitServer(Server).host;
    const std::string port = std::to_string(Port());
    return host.find(':') != std::string::npos ? "[" + host + "]:" + port : host + ":" + port;
}

int TmsSMTP::ReadSmtpReply(std::vector<std::string>* lines) {
    const int code = ReadLine(lastReply_);
    if (lines) lines->assign(1, lastReply_);
    if (code <= 0 || lastReply_.size() < 4 || lastReply_[3] != '-') return code;
    std::size_t bytes = lastReply_.size();
    std::string line;
    for (int count = 2;; ++count) {
        ReadLine(line);
        bytes += line.size();
        if (count > kMaxReplyLines || bytes > kMaxReplyBytes) {
            // What follows cannot be trusted to line up with our commands.
            Disconnect();
            RaiseSocketText("The SMTP server " + ServerName() + " sent a reply of more than " +
                            (count > kMaxReplyLines ? std::to_string(kMaxReplyLines) + " lines"
                                                    : std::to_string(kMaxReplyBytes) + " bytes"));
        }
        if (lines) lines->push_back(line);
        // Any line that does not continue ("250" alone, "250 ok") ends the reply.
        if (line.size() < 4 || line[3] != '-') break;
    }
    lastReply_ = std::move(line);
    return code;
}

void TmsSMTP::Expect(std::string_view command, int expected) {
    SendLine(command);
    if (ReadSmtpReply() / 100 != expected) throw EServerError(lastReply_);
}

void TmsSMTP::LogIn() {
    extensions_.clear();
    extended_ = false;
    OpenConnection();
    if (Security == TSecurity::implicit) StartTls(TrustCert);
    if (ReadSmtpReply() / 100 != 2) throw EServerError(lastReply_);
    if (Security == TSecurity::none && AuthUser.empty()) return Helo();
    if (!Ehlo()) {
        // Never on without TLS: a server that knows no EHLO knows no STARTTLS either.
        if (Security == TSecurity::upgrade) {
            Disconnect();
            RaiseSocketText("The server refused EHLO, so STARTTLS is not possible: " + lastReply_);
        }
        Helo();
    }
    if (Security == TSecurity::upgrade) {
        if (!HasExtension("STARTTLS")) {
            Disconnect();
            RaiseSocketText(
                "The server does not offer STARTTLS, so the connection stays "
                "unsecured");
        }
        Expect("STARTTLS", 2);
        StartTls(TrustCert);
        if (!Ehlo()) throw EServerError(lastReply_);
    }
    if (!AuthUser.empty()) Authenticate();
}

void TmsSMTP::Helo() {
    SendLine("HELO " + LocalHostName());
    if (ReadSmtpReply() / 100 != 2) Expect("HELO", 2);
}

bool TmsSMTP::Ehlo() {
    SendLine("EHLO " + LocalHostName());
    std::vector<std::string> lines;
    extended_ = ReadSmtpReply(&lines) / 100 == 2;
    extensions_.clear();
    if (extended_) extensions_.assign(lines.begin() + 1, lines.end());
    for (std::string& line : extensions_) line = line.size() > 4 ? line.substr(4) : std::string();
    return extended_;
}

std::vector<std::string> TmsSMTP::ExtensionWords(std::string_view keyword) const {
    for (const std::string& line : extensions_) {
        // "AUTH=PLAIN LOGIN" is the old spelling of "AUTH PLAIN LOGIN".
        const std::vector<std::string> words = SplitWords(line, " =");
        if (!words.empty() && EqualsNoCase(words[0], keyword))
            return {words.begin() + 1, words.end()};
    }
    return {};
}

bool TmsSMTP::HasExtension(std::string_view keyword) const {
    return std::any_of(extensions_.begin(), extensions_.end(), [&](const std::string& line) {
        return EqualsNoCase(line.substr(0, line.find_first_of(" =")), keyword);
    });
}

void TmsSMTP::Authenticate() {
    try {
        AuthenticateWith(ExtensionWords("AUTH"));
    } catch (const EServerError&) {
        // 535: the credentials were wrong (RFC 4954); other codes keep their own text.
        if (ReplyCode(lastReply_) == 535) throw ELoginRefused(lastReply_);
        throw;
    }
}

void TmsSMTP::AuthenticateWith(const std::vector<std::string>& offered) {
    auto offers = [&](std::string_view mechanism) {
        return std::any_of(offered.begin(), offered.end(),
                           [&](const std::string& m) { return EqualsNoCase(m, mechanism); });
    };
    // Without TLS, CRAM-MD5 keeps the password off the wire; with TLS, PLAIN is enough.
    const bool secured = Security != TSecurity::none;
    if (offers("CRAM-MD5") && (!secured || !(offers("PLAIN") || offers("LOGIN")))) {
        Expect("AUTH CRAM-MD5", 3);
        const std::string challenge =
            DecodeBase64(lastReply_.size() > 4 ? lastReply_.substr(4) : std::string());
        Expect(EncodeBase64(AuthUser + " " + CramMd5Digest(AuthPassword, challenge)), 2);
    } else if (offers("PLAIN")) {
        Expect("AUTH PLAIN " + EncodeBase64(std::string(1, '\0') + AuthUser + '\0' + AuthPassword),
               2);
    } else if (offers("LOGIN")) {
        Expect("AUTH LOGIN", 3);
        Expect(EncodeBase64(AuthUser), 3);
        Expect(EncodeBase64(AuthPassword), 2);
    } else {
        Disconnect();
        RaiseSocketText(offered.empty()
                            ? "The server offers no log-in (AUTH)"
                            : "The server offers no log-in this program knows (AUTH PLAIN, "
                              "LOGIN or CRAM-MD5)");
    }
}

std::string TmsSMTP::MailParameters(const TData& data) {
    if (!extended_) return {};
    std::string parameters;
    if (HasExtension("SIZE")) {
        const std::vector<std::string> words = ExtensionWords("SIZE");
        std::uint64_t limit = 0;
        if (!words.empty() &&
            std::from_chars(words[0].data(), words[0].data() + words[0].size(), limit).ec ==
                std::errc() &&
            limit > 0 && data.size > limit)
            throw EServerError("The message is " + std::to_string(data.size) +
                               " bytes, more than the server's limit of " + words[0] + " bytes");
        parameters += " SIZE=" + std::to_string(data.size);
    }
    if (data.eightBit && HasExtension("8BITMIME")) parameters += " BODY=8BITMIME";
    return parameters;
}

void TmsSMTP::LogOut() {
    GetPlatform().Pump();
    Expect("QUIT", 2);
}

void TmsSMTP::SendMail() {
    Open();
    try {
        Send();
    } catch (...) {
        // The failure of the message is what the user must see, not that of the QUIT after it.
        try {
            Close();
        } catch (const std::exception&) {
        }
        throw;
    }
    Close();
}

void TmsSMTP::Send() {
    if (!MailMessage) RaiseSocketText("MailMessage property must be assigned");
    MailMessage->Validate();
    if (OnPrepare) OnPrepare(*this);
    AddMissingIdentity(MailMessage->Headers(), MailMessage->Sender().Address(), DateTime::Now());
    TTempFileStream file;
    const TData data = file.Encode(*MailMessage, GetPlatform());
    std::vector<std::string> recipients;
    for (const TmsAddressList* list :
         {&MailMessage->Recipients(), &MailMessage->CC(), &MailMessage->BCC()})
        for (const TmsMailAddress& address : *list) recipients.push_back(address.Address());
    SendEnvelope(EnvelopeSender(*MailMessage), recipients, data);
}

void TmsSMTP::SendEnvelope(std::string_view from, const std::vector<std::string>& recipients,
                           std::string_view data) {
    TData pieces{data.size(), HasEightBit(data), [data](char* to, std::size_t capacity) mutable {
                     const std::size_t n = data.copy(to, capacity);
                     data.remove_prefix(n);
                     return n;
                 }};
    SendEnvelope(from, recipients, pieces);
}

void TmsSMTP::SendEnvelope(std::string_view from, const std::vector<std::string>& recipients,
                           const TData& data) {
    if (OnSending) OnSending(*this);
    const std::string parameters = MailParameters(data);
    if (!from.empty()) Expect("MAIL FROM:<" + std::string(from) + ">" + parameters, 2);
    for (const std::string& address : recipients) {
        SendLine("RCPT TO:<" + address + ">");
        if (ReadSmtpReply() / 100 == 2) continue;
        bool proceed = false;
        if (OnAddressRejected) OnAddressRejected(*this, address, lastReply_, proceed);
        if (!proceed) throw EServerError(lastReply_);
    }
    Expect("DATA", 3);
    SendData(data);
    if (OnMailSent) OnMailSent(*this);
}

void TmsSMTP::SendData(const TData& data) {
    // The idle time-out stays the account's; the whole of the data and the final reply must
    // also fit in a deadline scaled to the size, so a server that takes a few bytes now and
    // then cannot hold the run for hours.
    const int idle = TimeOut;
    TmsProgressEvent progress = std::exchange(OnProgress, nullptr);
    struct Restore {
        TmsSMTP& smtp;
        int idle;
        TmsProgressEvent& progress;
        ~Restore() {
            smtp.TimeOut = idle;
            smtp.OnProgress = std::move(progress);
        }
    } restore{*this, idle, progress};
    const auto deadline =
        Counter().Now() + std::chrono::seconds(idle + static_cast<std::int64_t>(
                                                          data.size / kSlowestDataBytesPerSecond));
    auto limitWait = [&] {
        const auto left =
            std::chrono::ceil<std::chrono::seconds>(deadline - Counter().Now()).count();
        if (left <= 0) RaiseTimedOut();
        TimeOut = static_cast<int>(std::min<std::int64_t>(idle, left));
    };

    std::vector<char> buffer(kDataPiece);
    std::string wire;
    TDotStuffer stuffer;
    std::uint64_t sent = 0;
    for (;;) {
        std::size_t n = 0;
        try {
            n = data.read(buffer.data(), buffer.size());
        } catch (const std::exception&) {
            // Without the final dot the server drops what it has; a reset would be taken
            // for more data.
            Disconnect();
            throw;
        }
        if (n == 0) break;
        wire.clear();
        stuffer.Append({buffer.data(), n}, wire);
        limitWait();
        SendStream(wire);
        sent += n;
        if (progress)
            progress(*this,
                     static_cast<int>(std::llround(static_cast<double>(sent) * 100.0 /
                                                   static_cast<double>(data.size))),
                     static_cast<std::int64_t>(sent));
    }
    if (sent != data.size) {
        Disconnect();
        RaiseSocketText("The message changed while it was sent: " + std::to_string(sent) +
                        " bytes instead of " + std::to_string(data.size));
    }
    limitWait();
    SendLine("");
    limitWait();
    Expect(".", 2);
    if (progress) progress(*this, 0, 0);
}

void TmsSMTP::Reset() {
    Open();
    SendLine("RSET");
    if (ReadSmtpReply() / 100 != 2) throw EServerError(lastReply_);
}

}  // namespace kivo
