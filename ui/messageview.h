#pragma once
// The message view's display: a web engine page that shows one message's HTML and nothing
// else. JavaScript is off; every request to the network (pictures, style sheets, frames,
// tracking pixels) is blocked until the user chooses "Show remote content" for that message;
// "cid:" pictures come from the message's own attachment files; a clicked link opens in the
// desktop's browser and never in the view; the profile keeps nothing on disk.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>
#include <QWidget>
#include <atomic>

#include "store/msgops.h"

class QWebEngineView;
class QWebEngineProfile;
class QToolButton;
class QLabel;

namespace kivo {
class Platform;
}

namespace kivo::ui {

// Blocks every request the message asks for except its own content, counting the blocks.
class RemoteBlocker : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    void SetRemoteAllowed(bool allowed) { allowed_ = allowed; }
    bool RemoteAllowed() const { return allowed_; }
    int Blocked() const { return blocked_; }
    void ResetCount() { blocked_ = 0; }

  signals:
    void RemoteBlocked(const QUrl& url);

  private:
    std::atomic<bool> allowed_{false};
    std::atomic<int> blocked_{0};
};

// Serves the message ("kivo-message:") and its "cid:" pictures.
class MessageSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
  public:
    void requestStarted(QWebEngineUrlRequestJob* job) override;
    void SetContent(QByteArray html, QHash<QString, QString> cidFiles);

  private:
    QByteArray html_;
    QHash<QString, QString> cidFiles_;  // Content-ID without brackets -> file
};

class MessagePage : public QWebEnginePage {
    Q_OBJECT
  public:
    MessagePage(QWebEngineProfile* profile, Platform& platform, QObject* parent);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

  private:
    Platform& platform_;
};

class MessageView : public QWidget {
    Q_OBJECT
  public:
    MessageView(Platform& platform, QWidget* parent = nullptr);
    ~MessageView() override;

    // The schemes must be known before the application object exists.
    static void RegisterSchemes();

    // Shows a message's HTML; `cidFiles` maps its Content-IDs to attachment files. Remote
    // content is blocked again for the new message.
    void ShowHtml(const QByteArray& html, const QHash<QString, QString>& cidFiles = {});
    // Shows a message's stored lines as plain text.
    void ShowLines(const TShownLines& lines);
    void Clear();
    // The program's message font, size and colours.
    void SetLook(const QString& family, int pointSize, const QColor& text, const QColor& back,
                 const QColor& link);

    // Requests blocked for the message shown, and loading it again with them allowed.
    int BlockedCount() const;
    void ShowRemoteContent();
    QWebEngineView* WebView() const { return web_; }
    QWebEnginePage* Page() const;
    // True once the current content has finished loading.
    bool Loaded() const { return loaded_; }

  signals:
    void ContentLoaded(bool ok);

  private:
    void Load(const QByteArray& html, const QHash<QString, QString>& cidFiles);
    void UpdateRemoteBar();

    Platform& platform_;
    QWebEngineProfile* profile_ = nullptr;
    RemoteBlocker blocker_;
    MessageSchemeHandler handler_;
    QWebEngineView* web_ = nullptr;
    QWidget* remoteBar_ = nullptr;
    QLabel* remoteText_ = nullptr;
    QToolButton* remoteButton_ = nullptr;
    QByteArray html_;
    QHash<QString, QString> cidFiles_;
    QString css_;
    bool loaded_ = false;
};

// The message's stored lines as a plain-text page (headers, then the body), escaped.
QByteArray PlainMessageHtml(const TShownLines& lines, const QString& css);

}  // namespace kivo::ui
