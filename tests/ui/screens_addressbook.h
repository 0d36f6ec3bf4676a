#pragma once
// The address book's screen shots, taken by kivo_screens with its own shooter.

#include <QString>
#include <functional>

class QWidget;

namespace kivo::ui {

class MainWindow;
using TShoot = std::function<bool(QWidget*, const QString&)>;

// Returns how many shots failed.
int AddressBookScreens(MainWindow& window, const QString& out, const TShoot& shoot);

}  // namespace kivo::ui
