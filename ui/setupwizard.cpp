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
        fields_[static_cast<std::size_t>(field)] = edit;
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        form->addRow(caption, edit);
        connect(edit, &QLineEdit::textChanged, this, [this, field = field, edit](const QString& t) {
            if (updating_) return;
            wizard_.FieldChange(field, FromQ(t), edit->hasFocus());
            // The guesses fill the fields the user has not typed into.
            updating_ = true;
            for (std::size_t k = 0; k < fields_.size(); ++k) {
                const QString value = ToQ(wizard_.Field(static_cast<TWizardField>(k)));
                if (fields_[k] != edit && fields_[k]->text() != value) fields_[k]->setText(value);
            }
            updating_ = false;
        });
    }
    auto* guess = new QLabel("I will try to guess the rest. Correct me if I'm wrong.", this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* finish = buttons->addButton("Finish", QDialogButtonBox::AcceptRole);
    finish->setAccessibleName("Finish");
    finish->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(guess);
    layout->addWidget(buttons);
}

void SetupWizard::done(int result) {
    // Finishing and closing otherwise both write the account.
    try {
        wizard_.FormClose();
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "Kivo", ToQ(e.what()));
    }
    QDialog::done(result);
}

}  // namespace kivo::ui
