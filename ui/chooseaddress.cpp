#include "ui/chooseaddress.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qtext.h"

namespace kivo::ui {

ChooseAddressDialog::ChooseAddressDialog(std::string_view text,
                                         const std::vector<std::string>& candidates,
                                         QWidget* parent)
    : QDialog(parent) {
    setObjectName("chooseAddress");
    setWindowTitle(kChooseCaption);
    setAccessibleName(kChooseCaption);
    auto* found = new QLabel(kChooseFound, this);
    auto* prompt = new QLabel(kChoosePrompt, this);
    auto* typed = new QLabel(ToQ(text), this);
    typed->setObjectName("chooseText");
    typed->setAccessibleName("Typed text");
    QFont bold = typed->font();
    bold.setBold(true);
    typed->setFont(bold);
    typed->setTextInteractionFlags(Qt::TextSelectableByMouse);
    list_ = new QListWidget(this);
    list_->setObjectName("chooseCandidates");
    list_->setAccessibleName("Addresses found");
    for (const std::string& candidate : candidates) list_->addItem(ToQ(candidate));
    list_->setCurrentRow(0);
    prompt->setBuddy(list_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    QPushButton* none = buttons->addButton("None", QDialogButtonBox::RejectRole);
    ok->setObjectName("chooseOk");
    none->setObjectName("chooseNone");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &ChooseAddressDialog::Take);
    connect(none, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &ChooseAddressDialog::Take);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(found);
    layout->addWidget(prompt);
    layout->addWidget(typed);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    list_->setFocus();
    resize(360, 240);
}

void ChooseAddressDialog::Take() {
    if (QListWidgetItem* item = list_->currentItem()) {
        choice_ = FromQ(item->text());
        accept();
    }
}

std::optional<std::string> QtChooseAddress::Choose(std::string_view text,
                                                   const std::vector<std::string>& candidates) {
    ChooseAddressDialog dialog(text, candidates, parent_);
    dialog.exec();
    return dialog.Choice();
}

}  // namespace kivo::ui
