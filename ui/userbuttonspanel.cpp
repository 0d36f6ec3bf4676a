#include "ui/userbuttonspanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "ui/qtext.h"

namespace kivo::ui {

namespace {

constexpr int kHandleWidth = 8;
// The width stored for a collapsed panel: the handle and a small gap.
constexpr int kCollapsedWidth = kHandleWidth + 4;

}  // namespace

UserButtonsPanel::UserButtonsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("userButtons");
    setAccessibleName("User buttons");
    handle_ = new QToolButton(this);
    handle_->setObjectName("userButtonsHandle");
    handle_->setAccessibleName("Show or hide the user buttons");
    handle_->setToolTip("Show or hide the user buttons");
    handle_->setFixedWidth(kHandleWidth);
    handle_->setAutoRaise(true);
    handle_->setText(QString::fromUtf8("\u22ee"));  // a vertical ellipsis as the grip
    connect(handle_, &QToolButton::clicked, this, [this] {
        SetCollapsed(!collapsed_);
        emit WidthChanged(ShowingWidth());
    });
    row_ = new QWidget(this);
    // Two rows of five, "1".."5" above "6".."0", in a slightly smaller font, so the ten fit
    // beside the toolbar's own buttons.
    auto* grid = new QGridLayout(row_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    QFont small = font();
    if (small.pointSizeF() > 7) small.setPointSizeF(small.pointSizeF() - 1);
    for (std::size_t n = 0; n < buttons_.size(); ++n) {
        const QString prefix = ToQ(UserButtonKeyPrefix(n));
        auto* button = new QToolButton(row_);
        button->setObjectName("user" + prefix);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setAutoRaise(false);
        button->setFont(small);
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        button->hide();
        connect(button, &QToolButton::clicked, this, [this, prefix] { emit Clicked(prefix); });
        grid->addWidget(button, static_cast<int>(n / 5), static_cast<int>(n % 5));
        buttons_[n] = button;
    }
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("userButtonsArea");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(false);
    scroll_->setWidget(row_);
    scroll_->setMinimumWidth(0);
    scroll_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    scroll_->viewport()->setAutoFillBackground(false);
    row_->setAutoFillBackground(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(2);
    layout->addStretch(0);
    layout->addWidget(handle_);
    layout->addWidget(scroll_, 1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction("&Setup Script Buttons...", this, &UserButtonsPanel::SetupRequested);
        menu.exec(mapToGlobal(at));
    });
}

void UserButtonsPanel::Apply(const TUserButtons& model) {
    for (std::size_t n = 0; n < buttons_.size(); ++n) {
        const TUserButton& b = model.Buttons[n];
        QToolButton* button = buttons_[n];
        // "&" in a caption is a letter, not a shortcut mark: the keys are Ctrl+1..Ctrl+0.
        button->setText(ToQ(b.Caption).trimmed().replace("&", "&&"));
        button->setToolTip(ToQ(b.Hint));
        button->setAccessibleName(ToQ(b.Hint).trimmed());
        button->setEnabled(b.Enabled);
        button->setVisible(b.Visible);
    }
    FitScroll();
}

void UserButtonsPanel::FitScroll() {
    row_->adjustSize();
    scroll_->setMaximumWidth(row_->sizeHint().width());
    scroll_->setMinimumHeight(row_->sizeHint().height());
    updateGeometry();
}

QSize UserButtonsPanel::sizeHint() const {
    return {handle_->sizeHint().width() + 8,
            std::max(handle_->sizeHint().height(), collapsed_ ? 0 : row_->sizeHint().height())};
}

void UserButtonsPanel::SetShowingWidth(int width) {
    SetCollapsed(width <= kCollapsedWidth);
}

int UserButtonsPanel::ShowingWidth() const {
    return collapsed_ ? kCollapsedWidth : kCollapsedWidth + row_->sizeHint().width();
}

void UserButtonsPanel::SetCollapsed(bool collapsed) {
    collapsed_ = collapsed;
    scroll_->setVisible(!collapsed);
    handle_->setToolTip(collapsed ? "Show the user buttons" : "Hide the user buttons");
    updateGeometry();
}

}  // namespace kivo::ui
