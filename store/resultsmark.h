#pragma once
// The mark that makes a mailbox a results mailbox of Find: a line "SYSTEM:FIND" before its
// first separator line. Searches skip such mailboxes; one that holds only its mark has no
// message to lose when it is deleted.

#include <filesystem>
#include <string_view>

namespace kivo {

inline constexpr std::string_view kResultsMark = "SYSTEM:FIND";

// True when a line before the file's first separator line is exactly the mark.
bool IsResultsMailbox(const std::filesystem::path& mbx);

// True when the file holds the mark and nothing else but line ends: a results mailbox a
// search left without a match.
bool HoldsOnlyResultsMark(const std::filesystem::path& mbx);

}  // namespace kivo
