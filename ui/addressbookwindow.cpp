#include "ui/addressbookwindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/vcard.h"
#include "base/files.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

namespace {

constexpr int kCancelTipMs = 3000;
constexpr const char* kVCardFiles = "vCard files (*.vcf *.vcard);;All files (*)";

QString AskVCardFile(QWidget* parent, bool save) {
    return save ? QFileDialog::getSaveFileName(parent, "Export vCards", "contacts.vcf", kVCardFiles)
                : QFileDialog::getOpenFileName(parent, "Import vCards", QString(), kVCardFiles);
}

}  // namespace

AddressBookWindow::AddressBookWindow(std::filesystem::path addressFile, QtPlatform& platform,
                                     QWidget* parent)
    : QDialog(parent), file_(std::move(addressFile)), platform_(platform) {
    setObjectName("addressBook");
    setWindowTitle("Address Book");
    setAccessibleName("Address Book");
    AskFile = [this](bool save) { return AskVCardFile(this, save); };

    auto* caption = new QLabel("Add your frequent contacts below", this);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);

    list_ = new QTreeWidget(this);
    list_->setObjectName("addressList");
    list_->setAccessibleName("Contacts");
    list_->setHeaderLabels({"First", "Last", "E-mail"});
    list_->setColumnWidth(0, 150);
    list_->setColumnWidth(1, 150);
    list_->setColumnWidth(2, 200);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->installEventFilter(this);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling_ || !item) return;
        editor_.Select(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)));
        ShowSelected();
    });

    first_ = new QLineEdit(this);
    first_->setObjectName("firstName");
    first_->setAccessibleName("First name / Nickname");
    first_->setPlaceholderText("e.g. Jane");
    last_ = new QLineEdit(this);
    last_->setObjectName("lastName");
    last_->setAccessibleName("Last name");
    last_->setPlaceholderText("e.g. Smith");
    nick_ = new QLineEdit(this);
    nick_->setObjectName("nickname");
    nick_->setAccessibleName("Nickname");
    nick_->setPlaceholderText("typed for the first address, e.g. jj");
    email_ = new QPlainTextEdit(this);
    email_->setObjectName("emailAddresses");
    email_->setAccessibleName("E-mail addresses");
    email_->setTabChangesFocus(true);
    email_->setFixedHeight(email_->fontMetrics().lineSpacing() * 3 + 12);
    email_->installEventFilter(this);
    connect(first_, &QLineEdit::textEdited, this, [this](const QString& text) {
        editor_.SetFirstName(FromQ(text));
        RowChanged();
    });
    connect(last_, &QLineEdit::textEdited, this, [this](const QString& text) {
        editor_.SetLastName(FromQ(text));
        RowChanged();
    });
    connect(nick_, &QLineEdit::textEdited, this, [this](const QString& text) {
        editor_.SetNickname(FromQ(text));
        RowChanged();
    });
    connect(email_, &QPlainTextEdit::textChanged, this, [this] {
        if (filling_ || !email_->hasFocus()) return;
        editor_.SetEmail(FromQ(email_->toPlainText()));
        RowChanged();
    });

    auto* fields = new QFormLayout;
    fields->addRow("&First name / Nickname:", first_);
    fields->addRow("&Last name:", last_);
    fields->addRow("Nic&kname:", nick_);
    fields->addRow("E-mail &address(es):", email_);

    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, const char*> names[] = {
        {"newContact", "N&ew"},
        {"deleteContact", "&Delete"},
        {"", ""},
        {"import", "&Import..."},
        {"export", "E&xport..."},
        {"", ""},
        {"ok", "&OK"},
        {"cancel", "&Cancel"},
    };
    for (const auto& [name, text] : names) {
        if (*name == 0) {
            buttons->addStretch(1);
            continue;
        }
        auto* button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    Button("import")->setToolTip("Add the contacts of a vCard file");
    Button("import")->setAccessibleName("Import vCards");
    Button("export")->setToolTip("Write the address book as a vCard file");
    Button("export")->setAccessibleName("Export vCards");
    cancel_ = Button("cancel");
    connect(Button("newContact"), &QPushButton::clicked, this, &AddressBookWindow::New);
    connect(Button("deleteContact"), &QPushButton::clicked, this, &AddressBookWindow::Delete);
    connect(Button("ok"), &QPushButton::clicked, this, &AddressBookWindow::OK);
    connect(cancel_, &QPushButton::clicked, this, &AddressBookWindow::reject);
    connect(Button("import"), &QPushButton::clicked, this, &AddressBookWindow::Import);
    connect(Button("export"), &QPushButton::clicked, this, &AddressBookWindow::Export);

    cancelTip_.setSingleShot(true);
    cancelTip_.setInterval(kCancelTipMs);
    connect(&cancelTip_, &QTimer::timeout, this, [this] { editor_.TipExpired(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(list_, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(560, 440);
}

QPushButton* AddressBookWindow::Button(const QString& name) const {
    return findChild<QPushButton*>(name);
}

void AddressBookWindow::Load() {
    // The last OK is no answer for this opening: closing asks again when something changes.
    setResult(QDialog::Rejected);
    try {
        editor_.Load(file_);
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "Address Book", ToQ(e.what()));
    }
    Fill();
}

void AddressBookWindow::Fill() {
    filling_ = true;
    list_->clear();
    for (const TContact& row : editor_.Rows()) {
        list_->addTopLevelItem(
            new QTreeWidgetItem({ToQ(row.first), ToQ(row.last), ToQ(row.email)}));
    }
    filling_ = false;
    ShowSelected();
}

void AddressBookWindow::ShowSelected() {
    filling_ = true;
    const std::optional<std::size_t> selected = editor_.Selected();
    if (selected) {
        const TContact& row = editor_.Rows()[*selected];
        list_->setCurrentItem(list_->topLevelItem(static_cast<int>(*selected)));
        first_->setText(ToQ(row.first));
        last_->setText(ToQ(row.last));
        nick_->setText(ToQ(kivo::Nickname(row)));
        email_->setPlainText(ToQ(row.email));
    } else {
        first_->clear();
        last_->clear();
        nick_->clear();
        email_->clear();
    }
    const bool enabled = editor_.FieldsEnabled();
    first_->setEnabled(enabled);
    last_->setEnabled(enabled);
    nick_->setEnabled(enabled);
    email_->setEnabled(enabled);
    Button("deleteContact")->setEnabled(enabled);
    filling_ = false;
}

void AddressBookWindow::RowChanged() {
    const std::optional<std::size_t> selected = editor_.Selected();
    if (!selected) return;
    const TContact& row = editor_.Rows()[*selected];
    if (QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(*selected))) {
        item->setText(0, ToQ(row.first));
        item->setText(1, ToQ(row.last));
        item->setText(2, ToQ(row.email));
    }
}

void AddressBookWindow::New() {
    editor_.New();
    filling_ = true;
    list_->addTopLevelItem(new QTreeWidgetItem(QStringList{"", "", ""}));
    filling_ = false;
    ShowSelected();
    first_->setFocus();
}

void AddressBookWindow::Delete() {
    editor_.Delete();
    Fill();
    list_->setFocus();
}

void AddressBookWindow::OK() {
    try {
        editor_.OK(file_);
    } catch (const std::exception& e) {
        // Nothing was lost: the rows stay in the window to be saved again.
        QMessageBox::warning(this, "Address Book", ToQ(e.what()));
        return;
    }
    emit Saved();
    accept();
}

bool AddressBookWindow::MayClose() {
    if (editor_.Cancel()) {
        cancelTip_.stop();
        platform_.RemoveTip();
        return true;
    }
    platform_.ShowTipAt(kBookChangedTip, cancel_->mapToGlobal(QPoint(0, cancel_->height() / 2)));
    cancelTip_.start();
    return false;
}

void AddressBookWindow::reject() {
    if (MayClose()) QDialog::reject();
}

void AddressBookWindow::closeEvent(QCloseEvent* event) {
    if (result() == QDialog::Accepted || MayClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool AddressBookWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        Delete();
        return true;
    }
    if (watched == email_ && event->type() == QEvent::FocusIn) {
        email_->setStyleSheet("QPlainTextEdit { background: yellow; color: black; }");
    }
    if (watched == email_ && event->type() == QEvent::FocusOut) {
        email_->setStyleSheet(QString());
        // Leaving the field shows the addresses as they are kept: one line, ", " between.
        if (const std::optional<std::size_t> selected = editor_.Selected()) {
            filling_ = true;
            email_->setPlainText(ToQ(editor_.Rows()[*selected].email));
            filling_ = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AddressBookWindow::Import() {
    const QString file = AskFile(false);
    if (file.isEmpty()) return;
    TImportResult result;
    try {
        result = editor_.Import(ReadVCards(ReadFileBytes(FromQ(file))));
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "Import vCards", ToQ(e.what()));
        return;
    }
    Fill();
    platform_.ShowTip(ImportSummary(result));
}

void AddressBookWindow::Export() {
    const QString file = AskFile(true);
    if (file.isEmpty()) return;
    try {
        WriteFileAtomic(FromQ(file), WriteVCards(editor_.Rows()));
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "Export vCards", ToQ(e.what()));
        return;
    }
    const std::size_t count = editor_.Rows().size();
    platform_.ShowTip(count == 1 ? std::string("1 contact exported")
                                 : std::to_string(count) + " contacts exported");
}

}  // namespace kivo::ui
