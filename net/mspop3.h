#pragma once
// The POP3 client. TmsRemotePOP reads a mailbox in two phases: UpdateInfo logs in and collects
// each message's size and header lines (LIST and TOP n 1) into Info without downloading
// bodies; the caller marks entries; TransferData fetches the marked messages, hands each one
// over as raw bytes, deletes the marked ones and logs out. Message positions in events count
// from 0 (the server's number minus one). The password never appears in any event text.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/msmsg.h"
#include "mail/msmsgcls.h"
#include "net/agsocket.h"

namespace kivo {

// The protocol steps shared by the POP3 clients: log-in, STAT, log-out, and the numbered
// commands.
class TmsCustomPOP : public TmsMailBase {
  public:
    using TmsNumNotifyEvent = std::function<void(TagSocket& sender, int num)>;

    explicit TmsCustomPOP(Platform& platform);

    std::string UserName;
    std::string Password;
    TmsNumNotifyEvent OnRetrieving;
    TmsNumNotifyEvent OnRetrieved;
    TmsNumNotifyEvent OnDeleting;

    // The two numbers of the last STAT reply; -1 before the first.
    std::int64_t MessageCount = -1;
    std::int64_t MailboxSize = -1;

    // 1 for "+...", -1 for "-...", 0 otherwise.
    int ReplyCode(std::string_view line) const override;
    // Checks the credentials first.
    void Connect() override;
    void LogIn() override;
    void LogOut() override;

  protected:
    // After the greeting of a secured account: STLS when upgrading, CAPA, then AUTH PLAIN
    // when the server offers it, else USER and PASS.
    void SecureLogIn();
    // The CAPA listing's lines; none when the server refuses CAPA.
    std::vector<std::string> Capabilities();
    // Sends the command and reads one reply line into LastReply.
    int Command(std::string_view text);
    // The same, raising EServerError with the reply line unless it begins with "+".
    void CommandOk(std::string_view text);
    // "LIST n": the size the server gives, 0 when it is not a number.
    std::int64_t ListSize(int index);
    // "TOP n 1" with the whole response received into `stream`; `size` from LIST bounds it.
    void Top(int index, std::int64_t size, std::string& stream);
    // Reads the message again before it is touched: UIDL (refusal tolerated), LIST, TOP.
    std::string Recheck(int index);
    // LIST, RETR and the whole message; the bytes as they are handed over (dots unstuffed).
    std::string Retrieve(int index);
    void DeleteMessage(int index);
};

// One message on the server, in server order.
struct TmsRemoteInfoItem {
    std::int64_t Size = 0;
    TmsHeaders Headers;
    std::string UIDL;
    bool Retrieve = false;
    bool Delete = false;
};

class TmsRemoteInfo {
  public:
    std::size_t Count() const { return items_.size(); }
    TmsRemoteInfoItem& Items(std::size_t index) { return items_.at(index); }
    const TmsRemoteInfoItem& Items(std::size_t index) const { return items_.at(index); }
    void Clear() { items_.clear(); }
    TmsRemoteInfoItem& Add(TmsRemoteInfoItem item = {});

  private:
    std::vector<TmsRemoteInfoItem> items_;
};

class TmsRemotePOP : public TmsCustomPOP {
  public:
    using TmsUserMsgSaveEvent =
        std::function<void(TagSocket& sender, int num, std::string& contents)>;

    explicit TmsRemotePOP(Platform& platform);

    const std::string& MessageDirectory() const { return messageDirectory_; }
    // A non-empty folder is kept with a trailing "/".
    void SetMessageDirectory(std::string_view folder);

    TNotifyEvent OnUpdatingInfo;
    TmsNumNotifyEvent OnNextInfoUpdated;
    TNotifyEvent OnInfoUpdated;
    TNotifyEvent OnTransferringData;
    TNotifyEvent OnDataTransfered;
    // A fetched message: its raw bytes with the closing "." line.
    TmsUserMsgSaveEvent OnUserMessageSave;

    TmsRemoteInfo Info;
    bool KeepConnected = false;

    void UpdateInfo();
    void MarkForRetrieval(std::size_t index) { Info.Items(index).Retrieve = true; }
    void MarkForDeletion(std::size_t index) { Info.Items(index).Delete = true; }
    void TransferData();

  private:
    void RetrieveMessage(int index);

    std::string messageDirectory_;
};

// Decodes every fetched message into its own list instead of handing over raw bytes.
class TmsPOP : public TmsCustomPOP {
  public:
    explicit TmsPOP(Platform& platform);

    TmsMessageList& Messages() { return messages_; }
    // Logs in, fetches every message into Messages (deleting those fetched when asked), logs
    // out.
    void RetrieveAll(bool deleteRetrieved);

  private:
    TmsMessageList messages_;
};

// Removes the doubled leading dot of every line but the closing "." line.
void UnstuffDots(std::string& data);

}  // namespace kivo
