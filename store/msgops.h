#pragma once
// Operations that change which messages a mailbox holds: deleting (to Trash or for good),
// copying and moving between mailboxes, emptying the Trash; and reading the selected
// messages for the message view and the clipboard. Deleting only records numbers in the
// deleted list; the mailbox file changes only by appends and compression.

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class TFrmIndex;
class TStoreFeedback;

// A copy, move or delete could not be written (a full disk): every mailbox and deleted list
// is as it was before. what() is the error box's text; Line() says the same in one line for a
// terminal or the progress log, naming the mailbox and the reason.
class ECopyError : public std::runtime_error {
  public:
    explicit ECopyError(const std::string& boxText) : ECopyError(boxText, boxText) {}
    ECopyError(const std::string& boxText, std::string line)
        : std::runtime_error(boxText), line_(std::move(line)) {}
    const std::string& Line() const { return line_; }

  private:
    std::string line_;
};

// The text of the error box for a failed copy into the mailbox `targetName`, or into a file
// when `targetName` is empty.
std::string CopyFailedText(std::string_view targetName);

// Every operation on the selected messages holds the source mailbox's lock (and the target's)
// from start to end and first checks that the window's index still numbers the file
// (CheckIndexCurrent, which throws EMailboxChanged). It then either completes or leaves
// every mailbox and deleted list as it was and throws ECopyError.

// Deletes the selected messages of `window`: copies them to the Trash first when `toTrash`
// is set and the window does not show the Trash, then records their numbers in the deleted
// list and removes their entries, as one change. Afterwards the row at the old focus (or the
// last row) is selected and focused; the caller shows it.
void DeleteSelected(TFrmIndex& window, bool toTrash, TStoreFeedback& feedback);

// Appends the selected messages of `source`, unchanged, to the mailbox file of `target`
// (mail folder + its name + ".mbx") or, without a target window, to `targetPath`. Streams
// the source once; all of them arrive or none.
void CopyToFile(const TFrmIndex& source, const TFrmIndex* target,
                const std::filesystem::path& targetPath, TStoreFeedback& feedback);

// Copies the selected messages and deletes them from the source without a Trash copy, as one
// change: when the deleted list cannot be written the copies are taken out of the target
// again. Does nothing when the target is the source mailbox itself.
void MoveMessage(TFrmIndex& source, const std::filesystem::path& targetPath,
                 const TFrmIndex* target, TStoreFeedback& feedback);

// Empties "trash.mbx" of the mail folder (under its lock) and removes its deleted list.
void EmptyTrash(const std::filesystem::path& mailFolder);

// A message as the view shows it: its header lines and its body lines, with empty lines
// before the header and empty or "." lines at the end removed. Throws the mailbox file's
// "Index invalid, please Compress Mailbox" error when the number is past the file's end.
struct TShownLines {
    std::vector<std::string> headers;
    std::vector<std::string> body;
    int number = -1;  // the message's number in its mailbox
};
TShownLines ExtractForView(const std::filesystem::path& mbx, int number);
// The same for a message of a window, read under the mailbox's lock after checking that the
// window's index still numbers the file (EMailboxChanged otherwise).
TShownLines ExtractForView(const TFrmIndex& window, int number);

// The selected messages as clipboard text: each message stripped of empty lines at its top
// and bottom, followed by one empty line; CR LF line ends.
std::string SelectedMessagesText(const TFrmIndex& window);

}  // namespace kivo
