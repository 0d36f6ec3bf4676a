#include "ui/messagewindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

#include "base/inifile.h"
#include "compose/composerplace.h"
#include "ui/messagepane.h"
#include "ui/qtext.h"
#include "ui/windowplace.h"

namespace kivo::ui {

MessageWindow::MessageWindow(TMsgOptions options, Platform& platform, TOpenWindows& windows,
                             std::filesystem::path settingsFile, QWidget* parent,
                             std::filesystem::path partsFolder)
    : QMainWindow(parent, Qt::Window),
      windows_(windows),
      settingsFile_(std::move(settingsFile)),
      partsFolder_(std::move(partsFolder)) {
    setObjectName("messageWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    const TMsgOptions own{options.Headers, options.QueryAttach,
                          partsFolder_.empty() ? options.AttachPath : partsFolder_,
                          options.ViewAttach};
    pane_ = new MessagePane(own, platform, true, this);
    setCentralWidget(pane_);

    QMenu* message = menuBar()->addMenu("&Message");
    for (const char* name :
         {"headers", "rawView", "", "openAttachFolder", "", "fonts", "colours"}) {
        if (*name == '\0') {
            message->addSeparator();
        } else {
            message->addAction(pane_->Action(name));
        }
    }
    message->addSeparator();
    QAction* close = message->addAction("&Close", this, &QWidget::close);
    close->setObjectName("closeWindow");
    close->setShortcuts({QKeySequence::Close, QKeySequence(Qt::Key_Escape)});
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(pane_->Action("copy"));
    edit->addAction(pane_->Action("selectAll"));
    QMenu* view = menuBar()->addMenu("&View");
    view->addAction(pane_->Action("fontLarger"));
    view->addAction(pane_->Action("fontSmaller"));

    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1024, 768);
    TComposerRect place;
    try {
        IniFile ini(settingsFile_);
        SeedOtherPlace(ini, screen);
        place = PlaceComposer(ini, screen.width(), screen.height());
        ini.UpdateFile();
    } catch (const std::exception&) {
        // An unreadable or read-only settings file: the window opens at the default place.
    }
    setGeometry(screen.x() + place.left, screen.y() + place.top, place.width, place.height);
    windows_.Add(*this);
    pane_->Msg().Tag = windows_.Tag(*this);
}

MessageWindow::~MessageWindow() {
    if (listed_) windows_.Remove(*this);
    // The pane (and its view, which may still read a picture) goes before its files.
    delete pane_;
    pane_ = nullptr;
    if (!partsFolder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(partsFolder_, ec);
    }
}

void MessageWindow::WriteMessage(std::vector<std::string> headers, std::vector<std::string> body,
                                 int number) {
    pane_->Msg().WriteMessage(std::move(headers), std::move(body));
    pane_->Msg().Number = number;
    setWindowTitle(ToQ(Caption()));
}

std::string MessageWindow::Caption() const {
    const TFrmMsg& msg = pane_->Msg();
    return msg.Title() + ", from " + msg.FromText();
}

bool MessageWindow::Close() {
    return close();
}

void MessageWindow::Show() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void MessageWindow::closeEvent(QCloseEvent* event) {
    const QRect frame = geometry();
    try {
        IniFile ini(settingsFile_);
        SaveComposerPlace(ini, {frame.x(), frame.y(), frame.width(), frame.height()});
        ini.UpdateFile();
    } catch (const std::exception&) {
        // The place is not kept; the window still closes.
    }
    windows_.Remove(*this);
    listed_ = false;
    event->accept();
}

}  // namespace kivo::ui
