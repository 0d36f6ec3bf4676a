#pragma once
// The index file of a mailbox (".idx"): line 1 stamps the mailbox file's modification time,
// every further line is one entry in comma text (Number, Icon, Subject, From, Date, Size, To,
// Priority, Unread, HasAttachment). The index is a cache: when it is missing, stale or broken
// it is rebuilt from the mailbox file.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kivo {

class TFrmIndex;

// Raised by LoadIndex when the index cannot be used; the caller rebuilds without a message.
class EIndexFileInvalid : public std::runtime_error {
  public:
    EIndexFileInvalid() : std::runtime_error("Index invalid") {}
};

// Line 1 for a mailbox file: its modification time in the program's date form, followed by a
// tab and the exact time, size and file identity, or "0" when the file does not exist. The
// exact part lets a change within the same second make the index stale.
std::string MailboxStamp(const std::filesystem::path& mbx);
// Whether line 1 of an index still describes the mailbox file. Throws EIndexFileInvalid when the
// line is not a date at all. Stamps without the exact part compare to the second.
bool StampMatches(std::string_view line, const std::filesystem::path& mbx);

// One entry line and back.
std::string IndexLine(const struct TIndexItem& item);
// Loads the index file of the window's mailbox into its entries and reads the deleted list.
// Throws EIndexFileInvalid; a stale index file is deleted first.
void LoadIndex(TFrmIndex& window);
// Writes the index file of the window's mailbox (all entries in list order). Does nothing for
// an empty mailbox name; false when the file could not be written (the index is rebuilt on
// the next open).
bool SaveIndex(TFrmIndex& window);

// The "Status:" line the index file gives each message number ("Status: " + U or R + the
// group letter), for compression and Find. A missing file gives none. With `strict`, an
// entry whose icon field is not a number throws EIndexFileInvalid; otherwise it has no group.
std::unordered_map<int, std::string> ReadIndexStatusLines(const std::filesystem::path& idx,
                                                          bool strict);

}  // namespace kivo
