#pragma once
// The mailbox tree's widget over TFrmMailboxes: a click opens a mailbox in the main window,
// messages dragged from a list onto a mailbox are moved there (copied with Ctrl held), a
// contact dragged from the mini address list becomes a mailbox that its mail is filed into,
// and new, renamed (edited in place) and deleted mailboxes and folders change the files at once.

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
    // Runs the tree's store operations, so they never overlap the main window's or a check;
    // false when it did not run or failed (the guard shows why).
    std::function<bool(const std::function<void()>&)> Guard = [](const auto& f) {
        f();
        return true;
    };
    // Drops the selected messages of an index window (the main one when null) on a node, as
    // a drag does.
    void DropMessagesOn(TMailboxNode* node, bool copy, TFrmIndex* source = nullptr);
    // Finds the index window whose list a drag comes from; the main one by default.
    std::function<TFrmIndex*(const QObject* dragSource)> SourceIndex;

    // The window's commands: a new mailbox or folder beside the selected node (inside it
    // when it is a folder) whose name is edited at once; renaming the selected node in
    // place; deleting it; reading the tree again.
    void NewMailbox();
    void NewFolder();
    void RenameSelected();
    void DeleteSelected();
    void Refresh();
    // A node's name is being edited in place.
    bool Editing() const { return state() == EditingState; }
    // Drops a contact on a node (null: below the last one); the auto script comes from
    // Scripts. Returns the mailbox that receives the contact's mail, or null.
    TMailboxNode* DropContactOn(const TContactDrag& contact, TMailboxNode* node);
    TAutoScriptMaker* Scripts = nullptr;

  signals:
    // A mailbox was opened or messages left the open one: the list shows them anew.
    void MailboxOpened();
    // Messages went to the mailbox `relPath` (moved or copied).
    void MessagesDropped(const QString& relPath);
    // The open mailbox was renamed or deleted: the list and its title follow.
    void OpenMailboxChanged();
    // "Open in New &Window" on a mailbox: its relative path ("Work/Alpha").
    void OpenInWindow(const QString& relPath);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void AddItems(QTreeWidgetItem* parent, const std::vector<std::unique_ptr<TMailboxNode>>& nodes);
    // Shows the core's nodes again without reading the disk; selects `current`.
    void ShowNodes(const TMailboxNode* current);
    void StartEditing(TMailboxNode* node);
    void Renamed(QTreeWidgetItem* item);

    TFrmMailboxes& tree_;
    TFrmIndex& mainIndex_;
    bool filling_ = false;
};

// The tree with the buttons at the bottom of its window: "New Mailbox", "Delete Mailbox" and
// the new folder button.
class MailboxPane : public QWidget {
    Q_OBJECT
  public:
    MailboxPane(TFrmMailboxes& tree, TFrmIndex& mainIndex, QWidget* parent = nullptr);
    MailboxTree* Tree() const { return tree_; }

  private:
    MailboxTree* tree_ = nullptr;
};

}  // namespace kivo::ui
