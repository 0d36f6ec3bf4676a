#pragma once
// A message index window's face: the title panel ("Mailbox:" and the Show controls) over the
// list of the index's rows. The main window docks one; a separate index window holds another.
// Sorting, the Show filter and its tags are TFrmIndex's; the pane applies the user's choices
// and keeps the list's selection in step with the index's.

#include <QWidget>
#include <array>

#include "store/KivoIndex.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace kivo::ui {

class IndexModel;

class IndexPane : public QWidget {
    Q_OBJECT
  public:
    IndexPane(TFrmIndex& index, QWidget* parent = nullptr);

    TFrmIndex& Index() { return index_; }
    QTableView* List() const { return list_; }
    IndexModel* Model() const { return model_; }
    QComboBox* Criterion() const { return criterion_; }
    QLineEdit* ShowText() const { return text_; }
    QPushButton* GoButton() const { return go_; }
    QCheckBox* HideRest() const { return hideRest_; }

    // The entries changed: the rows, the title and the controls follow the index.
    void Reload();
    // Marks in the list the rows the index has selected and shows the focused one.
    void SyncSelectionToView();
    // Marks each selected message unread, or read when it is unread (Ctrl+Shift+U in the list).
    void ToggleUnread();
    // Applies the Show controls as they stand ("Go!", Enter, the criterion, "Hide rest").
    void ApplyFilter();
    // The title panel's close button: "closing" a docked list makes it a window of its own,
    // closing a separate one docks it again (or closes a further mailbox's window).
    QToolButton* CloseButton() const { return close_; }
    void SetSeparate(bool separate);
    // Rows dragged from another list (`source`) arrive here; a drop ends in this.
    void DropMessages(QObject* source, bool copy);
    // The column widths of a program that never saved its own: the list's font decides, so
    // a whole date and a sender's name show at the window's first size.
    void FitDefaultWidths();
    // Saved widths, the date column widened where it could not hold a whole date.
    void SetColumnWidths(const std::array<int, 6>& widths);
    // Widens the date column to a whole date in the list's font (after a font change).
    void FitDateColumn();
    // The width a whole date needs in the list's font, margins included.
    int DateColumnWidth() const;

  signals:
    // The rows changed through the Show filter (the message count follows).
    void FilterApplied();
    // The user changed the selection or the focused row.
    void SelectionChanged();
    // The title panel's close button was pressed.
    void CloseRequested();
    // Rows are being dragged from this list, and the drag is over.
    void DragStarted();
    void DragEnded();
    // Rows of another list (the drag's source widget) were dropped on this one.
    void MessagesDropped(QObject* source, bool copy);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateTitle();

    TFrmIndex& index_;
    IndexModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* name_ = nullptr;
    QComboBox* criterion_ = nullptr;
    QLineEdit* text_ = nullptr;
    QPushButton* go_ = nullptr;
    QCheckBox* hideRest_ = nullptr;
    QToolButton* close_ = nullptr;
    bool syncing_ = false;
};

}  // namespace kivo::ui
