#include "net/mspop3.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "base/bytes.h"
#include "base/files.h"
#include "mail/base64.h"

namespace kivo {

namespace {

// A STAT count above this is a broken or hostile server, not a mailbox.
constexpr std::int64_t kMaxMessageCount = 10'000'000;
// A capability listing longer than this is not one.
constexpr std::int64_t kMaxCapabilityBytes = 64 * 1024;
// Header lines (and the one body line TOP adds) longer than this are not headers.
constexpr std::int64_t kMaxTopBytes = 8 << 20;
// After a cancel, owed replies are read and QUIT said within this time, else the
// connection is simply closed.
constexpr int kDrainSeconds = 5;
constexpr std::int64_t kDrainBytes = 8 << 20;

// Whether a reply to "LIST n" or "UIDL n" names message n: "+OK n ...".
bool EchoesNumber(std::string_view reply, int number) {
    std::string_view rest = reply.size() > 4 ? reply.substr(4) : std::string_view();
    rest = rest.substr(0, rest.find(' '));
    return rest == std::to_string(number);
}

// The size in a "+OK n size" reply, 0 when it is not a number.
std::int64_t SizeOf(std::string_view reply);

// The unique id in a "+OK n id" reply: its third word.
std::string ThirdWord(std::string_view reply) {
    std::vector<std::string> words;
    while (!reply.empty()) {
        std::size_t blank = reply.find(' ');
        if (blank != 0) words.emplace_back(reply.substr(0, blank));
        if (blank == std::string_view::npos) break;
        reply.remove_prefix(blank + 1);
    }
    return words.size() >= 3 ? words[2] : std::string();
}

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

std::int64_t SizeOf(std::string_view reply) {
    std::string_view rest = AfterStatus(reply);
    std::size_t blank = rest.find(' ');
    std::int64_t size = 0;
    if (blank == std::string_view::npos || !ParseCount(rest.substr(blank + 1), size) || size < 0)
        return 0;
    return size;
}

// Watches a message as it arrives for the blank line that ends its header lines, keeping
// those lines (without the blank one) when given a string, and says when they are longer
// than a limit.
class THeaderWatch {
  public:
    explicit THeaderWatch(std::string* keep = nullptr) : keep_(keep) {}

    // Takes the next bytes of the message; returns false once more than `limit` bytes
    // came without the header lines' end. Bytes after that end are not looked at.
    bool Feed(std::string_view bytes, std::int64_t limit) {
        for (std::size_t i = 0; i < bytes.size() && !ended_; ++i) {
            const char c = bytes[i];
            if (c == '\n') {
                ended_ = lineLength_ == 0;
                lineLength_ = 0;
                if (keep_ && ended_) keep_->resize(lineStart_);
                if (keep_ && !ended_) {
                    keep_->push_back(c);
                    lineStart_ = keep_->size();
                }
                continue;
            }
            if (c != '\r') ++lineLength_;
            if (keep_) keep_->push_back(c);
            if (++count_ > limit) return false;
        }
        return true;
    }

  private:
    std::string* keep_;
    bool ended_ = false;
    std::int64_t count_ = 0;
    std::size_t lineLength_ = 0;  // of the line so far, CR not counted
    std::size_t lineStart_ = 0;   // where that line begins in *keep_
};

}  // namespace

void TDotUnstuffer::Feed(std::string_view piece, std::string& out) {
    while (!piece.empty()) {
        // Only a dot that begins a line is doubled.
        if (lineStart_ && piece.front() == '.') piece.remove_prefix(1);
        const std::size_t end = piece.find('\n');
        const std::size_t take = end == std::string_view::npos ? piece.size() : end + 1;
        out.append(piece.substr(0, take));
        lineStart_ = end != std::string_view::npos;
        piece.remove_prefix(take);
    }
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
    awaited_.clear();
    broken_ = false;
    capabilitiesRead_ = false;
    capabilities_.clear();
    TmsMailBase::Connect();
}

int TmsCustomPOP::Command(std::string_view text) {
    SendCommands({{std::string(text), {}}});
    return ReadAwaited(false);
}

void TmsCustomPOP::CommandOk(std::string_view text) {
    if (Command(text) != 1) throw EServerError(lastReply_);
}

void TmsCustomPOP::LogInCommand(std::string_view text) {
    if (Command(text) == 1) return;
    // RFC 3206: "[IN-USE]" and "[SYS/...]" refuse for reasons other than the credentials.
    if (lastReply_.find("[IN-USE]") != std::string::npos ||
        lastReply_.find("[SYS/") != std::string::npos)
        throw EServerError(lastReply_);
    throw ELoginRefused(lastReply_);
}

void TmsCustomPOP::SendCommands(const std::vector<std::pair<std::string, TAwaited>>& commands) {
    if (commands.empty()) return;
    std::string text;
    for (const auto& [command, awaited] : commands) {
        if (!text.empty()) text += "\r\n";
        text += command;
        awaited_.push_back(awaited);
    }
    try {
        SendLine(text);
    } catch (...) {
        // Part of the commands may have gone out: nothing read from now on can be trusted.
        broken_ = true;
        throw;
    }
}

int TmsCustomPOP::ReadAwaited(bool mustBeOk) {
    if (awaited_.empty()) throw std::logic_error("no reply is owed");
    int code = 0;
    try {
        code = ReadLine(lastReply_);
    } catch (const ECanceledError&) {
        throw;  // the line's bytes stay buffered: reading can go on
    } catch (...) {
        broken_ = true;
        throw;
    }
    const TAwaited next = awaited_.front();
    if (Pipelining &&
        (code == 0 || (code == 1 && next.number > 0 && !EchoesNumber(lastReply_, next.number)))) {
        broken_ = true;
        Disconnect();
        RaiseSocketText("The server's replies do not follow the commands sent: \"" +
                        lastReply_.substr(0, 80) + "\"");
    }
    if (code == 1 && next.multiLine) {
        awaited_.front().body = true;
    } else {
        awaited_.pop_front();
    }
    if (mustBeOk && code != 1) throw EServerError(lastReply_);
    return code;
}

void TmsCustomPOP::ReceiveAwaited(std::string& stream, std::int64_t expectedSize,
                                  std::int64_t sizeBound) {
    ReceiveAwaited([&stream](std::string_view bytes) { stream.append(bytes); }, expectedSize,
                   sizeBound);
}

void TmsCustomPOP::ReceiveAwaited(const TDataSink& sink, std::int64_t expectedSize,
                                  std::int64_t sizeBound) {
    if (awaited_.empty() || !awaited_.front().body) throw std::logic_error("no response is owed");
    TDotUnstuffer unstuffer;
    std::string piece;
    try {
        ReceiveToSink(
            [&](std::string_view bytes) {
                piece.clear();
                unstuffer.Feed(bytes, piece);
                sink(piece);
            },
            expectedSize, sizeBound);
    } catch (...) {
        // Whatever part of the response arrived is gone with the sink's work.
        broken_ = true;
        throw;
    }
    awaited_.pop_front();
}

void TmsCustomPOP::Cancel() {
    if (draining_) return;
    if (!transferring_) {
        TmsMailBase::Cancel();
        return;
    }
    SetCancelRequest(true);
    if (OnCancel) OnCancel(*this);
}

void TmsCustomPOP::QuitAfterCancel() {
    if (!Connected()) return;
    if (broken_) {
        Disconnect();
        return;
    }
    const int timeOut = TimeOut;
    draining_ = true;
    SetCancelRequest(false);
    TimeOut = std::min(TimeOut, kDrainSeconds);
    try {
        while (!awaited_.empty()) {
            if (awaited_.front().body) {
                std::string discard;
                ReceiveAwaited(discard, 0, kDrainBytes);
            } else {
                ReadAwaited(false);
            }
        }
        CommandOk("QUIT");
    } catch (const std::exception&) {
        // Not usable after all: closing is all that is left.
    }
    TimeOut = timeOut;
    draining_ = false;
    Disconnect();
}

void TmsCustomPOP::LogIn() {
    ResetFlags();
    try {
        OpenConnection();
        if (Security == TSecurity::implicit) StartTls(TrustCert);
        if (ReadLine(lastReply_) != 1) throw EServerError(lastReply_);
        if (Security == TSecurity::none) {
            LogInCommand("USER " + UserName);
            LogInCommand("PASS " + Password);
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
    const std::vector<std::string>& capabilities = Capabilities();
    const bool plain = std::any_of(capabilities.begin(), capabilities.end(), [](const auto& c) {
        const std::vector<std::string> words = SplitWords(c);
        return !words.empty() && EqualsNoCase(words[0], "SASL") &&
               std::any_of(words.begin() + 1, words.end(),
                           [](const std::string& w) { return EqualsNoCase(w, "PLAIN"); });
    });
    if (!plain) {
        LogInCommand("USER " + UserName);
        LogInCommand("PASS " + Password);
        return;
    }
    // RFC 5034: the credentials follow the server's "+ " prompt.
    if (Command("AUTH PLAIN") != 1) throw EServerError(lastReply_);
    if (!lastReply_.starts_with("+OK"))
        LogInCommand(EncodeBase64(std::string(1, '\0') + UserName + '\0' + Password));
}

const std::vector<std::string>& TmsCustomPOP::Capabilities() {
    if (capabilitiesRead_) return capabilities_;
    capabilitiesRead_ = true;
    capabilities_.clear();
    SendCommands({{"CAPA", {true}}});
    if (ReadAwaited(false) != 1) return capabilities_;
    std::string listing;
    ReceiveAwaited(listing, 0, kMaxCapabilityBytes);
    capabilities_ = SplitLines(listing);
    return capabilities_;
}

void TmsCustomPOP::LogOut() {
    if (!Connected()) return;
    if (!awaited_.empty() || broken_) {
        // Replies are still owed (a failure cut the dialogue short): QUIT only once they are
        // read, or the server would take them for the answer.
        QuitAfterCancel();
        return;
    }
    CommandOk("QUIT");
}

std::int64_t TmsCustomPOP::ListSize(int index) {
    SendCommands({{NumberedCommand("LIST", index), {false, index + 1}}});
    ReadAwaited(true);
    return SizeOf(lastReply_);
}

void TmsCustomPOP::Top(int index, std::int64_t size, std::string& headers) {
    SendCommands({{NumberedCommand("TOP", index, " 1"), {true}}});
    ReadAwaited(true);
    ReceiveTop(index, size, headers);
}

ESocketError TmsCustomPOP::HeaderTooLong(int index) const {
    return ESocketError("The server " + ServerName() + " sent more than " +
                        std::to_string(kMaxHeaderBytes >> 10) +
                        " KB of header lines for message " + std::to_string(index + 1));
}

void TmsCustomPOP::ReceiveTop(int index, std::int64_t size, std::string& headers) {
    headers.clear();
    THeaderWatch watch(&headers);
    // No expected size (progress without percent), but never more than the whole message
    // nor more than headers can sensibly be. The body line TOP adds is not kept.
    ReceiveAwaited(
        [&](std::string_view bytes) {
            if (!watch.Feed(bytes, kMaxHeaderBytes)) throw HeaderTooLong(index);
        },
        0, std::clamp<std::int64_t>(size, 1, kMaxTopBytes));
}

std::string TmsCustomPOP::Recheck(int index) {
    std::string uidl;
    SendCommands({{NumberedCommand("UIDL", index), {false, index + 1}}});
    if (ReadAwaited(false) == 1) uidl = ThirdWord(lastReply_);
    std::int64_t size = ListSize(index);
    std::string discard;
    Top(index, size, discard);
    return uidl;
}

std::string TmsCustomPOP::Retrieve(int index) {
    return RetrieveSpooled(index).ReadAll();
}

TSpoolFile TmsCustomPOP::RetrieveSpooled(int index) {
    std::int64_t size = ListSize(index);
    if (OnRetrieving) OnRetrieving(*this, index);
    SendCommands({{NumberedCommand("RETR", index), {true}}});
    ReadAwaited(true);
    return ReceiveMessage(index, size);
}

TSpoolFile TmsCustomPOP::ReceiveMessage(int index, std::int64_t size) {
    TSpoolFile spool(SpoolFolder.empty() ? TempFolder() : SpoolFolder);
    THeaderWatch watch;
    ReceiveAwaited(
        [&](std::string_view bytes) {
            if (!watch.Feed(bytes, kMaxHeaderBytes)) throw HeaderTooLong(index);
            spool.Append(bytes);
        },
        size, std::clamp<std::int64_t>(size, 1, MaxMessageBytes));
    return spool;
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
    if (Pipelining) {
        for (std::int64_t first = 0; first < MessageCount;) {
            const std::int64_t end = std::min<std::int64_t>(
                MessageCount, first + static_cast<std::int64_t>(kBatchMessages));
            ScanPipelined(first, end);
            first = end;
        }
    } else {
        std::string stream;
        for (std::int64_t i = 0; i < MessageCount; ++i) {
            int index = static_cast<int>(i);
            TmsRemoteInfoItem item;
            item.Size = ListSize(index);
            stream.clear();
            Top(index, item.Size, stream);
            StoreHeaders(item, stream);
            Info.Add(std::move(item));
            if (OnNextInfoUpdated) OnNextInfoUpdated(*this, index);
        }
    }
    if (!KeepConnected) Close();
    if (OnInfoUpdated) OnInfoUpdated(*this);
}

void TmsRemotePOP::StoreHeaders(TmsRemoteInfoItem& item, const std::string& headers) {
    std::vector<std::string> lines = SplitLines(headers);
    if (!KeptFields.empty()) {
        std::vector<std::string> kept;
        bool keeping = false;
        for (std::string& line : lines) {
            if (line.empty()) break;
            const bool continuation = line.front() == ' ' || line.front() == '\t';
            if (!continuation) {
                const std::string_view name = std::string_view(line).substr(0, line.find(':'));
                keeping = line.find(':') != std::string::npos &&
                          std::any_of(KeptFields.begin(), KeptFields.end(),
                                      [&](const std::string& f) { return EqualsNoCase(f, name); });
                if (keeping) kept.emplace_back();
            }
            if (!keeping) continue;
            std::string& field = kept.back();
            if (continuation) {
                if (field.size() + line.size() + 2 > kMaxKeptField) continue;
                field += "\r\n";  // folded again as the server sent it
            }
            field += line.substr(0, kMaxKeptField - std::min(field.size(), kMaxKeptField));
        }
        lines = std::move(kept);
    }
    item.Headers.Lines() = std::move(lines);
    item.Headers.CutAtBlankLine();
}

void TmsRemotePOP::ScanPipelined(std::int64_t first, std::int64_t end) {
    std::vector<std::pair<std::string, TAwaited>> commands;
    for (std::int64_t i = first; i < end; ++i) {
        const int index = static_cast<int>(i);
        commands.push_back({NumberedCommand("LIST", index), {false, index + 1}});
        commands.push_back({NumberedCommand("TOP", index, " 1"), {true}});
    }
    SendCommands(commands);
    std::string stream;
    for (std::int64_t i = first; i < end; ++i) {
        TmsRemoteInfoItem item;
        ReadAwaited(true);
        item.Size = SizeOf(lastReply_);
        ReadAwaited(true);
        ReceiveTop(static_cast<int>(i), item.Size, stream);
        StoreHeaders(item, stream);
        Info.Add(std::move(item));
        if (OnNextInfoUpdated) OnNextInfoUpdated(*this, static_cast<int>(i));
    }
}

void TmsRemotePOP::TransferData() {
    if (Info.Count() == 0) return;
    Open();
    if (OnTransferringData) OnTransferringData(*this);
    transferring_ = true;
    try {
        for (std::size_t first = 0; first < Info.Count();) {
            const std::size_t end = BatchEnd(first);
            TransferBatch(first, end);
            first = end;
        }
    } catch (const ECanceledError&) {
        // Stopped by the user: the deletions sent so far still count once QUIT is said.
        QuitAfterCancel();
        transferring_ = false;
        throw;
    } catch (...) {
        transferring_ = false;
        throw;
    }
    transferring_ = false;
    if (OnDataTransfered) OnDataTransfered(*this);
    Close();
}

std::size_t TmsRemotePOP::BatchEnd(std::size_t first) const {
    if (!Pipelining) return first + 1;
    std::size_t end = first;
    std::size_t count = 0;
    std::int64_t bytes = 0;
    while (end < Info.Count() && count < kBatchMessages && bytes < kBatchBytes) {
        const TmsRemoteInfoItem& item = Info.Items(end++);
        if (item.Retrieve || item.Delete) ++count;
        if (item.Retrieve) bytes += std::max<std::int64_t>(item.Size, 0);
    }
    return end;
}

void TmsRemotePOP::TransferBatch(std::size_t first, std::size_t end) {
    bool retrieved = false;
    for (std::size_t i = first; i < end; ++i) retrieved = retrieved || Info.Items(i).Retrieve;
    if (Pipelining) {
        RetrievePipelined(first, end);
    } else {
        for (std::size_t i = first; i < end; ++i) {
            if (!Info.Items(i).Retrieve) continue;
            Info.Items(i).UIDL = Recheck(static_cast<int>(i));
            RetrieveMessage(static_cast<int>(i));
        }
    }
    // Stored for good before the server is told to delete any of them.
    if (retrieved && OnBatchSaved) OnBatchSaved(*this);
    if (Pipelining) {
        DeletePipelined(first, end);
    } else {
        for (std::size_t i = first; i < end; ++i) {
            if (!Info.Items(i).Delete) continue;
            Info.Items(i).UIDL = Recheck(static_cast<int>(i));
            DeleteMessage(static_cast<int>(i));
        }
    }
}

void TmsRemotePOP::QueueRecheck(int index,
                                std::vector<std::pair<std::string, TAwaited>>& commands) {
    commands.push_back({NumberedCommand("UIDL", index), {false, index + 1}});
    commands.push_back({NumberedCommand("LIST", index), {false, index + 1}});
    commands.push_back({NumberedCommand("TOP", index, " 1"), {true}});
}

void TmsRemotePOP::ReadRecheck(std::size_t i) {
    Info.Items(i).UIDL = ReadAwaited(false) == 1 ? ThirdWord(lastReply_) : std::string();
    ReadAwaited(true);
    const std::int64_t size = SizeOf(lastReply_);
    ReadAwaited(true);
    std::string discard;
    ReceiveTop(static_cast<int>(i), size, discard);
}

void TmsRemotePOP::RetrievePipelined(std::size_t first, std::size_t end) {
    std::vector<std::pair<std::string, TAwaited>> commands;
    for (std::size_t i = first; i < end; ++i) {
        if (!Info.Items(i).Retrieve) continue;
        const int index = static_cast<int>(i);
        QueueRecheck(index, commands);
        commands.push_back({NumberedCommand("LIST", index), {false, index + 1}});
        commands.push_back({NumberedCommand("RETR", index), {true}});
    }
    SendCommands(commands);
    // Handed over only once every reply of the batch has been read in order: a reply the
    // server dropped shifts the ones after it, so a message's bytes are known to be its own
    // only when the replies behind it still line up with their commands (or the batch's last
    // reply never comes and the wait times out). Nothing of a broken batch is stored.
    // The messages wait in spool files, not in memory: only one is ever held at a time.
    std::vector<std::pair<int, TSpoolFile>> arrived;
    for (std::size_t i = first; i < end; ++i) {
        if (!Info.Items(i).Retrieve) continue;
        const int index = static_cast<int>(i);
        ReadRecheck(i);
        ReadAwaited(true);
        const std::int64_t size = SizeOf(lastReply_);
        if (OnRetrieving) OnRetrieving(*this, index);
        ReadAwaited(true);
        arrived.emplace_back(index, ReceiveMessage(index, size));
    }
    for (auto& [index, spool] : arrived) HandOver(index, spool);
}

void TmsRemotePOP::DeletePipelined(std::size_t first, std::size_t end) {
    std::vector<std::pair<std::string, TAwaited>> commands;
    for (std::size_t i = first; i < end; ++i) {
        if (!Info.Items(i).Delete) continue;
        QueueRecheck(static_cast<int>(i), commands);
        commands.push_back({NumberedCommand("DELE", static_cast<int>(i)), {}});
    }
    SendCommands(commands);
    for (std::size_t i = first; i < end; ++i) {
        if (!Info.Items(i).Delete) continue;
        ReadRecheck(i);
        if (OnDeleting) OnDeleting(*this, static_cast<int>(i));
        ReadAwaited(false);  // a refused deletion is not noticed, as without pipelining
    }
}

void TmsRemotePOP::RetrieveMessage(int index) {
    HandOver(index, RetrieveSpooled(index));
}

void TmsRemotePOP::HandOver(int index, const TSpoolFile& spool) {
    if (OnUserMessageSpooled) {
        OnUserMessageSpooled(*this, index, spool);
    } else {
        std::string contents = spool.ReadAll();
        if (OnUserMessageSave) {
            OnUserMessageSave(*this, index, contents);
        } else {
            WriteFileAtomic(messageDirectory_ + "msg_" + std::to_string(index) + ".eml",
                            contents);
        }
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
