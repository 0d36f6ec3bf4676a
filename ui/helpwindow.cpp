#include "ui/helpwindow.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "ui/qtext.h"

namespace kivo::ui {

namespace {

constexpr int kWheelStep = 40;  // pixels per wheel notch

}  // namespace

HelpWindow::HelpWindow(std::filesystem::path helpFolder, Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), help_(std::move(helpFolder), *this, platform) {
    setObjectName("helpWindow");
    setWindowTitle("Kivo Help");
    setAccessibleName("Kivo Help");
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("helpText");
    browser_->setAccessibleName("Help page");
    // Links go through TFrmHelp: it keeps the history and lets no link out of the help folder.
    browser_->setOpenLinks(false);
    browser_->setContextMenuPolicy(Qt::CustomContextMenu);
    browser_->viewport()->installEventFilter(this);
    connect(browser_, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { help_.LinkClick(FromQ(url.toString())); });
    connect(browser_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* copy = menu.addAction("&Copy", browser_, &QTextBrowser::copy);
        copy->setEnabled(browser_->textCursor().hasSelection());
        menu.addAction("Select &All", browser_, &QTextBrowser::selectAll);
        menu.exec(browser_->viewport()->mapToGlobal(at));
    });
    auto* contents = new QPushButton("&Contents", this);
    contents->setObjectName("helpContentsButton");
    contents->setAccessibleName("Contents");
    auto* back = new QPushButton("&Back", this);
    back->setObjectName("helpBackButton");
    back->setAccessibleName("Back");
    connect(contents, &QPushButton::clicked, this, [this] { help_.ContentsClick(); });
    connect(back, &QPushButton::clicked, this, [this] { help_.BackClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);
    resize(560, 600);
}

void HelpWindow::ShowHelp(std::string_view messageFont) {
    if (!placed_) {
        // Bottom right of the screen, clear of a panel along its lower edge.
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.x() + std::max(0, area.width() - width() - 16),
                 area.y() + std::max(0, area.height() - height() - 60));
        }
        placed_ = true;
    }
    help_.Show(messageFont);
    show();
    raise();
    activateWindow();
}

void HelpWindow::SetDefaultFont(std::string_view name, int size) {
    QFont font(ToQ(name), size);
    if (name.empty()) font = QFont(QWidget::font().family(), size);
    browser_->document()->setDefaultFont(font);
}

void HelpWindow::LoadFile(const std::filesystem::path& file) {
    QFile page(ToQ(file.string()));
    if (!page.open(QIODevice::ReadOnly)) {
        LoadHtml(HelpReplacementPage());
        return;
    }
    // Pictures and style sheets of the page are found beside it.
    browser_->setSearchPaths({ToQ(file.parent_path().string())});
    browser_->setHtml(QString::fromUtf8(page.readAll()));
    current_ = file;
}

void HelpWindow::LoadHtml(std::string_view html) {
    browser_->setHtml(ToQ(html));
    current_.clear();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == browser_->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int notches = wheel->angleDelta().y() / 120;
        if (notches != 0) {
            QScrollBar* bar = browser_->verticalScrollBar();
            bar->setValue(bar->value() - notches * kWheelStep);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kivo::ui
