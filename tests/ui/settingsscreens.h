#pragma once
// Screen shots of the accounts window and of every page of the options window.

#include <QString>
#include <functional>

class QWidget;

namespace kivo::ui {

class MainWindow;

// Returns the number of shots that failed.
int ShootSettingsWindows(MainWindow& window, const QString& out,
                         const std::function<bool(QWidget*, const QString&)>& shoot);

}  // namespace kivo::ui
