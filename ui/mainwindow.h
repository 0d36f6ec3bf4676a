#pragma once
// The main window: menus and toolbar, the mailbox tree, the message list and the message view
// in the message area, the four status panels with the progress bar, the progress window and
// the notification-area icon. It binds TFrmMain and its feedback channels to the screen and
// runs the mail checks through the event pump, so the window paints and Stop works during
// them; every decision is the core's.

#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <map>
#include <memory>

#include "addressbook/addsender.h"
#include "app/KivoMain.h"
#include "app/KivoSettings.h"
#include "app/dialup.h"
#include "app/windowruns.h"
#include "net/agRasCmp.h"
#include "store/KivoMailboxes.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTableView;
class QToolBar;
class QToolButton;

namespace kivo::ui {

class AddressBookWindow;
class ComposerList;
class FindWindow;
class HelpWindow;
class IndexModel;
class IndexPane;
class IndexWindow;
class MailboxPane;
class MailboxTree;
class MiniAddressList;
class MessagePane;
class MessageView;
class PrivacySheet;
class ProgressWindow;
class QtPlatform;
class ScriptsWindow;
class UserButtonsPanel;

class MainWindow : public QMainWindow, public TFrmMainView {
    Q_OBJECT
  public:
    MainWindow(const ProgramFolder& folder, QtPlatform& platform);
    ~MainWindow() override;

    // The splash of the start, hidden while start-up asks something; null once it is gone.
    void SetSplash(QWidget* splash) { splash_ = splash; }
    // Start-up (LoadApp) with the command of the start ("/m ...") or none.
    void Start(std::span<const std::string> args);
    TFrmMain& Main() { return main_; }
    QtPlatform& Platform() { return platform_; }

    // --- the parts, for the keyboard, the tests and the screen shots ---
    QTableView* List() const { return list_; }
    IndexModel* Model() const { return model_; }
    IndexPane* ListPane() const { return listPane_; }
    MailboxTree* Tree() const { return tree_; }
    MessageView* View() const { return view_; }
    MessagePane* Pane() const { return pane_; }
    ProgressWindow* Progress() const { return progressWindow_; }
    ScriptsWindow* Scripts() const { return scriptsWindow_; }
    FindWindow* Find() const { return findWindow_; }
    HelpWindow* Help() const { return help_; }
    UserButtonsPanel* UserButtons() const { return userButtons_; }
    TDialUpControl& DialUp() { return dialUp_; }
    QLabel* StatusPanel(int panel) const { return panels_[static_cast<std::size_t>(panel)]; }
    QProgressBar* ProgressBar() const { return progressBar_; }
    QAction* Action(const QString& name) const;
    QSystemTrayIcon* Tray() const { return tray_; }
    MiniAddressList* MiniList() const { return miniList_; }
    // The address book window, made when first opened.
    AddressBookWindow* AddressBook();
    ComposerList& Composers() { return *composers_; }
    // The new-mail notices shown (through the icon, or the window when there is no icon).
    int NewMailNotices() const { return newMailNotices_; }

    // Commands.
    void CheckMail();
    void SendQueued();
    void StopTransfer();
    void DeleteSelected();
    void CompressMailbox();
    void ToggleProgressWindow();
    void OpenAddressBook();
    void ShowMiniList();
    // Adds the sender of the focused message (or the given From value) to the address book.
    void AddSenderToAddressBook();
    void AddSenderToAddressBook(std::string_view fromValue);
    // A user button or "Script &Quick Run" item ("Button1".."Button0") runs its script on the
    // selected messages.
    void RunUserButton(const QString& keyPrefix);
    void PrintSelected();
    void PreviewSelected();
    void ShowHelp();
    void CheckForUpdate();
    // The list and its selection follow the core after a change.
    void RefreshList();
    // Closing the message index: the docked list floats in a window of its own (20 pixels
    // right of and below the main window's corner), the floating one docks under the view.
    void CloseIndexWindow();
    // The window the main list floats in, or null while it is docked.
    IndexWindow* FloatingIndex() const;
    // "Open in New &Window": a mailbox of the tree in an index window of its own (the window
    // that shows it already, when there is one); null when it cannot be opened.
    IndexWindow* OpenMailboxWindow(const std::string& relPath);
    // The separate windows of further mailboxes, oldest first.
    std::vector<IndexWindow*> MailboxWindows() const;
    // Tools: the accounts window, the options window on a page, the privacy sheet.
    void OpenAccounts();
    void OpenOptions(TSettingsPage page);
    void ActivatePrivacySheet();
    PrivacySheet* Privacy() const { return privacySheet_; }
    QToolButton* PrivacyPanel() const { return privacyPanel_; }

    // TFrmMainView
    void SetTitle(std::string_view title) override;
    void SetBusyCursor(bool busy) override;
    void ShowSetupWizard(TFrmSetupWizard& wizard) override;
    int ColourDepth() const override;
    TMailerAnswer AskDefaultMailer() override;
    void DockWindows(int dockAlign) override;
    void ShowMainWindow() override;
    int ListWidth() const override;
    void SetColumnWidths(const std::array<int, 6>& widths) override;
    void OpenComposer(const std::optional<std::string>& mailTo) override;
    void RestoreApplication() override;
    void HideApplication() override;
    void HideMainWindow() override;
    void RemoveTip() override;
    void ShowMessageLines(const TShownLines& message) override;
    void OpenMessageWindow(const TShownLines& message, int number) override;
    void ClearMessageView() override;
    // TMainStateView
    void SetStatusText(int panel, std::string_view text) override;
    void SetProgress(int percent) override;
    void ShowProgressText(bool shown) override;
    void ErrorLevel(int level, std::string_view text) override;
    void ControlsChanged() override;
    void TrayIconChanged() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildActions();
    void BuildMenus();
    void BuildToolbar();
    void BuildStatusBar();
    void BuildScriptsWindow();
    void BuildTray();
    QAction* AddAction(const QString& name, const QString& text, const QKeySequence& key,
                       const QString& hint = {});
    void ApplyLook();
    // The privacy panel and sheet, and the switch of every window's tool tips.
    void BuildSettingsControls();
    // The message font and colours in the docked view and every separate view window, or in
    // one view.
    void ApplyMessageLook();
    void ApplyMessageLook(MessagePane& pane);
    // The message pane's hooks into the main window's commands; `docked` adds fast reading
    // and the title-bar click.
    void HookPane(MessagePane& pane, bool docked);
    void OpenAttachFolder();
    // An attached message in a view window of its own; false when it cannot be read.
    bool OpenAttachedMessage(const std::filesystem::path& file);
    // The focused row's message of a list (the main one when null) in a window of its own.
    void OpenFocusedMessage(IndexPane* pane = nullptr);
    void SyncSelectionToView();
    void ShowFocusedMessage();
    // --- index windows (mainindexwindows.cpp) ---
    // The pane whose list is `list` (the main one or a separate mailbox's), or null.
    IndexPane* PaneOfList(const QObject* list) const;
    // Wires a pane's title button, drags and drops to the main window.
    void HookIndexPane(IndexPane* pane);
    // The list's pop-up menu (indexpopup.cpp), at `at` in its viewport.
    void ShowListMenu(IndexPane* pane, const QPoint& at);
    // Deletes the selected messages of the main list or of a mailbox's own window.
    void DeleteSelectedIn(IndexPane* pane);
    // Rows dragged from `source` (a list) dropped on `target`.
    void DropOnIndex(IndexPane* target, QObject* source, bool copy);
    // Shows the focused row of a separate mailbox's list in the main view.
    void ShowFocusedMessageOf(IndexPane* pane);
    // The separate mailboxes' lists read their indexes again.
    void ReloadMailboxWindows();
    // A separate window showing In lists the mail a check stored.
    void ShowNewMailInWindows();
    // A separate window showing `relPath` lists the messages dropped on it in the tree.
    void ShowDroppedInWindows(const std::string& relPath);
    void ApplyIndexLook(IndexPane* pane);
    // A further mailbox's window: its Message and Edit menus act on its own list.
    void BuildMailboxWindowMenus(IndexWindow* window);
    void LayOutArea();
    void ShowProgressMenu();
    void AnimateTray();
    void SaveColumnWidths();
    void ApplyShownControls();
    void ReportAddedSender(TAddSenderResult result);
    void BuildUserButtons(QMenu* quickRun);
    void ApplyUserButtons();
    // What a store operation does to the mailboxes: reading runs beside a check or send,
    // changing does not.
    enum class TStoreUse { Reads, Changes };
    // Runs a store operation unless one runs already or, for a change, a check or send runs
    // (a note says so). A failure is shown in an error box and leaves the window usable.
    // False when it did not run or failed.
    bool StoreOperation(const std::function<void()>& operation,
                        TStoreUse use = TStoreUse::Changes);

    QtPlatform& platform_;
    TFrmMain main_;
    TWindowMailRuns runs_;
    TFrmMailboxes mailboxes_;
    IndexPane* listPane_ = nullptr;
    IndexWindow* floatingIndex_ = nullptr;
    // The list rows are being dragged from, while a drag runs.
    IndexPane* dragging_ = nullptr;
    TIndexLook indexLook_;
    QFont indexFont_;
    TagRas ras_;
    TDialUpControl dialUp_;
    IndexModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    MailboxPane* treePane_ = nullptr;
    MailboxTree* tree_ = nullptr;
    MessagePane* pane_ = nullptr;
    MessageView* view_ = nullptr;
    QSplitter* outer_ = nullptr;
    QSplitter* area_ = nullptr;
    ProgressWindow* progressWindow_ = nullptr;
    PrivacySheet* privacySheet_ = nullptr;
    QToolButton* privacyPanel_ = nullptr;
    ScriptsWindow* scriptsWindow_ = nullptr;
    FindWindow* findWindow_ = nullptr;
    HelpWindow* help_ = nullptr;
    QPointer<QWidget> splash_;
    UserButtonsPanel* userButtons_ = nullptr;
    QMenu* quickRun_ = nullptr;
    std::array<QAction*, TUserButtons::kCount> quickItems_{};
    QToolBar* toolbar_ = nullptr;
    std::array<QLabel*, 4> panels_{};
    QProgressBar* progressBar_ = nullptr;
    std::map<QString, QAction*> actions_;
    QSystemTrayIcon* tray_ = nullptr;
    MiniAddressList* miniList_ = nullptr;
    AddressBookWindow* addressBook_ = nullptr;
    std::unique_ptr<TAutoScriptMaker> autoScripts_;
    QMenu* trayMenu_ = nullptr;
    QTimer trayTimer_;
    QTimer autoCheck_;
    // Shows the focused message once the selection and the focus have both settled.
    QTimer showTimer_;
    int newMailNotices_ = 0;
    int busyCursor_ = 0;
    // A store operation runs: it holds mailbox locks and lets events run, so the events it
    // lets through must not start another one on the same files.
    int storeBusy_ = 0;
    bool closing_ = false;
    // The window was closed while a store operation ran: it closes when that is done.
    bool closePending_ = false;
    // The message on show, to show it again in a new look.
    // A user button's script or the update check runs: a second one waits its turn.
    bool scriptRunning_ = false;
    bool updating_ = false;
    // Last: the composers borrow everything above.
    std::unique_ptr<ComposerList> composers_;
};

}  // namespace kivo::ui
