#pragma once
// The one rule for a message marked deleted in its own header, used by every reader of a
// mailbox file (listing, the index rebuild, compression, Find, repair): a "Status:" line of
// its header block holds a capital "D" among its letters. Kivo writes "D" (the send queue,
// filters, scripts); other programs write letters of their own ("Status: RO", "Status: Old",
// "Status: Read"), and a lower-case "d" in them is no deletion, so such messages are listed
// and kept.

#include <string_view>

namespace kivo {

// True for a "Status:" header line (name compared case-sensitively) whose value holds "D".
bool StatusLineMarksDeleted(std::string_view line);

// True when the header block of a message given as its text (separator line first, line ends
// as stored) has a "Status:" line that marks it deleted. Reads only the header block;
// `headerEnds`, when given, says whether the header block ended within `text` (a caller that
// passed only the start of a message then knows whether to look further).
bool MessageMarkedDeleted(std::string_view text, bool* headerEnds = nullptr);

}  // namespace kivo
