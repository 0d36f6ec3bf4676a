#include "ui/qtplatform.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QAudioOutput>
#include <QBuffer>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <cmath>

#include "ui/qtext.h"

extern char** environ;

namespace kivo::ui {

namespace {

constexpr int kTipMs = 3000;

// The built-in new-mail sound: two short tones as a 16-bit mono WAV, made once.
QByteArray MakeBuiltInSound() {
    constexpr int rate = 22050;
    QByteArray samples;
    for (double freq : {880.0, 1320.0}) {
        for (int i = 0; i < rate / 8; ++i) {
            const double fade = 1.0 - static_cast<double>(i) / (rate / 8);
            const auto v =
                static_cast<qint16>(9000.0 * fade * std::sin(2.0 * M_PI * freq * i / rate));
            samples.append(static_cast<char>(v & 0xFF));
            samples.append(static_cast<char>((v >> 8) & 0xFF));
        }
    }
    QByteArray wav;
    auto u32 = [&wav](quint32 v) {
        for (int k = 0; k < 4; ++k) wav.append(static_cast<char>((v >> (8 * k)) & 0xFF));
    };
    auto u16 = [&wav](quint16 v) {
        wav.append(static_cast<char>(v & 0xFF));
        wav.append(static_cast<char>(v >> 8));
    };
    wav.append("RIFF");
    u32(static_cast<quint32>(36 + samples.size()));
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    wav.append("data");
    u32(static_cast<quint32>(samples.size()));
    wav.append(samples);
    return wav;
}

}  // namespace

QtPlatform::QtPlatform() {
    qApp->installEventFilter(this);
    tipTimer_.setSingleShot(true);
    connect(&tipTimer_, &QTimer::timeout, this, &QtPlatform::RemoveTip);
}

QtPlatform::~QtPlatform() {
    if (qApp) qApp->removeEventFilter(this);
    RemoveTip();
}

bool QtPlatform::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        abort_ = true;
    }
    return QObject::eventFilter(watched, event);
}

void QtPlatform::Pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void QtPlatform::PumpScreen() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
}

void QtPlatform::ShowTip(std::string_view text) {
    ShowTipAt(text, QCursor::pos());
}

void QtPlatform::ShowTipAt(std::string_view text, const QPoint& at) {
    // One tip at a time: a new one replaces the old.
    RemoveTip();
    auto* tip = new QLabel(ToQ(text), nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    tip->setAttribute(Qt::WA_DeleteOnClose);
    tip->setAttribute(Qt::WA_ShowWithoutActivating);
    tip->setObjectName("confirmationTip");
    tip->setAccessibleName("Notice");
    tip->setWordWrap(true);
    tip->setMargin(4);
    tip->setStyleSheet("QLabel { background: #00FFFF; color: black; border: 1px solid black; }");
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        tip->setMaximumWidth(screen->availableGeometry().width());
    }
    tip->adjustSize();
    tip->move(at + QPoint(0, 24));
    tip->show();
    tip_ = tip;
    tipTimer_.start(kTipMs);
}

QString QtPlatform::TipText() const {
    return tip_ ? tip_->text() : QString();
}

void QtPlatform::RemoveTip() {
    if (tip_) tip_->close();
    tip_ = nullptr;
}

bool QtPlatform::CtrlHeld() {
    return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
}

void QtPlatform::ShowMessage(std::string_view text) {
    QMessageBox box(QMessageBox::Information, "Kivo", ToQ(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setAccessibleName("Kivo message");
    box.exec();
}

bool QtPlatform::AskYesNo(std::string_view question) {
    QMessageBox box(QMessageBox::Question, "Kivo", ToQ(question),
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setAccessibleName("Kivo question");
    return box.exec() == QMessageBox::Yes;
}

namespace {

bool AskText(std::string_view caption, std::string_view prompt, std::string& value,
             QLineEdit::EchoMode echo) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(ToQ(caption));
    dialog.setLabelText(ToQ(prompt));
    dialog.setTextEchoMode(echo);
    dialog.setTextValue(ToQ(value));
    dialog.setAccessibleName(ToQ(caption));
    if (dialog.exec() != QDialog::Accepted) return false;
    value = FromQ(dialog.textValue());
    return true;
}

}  // namespace

bool QtPlatform::InputText(std::string_view caption, std::string_view prompt, std::string& value) {
    return AskText(caption, prompt, value, QLineEdit::Normal);
}

bool QtPlatform::InputPassword(std::string_view caption, std::string_view prompt,
                               std::string& value) {
    return AskText(caption, prompt, value, QLineEdit::Password);
}

void QtPlatform::PlaySound(std::string_view file) {
    lastSound_ = ToQ(file);
    ++soundsPlayed_;
    if (!audio_) {
        audio_ = std::make_unique<QAudioOutput>();
        player_ = std::make_unique<QMediaPlayer>();
        player_->setAudioOutput(audio_.get());
    }
    player_->stop();
    if (file.empty()) {
        if (builtInSound_.isEmpty()) builtInSound_ = MakeBuiltInSound();
        soundBuffer_ = std::make_unique<QBuffer>();
        soundBuffer_->setData(builtInSound_);
        soundBuffer_->open(QIODevice::ReadOnly);
        player_->setSourceDevice(soundBuffer_.get(), QUrl("builtin.wav"));
    } else {
        player_->setSource(QUrl::fromLocalFile(lastSound_));
    }
    // Plays without waiting; a machine without sound output just stays quiet.
    player_->play();
}

bool QtPlatform::ShellOpen(std::string_view target) {
    return QProcess::startDetached("xdg-open", {ToQ(target)});
}

int QtPlatform::RunAndWait(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<char*> argp;
    std::vector<std::string> copy = argv;
    for (std::string& a : copy) argp.push_back(a.data());
    argp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argp[0], nullptr, nullptr, argp.data(), environ) != 0) return -1;
    // The windows keep painting while the program runs.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0) return -1;
        Pump();
        QThread::msleep(20);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kivo::ui
