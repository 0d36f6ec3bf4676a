#include "ui/mailboxtree.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

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
    // Names are edited by the Rename command (F2) and after New; a click opens.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!filling_) tree_.Select(NodeOf(current));
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (!filling_) Renamed(item);
    });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (TMailboxNode* node = NodeOf(item); node && node->IsFolder()) {
            node->Icon = niFolderExpanded;
            item->setIcon(0, NodeIcon(niFolderExpanded));
        }
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (TMailboxNode* node = NodeOf(item); node && node->IsFolder()) {
            node->Icon = niFolder;
            item->setIcon(0, NodeIcon(niFolder));
        }
    });
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
    // The items point at the nodes Init replaces: they go first.
    filling_ = true;
    clear();
    filling_ = false;
    tree_.Init();
    tree_.RevealOpenMailbox();
    ShowNodes(tree_.Selected());
    expandAll();
}

void MailboxTree::ShowNodes(const TMailboxNode* current) {
    filling_ = true;
    clear();
    AddItems(nullptr, tree_.TopLevel());
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const TMailboxNode* node = NodeOf(*it);
        if (node->Icon == niFolderExpanded) (*it)->setExpanded(true);
        if (node == current) setCurrentItem(*it);
    }
    filling_ = false;
    tree_.Select(NodeOf(currentItem()));
}

void MailboxTree::StartEditing(TMailboxNode* node) {
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (NodeOf(*it) != node) continue;
        setCurrentItem(*it);
        scrollToItem(*it);
        editItem(*it, 0);
        return;
    }
}

void MailboxTree::NewMailbox() {
    TMailboxNode* node = nullptr;
    if (!Guard([&] { node = tree_.NewMailbox(); }) || !node) return;
    ShowNodes(node);
    StartEditing(node);
}

void MailboxTree::NewFolder() {
    TMailboxNode* node = nullptr;
    if (!Guard([&] { node = tree_.NewFolder(); }) || !node) return;
    ShowNodes(node);
    StartEditing(node);
}

void MailboxTree::RenameSelected() {
    if (TMailboxNode* node = NodeOf(currentItem())) StartEditing(node);
}

void MailboxTree::Renamed(QTreeWidgetItem* item) {
    TMailboxNode* node = NodeOf(item);
    if (!node) return;
    const std::string text = FromQ(item->text(0));
    if (text == node->Text) return;
    const std::string open = mainIndex_.MailboxName;
    Guard([&] { tree_.Rename(node, text); });
    // The item shows the node's final name (the old one after a refusal).
    filling_ = true;
    item->setText(0, ToQ(node->Text));
    item->setData(0, Qt::AccessibleTextRole, ToQ(node->Text));
    filling_ = false;
    if (mainIndex_.MailboxName != open) emit OpenMailboxChanged();
}

void MailboxTree::DeleteSelected() {
    TMailboxNode* node = NodeOf(currentItem());
    if (!node) return;
    tree_.Select(node);
    const std::string open = mainIndex_.MailboxName;
    TMailboxNode* parent = node->Parent;
    Guard([&] { tree_.DeleteSelected(); });
    // The node may be gone: the items are made again from the nodes left.
    ShowNodes(tree_.Selected() ? tree_.Selected() : parent);
    if (mainIndex_.MailboxName != open) emit OpenMailboxChanged();
}

void MailboxTree::Refresh() {
    Rebuild();
}

void MailboxTree::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Delete) {
            DeleteSelected();
            return;
        }
    }
    QTreeWidget::keyPressEvent(event);
}

void MailboxTree::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const QTreeWidgetItem* item =
        event->reason() == QContextMenuEvent::Keyboard ? currentItem() : itemAt(event->pos());
    const TMailboxNode* node = NodeOf(item);
    if (node && !node->IsFolder()) {
        const QString relPath = ToQ(tree_.GetRelPath(node));
        menu.addAction("Open in New &Window", this, [this, relPath] { emit OpenInWindow(relPath); })
            ->setObjectName("openInWindow");
        menu.addSeparator();
    }
    menu.addAction("&Refresh", this, &MailboxTree::Refresh);
    menu.exec(event->globalPos());
}

void MailboxTree::AddItems(QTreeWidgetItem* parent,
                           const std::vector<std::unique_ptr<TMailboxNode>>& nodes) {
    for (const auto& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, ToQ(node->Text));
        item->setIcon(0, NodeIcon(node->Icon));
        item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(node.get())));
        item->setData(0, Qt::AccessibleTextRole, ToQ(node->Text));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
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

void MailboxTree::DropMessagesOn(TMailboxNode* node, bool copy, TFrmIndex* source) {
    TFrmIndex& from = source ? *source : mainIndex_;
    if (!node || node->IsFolder() || from.SelectedRows().empty()) return;
    if (Guard([&] { tree_.DropMessages(from, node, copy); }))
        emit MessagesDropped(ToQ(tree_.GetRelPath(node)));
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
    DropMessagesOn(node, copy, SourceIndex ? SourceIndex(event->source()) : nullptr);
}

MailboxPane::MailboxPane(TFrmMailboxes& tree, TFrmIndex& mainIndex, QWidget* parent)
    : QWidget(parent) {
    setObjectName("mailboxPane");
    tree_ = new MailboxTree(tree, mainIndex, this);
    auto* newMailbox = new QPushButton("New Mailbox", this);
    newMailbox->setObjectName("newMailboxButton");
    auto* deleteMailbox = new QPushButton("Delete Mailbox", this);
    deleteMailbox->setObjectName("deleteMailboxButton");
    auto* newFolder = new QPushButton(
        QApplication::style()->standardIcon(QStyle::SP_FileDialogNewFolder), QString(), this);
    newFolder->setObjectName("newFolderButton");
    newFolder->setAccessibleName("New Folder");
    newFolder->setToolTip("New Folder");
    connect(newMailbox, &QPushButton::clicked, tree_, &MailboxTree::NewMailbox);
    connect(deleteMailbox, &QPushButton::clicked, tree_, &MailboxTree::DeleteSelected);
    connect(newFolder, &QPushButton::clicked, tree_, &MailboxTree::NewFolder);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->addWidget(newMailbox, 1);
    buttons->addWidget(deleteMailbox, 1);
    buttons->addWidget(newFolder);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);
    setFocusProxy(tree_);
}

}  // namespace kivo::ui
