#pragma once
// "Find Messages": the find dialog over TFrmFind. The search runs inside the Find click with
// the event pump, so the dialog shows its progress and Cancel works.

#include <QDialog>
#include <functional>
#include <optional>

#include "app/autochecktimer.h"
#include "search/FFind.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kivo::ui {

class FindWindow : public QDialog, public TFindView {
    Q_OBJECT
  public:
    FindWindow(std::filesystem::path mailFolder, TMailboxHost& host, TFrmMailboxes& tree,
               Platform& platform, TAutoCheckTimer& timer, QWidget* parent = nullptr);

    // Shows the dialog as the menu opens it (a proposed results mailbox, the scope).
    void Open();
    // "&Find"; true when a search ran.
    bool Find();
    TFrmFind& Core() { return find_; }
    // Runs the search as a store operation of the main window, which shows its failure; false
    // when it did not run (another one or a check runs) or failed.
    std::function<bool(const std::function<void()>&)> Guard = [](const auto& f) {
        f();
        return true;
    };
    QLineEdit* FindText() const { return findText_; }
    // What the last search found ("3 messages found").
    QLabel* Result() const { return result_; }

    void Searching(std::string_view relPath) override;
    void MessageNumber(int count) override;
    bool CancelRequested() override { return cancel_; }
    void SetBusy(bool busy) override;

  signals:
    // The results mailbox was opened in the main window.
    void ResultsOpened();

  private:
    TFrmFind find_;
    QLineEdit* findText_ = nullptr;
    QCheckBox* ignoreCase_ = nullptr;
    QLineEdit* excludeText_ = nullptr;
    QCheckBox* excludeIgnoreCase_ = nullptr;
    QRadioButton* allMailboxes_ = nullptr;
    QRadioButton* currentFolder_ = nullptr;
    QLineEdit* destination_ = nullptr;
    QLabel* searching_ = nullptr;
    QLabel* number_ = nullptr;
    QLabel* result_ = nullptr;
    QPushButton* findButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    bool cancel_ = false;
    TAutoCheckTimer& timer_;
    // The automatic check waits while a search runs.
    std::optional<TAutoCheckSuspension> hold_;
};

}  // namespace kivo::ui
