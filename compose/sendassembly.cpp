// The composer's outgoing message: assembly (PrepareMessage), Queue and Send now.

#include <unistd.h>

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/datetime.h"
#include "base/htmlentity.h"
#include "base/inifile.h"
#include "compose/KivoSend.h"
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

// An item typed in angle brackets ("<a@x.org>", as the field's split leaves it) without
// them: the header writer puts its own brackets around every address.
std::string BareAddress(const std::string& item) {
    if (item.find('<') == std::string::npos) return item;
    const ParsedAddress parsed = ParseAddress(item);
    return parsed.address.empty() ? item : parsed.address;
}

bool ReadableFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
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
    // A last line "." would read as the end of the data and be lost: the end is marked.
    text += JoinLinesCrLf(lines) + ".\r\n";
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

    message_ = TmsMessage();
    AssembleBody();
    TmsHeaders& headers = message_.Headers();
    headers.Add(kMailerLine);
    headers.Add("Date: " + FormatRfc822Date(DateTime::Now(), LocalZone()));
    headers.Add(std::string("X-URL: ") + kProgramUrl);

    for (const std::string& address : ParseAddresses(to_.text))
        message_.Recipients().AddAddress(BareAddress(address), "");
    message_.SetSubject(subject_.prompt ? "" : subject_.text);
    message_.SetPriority(priority_);
    if (!cc_.prompt) {
        for (const std::string& address : ParseAddresses(cc_.text))
            message_.CC().AddAddress(BareAddress(address), "");
    }
    if (!bcc_.prompt) {
        const std::vector<std::string> bcc = ParseAddresses(bcc_.text);
        if (!bcc.empty()) headers.Add("X-Bcc: " + ToCommaText(bcc));
    }

    std::string name = AccountValue("Name");
    std::erase(name, '"');
    message_.Sender() = TmsMailAddress(AccountValue("Email"), name);
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
