#include "ui/messagepane.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>

#include "ui/messageview.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

// The attachments pane's width when it shows.
constexpr int kAttachPaneWidth = 124;

QToolButton* StripButton(const QString& text, const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(hint);
    button->setAccessibleName(hint.isEmpty() ? text : hint);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

// --- AttachmentModel ---

AttachmentModel::AttachmentModel(const TFrmMsg& msg, QObject* parent)
    : QAbstractListModel(parent), msg_(msg) {}

int AttachmentModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(msg_.Attachments().size());
}

QVariant AttachmentModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const TMsgAttachment& item = msg_.Attachments()[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return ToQ(item.FileName);
        case Qt::ToolTipRole:
            return item.Found ? QString::fromStdString(item.File.string())
                              : ToQ(kAttachMissingHint);
        case Qt::DecorationRole: {
            if (!item.Found) {
                const QString key = "\n missing";
                auto at = icons_.find(key);
                if (at == icons_.end()) {
                    QIcon icon = QIcon::fromTheme("image-missing");
                    if (icon.isNull()) {
                        icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
                    }
                    at = icons_.emplace(key, icon).first;
                }
                return at->second;
            }
            // The icon of the file's type, looked up once per type.
            const QString path = QString::fromStdString(item.File.string());
            const QString type =
                QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
            auto at = icons_.find(type);
            if (at == icons_.end()) {
                at = icons_.emplace(type, QFileIconProvider().icon(QFileInfo(path))).first;
            }
            return at->second;
        }
        default:
            return {};
    }
}

void AttachmentModel::Reload() {
    beginResetModel();
    endResetModel();
}

// --- MessagePane ---

MessagePane::MessagePane(TMsgOptions options, Platform& platform, bool separate, QWidget* parent)
    : QWidget(parent), msg_(options, *this, platform) {
    setObjectName(separate ? "separateMessagePane" : "messagePane");
    setAccessibleName("Message View");

    title_ = new QLabel(this);
    title_->setObjectName("messageTitle");
    title_->setAccessibleName("Subject");
    title_->setTextFormat(Qt::PlainText);
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont titleFont = title_->font();
    titleFont.setBold(true);
    title_->setFont(titleFont);
    title_->setContentsMargins(6, 3, 6, 3);
    title_->setAutoFillBackground(true);
    title_->setBackgroundRole(QPalette::AlternateBase);
    title_->installEventFilter(this);

    auto* strip = new QWidget(this);
    strip->setObjectName("senderStrip");
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(4, 0, 4, 0);
    stripLayout->setSpacing(4);
    fromButton_ = StripButton("From:", "Add sender to your address book", strip);
    fromButton_->setObjectName("fromButton");
    account_ = new QLabel("Account:", strip);
    account_->setObjectName("accountLabel");
    from_ = new QLabel(strip);
    from_->setObjectName("fromText");
    from_->setAccessibleName("From");
    from_->setTextFormat(Qt::PlainText);
    from_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    from_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sentButton_ = StripButton("Sent", "Show calendar", strip);
    sentButton_->setObjectName("sentButton");
    sentButton_->setCheckable(true);
    date_ = new QLabel(strip);
    date_->setObjectName("dateText");
    date_->setAccessibleName("Date");
    time_ = new QLabel(strip);
    time_->setObjectName("timeText");
    time_->setAccessibleName("Time");
    stripLayout->addWidget(fromButton_);
    stripLayout->addWidget(account_);
    stripLayout->addWidget(from_, 1);
    stripLayout->addWidget(sentButton_);
    stripLayout->addWidget(date_);
    stripLayout->addWidget(time_);

    calendar_ = new QCalendarWidget(this);
    calendar_->setObjectName("miniCalendar");
    calendar_->setAccessibleName("Message date");
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setMaximumHeight(180);
    calendar_->hide();
    connect(sentButton_, &QToolButton::toggled, calendar_, &QWidget::setVisible);
    connect(fromButton_, &QToolButton::clicked, this, [this] {
        if (hooks_.AddSender) hooks_.AddSender(msg_.FromText());
    });

    view_ = new MessageView(this);
    connect(view_, &MessageView::LinkClicked, this,
            [this](const QString& url, const QString& shown) {
                msg_.LinkClick(FromQ(url), FromQ(shown));
            });
    // The pane's own menu replaces the display's.
    view_->WebView()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_->WebView(), &QWidget::customContextMenuRequested, this,
            &MessagePane::ShowContextMenu);

    attachPane_ = new QWidget(this);
    attachPane_->setObjectName("attachmentsPane");
    auto* attachLayout = new QVBoxLayout(attachPane_);
    attachLayout->setContentsMargins(0, 0, 0, 0);
    attachLayout->setSpacing(0);
    QToolButton* attachButton = StripButton("Attachments:", "Open attachments folder", attachPane_);
    attachButton->setObjectName("attachmentsButton");
    attachButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    attachList_ = new QListView(attachPane_);
    attachList_->setObjectName("attachmentList");
    attachList_->setAccessibleName("Attachments");
    attachList_->setUniformItemSizes(true);
    attachList_->setTextElideMode(Qt::ElideMiddle);
    attachList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    attachList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    attachList_->setContextMenuPolicy(Qt::CustomContextMenu);
    attachList_->installEventFilter(this);
    attachModel_ = new AttachmentModel(msg_, this);
    attachList_->setModel(attachModel_);
    attachLayout->addWidget(attachButton);
    attachLayout->addWidget(attachList_, 1);
    connect(attachList_, &QListView::doubleClicked, this, &MessagePane::OpenAttachmentAt);
    connect(attachList_, &QWidget::customContextMenuRequested, this,
            &MessagePane::ShowAttachmentMenu);
    connect(attachButton, &QToolButton::clicked, this, [this] {
        if (hooks_.OpenAttachFolder) hooks_.OpenAttachFolder();
    });

    split_ = new QSplitter(Qt::Horizontal, this);
    split_->setObjectName("messageSplit");
    split_->setChildrenCollapsible(false);
    split_->addWidget(view_);
    split_->addWidget(attachPane_);
    split_->setStretchFactor(0, 1);
    split_->setHandleWidth(4);
    // The pane showing must not raise the splitter's minimum (the view's plus the pane's):
    // a window at its narrowest would widen by itself each time a message has attachments.
    split_->setMinimumWidth(1);
    attachPane_->hide();

    BuildActions(separate);
    // The strip's toggles and font buttons are the pane's actions.
    for (const char* name : {"headers", "fastRead", "fontLarger", "fontSmaller"}) {
        QAction* action = Action(name);
        if (!action) continue;
        auto* button = new QToolButton(strip);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setAccessibleName(action->toolTip());
        stripLayout->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title_);
    layout->addWidget(strip);
    layout->addWidget(calendar_, 0, Qt::AlignRight);
    layout->addWidget(split_, 1);
    SetHooks({});
    Clear();
}

MessagePane::~MessagePane() = default;

QAction* MessagePane::Action(const QString& name) const {
    const auto at = actions_.find(name);
    return at == actions_.end() ? nullptr : at->second;
}

QAction* MessagePane::AddAction(const QString& name, const QString& text, const QKeySequence& key) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(key);
    // The pane's keys work while it has the focus; the main window's own keys stay its own.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
    actions_[name] = action;
    return action;
}

void MessagePane::BuildActions(bool separate) {
    QAction* headers = AddAction("headers", "Show &Headers");
    headers->setCheckable(true);
    headers->setToolTip("Toggle Show Headers");
    headers->setIconText("Headers");
    connect(headers, &QAction::triggered, this, [this] {
        msg_.ToggleShowHeaders(hooks_.MainBusy && hooks_.MainBusy());
        Action("headers")->setChecked(msg_.ShowHeaders());
    });
    if (!separate) {
        QAction* fast = AddAction("fastRead", "Enable Fast R&eading");
        fast->setCheckable(true);
        fast->setToolTip("Toggle Fast Reading");
        fast->setIconText("Fast");
        connect(fast, &QAction::triggered, this, [this](bool on) {
            if (hooks_.SetFastRead) hooks_.SetFastRead(on);
        });
    }
    QAction* larger = AddAction("fontLarger", "Enlarge font");
    larger->setToolTip("Enlarge font");
    larger->setIconText("A+");
    connect(larger, &QAction::triggered, this, [this] {
        if (hooks_.ChangeFontSize) hooks_.ChangeFontSize(+1);
    });
    QAction* smaller = AddAction("fontSmaller", "Shrink font");
    smaller->setToolTip("Shrink font");
    smaller->setIconText("A-");
    connect(smaller, &QAction::triggered, this, [this] {
        if (hooks_.ChangeFontSize) hooks_.ChangeFontSize(-1);
    });
    // In a window of its own the keys are the window's; docked, the main window's Copy and
    // Select All act on the view when it has the focus.
    QAction* copy = AddAction("copy", "&Copy", separate ? QKeySequence::Copy : QKeySequence());
    connect(copy, &QAction::triggered, view_, &MessageView::Copy);
    QAction* all =
        AddAction("selectAll", "Select &All", separate ? QKeySequence::SelectAll : QKeySequence());
    connect(all, &QAction::triggered, view_, &MessageView::SelectAll);
    connect(AddAction("fonts", "Change Display F&onts..."), &QAction::triggered, this, [this] {
        if (hooks_.OpenOptions) hooks_.OpenOptions(TSettingsPage::Fonts);
    });
    connect(AddAction("colours", "Change Display Co&lours..."), &QAction::triggered, this, [this] {
        if (hooks_.OpenOptions) hooks_.OpenOptions(TSettingsPage::Colours);
    });
    connect(AddAction("rawView", "&View Raw Message..."), &QAction::triggered, this,
            [this] { msg_.ViewRawMessage(); });
    connect(AddAction("openAttachFolder", "&Open Attachments Folder"), &QAction::triggered, this,
            [this] {
                if (hooks_.OpenAttachFolder) hooks_.OpenAttachFolder();
            });
}

void MessagePane::SetHooks(MessagePaneHooks hooks) {
    hooks_ = std::move(hooks);
    Action("fontLarger")->setEnabled(static_cast<bool>(hooks_.ChangeFontSize));
    Action("fontSmaller")->setEnabled(static_cast<bool>(hooks_.ChangeFontSize));
    Action("openAttachFolder")->setEnabled(static_cast<bool>(hooks_.OpenAttachFolder));
    if (QAction* fast = Action("fastRead")) fast->setEnabled(static_cast<bool>(hooks_.SetFastRead));
    Action("fonts")->setEnabled(static_cast<bool>(hooks_.OpenOptions));
    Action("colours")->setEnabled(static_cast<bool>(hooks_.OpenOptions));
    fromButton_->setEnabled(static_cast<bool>(hooks_.AddSender));
}

bool MessagePane::ComposeMailTo(std::string_view mailto) {
    if (!hooks_.ComposeMailTo) return false;
    hooks_.ComposeMailTo(std::string(mailto));
    return true;
}

bool MessagePane::OpenAttachedMessage(const std::filesystem::path& file) {
    return hooks_.OpenAttachedMessage && hooks_.OpenAttachedMessage(file);
}

void MessagePane::SetFastReadChecked(bool on) {
    if (QAction* fast = Action("fastRead")) fast->setChecked(on);
}

void MessagePane::SetLook(const QString& family, int pointSize, const QColor& text,
                          const QColor& back, const QColor& link) {
    if (view_->SetLook(family, pointSize, text, back, link) && written_) ShowWritten();
}

void MessagePane::ShowWritten() {
    view_->ShowMessageHtml(msg_.Html(), msg_.IsHtml(),
                           [this](std::string_view reference) { return msg_.CidFile(reference); });
}

void MessagePane::Clear() {
    written_ = false;
    msg_.Number = -1;
    title_->clear();
    from_->clear();
    date_->clear();
    time_->clear();
    fromButton_->hide();
    account_->hide();
    sentButton_->setEnabled(false);
    sentButton_->setChecked(false);
    attachModel_->Reload();
    attachPane_->hide();
    view_->Clear();
}

void MessagePane::MessageWritten(const TFrmMsg& msg) {
    title_->setText(ToQ(msg.Title()));
    from_->setText(ToQ(msg.FromText()));
    fromButton_->setVisible(!msg.Outgoing());
    account_->setVisible(msg.Outgoing());
    date_->setText(ToQ(msg.DateText()));
    time_->setText(ToQ(msg.TimeText()));
    sentButton_->setEnabled(true);
    const DateTime& d = msg.Date();
    calendar_->setSelectedDate(QDate(d.year, d.month, d.day));
    Action("headers")->setChecked(msg.ShowHeaders());
    attachModel_->Reload();
    attachList_->setToolTip(ToQ(msg.AttachHint()));
    UpdateAttachPane();
    written_ = true;
    ShowWritten();
    emit Written();
}

void MessagePane::UpdateAttachPane() {
    const bool shown = msg_.AttachPaneVisible();
    if (shown == attachPane_->isVisible()) return;
    attachPane_->setVisible(shown);
    if (shown) {
        const int total = std::max(split_->width(), kAttachPaneWidth * 3);
        split_->setSizes({total - kAttachPaneWidth - split_->handleWidth(), kAttachPaneWidth});
    }
}

TQueryAttachAnswer MessagePane::QueryAttach() {
    QMessageBox box(QMessageBox::Warning, ToQ(kQueryAttachCaption), ToQ(kQueryAttachText),
                    QMessageBox::NoButton, window());
    QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
    QPushButton* no = box.addButton("&No", QMessageBox::NoRole);
    QPushButton* always = box.addButton("&Always Yes", QMessageBox::AcceptRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() == yes) return TQueryAttachAnswer::Yes;
    if (box.clickedButton() == always) return TQueryAttachAnswer::AlwaysYes;
    return TQueryAttachAnswer::No;
}

void MessagePane::OpenAttachmentAt(const QModelIndex& index) {
    if (!index.isValid()) return;
    msg_.OpenAttachment(static_cast<std::size_t>(index.row()));
}

void MessagePane::ShowAttachmentMenu(const QPoint& at) {
    // The desktop has no common context menu for a file: the pane offers its own.
    QMenu menu(this);
    const QModelIndex index = attachList_->indexAt(at);
    if (index.isValid()) {
        menu.addAction("O&pen", this, [this, index] { OpenAttachmentAt(index); });
        menu.addSeparator();
    }
    menu.addAction("Hide &Attachments Pane", this, [this] { attachPane_->hide(); });
    menu.addAction(Action("openAttachFolder"));
    menu.exec(attachList_->viewport()->mapToGlobal(at));
}

void MessagePane::ShowContextMenu(const QPoint& at) {
    Action("copy")->setEnabled(view_->HasSelection());
    QMenu menu(this);
    for (const char* name : {"headers", "fastRead", "", "fonts", "colours", "", "copy", "selectAll",
                             "", "rawView", "openAttachFolder"}) {
        if (*name == '\0') {
            menu.addSeparator();
        } else if (QAction* action = Action(name)) {
            menu.addAction(action);
        }
    }
    menu.exec(view_->WebView()->mapToGlobal(at));
    Action("copy")->setEnabled(true);
}

bool MessagePane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == title_ && event->type() == QEvent::MouseButtonRelease) {
        if (hooks_.TitleClick) hooks_.TitleClick();
        return false;
    }
    if (watched == attachList_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OpenAttachmentAt(attachList_->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kivo::ui
