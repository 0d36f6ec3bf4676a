#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QWebEngineView>
#include <optional>
#include <string>

#include "addressbook/addsender.h"
#include "addressbook/minilistlink.h"
#include "app/KivoSettings.h"
#include "app/attachedmessage.h"
#include "app/firstrun.h"
#include "app/scriptrunner.h"
#include "app/startupmailer.h"
#include "base/bytes.h"
#include "base/inifile.h"
#include "script/autoscript.h"
#include "ui/actions.h"
#include "ui/addressbookwindow.h"
#include "ui/composerlist.h"
#include "ui/findwindow.h"
#include "ui/helpwindow.h"
#include "ui/indexmodel.h"
#include "ui/indexpane.h"
#include "ui/indexwindow.h"
#include "ui/mailboxtree.h"
#include "ui/messagepane.h"
#include "ui/messageview.h"
#include "ui/messagewindow.h"
#include "ui/minilist.h"
#include "ui/windowplace.h"
#include "ui/printing.h"
#include "ui/privacysheet.h"
#include "ui/progresswindow.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"
#include "ui/scriptswindow.h"
#include "ui/setupwizard.h"
#include "ui/updatedialog.h"
#include "ui/userbuttonspanel.h"

namespace kivo::ui {

namespace {

// Why a store operation did not start.
constexpr std::string_view kTransferRunsNote =
    "Mail is being checked or sent - try again when it has finished";
constexpr std::string_view kStoreBusyNote =
    "A mailbox operation is running - try again when it has finished";

// The notification icon's pictures: an envelope; dots turning round it while mail is
// checked or sent; a blinking star after new mail.
QIcon TrayPicture(const std::string& name) {
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(3, 8, 26, 17));
    p.drawLine(QPointF(3, 8), QPointF(16, 18));
    p.drawLine(QPointF(29, 8), QPointF(16, 18));
    const auto underscore = name.rfind('_');
    const int frame =
        underscore == std::string::npos ? 0 : std::atoi(name.c_str() + underscore + 1);
    if (name.starts_with("TRAYICONCHECK") && frame > 0) {
        p.setPen(Qt::NoPen);
        for (int k = 0; k < 6; ++k) {
            p.setBrush(k + 1 == frame ? QColor(0, 120, 0) : QColor(160, 200, 160));
            const double a = k * M_PI / 3;
            p.drawEllipse(QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a)), 2.5, 2.5);
        }
    } else if (name.starts_with("TRAYICONNEW") && frame > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(frame % 2 ? QColor(230, 40, 40) : QColor(255, 170, 0));
        p.drawEllipse(QPointF(25, 8), 6, 6);
    }
    return QIcon(pix);
}

// The program options the message views read and change.
TMsgOptions MsgOptions(TSettings& s) {
    return {s.Mail.Headers, s.Mail.QueryAttach, s.Mail.AttachPath, s.Mail.ViewAttach};
}

std::string NewMessagesText(int count) {
    return count == 1 ? std::string("1 new message") : std::to_string(count) + " new messages";
}

TListPlace MiniListPlace(const TPositionSettings& p) {
    return {p.AdrDocked, p.AdrAlign, p.AdrWidth, p.AdrHeight, p.AdrLeft, p.AdrTop, p.AdrVisible};
}

void KeepMiniListPlace(TPositionSettings& p, const TListPlace& place) {
    p.AdrDocked = place.docked;
    p.AdrAlign = place.align;
    p.AdrWidth = place.width;
    p.AdrHeight = place.height;
    p.AdrLeft = place.left;
    p.AdrTop = place.top;
    p.AdrVisible = place.visible;
}

}  // namespace

MainWindow::MainWindow(const ProgramFolder& folder, QtPlatform& platform)
    : platform_(platform),
      main_(folder, platform, *this),
      runs_(main_, platform),
      mailboxes_(folder.MailFolder(), main_, platform, main_.Feedback()),
      ras_(platform),
      dialUp_(ras_, main_.Settings(), main_.Transfer()) {
    setObjectName("mainWindow");
    setAccessibleName("Kivo");
    setWindowIcon(TrayPicture("TRAYICON_0"));

    listPane_ = new IndexPane(main_.MainIndex(), this);
    model_ = listPane_->Model();
    list_ = listPane_->List();
    list_->installEventFilter(this);
    connect(listPane_, &IndexPane::SelectionChanged, this, [this] { showTimer_.start(); });
    HookIndexPane(listPane_);
    connect(listPane_, &IndexPane::FilterApplied, this, [this] {
        main_.UpdateMessageCount();
        Action("selectTagged")->setEnabled(main_.MainIndex().FilterActive());
    });
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(0);
    connect(&showTimer_, &QTimer::timeout, this, &MainWindow::ShowFocusedMessage);

    pane_ = new MessagePane(MsgOptions(main_.Settings()), platform_, false, this);
    view_ = pane_->View();
    HookPane(*pane_, true);
    connect(pane_, &MessagePane::Written, this,
            [this] { Action("viewAttachments")->setEnabled(pane_->Msg().ViewAttachEnabled()); });
    connect(list_, &QAbstractItemView::doubleClicked, this, [this] { OpenFocusedMessage(); });
    treePane_ = new MailboxPane(mailboxes_, main_.MainIndex(), this);
    tree_ = treePane_->Tree();
    connect(tree_, &MailboxTree::OpenMailboxChanged, this, &MainWindow::RefreshList);
    tree_->Guard = [this](const std::function<void()>& f) { return StoreOperation(f); };
    tree_->SourceIndex = [this](const QObject* list) {
        IndexPane* pane = PaneOfList(list);
        return pane ? &pane->Index() : nullptr;
    };
    connect(tree_, &MailboxTree::OpenInWindow, this,
            [this](const QString& relPath) { OpenMailboxWindow(FromQ(relPath)); });
    main_.Hooks.ReleaseMailbox = [this](const TFrmIndex& index) {
        for (IndexWindow* window : MailboxWindows()) {
            if (EqualsNoCase(window->Pane()->Index().MailboxName, index.MailboxName)) {
                window->close();
            }
        }
    };
    autoScripts_ = std::make_unique<TAutoScriptWriter>(ScriptPathsOf(folder), platform_);
    tree_->Scripts = autoScripts_.get();
    connect(tree_, &MailboxTree::MailboxOpened, this, &MainWindow::RefreshList);
    connect(tree_, &MailboxTree::MessagesDropped, this, [this](const QString& target) {
        ReloadMailboxWindows();
        ShowDroppedInWindows(FromQ(target));
        RefreshList();
        if (!main_.MainIndex().SelectedRows().empty()) {
            showTimer_.start();
        } else {
            pane_->Clear();
        }
    });

    area_ = new QSplitter(Qt::Vertical, this);
    area_->setObjectName("messageArea");
    area_->setChildrenCollapsible(false);
    area_->addWidget(listPane_);
    area_->addWidget(pane_);
    outer_ = new QSplitter(Qt::Horizontal, this);
    outer_->addWidget(treePane_);
    outer_->addWidget(area_);
    outer_->setStretchFactor(1, 1);
    setCentralWidget(outer_);

    progressWindow_ = new ProgressWindow(main_.Transfer().Log, this);
    BuildScriptsWindow();
    help_ = new HelpWindow(folder.HelpFolder(), platform_, this);
    main_.Transfer().Hooks.DialUp = [this] { dialUp_.DialUp(); };
    main_.Transfer().Hooks.HangUp = [this] { dialUp_.HangUp(); };
    main_.Hooks.InitUserButtons = [this, readButtons = main_.Hooks.InitUserButtons] {
        readButtons();
        ApplyUserButtons();
    };

    miniList_ = new MiniAddressList(platform_, this);
    addDockWidget(Qt::LeftDockWidgetArea, miniList_);
    miniList_->OpenComposer = [this](const std::string& entry) { OpenComposer(entry); };
    miniList_->OpenEditor = [this] { OpenAddressBook(); };
    connect(miniList_, &MiniAddressList::MessagesDropped, this, [this](const QString& entry) {
        // Forwarded to the entry, or bounced, as the Drag and Drop options say.
        const bool forward =
            TDragAndDropOptions::Read(IniFile(main_.Folder().SettingsFile())).Forward;
        if (dragging_ && dragging_ != listPane_) {
            // Rows of a further mailbox's window: its own selection is answered.
            composers_->FromSelected(dragging_->Index(),
                                     forward ? TReplyKind::Forward : TReplyKind::Bounce,
                                     FromQ(entry));
            return;
        }
        QAction* command = Action(forward ? "forward" : "bounce");
        if (!command->isEnabled()) return;
        miniList_->Link().RememberDropTo(FromQ(entry));
        command->trigger();
    });
    composers_ = std::make_unique<ComposerList>(main_, platform_, [this] { RefreshList(); });
    composers_->LinkAddressList = [this](QWidget* w) { miniList_->LinkComposer(w); };
    composers_->UnlinkAddressList = [this](QWidget* w) { miniList_->UnlinkComposer(w); };
    findWindow_ = new FindWindow(folder.MailFolder(), main_, mailboxes_, platform_,
                                 main_.Transfer().Timer, this);
    findWindow_->Guard = [this](const std::function<void()>& f) { return StoreOperation(f); };
    connect(findWindow_, &FindWindow::ResultsOpened, this, [this] {
        tree_->Rebuild();
        RefreshList();
    });

    BuildActions();
    BuildMenus();
    BuildToolbar();
    BuildStatusBar();
    BuildTray();
    BuildSettingsControls();
    ApplyShownControls();

    main_.Transfer().Hooks.ScrollMainList = [this] {
        RefreshList();
        list_->scrollToBottom();
    };
    connect(&autoCheck_, &QTimer::timeout, this, [this] {
        // A turn that finds a mailbox operation running waits for the next tick.
        if (!runs_.Running() && storeBusy_ == 0 && main_.Transfer().AutoCheckDue()) CheckMail();
    });
    autoCheck_.start(1000);
}

MainWindow::~MainWindow() {
    // The separate message views go first: they leave the open windows list of the core,
    // which goes before the widgets the window owns.
    qDeleteAll(findChildren<MessageWindow*>(Qt::FindDirectChildrenOnly));
    // The separate index windows too; the one the main list floats in takes the list along.
    qDeleteAll(findChildren<IndexWindow*>(Qt::FindDirectChildrenOnly));
    // The windows read and change the core objects held as members of this one, and Qt
    // would delete them as children only after those members are gone: a list's selection
    // or a tree's current item telling the core of its end would write into freed memory.
    delete findWindow_;
    delete progressWindow_;
    delete outer_;  // the mailbox tree, the message list and the message view
}

QAction* MainWindow::Action(const QString& name) const {
    const auto found = actions_.find(name);
    return found == actions_.end() ? nullptr : found->second;
}

QAction* MainWindow::AddAction(const QString& name, const QString& text, const QKeySequence& key,
                               const QString& hint) {
    return AddNamedAction(this, actions_, name, text, key, hint);
}

void MainWindow::BuildActions() {
    connect(AddAction("check", "Check for &new mail", QKeySequence("Ctrl+M"),
                      "Check for new mail (CTRL+M)"),
            &QAction::triggered, this, &MainWindow::CheckMail);
    connect(AddAction("send", "Send &queued messages", QKeySequence("Ctrl+Y"),
                      "Send queued messages (CTRL+T)"),
            &QAction::triggered, this, &MainWindow::SendQueued);
    connect(AddAction("emptyTrash", "Empty &Trash", {}), &QAction::triggered, this, [this] {
        if (StoreOperation([this] { main_.EmptyTrash1Click(); })) RefreshList();
    });
    QAction* stop =
        AddAction("stop", "Go &offline / Cancel", QKeySequence("Shift+F4"), "Cancel (Shift+F4)");
    connect(stop, &QAction::triggered, this, &MainWindow::StopTransfer);
    connect(AddAction("print", "&Print", QKeySequence("Ctrl+P")), &QAction::triggered, this,
            &MainWindow::PrintSelected);
    connect(AddAction("printPreview", "Print Pre&view...", {}), &QAction::triggered, this,
            &MainWindow::PreviewSelected);
    connect(AddAction("exit", "E&xit", QKeySequence("Ctrl+Q")), &QAction::triggered, this,
            &QWidget::close);

    connect(AddAction("copy", "&Copy", QKeySequence("Ctrl+C")), &QAction::triggered, this, [this] {
        // The selected messages' text; a selection inside the message view copies that.
        if (view_->WebView()->hasFocus() || view_->HasSelection()) {
            view_->Copy();
            return;
        }
        try {
            QApplication::clipboard()->setText(ToQ(SelectedMessagesText(main_.MainIndex())));
        } catch (const std::exception& e) {
            platform_.ShowMessage(e.what());
        }
    });
    connect(AddAction("selectAll", "Select &All", QKeySequence("Ctrl+A")), &QAction::triggered,
            this, [this] {
                // With the message view focused, its text.
                if (view_->WebView()->hasFocus()) {
                    view_->SelectAll();
                    return;
                }
                main_.MainIndex().SelectAll();
                SyncSelectionToView();
            });
    connect(AddAction("invert", "&Invert Selection", {}), &QAction::triggered, this, [this] {
        main_.MainIndex().InvertSelection();
        SyncSelectionToView();
    });
    connect(AddAction("selectTagged", "Select Tagged Messages", QKeySequence("Ctrl+T")),
            &QAction::triggered, this, [this] {
                main_.MainIndex().SelectTagged();
                SyncSelectionToView();
            });

    connect(AddAction("newMessage", "New &Message", QKeySequence("Ctrl+N"), "New Message (CTRL+N)"),
            &QAction::triggered, this, [this] { composers_->New(); });
    const std::tuple<const char*, const char*, const char*, const char*, TReplyKind> replies[] = {
        {"reply", "&Reply", "Ctrl+R", "Reply (CTRL+R)", TReplyKind::Reply},
        {"replyAll", "Reply to &all", "", "Reply to All", TReplyKind::ReplyToAll},
        {"forward", "For&ward", "Ctrl+W", "Forward (CTRL+W)", TReplyKind::Forward},
        {"bounce", "&Bounce", "Ctrl+B", "Bounce (CTRL+B)", TReplyKind::Bounce}};
    for (const auto& [name, text, key, hint, kind] : replies) {
        const TReplyKind k = kind;
        connect(
            AddAction(name, text, QKeySequence(key), hint), &QAction::triggered, this, [this, k] {
                // A drop on the mini address list names the recipient of this one.
                const bool dropped = k == TReplyKind::Forward || k == TReplyKind::Bounce;
                composers_->FromSelected(main_.MainIndex(), k,
                                         dropped ? miniList_->Link().TakeDropTo() : std::nullopt);
            });
    }
    // Delete is the message list's own key (the mailbox tree's Delete removes a mailbox): the
    // menu only shows it.
    QAction* deleteMessage = AddAction("deleteMessage", "&Delete Message", QKeySequence("Del"));
    deleteMessage->setShortcutContext(Qt::WidgetShortcut);
    connect(deleteMessage, &QAction::triggered, this, &MainWindow::DeleteSelected);
    connect(AddAction("find", "&Find Messages...", QKeySequence("Ctrl+F")), &QAction::triggered,
            this, [this] {
                if (storeBusy_ > 0) return;
                findWindow_->Open();
                findWindow_->show();
                findWindow_->raise();
                findWindow_->activateWindow();
            });

    connect(AddAction("mailboxes", "&Mailboxes...", QKeySequence("F8")), &QAction::triggered, this,
            [this] {
                treePane_->setVisible(true);
                tree_->setFocus();
            });
    connect(AddAction("renameMailbox", "&Rename Mailbox", QKeySequence("F2")), &QAction::triggered,
            this, [this] { tree_->RenameSelected(); });
    connect(AddAction("newMailbox", "New Mail&box", {}), &QAction::triggered, this,
            [this] { tree_->NewMailbox(); });
    connect(AddAction("openMailbox", "&Open Mailbox", {}), &QAction::triggered, this, [this] {
        if (QTreeWidgetItem* item = tree_->currentItem()) emit tree_->itemActivated(item, 0);
    });
    connect(AddAction("compress", "&Compress Mailbox", {}), &QAction::triggered, this,
            &MainWindow::CompressMailbox);

    QAction* fast = AddAction("fastRead", "Enable Fast &Reading", {});
    fast->setCheckable(true);
    connect(fast, &QAction::toggled, this, [this](bool on) {
        main_.MessageArea().SetFastRead(on);
        pane_->SetFastReadChecked(on);
    });
    connect(AddAction("previous", "Pr&evious Message", QKeySequence("Ctrl+["),
                      "Previous Message (CTRL-[)"),
            &QAction::triggered, this, [this] {
                bool moved = false;
                StoreOperation([&] { moved = main_.StepMessage(-1); }, TStoreUse::Reads);
                if (moved) SyncSelectionToView();
            });
    connect(AddAction("next", "&Next Message", QKeySequence("Ctrl+]"), "Next Message (CTRL-])"),
            &QAction::triggered, this, [this] {
                bool moved = false;
                StoreOperation([&] { moved = main_.StepMessage(+1); }, TStoreUse::Reads);
                if (moved) SyncSelectionToView();
            });
    connect(AddAction("progress", "Pr&ogress Messages...", QKeySequence("F12")),
            &QAction::triggered, this, &MainWindow::ToggleProgressWindow);
    QAction* zoom = AddAction("zoom", "Zoom &Message Window", QKeySequence("F11"));
    zoom->setCheckable(true);
    connect(zoom, &QAction::triggered, this, [this] {
        LayOutArea();
        main_.MessageArea().ToggleZoom();
        LayOutArea();
    });
    connect(AddAction("privacy", "Activate &Privacy Sheet", QKeySequence("Shift+F12")),
            &QAction::triggered, this, &MainWindow::ActivatePrivacySheet);
    QAction* viewAttach = AddAction("viewAttachments", "View &Attachments", {});
    viewAttach->setCheckable(true);
    viewAttach->setEnabled(false);
    connect(viewAttach, &QAction::toggled, this, [this](bool on) {
        main_.Settings().Mail.ViewAttach = on;
        pane_->UpdateAttachPane();
        for (MessageWindow* window : findChildren<MessageWindow*>()) {
            window->Pane()->UpdateAttachPane();
        }
    });
    connect(AddAction("openAttachFolder", "Open Attachments &Folder", {}), &QAction::triggered,
            this, &MainWindow::OpenAttachFolder);
    QAction* toolbar = AddAction("showToolbar", "&Show Toolbar", {});
    toolbar->setCheckable(true);
    connect(toolbar, &QAction::toggled, this, [this](bool on) {
        main_.Settings().Program.ShowToolbar = on;
        toolbar_->setVisible(on);
    });

    connect(AddAction("addressBook", "Address &book...", QKeySequence("F5"), "Address Book (F5)"),
            &QAction::triggered, this, &MainWindow::OpenAddressBook);
    connect(AddAction("miniList", "Mini address &list...", QKeySequence("F6")), &QAction::triggered,
            this, &MainWindow::ShowMiniList);
    connect(AddAction("addSender", "Add &Sender to Address Book", {},
                      "Add sender to your address book"),
            &QAction::triggered, this, [this] { AddSenderToAddressBook(); });
    connect(AddAction("accounts", "&Accounts setup...", QKeySequence("F3"), "Accounts Setup (F3)"),
            &QAction::triggered, this, &MainWindow::OpenAccounts);
    connect(AddAction("options", "&Options...", QKeySequence("F7"), "Program Options (F7)"),
            &QAction::triggered, this, [this] { OpenOptions(TSettingsPage::Program); });
    connect(AddAction("filters", "Filters and &scripts...", QKeySequence("F4"),
                      "Filters and Scripts (F4)"),
            &QAction::triggered, this, [this] {
                const TProgramSettings& p = main_.Settings().Program;
                scriptsWindow_->SetMessageFont(ToQ(p.MessageFont), p.MessageFontSize);
                scriptsWindow_->Open();
            });
    connect(AddAction("helpContents", "&Contents", QKeySequence("F1")), &QAction::triggered, this,
            &MainWindow::ShowHelp);
    connect(AddAction("update", "Check for &Update...", {}), &QAction::triggered, this,
            &MainWindow::CheckForUpdate);
    connect(AddAction("about", "&About...", {}), &QAction::triggered, this, [this] {
        QMessageBox::about(this, "About Kivo",
                           "Kivo 1.0\nA desktop e-mail client: POP3 in, SMTP out, plain-text "
                           "mailboxes and KivoScript filters.");
    });
}

void MainWindow::BuildMenus() {
    auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
        AddToMenu(menu, actions_, names);
    };
    QMenuBar* bar = menuBar();
    bar->setAccessibleName("Menu");
    add(bar->addMenu("E-&mail"),
        {"check", "send", "emptyTrash", "stop", "", "print", "printPreview", "", "exit"});
    add(bar->addMenu("&Edit"), {"copy", "selectAll", "invert", "selectTagged"});
    add(bar->addMenu("Me&ssage"),
        {"newMessage", "reply", "replyAll", "forward", "bounce", "", "deleteMessage", "", "find"});
    add(bar->addMenu("Mail&box"),
        {"mailboxes", "", "renameMailbox", "newMailbox", "openMailbox", "", "compress"});
    add(bar->addMenu("&View"),
        {"fastRead", "", "previous", "next", "", "progress", "zoom", "privacy", "",
         "viewAttachments", "openAttachFolder", "", "showToolbar"});
    QMenu* tools = bar->addMenu("&Tools");
    add(tools, {"addressBook", "miniList", "addSender", "", "accounts", "options", "filters"});
    BuildUserButtons(tools->addMenu("Script &Quick Run"));
    QMenu* windows = bar->addMenu("&Window");
    connect(windows, &QMenu::aboutToShow, this, [this, windows] {
        windows->clear();
        const TOpenWindows& open = main_.OpenWindows();
        const std::vector<std::string> captions = open.MenuCaptions();
        for (std::size_t k = 0; k < captions.size(); ++k) {
            TOpenWindow* window = open.Items()[k];
            // "&" in a title is a letter, not a shortcut mark.
            windows->addAction(ToQ(captions[k]).replace("&", "&&"), this,
                               [window] { window->Show(); });
        }
        if (windows->isEmpty()) windows->addAction("(no other windows)")->setEnabled(false);
    });
    add(bar->addMenu("&Help"), {"helpContents", "", "update", "about"});
}

void MainWindow::BuildToolbar() {
    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("toolbar");
    toolbar_->setAccessibleName("Toolbar");
    toolbar_->setMovable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QStyle* style = QApplication::style();
    const std::pair<const char*, QStyle::StandardPixmap> buttons[] = {
        {"check", QStyle::SP_BrowserReload},
        {"stop", QStyle::SP_BrowserStop},
        {"send", QStyle::SP_ArrowForward},
        {"newMessage", QStyle::SP_FileIcon},
        {"reply", QStyle::SP_ArrowBack},
        {"replyAll", QStyle::SP_ArrowBack},
        {"forward", QStyle::SP_ArrowRight},
        {"bounce", QStyle::SP_ArrowUp},
        {"filters", QStyle::SP_FileDialogDetailedView},
        {"addressBook", QStyle::SP_DirHomeIcon},
        {"options", QStyle::SP_FileDialogInfoView},
        {"accounts", QStyle::SP_ComputerIcon},
        {"previous", QStyle::SP_MediaSeekBackward},
        {"next", QStyle::SP_MediaSeekForward},
    };
    const std::map<QString, QString> labels = {
        {"check", "Check"},           {"stop", "Stop"},       {"send", "Send"},
        {"newMessage", "New"},        {"reply", "Reply"},     {"replyAll", "Reply all"},
        {"forward", "Forward"},       {"bounce", "Bounce"},   {"filters", "Filters"},
        {"addressBook", "Addresses"}, {"options", "Options"}, {"accounts", "Accounts"},
        {"previous", "Previous"},     {"next", "Next"}};
    for (const auto& [name, pixmap] : buttons) {
        QAction* action = Action(name);
        action->setIcon(style->standardIcon(pixmap));
        action->setIconText(labels.at(name));
        toolbar_->addAction(action);
        if (QWidget* w = toolbar_->widgetForAction(action)) {
            w->setAccessibleName(action->toolTip());
            w->setObjectName(QString(name) + "Button");
        }
    }
    // The user buttons take the rest of the toolbar, at its right.
    toolbar_->addWidget(userButtons_);
}

void MainWindow::BuildUserButtons(QMenu* quickRun) {
    quickRun_ = quickRun;
    quickRun_->setEnabled(false);
    userButtons_ = new UserButtonsPanel(this);
    connect(userButtons_, &UserButtonsPanel::Clicked, this, &MainWindow::RunUserButton);
    connect(userButtons_, &UserButtonsPanel::WidthChanged, this,
            [this](int width) { main_.Settings().Program.ButtonsShowing = width; });
    // The buttons' settings are edited on the Buttons page of the filters and scripts window.
    connect(userButtons_, &UserButtonsPanel::SetupRequested, this,
            [this] { scriptsWindow_->Open(TScriptsPage::Buttons); });
    for (std::size_t n = 0; n < quickItems_.size(); ++n) {
        const QString prefix = ToQ(UserButtonKeyPrefix(n));
        const QString digit = QString::number((n + 1) % TUserButtons::kCount);
        QAction* item = AddAction("quickRun" + digit, "&" + digit, QKeySequence("Ctrl+" + digit));
        item->setVisible(false);
        item->setEnabled(false);
        connect(item, &QAction::triggered, this, [this, prefix] { RunUserButton(prefix); });
        quickRun_->addAction(item);
        quickItems_[n] = item;
    }
}

void MainWindow::ApplyUserButtons() {
    const TUserButtons& model = main_.UserButtons();
    userButtons_->Apply(model);
    for (std::size_t n = 0; n < quickItems_.size(); ++n) {
        const TQuickRunItem& item = model.Items[n];
        const QString digit = QString::number((n + 1) % TUserButtons::kCount);
        QString caption = ToQ(item.Caption).trimmed();
        caption.replace("&", "&&");
        quickItems_[n]->setText("&" + digit + "  " + caption);
        quickItems_[n]->setVisible(item.Visible);
        quickItems_[n]->setEnabled(item.Enabled);
    }
    quickRun_->setEnabled(model.QuickRunEnabled);
}

void MainWindow::RunUserButton(const QString& keyPrefix) {
    // The filters and scripts window's interpreter runs it: one run at a time, its message
    // boxes and questions in the windows.
    if (scriptRunning_ || scriptsWindow_->Running()) return;
    scriptRunning_ = true;
    bool ran = true;
    // A script's failure goes to the progress log; the click not taken leaves `ran` set.
    StoreOperation([&] {
        try {
            TScriptButtonRunner runner(scriptsWindow_->Scripts(), main_.MainIndex());
            ran = main_.BtnUser1Click(FromQ(keyPrefix), runner);
        } catch (const std::exception& e) {
            main_.Transfer().ErrorLevel(2, e.what());
            ran = false;
        }
    });
    scriptRunning_ = false;
    // A script may have deleted, filed or added messages and mailboxes.
    tree_->Rebuild();
    RefreshList();
    if (!ran) platform_.ShowTip("The script could not run - the progress messages (F12) say why");
}

void MainWindow::PrintSelected() {
    StoreOperation([this] { PrintSelectedMessage(main_, this); }, TStoreUse::Reads);
}

void MainWindow::PreviewSelected() {
    StoreOperation([this] { PreviewSelectedMessage(main_, this); }, TStoreUse::Reads);
}

void MainWindow::ShowHelp() {
    help_->ShowHelp(main_.Settings().Program.MessageFont);
}

void MainWindow::CheckForUpdate() {
    if (updating_) return;
    updating_ = true;
    Action("update")->setEnabled(false);
    ui::CheckForUpdate(main_.Folder(), platform_, this);
    Action("update")->setEnabled(true);
    updating_ = false;
}

void MainWindow::BuildScriptsWindow() {
    scriptsWindow_ =
        new ScriptsWindow(ScriptPathsOf(main_.Folder()), platform_, main_.Transfer().Timer, this);
    scriptsWindow_->Index = [this] { return &main_.MainIndex(); };
    scriptsWindow_->Guard = [this](const std::function<void()>& f) { return StoreOperation(f); };
    scriptsWindow_->HintText = [this](std::string_view text) { SetStatusText(0, text); };
    scriptsWindow_->LogEntry = [this](int level, std::string_view text) {
        main_.Transfer().ErrorLevel(level, text);
    };
    connect(scriptsWindow_, &ScriptsWindow::MessagesChanged, this, &MainWindow::RefreshList);
    connect(scriptsWindow_, &ScriptsWindow::MailboxesChanged, tree_, &MailboxTree::Rebuild);
    connect(scriptsWindow_, &ScriptsWindow::ButtonsChanged, this, [this] {
        if (main_.Hooks.InitUserButtons) main_.Hooks.InitUserButtons();
    });
    scriptsWindow_->OpenDragAndDrop = [this] { OpenOptions(TSettingsPage::DragAndDrop); };
    scriptsWindow_->Compose = [this](const TmsMessage& m) { composers_->FromScript(m); };
    main_.Hooks.ScriptRunning = [this] { return scriptsWindow_->Running(); };
    main_.Hooks.CancelScript = [this] { scriptsWindow_->Scripts().RequestAbort(); };
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setAccessibleName("Status");
    bar->setSizeGripEnabled(true);
    const std::array<const char*, 4> names = {"Activity", "Progress", "Message count",
                                              "Transfer details"};
    for (int k = 0; k < 4; ++k) {
        if (k == TStatusBar::spProgress) {
            progressBar_ = new QProgressBar(this);
            progressBar_->setObjectName("progressBar");
            progressBar_->setAccessibleName("Progress");
            progressBar_->setRange(0, 100);
            progressBar_->setValue(0);
            progressBar_->setTextVisible(false);
            progressBar_->setFixedWidth(TStatusBar::kWidths[1]);
            progressBar_->setMaximumHeight(16);
            progressBar_->installEventFilter(this);
            progressBar_->setToolTip("Click for the progress menu");
            bar->addWidget(progressBar_);
        }
        auto* label = new QLabel(this);
        label->setObjectName(QString("statusPanel%1").arg(k));
        label->setAccessibleName(names[static_cast<std::size_t>(k)]);
        label->setMinimumWidth(TStatusBar::kWidths[static_cast<std::size_t>(k)]);
        panels_[static_cast<std::size_t>(k)] = label;
        if (k == TStatusBar::spProgress) {
            label->hide();  // the progress bar is this panel
            continue;
        }
        bar->addWidget(label, k == TStatusBar::spDetails ? 1 : 0);
    }
}

void MainWindow::BuildTray() {
    trayMenu_ = new QMenu(this);
    QAction* hideShow = trayMenu_->addAction("&Hide Application");
    hideShow->setObjectName("hideShow");
    connect(hideShow, &QAction::triggered, this, [this] {
        main_.Transfer().Tray.ToggleApplication();
        if (main_.Transfer().Tray.ApplicationHidden()) {
            HideApplication();
        } else {
            RestoreApplication();
        }
    });
    connect(trayMenu_, &QMenu::aboutToShow, this,
            [this, hideShow] { hideShow->setText(ToQ(main_.Transfer().Tray.HideShowCaption())); });
    trayMenu_->addAction("&Check Mail", this, &MainWindow::CheckMail);
    trayMenu_->addAction("E&xit Program", this, &QWidget::close);
    connect(&trayTimer_, &QTimer::timeout, this, &MainWindow::AnimateTray);
    // Where the desktop has no notification area the window does without the icon.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(TrayPicture("TRAYICON_0"), this);
    tray_->setToolTip(ToQ(TrayIconHint(TTrayIconState::kHint)));
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this, hideShow](auto reason) {
        if (reason == QSystemTrayIcon::DoubleClick) hideShow->trigger();
    });
    tray_->show();
}

void MainWindow::Start(std::span<const std::string> args) {
    TFirstRunFiles content;
    std::error_code ec;
    TXdgDefaultMailer mailer(std::filesystem::canonical("/proc/self/exe", ec), main_.Folder().root,
                             TXdgDefaultMailer::UserApplications());
    TScreen screen;
    QRect available;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        available = s->availableGeometry();
        screen = {available.width(), available.height()};
    }
    main_.LoadApp(args, content, mailer, screen);
    const TSettings& settings = main_.Settings();
    // A settings file without the window's place is a first start: most of the screen,
    // centred. Once the window is closed its place is in the file and wins from then on.
    const QRect first = HasSavedPlace(main_.Folder().SettingsFile())
                            ? QRect()
                            : FirstStartGeometry(available);
    if (first.isValid()) {
        resize(first.size());
        move(first.topLeft());
    } else {
        resize(settings.Position.Width, settings.Position.Height);
        move(settings.Position.Left, settings.Position.Top);
    }
    if (settings.Position.Maximized) showMaximized();
    Action("showToolbar")->setChecked(settings.Program.ShowToolbar);
    toolbar_->setVisible(settings.Program.ShowToolbar);
    Action("fastRead")->setChecked(main_.MessageArea().FastRead());
    Action("viewAttachments")->setChecked(settings.Mail.ViewAttach);
    userButtons_->SetShowingWidth(settings.Program.ButtonsShowing);
    tree_->Rebuild();
    miniList_->Init(main_.Folder().AddressFile());
    miniList_->Place(MiniListPlace(settings.Position), *this);
    ApplyLook();
    if (settings.Position.ColSaved) {
        SetColumnWidths(settings.Position.Col);
    } else {
        listPane_->FitDefaultWidths();
    }
    RefreshList();
    list_->setFocus();
    // The message area has its size once the window is laid out.
    QTimer::singleShot(0, this, &MainWindow::LayOutArea);
}

void MainWindow::ApplyLook() {
    const TProgramSettings& p = main_.Settings().Program;
    const QPalette palette = QApplication::palette();
    TIndexLook look;
    look.shadeCols = p.ShadeCols;
    look.horShade = p.HorShade;
    look.horLines = std::max(1, p.HorLines);
    look.vertShade = p.VertShade;
    look.shadeColour = p.ShadeColor;
    look.tagFontColour = p.TagFont;
    look.tagColour = p.TagColor;
    look.listText = ColourValue(ColourOf(p.IndexFontColor, palette));
    look.listBack = ColourValue(ColourOf(p.IndexColor, palette));
    // On a dark desktop the default light shading would glare: a shade of the list's own
    // background takes its place unless the user chose colours.
    if (palette.color(QPalette::Base).lightness() < 128 && (p.IndexColor & 0x80000000u)) {
        look.shadeColour = ColourValue(palette.color(QPalette::Base).lighter(130));
    }
    look.grid = p.Grid;
    QFont font(ToQ(p.IndexFont), std::max(6, p.IndexFontSize));
    if (!QFontInfo(font).exactMatch()) font = QApplication::font();
    indexLook_ = look;
    indexFont_ = font;
    ApplyIndexLook(listPane_);
    for (IndexWindow* window : MailboxWindows()) ApplyIndexLook(window->Pane());
    ApplyMessageLook();
    privacyPanel_->setVisible(p.Privacy);
    LayOutArea();
}

void MainWindow::ApplyMessageLook() {
    ApplyMessageLook(*pane_);
    for (MessageWindow* window : findChildren<MessageWindow*>()) ApplyMessageLook(*window->Pane());
}

void MainWindow::ApplyMessageLook(MessagePane& pane) {
    const TProgramSettings& p = main_.Settings().Program;
    const QPalette palette = QApplication::palette();
    pane.SetLook(ToQ(p.MessageFont), p.MessageFontSize, ColourOf(p.MessageFontColor, palette),
                 ColourOf(p.MsgBackColor, palette), ColourOf(p.MsgLinkColor, palette));
}

void MainWindow::LayOutArea() {
    TMessageArea& area = main_.MessageArea();
    area.SetAreaHeight(area_->height());
    area.SetTitleHeight(list_->horizontalHeader()->height());
    Action("zoom")->setChecked(area.IndexMin());
    if (area.Stacked()) {
        const int total = area_->height() > 0 ? area_->height() : 400;
        const int indexHeight =
            area.IndexMin() ? list_->horizontalHeader()->height() + TMessageArea::kCollapsedExtra
                            : std::clamp(area.IndexHeight(), 40, std::max(40, total - 40));
        const bool indexFirst = area_->widget(0) == listPane_;
        area_->setSizes(indexFirst ? QList<int>{indexHeight, total - indexHeight}
                                   : QList<int>{total - indexHeight, indexHeight});
    }
}

void MainWindow::RefreshList() {
    listPane_->Reload();
    if (IndexWindow* floating = FloatingIndex()) floating->UpdateTitle();
    if (QAction* tagged = Action("selectTagged"))
        tagged->setEnabled(main_.MainIndex().FilterActive());
    main_.UpdateMessageCount();
}

void MainWindow::SyncSelectionToView() {
    listPane_->SyncSelectionToView();
}

bool MainWindow::StoreOperation(const std::function<void()>& operation, TStoreUse use) {
    if (storeBusy_ > 0) {
        platform_.ShowTip(kStoreBusyNote);
        return false;
    }
    // A check or send appends to In, Out and Sent while it waits on the network.
    if (use == TStoreUse::Changes && runs_.Running()) {
        platform_.ShowTip(kTransferRunsNote);
        return false;
    }
    std::optional<std::string> failure;
    ++storeBusy_;
    try {
        operation();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "The operation stopped with an unexpected error";
    }
    --storeBusy_;
    if (failure) {
        // The store may have changed part of the way: the lists show what the core holds now.
        RefreshList();
        ReloadMailboxWindows();
        platform_.ShowMessage(*failure);
    }
    if (closePending_ && storeBusy_ == 0) {
        closePending_ = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
    return !failure;
}

void MainWindow::ShowFocusedMessage() {
    if (storeBusy_ > 0) {
        // Shown once the running operation has let go of the mailbox.
        showTimer_.start(50);
        return;
    }
    ShowFocusedMessageOf(listPane_);
}

void MainWindow::ShowFocusedMessageOf(IndexPane* pane) {
    if (storeBusy_ > 0) {
        QTimer::singleShot(50, pane, [this, pane] { ShowFocusedMessageOf(pane); });
        return;
    }
    TFrmIndex& index = pane->Index();
    const int row = index.Focused();
    if (row < 0 || row >= index.RowCount()) return;
    // A message shows when it is the one row chosen, not while a range is being marked.
    const std::vector<int> selected = index.SelectedRows();
    if (selected.size() != 1 || selected.front() != row) return;
    bool shown = false;
    StoreOperation([&] { shown = main_.ShowMessage(index, row); }, TStoreUse::Reads);
    if (shown) {
        pane->Model()->RowChanged(row);
        if (main_.MessageArea().IndexMin()) LayOutArea();
    }
}

void MainWindow::CheckMail() {
    if (runs_.Running()) return;
    if (storeBusy_ > 0) {
        platform_.ShowTip(kStoreBusyNote);
        return;
    }
    int stored = 0;
    try {
        stored = runs_.CheckMail();
    } catch (const std::exception& e) {
        main_.Transfer().ErrorLevel(2, e.what());
        platform_.ShowMessage(e.what());
    }
    RefreshList();
    if (stored > 0) ShowNewMailInWindows();
    if (stored > 0) {
        ++newMailNotices_;
        const QString text = ToQ(NewMessagesText(stored));
        if (tray_) {
            tray_->showMessage("Kivo", text, QSystemTrayIcon::Information, 5000);
        } else {
            // Without a notification area the window asks for attention itself.
            QApplication::alert(this);
            SetStatusText(0, FromQ(text));
        }
    }
}

void MainWindow::SendQueued() {
    if (runs_.Running()) return;
    if (storeBusy_ > 0) {
        platform_.ShowTip(kStoreBusyNote);
        return;
    }
    try {
        runs_.SendQueued();
    } catch (const std::exception& e) {
        main_.Transfer().ErrorLevel(2, e.what());
        platform_.ShowMessage(e.what());
    }
    RefreshList();
}

void MainWindow::StopTransfer() {
    if (!main_.Transfer().CancelTransfer()) platform_.Pump();
}

void MainWindow::DeleteSelected() {
    if (main_.MainIndex().SelectedRows().empty()) return;
    if (StoreOperation([this] { main_.DeleteMessage1Click(main_.MainIndex()); })) RefreshList();
}

void MainWindow::CompressMailbox() {
    if (StoreOperation([this] { main_.CompressMailbox1Click(); })) RefreshList();
}

void MainWindow::ToggleProgressWindow() {
    TProgressLog& log = main_.Transfer().Log;
    log.ToggleWindow();
    if (log.WindowVisible()) {
        progressWindow_->Refresh();
        progressWindow_->show();
        progressWindow_->raise();
    } else {
        progressWindow_->hide();
    }
}

AddressBookWindow* MainWindow::AddressBook() {
    if (!addressBook_) {
        addressBook_ = new AddressBookWindow(main_.Folder().AddressFile(), platform_, this);
        connect(addressBook_, &AddressBookWindow::Saved, this,
                [this] { miniList_->Init(main_.Folder().AddressFile()); });
    }
    return addressBook_;
}

void MainWindow::OpenAddressBook() {
    AddressBookWindow* book = AddressBook();
    // An open editor keeps what the user typed; a hidden one reads the file again.
    if (!book->isVisible()) book->Load();
    book->show();
    book->raise();
    book->activateWindow();
}

void MainWindow::ShowMiniList() {
    miniList_->show();
    miniList_->raise();
    miniList_->Entries()->setFocus();
}

void MainWindow::AddSenderToAddressBook() {
    const std::filesystem::path file = main_.Folder().AddressFile();
    TAddSenderResult result = TAddSenderResult::Nothing;
    if (!StoreOperation(
            [&] {
                result =
                    AddSenderOfFocused(main_.MainIndex(), file, main_.Settings().Program.Lookup);
            },
            TStoreUse::Reads)) {
        return;
    }
    ReportAddedSender(result);
}

void MainWindow::AddSenderToAddressBook(std::string_view fromValue) {
    TAddSenderResult result = TAddSenderResult::Nothing;
    try {
        result =
            AddSender(fromValue, main_.Folder().AddressFile(), main_.Settings().Program.Lookup);
    } catch (const std::exception& e) {
        platform_.ShowMessage(e.what());
        return;
    }
    ReportAddedSender(result);
}

void MainWindow::ReportAddedSender(TAddSenderResult result) {
    switch (result) {
        case TAddSenderResult::Nothing:
            platform_.ShowTip("No sender address to add");
            break;
        case TAddSenderResult::AlreadyThere:
            platform_.ShowTip(kAlreadyInBookTip);
            break;
        case TAddSenderResult::Added:
            miniList_->Init(main_.Folder().AddressFile());
            platform_.ShowTip("Sender added to the Address Book");
            break;
    }
}

void MainWindow::ShowProgressMenu() {
    QMenu menu(this);
    const bool dialled = dialUp_.DisconnectVisible();
    for (const TProgressMenuItem& item : ProgressMenu(dialled)) {
        if (!item.Visible) continue;
        QAction* a = menu.addAction(ToQ(item.Caption));
        const std::string_view caption = item.Caption;
        connect(a, &QAction::triggered, this, [this, caption] {
            if (caption == "&Cancel") StopTransfer();
            if (caption == "&Disconnect Modem") dialUp_.DisconnectModem();
            if (caption == "&View progress messages...") {
                main_.Transfer().Log.ShowWindow();
                progressWindow_->Refresh();
                progressWindow_->show();
            }
        });
    }
    menu.exec(QCursor::pos());
}

void MainWindow::AnimateTray() {
    TTrayIconState& tray = main_.Transfer().Tray;
    tray.Tick();
    TrayIconChanged();
}

void MainWindow::SaveColumnWidths() {
    std::array<int, 6>& col = main_.Settings().Position.Col;
    for (int k = 0; k < 6; ++k) col[static_cast<std::size_t>(k)] = list_->columnWidth(k);
    TPositionSettings& pos = main_.Settings().Position;
    pos.Maximized = isMaximized();
    if (!isMaximized()) {
        pos.Left = x();
        pos.Top = y();
        pos.Width = width();
        pos.Height = height();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // The running operation holds mailbox locks that saving on the way out would wait for:
    // the window closes when it is done.
    if (storeBusy_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    if (!main_.FormCloseQuery()) {
        event->ignore();
        return;
    }
    // Unsaved script edits get the script window's own question; a refusal keeps the program.
    if (scriptsWindow_->isVisible() && !scriptsWindow_->close()) {
        event->ignore();
        return;
    }
    closing_ = true;
    SaveColumnWidths();
    TPositionSettings& position = main_.Settings().Position;
    KeepMiniListPlace(position, miniList_->PlaceToKeep(MiniListPlace(position)));
    if (scriptsWindow_->isVisible()) scriptsWindow_->SavePosition();
    if (std::optional<std::string> failure = main_.Shutdown()) {
        QMessageBox::warning(this, "Kivo", ToQ(*failure));
    }
    if (tray_) tray_->hide();
    progressWindow_->close();
    event->accept();
    QApplication::quit();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    IndexPane* pane = event->type() == QEvent::KeyPress ? PaneOfList(watched) : nullptr;
    if (pane) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            DeleteSelectedIn(pane);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter reads the message in a window of its own.
            OpenFocusedMessage(pane);
            return true;
        }
    }
    if (watched == progressBar_ && event->type() == QEvent::MouseButtonPress) {
        ShowProgressMenu();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- TFrmMainView ---

void MainWindow::SetTitle(std::string_view title) {
    setWindowTitle(ToQ(title));
}

void MainWindow::SetBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyCursor_;
    } else if (busyCursor_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyCursor_;
    }
}

void MainWindow::ShowSetupWizard(TFrmSetupWizard& wizard) {
    if (splash_) splash_->hide();
    SetupWizard dialog(wizard, this);
    dialog.exec();
    if (splash_) splash_->show();
}

int MainWindow::ColourDepth() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->depth() : 24;
}

TMailerAnswer MainWindow::AskDefaultMailer() {
    if (splash_) splash_->hide();
    QMessageBox box(QMessageBox::Question, "Kivo",
                    "Kivo is not your default mail program. Make it the default?",
                    QMessageBox::Yes | QMessageBox::No, this);
    auto* dontAsk = new QCheckBox("Please, don't ask me this question again!", &box);
    dontAsk->setAccessibleName("Don't ask again");
    box.setCheckBox(dontAsk);
    const bool yes = box.exec() == QMessageBox::Yes;
    return {yes, dontAsk->isChecked()};
}

void MainWindow::DockWindows(int dockAlign) {
    // 0 index on top, 1 index left, 2 index below, 3 index right.
    area_->setOrientation(dockAlign == 1 || dockAlign == 3 ? Qt::Horizontal : Qt::Vertical);
    const bool indexFirst = dockAlign == 0 || dockAlign == 1;
    area_->insertWidget(0, indexFirst ? static_cast<QWidget*>(listPane_) : pane_);
    area_->insertWidget(1, indexFirst ? static_cast<QWidget*>(pane_) : listPane_);
}

void MainWindow::ShowMainWindow() {
    show();
}

int MainWindow::ListWidth() const {
    return list_->viewport()->width();
}

void MainWindow::SetColumnWidths(const std::array<int, 6>& widths) {
    listPane_->SetColumnWidths(widths);
}

void MainWindow::OpenComposer(const std::optional<std::string>& mailTo) {
    composers_->New(mailTo);
}

void MainWindow::RestoreApplication() {
    main_.Transfer().Tray.SetApplicationHidden(false);
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::HideApplication() {
    main_.Transfer().Tray.SetApplicationHidden(true);
    hide();
}

void MainWindow::HideMainWindow() {
    hide();
}

void MainWindow::RemoveTip() {
    platform_.RemoveTip();
}

void MainWindow::ShowMessageLines(const TShownLines& message) {
    pane_->Msg().WriteMessage(message.headers, message.body);
    pane_->Msg().Number = message.number;
}

void MainWindow::OpenMessageWindow(const TShownLines& message, int number) {
    // Owned by the main window; it deletes itself when closed.
    auto* window = new MessageWindow(MsgOptions(main_.Settings()), platform_, main_.OpenWindows(),
                                     main_.Folder().SettingsFile(), this);
    HookPane(*window->Pane(), false);
    ApplyMessageLook(*window->Pane());
    window->WriteMessage(message.headers, message.body, number);
    window->Show();
}

bool MainWindow::OpenAttachedMessage(const std::filesystem::path& file) {
    std::filesystem::path parts;
    TShownLines message;
    try {
        parts = NewPartsFolder();
        message = AttachedMessageLines(file, parts);
    } catch (const std::exception& e) {
        if (!parts.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(parts, ec);
        }
        platform_.ShowMessage(e.what());
        return false;
    }
    // Owned by the main window; it deletes itself, and the parts folder, when closed.
    auto* window = new MessageWindow(MsgOptions(main_.Settings()), platform_, main_.OpenWindows(),
                                     main_.Folder().SettingsFile(), this, parts);
    HookPane(*window->Pane(), false);
    ApplyMessageLook(*window->Pane());
    window->WriteMessage(message.headers, message.body, -1);
    window->Show();
    return true;
}

void MainWindow::ClearMessageView() {
    pane_->Clear();
    Action("viewAttachments")->setEnabled(false);
}

void MainWindow::OpenFocusedMessage(IndexPane* pane) {
    if (!pane) pane = listPane_;
    const int row = pane->Index().Focused();
    if (row < 0) return;
    StoreOperation([&] { main_.ShowMessageSeparate(pane->Index(), row); }, TStoreUse::Reads);
    pane->Model()->RowChanged(row);
}

void MainWindow::OpenAttachFolder() {
    OpenAttachmentsFolder(main_.Settings().Mail.AttachPath, platform_);
}

void MainWindow::HookPane(MessagePane& pane, bool docked) {
    MessagePaneHooks hooks;
    hooks.MainBusy = [this] { return storeBusy_ > 0; };
    hooks.ChangeFontSize = [this](int delta) {
        if (ChangeMessageFontSize(main_.Settings().Program, delta)) ApplyMessageLook();
    };
    hooks.OpenAttachFolder = [this] { OpenAttachFolder(); };
    hooks.OpenOptions = [this](TSettingsPage page) { OpenOptions(page); };
    hooks.AddSender = [this](const std::string& from) { AddSenderToAddressBook(from); };
    hooks.ComposeMailTo = [this](const std::string& mailto) { OpenComposer(mailto); };
    hooks.OpenAttachedMessage = [this](const std::filesystem::path& file) {
        return OpenAttachedMessage(file);
    };
    if (docked) {
        hooks.SetFastRead = [this](bool on) { Action("fastRead")->setChecked(on); };
        hooks.TitleClick = [this] { Action("zoom")->trigger(); };
    }
    pane.SetHooks(std::move(hooks));
}

void MainWindow::SetStatusText(int panel, std::string_view text) {
    if (panel < 0 || panel > 3) return;
    TStatusBar& status = main_.Transfer().Status;
    status.SetText(panel, text);
    QLabel* label = panels_[static_cast<std::size_t>(panel)];
    if (label) label->setText(ToQ(text));
}

void MainWindow::SetProgress(int percent) {
    if (percent < 0) {
        progressBar_->setValue(0);
        return;
    }
    progressBar_->setValue(std::clamp(percent, 0, 100));
}

void MainWindow::ShowProgressText(bool shown) {
    progressBar_->setTextVisible(shown);
}

void MainWindow::ErrorLevel(int, std::string_view) {
    if (progressWindow_ && progressWindow_->isVisible()) progressWindow_->Refresh();
}

void MainWindow::ControlsChanged() {
    ApplyShownControls();
}

void MainWindow::ApplyShownControls() {
    const TTransferControls& c = main_.Transfer().Busy.Controls();
    Action("check")->setVisible(c.CheckButtonVisible);
    Action("check")->setEnabled(c.CheckButtonEnabled && c.CheckCommandEnabled);
    Action("stop")->setVisible(c.StopButtonVisible);
    Action("stop")->setEnabled(c.StopButtonVisible);
    Action("send")->setEnabled(c.SendButtonEnabled);
}

void MainWindow::TrayIconChanged() {
    const TTrayIconState& state = main_.Transfer().Tray;
    const int interval = state.IntervalMs();
    if (interval > 0) {
        if (!trayTimer_.isActive() || trayTimer_.interval() != interval) trayTimer_.start(interval);
    } else {
        trayTimer_.stop();
    }
    if (tray_) tray_->setIcon(TrayPicture(state.Picture()));
}

}  // namespace kivo::ui
