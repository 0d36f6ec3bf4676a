// The composer's outgoing message: assembly (PrepareMessage), Queue and Send now.

#include <unistd.h>

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/datetime.h"
#include "base/htmlentity.h"
#include "base/inifile.h"
#include "compose/KivoSend.h"
#include "compose/carriedheaders.h"
#include "compose/parseaddresses.h"
#include "mail/headerfields.h"
#include "mail/outgoingid.h"
#include "mail/quotedprintable.h"
#include "mail/rfc822date.h"

namespace kivo {

namespace {

constexpr std::string_view kCanceledText = "Operation has been canceled";
constexpr std::size_t kAttachmentLineMax = 255;

void EscapeFromLines(std::vector<std::string>& lines, std::string_view escape) {
    for (std::string& line : lines) {
        if (line.starts_with("From ")) line.insert(0, escape);
    }
}

std::string AttachmentLine(std::string_view path) {
    return CutShort("Attachment Converted: \"" + std::string(path) + "\"")
        .substr(0, kAttachmentLineMax);
}

bool ReadableFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

// A display name as a header line takes it: quoted when it holds a character that would
// split or end the address; 8-bit text is left out, as no encoder writes this line.
std::string ResentName(const std::string& name) {
    const std::string trimmed = Trim(name);
    if (trimmed.empty()) return {};
    for (char c : trimmed) {
        if (static_cast<unsigned char>(c) >= 0x80) return {};
    }
    if (trimmed.find_first_of(".,;:<>@()[]\\\"") == std::string::npos) return trimmed + " ";
    std::string quoted = "\"";
    for (char c : trimmed) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\" ";
}

// A bounce goes out as the original, with the block that says who redirected it, to whom
// and when (RFC 5322 3.6.6); Resent-From is also what the SMTP client gives as the sender.
void AddResentFields(TmsMessage& message, const std::string& now) {
    TmsHeaders& headers = message.Headers();
    headers.Add("Resent-Date: " + now);
    const TmsMailAddress& account = message.Sender();
    if (!Trim(account.Address()).empty()) {
        headers.Add("Resent-From: " + ResentName(account.Name()) + "<" + Trim(account.Address()) +
                    ">");
    }
    for (const auto& [name, list] :
         {std::pair<const char*, const TmsAddressList*>{"Resent-To", &message.Recipients()},
          {"Resent-Cc", &message.CC()}}) {
        std::vector<std::string> addresses;
        for (const TmsMailAddress& address : *list) addresses.push_back(address.Address());
        for (std::string& line : FoldedField(name, addresses, true)) headers.Add(std::move(line));
    }
    headers.Add("Resent-Message-ID: " + NewMessageId(account.Address()));
}

void RemoveAll(TmsHeaders& headers, std::string_view name) {
    for (std::size_t count = headers.Count(); count > 0; --count) headers.RemoveField(name);
}

}  // namespace

std::vector<std::string> TfrmSend::MessageLines() {
    std::vector<std::string> lines = body_;
    if (SignatureInUse()) lines.insert(lines.end(), sigLines_.begin(), sigLines_.end());
    EscapeFromLines(lines, ">");
    return lines;
}

// What the user typed goes through the decoder, so its rules for plain text apply to it as
// to any received text (a uuencoded block becomes an attachment).
void TfrmSend::AssembleBody() {
    std::vector<std::string> lines;
    std::vector<std::string> html;
    const bool styledOnly = styled_ && !plain_ && styledBody_;
    if (styled_ && styledBody_) {
        html = styledBody_->HtmlLines(*this);
        EscapeFromLines(html, "&gt;");
    }
    lines = styledOnly ? html : MessageLines();
    std::string text = message_.SaveToString();
    text += JoinLinesCrLf(lines);
    message_.Clear();
    message_.Headers().Clear();
    message_.LoadFromBytes(text);
    if (styledOnly) message_.SetContentType("text/html");
    if (styled_ && plain_ && styledBody_) {
        TmsAttItem alternative;
        alternative.SetFileName("_alt.htm");
        alternative.Data() = JoinLinesCrLf(html);
        message_.Attachments().Add(std::move(alternative));
    }
}

bool TfrmSend::PrepareMessage() {
    if (to_.prompt || TrimView(to_.text).empty()) {
        ShowTip(kToEmptyTip);
        return false;
    }
    // Every check comes before the message is built, so a refusal leaves nothing behind.
    const IniFile settings(paths_.settingsFile);
    std::string accountSmtp = Trim(AccountValue("SMTP"));
    std::string programSmtp = Trim(settings.ReadString("Mail", "SMTP", ""));
    server_ = !accountSmtp.empty() ? accountSmtp : programSmtp;
    if (server_.empty()) server_ = Trim(AccountValue("POPServer"));
    if (server_.empty()) {
        ShowTip(kNoServerTip);
        return false;
    }

    // A file gone or unreadable is found now, before anything is queued or filed: later the
    // message would go out without it, or fail half-way.
    for (const std::string& file : attachments_) {
        if (!ReadableFile(file)) {
            ShowTip(kAttachmentMissingTip + file);
            return false;
        }
    }

    // Every recipient must be one a server can take: a name the address book does not know
    // (or for which the user chose none of several) is refused now, not queued for a
    // server to refuse later.
    const std::vector<std::string> to = ParseAddresses(to_.text);
    const std::vector<std::string> cc =
        cc_.prompt ? std::vector<std::string>() : ParseAddresses(cc_.text);
    const std::vector<std::string> bcc =
        bcc_.prompt ? std::vector<std::string>() : ParseAddresses(bcc_.text);
    if (to.empty()) {
        ShowTip(kToEmptyTip);
        return false;
    }
    for (const std::vector<std::string>* list : {&to, &cc, &bcc}) {
        for (const std::string& item : *list) {
            if (IsMailAddress(RecipientAddress(item))) continue;
            const bool several = addressList_.ResolveNick(item, Lookup()).size() > 1;
            ShowTip("\"" + item + "\"" + (several ? kSeveralContactsTip : kUnknownRecipientTip));
            return false;
        }
    }

    message_ = TmsMessage();
    AssembleBody();
    TmsHeaders& headers = message_.Headers();
    const std::string now = FormatRfc822Date(DateTime::Now(), LocalZone());
    const bool bounce = mode_ == cmBounce;
    headers.Add(kMailerLine);
    headers.Add("Date: " + (bounce && !originalDate_.empty() ? originalDate_ : now));
    headers.Add(std::string("X-URL: ") + kProgramUrl);
    for (const std::string& line : carried_) headers.Add(line);

    for (const std::string& address : to)
        message_.Recipients().AddAddress(RecipientAddress(address), "");
    message_.SetSubject(subject_.prompt ? "" : subject_.text);
    message_.SetPriority(priority_);
    for (const std::string& address : cc) message_.CC().AddAddress(RecipientAddress(address), "");
    if (!bcc.empty()) headers.Add("X-Bcc: " + ToCommaText(bcc));

    std::string name = AccountValue("Name");
    std::erase(name, '"');
    message_.Sender() = TmsMailAddress(AccountValue("Email"), name);
    if (bounce) AddResentFields(message_, now);
    if (!bounceSender_.empty()) message_.Sender() = TmsMailAddress(bounceSender_, "");

    // Also an empty program-wide server is written: the send queue then finds its own.
    headers.Add("X-SMTP: " + (!accountSmtp.empty() ? accountSmtp : programSmtp));
    // The message's identity is fixed once: what goes out, its copy in Sent and a retry from
    // Out all carry the same Message-ID.
    AddMissingIdentity(headers, message_.Sender().Address(), DateTime::Now());
    return true;
}

bool TfrmSend::Queue() {
    if (!PrepareMessage()) return false;
    std::optional<int> sigCount;
    if (SignatureInUse()) sigCount = static_cast<int>(sigLines_.size());
    outbox_.Queue(message_, sigCount, attachments_);
    closeQuietly_ = true;
    return true;
}

TSendOutcome TfrmSend::SendNow() {
    if (!PrepareMessage()) return TSendOutcome::NotReady;
    TmsHeaders& headers = message_.Headers();
    std::string status = headers.GetFieldValue("Status");
    std::erase_if(status, [](char c) { return c == 'd' || c == 'D'; });
    RemoveAll(headers, "Status");
    headers.Add("Status: " + status);
    outbox_.RunOutgoing(message_);
    if (message_.Headers().GetFieldValue("Status").find_first_of("dD") != std::string::npos) {
        closeQuietly_ = true;
        return TSendOutcome::Discarded;
    }
    // Status letters are this program's bookkeeping, not the recipient's.
    RemoveAll(message_.Headers(), "Status");

    const std::vector<std::string> bcc = FromCommaText(message_.Headers().GetFieldValue("X-Bcc"));
    RemoveAll(message_.Headers(), "X-Bcc");
    for (const std::string& item : bcc) {
        const ParsedAddress parsed = ParseAddress(item);
        message_.BCC().AddAddress(parsed.address.empty() ? item : parsed.address, parsed.name);
    }
    view_.HideWindow();
    copy_ = message_;
    copy_.BCC().Clear();
    message_.Headers().RemoveField("X-SMTP");

    bool failed = false;
    lastError_.clear();
    try {
        for (const std::string& file : attachments_) message_.Attachments().AddFile(file);
        view_.StatusText("Sending mail...");
        view_.ErrorLevel(1, "Sending mail via " + server_ + " SMTP server");
        outbox_.Send(message_, server_, account_);
    } catch (const std::exception& e) {
        failed = true;
        lastError_ = e.what();
        view_.StatusText(lastError_ == kCanceledText ? "Canceled!" : "Could not send mail");
        view_.ErrorLevel(
            2, "Could not connect to " + server_ + " SMTP server<br>\n" + HtmlEscaped(lastError_));
    }
    view_.Progress(100);
    FileCopy(bcc, !failed);
    closeQuietly_ = true;
    return failed ? TSendOutcome::Failed : TSendOutcome::Sent;
}

void TfrmSend::FileCopy(const std::vector<std::string>& bcc, bool sent) {
    // No blind copies, no line: an empty "X-Bcc:" would only clutter the copy.
    if (!bcc.empty()) copy_.Headers().Add("X-Bcc: " + ToCommaText(bcc));
    for (const std::string& file : attachments_) copy_.Body().push_back(AttachmentLine(file));
    std::optional<int> sigCount;
    if (SignatureInUse()) sigCount = static_cast<int>(sigLines_.size());
    outbox_.File(copy_, sigCount, sent);
}

}  // namespace kivo
