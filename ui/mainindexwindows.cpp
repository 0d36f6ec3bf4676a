// The main window's message index windows: the main list floating in a window of its own and
// docking again, further mailboxes in windows of their own, and rows dragged between them.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QTableView>
#include <QTimer>

#include "base/bytes.h"
#include "store/msgops.h"
#include "ui/actions.h"
#include "ui/composerlist.h"
#include "ui/indexmodel.h"
#include "ui/indexpane.h"
#include "ui/indexwindow.h"
#include "ui/mainwindow.h"
#include "ui/messagepane.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

namespace {

constexpr const char* kDragText = "Move message, hold CTRL to copy";
// A separate window opens this far right of and below the main window's top left corner.
constexpr int kIndexWindowOffset = 20;

}  // namespace

IndexWindow* MainWindow::FloatingIndex() const {
    return floatingIndex_ && floatingIndex_->Pane() == listPane_ ? floatingIndex_ : nullptr;
}

std::vector<IndexWindow*> MainWindow::MailboxWindows() const {
    std::vector<IndexWindow*> windows;
    for (IndexWindow* window : findChildren<IndexWindow*>(Qt::FindDirectChildrenOnly)) {
        if (window != floatingIndex_ && window->Listed()) windows.push_back(window);
    }
    return windows;
}

void MainWindow::CloseIndexWindow() {
    const QSize size = listPane_->size();
    const bool separate = main_.MessageArea().CloseIndexWindow();
    Action("zoom")->setEnabled(!separate);
    if (separate) {
        if (!floatingIndex_) {
            floatingIndex_ = new IndexWindow(main_.OpenWindows(), this);
            // The main window's commands and their keys work in the separate list as well.
            for (const auto& [name, action] : actions_) floatingIndex_->addAction(action);
            floatingIndex_->Closing = [this] {
                if (FloatingIndex()) CloseIndexWindow();
            };
        }
        floatingIndex_->Hold(listPane_);
        floatingIndex_->resize(std::max(size.width(), 480), std::max(size.height(), 240));
        floatingIndex_->move(frameGeometry().topLeft() +
                             QPoint(kIndexWindowOffset, kIndexWindowOffset));
        floatingIndex_->Show();
    } else {
        floatingIndex_->Release();
        DockWindows(main_.Settings().Position.DockAlign);
        listPane_->show();
        LayOutArea();
        RestoreApplication();
    }
    list_->setFocus();
}

IndexPane* MainWindow::PaneOfList(const QObject* list) const {
    if (!list) return nullptr;
    if (list == list_) return listPane_;
    for (IndexWindow* window : MailboxWindows()) {
        if (window->Pane()->List() == list) return window->Pane();
    }
    return nullptr;
}

void MainWindow::HookIndexPane(IndexPane* pane) {
    connect(pane, &IndexPane::CloseRequested, this, [this, pane] {
        if (pane == listPane_) {
            CloseIndexWindow();
        } else {
            pane->window()->close();
        }
    });
    connect(pane, &IndexPane::DragStarted, this, [this, pane] {
        dragging_ = pane;
        SetStatusText(0, kDragText);
    });
    connect(pane, &IndexPane::DragEnded, this, [this] {
        dragging_ = nullptr;
        if (StatusPanel(0)->text() == kDragText) SetStatusText(0, "");
    });
    connect(pane, &IndexPane::MessagesDropped, this,
            [this, pane](QObject* source, bool copy) { DropOnIndex(pane, source, copy); });
    pane->List()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pane->List(), &QWidget::customContextMenuRequested, this,
            [this, pane](const QPoint& at) { ShowListMenu(pane, at); });
}

void MainWindow::DropOnIndex(IndexPane* target, QObject* source, bool copy) {
    IndexPane* from = PaneOfList(source);
    if (!from || from == target || from->Index().SelectedRows().empty()) return;
    if (!StoreOperation([&] { main_.DropOnIndex(from->Index(), target->Index(), copy); })) {
        return;
    }
    ReloadMailboxWindows();
    RefreshList();
    // Messages that left the main list take the shown one along.
    if (from == listPane_ && !copy) {
        if (main_.MainIndex().SelectedRows().empty()) {
            pane_->Clear();
        } else {
            showTimer_.start();
        }
    }
}

void MainWindow::ReloadMailboxWindows() {
    for (IndexWindow* window : MailboxWindows()) {
        window->Pane()->Reload();
        window->UpdateTitle();
    }
}

void MainWindow::BuildMailboxWindowMenus(IndexWindow* window) {
    IndexPane* pane = window->Pane();
    TFrmIndex* index = &pane->Index();  // kept by the window, as the actions are
    std::map<QString, QAction*> actions;
    const auto add = [&](const char* name, const char* text, const char* key, auto&& run) {
        connect(AddNamedAction(window, actions, name, text, QKeySequence(key), {}),
                &QAction::triggered, this, run);
    };
    const std::tuple<const char*, const char*, const char*, TReplyKind> replies[] = {
        {"reply", "&Reply", "Ctrl+R", TReplyKind::Reply},
        {"replyAll", "Reply to &all", "", TReplyKind::ReplyToAll},
        {"forward", "For&ward", "Ctrl+W", TReplyKind::Forward},
        {"bounce", "&Bounce", "Ctrl+B", TReplyKind::Bounce}};
    for (const auto& [name, text, key, kind] : replies) {
        add(name, text, key, [this, index, k = kind] { composers_->FromSelected(*index, k); });
    }
    add("deleteMessage", "&Delete Message", "Del", [this, pane] { DeleteSelectedIn(pane); });
    // The list's own key (see the main window's Delete Message): the menu only shows it.
    actions.at("deleteMessage")->setShortcutContext(Qt::WidgetShortcut);
    add("closeWindow", "&Close", "", [window] { window->close(); });
    add("copy", "&Copy", "Ctrl+C", [this, index] {
        try {
            QApplication::clipboard()->setText(ToQ(SelectedMessagesText(*index)));
        } catch (const std::exception& e) {
            platform_.ShowMessage(e.what());
        }
    });
    const auto select = [pane](void (TFrmIndex::*how)()) {
        return [pane, how] {
            (pane->Index().*how)();
            pane->SyncSelectionToView();
        };
    };
    add("selectAll", "Select &All", "Ctrl+A", select(&TFrmIndex::SelectAll));
    add("invert", "&Invert Selection", "", select(&TFrmIndex::InvertSelection));
    add("selectTagged", "Select &Tagged Messages", "Ctrl+T", select(&TFrmIndex::SelectTagged));
    const auto tagged = [actions, index] {
        actions.at("selectTagged")->setEnabled(index->FilterActive());
    };
    connect(pane, &IndexPane::FilterApplied, this, tagged);
    tagged();
    AddToMenu(window->menuBar()->addMenu("Me&ssage"), actions,
              {"reply", "replyAll", "forward", "bounce", "", "deleteMessage", "", "closeWindow"});
    AddToMenu(window->menuBar()->addMenu("&Edit"), actions,
              {"copy", "selectAll", "invert", "selectTagged"});
}

void MainWindow::ShowNewMailInWindows() {
    ShowDroppedInWindows("In");
}

void MainWindow::ShowDroppedInWindows(const std::string& relPath) {
    for (IndexWindow* window : MailboxWindows()) {
        TFrmIndex& index = window->Pane()->Index();
        if (!EqualsNoCase(index.MailboxName, relPath)) continue;
        StoreOperation([&] { main_.ReopenIndexWindow(index); }, TStoreUse::Reads);
        window->Pane()->Reload();
    }
}

void MainWindow::ApplyIndexLook(IndexPane* pane) {
    pane->Model()->SetLook(indexLook_, indexFont_);
    pane->List()->setShowGrid(indexLook_.grid);
    pane->List()->verticalHeader()->setDefaultSectionSize(QFontMetrics(indexFont_).height() + 4);
    pane->FitDateColumn();
}

IndexWindow* MainWindow::OpenMailboxWindow(const std::string& relPath) {
    if (EqualsNoCase(main_.MainIndex().MailboxName, relPath)) {
        // Shown already by the main list.
        if (IndexWindow* floating = FloatingIndex()) {
            floating->Show();
        } else {
            RestoreApplication();
        }
        list_->setFocus();
        return FloatingIndex();
    }
    for (IndexWindow* window : MailboxWindows()) {
        if (EqualsNoCase(window->Pane()->Index().MailboxName, relPath)) {
            window->Show();
            return window;
        }
    }
    auto index = std::make_unique<TFrmIndex>();
    index->MailboxName = relPath;
    if (!StoreOperation([&] { main_.OpenIndexWindow(*index); }, TStoreUse::Reads)) {
        return nullptr;
    }
    auto* window = new IndexWindow(std::move(index), main_.OpenWindows(), this);
    IndexPane* pane = window->Pane();
    HookIndexPane(pane);
    BuildMailboxWindowMenus(window);
    ApplyIndexLook(pane);
    for (int k = 0; k < 6; ++k) pane->List()->setColumnWidth(k, list_->columnWidth(k));
    pane->List()->installEventFilter(this);
    connect(pane->List(), &QAbstractItemView::doubleClicked, this,
            [this, pane] { OpenFocusedMessage(pane); });
    // Shown once the selection and the focus have both settled; a click on the row that is
    // selected already shows it too (the main view may show another mailbox's message).
    const auto show = [this, pane] {
        QTimer::singleShot(0, pane, [this, pane] { ShowFocusedMessageOf(pane); });
    };
    connect(pane, &IndexPane::SelectionChanged, this, show);
    connect(pane->List(), &QAbstractItemView::clicked, this, show);
    window->Closing = [this, window] {
        if (!window->Listed()) return;  // closed already
        try {
            main_.CloseIndexWindow(window->Pane()->Index());
        } catch (const std::exception& e) {
            platform_.ShowMessage(e.what());
        }
        // Later: the close may come from the pane's own button.
        window->Unlist();
        window->deleteLater();
    };
    window->resize(std::max(listPane_->width(), 480), std::max(listPane_->height(), 280));
    window->move(frameGeometry().topLeft() +
                 QPoint(2 * kIndexWindowOffset, 2 * kIndexWindowOffset));
    pane->Reload();
    window->Show();
    pane->List()->setFocus();
    return window;
}

}  // namespace kivo::ui
