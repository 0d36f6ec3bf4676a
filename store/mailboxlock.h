#pragma once
// The lock of a mailbox: an exclusive lock on its ".mbx" file, held while the mailbox file,
// its deleted list or its index changes, and while message numbers are turned into messages.
// Taking it finishes what a killed process left behind: an unfinished append is cut back, an
// interrupted compression is finished or undone, and temporary files of compression and of
// index and deleted-list saves are removed, a copy-and-delete is finished or undone and a
// deleted list that does not belong to the file is removed. So the next access of a mailbox always finds
// whole messages and no stray files.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/files.h"
#include "store/mailboxfiles.h"
#include "store/transferintent.h"

namespace kivo {

class TFrmIndex;

// What taking a lock found and set right.
struct TRecoveryReport {
    std::uint64_t cutBytes = 0;        // an unfinished append cut from the end
    std::vector<std::string> removed;  // stale temporary files (names)
    bool listRestored = false;         // an interrupted compression undone: old list back
    bool staleList = false;  // a deleted list of another file or of replaced contents removed
    TTransferSettled transfer = TTransferSettled::None;  // an interrupted copy-and-delete
    bool Empty() const {
        return cutBytes == 0 && removed.empty() && !listRestored && !staleList &&
               transfer == TTransferSettled::None;
    }
};

// Sets right what a killed process left beside the mailbox; the caller holds `lock`.
TRecoveryReport RecoverMailbox(const TMailboxFiles& files, const FileLock& lock);

class TMailboxLock {
  public:
    explicit TMailboxLock(const TMailboxFiles& files);
    const FileLock& Lock() const { return lock_; }
    int fd() const { return lock_.fd(); }
    const TRecoveryReport& Recovered() const { return report_; }

  private:
    FileLock lock_;
    TRecoveryReport report_;
};

// The locks of two mailboxes, taken in a fixed order (see TwoFileLocks); the same mailbox
// twice is locked once.
class TMailboxPairLock {
  public:
    TMailboxPairLock(const TMailboxFiles& a, const TMailboxFiles& b);
    const FileLock& A() const { return locks_.A(); }
    const FileLock& B() const { return locks_.B(); }
    bool Same() const { return &locks_.A() == &locks_.B(); }

  private:
    TwoFileLocks locks_;
};

// The mailbox file is no longer the one the window's index was built from (another program
// compressed or rewrote it): its message numbers name other messages now.
class EMailboxChanged : public std::runtime_error {
  public:
    explicit EMailboxChanged(const std::string& mailbox);
};

// Checks, under the mailbox's lock (`lockedFd`), that the window's entries still describe the
// file; throws EMailboxChanged otherwise. Entries never read from a file are not checked.
void CheckIndexCurrent(const TFrmIndex& window, int lockedFd);

}  // namespace kivo
