#pragma once
// "Addresses": the mini address list, a dock of the main window that can float. It lists one
// field of every contact; a click adds the entry to the linked composer's focused address
// field, a double-click starts a message to it, a drag carries the contact (to the mailbox
// tree) and its addresses as text (to any text field), and messages dropped on an entry are
// forwarded or bounced to it. The rules are TfrmAddress's, TMiniListLink's and
// minilistplace.h's.

#include <QDockWidget>
#include <QListWidget>
#include <QPointer>
#include <filesystem>
#include <functional>

#include "addressbook/KivoAddress.h"
#include "addressbook/minilistlink.h"
#include "addressbook/minilistplace.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace kivo::ui {

class QtPlatform;

// The entries: drags a contact out, takes messages dropped on an entry.
class MiniListView : public QListWidget {
    Q_OBJECT
  public:
    MiniListView(const TfrmAddress& book, QWidget* parent);

  signals:
    void MessagesDropped(const QString& entry);

  protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
    void startDrag(Qt::DropActions supported) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Enter on an entry does what a click does.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    const TfrmAddress& book_;
};

// "Click to return to the..." with "...message": brings the linked composer back.
class BackWindow : public QWidget {
    Q_OBJECT
  public:
    explicit BackWindow(QWidget* parent);
    QPointer<QWidget> Composer;
};

class MiniAddressList : public QDockWidget {
    Q_OBJECT
  public:
    MiniAddressList(QtPlatform& platform, QWidget* parent);
    ~MiniAddressList() override;

    // Reads address.ini and lists the chosen field again.
    void Init(const std::filesystem::path& addressFile);
    const TfrmAddress& Book() const { return book_; }
    TMiniListLink& Link() { return link_; }

    // A composer's To, Cc or Bcc button: the list serves `composer` (its focused field named
    // "To", "Cc" or "Bcc" takes the clicked entries) and shows beside it. The link ends when
    // the composer goes or calls UnlinkComposer.
    void LinkComposer(QWidget* composer);
    void UnlinkComposer(QWidget* composer);

    // Docks the list as kivo.ini's place says (or floats it there), and the place to keep.
    void Place(const TListPlace& place, QMainWindow& main);
    TListPlace PlaceToKeep(const TListPlace& before) const;

    QComboBox* Selector() const { return selector_; }
    MiniListView* Entries() const { return entries_; }
    BackWindow* Back() const { return back_; }

    std::function<void(const std::string& entry)> OpenComposer;
    std::function<void()> OpenEditor;

  signals:
    void MessagesDropped(const QString& entry);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void Refill();
    void ShowHighlight();
    void EntryClicked(QListWidgetItem* item);
    void CopyEmail();
    void ShowBack(QWidget* composer);

    class Composer;
    QtPlatform& platform_;
    TfrmAddress book_;
    TMiniListLink link_;
    std::unique_ptr<Composer> composer_;
    QComboBox* selector_ = nullptr;
    MiniListView* entries_ = nullptr;
    BackWindow* back_ = nullptr;
    // Docked before a composer took the list beside it: it docks again when the link ends.
    std::optional<Qt::DockWidgetArea> dockedBefore_;
};

}  // namespace kivo::ui
