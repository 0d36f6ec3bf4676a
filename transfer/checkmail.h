#pragma once
// The check-mail run: every account marked for checking, in file order, through the POP3
// mailbox in two phases (look at every message, then fetch and delete the chosen ones). A
// fetched message is converted into its stored form, passed through the incoming filters and
// appended to "in.mbx" and recorded in the leave-on-server list before the server is told to
// delete it (one flush per batch), so a crash neither loses mail nor fetches it twice.
// One account's failure is reported and the run goes on with the next.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/account.h"
#include "store/freename.h"
#include "transfer/filterlists.h"
#include "transfer/leaveonserver.h"
#include "transfer/remotemailbox.h"
#include "transfer/storedform.h"
#include "transfer/transferfeedback.h"
#include "transfer/unrecordedfiles.h"

namespace kivo {

class Platform;
class TFrmIndex;

// Where the run reads and writes.
struct TCheckPaths {
    std::filesystem::path accountsFile;  // "accounts.ini"
    std::filesystem::path mailFolder;    // holds "in.mbx"
    std::filesystem::path attachFolder;  // attachment files; the program folder when missing
    std::filesystem::path programFolder;
    std::filesystem::path leaveOnServer;  // "lmos.dat"
};

struct TCheckResult {
    int accounts = 0;  // accounts checked
    int failed = 0;    // accounts that could not be checked or failed on the way
    // One line for each failure: the account's name and why, in one line ("Work: -ERR ...").
    std::vector<std::string> failures;
    int stored = 0;  // messages appended to the In mailbox
    // Fetched messages an incoming filter took out of In (filed elsewhere or deleted): new
    // mail all the same.
    int filtered = 0;
    bool newMail = false;
    bool playSound = false;
};

class TCheckMail {
  public:
    TCheckMail(TCheckPaths paths, TRemoteMailbox& pop, TFilterLists& filters,
               TTransferFeedback& feedback, Platform* platform = nullptr);

    // The check button: one run over all accounts marked for checking.
    TCheckResult Run();

  private:
    void CheckAccount(const Account& account);
    // Decides per message (its leave-on-server entry in `entries`) what to fetch and delete;
    // returns whether anything was marked.
    bool MarkMessages(const Account& account, const std::vector<LeaveOnServerEntry>& entries,
                      LeaveOnServerList& list, int& leftCount);
    // Drops the entries of mail no longer on the server once the server named every message
    // it holds: a run stopped after the server deleted mail but before the list was saved
    // leaves them behind. ForgetAll does it for a server that holds no message.
    void ForgetVanished(const std::vector<LeaveOnServerEntry>& entries, LeaveOnServerList& list);
    void ForgetAll(const Account& account);
    // The save events: converts (with `convert`, into the attachment folder's names) and
    // filters the message into the batch being stored.
    using TConvert = std::function<ReceivedMessage(TFreeNames& names)>;
    void Store(int n, const TConvert& convert);
    // Appends the batch to In with one flush, then records its messages in the
    // leave-on-server list and saves the list; all before any of them is deleted.
    void CommitStored();
    void DropBatch();
    // Where CommitStored notes the batch it is appending (see TBatchJournal).
    std::filesystem::path JournalPath() const;
    // Records the batch a killed run appended but did not record, before anything is fetched,
    // and removes the attachment files of one that never got into In.
    void SettleUnfinishedBatch();
    void StoreMessage(const TConvert& convert);
    void ReportFailure(std::string_view what, const Account& account,
                       std::string_view status = "Could not connect to the POP server");
    // Counts a failed account and keeps why for the run's summary.
    void Failed(const Account& account, std::string_view why);
    void EndAccount();
    void ShowProgress();

    TCheckPaths paths_;
    TRemoteMailbox& pop_;
    TFilterLists& filters_;
    TTransferFeedback& feedback_;
    Platform* platform_;

    TCheckResult result_;
    const Account* account_ = nullptr;
    TFrmIndex* inWindow_ = nullptr;
    LeaveOnServerList* list_ = nullptr;
    // Per remote message: its leave-on-server entry, recorded once it is stored.
    std::vector<std::optional<LeaveOnServerEntry>> pending_;
    // The stored lines of the batch not yet appended, how many messages they hold, and the
    // positions of all messages handled in it (a message a filter dropped counts too).
    std::vector<std::string> batch_;
    std::size_t batchBytes_ = 0;  // of batch_'s lines
    static constexpr std::size_t kMaxBatchBytes = 8 << 20;
    int batchMessages_ = 0;
    std::vector<std::uint64_t> batchDigests_;  // TBatchJournal::MessageDigest of each
    std::vector<std::size_t> batchNumbers_;
    std::string lastError_;
    std::optional<TFreeNames> attachNames_;  // the attachment folder's names, this run
    TUnrecordedFiles unrecorded_;            // the attachment files of the batch
    long fetched_ = 0;                       // bytes of the messages fetched so far
    long current_ = 0;                       // bytes of the message being fetched
    std::optional<std::size_t> arriving_;    // that message, until it is counted in fetched_
    long left_ = 0;                          // bytes left on the server
};

}  // namespace kivo
