#pragma once
// The check run's remote mailbox over the real POP3 client: configures TmsRemotePOP for one
// account, keeps the connection open between the two phases and passes the client's events
// on with message positions from 0. Besides sizes and header lines it collects the server's
// unique id of every message with one "UIDL" listing right after log-in, so the
// leave-on-server list can tell messages apart on servers that add no "X-UIDL" header. A
// server that refuses UIDL leaves the ids empty; it never stops the check. When the server's
// CAPA lists PIPELINING, the client sends its commands in batches. Whatever the server
// claims, memory stays bounded: a check looks at no more than kMaxMessages messages, keeps
// only the header fields it uses (kListingBytes of them at most) and receives messages into
// spool files.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "net/mspop3.h"
#include "transfer/remotemailbox.h"

namespace kivo {

class Platform;

class TPop3Mailbox : public TRemoteMailbox {
  public:
    explicit TPop3Mailbox(Platform& platform);

    // The client itself, for its time-out and transport.
    TmsRemotePOP& Client() { return pop_; }

    void SetEvents(TRemoteEvents events) override { events_ = std::move(events); }
    void Configure(std::string_view server, std::string_view user,
                   std::string_view password) override;
    void Secure(TSecurity security, std::string_view trustCert) override;
    void SpoolIn(const std::filesystem::path& folder) override { pop_.SpoolFolder = folder; }
    void UpdateInfo() override;
    std::vector<TRemoteInfo>& Info() override { return info_; }
    long MessageCount() const override;
    long MailboxSize() const override;
    long long MessageLimit() const override { return pop_.MaxMessageBytes; }
    void TransferData() override;
    // Logs out and disconnects; a failing log-out is not thrown.
    void Close() override;
    void Cancel() override { pop_.Cancel(); }

    // A server that reports more messages than this is refused with a text saying so: the
    // listing of every message is held while a check runs.
    static constexpr std::int64_t kMaxMessages = 100'000;
    // The header fields kept of all messages together may not be longer than this.
    static constexpr std::int64_t kListingBytes = 32 << 20;

  private:
    // "UIDL" without a number: every message's id in one response.
    void ReadUniqueIds();

    TmsRemotePOP pop_;
    TRemoteEvents events_;
    std::vector<TRemoteInfo> info_;
    std::map<int, std::string> uids_;  // by position; empty when the server gave none
    bool retrieving_ = false;          // progress counts only while a message body arrives
    std::int64_t listingBytes_ = 0;    // of the header fields kept so far
};

}  // namespace kivo
