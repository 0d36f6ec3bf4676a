#pragma once
// The message view's window side (TFrmMsg on the screen): the title bar with the subject, the
// sender strip with the date, the display of the message's HTML, and the attachments pane.
// The docked view in the main window and each separate view window hold one. It shows what
// TFrmMsg rendered and hands the user's commands back to it; the commands that belong to the
// main window (font size, fast reading, the attachments folder) go through the hooks.

#include <QAbstractListModel>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "app/KivoSettings.h"
#include "view/KivoMsg.h"

class QAction;
class QCalendarWidget;
class QLabel;
class QListView;
class QSplitter;
class QToolButton;

namespace kivo::ui {

class MessageView;

// The attachments pane's rows: each file's name with the icon of its type, or the missing-file
// icon. Icons are made only for the rows on show, one per file type, so a message listing
// thousands of files opens at once.
class AttachmentModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit AttachmentModel(const TFrmMsg& msg, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The message was written again.
    void Reload();

  private:
    const TFrmMsg& msg_;
    mutable std::map<QString, QIcon> icons_;
};

// What the pane asks of the window around it; an empty hook leaves its control disabled.
struct MessagePaneHooks {
    // The main window is busy retrieving a message ("Toggle Show Headers" waits then).
    std::function<bool()> MainBusy;
    // "Enlarge font" (+1) and "Shrink font" (-1).
    std::function<void(int)> ChangeFontSize;
    // "Toggle Fast Reading" (the docked view only).
    std::function<void(bool)> SetFastRead;
    std::function<void()> OpenAttachFolder;
    // A click on the title bar (the docked view only).
    std::function<void()> TitleClick;
    // The "From:" button with the sender's From value.
    std::function<void(const std::string&)> AddSender;
    // "Change Display F&onts..." and "Change Display Co&lours...": the options window at its
    // page "Fonts" or "Colours".
    std::function<void(TSettingsPage)> OpenOptions;
    // A "mailto:" link clicked in the message: a new composer for it.
    std::function<void(const std::string&)> ComposeMailTo;
    // An attached message opened from the attachments pane: a message view window for it.
    std::function<bool(const std::filesystem::path&)> OpenAttachedMessage;
};

class MessagePane : public QWidget, public TFrmMsgView {
    Q_OBJECT
  public:
    // `separate`: a view window of its own, without the fast-reading toggle.
    MessagePane(TMsgOptions options, Platform& platform, bool separate, QWidget* parent = nullptr);
    ~MessagePane() override;

    TFrmMsg& Msg() { return msg_; }
    const TFrmMsg& Msg() const { return msg_; }
    MessageView* View() const { return view_; }
    QListView* AttachmentList() const { return attachList_; }
    QAction* Action(const QString& name) const;
    void SetHooks(MessagePaneHooks hooks);

    // Shows no message.
    void Clear();
    // The program's message font and colours; a message on show is shown again in them.
    void SetLook(const QString& family, int pointSize, const QColor& text, const QColor& back,
                 const QColor& link);
    // "View &Attachments" changed: the pane follows it.
    void UpdateAttachPane();
    void SetFastReadChecked(bool on);

    // TFrmMsgView
    void MessageWritten(const TFrmMsg& msg) override;
    TQueryAttachAnswer QueryAttach() override;
    bool ComposeMailTo(std::string_view mailto) override;
    bool OpenAttachedMessage(const std::filesystem::path& file) override;

  signals:
    // A message was written (its attachments may enable "View &Attachments").
    void Written();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* AddAction(const QString& name, const QString& text, const QKeySequence& key = {});
    void BuildActions(bool separate);
    void OpenAttachmentAt(const QModelIndex& index);
    void ShowAttachmentMenu(const QPoint& at);
    void ShowContextMenu(const QPoint& at);
    // The written message's HTML on the display.
    void ShowWritten();

    TFrmMsg msg_;
    MessagePaneHooks hooks_;
    std::map<QString, QAction*> actions_;
    QLabel* title_ = nullptr;
    QToolButton* fromButton_ = nullptr;
    QLabel* account_ = nullptr;
    QLabel* from_ = nullptr;
    QToolButton* sentButton_ = nullptr;
    QLabel* date_ = nullptr;
    QLabel* time_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
    QSplitter* split_ = nullptr;
    MessageView* view_ = nullptr;
    QWidget* attachPane_ = nullptr;
    QListView* attachList_ = nullptr;
    AttachmentModel* attachModel_ = nullptr;
    bool written_ = false;
};

}  // namespace kivo::ui
