#pragma once
// The mailbox tree's widget over TFrmMailboxes: a click opens a mailbox in the main window,
// messages dragged from a list onto a mailbox are moved there (copied with Ctrl held), and a
// contact dragged from the mini address list becomes a mailbox that its mail is filed into.

#include <QTreeWidget>
#include <functional>

#include "store/KivoMailboxes.h"

namespace kivo {
struct TContactDrag;
}

namespace kivo::ui {

class MailboxTree : public QTreeWidget {
    Q_OBJECT
  public:
    MailboxTree(TFrmMailboxes& tree, TFrmIndex& mainIndex, QWidget* parent = nullptr);

    // Reads the tree again and marks the open mailbox.
    void Rebuild();
    // The item of a relative path ("Work/Alpha"), or null.
    QTreeWidgetItem* ItemOf(const QString& relPath) const;
    TMailboxNode* NodeOf(const QTreeWidgetItem* item) const;
    // Runs the tree's store operations, so they never overlap the main window's; false when
    // one runs already.
    std::function<bool(const std::function<void()>&)> Guard = [](const auto& f) {
        f();
        return true;
    };
    // Drops the selected messages of the main list on a node (as a drag does).
    void DropMessagesOn(TMailboxNode* node, bool copy);
    // Drops a contact on a node (null: below the last one); the auto script comes from
    // Scripts. Returns the mailbox that receives the contact's mail, or null.
    TMailboxNode* DropContactOn(const TContactDrag& contact, TMailboxNode* node);
    TAutoScriptMaker* Scripts = nullptr;

  signals:
    // A mailbox was opened or messages left the open one: the list shows them anew.
    void MailboxOpened();
    void MessagesDropped();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void AddItems(QTreeWidgetItem* parent, const std::vector<std::unique_ptr<TMailboxNode>>& nodes);

    TFrmMailboxes& tree_;
    TFrmIndex& mainIndex_;
};

}  // namespace kivo::ui
