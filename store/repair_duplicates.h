#pragma once
// Messages of a mailbox that another mailbox holds as well, found by Message-ID and a digest
// of the message without its "Status:" lines: what a delete or move cut off half-way by an
// older version left in two places (or what a copy made on purpose). Only copies in the Trash
// are set right: the mailbox's own are then marked deleted, as the delete meant.

#include <filesystem>
#include <string>
#include <vector>

#include "store/mailboxfiles.h"

namespace kivo {

struct TDuplicates {
    std::string mailbox;  // the other mailbox, as the user names it
    int count = 0;        // messages of the repaired mailbox it holds too
    bool marked = false;  // they were marked deleted in the repaired mailbox
};

// Compares the live messages of `files` with those of every other mailbox of `mailFolder`;
// with `mend`, those that are in the Trash too are marked deleted. Throws std::system_error.
std::vector<TDuplicates> FindDuplicates(const TMailboxFiles& files,
                                        const std::filesystem::path& mailFolder, bool mend);

// The findings as lines for the user, each beginning with the mailbox name.
std::vector<std::string> DuplicateLines(const std::string& name,
                                        const std::vector<TDuplicates>& found);

}  // namespace kivo
