#pragma once
// Opening a mailbox in a message index window's state: the index file read, or the index
// built again from the mailbox file when the file is missing, stale or broken. The main
// window and the separate index windows open their mailboxes the same way.

namespace kivo {

class TFrmIndex;
class TStoreFeedback;

// Reads the index of the mailbox the window names (making an empty mailbox file when there
// is none), applies the window's Show filter again and selects the last row. A window
// without a mailbox name is left empty. Without `compressFirst`, a rebuild leaves the
// mailbox file as it is (see ReindexMailbox).
void OpenMailboxIndex(TFrmIndex& window, TStoreFeedback& feedback, bool compressFirst = true);

}  // namespace kivo
