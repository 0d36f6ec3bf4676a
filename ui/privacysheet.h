#pragma once
// The privacy sheet over the main window: a window-modal cover that first counts down from 2
// ("LOCKED IN", "Any key or click escapes"), then shows an analogue clock and opens only for
// the privacy password. Its state and the password rule are TPrivacySheet's.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>

#include "app/privacy.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kivo::ui {

// The analogue clock of the locked sheet: hour, minute and second hands.
class PrivacyClock : public QWidget {
    Q_OBJECT
  public:
    explicit PrivacyClock(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class PrivacySheet : public QDialog {
    Q_OBJECT
  public:
    // `password` gives [Mail] "PrivacyPass" as it stands when the user unlocks.
    PrivacySheet(TPrivacySheet& sheet, std::function<std::string()> password, QWidget* cover);

    // Covers the window and starts the countdown.
    void Activate();
    QLineEdit* PasswordField() const { return password_; }
    QPushButton* UnlockButton() const { return unlock_; }
    QLabel* CountdownLabel() const { return countdown_; }
    PrivacyClock* Clock() const { return clock_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void reject() override;

  private:
    void Update();
    void TryUnlock();

    TPrivacySheet& sheet_;
    std::function<std::string()> passwordOf_;
    QWidget* cover_;
    QTimer tick_;
    QWidget* countdownPanel_ = nullptr;
    QWidget* lockPanel_ = nullptr;
    QLabel* countdown_ = nullptr;
    PrivacyClock* clock_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* unlock_ = nullptr;
};

}  // namespace kivo::ui
