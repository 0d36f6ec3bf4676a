#pragma once
// A separate message view window: one message in a window of its own, opened from the list
// with a double click or Enter. It opens where composers open (cascading, kept on the screen)
// and leaves its place for the next one when it closes; it is listed in the main window's
// open windows list and Window menu while it is open.

#include <QMainWindow>
#include <filesystem>

#include "app/openwindows.h"
#include "view/KivoMsg.h"

namespace kivo::ui {

class MessagePane;

class MessageWindow : public QMainWindow, public TOpenWindow {
    Q_OBJECT
  public:
    // `settingsFile` keeps the window's place; `windows` lists it while it is open. A window
    // on an attached message owns `partsFolder`, where that message's own attachments are
    // (found there instead of the attachments folder), and removes it when it goes.
    MessageWindow(TMsgOptions options, Platform& platform, TOpenWindows& windows,
                  std::filesystem::path settingsFile, QWidget* parent,
                  std::filesystem::path partsFolder = {});
    ~MessageWindow() override;

    MessagePane* Pane() const { return pane_; }
    // Shows a message's lines; the caption becomes its subject and sender.
    void WriteMessage(std::vector<std::string> headers, std::vector<std::string> body, int number);

    // TOpenWindow
    std::string Caption() const override;
    bool Close() override;
    void Show() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    MessagePane* pane_ = nullptr;
    TOpenWindows& windows_;
    std::filesystem::path settingsFile_;
    std::filesystem::path partsFolder_;
    bool listed_ = true;
};

}  // namespace kivo::ui
