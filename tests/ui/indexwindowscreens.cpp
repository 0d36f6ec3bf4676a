#include "tests/ui/indexwindowscreens.h"

#include <QTableView>

#include "ui/indexpane.h"
#include "ui/indexwindow.h"
#include "ui/mainwindow.h"

namespace kivo::ui {

int ShootIndexWindows(MainWindow& window, const QString& out,
                      const std::function<bool(QWidget*, const QString&)>& shoot) {
    int failures = 0;
    window.CloseIndexWindow();
    IndexWindow* floating = window.FloatingIndex();
    if (!floating) return 1;
    floating->resize(820, 360);
    window.List()->selectRow(2);
    failures += !shoot(floating, out + "/index-window.png");
    failures += !shoot(&window, out + "/main-index-floating.png");

    if (IndexWindow* family = window.OpenMailboxWindow("Family")) {
        family->resize(760, 260);
        family->move(window.frameGeometry().topLeft() + QPoint(300, 420));
        failures += !shoot(family, out + "/index-window-family.png");
        family->close();
    } else {
        ++failures;
    }

    // Closed, the floating list docks under the view.
    floating->close();
    failures += !shoot(&window, out + "/main-index-docked-below.png");
    window.Main().Settings().Position.DockAlign = 0;
    window.DockWindows(0);
    return failures;
}

}  // namespace kivo::ui
