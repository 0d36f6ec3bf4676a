#pragma once
// The help window: TFrmHelp's pages in a QTextBrowser, with "Contents" and "Back", links
// between the help pages, web links handed to the desktop, "&Copy" and "Select &All" on the
// pop-up menu, and 40 pixels of scrolling per wheel notch. It lives for the whole run and is
// only hidden when closed.

#include <QWidget>

#include "view/FHelp.h"

class QTextBrowser;
class QPushButton;

namespace kivo::ui {

class HelpWindow : public QWidget, public TFrmHelpView {
    Q_OBJECT
  public:
    HelpWindow(std::filesystem::path helpFolder, Platform& platform, QWidget* parent = nullptr);

    // "&Contents" (F1): shows the window in the message font, at the contents page.
    void ShowHelp(std::string_view messageFont);
    TFrmHelp& Help() { return help_; }
    QTextBrowser* Browser() const { return browser_; }
    // The page on show, empty for the replacement page.
    std::filesystem::path CurrentFile() const { return current_; }

    // TFrmHelpView
    void SetDefaultFont(std::string_view name, int size) override;
    void LoadFile(const std::filesystem::path& file) override;
    void LoadHtml(std::string_view html) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QTextBrowser* browser_ = nullptr;
    TFrmHelp help_;
    std::filesystem::path current_;
    bool placed_ = false;
};

}  // namespace kivo::ui
