#pragma once
// The composer window: header fields, the rich-text body, the signature pane, the attachment
// list, the mail and style toolbars and the menus over a TfrmSend and its TComposerStyle. It
// never blocks the main window; any number can be open. Every decision (addresses, prompts,
// closing, queueing, sending, styles) is the core's: the window keeps the fields in step with
// it and shows what it says.

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/openwindows.h"
#include "app/windowruns.h"
#include "compose/KivoSend.h"
#include "compose/composerstyle.h"
#include "compose/styledmail.h"
#include "net/mssmtp.h"
#include "script/KivoParser.h"
#include "transfer/composeroutbox.h"
#include "ui/richeditor.h"

class QAction;
class QColor;
class QComboBox;
class QFontComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QToolBar;

namespace kivo {
class TFrmMain;
}

namespace kivo::ui {

class QtPlatform;

class ComposerWindow : public QMainWindow, public TComposerView, public TOpenWindow {
    Q_OBJECT
  public:
    // A composer of the main window, in `mode`; it is shown by Open.
    ComposerWindow(TFrmMain& main, QtPlatform& platform, TComposerMode mode);
    ~ComposerWindow() override;

    TfrmSend& Composer() { return composer_; }
    // After the core was filled (an address, a mailto text, a stored message): the widgets
    // show it, the window opens at its place and the focus goes where the mode says.
    void Open();

    // Called once the window has closed; the owner lets go of it then.
    std::function<void(ComposerWindow*)> Closed;
    // A message was written into a mailbox (queued in Out, filed in Sent or Out).
    std::function<void()> MessageFiled;
    // The To, Cc and Bcc buttons link the mini address list to this window; closing ends it.
    std::function<void(QWidget*)> LinkAddressList;
    std::function<void(QWidget*)> UnlinkAddressList;

    // --- the parts, for the keyboard, the tests and the screen shots ---
    QAction* Action(const QString& name) const;
    QPlainTextEdit* ToField() const { return to_; }
    QPlainTextEdit* CcField() const { return cc_; }
    QPlainTextEdit* BccField() const { return bcc_; }
    QLineEdit* SubjectField() const { return subject_; }
    BodyEdit* Body() const { return body_; }
    QPlainTextEdit* SignaturePane() const { return sigPane_; }
    QListWidget* AttachmentList() const { return attachList_; }
    QComboBox* AccountList() const { return accounts_; }
    QComboBox* SizeList() const { return sizes_; }
    QFontComboBox* FontList() const { return fonts_; }
    TComposerStyle& Style() { return *style_; }

    // Files dropped on the window or the body, in order.
    void AttachFiles(const QStringList& files);
    void QueueMessage();
    void SendMessage();
    // Lets go of a composer that was never shown (a message it could not be filled from).
    void Discard();

    // TOpenWindow
    std::string Caption() const override { return composer_.Caption(); }
    bool Close() override;
    void Show() override;
    // TComposerView
    void ShowTip(const std::string& text) override;
    void StatusText(const std::string& text) override;
    void ErrorLevel(int level, const std::string& text) override;
    void Progress(int percent) override;
    void BringToFront() override { Show(); }
    void HideWindow() override { hide(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* AddAction(const QString& name, const QString& text, const QKeySequence& key = {},
                       const QString& hint = {});
    void BuildWidgets();
    void BuildMailActions();
    void BuildStyleActions();
    void BuildMenus();
    void BuildToolbars();
    void BuildStyleToolbar();
    void ApplyProgramLook();
    void ShowCore();
    void ShowSignature();
    void ShowAttachments();
    void ShowFormat();
    void ShowStyleButtons();
    void UpdateCaption();
    void FocusFirst();
    // Leaving a field: the core reads it (nicknames resolved, prompt state) and the field
    // shows the result.
    void LeaveAddressField(QPlainTextEdit* field);
    void LeaveSubject();
    void EnterSignature();
    void LeaveSignature();
    // The fields and the body as the core must know them before Queue or Send now.
    void SyncForSending();
    void FitAddressField(QPlainTextEdit* field);
    void FitSignaturePane();
    void EditCommand(const char* slot);
    void OpenTextFile();
    void SaveTextFile();
    void SaveDefaultStyle();
    void ChooseFontColour();
    void ApplyFontColour(const QColor& colour);
    QMenu* FontColourPalette();
    void ChooseBackground();
    void Finish();
    void FilesWritten();

    TFrmMain& main_;
    QtPlatform& platform_;
    // The outgoing side: the SMTP client of this composer and the Outgoing filters.
    TmsSMTP smtp_;
    TSmtpClientSender sender_;
    TLogScriptHost scriptHost_;
    TFrmScripts filters_;
    TMailOutbox outbox_;
    std::unique_ptr<TFrmChooseAddress> chooser_;
    TfrmSend composer_;

    QPlainTextEdit* to_ = nullptr;
    QPlainTextEdit* cc_ = nullptr;
    QPlainTextEdit* bcc_ = nullptr;
    QLineEdit* subject_ = nullptr;
    BodyEdit* body_ = nullptr;
    QWidget* sigBox_ = nullptr;
    QComboBox* sigList_ = nullptr;
    QPlainTextEdit* sigPane_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QListWidget* attachList_ = nullptr;
    QComboBox* accounts_ = nullptr;
    QToolBar* mailBar_ = nullptr;
    QToolBar* styleBar_ = nullptr;
    QFontComboBox* fonts_ = nullptr;
    QComboBox* sizes_ = nullptr;
    std::map<QString, QAction*> actions_;

    std::unique_ptr<RichEditor> editor_;
    std::unique_ptr<TComposerStyle> style_;
    std::unique_ptr<TStyledMail> styledMail_;
    int messageFontSize_ = kMessageFontSizeDefault;
    QTimer tipTimer_;
    int sigPaneHeight_ = 0;
    // The widgets are being filled from the core: their change signals are not the user's.
    bool filling_ = false;
    bool sending_ = false;
    bool finished_ = false;
};

}  // namespace kivo::ui
