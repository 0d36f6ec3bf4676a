#include "net/mssmtp.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <exception>

#include "base/bytes.h"
#include "base/platform.h"
#include "mail/base64.h"
#include "mail/headerfields.h"
#include "mail/mserrors.h"
#include "mail/outgoingid.h"

namespace kivo {

namespace {

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

std::string StuffDots(std::string_view data) {
    std::string out;
    out.reserve(data.size() + data.size() / 64 + 2);
    bool lineStart = true;
    for (char c : data) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = c == '\n';
    }
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

void TmsSMTP::Expect(std::string_view command, int expected) {
    SendLine(command);
    if (ReadReply() / 100 != expected) throw EServerError(lastReply_);
}

void TmsSMTP::LogIn() {
    extensions_.clear();
    extended_ = false;
    OpenConnection();
    if (Security == TSecurity::implicit) StartTls(TrustCert);
    if (ReadReply() / 100 != 2) throw EServerError(lastReply_);
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
    if (ReadReply() / 100 != 2) Expect("HELO", 2);
}

bool TmsSMTP::Ehlo() {
    SendLine("EHLO " + LocalHostName());
    std::vector<std::string> lines;
    extended_ = ReadReply(&lines) / 100 == 2;
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

std::string TmsSMTP::MailParameters(std::string_view data) {
    if (!extended_) return {};
    std::string parameters;
    if (HasExtension("SIZE")) {
        const std::vector<std::string> words = ExtensionWords("SIZE");
        std::uint64_t limit = 0;
        if (!words.empty() &&
            std::from_chars(words[0].data(), words[0].data() + words[0].size(), limit).ec ==
                std::errc() &&
            limit > 0 && data.size() > limit)
            throw EServerError("The message is " + std::to_string(data.size()) +
                               " bytes, more than the server's limit of " + words[0] + " bytes");
        parameters += " SIZE=" + std::to_string(data.size());
    }
    const bool eightBit = std::any_of(data.begin(), data.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (eightBit && HasExtension("8BITMIME")) parameters += " BODY=8BITMIME";
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
    std::string data = MailMessage->SaveToString(&GetPlatform());
    std::vector<std::string> recipients;
    for (const TmsAddressList* list :
         {&MailMessage->Recipients(), &MailMessage->CC(), &MailMessage->BCC()})
        for (const TmsMailAddress& address : *list) recipients.push_back(address.Address());
    SendEnvelope(EnvelopeSender(*MailMessage), recipients, data);
}

void TmsSMTP::SendEnvelope(std::string_view from, const std::vector<std::string>& recipients,
                           std::string_view data) {
    if (OnSending) OnSending(*this);
    const std::string parameters = MailParameters(data);
    if (!from.empty()) Expect("MAIL FROM:<" + std::string(from) + ">" + parameters, 2);
    for (const std::string& address : recipients) {
        SendLine("RCPT TO:<" + address + ">");
        if (ReadReply() / 100 == 2) continue;
        bool proceed = false;
        if (OnAddressRejected) OnAddressRejected(*this, address, lastReply_, proceed);
        if (!proceed) throw EServerError(lastReply_);
    }
    Expect("DATA", 3);
    SendStream(StuffDots(data));
    SendLine("");
    Expect(".", 2);
    if (OnMailSent) OnMailSent(*this);
}

void TmsSMTP::Reset() {
    Open();
    SendLine("RSET");
    if (ReadLine(lastReply_) / 100 != 2) throw EServerError(lastReply_);
}

}  // namespace kivo
