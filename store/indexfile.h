#pragma once
// The index file of a mailbox (".idx"): line 1 stamps the mailbox file's modification time,
// every further line is one entry in comma text (Number, Icon, Subject, From, Date, Size, To,
// Priority, Unread, HasAttachment). The index is a cache: when it is missing, stale or broken
// it is rebuilt from the mailbox file.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/mailboxfiles.h"
#include "store/mailboxstate.h"

namespace kivo {

class TFrmIndex;

// Raised by LoadIndex when the index cannot be used; the caller rebuilds without a message.
class EIndexFileInvalid : public std::runtime_error {
  public:
    EIndexFileInvalid() : std::runtime_error("Index invalid") {}
};

// Line 1 for a mailbox file as it is now: its modification time in the program's date form,
// followed by a tab and the exact state of the file (see TMailboxState), or "0" when the file
// does not exist.
std::string MailboxStamp(const std::filesystem::path& mbx);
// Line 1 for an index built from the file in `state`.
std::string StampFor(const TMailboxState& state);
// How the file open as `fd` differs from the state line 1 of an index describes; `basis`
// receives that state (for stamps older than the exact state, the file's state now, without
// a message count). Throws EIndexFileInvalid when the line is not a date at all.
TStateChange ReadStamp(std::string_view line, int fd, TMailboxState& basis);

// Whether line 1 of an index names the file it was saved for (its identity and length), not
// only a modification time that another mailbox may share.
bool StampNamesFile(std::string_view line);

// Whether line 1 of an index still numbers the messages of the mailbox file (the file is as
// it was, or only appended to).
bool StampMatches(std::string_view line, const std::filesystem::path& mbx);

// One entry line and back.
std::string IndexLine(const struct TIndexItem& item);
// Loads the index file of the window's mailbox into its entries, leaving out messages of the
// deleted list, and sets the window's basis. Messages another program appended since the
// index was saved get entries too. Throws EIndexFileInvalid; an index that does not describe
// the file is deleted first: one of a file that was replaced or changed in place, one stamped
// with a date alone, and one whose entries leave messages out or name numbers the file cannot
// have. The checks cost a byte per message, and no read of the mailbox file when the stamp
// counts its messages.
void LoadIndex(TFrmIndex& window);
// Writes the index file of the window's mailbox (all entries in list order), stamped with the
// state of the file the entries were built from, under the mailbox's lock. Does nothing for
// an empty mailbox name; false when the file could not be written (`failure`, when given,
// then says why) or no longer is the one the entries describe (the index is rebuilt on the
// next open; `failure` stays empty, as nothing went wrong).
bool SaveIndex(TFrmIndex& window, std::string* failure = nullptr);

// The index of an open mailbox could not be written. The mailbox file and its deleted list
// are untouched; the index is built again or caught up when the mailbox is next opened.
class EIndexNotSaved : public std::runtime_error {
  public:
    EIndexNotSaved(const std::string& mailbox, const std::string& reason)
        : std::runtime_error("the index of the mailbox " + mailbox + " could not be saved (" +
                             reason + "); the mailbox itself is fine and its index is built "
                                      "again when it is next opened") {}
};

// The "Status:" line an index gives each message number ("Status: " + U or R + the group
// letter), for compression and Find: a sorted list of small codes, a few bytes a message.
class TIndexStatus {
  public:
    void Add(int number, bool unread, int icon);
    // The line for a message, or null when the index has none.
    const std::string* Find(int number) const;
    bool Empty() const { return codes_.empty(); }

  private:
    std::vector<std::pair<int, std::uint8_t>> codes_;  // sorted by number once read
    friend TIndexStatus ReadIndexStatusLines(const std::filesystem::path&, bool);
};
// The status lines of an index file; a missing file gives none. With `strict`, an entry whose
// icon field is not a number throws EIndexFileInvalid; otherwise it has no group.
TIndexStatus ReadIndexStatusLines(const std::filesystem::path& idx, bool strict);
// The same, but only when the index still numbers the mailbox file open as `lockedFd` (the
// file is as the index was saved for, or only appended to); none otherwise.
TIndexStatus ReadCurrentIndexStatus(const TMailboxFiles& files, int lockedFd, bool strict = false);

}  // namespace kivo
