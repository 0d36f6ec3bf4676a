#pragma once
// The screen shots of the message index in windows of its own: the main list floating beside
// the main window, a further mailbox in its own window, and the list docked again below.

#include <QString>
#include <functional>

class QWidget;

namespace kivo::ui {

class MainWindow;

// Shoots into OUT and leaves the list docked over the view as it found it; returns the
// number of failed shots.
int ShootIndexWindows(MainWindow& window, const QString& out,
                      const std::function<bool(QWidget*, const QString&)>& shoot);

}  // namespace kivo::ui
