#pragma once
// The application object of the windows: an exception that escapes a slot or an event handler
// is logged and the program goes on, instead of ending with whatever the user had open.

#include <QApplication>
#include <functional>
#include <string>

namespace kivo::ui {

class KivoApplication : public QApplication {
    Q_OBJECT
  public:
    KivoApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Told the text of each escaped error after it was written to standard error (the main
    // window puts it into its progress log).
    std::function<void(const std::string& text)> Escaped;
    int EscapedCount() const { return escaped_; }

  private:
    void Report(const std::string& text);
    int escaped_ = 0;
};

}  // namespace kivo::ui
