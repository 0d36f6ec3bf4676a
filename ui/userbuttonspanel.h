#pragma once
// The user-button panel at the right of the toolbar: the ten buttons of kivo.ini's [Scripts]
// section with their captions and hints, a handle that collapses the panel to itself or
// widens it, and the pop-up menu item "&Setup Script Buttons...". A click names the button's
// key prefix ("Button1".."Button0"); the main window runs the script.

#include <QWidget>
#include <array>

#include "app/userbuttons.h"

class QScrollArea;
class QToolButton;

namespace kivo::ui {

class UserButtonsPanel : public QWidget {
    Q_OBJECT
  public:
    explicit UserButtonsPanel(QWidget* parent = nullptr);

    // Shows the buttons the model says are used.
    void Apply(const TUserButtons& model);
    // [Program] "ButtonsShowing": at most the handle's width + 4 shows only the handle.
    void SetShowingWidth(int width);
    int ShowingWidth() const;
    bool Collapsed() const { return collapsed_; }
    // The button at position 0..9 (keys "Button1".."Button0").
    QToolButton* Button(std::size_t position) const { return buttons_[position]; }
    QToolButton* Handle() const { return handle_; }

    // Small: the toolbar gives the panel what its own buttons leave, and the panel shows as
    // many of its buttons as fit (the wheel scrolls to the others).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    void Clicked(const QString& keyPrefix);
    void SetupRequested();
    void WidthChanged(int width);

  private:
    void SetCollapsed(bool collapsed);
    // The buttons' area is never wider than the buttons, so they sit at the right.
    void FitScroll();

    QToolButton* handle_ = nullptr;
    QWidget* row_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    std::array<QToolButton*, TUserButtons::kCount> buttons_{};
    bool collapsed_ = false;
};

}  // namespace kivo::ui
