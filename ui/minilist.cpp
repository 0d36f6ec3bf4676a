#include "ui/minilist.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDrag>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

#include "addressbook/contactdrag.h"
#include "ui/addressdrop.h"
#include "ui/indexmodel.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

namespace {

// The selector's choices, in the order of TListField.
constexpr const char* kChoices[] = {"By First/Nickname", "By Last name", "By E-mail address"};

TRect RectOf(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect ScreenOf(const QWidget* widget) {
    QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

// The field a control stands for: its name, or the name of the control it is part of.
TAddressField FieldOf(QWidget* widget, const QWidget* window) {
    for (QWidget* w = widget; w && w != window; w = w->parentWidget()) {
        for (const QString& name : {w->objectName(), w->accessibleName()}) {
            const TAddressField field = AddressFieldNamed(FromQ(name));
            if (field != TAddressField::None) return field;
        }
    }
    return TAddressField::None;
}

// Adds a line at the end of a text control and scrolls it into view; a one-line control
// takes it after ", ".
void AddLineTo(QWidget* widget, std::string_view line) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        AppendAddressLine(plain, line);
    } else if (auto* rich = qobject_cast<QTextEdit*>(widget)) {
        rich->setPlainText(
            ToQ(FieldWithLine(FromQ(rich->toPlainText()), line)).replace("\r\n", "\n"));
        rich->moveCursor(QTextCursor::End);
        rich->ensureCursorVisible();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(edit->text().isEmpty() ? ToQ(line) : edit->text() + ", " + ToQ(line));
        edit->end(false);
    }
}

}  // namespace

// A composer window as the link sees it: the control with its keyboard focus.
class MiniAddressList::Composer : public TLinkedComposer {
  public:
    explicit Composer(QWidget* window) : window(window) {}
    TAddressField FocusedField() const override {
        return window ? FieldOf(window->focusWidget(), window) : TAddressField::None;
    }
    void AddAddressLine(TAddressField field, std::string_view line) override {
        if (!window) return;
        for (QWidget* w = window->focusWidget(); w && w != window; w = w->parentWidget()) {
            if (FieldOf(w, window) != field) break;
            if (qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
                qobject_cast<QLineEdit*>(w)) {
                AddLineTo(w, line);
                return;
            }
        }
    }
    QPointer<QWidget> window;
};

MiniListView::MiniListView(const TfrmAddress& book, QWidget* parent)
    : QListWidget(parent), book_(book) {
    setObjectName("miniListEntries");
    setAccessibleName("Addresses");
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QStringList MiniListView::mimeTypes() const {
    return {kContactMime, "text/plain"};
}

QMimeData* MiniListView::mimeData(const QList<QListWidgetItem*>& items) const {
    if (items.isEmpty()) return nullptr;
    const std::optional<TContactDrag> drag =
        DragOfEntry(book_, book_.ShownBy(), FromQ(items.front()->text()));
    if (!drag) return nullptr;
    auto* data = new QMimeData;
    data->setData(kContactMime, QByteArray::fromStdString(EncodeContactDrag(*drag)));
    data->setText(ToQ(ContactDragText(*drag)));
    return data;
}

void MiniListView::startDrag(Qt::DropActions) {
    QListWidgetItem* item = currentItem();
    if (!item) return;
    QMimeData* data = mimeData({item});
    if (!data) return;
    // A copy, always: the entry stays in the list whatever the target makes of it.
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void MiniListView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(kMessagesMime)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void MiniListView::dragMoveEvent(QDragMoveEvent* event) {
    QListWidgetItem* item = itemAt(event->position().toPoint());
    if (!event->mimeData()->hasFormat(kMessagesMime) || !item) {
        event->ignore();
        return;
    }
    // The entry under the pointer is the one the messages go to.
    setCurrentItem(item);
    event->acceptProposedAction();
}

void MiniListView::dropEvent(QDropEvent* event) {
    QListWidgetItem* item = itemAt(event->position().toPoint());
    if (!event->mimeData()->hasFormat(kMessagesMime) || !item) return;
    // The messages stay where they are: nothing leaves the source list.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    emit MessagesDropped(item->text());
}

void MiniListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        emit itemClicked(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

BackWindow::BackWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName("backToMessage");
    setWindowTitle("Kivo");
    setAccessibleName("Back to the message");
    auto* label = new QLabel(kBackCaption, this);
    auto* button = new QPushButton(kBackButton, this);
    button->setObjectName("backButton");
    button->setAccessibleName("Back to the message");
    connect(button, &QPushButton::clicked, this, [this] {
        if (Composer) {
            Composer->show();
            Composer->raise();
            Composer->activateWindow();
        }
        hide();
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(label);
    layout->addWidget(button);
    adjustSize();
}

MiniAddressList::MiniAddressList(QtPlatform& platform, QWidget* parent)
    : QDockWidget("Addresses", parent), platform_(platform) {
    setObjectName("miniList");
    setAccessibleName("Addresses");
    auto* body = new QWidget(this);
    selector_ = new QComboBox(body);
    selector_->setObjectName("miniListField");
    selector_->setAccessibleName("List addresses");
    for (const char* choice : kChoices) selector_->addItem(choice);
    selector_->setCurrentIndex(book_.ShownBy());
    entries_ = new MiniListView(book_, body);
    auto* details = new QPushButton("Details...", body);
    details->setObjectName("miniListDetails");
    details->setToolTip("Open the address book");
    auto* copy = new QPushButton("&Copy E-mail Address", body);
    copy->setObjectName("miniListCopy");
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(selector_);
    layout->addWidget(entries_, 1);
    layout->addWidget(copy);
    layout->addWidget(details);
    setWidget(body);
    back_ = new BackWindow(this);
    back_->hide();

    connect(selector_, &QComboBox::currentIndexChanged, this, [this](int index) {
        book_.ShowBy(static_cast<TListField>(std::clamp(index, 0, 2)));
        Refill();
    });
    connect(entries_, &QListWidget::itemClicked, this, &MiniAddressList::EntryClicked);
    connect(entries_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (OpenComposer) OpenComposer(FromQ(item->text()));
    });
    connect(entries_, &MiniListView::MessagesDropped, this, &MiniAddressList::MessagesDropped);
    connect(copy, &QPushButton::clicked, this, &MiniAddressList::CopyEmail);
    connect(details, &QPushButton::clicked, this, [this] {
        if (OpenEditor) OpenEditor();
    });
}

MiniAddressList::~MiniAddressList() = default;

void MiniAddressList::Init(const std::filesystem::path& addressFile) {
    try {
        book_.Init(addressFile);
    } catch (const std::exception& e) {
        platform_.ShowMessage(e.what());
    }
    Refill();
}

void MiniAddressList::Refill() {
    const QString current = entries_->currentItem() ? entries_->currentItem()->text() : QString();
    entries_->clear();
    for (const std::string& entry : book_.Listed()) entries_->addItem(ToQ(entry));
    const QList<QListWidgetItem*> same = entries_->findItems(current, Qt::MatchExactly);
    if (!same.isEmpty()) entries_->setCurrentItem(same.front());
}

void MiniAddressList::ShowHighlight() {
    QPalette palette = entries_->palette();
    if (link_.Highlighted()) {
        palette.setColor(QPalette::Base, QColor(255, 255, 0));
        palette.setColor(QPalette::Text, Qt::black);
    } else {
        palette = QApplication::palette(entries_);
    }
    entries_->setPalette(palette);
}

void MiniAddressList::EntryClicked(QListWidgetItem* item) {
    link_.Clicked();
    ShowHighlight();
    if (!item || !link_.EntryReleased(FromQ(item->text()))) return;
    const QRect cell = entries_->visualItemRect(item);
    platform_.ShowTipAt(kAddressAddedTip, entries_->viewport()->mapToGlobal(cell.bottomLeft()));
}

void MiniAddressList::CopyEmail() {
    QListWidgetItem* item = entries_->currentItem();
    if (!item) return;
    const std::string email = book_.EmailOfEntry(book_.ShownBy(), FromQ(item->text()));
    if (!email.empty()) QApplication::clipboard()->setText(ToQ(email));
}

void MiniAddressList::LinkComposer(QWidget* composer) {
    if (!composer) return;
    auto linked = std::make_unique<Composer>(composer);
    link_.Link(*linked);
    composer_ = std::move(linked);
    connect(composer, &QObject::destroyed, this, [this, composer] { UnlinkComposer(composer); });
    if (!isFloating()) {
        if (auto* main = qobject_cast<QMainWindow*>(parentWidget()))
            dockedBefore_ = main->dockWidgetArea(this);
        setFloating(true);
    }
    show();
    const TRect place = BesideComposer(RectOf(composer->frameGeometry()), width(), height(),
                                       RectOf(ScreenOf(this)));
    move(place.left, place.top);
    raise();
    ShowHighlight();
    platform_.ShowTipAt(kPickAddressesTip, entries_->mapToGlobal(QPoint(0, 0)));
    ShowBack(composer);
}

void MiniAddressList::ShowBack(QWidget* composer) {
    back_->Composer = composer;
    back_->adjustSize();
    const TPoint at = BackWindowAt(RectOf(frameGeometry()), back_->width(), back_->height(),
                                   RectOf(ScreenOf(this)));
    back_->move(at.x, at.y);
    back_->show();
    back_->raise();
}

void MiniAddressList::UnlinkComposer(QWidget* composer) {
    if (!composer_) return;
    // A composer on its way out has cleared its guarded pointer already.
    if (composer_->window && composer_->window.data() != composer) return;
    link_.Unlink(*composer_);
    composer_.reset();
    back_->hide();
    back_->Composer = nullptr;
    ShowHighlight();
    if (dockedBefore_) {
        if (auto* main = qobject_cast<QMainWindow*>(parentWidget())) {
            setFloating(false);
            main->addDockWidget(*dockedBefore_, this);
        }
        dockedBefore_.reset();
    }
}

void MiniAddressList::Place(const TListPlace& place, QMainWindow& main) {
    const TDockSide side = place.Side();
    const TDockAlign align = DockAlignOf(place.align);
    const Qt::Orientation stacking =
        align == daLeft || align == daRight ? Qt::Horizontal : Qt::Vertical;
    main.addDockWidget(side == TDockSide::Right ? Qt::RightDockWidgetArea : Qt::LeftDockWidgetArea,
                       this, stacking);
    if (side == TDockSide::Floating) {
        setFloating(true);
        resize(place.width, place.height);
        const QRect screen = ScreenOf(&main);
        // A place saved on a larger screen comes back onto this one.
        move(std::clamp(place.left, screen.left(), std::max(screen.left(), screen.right() - 60)),
             std::clamp(place.top, screen.top(), std::max(screen.top(), screen.bottom() - 60)));
    } else {
        main.resizeDocks({this}, {std::max(60, place.width)}, Qt::Horizontal);
    }
    setVisible(place.visible);
}

TListPlace MiniAddressList::PlaceToKeep(const TListPlace& before) const {
    auto* main = qobject_cast<QMainWindow*>(parentWidget());
    if (isFloating() || !main) {
        const QRect frame = geometry();
        return kivo::PlaceToKeep(TDockSide::Floating, RectOf(frame), false, std::nullopt,
                                 isVisible(), before);
    }
    const Qt::DockWidgetArea area = main->dockWidgetArea(const_cast<MiniAddressList*>(this));
    // Where it stands among the other windows docked on its side.
    std::optional<int> offset;
    bool sideBySide = false;
    for (QDockWidget* other : main->findChildren<QDockWidget*>()) {
        if (other == this || other->isFloating() || !other->isVisible() ||
            main->dockWidgetArea(other) != area)
            continue;
        sideBySide = other->y() == y() && other->x() != x();
        const int top = std::min(other->y(), y());
        const int left = std::min(other->x(), x());
        offset = sideBySide ? x() - left : y() - top;
    }
    return kivo::PlaceToKeep(area == Qt::RightDockWidgetArea ? TDockSide::Right : TDockSide::Left,
                             RectOf(geometry()), sideBySide, offset, isVisible(), before);
}

void MiniAddressList::closeEvent(QCloseEvent* event) {
    if (!isFloating() && parentWidget()) {
        const QPoint main = parentWidget()->window()->pos();
        setFloating(true);
        const TPoint at = FloatPlaceOnClose({main.x(), main.y()});
        move(at.x, at.y);
    }
    back_->hide();
    QDockWidget::closeEvent(event);
}

bool MiniAddressList::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && link_.Highlighted()) {
        link_.Deactivated();
        ShowHighlight();
    }
    return QDockWidget::event(event);
}

}  // namespace kivo::ui
