#pragma once
// "Kivo Progress Window": the progress and error log with COPY, SAVE and X.

#include <QDialog>

#include "app/progresslog.h"

class QTextBrowser;

namespace kivo::ui {

class ProgressWindow : public QDialog {
    Q_OBJECT
  public:
    ProgressWindow(TProgressLog& log, QWidget* parent = nullptr);
    // Shows the log's entries when they changed.
    void Refresh();
    QTextBrowser* Text() const { return text_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    TProgressLog& log_;
    QTextBrowser* text_ = nullptr;
    std::uint64_t shown_ = ~std::uint64_t{0};
};

}  // namespace kivo::ui
