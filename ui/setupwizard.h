#pragma once
// "Welcome to Kivo": the setup wizard's window over TFrmSetupWizard.

#include <QDialog>
#include <array>

#include "accounts/KivoWizard.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kivo::ui {

class SetupWizard : public QDialog {
    Q_OBJECT
  public:
    SetupWizard(TFrmSetupWizard& wizard, QWidget* parent = nullptr);
    QLineEdit* Field(TWizardField field) const { return fields_[static_cast<std::size_t>(field)]; }

  protected:
    // Cancel, Esc and the window's close button: nothing is written. While the guessed
    // servers are tried, the trying stops and the window closes after it.
    void done(int result) override;

  private:
    void Finish();
    // Shows the core's fields (a probe may have replaced a guess).
    void ShowFields(const QLineEdit* except = nullptr);
    void SetBusy(bool busy);

    TFrmSetupWizard& wizard_;
    std::array<QLineEdit*, 6> fields_{};
    QLabel* status_ = nullptr;
    QPushButton* finish_ = nullptr;
    bool updating_ = false;
    bool busy_ = false;
};

}  // namespace kivo::ui
