#pragma once
// The message view's display: a web engine page that shows one message's HTML and nothing
// else. JavaScript is off; every request to the network (pictures, style sheets, frames,
// tracking pixels) is blocked until the user chooses "Show remote content" for that message;
// the page is loaded without scripts, refresh and its own security policy, and only once;
// "cid:" pictures come from the message's own attachment files; a clicked link is handed to
// the view's owner and never followed in the view; the profile keeps nothing on disk.

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWebEngineView;
class QWebEngineProfile;
class QToolButton;
class QLabel;

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

// The file a "cid:" reference of the shown message names, if it has one.
using CidLookup = std::function<std::optional<std::filesystem::path>(std::string_view)>;

// Serves the message ("kivo-message:") and its "cid:" pictures.
class MessageSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
  public:
    void requestStarted(QWebEngineUrlRequestJob* job) override;
    void SetContent(QByteArray html, CidLookup cids);
    // The "cid:" pictures served from files since the last SetContent.
    int CidServed() const { return cidServed_; }

  private:
    QByteArray html_;
    CidLookup cids_;
    int cidServed_ = 0;
};

// The page of the message: it loads the one address the view gives it and nothing else in
// its main frame (no refresh, no form, no redirect); a clicked link is handed to the view with
// the text it shows.
class MessagePage : public QWebEnginePage {
    Q_OBJECT
  public:
    MessagePage(QWebEngineProfile* profile, QObject* parent);
    // The address of the next load; one main-frame navigation to it is allowed.
    void Expect(const QUrl& url) { expected_ = url; }
    // A link the user clicked (also one for a new window): its address and shown text.
    void FollowLink(const QUrl& url);

  signals:
    void LinkClicked(const QString& url, const QString& shown);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

  private:
    QUrl expected_;
};

class MessageView : public QWidget {
    Q_OBJECT
  public:
    explicit MessageView(QWidget* parent = nullptr);
    ~MessageView() override;

    // The schemes must be known before the application object exists.
    static void RegisterSchemes();

    // Shows a page as it is; `cids` finds the files of its "cid:" pictures. Remote content is
    // blocked again for the new page.
    void ShowHtml(const QByteArray& html, CidLookup cids = {});
    // Shows the message view's HTML lines (UTF-8): a received HTML page, or the view's own
    // HTML of a text message, with the program's font and colours as their defaults.
    void ShowMessageHtml(const std::vector<std::string>& lines, bool html, CidLookup cids);
    void Clear();
    // The program's message font, size and colours; true when they changed. Text mail shows in
    // them; HTML mail shows on white unless it sets its own background, so a dark choice never
    // hides a message's text.
    bool SetLook(const QString& family, int pointSize, const QColor& text, const QColor& back,
                 const QColor& link);

    // The display's text commands: the selection, select all, copy to the clipboard.
    bool HasSelection() const;
    void SelectAll();
    void Copy();
    // The vertical scroll position in pixels; setting it takes effect once the page shows.
    int ScrollPosition() const;
    void SetScrollPosition(int pixels);

    // Links clicked in the page go to `LinkClicked`; without a receiver nothing is opened.
    // Requests blocked for the message shown, and loading it again with them allowed.
    int BlockedCount() const;
    // "cid:" pictures served from the message's files since it was shown.
    int CidServed() const { return handler_.CidServed(); }
    void ShowRemoteContent();
    QWebEngineView* WebView() const { return web_; }
    QWebEnginePage* Page() const;
    // True once the current content has finished loading.
    bool Loaded() const { return loaded_; }

  signals:
    void ContentLoaded(bool ok);
    // A link clicked in the message (never one of the message's own parts), with the text
    // the link shows (empty when it shows none).
    void LinkClicked(const QString& url, const QString& shown);

  private:
    void Load(const QByteArray& html, const CidLookup& cids);
    void UpdateRemoteBar();

    QWebEngineProfile* profile_ = nullptr;
    RemoteBlocker blocker_;
    MessageSchemeHandler handler_;
    QWebEngineView* web_ = nullptr;
    QWidget* remoteBar_ = nullptr;
    QLabel* remoteText_ = nullptr;
    QToolButton* remoteButton_ = nullptr;
    QByteArray html_;
    CidLookup cids_;
    // The defaults of a text message (the program's colours) and of an HTML one, which keeps
    // its own white page and only the program's colours that read on it.
    QString textCss_;
    QString htmlCss_;
    QColor back_ = Qt::white;
    bool loaded_ = false;
};

}  // namespace kivo::ui
