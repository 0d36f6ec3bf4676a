#pragma once
// "Choose address": asked when a typed name matches several contacts. OK or a double-click
// takes the selected candidate; None or closing keeps the typed text.

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/KivoChooseAddress.h"

class QListWidget;

namespace kivo::ui {

class ChooseAddressDialog : public QDialog {
    Q_OBJECT
  public:
    ChooseAddressDialog(std::string_view text, const std::vector<std::string>& candidates,
                        QWidget* parent = nullptr);
    QListWidget* Candidates() const { return list_; }
    // The chosen candidate after exec(); none for None or a closed dialog.
    const std::optional<std::string>& Choice() const { return choice_; }

  private:
    void Take();

    QListWidget* list_ = nullptr;
    std::optional<std::string> choice_;
};

// The composer's chooser in the windows: a modal ChooseAddressDialog over `parent`.
class QtChooseAddress : public TFrmChooseAddress {
  public:
    explicit QtChooseAddress(QWidget* parent = nullptr) : parent_(parent) {}
    std::optional<std::string> Choose(std::string_view text,
                                      const std::vector<std::string>& candidates) override;

  private:
    QWidget* parent_;
};

}  // namespace kivo::ui
