#include "ui/mailboxtree.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QStyle>

#include "addressbook/contactdrag.h"
#include "store/KivoIndex.h"
#include "ui/indexmodel.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

QIcon NodeIcon(int icon) {
    QStyle* style = QApplication::style();
    switch (icon) {
        case niFolder:
            return style->standardIcon(QStyle::SP_DirClosedIcon);
        case niFolderExpanded:
            return style->standardIcon(QStyle::SP_DirOpenIcon);
        case niTrash:
            return style->standardIcon(QStyle::SP_TrashIcon);
        case niOpenMailbox:
            return IndexModel::IconOf(0);
        default:
            return IndexModel::IconOf(2);
    }
}

}  // namespace

MailboxTree::MailboxTree(TFrmMailboxes& tree, TFrmIndex& mainIndex, QWidget* parent)
    : QTreeWidget(parent), tree_(tree), mainIndex_(mainIndex) {
    setObjectName("mailboxTree");
    setAccessibleName("Mailboxes");
    setHeaderHidden(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        TMailboxNode* node = NodeOf(item);
        bool opened = false;
        if (node) Guard([&] { opened = tree_.Open(node); });
        if (opened) {
            emit MailboxOpened();
            // The items go when the tree is read again: not inside their own signal.
            QMetaObject::invokeMethod(this, &MailboxTree::Rebuild, Qt::QueuedConnection);
        }
    });
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { emit itemActivated(item, 0); });
}

void MailboxTree::Rebuild() {
    tree_.Init();
    tree_.RevealOpenMailbox();
    clear();
    AddItems(nullptr, tree_.TopLevel());
    expandAll();
}

void MailboxTree::AddItems(QTreeWidgetItem* parent,
                           const std::vector<std::unique_ptr<TMailboxNode>>& nodes) {
    for (const auto& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, ToQ(node->Text));
        item->setIcon(0, NodeIcon(node->Icon));
        item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(node.get())));
        item->setData(0, Qt::AccessibleTextRole, ToQ(node->Text));
        if (node->Icon == niOpenMailbox) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
            setCurrentItem(item);
        }
        AddItems(item, node->Children);
    }
}

TMailboxNode* MailboxTree::NodeOf(const QTreeWidgetItem* item) const {
    return item ? static_cast<TMailboxNode*>(item->data(0, kNodeRole).value<void*>()) : nullptr;
}

QTreeWidgetItem* MailboxTree::ItemOf(const QString& relPath) const {
    TMailboxNode* node = tree_.FindNode(FromQ(relPath));
    if (!node) return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<MailboxTree*>(this)); *it; ++it) {
        if (NodeOf(*it) == node) return *it;
    }
    return nullptr;
}

void MailboxTree::DropMessagesOn(TMailboxNode* node, bool copy) {
    if (!node || node->IsFolder() || mainIndex_.SelectedRows().empty()) return;
    if (Guard([&] { tree_.DropMessages(mainIndex_, node, copy); })) emit MessagesDropped();
}

TMailboxNode* MailboxTree::DropContactOn(const TContactDrag& drag, TMailboxNode* node) {
    if (!Scripts) return nullptr;
    TMailboxNode* target = nullptr;
    std::string relPath;
    const bool done = Guard([&] {
        target = tree_.DropContact(drag.contact.first, drag.contact.last, drag.contact.email, node,
                                   *Scripts);
        if (target) relPath = tree_.GetRelPath(target);
    });
    if (!done || !target) return nullptr;
    // The new node's item: the tree is read again, the nodes with it.
    Rebuild();
    return tree_.FindNode(relPath);
}

void MailboxTree::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data->hasFormat(kMessagesMime) || data->hasFormat(kContactMime)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MailboxTree::dragMoveEvent(QDragMoveEvent* event) {
    const TMailboxNode* node = NodeOf(itemAt(event->position().toPoint()));
    if (event->mimeData()->hasFormat(kContactMime)) {
        // A contact is taken anywhere: on a mailbox, a folder or below the last node.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else if (event->mimeData()->hasFormat(kMessagesMime) && node && !node->IsFolder()) {
        event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction
                                                                        : Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MailboxTree::dropEvent(QDropEvent* event) {
    TMailboxNode* node = NodeOf(itemAt(event->position().toPoint()));
    if (event->mimeData()->hasFormat(kContactMime)) {
        const std::optional<TContactDrag> drag =
            DecodeContactDrag(event->mimeData()->data(kContactMime).toStdString());
        event->setDropAction(Qt::CopyAction);
        event->accept();
        // The mailbox is made once the drag is over; the node is found again by its path.
        if (drag) {
            const std::string relPath = node ? tree_.GetRelPath(node) : std::string();
            QMetaObject::invokeMethod(
                this,
                [this, contact = *drag, relPath] {
                    DropContactOn(contact, relPath.empty() ? nullptr : tree_.FindNode(relPath));
                },
                Qt::QueuedConnection);
        }
        return;
    }
    if (!event->mimeData()->hasFormat(kMessagesMime)) return;
    const bool copy = event->modifiers() & Qt::ControlModifier;
    // The list refreshes itself from the drop; the view must not remove rows of its own.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    DropMessagesOn(node, copy);
}

}  // namespace kivo::ui
