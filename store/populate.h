#pragma once
// Building index entries: from a whole mailbox file in one pass (a rebuild), and from the
// lines of one new message (checking mail, queueing, sending).

#include <string>
#include <string_view>
#include <vector>

#include "store/indexitem.h"
#include "store/storefeedback.h"

namespace kivo {

class TFrmIndex;

// What the index needs from a message body: the sum of its line lengths without line ends,
// and whether a line begins with "Attachment Converted:". Reads the bytes once, without
// splitting them into lines.
struct TBodyFacts {
    std::uint64_t lineBytes = 0;
    bool hasAttachment = false;
};
TBodyFacts ScanBody(std::string_view body);

// The entry for one stored message given as its text (separator line first), or false when
// the message is marked deleted in its header (see MessageMarkedDeleted).
bool EntryFromStoredMessage(std::string_view text, int number, TIndexItem& item);

// The scanning step of a rebuild: one pass over the window's mailbox file, one entry per
// message that is not deleted. Messages marked deleted in their "Status:" line join the
// deleted list, which is saved. Sets the message counter and the needs-compress flag. The
// progress bar of `feedback` follows the pass.
void PopulateAll(TFrmIndex& window, TStoreFeedback& feedback = NoFeedback());

// Rebuilds the window's entries from its mailbox file: with `compressFirst`, compresses first
// when an index file exists, then PopulateAll. Without it the file keeps its numbering, so
// numbers printed before the rebuild still name the same messages.
void ReindexMailbox(TFrmIndex& window, TStoreFeedback& feedback, bool compressFirst = true);

// Adds the entry of one new message given as lines (no separator line yet) with the number
// `number`; with `insertSeparator`, puts "From " + From + " " + date in front of the lines.
void PopulateIndex(bool insertSeparator, int number, TFrmIndex& window,
                   std::vector<std::string>& lines);

// The index date of a "Date:" value: the date as written in the header, in the program's
// date form; the current time when it cannot be read.
std::string IndexDate(std::string_view dateValue);

}  // namespace kivo
