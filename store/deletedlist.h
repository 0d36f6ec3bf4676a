#pragma once
// The deleted list of a mailbox (the ".d" file beside it): the numbers of messages deleted
// since the last compression, one decimal number per line, in the order they were deleted.
// Its first line stamps it with the mailbox file it numbers (identity, length, messages in
// that length and a digest of the bytes before that length): a list whose file was replaced,
// cut short or changed in place numbers other messages now and is ignored, and a number past
// the messages of its stamp is never applied to messages appended later. A list written
// before lists were stamped is applied only to numbers the file has. The file exists only
// while the list has numbers.

#include <filesystem>
#include <unordered_set>
#include <vector>

#include "store/mailboxfiles.h"
#include "store/mailboxstate.h"

namespace kivo {

class TDeletedList {
  public:
    // Reads the list of `files` and keeps what belongs to the mailbox file open as
    // `lockedFd` (the caller holds its lock). A missing file is an empty list; lines that
    // are not numbers are skipped. Throws std::system_error when a file cannot be read.
    static TDeletedList Load(const TMailboxFiles& files, int lockedFd);
    // The same for the list at `path`; the mailbox file beside it is opened by name.
    static TDeletedList Load(const std::filesystem::path& path);
    // Writes the list atomically, stamped for the mailbox file open as `lockedFd`, or
    // removes it when it is empty; the caller holds the mailbox's lock. Numbers the file
    // does not have are left out. Throws std::system_error when it cannot be written.
    void Save(const TMailboxFiles& files, int lockedFd) const;
    void Save(const std::filesystem::path& path) const;

    // Adds a number unless it is already listed; true when it was added.
    bool Add(int number);
    bool Contains(int number) const { return set_.contains(number); }
    int Count() const { return static_cast<int>(numbers_.size()); }
    bool Empty() const { return numbers_.empty(); }
    const std::vector<int>& Numbers() const { return numbers_; }

    // A state of the mailbox file with its messages counted, under which the numbers are
    // known to name messages (the index's basis): saving then counts only what came after.
    void SetBasis(const TMailboxState& basis);

    // What loading left out: the whole list when it belongs to another file or contents
    // (Stale), or numbers past the messages it may name.
    bool Stale() const { return stale_; }
    int Ignored() const { return ignored_; }
    // Whether the list on disk is stamped for another file or contents (cheap: the list's
    // numbers are not checked against the file).
    static bool IsStale(const TMailboxFiles& files, int lockedFd);
    // The list on disk had no stamp (written by an older version).
    bool Unstamped() const { return unstamped_; }

  private:
    std::vector<int> numbers_;
    std::unordered_set<int> set_;
    TMailboxState basis_;  // known=false: none
    bool stale_ = false;
    bool unstamped_ = false;
    int ignored_ = 0;
};

}  // namespace kivo
