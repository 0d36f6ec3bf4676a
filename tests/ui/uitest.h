#pragma once
// What the window tests share: waiting for a condition, a platform that records what the desktop
// would open, a stored message, reading the text of a web page, running the program's own script
// on it, and clicking a list row.

#include <QAbstractItemView>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>
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

// A message as a mailbox file holds it.
inline std::string StoredMessage(const std::string& from, const std::string& subject,
                                 const std::string& body) {
    return "From " + from + " 01/12/2026 10:00:00\r\nFrom: " + from +
           "\r\nTo: me@example.test\r\n" + "Subject: " + subject +
           "\r\nDate: Tue, 1 Dec 2026 10:00:00 +0000\r\nStatus: U\r\n\r\n" + body + "\r\n\r\n";
}

// The page's answers come asynchronously; one that comes after the wait gave up must find its
// state still alive, so it is shared with the callback instead of living on the stack.
template <typename T>
struct PageAnswer {
    T value;
    bool done = false;
};

inline QString PlainText(QWebEnginePage* page) {
    auto answer = std::make_shared<PageAnswer<QString>>();
    page->toPlainText([answer](const QString& t) {
        answer->value = t;
        answer->done = true;
    });
    (void)QTest::qWaitFor([&] { return answer->done; }, 20000);
    return answer->value;
}

inline QVariant RunInOwnWorld(QWebEnginePage* page, const QString& script) {
    auto answer = std::make_shared<PageAnswer<QVariant>>();
    // The program's own world runs even with the page's JavaScript off; the message's cannot.
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& v) {
        answer->value = v;
        answer->done = true;
    });
    (void)QTest::qWaitFor([&] { return answer->done; }, 20000);
    return answer->value;
}

inline void ClickRow(QAbstractItemView* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

}  // namespace kivo::ui::uitest
