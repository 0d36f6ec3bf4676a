#include "ui/indexpane.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/indexmodel.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

// The list of rows: dragging its selection says what a drop does, and rows dragged from
// another list can be dropped on it.
class IndexList : public QTableView {
  public:
    explicit IndexList(IndexPane* pane) : QTableView(pane), pane_(pane) {}

  protected:
    void startDrag(Qt::DropActions actions) override {
        emit pane_->DragStarted();
        QTableView::startDrag(actions);
        emit pane_->DragEnded();
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (Accepts(event)) event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (!Accepts(event)) {
            event->ignore();
            return;
        }
        event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction
                                                                        : Qt::MoveAction);
        event->accept();
    }
    void dropEvent(QDropEvent* event) override {
        if (!Accepts(event)) return;
        const bool copy = event->modifiers() & Qt::ControlModifier;
        // The lists refresh themselves from the drop; the source must not remove rows itself.
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
        pane_->DropMessages(event->source(), copy);
    }

  private:
    // Messages from another list of this program.
    bool Accepts(const QDropEvent* event) const {
        return event->mimeData()->hasFormat(kMessagesMime) && event->source() &&
               event->source() != this;
    }
    IndexPane* pane_;
};

}  // namespace

IndexPane::IndexPane(TFrmIndex& index, QWidget* parent) : QWidget(parent), index_(index) {
    setObjectName("indexPane");
    model_ = new IndexModel(index_, this);
    list_ = new IndexList(this);
    list_->setObjectName("messageList");
    list_->setAccessibleName("Messages");
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragDrop);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setTabKeyNavigation(false);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    // Every row as high as the font: the list never measures its rows.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = list_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    // The columns keep the widths they are given; the space left over stays empty rather than
    // widening Priority.
    header->setStretchLastSection(false);
    // The subject takes whatever width the other columns leave, so the list fills its pane
    // at any window size and the widths sum to the viewport's.
    header->setSectionResizeMode(icSubject, QHeaderView::Stretch);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        index_.SortByColumn(static_cast<TIndexColumn>(column));
        model_->Reload();
        SyncSelectionToView();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (syncing_) return;
                for (const QItemSelectionRange& r : deselected) {
                    for (int row = r.top(); row <= r.bottom(); ++row)
                        index_.SetSelected(row, false);
                }
                for (const QItemSelectionRange& r : selected) {
                    for (int row = r.top(); row <= r.bottom(); ++row) index_.SetSelected(row, true);
                }
                emit SelectionChanged();
            });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (syncing_) return;
                index_.SetFocused(current.row());
                emit SelectionChanged();
            });

    // The list's own key: the pop-up menu's item only shows it.
    auto* unread = new QAction("Toggle &Unread/Read", list_);
    unread->setObjectName("toggleUnread");
    unread->setShortcut(QKeySequence("Ctrl+Shift+U"));
    unread->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(unread);
    connect(unread, &QAction::triggered, this, &IndexPane::ToggleUnread);

    // The title panel: the mailbox's name, and at its right the Show controls.
    auto* title = new QWidget(this);
    title->setObjectName("indexTitle");
    auto* mailbox = new QLabel("Mailbox:", title);
    name_ = new QLabel(title);
    name_->setObjectName("mailboxName");
    name_->setAccessibleName("Mailbox");
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    auto* show = new QLabel("Show", title);
    criterion_ = new QComboBox(title);
    criterion_->setObjectName("showCriterion");
    criterion_->setAccessibleName("Show");
    for (int k = 0; k < kShowCriterionCount; ++k) criterion_->addItem(ToQ(ShowCriterionText(k)));
    show->setBuddy(criterion_);
    auto* containing = new QLabel("containing", title);
    text_ = new QLineEdit(title);
    text_->setObjectName("showText");
    text_->setAccessibleName("containing");
    containing->setBuddy(text_);
    go_ = new QPushButton("Go!", title);
    go_->setObjectName("showGo");
    go_->setAccessibleName("Go!");
    hideRest_ = new QCheckBox("Hide rest", title);
    hideRest_->setObjectName("hideRest");
    hideRest_->setAccessibleName("Hide rest");
    auto* row = new QHBoxLayout(title);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(mailbox);
    row->addWidget(name_);
    row->addStretch(1);
    row->addWidget(show);
    row->addWidget(criterion_);
    row->addWidget(containing);
    row->addWidget(text_);
    row->addWidget(go_);
    row->addWidget(hideRest_);
    close_ = new QToolButton(title);
    close_->setObjectName("closeIndex");
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::TabFocus);
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    row->addWidget(close_);
    connect(close_, &QToolButton::clicked, this, &IndexPane::CloseRequested);
    SetSeparate(false);
    text_->setMinimumWidth(QFontMetrics(text_->font()).averageCharWidth() * 14);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(list_, 1);
    setFocusProxy(list_);

    connect(go_, &QPushButton::clicked, this, &IndexPane::ApplyFilter);
    connect(text_, &QLineEdit::returnPressed, this, &IndexPane::ApplyFilter);
    connect(criterion_, &QComboBox::activated, this, &IndexPane::ApplyFilter);
    connect(hideRest_, &QCheckBox::clicked, this, &IndexPane::ApplyFilter);
    // Leaving the text field applies what was typed.
    text_->installEventFilter(this);
    UpdateTitle();
}

void IndexPane::ToggleUnread() {
    if (index_.SelectedRows().empty()) return;
    index_.ToggleUnread(false);
    Reload();
}

bool IndexPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_ && event->type() == QEvent::FocusOut &&
        FromQ(text_->text()) != index_.ShowText() && index_.FilterActive()) {
        ApplyFilter();
    }
    return QWidget::eventFilter(watched, event);
}

void IndexPane::SetSeparate(bool separate) {
    const QString tip = separate ? "Close the message index window"
                                 : "Show the message index in a window of its own";
    close_->setToolTip(tip);
    close_->setAccessibleName(separate ? "Close message index" : "Separate message index");
    close_->setIcon(style()->standardIcon(separate ? QStyle::SP_TitleBarCloseButton
                                                   : QStyle::SP_TitleBarNormalButton));
}

void IndexPane::DropMessages(QObject* source, bool copy) {
    emit MessagesDropped(source, copy);
}

void IndexPane::ApplyFilter() {
    index_.ApplyFilter(criterion_->currentIndex(), FromQ(text_->text()), hideRest_->isChecked());
    Reload();
    emit FilterApplied();
}

void IndexPane::Reload() {
    model_->Reload();
    SyncSelectionToView();
    UpdateTitle();
}

void IndexPane::UpdateTitle() {
    name_->setText(ToQ(index_.MailboxName));
    // The filter's settings stay across mailboxes; the controls show them.
    if (criterion_->currentIndex() != index_.Criterion()) {
        criterion_->setCurrentIndex(index_.Criterion());
    }
    if (FromQ(text_->text()) != index_.ShowText() && !text_->hasFocus()) {
        text_->setText(ToQ(index_.ShowText()));
    }
    hideRest_->setChecked(index_.HideRest());
    text_->setEnabled(ShowCriterionTakesText(criterion_->currentIndex()));
}

void IndexPane::SyncSelectionToView() {
    syncing_ = true;
    QItemSelection selection;
    const std::vector<int> rows = index_.SelectedRows();
    for (std::size_t k = 0; k < rows.size();) {
        std::size_t end = k;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
        selection.select(model_->index(rows[k], 0), model_->index(rows[end], 5));
        k = end + 1;
    }
    QItemSelectionModel* sm = list_->selectionModel();
    sm->select(selection, QItemSelectionModel::ClearAndSelect);
    const int focused = index_.Focused();
    if (focused >= 0 && focused < index_.RowCount()) {
        sm->setCurrentIndex(model_->index(focused, 0), QItemSelectionModel::NoUpdate);
        list_->scrollTo(model_->index(focused, 0));
    }
    syncing_ = false;
}

void IndexPane::FitDefaultWidths() {
    // What the columns must hold in the list's font: a whole date, a sender's name and
    // address, a size in bytes and the longest priority word, each with the cell's margins.
    const QFontMetrics fm(model_->ListFont());
    const int pad = fm.averageCharWidth() * 2 + 8;
    const int icon = 20;
    const std::array<int, 6> widths = {
        fm.averageCharWidth() * 36 + icon + pad,
        fm.horizontalAdvance("Someone Longername <someone@example.com>") * 3 / 4 + pad,
        DateColumnWidth(),
        std::max(fm.horizontalAdvance("0000000"), fm.horizontalAdvance("Size")) + pad,
        fm.horizontalAdvance("someone@example.com") + pad,
        std::max(fm.horizontalAdvance("Highest"), fm.horizontalAdvance("Priority")) + pad,
    };
    for (int k = 0; k < 6; ++k) list_->setColumnWidth(k, widths[static_cast<std::size_t>(k)]);
}

int IndexPane::DateColumnWidth() const {
    // The widest date the list can show: the program's "DD/MM/YYYY hh:nn:ss" written with
    // the font's widest digit, in the bold of unread rows, with the cell's margins.
    QFont bold = model_->ListFont();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    QChar widest = '0';
    for (char c = '0'; c <= '9'; ++c) {
        if (fm.horizontalAdvance(QChar(c)) > fm.horizontalAdvance(widest)) widest = QChar(c);
    }
    QString date = "00/00/0000 00:00:00";
    date.replace('0', widest);
    const QFontMetrics plain(model_->ListFont());
    return fm.horizontalAdvance(date) + plain.averageCharWidth() * 2 + 8;
}

void IndexPane::SetColumnWidths(const std::array<int, 6>& widths) {
    for (int k = 0; k < 6; ++k) list_->setColumnWidth(k, widths[static_cast<std::size_t>(k)]);
    FitDateColumn();
}

void IndexPane::FitDateColumn() {
    const int needed = DateColumnWidth();
    if (list_->columnWidth(icDate) < needed) list_->setColumnWidth(icDate, needed);
}

}  // namespace kivo::ui
