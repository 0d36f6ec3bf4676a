#include "ui/messageview.h"

#include <QBuffer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeDatabase>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>
#include <cmath>

#include "ui/qtext.h"
#include "view/messagepage.h"

namespace kivo::ui {

namespace {

constexpr const char* kMessageScheme = "kivo-message";
constexpr const char* kCidScheme = "cid";

bool IsOwnScheme(const QString& scheme) {
    return scheme == kMessageScheme || scheme == kCidScheme || scheme == "data" ||
           scheme == "about";
}

}  // namespace

void RemoteBlocker::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    if (IsOwnScheme(url.scheme())) return;
    const bool remote = url.scheme() == "http" || url.scheme() == "https";
    if (remote && allowed_) return;
    // Anything else (file:, ftp:, ws:, other programs' schemes) is never fetched.
    info.block(true);
    ++blocked_;
    if (remote) emit RemoteBlocked(url);
}

void MessageSchemeHandler::SetContent(QByteArray html, CidLookup cids) {
    html_ = std::move(html);
    cids_ = std::move(cids);
    cidServed_ = 0;
}

void MessageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    if (url.scheme() == kMessageScheme) {
        auto* buffer = new QBuffer(job);
        buffer->setData(html_);
        buffer->open(QIODevice::ReadOnly);
        job->reply("text/html;charset=utf-8", buffer);
        return;
    }
    // "cid:part1@example" names a picture by its Content-ID; only the message's own
    // attachment files answer.
    const std::optional<std::filesystem::path> found =
        cids_ ? cids_(FromQ(url.toString(QUrl::FullyEncoded))) : std::nullopt;
    if (!found) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QString path = QString::fromStdString(found->string());
    auto* file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
        // A missing attachment file leaves a broken picture, nothing worse.
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    ++cidServed_;
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    job->reply(type.toUtf8(), file);
}

namespace {

// Links the engine would refuse before the page hears of them (file:, data:, javascript:) are
// led through this scheme, so the view can still say what they were.
constexpr const char* kLinkScheme = "kivo-link";

// The program's own script world (the message's scripts are off) notes the address and text
// of the link the user clicks, so a link that shows one address and leads to another can be
// told apart; a link of another kind than web, mail or the message's own is led through
// kLinkScheme for the click.
constexpr const char* kLinkTextScript = R"(
function kivoNoteLink(event) {
    var link = event.target && event.target.closest
        ? event.target.closest('a, area') : null;
    if (window.kivoRestoreLink) window.kivoRestoreLink();
    window.kivoRestoreLink = null;
    window.kivoClickedLink = null;
    if (!link) return;
    var href = link.href;
    if (href && href.baseVal !== undefined) href = href.animVal || href.baseVal;
    href = href ? String(href) : '';
    if (!href) return;
    window.kivoClickedLink = [href, link.innerText || link.textContent || ''];
    var page = String(location.href).split('#')[0];
    if (/^(https?|mailto|kivo-message|cid):/i.test(href) || href.split('#')[0] === page) return;
    var own = link.getAttribute('href');
    link.setAttribute('href', 'kivo-link:' + encodeURIComponent(href));
    window.kivoRestoreLink = function () {
        if (own === null) link.removeAttribute('href'); else link.setAttribute('href', own);
    };
}
// A middle click opens a link as a new window: noted the same way.
document.addEventListener('click', kivoNoteLink, true);
document.addEventListener('auxclick', kivoNoteLink, true);
)";

// The note of the last click; a led-through link gets its own address back (timers do not run
// in this world).
constexpr const char* kLinkTextQuery = R"((function () {
    if (window.kivoRestoreLink) window.kivoRestoreLink();
    window.kivoRestoreLink = null;
    return window.kivoClickedLink || null;
})())";

}  // namespace

MessagePage::MessagePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    QWebEngineScript script;
    script.setName("kivo-link-text");
    script.setSourceCode(kLinkTextScript);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(true);
    scripts().insert(script);
}

void MessagePage::FollowLink(const QUrl& clicked) {
    if (clicked.isEmpty()) return;
    QPointer<MessagePage> page(this);
    runJavaScript(kLinkTextQuery, QWebEngineScript::ApplicationWorld,
                  [page, clicked](const QVariant& note) {
                      if (!page) return;
                      const QVariantList link = note.toList();
                      const QString noted = link.size() == 2 ? link[0].toString() : QString();
                      QString address = clicked.toString();
                      // A led-through link counts only as the click's own: a message's link
                      // written with that scheme stays what it is.
                      if (clicked.scheme() == kLinkScheme) {
                          const QString inner =
                              QUrl::fromPercentEncoding(clicked.toString(QUrl::FullyEncoded)
                                                            .mid(QString(kLinkScheme).size() + 1)
                                                            .toLatin1());
                          if (!noted.isEmpty() && inner == noted) address = noted;
                      }
                      const QUrl url(address);
                      // Links within the message itself (its parts, an anchor) lead nowhere.
                      if (url.scheme() == kMessageScheme || url.scheme() == kCidScheme) return;
                      const QString shown = !noted.isEmpty() && QUrl(noted) == url
                                                ? link[1].toString().simplified()
                                                : QString();
                      emit page->LinkClicked(address, shown);
                  });
}

bool MessagePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (type == NavigationTypeLinkClicked) {
        // A link opens outside (after the owner's checks); the view stays.
        FollowLink(url);
        return false;
    }
    // A refresh or redirect never loads: one allowed picture would be fetched again and again.
    if (type == NavigationTypeRedirect || type == NavigationTypeReload) return false;
    // Only the message itself loads in the main frame, once per load the view starts; forms,
    // refreshes and history go nowhere. A frame's remote page is left to the blocker, which
    // stops it unless remote content is shown.
    if (isMainFrame) {
        const bool expected = url.scheme() == kMessageScheme && url == expected_;
        expected_.clear();
        return expected;
    }
    return url.scheme() == kCidScheme || url.scheme() == "about" || url.scheme() == "data" ||
           url.scheme() == "http" || url.scheme() == "https";
}

namespace {

// A page that only catches where a "new window" link leads, hands it to the message's page
// and goes away.
class LinkCatcher : public QWebEnginePage {
  public:
    LinkCatcher(QWebEngineProfile* profile, MessagePage* from)
        : QWebEnginePage(profile, from), from_(from) {}

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        if (from_) from_->FollowLink(url);
        deleteLater();
        return false;
    }

  private:
    QPointer<MessagePage> from_;
};

}  // namespace

QWebEnginePage* MessagePage::createWindow(WebWindowType) {
    return new LinkCatcher(profile(), this);
}

void MessageView::RegisterSchemes() {
    static bool done = false;
    if (done) return;
    done = true;
    for (const char* name : {kMessageScheme, kCidScheme}) {
        QWebEngineUrlScheme scheme(name);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        // Not a local scheme: a local page's remote requests would be refused before the
        // blocker sees them, and "Show remote content" could never load them.
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme |
                        QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

MessageView::MessageView(QWidget* parent) : QWidget(parent) {
    setObjectName("messageView");
    setAccessibleName("Message");
    // No storage name: an off-the-record profile, nothing kept on disk.
    profile_ = new QWebEngineProfile(this);
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile_->setUrlRequestInterceptor(&blocker_);
    profile_->installUrlSchemeHandler(kMessageScheme, &handler_);
    profile_->installUrlSchemeHandler(kCidScheme, &handler_);
    QWebEngineSettings* s = profile_->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);

    remoteBar_ = new QWidget(this);
    remoteBar_->setObjectName("remoteContentBar");
    remoteBar_->setAutoFillBackground(true);
    auto* barLayout = new QHBoxLayout(remoteBar_);
    barLayout->setContentsMargins(6, 2, 6, 2);
    remoteText_ = new QLabel(remoteBar_);
    remoteText_->setAccessibleName("Remote content notice");
    remoteButton_ = new QToolButton(remoteBar_);
    remoteButton_->setText("Show remote content");
    remoteButton_->setObjectName("showRemoteContent");
    remoteButton_->setAccessibleName("Show remote content");
    barLayout->addWidget(remoteText_, 1);
    barLayout->addWidget(remoteButton_);
    remoteBar_->hide();
    connect(remoteButton_, &QToolButton::clicked, this, &MessageView::ShowRemoteContent);
    connect(&blocker_, &RemoteBlocker::RemoteBlocked, this, &MessageView::UpdateRemoteBar,
            Qt::QueuedConnection);

    web_ = new QWebEngineView(this);
    web_->setObjectName("messageBody");
    web_->setAccessibleName("Message text");
    auto* page = new MessagePage(profile_, web_);
    web_->setPage(page);
    connect(page, &MessagePage::LinkClicked, this, &MessageView::LinkClicked);
    web_->setContextMenuPolicy(Qt::NoContextMenu);
    connect(web_, &QWebEngineView::loadFinished, this, [this](bool ok) {
        loaded_ = true;
        emit ContentLoaded(ok);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(remoteBar_);
    layout->addWidget(web_, 1);
}

MessageView::~MessageView() {
    // The page goes before its profile.
    delete web_;
    web_ = nullptr;
}

QWebEnginePage* MessageView::Page() const {
    return web_->page();
}

void MessageView::Load(const QByteArray& html, const CidLookup& cids) {
    html_ = html;
    cids_ = cids;
    handler_.SetContent(html, cids);
    loaded_ = false;
    static int serial = 0;
    const QUrl url(QString("%1:message/%2").arg(kMessageScheme).arg(++serial));
    static_cast<MessagePage*>(web_->page())->Expect(url);
    web_->load(url);
}

void MessageView::ShowHtml(const QByteArray& html, CidLookup cids) {
    blocker_.SetRemoteAllowed(false);
    blocker_.ResetCount();
    UpdateRemoteBar();
    const std::string page = StripActiveContent(
        std::string_view(html.constData(), static_cast<std::size_t>(html.size())));
    Load(QByteArray(page.data(), static_cast<qsizetype>(page.size())), cids);
}

void MessageView::ShowMessageHtml(const std::vector<std::string>& lines, bool html,
                                  CidLookup cids) {
    // The engine's page shows where the document sets no background of its own.
    web_->page()->setBackgroundColor(html ? QColor(Qt::white) : back_);
    const std::string page = MessagePageHtml(lines, html, FromQ(html ? htmlCss_ : textCss_));
    ShowHtml(QByteArray(page.data(), static_cast<qsizetype>(page.size())), std::move(cids));
}

void MessageView::Clear() {
    web_->page()->setBackgroundColor(back_);
    ShowHtml(QByteArray("<html><body></body></html>"));
}

bool MessageView::HasSelection() const {
    return web_->hasSelection();
}

void MessageView::SelectAll() {
    web_->page()->triggerAction(QWebEnginePage::SelectAll);
}

void MessageView::Copy() {
    web_->page()->triggerAction(QWebEnginePage::Copy);
}

int MessageView::ScrollPosition() const {
    return qRound(web_->page()->scrollPosition().y());
}

void MessageView::SetScrollPosition(int pixels) {
    // The program's own script world runs with the message's scripts off.
    web_->page()->runJavaScript(QString("window.scrollTo(window.scrollX, %1);").arg(pixels),
                                QWebEngineScript::ApplicationWorld);
}

namespace {

// The relative luminance of a colour, 0 for black to 1 for white (as contrast ratios use it).
double Luminance(const QColor& c) {
    const auto linear = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

}  // namespace

bool MessageView::SetLook(const QString& family, int pointSize, const QColor& text,
                          const QColor& back, const QColor& link) {
    QWebEngineSettings* s = profile_->settings();
    s->setFontFamily(QWebEngineSettings::StandardFont, family);
    s->setFontFamily(QWebEngineSettings::SansSerifFont, family);
    // Points to CSS pixels at 96 dots per inch.
    s->setFontSize(QWebEngineSettings::DefaultFontSize, pointSize * 4 / 3);
    // The defaults a message's own style overrides: the engine's default font above, the
    // colours here, without weight (":where") so that any rule of the message wins. A text
    // message is the program's own page and takes the background as well.
    const QString textCss = QString(":where(html){color:%1;background:%2;}:where(:link){color:%3;}")
                                .arg(text.name(), back.name(), link.name());
    // An HTML message's own colours assume a white page: a light colour of a dark theme would
    // vanish on it, and gives way to the engine's default.
    const auto onWhite = [](const QColor& c) { return Luminance(c) <= 0.3; };
    QString htmlCss;
    if (onWhite(text)) htmlCss += QString(":where(html){color:%1;}").arg(text.name());
    if (onWhite(link)) htmlCss += QString(":where(:link){color:%1;}").arg(link.name());
    const bool changed = textCss != textCss_ || htmlCss != htmlCss_ || back != back_;
    textCss_ = textCss;
    htmlCss_ = htmlCss;
    back_ = back;
    return changed;
}

int MessageView::BlockedCount() const {
    return blocker_.Blocked();
}

void MessageView::ShowRemoteContent() {
    blocker_.SetRemoteAllowed(true);
    remoteBar_->hide();
    Load(html_, cids_);
}

void MessageView::UpdateRemoteBar() {
    const int blocked = blocker_.Blocked();
    if (blocked == 0 || blocker_.RemoteAllowed()) {
        remoteBar_->hide();
        return;
    }
    remoteText_->setText(
        blocked == 1
            ? QString("1 remote item was blocked to protect your privacy.")
            : QString("%1 remote items were blocked to protect your privacy.").arg(blocked));
    remoteBar_->show();
}

}  // namespace kivo::ui
