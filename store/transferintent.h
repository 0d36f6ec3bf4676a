#pragma once
// A copy of messages to another mailbox (the Trash, a move's target) and the mark of the
// originals in the source's deleted list are one change, also across a crash. A record beside
// the source names the change before the first byte is appended; the target's append record
// points at it. Once the copy is flushed the record is renamed to its "done" name: from then
// on the copy is kept and the mark is made, before, the copy is cut back and nothing is
// marked. Whoever locks either mailbox next settles what a killed process left.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/mailboxfiles.h"
#include "store/mailboxstate.h"

namespace kivo {

class TAppendTransaction;

struct TTransferRecord {
    std::string token;              // names this change; the record's first line
    std::filesystem::path target;   // the target's mailbox file
    TMailboxState source;           // the source file the numbers belong to
    std::vector<int> numbers;       // the source messages copied

    static std::filesystem::path PendingPath(const TMailboxFiles& source);
    static std::filesystem::path DonePath(const TMailboxFiles& source);
    // Written atomically; throws std::system_error.
    void Write(const std::filesystem::path& file) const;
    // nullopt when there is no whole record.
    static std::optional<TTransferRecord> Read(const std::filesystem::path& file);
};

// One transfer in a process that holds both mailboxes' locks. Steps: construct (writes the
// record) before the append's first byte, Copied() once the append is flushed, then the
// deleted list is saved, the append committed and Finish() called. Destroyed before Finish,
// it removes its record, so the caller's take-back of the append that follows is the whole
// undo.
class TTransferIntent {
  public:
    TTransferIntent(const TMailboxFiles& source, int sourceFd, std::vector<int> numbers,
                    const std::filesystem::path& target, TAppendTransaction& append);
    ~TTransferIntent();
    TTransferIntent(const TTransferIntent&) = delete;
    TTransferIntent& operator=(const TTransferIntent&) = delete;

    // The copy is complete: from here it is kept and the mark is made, whatever happens.
    void Copied();
    // The mark is saved and the append committed: the record goes.
    void Finish();

  private:
    TMailboxFiles source_;
    std::filesystem::path target_;
    bool copied_ = false;
    bool finished_ = false;
};

enum class TTransferSettled { None, Marked, Undone };

// Settles a record that a killed process left beside `files` (whose lock the caller holds as
// `lockedFd`): a done one gets its numbers marked in the deleted list (when the file is still
// the one they number), a pending one is dropped (its copy is cut back when the target is
// next locked). Throws std::system_error when the deleted list cannot be saved; the record
// then stays.
TTransferSettled SettleTransfer(const TMailboxFiles& files, int lockedFd);

}  // namespace kivo
