#pragma once
// The Find dialog (`TFrmFind`) without its window: the fields the user fills in, the search
// scope, and the "&Find" command that searches the mailboxes, collects the matches in a
// results mailbox and opens it in the main window.

#include <filesystem>
#include <string>

#include "search/mailsearch.h"

namespace kivo {

class Platform;
class TFrmMailboxes;
class TMailboxHost;

// What the dialog shows while it searches; the window implements it.
class TFindView : public TSearchProgress {
  public:
    // Busy: progress shown, only Cancel enabled, the automatic mail check suspended. Not
    // busy: the inputs enabled again, the check timer as it was.
    virtual void SetBusy(bool /*busy*/) {}
};

class TFrmFind {
  public:
    TFrmFind(std::filesystem::path mailFolder, TMailboxHost& host, TFrmMailboxes& tree,
             Platform& platform, TFindView& view);

    // Dialog fields.
    std::string FindText;
    bool IgnoreCase = true;
    std::string ExcludeText;
    bool ExcludeIgnoreCase = true;
    bool OnlyCurrentFolder = false;
    std::string Destination;

    // The folder part of the open mailbox's path ("Work/" for "Work/Alpha"; empty at the top
    // level, when searching only the current folder is not offered).
    const std::string& CurrentFolder() const { return currentFolder_; }

    // Prepares the dialog as it is shown: proposes the results mailbox name and the scope.
    void Show();
    // "&Find": searches and opens the results mailbox (after a failure the open mailbox stays
    // open). False when the find text is blank.
    bool FindClick();
    // The Cancel button while searching.
    void Cancel() { cancel_ = true; }

    // Messages copied by the last search.
    int Copied() const { return copied_; }
    // What the last search found, as the dialog says it: "3 messages found" ("No message
    // found", "Canceled: 1 message found"); empty before the first search and after a
    // failure.
    std::string ResultText() const;
    // Why the last search failed (a mailbox that could not be read, a full disk), or empty.
    // The results mailbox then got none of the matches.
    const std::string& Error() const { return error_; }

  private:
    std::filesystem::path mailFolder_;
    TMailboxHost& host_;
    TFrmMailboxes& tree_;
    Platform& platform_;
    TFindView& view_;
    std::string currentFolder_;
    bool cancel_ = false;
    bool searched_ = false;
    bool canceled_ = false;
    int copied_ = 0;
    std::string error_;
};

}  // namespace kivo
