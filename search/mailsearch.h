#pragma once
// The search behind Find: every message of a mailbox (separator, header lines and body) is
// tested line by line for a text, and the matches are appended to a results mailbox, each
// with an "X-Found:" line naming its source and its "Status:" line as the index knows it.
// Reads the mailbox and index files directly; results mailboxes (first line "SYSTEM:FIND")
// are never searched.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "search/textfinder.h"
#include "store/resultsmark.h"

namespace kivo {

class Platform;

// Raised when the user cancels a search.
class ECanceled : public std::runtime_error {
  public:
    ECanceled() : std::runtime_error("Canceled!") {}
};

// What the search shows while it runs.
class TSearchProgress {
  public:
    virtual ~TSearchProgress() = default;
    // "Currently searching:" the mailbox's relative path.
    virtual void Searching(std::string_view /*relPath*/) {}
    // "Message number:" every tenth message.
    virtual void MessageNumber(int /*count*/) {}
    // True once the user pressed Cancel.
    virtual bool CancelRequested() { return false; }
};

struct TSearchText {
    std::string find;
    bool findIgnoreCase = true;
    std::string exclude;
    bool excludeIgnoreCase = true;
};

class TMailSearch {
  public:
    TMailSearch(std::filesystem::path mailFolder, const TSearchText& text, Platform& platform,
                TSearchProgress& progress);
    ~TMailSearch();
    TMailSearch(const TMailSearch&) = delete;
    TMailSearch& operator=(const TMailSearch&) = delete;

    // Searches every mailbox of `folder` and its subfolders (sorted by name) and appends the
    // matches to the results mailbox `resultsBase` (path without extension) in one step at
    // the end. Throws ECanceled after the matches found until then were added, or what a
    // broken, unreadable or full file raised: the results mailbox then gets none, and one
    // this search made is taken away again.
    void IterateMailboxes(const std::filesystem::path& folder,
                          const std::filesystem::path& resultsBase);

    // Messages copied into the results mailbox.
    int Copied() const { return copied_; }

  private:
    class Spool;
    void Walk(const std::filesystem::path& folder, const std::filesystem::path& resultsBase);
    // Searches one mailbox (`mailboxBase` without extension).
    void SearchMailbox(const std::filesystem::path& mailboxBase,
                       const std::filesystem::path& resultsBase);
    void Flush();

    std::filesystem::path mailFolder_;
    TTextFinder find_;
    TTextFinder exclude_;
    bool useExclude_;
    Platform& platform_;
    TSearchProgress& progress_;
    int copied_ = 0;
    int found_ = 0;
    Spool* spool_ = nullptr;  // while IterateMailboxes runs
    std::string batch_;
};

}  // namespace kivo
