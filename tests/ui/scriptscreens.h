#pragma once
// The screen shots of the filters and scripts window, one for each page and sub-page.

#include <QString>
#include <functional>

class QWidget;

namespace kivo::ui {

class MainWindow;

// Opens the window over the main window's program folder (its built-in scripts written
// first) and shoots each page into OUT; returns the number of failed shots.
int ShootScriptsWindow(MainWindow& window, const QString& out,
                       const std::function<bool(QWidget*, const QString&)>& shoot);

}  // namespace kivo::ui
