#pragma once
// The splash window of the start: a borderless picture with rounded corners that shows what
// the start is doing ("Starting application...", "Loading user files...") and the version.

#include <QWidget>

class QLabel;

namespace kivo::ui {

class Splash : public QWidget {
    Q_OBJECT
  public:
    Splash();

    // The progress text; painted at once, as the start does not return to the event loop.
    void SetProgress(const QString& text);
    // Puts the version on the picture and shows its label.
    void SetVersion(const QString& version);
    QString Progress() const;
    QString Version() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QLabel* progress_ = nullptr;
    QLabel* version_ = nullptr;
};

}  // namespace kivo::ui
