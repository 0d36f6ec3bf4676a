#include "ui/splash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace kivo::ui {

namespace {

constexpr int kWidth = 440;
constexpr int kHeight = 260;
constexpr int kCornerRadius = 24;  // a 48 by 48 corner ellipse

QRectF Envelope() {
    return {36, 56, 120, 80};
}

}  // namespace

Splash::Splash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("splash");
    setAccessibleName("Kivo");
    setAttribute(Qt::WA_TranslucentBackground, false);
    setFixedSize(kWidth, kHeight);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, kWidth, kHeight), kCornerRadius, kCornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));

    progress_ = new QLabel(this);
    progress_->setObjectName("splashProgress");
    progress_->setAccessibleName("Progress");
    progress_->setGeometry(36, kHeight - 52, kWidth - 72, 22);
    version_ = new QLabel(this);
    version_->setObjectName("splashVersion");
    version_->setAccessibleName("Version");
    version_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version_->setGeometry(kWidth - 176, 150, 140, 22);
    version_->hide();
    const QString white = "QLabel { color: white; }";
    progress_->setStyleSheet(white);
    version_->setStyleSheet(white);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }
}

void Splash::SetProgress(const QString& text) {
    progress_->setText(text);
    if (isVisible()) {
        repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void Splash::SetVersion(const QString& version) {
    version_->setText("Version " + version);
    version_->show();
}

QString Splash::Progress() const {
    return progress_->text();
}

QString Splash::Version() const {
    return version_->isVisible() || !version_->text().isEmpty() ? version_->text() : QString();
}

void Splash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(32, 92, 170));
    sky.setColorAt(1, QColor(16, 44, 92));
    p.fillRect(rect(), sky);

    // The program's envelope, larger.
    const QRectF env = Envelope();
    p.setPen(QPen(QColor(45, 45, 45), 4));
    p.setBrush(QColor(247, 247, 247));
    p.drawRoundedRect(env, 5, 5);
    p.drawLine(env.topLeft() + QPointF(2, 3), QPointF(env.center().x(), env.top() + 48));
    p.drawLine(env.topRight() + QPointF(-2, 3), QPointF(env.center().x(), env.top() + 48));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(42, 122, 226));
    p.drawEllipse(QPointF(env.right() - 12, env.top() + 2), 17, 17);

    QFont title = font();
    title.setPointSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(180, 50, kWidth - 210, 64), Qt::AlignLeft | Qt::AlignVCenter, "Kivo");
    QFont line = font();
    line.setPointSize(11);
    p.setFont(line);
    p.setPen(QColor(220, 232, 250));
    p.drawText(QRectF(182, 112, kWidth - 212, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               "Mail and KivoScript filters");
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawLine(QPointF(36, kHeight - 62), QPointF(kWidth - 36, kHeight - 62));
}

}  // namespace kivo::ui
