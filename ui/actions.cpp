#include "ui/actions.h"

#include <QMenu>
#include <QWidget>

namespace kivo::ui {

QAction* AddNamedAction(QWidget* window, std::map<QString, QAction*>& actions, const QString& name,
                        const QString& text, const QKeySequence& key, const QString& hint) {
    auto* action = new QAction(text, window);
    action->setObjectName(name);
    if (!key.isEmpty()) action->setShortcut(key);
    if (!hint.isEmpty()) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
    }
    actions[name] = action;
    window->addAction(action);
    return action;
}

void AddToMenu(QMenu* menu, const std::map<QString, QAction*>& actions,
               std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (*name == 0) {
            menu->addSeparator();
        } else {
            menu->addAction(actions.at(name));
        }
    }
}

}  // namespace kivo::ui
