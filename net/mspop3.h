#pragma once
// The POP3 client. TmsRemotePOP reads a mailbox in two phases: UpdateInfo logs in and collects
// each message's size and header lines (LIST and TOP n 1) into Info without downloading
// bodies; the caller marks entries; TransferData fetches the marked messages, hands each one
// over as raw bytes, deletes the marked ones and logs out. Message positions in events count
// from 0 (the server's number minus one). The password never appears in any event text.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/spoolfile.h"
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

    // Set when the server's CAPA lists PIPELINING: the transfer's commands then go out in
    // batches and their replies are read in order. Off, every command waits for its reply.
    bool Pipelining = false;
    // A message that grows past this (its size from LIST bounds it further) is refused.
    std::int64_t MaxMessageBytes = std::int64_t{100} << 20;
    // Where a message is kept while it arrives (a file without a name, gone with the
    // transfer); the system's temporary folder when empty.
    std::filesystem::path SpoolFolder;
    // The header lines of one message (TOP, or the head of RETR) may not be longer than
    // this; a server that sends more fails the transfer with a text that says so.
    static constexpr std::int64_t kMaxHeaderBytes = 1 << 20;
    // The error for a message whose header lines are longer.
    ESocketError HeaderTooLong(int index) const;

    // 1 for "+...", -1 for "-...", 0 otherwise.
    int ReplyCode(std::string_view line) const override;
    // Checks the credentials first.
    void Connect() override;
    void LogIn() override;
    void LogOut() override;
    // During a transfer, ends the running wait without closing the connection, so that the
    // transfer can still say QUIT and keep the deletions made so far (QuitAfterCancel).
    void Cancel() override;
    // The CAPA listing's lines; none when the server refuses CAPA. Asked once per connection.
    const std::vector<std::string>& Capabilities();

  protected:
    // After the greeting of a secured account: STLS when upgrading, CAPA, then AUTH PLAIN
    // when the server offers it, else USER and PASS.
    void SecureLogIn();
    // Sends the command and reads one reply line into LastReply.
    int Command(std::string_view text);
    // The same, raising EServerError with the reply line unless it begins with "+".
    void CommandOk(std::string_view text);
    // A step of the log-in: a refusal is ELoginRefused unless the server names another cause.
    void LogInCommand(std::string_view text);

    // Commands whose replies are owed, oldest first. `multiLine` ones are followed by a
    // response after "+OK"; `number` is the message a numbered command names (0: none).
    struct TAwaited {
        bool multiLine = false;
        int number = 0;
        bool body = false;  // its "+OK" line was read, the response not yet
    };
    // Sends the commands in one write; their replies are read with ReadAwaited.
    void SendCommands(const std::vector<std::pair<std::string, TAwaited>>& commands);
    // The reply line of the oldest owed command into LastReply; raises EServerError unless it
    // begins with "+" when `mustBeOk`. A pipelined reply that is no reply, or names another
    // message than its command, breaks the dialogue: the connection is closed.
    int ReadAwaited(bool mustBeOk);
    // The response after the "+OK" of the oldest owed multi-line command.
    void ReceiveAwaited(std::string& stream, std::int64_t expectedSize, std::int64_t sizeBound);
    // The same handed to `sink` as it arrives, dots unstuffed and without the closing line.
    void ReceiveAwaited(const TDataSink& sink, std::int64_t expectedSize, std::int64_t sizeBound);
    // After a cancel: reads the replies still owed and says QUIT within a short time, so the
    // server keeps the deletions made so far; closes the connection either way.
    void QuitAfterCancel();
    // "LIST n": the size the server gives, 0 when it is not a number.
    std::int64_t ListSize(int index);
    // "TOP n 1": the message's header lines (dots unstuffed, up to its blank line) into
    // `headers`; `size` from LIST bounds the response.
    void Top(int index, std::int64_t size, std::string& headers);
    // The response of an owed TOP whose "+OK" was read. Header lines longer than
    // kMaxHeaderBytes raise ESocketError; the body line after them is read and dropped.
    void ReceiveTop(int index, std::int64_t size, std::string& headers);
    // The response of an owed RETR of message `index` whose "+OK" was read, dots unstuffed,
    // written into a spool file as it arrives; `size` from LIST. Header lines longer than
    // kMaxHeaderBytes raise ESocketError.
    TSpoolFile ReceiveMessage(int index, std::int64_t size);
    // Reads the message again before it is touched: UIDL (refusal tolerated), LIST, TOP.
    std::string Recheck(int index);
    // LIST, RETR and the whole message; the bytes as they are handed over (dots unstuffed).
    std::string Retrieve(int index);
    // The same kept in a spool file.
    TSpoolFile RetrieveSpooled(int index);
    void DeleteMessage(int index);

  private:
    std::deque<TAwaited> awaited_;
    bool broken_ = false;    // the stream no longer lines up with the commands
    bool draining_ = false;  // QuitAfterCancel is running: a further cancel waits for it

  protected:
    bool transferring_ = false;  // TransferData is running: a cancel lets it say QUIT
    bool capabilitiesRead_ = false;
    std::vector<std::string> capabilities_;
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
    using TmsSpooledMsgSaveEvent =
        std::function<void(TagSocket& sender, int num, const TSpoolFile& contents)>;

    explicit TmsRemotePOP(Platform& platform);

    const std::string& MessageDirectory() const { return messageDirectory_; }
    // A non-empty folder is kept with a trailing "/".
    void SetMessageDirectory(std::string_view folder);

    TNotifyEvent OnUpdatingInfo;
    TmsNumNotifyEvent OnNextInfoUpdated;
    TNotifyEvent OnInfoUpdated;
    TNotifyEvent OnTransferringData;
    TNotifyEvent OnDataTransfered;
    // A fetched message: exactly its raw bytes (dots unstuffed, without the closing "." line).
    TmsUserMsgSaveEvent OnUserMessageSave;
    // The same left in its spool file, for a handler that reads large messages in pieces;
    // when set, OnUserMessageSave is not called.
    TmsSpooledMsgSaveEvent OnUserMessageSpooled;

    // The messages of a batch were handed over; their deletions follow. The handler makes
    // them durable; throwing stops the transfer before any of that batch is deleted.
    TNotifyEvent OnBatchSaved;

    TmsRemoteInfo Info;
    // When not empty, Info keeps only these header fields of each message (with their
    // continuation lines, each field at most kMaxKeptField bytes), so the listing of a
    // large mailbox stays small.
    std::vector<std::string> KeptFields;
    static constexpr std::size_t kMaxKeptField = 1024;
    bool KeepConnected = false;
    // With pipelining, at most this many messages (or about kBatchBytes) are fetched before
    // they are made durable and deleted together.
    static constexpr std::size_t kBatchMessages = 64;
    static constexpr std::int64_t kBatchBytes = 16 << 20;

    void UpdateInfo();
    void MarkForRetrieval(std::size_t index) { Info.Items(index).Retrieve = true; }
    void MarkForDeletion(std::size_t index) { Info.Items(index).Delete = true; }
    void TransferData();

  private:
    void RetrieveMessage(int index);
    void HandOver(int index, const TSpoolFile& spool);
    // The marked entries from `first` on that go into one batch: one entry without pipelining.
    std::size_t BatchEnd(std::size_t first) const;
    void TransferBatch(std::size_t first, std::size_t end);
    // The pipelined phases: LIST and TOP for a run of entries; the re-check and RETR of the
    // marked ones, handed over once the whole batch has arrived in order; the re-check and
    // DELE of the marked ones.
    void ScanPipelined(std::int64_t first, std::int64_t end);
    void RetrievePipelined(std::size_t first, std::size_t end);
    void DeletePipelined(std::size_t first, std::size_t end);
    // The re-check of a message (UIDL, LIST, TOP) queued, and its replies read.
    void QueueRecheck(int index, std::vector<std::pair<std::string, TAwaited>>& commands);
    void ReadRecheck(std::size_t i);
    void StoreHeaders(TmsRemoteInfoItem& item, const std::string& headers);

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

// A multi-line response turned into its data as it arrives in pieces (without its closing
// "." line, as ReceiveToSink hands it on): the doubled leading dot of every line made single.
// A retrieved message is then exactly the message the server holds.
class TDotUnstuffer {
  public:
    // Appends the piece, unstuffed, to `out`.
    void Feed(std::string_view piece, std::string& out);

  private:
    bool lineStart_ = true;
};

}  // namespace kivo
