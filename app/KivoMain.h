#pragma once
// The main window (`TFrmMain`) without its window: it owns the main message index window, the
// settings and the open windows list. It starts the program (`LoadApp`), takes the commands
// of later starts, shuts down, and dispatches to the store's own classes to open a mailbox
// (`Init`), save its state (`SaveInfo`), show a message, delete, compress and empty the
// Trash. It reaches the screen only through TFrmMainView. Keep it a dispatcher: the work
// belongs to the classes it calls.

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "accounts/KivoWizard.h"
#include "app/mainfeedback.h"
#include "app/messagearea.h"
#include "app/openwindows.h"
#include "app/privacy.h"
#include "app/programfolder.h"
#include "app/settings.h"
#include "app/userbuttons.h"
#include "store/KivoIndex.h"
#include "store/mailboxhost.h"
#include "store/msgops.h"
#include "store/storefeedback.h"

namespace kivo {

class Platform;
class TDefaultMailer;
class TPrinter;

// The answer of the default mailer question.
struct TMailerAnswer {
    bool Yes = false;
    bool DontAskAgain = false;  // "Please, don't ask me this question again!"
};

// The main window's screen: status bar panels, progress bar, the message view, and what
// start-up and shutdown show. The feedback of the mail runs arrives through the same
// methods (TMainStateView).
class TFrmMainView : public TMainStateView {
  public:
    virtual ~TFrmMainView() = default;
    virtual void SetTitle(std::string_view /*title*/) {}
    virtual void SetBusyCursor(bool /*busy*/) {}
    // Shows the setup wizard modally; the window calls its FormClose when it closes.
    virtual void ShowSetupWizard(TFrmSetupWizard& /*wizard*/) {}
    // Bits per pixel of the display (the wizard's colour scheme depends on it).
    virtual int ColourDepth() const { return 24; }
    // "Kivo is not your default mail program. Make it the default?"
    virtual TMailerAnswer AskDefaultMailer() { return {}; }
    // Docks index and message view: 0 index on top, 1 index left, 2 index below, 3 index
    // right.
    virtual void DockWindows(int /*dockAlign*/) {}
    virtual void ShowMainWindow() {}
    // The width of the message list and new widths for its six columns.
    virtual int ListWidth() const { return 0; }
    virtual void SetColumnWidths(const std::array<int, 6>& /*widths*/) {}
    // False when there is no message view to show a message in (headless): start-up then
    // leaves the selected message unread.
    virtual bool HasMessageView() const { return true; }
    // Opens a new composer; a mailto text goes to its InitMailTo.
    virtual void OpenComposer(const std::optional<std::string>& /*mailTo*/) {}
    // Restores the application from minimised or hidden, shows the main window in front.
    virtual void RestoreApplication() {}
    virtual void HideApplication() {}
    virtual void HideMainWindow() {}
    virtual void RemoveTip() {}
    // The message view: a message's header and body lines, or nothing.
    virtual void ShowMessageLines(const TShownLines& /*message*/) {}
    // A new separate message view window showing the message numbered `number`.
    virtual void OpenMessageWindow(const TShownLines& /*message*/, int /*number*/) {}
    virtual void ClearMessageView() {}
};

// What start-up and shutdown reach in other parts of the program; each may stay empty.
struct TMainHooks {
    std::function<void()> InitUserButtons;
    // One mail check, as the automatic-check timer starts it.
    std::function<void()> CheckMail;
    std::function<bool()> ScriptRunning;
    std::function<void()> CancelScript;
    std::function<bool()> TransferRunning;
    std::function<void()> CancelTransfer;
    // The main index window is about to open the mailbox it names: a separate index window
    // that shows that mailbox saves its index and closes, so two windows never number it.
    std::function<void(const TFrmIndex& mainIndex)> ReleaseMailbox;
    // Tries a server the setup wizard guessed; empty: ProbeServer over the platform.
    TServerProber ProbeServer;
};

// First run: the index columns grow to fill the list, each of Subject, From, Date and To by a
// quarter of the free width. A list narrower than its columns leaves them as they are.
std::array<int, 6> WidenColumns(std::array<int, 6> widths, int listWidth);

class TFrmMain : public TMailboxHost {
  public:
    TFrmMain(ProgramFolder folder, Platform& platform, TFrmMainView& view);

    TMainHooks Hooks;
    TSettings& Settings() { return settings_; }
    // The feedback channels the mail runs report to: status bar, progress log, busy state
    // with the automatic-check timer, notification icon and new-mail sound.
    TMainFeedback& Transfer() { return transfer_; }
    // The message area's zoom and fast reading, kept in the settings.
    TMessageArea& MessageArea() { return messageArea_; }
    TPrivacySheet& PrivacySheet() { return privacy_; }
    // The ten user buttons and their menu items as kivo.ini's [Scripts] last described them.
    const TUserButtons& UserButtons() const { return userButtons_; }
    // A user button or its menu item ("Button1".."Button0"): runs its script on the
    // selected messages with the automatic check held off; false when the script failed.
    bool BtnUser1Click(std::string_view keyPrefix, TScriptRunner& runner);
    TOpenWindows& OpenWindows() { return openWindows_; }
    bool FirstRun() const { return firstRun_; }

    // Start-up after the windows exist: prepares the program folder, reads the settings,
    // runs the wizard on a first run, asks about the default mailer, opens the mailbox of
    // [Program] "Opened", checks once with AutoCheck on, and opens a composer for "/m".
    void LoadApp(std::span<const std::string> args, TFirstRunContent& content,
                 TDefaultMailer& mailer, TScreen screen = {});
    // The command text of a later start: brings the program to the front; "/m ..." opens a
    // composer for the rest.
    void InstanceCommand(std::string_view text);
    // The user closes the main window: false when the program keeps running (hidden, a run
    // canceled, a window refusing to close). Then call Shutdown.
    bool FormCloseQuery();
    // Logs "Shutting down...", writes kivo.ini (SaveIni) and saves the open mailbox
    // (SaveInfo); the first failure skips the rest and is returned as its text.
    std::optional<std::string> Shutdown();

    TFrmIndex& MainIndex() override { return index_; }
    const ProgramFolder& Folder() const { return folder_; }
    TStoreFeedback& Feedback() { return feedback_; }

    // While starting, opening a mailbox does not show a message.
    bool Starting = true;
    // When this window may compress the open mailbox (which renumbers its messages): before
    // an index is rebuilt or after a message could not be read (`CompressOnOpen`), and as it
    // is closed with many messages deleted (`CompressOnClose`). The command-line tools turn
    // them off where the numbers they print must stay the numbers the file has.
    bool CompressOnOpen = true;
    bool CompressOnClose = true;

    // Opens the mailbox named by the main index window: loads its index, or rebuilds it
    // when it is missing or stale; selects the last entry.
    void Init() override;
    // Saves the open mailbox's index and compresses it when many messages are deleted. After
    // a compression the entries number the old file: open a mailbox (Init) before using them.
    // Throws EIndexNotSaved when the index cannot be written (nothing is compressed then).
    void SaveInfo() override;

    // Messages of the open mailbox deleted but not yet removed by compression.
    int DeletedCount() const { return index_.DeletedCount; }
    // "No messages", "1 message" or "N messages", put into status panel 2.
    std::string MessageCountText() const { return index_.MessageCountText(); }
    void UpdateMessageCount();

    // Shows the message of `row` of an index window (marking it read). False when the row is
    // out of range or its message is shown already.
    bool ShowMessage(TFrmIndex& window, int row);
    // A double click or Enter: the message of `row` in a new separate view window (marking
    // it read); the docked view keeps its message. False when the row is out of range or
    // the message cannot be read.
    bool ShowMessageSeparate(TFrmIndex& window, int row);
    // Next (+1) and previous (-1) message: moves the focus one row, selects only that row and
    // shows its message. False at either end of the list.
    bool StepMessage(int delta);
    // "&Delete Message": to the Trash, then shows the message now selected.
    void DeleteMessage1Click(TFrmIndex& window);
    // A separate index window (not the main one) opens the mailbox it names in the mail
    // folder, as the main window's does; closing it saves its index (false when it could not).
    void OpenIndexWindow(TFrmIndex& window);
    bool CloseIndexWindow(TFrmIndex& window);
    // Lists what was appended to a separate window's mailbox since it opened (its index is
    // saved and read again); the last row is selected then.
    void ReopenIndexWindow(TFrmIndex& window);
    // Rows dragged from one index window dropped on another: the selected messages of
    // `source` move to the target's mailbox (are copied with `copy`), and the target lists
    // them. Nothing happens when both show the same mailbox.
    void DropOnIndex(TFrmIndex& source, TFrmIndex& target, bool copy);
    // "&Compress Mailbox": saves the index, compresses with status text, reopens. Throws
    // EIndexNotSaved, without compressing, when the index cannot be written.
    void CompressMailbox1Click();
    // "Empty &Trash".
    void EmptyTrash1Click();
    // "&Print": the message of the focused (else the first selected) row of the main index
    // window on the printer, with "Printing..." in the first status panel and the busy
    // cursor, both cleared also when it fails. False when no row is selected; a message that
    // cannot be read or printed is thrown.
    bool Print1Click(TPrinter& printer);

  private:
    bool ShowMessageIn(TFrmIndex& window, int row, bool separate);
    void EndShowing();
    void SaveIndexOrThrow();
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
        // A pass that starts after a pause runs the pump at its first step.
        std::chrono::steady_clock::time_point lastPump_{};
    };

    void AskDefaultMailer(TDefaultMailer& mailer);
    // Another program changed the window's mailbox under its numbers: the main window's list
    // is read again and the user told that nothing was done.
    void MailboxChanged(TFrmIndex& window, const class EMailboxChanged& e);

    ProgramFolder folder_;
    Platform& platform_;
    TFrmMainView& view_;
    ViewFeedback feedback_;
    TFrmIndex index_;
    TSettings settings_;
    TOpenWindows openWindows_;
    TMainFeedback transfer_;
    TMessageArea messageArea_{settings_};
    TPrivacySheet privacy_;
    TUserButtons userButtons_;
    bool firstRun_ = false;
    bool showing_ = false;
    int shownNumber_ = 0;
};

}  // namespace kivo
