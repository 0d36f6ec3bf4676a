#pragma once
// The windows' commands: a QAction with the program's text, shortcut and hint, named so the
// tests, the menus and the toolbars find it.

#include <QAction>
#include <QKeySequence>
#include <QString>
#include <initializer_list>
#include <map>

class QMenu;

namespace kivo::ui {

// Adds the action to `window` (its shortcut works anywhere in it) and to `actions` by name.
QAction* AddNamedAction(QWidget* window, std::map<QString, QAction*>& actions, const QString& name,
                        const QString& text, const QKeySequence& key, const QString& hint);

// Adds the named actions to the menu in order; "" is a separator.
void AddToMenu(QMenu* menu, const std::map<QString, QAction*>& actions,
               std::initializer_list<const char*> names);

}  // namespace kivo::ui
