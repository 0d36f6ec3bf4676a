// The message list's pop-up menu, the same for the main list and a mailbox's own window: its
// commands act on the list the menu was opened on.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTableView>

#include "ui/composerlist.h"
#include "ui/indexpane.h"
#include "ui/mainwindow.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

void MainWindow::DeleteSelectedIn(IndexPane* pane) {
    if (pane == listPane_) {
        DeleteSelected();
        return;
    }
    if (!pane->Index().SelectedRows().empty() &&
        StoreOperation([&] { main_.DeleteMessage1Click(pane->Index()); })) {
        pane->Reload();
    }
}

void MainWindow::ShowListMenu(IndexPane* pane, const QPoint& at) {
    TFrmIndex& index = pane->Index();
    QMenu menu(pane->List());
    menu.setObjectName("listMenu");
    const auto add = [&](const char* text, const char* key, auto&& run) {
        QAction* action = menu.addAction(text);
        // The keys are the list's own; the menu only shows them.
        if (*key) action->setShortcut(QKeySequence(key));
        connect(action, &QAction::triggered, this, run);
        return action;
    };
    const auto select = [pane](void (TFrmIndex::*how)()) {
        return [pane, how] {
            (pane->Index().*how)();
            pane->SyncSelectionToView();
        };
    };
    const bool any = !index.SelectedRows().empty();
    add("Select &Tagged Messages", "Ctrl+T", select(&TFrmIndex::SelectTagged))
        ->setEnabled(index.FilterActive());
    add("&Invert Selection", "", select(&TFrmIndex::InvertSelection));
    add("Select &All", "Ctrl+A", select(&TFrmIndex::SelectAll));
    add("&Copy", "Ctrl+C", [this, &index] {
        try {
            QApplication::clipboard()->setText(ToQ(SelectedMessagesText(index)));
        } catch (const std::exception& e) {
            platform_.ShowMessage(e.what());
        }
    })->setEnabled(any);
    menu.addSeparator();
    add("Toggle &Unread/Read", "Ctrl+Shift+U", [pane] { pane->ToggleUnread(); })->setEnabled(any);
    add("&Delete Message", "Del", [this, pane] { DeleteSelectedIn(pane); })->setEnabled(any);
    menu.addSeparator();
    add("&New", "Ctrl+N", [this] { composers_->New(); });
    const std::tuple<const char*, const char*, TReplyKind> replies[] = {
        {"&Reply", "Ctrl+R", TReplyKind::Reply},
        {"Reply to A&ll", "", TReplyKind::ReplyToAll},
        {"&Forward", "Ctrl+W", TReplyKind::Forward},
        {"&Bounce", "Ctrl+B", TReplyKind::Bounce}};
    for (const auto& [text, key, kind] : replies) {
        add(text, key, [this, &index, k = kind] {
            composers_->FromSelected(index, k);
        })->setEnabled(any);
    }
    menu.addSeparator();
    add("Change Display Fon&t...", "", [this] { OpenOptions(TSettingsPage::Fonts); });
    add("C&hange Display Colours...", "", [this] { OpenOptions(TSettingsPage::Colours); });
    add("Colu&mn Shading Options...", "", [this] { OpenOptions(TSettingsPage::IndexShading); });
    menu.exec(pane->List()->viewport()->mapToGlobal(at));
}

}  // namespace kivo::ui
