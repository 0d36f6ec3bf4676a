#include "net/mspop3.h"

#include <algorithm>
#include <charconv>

#include "base/bytes.h"
#include "base/files.h"
#include "mail/base64.h"

namespace kivo {

namespace {

// A STAT count above this is a broken or hostile server, not a mailbox.
constexpr std::int64_t kMaxMessageCount = 10'000'000;
// A capability listing longer than this is not one.
constexpr std::int64_t kMaxCapabilityBytes = 64 * 1024;

bool ParseCount(std::string_view text, std::int64_t& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The reply without its first four characters ("+OK ").
std::string_view AfterStatus(std::string_view reply) {
    return reply.size() > 4 ? reply.substr(4) : std::string_view();
}

std::string NumberedCommand(std::string_view verb, int index, std::string_view tail = {}) {
    std::string command(verb);
    command += ' ';
    command += std::to_string(index + 1);
    command += tail;
    return command;
}

}  // namespace

void UnstuffDots(std::string& data) {
    std::size_t out = 0;
    bool lineStart = true;
    const std::size_t size = data.size();
    for (std::size_t in = 0; in < size; ++in) {
        char c = data[in];
        // The closing line is exactly "." CR LF at the very end; it stays for the decoder.
        if (lineStart && c == '.' && !(in + 3 == size && data.compare(in, 3, ".\r\n") == 0)) {
            lineStart = false;
            continue;
        }
        lineStart = c == '\n';
        data[out++] = c;
    }
    data.resize(out);
}

// --- TmsCustomPOP -------------------------------------------------------------------------

TmsCustomPOP::TmsCustomPOP(Platform& platform) : TmsMailBase(platform) {
    DefaultPort = 110;
    SetServiceName("pop3");
}

int TmsCustomPOP::ReplyCode(std::string_view line) const {
    if (line.empty()) return 0;
    if (line.front() == '+') return 1;
    if (line.front() == '-') return -1;
    return 0;
}

void TmsCustomPOP::Connect() {
    if (UserName.empty()) RaiseSocketText("UserName property is required");
    if (Password.empty()) RaiseSocketText("Password property is required");
    const bool implicit = Security == TSecurity::implicit;
    DefaultPort = implicit ? 995 : 110;
    SetServiceName(implicit ? "pop3s" : "pop3");
    ResetFlags();
    TmsMailBase::Connect();
}

int TmsCustomPOP::Command(std::string_view text) {
    SendLine(text);
    return ReadLine(lastReply_);
}

void TmsCustomPOP::CommandOk(std::string_view text) {
    if (Command(text) != 1) throw EServerError(lastReply_);
}

void TmsCustomPOP::LogIn() {
    ResetFlags();
    try {
        OpenConnection();
        if (Security == TSecurity::implicit) StartTls(TrustCert);
        if (ReadLine(lastReply_) != 1) throw EServerError(lastReply_);
        if (Security == TSecurity::none) {
            CommandOk("USER " + UserName);
            CommandOk("PASS " + Password);
        } else {
            SecureLogIn();
        }
        CommandOk("STAT");
    } catch (const ESocketError&) {
        Disconnect();
        throw;
    }
    std::string_view rest = AfterStatus(lastReply_);
    std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) return;
    std::string_view sizeText = rest.substr(blank + 1);
    sizeText = sizeText.substr(0, sizeText.find(' '));
    std::int64_t count = 0;
    std::int64_t size = 0;
    if (!ParseCount(rest.substr(0, blank), count) || !ParseCount(sizeText, size) || count < 0 ||
        count > kMaxMessageCount)
        throw EServerError(lastReply_);
    MessageCount = count;
    MailboxSize = size;
}

void TmsCustomPOP::SecureLogIn() {
    if (Security == TSecurity::upgrade) {
        // Never on without TLS: a refused STLS ends the log-in before the password goes out.
        if (Command("STLS") != 1)
            RaiseSocketText("The server refused STLS, so the connection stays unsecured: " +
                            lastReply_);
        StartTls(TrustCert);
    }
    const std::vector<std::string> capabilities = Capabilities();
    const bool plain = std::any_of(capabilities.begin(), capabilities.end(), [](const auto& c) {
        const std::vector<std::string> words = SplitWords(c);
        return !words.empty() && EqualsNoCase(words[0], "SASL") &&
               std::any_of(words.begin() + 1, words.end(),
                           [](const std::string& w) { return EqualsNoCase(w, "PLAIN"); });
    });
    if (!plain) {
        CommandOk("USER " + UserName);
        CommandOk("PASS " + Password);
        return;
    }
    // RFC 5034: the credentials follow the server's "+ " prompt.
    if (Command("AUTH PLAIN") != 1) throw EServerError(lastReply_);
    if (!lastReply_.starts_with("+OK"))
        CommandOk(EncodeBase64(std::string(1, '\0') + UserName + '\0' + Password));
}

std::vector<std::string> TmsCustomPOP::Capabilities() {
    if (Command("CAPA") != 1) return {};
    std::string listing;
    ReceiveToStream(listing, 0, kMaxCapabilityBytes);
    std::vector<std::string> lines = SplitLines(listing);
    if (!lines.empty() && lines.back() == ".") lines.pop_back();
    return lines;
}

void TmsCustomPOP::LogOut() {
    if (Connected()) CommandOk("QUIT");
}

std::int64_t TmsCustomPOP::ListSize(int index) {
    CommandOk(NumberedCommand("LIST", index));
    std::string_view rest = AfterStatus(lastReply_);
    std::size_t blank = rest.find(' ');
    std::int64_t size = 0;
    if (blank == std::string_view::npos || !ParseCount(rest.substr(blank + 1), size) || size < 0)
        return 0;
    return size;
}

void TmsCustomPOP::Top(int index, std::int64_t size, std::string& stream) {
    CommandOk(NumberedCommand("TOP", index, " 1"));
    // No expected size (progress without percent), but never more than the whole message.
    ReceiveToStream(stream, 0, size);
}

std::string TmsCustomPOP::Recheck(int index) {
    std::string uidl;
    if (Command(NumberedCommand("UIDL", index)) == 1) {
        std::vector<std::string> words;
        std::string_view rest = lastReply_;
        while (!rest.empty()) {
            std::size_t blank = rest.find(' ');
            if (blank != 0) words.emplace_back(rest.substr(0, blank));
            if (blank == std::string_view::npos) break;
            rest.remove_prefix(blank + 1);
        }
        if (words.size() >= 3) uidl = words[2];
    }
    std::int64_t size = ListSize(index);
    std::string discard;
    Top(index, size, discard);
    return uidl;
}

std::string TmsCustomPOP::Retrieve(int index) {
    std::int64_t size = ListSize(index);
    if (OnRetrieving) OnRetrieving(*this, index);
    CommandOk(NumberedCommand("RETR", index));
    std::string contents;
    ReceiveToStream(contents, size);
    UnstuffDots(contents);
    return contents;
}

void TmsCustomPOP::DeleteMessage(int index) {
    if (OnDeleting) OnDeleting(*this, index);
    // A refused deletion is not noticed: the message is simply offered again next time.
    Command(NumberedCommand("DELE", index));
}

// --- TmsRemotePOP -------------------------------------------------------------------------

TmsRemoteInfoItem& TmsRemoteInfo::Add(TmsRemoteInfoItem item) {
    items_.push_back(std::move(item));
    return items_.back();
}

TmsRemotePOP::TmsRemotePOP(Platform& platform) : TmsCustomPOP(platform) {}

void TmsRemotePOP::SetMessageDirectory(std::string_view folder) {
    messageDirectory_ = std::string(folder);
    if (!messageDirectory_.empty() && messageDirectory_.back() != '/') messageDirectory_ += '/';
}

void TmsRemotePOP::UpdateInfo() {
    Open();
    if (OnUpdatingInfo) OnUpdatingInfo(*this);
    Info.Clear();
    std::string stream;
    for (std::int64_t i = 0; i < MessageCount; ++i) {
        int index = static_cast<int>(i);
        TmsRemoteInfoItem item;
        item.Size = ListSize(index);
        stream.clear();
        Top(index, item.Size, stream);
        UnstuffDots(stream);
        if (stream.size() >= 3 && stream.compare(stream.size() - 3, 3, ".\r\n") == 0)
            stream.resize(stream.size() - 3);
        item.Headers.Lines() = SplitLines(stream);
        item.Headers.CutAtBlankLine();
        Info.Add(std::move(item));
        if (OnNextInfoUpdated) OnNextInfoUpdated(*this, index);
    }
    if (!KeepConnected) Close();
    if (OnInfoUpdated) OnInfoUpdated(*this);
}

void TmsRemotePOP::TransferData() {
    if (Info.Count() == 0) return;
    Open();
    if (OnTransferringData) OnTransferringData(*this);
    for (std::size_t i = 0; i < Info.Count(); ++i) {
        int index = static_cast<int>(i);
        if (Info.Items(i).Retrieve) {
            Info.Items(i).UIDL = Recheck(index);
            RetrieveMessage(index);
        }
        if (Info.Items(i).Delete) {
            Info.Items(i).UIDL = Recheck(index);
            DeleteMessage(index);
        }
    }
    if (OnDataTransfered) OnDataTransfered(*this);
    Close();
}

void TmsRemotePOP::RetrieveMessage(int index) {
    std::string contents = Retrieve(index);
    if (OnUserMessageSave) {
        OnUserMessageSave(*this, index, contents);
    } else {
        WriteFileAtomic(messageDirectory_ + "msg_" + std::to_string(index) + ".eml", contents);
    }
    if (OnRetrieved) OnRetrieved(*this, index);
}

// --- TmsPOP -------------------------------------------------------------------------------

TmsPOP::TmsPOP(Platform& platform) : TmsCustomPOP(platform) {}

void TmsPOP::RetrieveAll(bool deleteRetrieved) {
    Open();
    for (std::int64_t i = 0; i < MessageCount; ++i) {
        int index = static_cast<int>(i);
        std::string contents = Retrieve(index);
        TmsListMessage& message = messages_.Add();
        message.LoadFromBytes(contents, &GetPlatform());
        if (OnRetrieved) OnRetrieved(*this, index);
        if (deleteRetrieved) DeleteMessage(index);
    }
    Close();
}

}  // namespace kivo
