#include "ui/privacysheet.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/qtext.h"

namespace kivo::ui {

PrivacyClock::PrivacyClock(QWidget* parent) : QWidget(parent) {
    setAccessibleName("Clock");
    setMinimumSize(240, 240);
}

void PrivacyClock::paintEvent(QPaintEvent*) {
    const TClockHands hands = ClockHands(DateTime::Now());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(side / 200.0, side / 200.0);
    const QColor ink = palette().color(QPalette::WindowText);
    p.setPen(QPen(ink, 3));
    p.setBrush(palette().color(QPalette::Base));
    p.drawEllipse(QPointF(0, 0), 94, 94);
    for (int k = 0; k < 12; ++k) {
        p.save();
        p.rotate(k * 30);
        p.drawLine(QPointF(0, -84), QPointF(0, -92));
        p.restore();
    }
    const auto hand = [&](double degrees, double length, double thickness, const QColor& colour) {
        p.save();
        p.rotate(degrees);
        p.setPen(QPen(colour, thickness, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, 8), QPointF(0, -length));
        p.restore();
    };
    hand(hands.Hour, 50, 7, ink);
    hand(hands.Minute, 76, 4, ink);
    hand(hands.Second, 84, 1.5, QColor(200, 0, 0));
}

PrivacySheet::PrivacySheet(TPrivacySheet& sheet, std::function<std::string()> password,
                           QWidget* cover)
    : QDialog(cover, Qt::FramelessWindowHint),
      sheet_(sheet),
      passwordOf_(std::move(password)),
      cover_(cover) {
    setObjectName("privacySheet");
    setAccessibleName("Privacy sheet");
    setWindowModality(Qt::WindowModal);
    setAutoFillBackground(true);

    countdownPanel_ = new QWidget(this);
    auto* c = new QVBoxLayout(countdownPanel_);
    countdown_ = new QLabel(countdownPanel_);
    countdown_->setAccessibleName("Countdown");
    QFont big = countdown_->font();
    big.setPointSize(big.pointSize() * 4);
    big.setBold(true);
    countdown_->setFont(big);
    auto* locked = new QLabel(ToQ(TPrivacySheet::kLockedText), countdownPanel_);
    QFont bold = locked->font();
    bold.setPointSize(bold.pointSize() * 2);
    bold.setBold(true);
    locked->setFont(bold);
    auto* escape = new QLabel(ToQ(TPrivacySheet::kEscapeText), countdownPanel_);
    for (QLabel* l : {countdown_, locked, escape}) {
        l->setAlignment(Qt::AlignCenter);
        c->addWidget(l);
    }

    lockPanel_ = new QWidget(this);
    auto* l = new QVBoxLayout(lockPanel_);
    clock_ = new PrivacyClock(lockPanel_);
    password_ = new QLineEdit(lockPanel_);
    password_->setAccessibleName("Privacy Password");
    password_->setEchoMode(QLineEdit::Password);
    auto* caption = new QLabel("Privacy &Password:", lockPanel_);
    caption->setBuddy(password_);
    unlock_ = new QPushButton("&Unlock", lockPanel_);
    unlock_->setAccessibleName("Unlock");
    unlock_->setDefault(true);
    connect(unlock_, &QPushButton::clicked, this, &PrivacySheet::TryUnlock);
    connect(password_, &QLineEdit::returnPressed, this, &PrivacySheet::TryUnlock);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(caption);
    row->addWidget(password_);
    row->addWidget(unlock_);
    row->addStretch();
    l->addWidget(clock_, 0, Qt::AlignHCenter);
    l->addLayout(row);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(countdownPanel_);
    layout->addWidget(lockPanel_);
    layout->addStretch();
    connect(&tick_, &QTimer::timeout, this, &PrivacySheet::Update);
}

void PrivacySheet::Activate() {
    sheet_.Activate();
    password_->clear();
    // Over the whole of the window it hides.
    setGeometry(QRect(cover_->mapToGlobal(QPoint(0, 0)), cover_->size()));
    Update();
    open();
    raise();
    activateWindow();
    setFocus();
    tick_.start(200);
}

void PrivacySheet::Update() {
    switch (sheet_.CurrentPhase()) {
        case TPrivacySheet::ppClosed:
            tick_.stop();
            QDialog::accept();
            return;
        case TPrivacySheet::ppCountdown:
            countdownPanel_->show();
            lockPanel_->hide();
            countdown_->setText(QString::number(sheet_.Countdown()));
            return;
        case TPrivacySheet::ppLocked:
            if (lockPanel_->isHidden()) {
                countdownPanel_->hide();
                lockPanel_->show();
                password_->setFocus();
            }
            clock_->update();
            return;
    }
}

void PrivacySheet::TryUnlock() {
    if (!sheet_.Unlock(FromQ(password_->text()), passwordOf_())) {
        password_->selectAll();
        return;
    }
    Update();
}

void PrivacySheet::keyPressEvent(QKeyEvent* event) {
    if (sheet_.CurrentPhase() == TPrivacySheet::ppCountdown) {
        sheet_.KeyOrClick();
        Update();
        return;
    }
    // Esc does not lift the lock; the other keys go to the password field.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void PrivacySheet::mousePressEvent(QMouseEvent* event) {
    sheet_.KeyOrClick();
    Update();
    QDialog::mousePressEvent(event);
}

void PrivacySheet::reject() {
    // Only the password (or a key during the countdown) lifts the sheet.
    if (!sheet_.Shown()) QDialog::reject();
}

}  // namespace kivo::ui
