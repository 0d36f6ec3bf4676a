#pragma once
// The main window (`TFrmMain`) without its window: it owns the main message index window and
// dispatches to the store's own classes to open a mailbox (`Init`), save its state
// (`SaveInfo`), show a message, delete, compress and empty the Trash. It reaches the screen
// only through TFrmMainView. Keep it a dispatcher: the work belongs to the classes it calls.

#include <string>
#include <string_view>

#include "app/programfolder.h"
#include "store/KivoIndex.h"
#include "store/mailboxhost.h"
#include "store/msgops.h"
#include "store/storefeedback.h"

namespace kivo {

class Platform;

// The main window's screen: status bar panels, progress bar and the message view.
class TFrmMainView {
  public:
    virtual ~TFrmMainView() = default;
    // Panel 0 the current activity, 2 the message count, 3 transfer details.
    virtual void SetStatusText(int /*panel*/, std::string_view /*text*/) {}
    // 0..100, or -1 to reset and hide the progress bar.
    virtual void SetProgress(int /*percent*/) {}
    // The message view: a message's header and body lines, or nothing.
    virtual void ShowMessageLines(const TShownLines& /*message*/) {}
    virtual void ClearMessageView() {}
};

class TFrmMain : public TMailboxHost {
  public:
    TFrmMain(ProgramFolder folder, Platform& platform, TFrmMainView& view);

    TFrmIndex& MainIndex() override { return index_; }
    const ProgramFolder& Folder() const { return folder_; }
    TStoreFeedback& Feedback() { return feedback_; }

    // While starting, opening a mailbox does not show a message.
    bool Starting = true;

    // Opens the mailbox named by the main index window: loads its index, or rebuilds it
    // when it is missing or stale; selects the last entry.
    void Init() override;
    // Saves the open mailbox's index and compresses it when many messages are deleted. After
    // a compression the entries number the old file: open a mailbox (Init) before using them.
    void SaveInfo() override;

    // Messages of the open mailbox deleted but not yet removed by compression.
    int DeletedCount() const { return index_.DeletedCount; }
    // "No messages", "1 message" or "N messages", put into status panel 2.
    std::string MessageCountText() const { return index_.MessageCountText(); }
    void UpdateMessageCount();

    // Shows the message of `row` of an index window (marking it read). False when the row is
    // out of range or its message is shown already.
    bool ShowMessage(TFrmIndex& window, int row);
    // Next (+1) and previous (-1) message: moves the focus one row, selects only that row and
    // shows its message. False at either end of the list.
    bool StepMessage(int delta);
    // "&Delete Message": to the Trash, then shows the message now selected.
    void DeleteMessage1Click(TFrmIndex& window);
    // "&Compress Mailbox": saves the index, compresses with status text, reopens.
    void CompressMailbox1Click();
    // "Empty &Trash".
    void EmptyTrash1Click();

  private:
    // Passes the store's feedback to the view and the platform.
    class ViewFeedback : public TStoreFeedback {
      public:
        ViewFeedback(TFrmMainView& view, Platform& platform) : view_(view), platform_(platform) {}
        void StatusText(std::string_view text) override { view_.SetStatusText(0, text); }
        void Progress(int percent) override { view_.SetProgress(percent); }
        void Pump() override;

      private:
        TFrmMainView& view_;
        Platform& platform_;
    };

    ProgramFolder folder_;
    Platform& platform_;
    TFrmMainView& view_;
    ViewFeedback feedback_;
    TFrmIndex index_;
    bool showing_ = false;
    int shownNumber_ = 0;
};

}  // namespace kivo
