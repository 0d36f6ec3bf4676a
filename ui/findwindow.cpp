#include "ui/findwindow.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/qtext.h"

namespace kivo::ui {

namespace {

// A field with the accessible name of its caption, the caption's mnemonic pointing at it.
QLabel* Caption(const QString& text, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    QString name = QString(text).remove('&');
    if (name.endsWith(':')) name.chop(1);
    field->setAccessibleName(name);
    return label;
}

}  // namespace

FindWindow::FindWindow(std::filesystem::path mailFolder, TMailboxHost& host, TFrmMailboxes& tree,
                       Platform& platform, TAutoCheckTimer& timer, QWidget* parent)
    : QDialog(parent), find_(std::move(mailFolder), host, tree, platform, *this), timer_(timer) {
    setObjectName("findWindow");
    setWindowTitle("Find Messages");
    setAccessibleName("Find Messages");
    setModal(true);
    findText_ = new QLineEdit(this);
    ignoreCase_ = new QCheckBox("&Ignore letter case", this);
    excludeText_ = new QLineEdit(this);
    excludeIgnoreCase_ = new QCheckBox("Ig&nore letter case", this);
    allMailboxes_ = new QRadioButton("Search &all mailboxes", this);
    currentFolder_ = new QRadioButton("Search &only within current folder:", this);
    destination_ = new QLineEdit(this);
    searching_ = new QLabel(this);
    number_ = new QLabel(this);
    result_ = new QLabel(this);
    result_->setObjectName("findResult");
    result_->setAccessibleName("Result");
    searching_->setAccessibleName("Currently searching");
    number_->setAccessibleName("Message number");
    findButton_ = new QPushButton("&Find", this);
    cancelButton_ = new QPushButton("Cancel", this);
    closeButton_ = new QPushButton("&Close", this);
    findButton_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Caption("Find all &messages containing the following text:", findText_, this));
    layout->addWidget(findText_);
    layout->addWidget(ignoreCase_);
    layout->addWidget(Caption("But &don't find them if they also contain:", excludeText_, this));
    layout->addWidget(excludeText_);
    layout->addWidget(excludeIgnoreCase_);
    layout->addWidget(allMailboxes_);
    layout->addWidget(currentFolder_);
    auto* form = new QFormLayout;
    form->addRow(Caption("Destination mailbox:", destination_, this), destination_);
    form->addRow("Currently searching:", searching_);
    form->addRow("Message number:", number_);
    layout->addLayout(form);
    layout->addWidget(result_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(findButton_);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);

    connect(findButton_, &QPushButton::clicked, this, &FindWindow::Find);
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        cancel_ = true;
        find_.Cancel();
    });
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    resize(460, sizeHint().height());
}

void FindWindow::Open() {
    find_.Show();
    findText_->setText(ToQ(find_.FindText));
    ignoreCase_->setChecked(find_.IgnoreCase);
    excludeText_->setText(ToQ(find_.ExcludeText));
    excludeIgnoreCase_->setChecked(find_.ExcludeIgnoreCase);
    destination_->setText(ToQ(find_.Destination));
    const bool folder = !find_.CurrentFolder().empty();
    currentFolder_->setText("Search &only within current folder: " + ToQ(find_.CurrentFolder()));
    currentFolder_->setEnabled(folder);
    (folder && find_.OnlyCurrentFolder ? currentFolder_ : allMailboxes_)->setChecked(true);
    SetBusy(false);
    searching_->clear();
    number_->clear();
    result_->clear();
    findText_->setFocus();
    findText_->selectAll();
}

bool FindWindow::Find() {
    find_.FindText = FromQ(findText_->text());
    find_.IgnoreCase = ignoreCase_->isChecked();
    find_.ExcludeText = FromQ(excludeText_->text());
    find_.ExcludeIgnoreCase = excludeIgnoreCase_->isChecked();
    find_.OnlyCurrentFolder = currentFolder_->isChecked();
    find_.Destination = FromQ(destination_->text());
    cancel_ = false;
    bool found = false;
    if (!Guard([&] { found = find_.FindClick(); }) || !found) return false;
    result_->setText(ToQ(find_.ResultText()));
    destination_->setText(ToQ(find_.Destination));
    emit ResultsOpened();
    return true;
}

void FindWindow::Searching(std::string_view relPath) {
    searching_->setText(ToQ(relPath));
}

void FindWindow::MessageNumber(int count) {
    number_->setText(QString::number(count));
}

void FindWindow::SetBusy(bool busy) {
    if (busy && !hold_) hold_.emplace(timer_);
    if (busy) result_->clear();
    if (!busy) hold_.reset();
    for (QWidget* w : std::initializer_list<QWidget*>{findText_, ignoreCase_, excludeText_,
                                                      excludeIgnoreCase_, allMailboxes_,
                                                      destination_, findButton_, closeButton_}) {
        w->setEnabled(!busy);
    }
    currentFolder_->setEnabled(!busy && !find_.CurrentFolder().empty());
    cancelButton_->setEnabled(busy);
    cancelButton_->setDefault(busy);
    findButton_->setDefault(!busy);
}

}  // namespace kivo::ui
