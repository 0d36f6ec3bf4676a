#pragma once
// The screen shots of the composer: a plain message being written, and a styled one with a
// bulleted list, a colour, words in several scripts and an attachment.

#include <QString>
#include <functional>

class QWidget;

namespace kivo::ui {

class MainWindow;

// Opens composers from the main window, shoots each into OUT and closes them; returns the
// number of failed shots.
int ShootComposer(MainWindow& window, const QString& out,
                  const std::function<bool(QWidget*, const QString&)>& shoot);

}  // namespace kivo::ui
