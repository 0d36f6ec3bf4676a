#include "ui/indexwindow.h"

#include <QCloseEvent>

#include "store/KivoIndex.h"
#include "ui/indexpane.h"
#include "ui/qtext.h"

namespace kivo::ui {

IndexWindow::IndexWindow(TOpenWindows& windows, QWidget* parent)
    : QMainWindow(parent, Qt::Window), windows_(windows) {
    setObjectName("indexWindow");
    setAccessibleName("Message Index");
}

IndexWindow::IndexWindow(std::unique_ptr<TFrmIndex> index, TOpenWindows& windows, QWidget* parent)
    : IndexWindow(windows, parent) {
    own_ = std::move(index);
    Hold(new IndexPane(*own_, this));
}

IndexWindow::~IndexWindow() {
    if (listed_) windows_.Remove(*this);
    // The pane reads the index kept here: it goes first.
    delete takeCentralWidget();
}

void IndexWindow::Hold(IndexPane* pane) {
    pane_ = pane;
    setCentralWidget(pane);
    pane->SetSeparate(true);
    pane->show();
    UpdateTitle();
    if (!listed_) {
        windows_.Add(*this);
        listed_ = true;
    }
}

IndexPane* IndexWindow::Release() {
    IndexPane* pane = pane_;
    if (pane) {
        takeCentralWidget();
        pane->SetSeparate(false);
    }
    pane_ = nullptr;
    Unlist();
    hide();
    return pane;
}

void IndexWindow::Unlist() {
    if (listed_) windows_.Remove(*this);
    listed_ = false;
}

void IndexWindow::UpdateTitle() {
    setWindowTitle(ToQ(Caption()));
}

std::string IndexWindow::Caption() const {
    if (!pane_ || pane_->Index().MailboxName.empty()) return "Message Index";
    return "Message Index - " + pane_->Index().MailboxName;
}

bool IndexWindow::Close() {
    return close();
}

void IndexWindow::Show() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void IndexWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (Closing) Closing();
}

}  // namespace kivo::ui
