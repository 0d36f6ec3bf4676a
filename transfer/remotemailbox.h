#pragma once
// The POP3 mailbox as the check run drives it: collect sizes and header lines first, then
// fetch and delete the marked messages. The POP3 client implements it; tests use doubles.
// Message positions count from 0 in server order.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/spoolfile.h"
#include "net/agsocket.h"

namespace kivo {

struct TRemoteInfo {
    long size = 0;
    std::vector<std::string> headers;  // the header lines the server reported
    std::string uidl;                  // the server's unique id, empty when unknown
    bool retrieve = false;
    bool remove = false;
};

// What the mailbox reports while it works.
struct TRemoteEvents {
    std::function<void(int n)> nextInfoUpdated;
    std::function<void(int n)> retrieving;
    std::function<void(int n)> retrieved;
    std::function<void(long bytes)> progress;  // of the current message so far
    // A fetched message, raw. Throwing stops the transfer: the failure leaves TransferData
    // and no later message is fetched or deleted.
    std::function<void(int n, std::string_view raw)> save;
    // The same left in the file it arrived in, so a large message is never held whole; when
    // set, save is not called.
    std::function<void(int n, const TSpoolFile& raw)> saveSpooled;
    // The messages saved since the last call are to be made durable now: the server is told
    // to delete them right after. Throwing stops the transfer before those deletions.
    std::function<void()> stored;
    std::function<void(std::string& text)> error;
};

class TRemoteMailbox {
  public:
    virtual ~TRemoteMailbox() = default;
    virtual void SetEvents(TRemoteEvents events) = 0;
    // Server, user and password for the next UpdateInfo; clears Info; the connection stays
    // open after UpdateInfo for TransferData.
    virtual void Configure(std::string_view server, std::string_view user,
                           std::string_view password) = 0;
    // How the next UpdateInfo secures its connection; plain unless called.
    virtual void Secure(TSecurity /*security*/, std::string_view /*trustCert*/) {}
    // Where messages are kept on disk while they arrive (the disk the mail goes to).
    virtual void SpoolIn(const std::filesystem::path& /*folder*/) {}
    // Connects, logs in and fills Info; throws on failure.
    virtual void UpdateInfo() = 0;
    virtual std::vector<TRemoteInfo>& Info() = 0;
    // The message count and total size the server reported at log-in.
    virtual long MessageCount() const = 0;
    virtual long MailboxSize() const = 0;
    // The largest message fetched into memory; a larger one stays on the server. 0: none.
    virtual long long MessageLimit() const { return 0; }
    // Fetches the messages marked for retrieval and deletes those marked for deletion, each
    // message's fetch before its deletion; then logs out. Throws on failure.
    virtual void TransferData() = 0;
    virtual void Close() = 0;
    virtual void Cancel() = 0;
};

}  // namespace kivo
