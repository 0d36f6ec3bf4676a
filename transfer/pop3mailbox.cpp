#include "transfer/pop3mailbox.h"

#include <algorithm>

#include "base/bytes.h"

namespace kivo {

namespace {

// An id is at most 70 characters (RFC 1939); longer ones are cut.
constexpr std::size_t kMaxUidLength = 70;
// Lines of a UIDL listing that name no message of the mailbox, or one named before, are
// skipped; this many mean the listing is something else.
constexpr std::int64_t kMaxJunkLines = 1000;

}  // namespace

TPop3Mailbox::TPop3Mailbox(Platform& platform) : pop_(platform) {
    // The fields the check shows and tells messages apart by.
    pop_.KeptFields = {"From", "Subject", "Date", "Message-ID", "X-UIDL"};
    pop_.OnUpdatingInfo = [this](TagSocket&) {
        info_.clear();
        listingBytes_ = 0;
        if (pop_.MessageCount <= 0) return;
        if (pop_.MessageCount > kMaxMessages)
            throw ESocketError("The server " + pop_.ServerName() + " reports " +
                               std::to_string(pop_.MessageCount) + " messages, more than the " +
                               std::to_string(kMaxMessages) + " a check can look at");
        const std::vector<std::string>& capabilities = pop_.Capabilities();
        pop_.Pipelining =
            std::any_of(capabilities.begin(), capabilities.end(),
                        [](const std::string& c) { return EqualsNoCase(Trim(c), "PIPELINING"); });
        ReadUniqueIds();
    };
    pop_.OnBatchSaved = [this](TagSocket&) {
        if (events_.stored) events_.stored();
    };
    pop_.OnNextInfoUpdated = [this](TagSocket&, int n) {
        TmsRemoteInfoItem& item = pop_.Info.Items(static_cast<std::size_t>(n));
        TRemoteInfo& info = info_.emplace_back();
        info.size = static_cast<long>(item.Size);
        // Moved, not copied: the client needs only the marks of its own list.
        info.headers = std::move(item.Headers.Lines());
        item.Headers.Lines().clear();
        for (const std::string& line : info.headers)
            listingBytes_ += static_cast<std::int64_t>(line.size());
        if (listingBytes_ > kListingBytes)
            throw ESocketError("The server " + pop_.ServerName() + " sent more than " +
                               std::to_string(kListingBytes >> 20) +
                               " MB of header lines in its listing");
        if (auto uid = uids_.find(n); uid != uids_.end()) {
            info.uidl = std::move(uid->second);
            uids_.erase(uid);
        }
        if (events_.nextInfoUpdated) events_.nextInfoUpdated(n);
    };
    pop_.OnRetrieving = [this](TagSocket&, int n) {
        retrieving_ = true;
        if (events_.retrieving) events_.retrieving(n);
    };
    pop_.OnProgress = [this](TagSocket&, int, std::int64_t transferred) {
        if (retrieving_ && events_.progress) events_.progress(static_cast<long>(transferred));
    };
    pop_.OnUserMessageSpooled = [this](TagSocket&, int n, const TSpoolFile& contents) {
        retrieving_ = false;
        if (events_.saveSpooled) {
            events_.saveSpooled(n, contents);
        } else if (events_.save) {
            events_.save(n, contents.ReadAll());
        }
    };
    pop_.OnRetrieved = [this](TagSocket&, int n) {
        if (events_.retrieved) events_.retrieved(n);
    };
    pop_.OnError = [this](TagSocket&, std::string& text) {
        if (events_.error) events_.error(text);
    };
}

void TPop3Mailbox::Configure(std::string_view server, std::string_view user,
                             std::string_view password) {
    pop_.Server = std::string(server);
    pop_.UserName = std::string(user);
    pop_.Password = std::string(password);
    pop_.Info.Clear();
    info_.clear();
    uids_.clear();
    retrieving_ = false;
    pop_.KeepConnected = true;
    pop_.Security = TSecurity::none;
    pop_.TrustCert.clear();
    pop_.Pipelining = false;
}

void TPop3Mailbox::Secure(TSecurity security, std::string_view trustCert) {
    pop_.Security = security;
    pop_.TrustCert = std::string(trustCert);
}

void TPop3Mailbox::UpdateInfo() {
    uids_.clear();
    pop_.UpdateInfo();
}

long TPop3Mailbox::MessageCount() const {
    return static_cast<long>(pop_.MessageCount);
}

long TPop3Mailbox::MailboxSize() const {
    return static_cast<long>(pop_.MailboxSize);
}

void TPop3Mailbox::TransferData() {
    // The check marks this list; the client transfers what its own list says.
    for (std::size_t i = 0; i < info_.size() && i < pop_.Info.Count(); ++i) {
        pop_.Info.Items(i).Retrieve = info_[i].retrieve;
        pop_.Info.Items(i).Delete = info_[i].remove;
    }
    retrieving_ = false;
    pop_.TransferData();
}

void TPop3Mailbox::Close() {
    // The account's work is done, or has failed already: a refused or broken log-out must
    // not end the check of the accounts after it. The client has disconnected either way.
    try {
        pop_.Close();
    } catch (const std::exception&) {
    }
}

void TPop3Mailbox::ReadUniqueIds() {
    uids_.clear();
    if (pop_.MessageCount <= 0) return;
    pop_.SendLine("UIDL");
    std::string reply;
    if (pop_.ReadLine(reply) != 1) return;  // no UIDL on this server: ids stay unknown
    // Line by line, keeping only ids of messages the server counted: memory grows with what
    // arrives, never with the count a server claims.
    std::string line;
    std::int64_t junk = 0;
    for (;;) {
        pop_.ReadLine(line);
        if (line == ".") break;
        const std::size_t blank = line.find(' ');
        int number = 0;
        if (blank == std::string::npos ||
            !ParseInt(std::string_view(line).substr(0, blank), number) || number < 1 ||
            number > pop_.MessageCount || uids_.contains(number - 1)) {
            if (++junk > kMaxJunkLines)
                throw ESocketError("The UIDL listing of the server " + pop_.ServerName() +
                                   " is not a listing of its messages (more than " +
                                   std::to_string(kMaxJunkLines) + " lines name none of them)");
            continue;
        }
        const std::string_view id = TrimView(std::string_view(line).substr(blank + 1));
        uids_[number - 1] =
            std::string(id.substr(0, std::min<std::size_t>(id.find(' '), kMaxUidLength)));
    }
}

}  // namespace kivo
