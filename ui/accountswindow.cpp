#include "ui/accountswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qtext.h"

namespace kivo::ui {

AccountsWindow::AccountsWindow(const std::filesystem::path& programFolder,
                               std::string_view defaultAccount, QWidget* parent)
    : QDialog(parent), core_(AccountsPaths::InProgramFolder(programFolder), *this) {
    setObjectName("accountsWindow");
    setWindowTitle("E-mail Accounts");
    setAccessibleName("E-mail Accounts");
    // The two selectors are yellow while they have the focus.
    setStyleSheet("QComboBox:focus { background: #ffff00; color: #000000; }");

    list_ = new QListWidget(this);
    list_->setObjectName("accountList");
    list_->setAccessibleName("Accounts");
    list_->setMinimumWidth(150);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (updating_ || row < 0 || row == core_.Selected()) return;
        core_.AccountsListClick(row);
        // A name the field refused keeps its account selected.
        if (core_.Selected() != row) {
            QTimer::singleShot(0, this, [this] { ShowList(core_.Entries(), core_.Selected()); });
        }
    });
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (updating_) return;
        core_.SetChecked(list_->row(item), item->checkState() == Qt::Checked);
    });
    new_ = new QPushButton("&New", this);
    new_->setAccessibleName("New account");
    delete_ = new QPushButton("&Delete", this);
    delete_->setAccessibleName("Delete account");
    connect(new_, &QPushButton::clicked, this, [this] { core_.BtnNewClick(); });
    connect(delete_, &QPushButton::clicked, this, [this] { core_.BtnDeleteClick(); });
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Accounts (ticked: checked for mail)", this));
    left->addWidget(list_, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(new_);
    listButtons->addWidget(delete_);
    left->addLayout(listButtons);

    auto* form = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addWidget(label, row, 0);
        form->addWidget(field, row, 1, 1, 2);
        ++row;
    };
    account_ = new QLineEdit(this);
    account_->setObjectName("accountName");
    account_->setAccessibleName("Account name");
    account_->installEventFilter(this);
    connect(account_, &QLineEdit::textEdited, this,
            [this](const QString& text) { core_.EditAccountChange(FromQ(text)); });
    addRow("A&ccount Name:", account_);
    addRow("Full &Name:", Field("Full Name", &AccountFields::name));
    addRow("E-&mail Address:", Field("E-mail Address", &AccountFields::email));
    addRow("&POP Server:", Field("POP Server", &AccountFields::popServer));
    addRow("&Username:", Field("Username", &AccountFields::popUser));
    password_ = Field("Password", &AccountFields::password);
    password_->setEchoMode(QLineEdit::Password);
    addRow("Pass&word:", password_);

    skipBig_ = new QCheckBox("Sk&ip messages over", this);
    skipBig_->setAccessibleName("Skip messages over");
    skipBigSize_ = Field("Size limit in kilobytes", &AccountFields::skipBigSize);
    skipBigSize_->setMaximumWidth(70);
    connect(skipBig_, &QCheckBox::toggled, this, [this](bool on) {
        if (updating_) return;
        core_.Fields().skipBig = on;
        core_.chkSkipBigClick();
    });
    auto* sizeLabel = new QLabel("&kb in size", this);
    sizeLabel->setBuddy(skipBigSize_);
    auto* size = new QHBoxLayout;
    size->addWidget(skipBig_);
    size->addWidget(skipBigSize_);
    size->addWidget(sizeLabel);
    size->addStretch();
    form->addLayout(size, row++, 0, 1, 3);
    addRow("&SMTP Server:", Field("SMTP Server", &AccountFields::smtp));
    leaveMail_ = new QCheckBox("Leave mail on server", this);
    sound_ = new QCheckBox("Sound alert on new mail", this);
    for (QCheckBox* box : {leaveMail_, sound_}) {
        box->setAccessibleName(box->text());
        form->addWidget(box, row++, 0, 1, 3);
    }
    connect(leaveMail_, &QCheckBox::toggled, this, [this](bool on) {
        if (!updating_) core_.Fields().leaveMail = on;
    });
    connect(sound_, &QCheckBox::toggled, this, [this](bool on) {
        if (!updating_) core_.Fields().sound = on;
    });
    sig_ = new QComboBox(this);
    sig_->setAccessibleName("Default Signature");
    connect(sig_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!updating_) core_.Fields().sig = FromQ(text);
    });
    addRow("Default Signature:", sig_);
    addRow("Optional signature tag:", Field("Optional signature tag", &AccountFields::tag));

    // Secure connections and SMTP log-in.
    auto* secure = new QGroupBox("Security", this);
    secure->setAccessibleName("Security");
    auto* s = new QGridLayout(secure);
    auto securityRow = [&](int at, const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, secure);
        label->setBuddy(field);
        s->addWidget(label, at, 0);
        s->addWidget(field, at, 1);
    };
    securityRow(0, "POP connection:",
                Choice("POP connection", {{"", "Plain"}, {"stls", "STLS"}, {"tls", "TLS"}},
                       &AccountSecurity::popSecurity));
    securityRow(1, "SMTP connection:",
                Choice("SMTP connection", {{"", "Plain"}, {"starttls", "STARTTLS"}, {"tls", "TLS"}},
                       &AccountSecurity::smtpSecurity));
    securityRow(2, "SMTP log-in:",
                Choice("SMTP log-in",
                       {{"", "None"}, {"pop", "As for POP"}, {"own", "Own user and password"}},
                       &AccountSecurity::smtpAuth));
    smtpUser_ = new QLineEdit(secure);
    smtpUser_->setAccessibleName("SMTP user");
    smtpPass_ = new QLineEdit(secure);
    smtpPass_->setAccessibleName("SMTP password");
    smtpPass_->setEchoMode(QLineEdit::Password);
    connect(smtpUser_, &QLineEdit::textEdited, this,
            [this](const QString& t) { core_.Fields().security.smtpUser = FromQ(t); });
    connect(smtpPass_, &QLineEdit::textEdited, this,
            [this](const QString& t) { core_.Fields().security.smtpPass = FromQ(t); });
    securityRow(3, "SMTP user:", smtpUser_);
    securityRow(4, "SMTP password:", smtpPass_);
    s->setColumnStretch(1, 1);
    form->addWidget(secure, row++, 0, 1, 3);
    form->setColumnStretch(1, 1);

    default_ = new QComboBox(this);
    default_->setAccessibleName("Default account");
    connect(default_, &QComboBox::textActivated, this,
            [this](const QString& text) { core_.SelectDefaultAccount(FromQ(text)); });
    default_->installEventFilter(this);
    auto* bottom = new QHBoxLayout;
    auto* defaultLabel = new QLabel("D&efault account:", this);
    defaultLabel->setBuddy(default_);
    bottom->addWidget(defaultLabel);
    bottom->addWidget(default_, 1);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok_->setAccessibleName("OK");
    QPushButton* cancel = buttons->addButton("Cance&l", QDialogButtonBox::RejectRole);
    cancel->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    bottom->addWidget(buttons);

    auto* body = new QHBoxLayout;
    body->addLayout(left);
    body->addLayout(form, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(bottom);

    core_.Init(defaultAccount);
}

QLineEdit* AccountsWindow::Field(const QString& name, std::string AccountFields::*field) {
    auto* edit = new QLineEdit(this);
    edit->setAccessibleName(name);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this,
            [this, field](const QString& text) { core_.Fields().*field = FromQ(text); });
    edits_.emplace_back(edit, field);
    return edit;
}

QComboBox* AccountsWindow::Choice(const QString& name,
                                  const std::vector<std::pair<QString, QString>>& items,
                                  std::string AccountSecurity::*field) {
    auto* box = new QComboBox(this);
    box->setAccessibleName(name);
    for (const auto& [value, text] : items) box->addItem(text, value);
    connect(box, &QComboBox::currentIndexChanged, this, [this, box, field](int index) {
        if (!updating_ && index >= 0) {
            core_.Fields().security.*field = FromQ(box->itemData(index).toString());
        }
    });
    security_.emplace_back(box, field);
    return box;
}

void AccountsWindow::ShowList(const std::vector<AccountEntry>& entries, int selected) {
    updating_ = true;
    // Lines are kept, not made anew: this runs inside the signals of the list's own items.
    while (list_->count() > static_cast<int>(entries.size()))
        delete list_->takeItem(list_->count() - 1);
    while (list_->count() < static_cast<int>(entries.size())) {
        auto* item = new QListWidgetItem(list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        QListWidgetItem* item = list_->item(static_cast<int>(k));
        item->setText(ToQ(entries[k].name));
        item->setCheckState(entries[k].checked ? Qt::Checked : Qt::Unchecked);
    }
    list_->setCurrentRow(selected);
    delete_->setEnabled(entries.size() > 1);
    updating_ = false;
}

void AccountsWindow::ShowFields(const AccountFields& fields, bool sizeEnabled) {
    updating_ = true;
    if (account_->text() != ToQ(fields.account)) account_->setText(ToQ(fields.account));
    for (const auto& [edit, field] : edits_) {
        const QString text = ToQ(fields.*field);
        if (edit->text() != text) edit->setText(text);
    }
    skipBig_->setChecked(fields.skipBig);
    skipBigSize_->setEnabled(sizeEnabled);
    leaveMail_->setChecked(fields.leaveMail);
    sound_->setChecked(fields.sound);
    sig_->setCurrentIndex(sig_->findText(ToQ(fields.sig)));
    for (const auto& [box, field] : security_) {
        const QString value = ToQ(fields.security.*field);
        const int index = box->findData(value);
        // An unknown value shows as the safest choice, TLS, as the connection treats it.
        box->setCurrentIndex(index >= 0 ? index : box->count() - 1);
    }
    smtpUser_->setText(ToQ(fields.security.smtpUser));
    smtpPass_->setText(ToQ(fields.security.smtpPass));
    updating_ = false;
}

void AccountsWindow::ShowSignatures(const std::vector<std::string>& names) {
    updating_ = true;
    sig_->clear();
    for (const std::string& name : names) sig_->addItem(ToQ(name));
    sig_->setCurrentIndex(-1);
    updating_ = false;
}

void AccountsWindow::ShowDefaultAccount(const std::vector<std::string>& choices,
                                        std::string_view shown) {
    updating_ = true;
    default_->clear();
    for (const std::string& name : choices) default_->addItem(ToQ(name));
    const int at = default_->findText(ToQ(shown));
    if (at < 0 && !shown.empty()) default_->addItem(ToQ(shown));
    default_->setCurrentIndex(default_->findText(ToQ(shown)));
    updating_ = false;
}

void AccountsWindow::FocusAccountName() {
    // After the event that moved the focus away has finished.
    QTimer::singleShot(0, account_, [this] {
        account_->setFocus();
        account_->selectAll();
    });
}

void AccountsWindow::CloseWindow() {
    if (!closing_) QDialog::reject();
}

void AccountsWindow::accept() {
    try {
        chosen_ = core_.BtnOKClick();
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "Kivo", ToQ(e.what()));
        return;
    }
    if (!chosen_) return;  // the name field holds on to the focus
    closing_ = true;
    QDialog::accept();
}

void AccountsWindow::reject() {
    closing_ = true;
    core_.BtnCancelClick();
    QDialog::reject();
}

void AccountsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    core_.FormActivate();
}

bool AccountsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == account_) core_.EditAccountEnter();
        // Entering a text field selects its whole text.
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        }
        if (watched == default_) core_.ComboAccountDropDown();
    }
    if (watched == account_ && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window or a menu taking the focus is not leaving the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !closing_) {
            core_.EditAccountExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kivo::ui
