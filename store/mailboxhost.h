#pragma once
// What the mailbox tree and Find need from the main window: the main message index window
// (whose folder and name say which mailbox is open), saving the open mailbox's state, and
// opening the mailbox the main index window names. The main window implements it.

namespace kivo {

class TFrmIndex;

class TMailboxHost {
  public:
    virtual ~TMailboxHost() = default;
    virtual TFrmIndex& MainIndex() = 0;
    // Saves the open mailbox's index and compresses it when many messages are deleted.
    virtual void SaveInfo() = 0;
    // Opens the mailbox named by the main index window.
    virtual void Init() = 0;
};

}  // namespace kivo
