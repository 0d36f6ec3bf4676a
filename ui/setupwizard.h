#pragma once
// "Welcome to Kivo": the setup wizard's window over TFrmSetupWizard.

#include <QDialog>
#include <array>

#include "accounts/KivoWizard.h"

class QLineEdit;

namespace kivo::ui {

class SetupWizard : public QDialog {
    Q_OBJECT
  public:
    SetupWizard(TFrmSetupWizard& wizard, QWidget* parent = nullptr);
    QLineEdit* Field(TWizardField field) const { return fields_[static_cast<std::size_t>(field)]; }

  protected:
    void done(int result) override;

  private:
    TFrmSetupWizard& wizard_;
    std::array<QLineEdit*, 6> fields_{};
    bool updating_ = false;
};

}  // namespace kivo::ui
