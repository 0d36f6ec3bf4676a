#pragma once
// A message index window of its own: the main window's list while it floats, or a further
// mailbox opened in a window of its own (which then owns its index state). It is listed in
// the main window's open windows list and Window menu while it shows. Closing it asks its
// owner (Closing): the main list docks again, a further mailbox's window saves and goes.

#include <QMainWindow>
#include <functional>
#include <memory>

#include "app/openwindows.h"

namespace kivo {
class TFrmIndex;
}

namespace kivo::ui {

class IndexPane;

class IndexWindow : public QMainWindow, public TOpenWindow {
    Q_OBJECT
  public:
    // A window for a pane that lives elsewhere (the main list), empty until Hold.
    IndexWindow(TOpenWindows& windows, QWidget* parent);
    // A window of its own over `index`, which it keeps.
    IndexWindow(std::unique_ptr<TFrmIndex> index, TOpenWindows& windows, QWidget* parent);
    ~IndexWindow() override;

    // Puts the pane in the window, shows it and lists the window; Release takes the pane out
    // again (to dock it), hides the window and takes it off the list.
    void Hold(IndexPane* pane);
    IndexPane* Release();
    IndexPane* Pane() const { return pane_; }
    // Takes the window off the list, keeping its pane (a window on its way out).
    void Unlist();
    bool Listed() const { return listed_; }
    // The window's title follows the mailbox the pane shows.
    void UpdateTitle();

    // What closing the window does; without it the window only hides.
    std::function<void()> Closing;

    // TOpenWindow
    std::string Caption() const override;
    bool Close() override;
    void Show() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    TOpenWindows& windows_;
    std::unique_ptr<TFrmIndex> own_;
    IndexPane* pane_ = nullptr;
    bool listed_ = false;
};

}  // namespace kivo::ui
