#pragma once
// What the window tests share: waiting for a condition, a platform that records what the desktop
// would open, reading the text of a web page, running the program's own script on it, and clicking
// a list row.

#include <QAbstractItemView>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <string>
#include <vector>

#include "ui/qtplatform.h"

namespace kivo::ui::uitest {

// The desktop's handlers are not started from a test: what would be opened is recorded.
class RecordingPlatform : public QtPlatform {
  public:
    bool ShellOpen(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
    std::vector<std::string> opened;
};

// Lets events run until `done` holds or `ms` have passed; whether it held.
template <typename Done>
bool WaitFor(Done done, int ms = 20000) {
    return QTest::qWaitFor(done, ms);
}

inline QString PlainText(QWebEnginePage* page) {
    QString text;
    bool done = false;
    page->toPlainText([&](const QString& t) {
        text = t;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 20000);
    return text;
}

inline QVariant RunInOwnWorld(QWebEnginePage* page, const QString& script) {
    QVariant result;
    bool done = false;
    // The program's own world runs even with the page's JavaScript off; the message's cannot.
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 20000);
    return result;
}

inline void ClickRow(QAbstractItemView* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

}  // namespace kivo::ui::uitest
