#include "ui/setupwizard.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qtext.h"

namespace kivo::ui {

SetupWizard::SetupWizard(TFrmSetupWizard& wizard, QWidget* parent)
    : QDialog(parent), wizard_(wizard) {
    setObjectName("setupWizard");
    setWindowTitle("Welcome to Kivo");
    setAccessibleName("Welcome to Kivo");
    auto* intro = new QLabel(
        "Since this is the first time you started Kivo, I need to\n"
        "collect some information about your e-mail account.\n"
        "Just enter your information below, and override the\n"
        "automatically filled up fields if you need to.",
        this);
    auto* form = new QFormLayout;
    const std::array<std::pair<TWizardField, const char*>, 6> rows = {{
        {TWizardField::Email, "Your &e-mail address:"},
        {TWizardField::FullName, "Your &full name:"},
        {TWizardField::POPServer, "&POP Server:"},
        {TWizardField::POPAccount, "POP &Account:"},
        {TWizardField::Password, "E-mail pass&word:"},
        {TWizardField::SMTPServer, "&SMTP Server:"},
    }};
    for (const auto& [field, label] : rows) {
        auto* edit = new QLineEdit(this);
        QString name = QString(label).remove('&');
        name.chop(1);
        edit->setAccessibleName(name);
        edit->setObjectName(name);
        if (field == TWizardField::Password) edit->setEchoMode(QLineEdit::Password);
        // Room for a guessed "smtp.DOMAIN:465" of a usual length without scrolling.
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 36);
        fields_[static_cast<std::size_t>(field)] = edit;
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        form->addRow(caption, edit);
        connect(edit, &QLineEdit::textChanged, this, [this, field = field, edit](const QString& t) {
            if (updating_) return;
            wizard_.FieldChange(field, FromQ(t), edit->hasFocus());
            // The guesses fill the fields the user has not typed into.
            ShowFields(edit);
        });
    }
    auto* guess = new QLabel("I will try to guess the rest. Correct me if I'm wrong.", this);
    status_ = new QLabel(this);
    status_->setObjectName("probeStatus");
    status_->setWordWrap(true);
    status_->hide();
    auto* buttons = new QDialogButtonBox(this);
    finish_ = buttons->addButton("Finish", QDialogButtonBox::AcceptRole);
    finish_->setAccessibleName("Finish");
    finish_->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupWizard::Finish);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(guess);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

void SetupWizard::ShowFields(const QLineEdit* except) {
    updating_ = true;
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        const QString value = ToQ(wizard_.Field(static_cast<TWizardField>(k)));
        if (fields_[k] != except && fields_[k]->text() != value) fields_[k]->setText(value);
    }
    updating_ = false;
}

void SetupWizard::SetBusy(bool busy) {
    busy_ = busy;
    finish_->setEnabled(!busy);
    for (QLineEdit* field : fields_) field->setReadOnly(busy);
    if (!busy) status_->hide();
}

void SetupWizard::Finish() {
    if (busy_) return;
    SetBusy(true);
    bool plainTextConfirmed = false;
    for (;;) {
        TWizardOutcome outcome;
        try {
            // The probes run the event pump: the status line shows and Cancel stays live.
            outcome = wizard_.FinishClick(plainTextConfirmed, [this](std::string_view text) {
                status_->setText(ToQ(text));
                status_->show();
            });
        } catch (const std::exception& e) {
            QMessageBox::warning(this, "Kivo", ToQ(e.what()));
            break;
        }
        ShowFields();
        if (outcome.step == TWizardStep::written || outcome.step == TWizardStep::canceled) {
            SetBusy(false);
            QDialog::done(outcome.step == TWizardStep::written ? Accepted : Rejected);
            return;
        }
        if (outcome.step == TWizardStep::unreachable) {
            QMessageBox::warning(this, "Kivo", ToQ(outcome.text));
            break;
        }
        QMessageBox question(QMessageBox::Warning, "Kivo", ToQ(outcome.text),
                             QMessageBox::Yes | QMessageBox::No, this);
        question.setObjectName("plainTextQuestion");
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes) break;
        plainTextConfirmed = true;
    }
    SetBusy(false);
}

void SetupWizard::done(int result) {
    wizard_.CancelClick();
    // Still trying the guesses: Finish closes the window once the current probe ends.
    if (busy_) return;
    QDialog::done(result);
}

}  // namespace kivo::ui
