#pragma once
// What `kivo repair` looks for in the messages themselves: a message cut short (the file ends
// in the middle of a line, a multipart message whose parts never close, a body shorter than
// its Content-Length) and messages whose deleted state readers could disagree on (a capital
// "D" in a "Status:" line that the deleted list lacks; another program's letters with a
// lower-case "d", which are not a deletion). Findings are reported; only ending an unfinished
// last line changes the file, and only when asked.

#include <string>
#include <vector>

#include "store/mailboxfiles.h"

namespace kivo {

class FileLock;
class TDeletedList;

struct TMessageFindings {
    bool endsMidLine = false;           // the file's last line has no line end
    std::vector<int> partsNotClosed;    // multipart messages without their closing boundary
    std::vector<int> shorterThanLength;  // bodies shorter than their Content-Length
    std::vector<int> markedNotListed;   // a capital "D" in a "Status:" line, not on the list
    std::vector<int> lowerCaseD;        // another program's letters with a lower-case "d"
    int lastMessage = 0;
    bool lineEnded = false;  // the unfinished last line was ended (MendMessages)
};

// One pass over the mailbox file; the caller holds the mailbox's lock.
TMessageFindings CheckMessages(const TMailboxFiles& files, const TDeletedList& deleted);

// Ends an unfinished last line with CR LF, so a later message can never join it; the caller
// holds `lock`. Throws std::system_error when the file cannot be written.
void MendMessages(const FileLock& lock, TMessageFindings& findings);

// The findings as lines for the user, each beginning with the mailbox name; `canMend` says
// whether the user may still ask for the mend (repair without --yes).
std::vector<std::string> MessageFindingLines(const std::string& name,
                                             const TMessageFindings& findings, bool canMend);

}  // namespace kivo
