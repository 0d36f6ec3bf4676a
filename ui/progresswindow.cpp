#include "ui/progresswindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/qtext.h"

namespace kivo::ui {

ProgressWindow::ProgressWindow(TProgressLog& log, QWidget* parent)
    : QDialog(parent, Qt::Tool), log_(log) {
    setObjectName("progressWindow");
    setWindowTitle(ToQ(TProgressLog::kWindowTitle));
    setAccessibleName(ToQ(TProgressLog::kWindowTitle));
    text_ = new QTextBrowser(this);
    text_->setObjectName("progressText");
    text_->setAccessibleName("Progress and error messages");
    text_->setOpenLinks(false);
    auto* copy = new QPushButton("COPY", this);
    auto* save = new QPushButton("SAVE", this);
    auto* close = new QPushButton("X", this);
    copy->setAccessibleName("Copy");
    save->setAccessibleName("Save");
    close->setAccessibleName("Close");
    connect(copy, &QPushButton::clicked, this, [this] {
        const QString selected = text_->textCursor().selectedText();
        QApplication::clipboard()->setText(selected.isEmpty() ? ToQ(log_.CopyText()) : selected);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getSaveFileName(this, "Save", QString(), ToQ(TProgressLog::kSaveFileType));
        if (file.isEmpty()) return;
        try {
            log_.Save(FromQ(file));
        } catch (const std::exception& e) {
            QMessageBox::warning(this, "Kivo", ToQ(e.what()));
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(text_, 1);
    resize(520, 360);
}

void ProgressWindow::Refresh() {
    if (log_.Revision() == shown_) return;
    shown_ = log_.Revision();
    text_->setHtml(ToQ(log_.Html()));
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    log_.CloseWindow();
    QDialog::closeEvent(event);
}

}  // namespace kivo::ui
