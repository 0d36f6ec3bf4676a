#pragma once
// What a user runs when a mailbox looks wrong: sets right what killed processes left behind
// (an unfinished append, temporary files, an interrupted compression), drops numbers from the
// deleted list that name no message, and removes the index so that it is built again from
// the file. It never changes a message.

#include <cstdint>
#include <string>
#include <vector>

#include "store/mailboxfiles.h"
#include "store/mailboxlock.h"
#include "store/repairchecks.h"

namespace kivo {

struct TRepairReport {
    TRecoveryReport recovered;
    std::uint64_t preambleBytes = 0;  // text before the first message, kept
    int messages = 0;
    int strayNumbers = 0;  // deleted-list numbers past the last message, dropped
    bool staleList = false;      // a deleted list of another file or contents, removed
    bool unstampedList = false;  // a list of an older version, written again with its stamp
    bool indexRemoved = false;
    TMessageFindings findings;  // what the messages themselves show
    bool mend = false;          // the user asked for the mends that change the file
};

// Throws std::system_error when the mailbox cannot be locked or read. With `mend`, also
// makes the changes of MendMessages.
TRepairReport RepairMailbox(const TMailboxFiles& files, bool mend = false);

// The report as lines for the user, each beginning with the mailbox name.
std::vector<std::string> RepairLines(const std::string& name, const TRepairReport& report);

}  // namespace kivo
