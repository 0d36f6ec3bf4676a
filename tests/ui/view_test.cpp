// The message view as a person uses it, through the real widgets on Qt's offscreen platform:
// an HTML mail shows as a page with its own pictures, its attachments are listed and open
// through the desktop, the raw view shows the stored lines, a message opens in a window of
// its own, and a hostile message shows what it can without fetching anything.

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "base/bytes.h"
#include "base/inifile.h"
#include "tests/support/testutil.h"
#include "tests/ui/loggingserver.h"
#include "tests/ui/uitest.h"
#include "ui/composerlist.h"
#include "ui/composerwindow.h"
#include "ui/indexmodel.h"
#include "ui/mainwindow.h"
#include "ui/messagepane.h"
#include "ui/messageview.h"
#include "ui/messagewindow.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;

using namespace uitest;
using kivo::SplitLines;

// A picture of its own size, so the page can tell it was served.
void SavePicture(const fs::path& file, int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(QString::fromStdString(file.string())));
}

// In: an HTML mail with an inline picture, a report and a file since deleted; a plain note.
void MakeFolder(const fs::path& home) {
    fs::create_directories(home / "Mail");
    fs::create_directories(home / "Attach");
    test::WriteFile(home / "kivo.ini",
                    "[Mail]\r\nPrompt=0\r\nAttachPath=" + (home / "Attach").string() +
                        "\r\n[Program]\r\nOpened=In\r\n");
    SavePicture(home / "Attach" / "logo.png", 7, 3);
    test::WriteFile(home / "Attach" / "report.pdf", "%PDF-1.4\n");
    const std::string html =
        "From ann@example.test 01/12/2026 10:00:00\r\n"
        "From: Ann <ann@example.test>\r\nTo: me@example.test\r\n"
        "Subject: Grüße aus Köln\r\nDate: Tue, 1 Dec 2026 10:00:00 +0000\r\n"
        "Content-Type: text/html; charset=\"utf-8\"\r\n"
        "X-Content-File: <logo@example.test> \"/old/Attach/logo.png\"\r\nStatus: U\r\n\r\n"
        "<html><body><h1 id=\"h\">Größe</h1>\r\n"
        "<img id=\"logo\" src=\"cid:logo@example.test\">\r\n"
        "<script>document.title = 'script ran';</script></body></html>\r\n"
        "Attachment Converted: \"/old/Attach/logo.png\"\r\n"
        "Attachment Converted: \"/old/Attach/report.pdf\"\r\n"
        "Attachment Converted: \"/old/Attach/gone.txt\"\r\n\r\n";
    const std::string note =
        "From bob@example.test 02/12/2026 09:00:00\r\n"
        "From: bob@example.test\r\nTo: me@example.test\r\nSubject: Plain note\r\n"
        "Date: Wed, 2 Dec 2026 09:00:00 +0000\r\nStatus: U\r\n\r\n"
        "Dear Ann, a < b and <b>not bold</b>.\r\n\r\n";
    test::WriteFile(home / "Mail" / "In.mbx", html + note);
}

// Waits until the view's text contains `text`.
bool Shows(MessageView* view, const QString& text) {
    return QTest::qWaitFor([&] { return view->Loaded() && PlainText(view->Page()).contains(text); },
                           30000);
}

// Answers the next modal dialog with its button `text`.
void AnswerNextDialog(const QString& text) {
    QTimer::singleShot(20, [text] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            AnswerNextDialog(text);
            return;
        }
        for (QPushButton* button : modal->findChildren<QPushButton*>()) {
            if (button->text() == text) button->click();
        }
    });
}

// Answers the next modal dialog with its button `text` and notes the dialog's text in `seen`.
void AnswerQuestion(const QString& text, std::shared_ptr<QString> seen) {
    QTimer::singleShot(20, [text, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            AnswerQuestion(text, seen);
            return;
        }
        *seen = box->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == text) button->click();
        }
    });
}

// A real mouse click on the page's element `id`, scrolled into view first.
bool ClickElement(MessageView* view, const QString& id, Qt::MouseButton button = Qt::LeftButton) {
    const QVariantList at =
        RunInOwnWorld(view->Page(),
                      QString("(function () { var e = document.getElementById('%1');"
                              "e.scrollIntoView(); var b = e.getBoundingClientRect();"
                              "return [b.left + b.width / 2, b.top + b.height / 2]; })()")
                          .arg(id))
            .toList();
    QWidget* target = view->WebView()->focusProxy();
    if (at.size() != 2 || !target) return false;
    QTest::mouseClick(target, button, {}, QPoint(at[0].toInt(), at[1].toInt()));
    return true;
}

// A hostile message of the fixtures, its remote addresses pointing at `server`.
std::vector<std::string> HostileLines(const fs::path& file, const LoggingServer& server) {
    std::string text = test::ReadFile(file);
    for (std::size_t at = 0; (at = text.find("REMOTE", at)) != std::string::npos;) {
        text.replace(at, 6, server.Url().toStdString());
    }
    return SplitLines(text);
}

// The sample folder open in the main window.
struct OpenFolder {
    kivo::test::TempDir dir;
    fs::path home = dir / "home";
    RecordingPlatform platform;
    std::unique_ptr<MainWindow> window;
    OpenFolder() {
        MakeFolder(home);
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
    }
};

}  // namespace

class ViewTest : public QObject {
    Q_OBJECT
  private slots:
    void HtmlMailShowsWithItsPicturesAttachmentsAndRawLines();
    void MessageOpensInAWindowOfItsOwn();
    void HostileMessageShowsWhatItCan();
    void HostileMessagesFetchNothingUntilAsked();
    void RemoteContentOnceAllowedIsFetchedOnce();
    void MessagesOwnPolicyLeavesTheViewsLook();
    void LinksOpenOnlyWebAndMailAddresses();
    void AttachedMessageOpensInKivosOwnWindow();
};

void ViewTest::HtmlMailShowsWithItsPicturesAttachmentsAndRawLines() {
    OpenFolder folder;
    MainWindow& window = *folder.window;
    RecordingPlatform& platform = folder.platform;
    const fs::path& home = folder.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MessagePane* pane = window.Pane();
    MessageView* view = window.View();

    ClickRow(window.List(), 0);
    // Rendered as a page in UTF-8, not shown as its source; its script did not run.
    QVERIFY(Shows(view, QString("Größe")));
    QVERIFY(!PlainText(view->Page()).contains("<h1"));
    QVERIFY(view->Page()->title() != "script ran");
    QCOMPARE(pane->findChild<QLabel*>("messageTitle")->text(), QString("Grüße aus Köln"));
    QCOMPARE(pane->findChild<QLabel*>("fromText")->text(), QString("Ann <ann@example.test>"));
    QCOMPARE(pane->findChild<QLabel*>("dateText")->text(), QString("01/12/2026"));
    // The inline picture came from the message's own attachment file.
    QTRY_COMPARE_WITH_TIMEOUT(
        RunInOwnWorld(view->Page(), "document.getElementById('logo').naturalWidth").toInt(), 7,
        10000);
    QVERIFY(view->CidServed() >= 1);

    // The attachments pane lists the files by name; the menu item is enabled.
    QListView* attachments = pane->AttachmentList();
    QVERIFY(attachments->isVisible());
    QCOMPARE(attachments->model()->rowCount(), 3);
    QCOMPARE(attachments->model()->index(1, 0).data().toString(), QString("report.pdf"));
    QCOMPARE(attachments->toolTip(), QString("Attached file(s) missing (moved or deleted)"));
    QVERIFY(window.Action("viewAttachments")->isEnabled());
    // Enter on the report asks first, then hands it to the desktop.
    attachments->setFocus();
    attachments->setCurrentIndex(attachments->model()->index(1, 0));
    AnswerNextDialog("&Yes");
    QTest::keyClick(attachments, Qt::Key_Return);
    QCOMPARE(platform.opened, std::vector<std::string>{(home / "Attach" / "report.pdf").string()});
    // A deleted file is not opened, and the user is told why.
    attachments->setCurrentIndex(attachments->model()->index(2, 0));
    QTest::keyClick(attachments, Qt::Key_Return);
    QCOMPARE(platform.opened.size(), 1u);
    QVERIFY(platform.TipText().contains("missing"));
    // "View Attachments" unticked hides the pane.
    window.Action("viewAttachments")->trigger();
    QVERIFY(!attachments->isVisible());
    window.Action("viewAttachments")->trigger();
    QVERIFY(attachments->isVisible());

    // The raw view shows the stored lines, tags as text.
    pane->Action("rawView")->trigger();
    QVERIFY(Shows(view, "<h1 id=\"h\">Größe</h1>"));
    QVERIFY(PlainText(view->Page()).contains("<script>document.title = 'script ran';</script>"));

    // Show Headers puts the header lines above the page and is kept as the option.
    QVERIFY(!window.Main().Settings().Mail.Headers);
    pane->Action("headers")->trigger();
    QVERIFY(Shows(view, "Subject: Grüße aus Köln"));
    QVERIFY(Shows(view, "Größe"));
    QVERIFY(!PlainText(view->Page()).contains("<h1"));
    QVERIFY(window.Main().Settings().Mail.Headers);
}

void ViewTest::MessageOpensInAWindowOfItsOwn() {
    OpenFolder folder;
    MainWindow& window = *folder.window;
    const fs::path& home = folder.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();

    // Enter on the note opens it in a window of its own, listed in the open windows.
    ClickRow(list, 1);
    QVERIFY(Shows(window.View(), "Dear Ann"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QList<MessageWindow*> windows = window.findChildren<MessageWindow*>();
    QCOMPARE(windows.size(), 1);
    MessageWindow* note = windows.front();
    QVERIFY(QTest::qWaitForWindowExposed(note));
    // The first one opens at the main window's size.
    QCOMPARE(note->size(), window.size());
    QCOMPARE(note->windowTitle(), QString("Plain note, from bob@example.test"));
    QCOMPARE(window.Main().OpenWindows().Items().size(), 1u);
    QVERIFY(Shows(note->Pane()->View(), "Dear Ann, a < b and <b>not bold</b>."));
    QVERIFY(!note->Pane()->Action("fastRead"));

    // A double click opens the HTML mail in a second window, placed 16 pixels further on.
    const QRect first = note->geometry();
    const QPoint cell = list->visualRect(list->model()->index(0, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
    QTRY_COMPARE(window.findChildren<MessageWindow*>().size(), 2);
    QCOMPARE(window.Main().OpenWindows().Items().size(), 2u);
    MessageWindow* html = nullptr;
    for (MessageWindow* w : window.findChildren<MessageWindow*>()) {
        if (w != note) html = w;
    }
    QVERIFY(html);
    QCOMPARE(html->geometry().topLeft() - first.topLeft(), QPoint(16, 16));
    QVERIFY(Shows(html->Pane()->View(), "Größe"));
    // Its own raw view leaves the other views as they were.
    html->Pane()->Action("rawView")->trigger();
    QVERIFY(Shows(html->Pane()->View(), "<h1 id=\"h\">"));
    QVERIFY(!PlainText(window.View()->Page()).contains("<h1"));
    QVERIFY(!PlainText(note->Pane()->View()->Page()).contains("<h1"));

    // Closing one takes it off the list and keeps its place for the next.
    html->move(100, 90);
    QTest::qWait(50);
    const QRect closedAt = html->geometry();
    html->findChild<QAction*>("closeWindow")->trigger();
    QTRY_COMPARE(window.findChildren<MessageWindow*>().size(), 1);
    QCOMPARE(window.Main().OpenWindows().Items().size(), 1u);
    const IniFile ini(home / "kivo.ini");
    QCOMPARE(ini.ReadInteger("Position", "OtherLeft", 0), closedAt.x());
    QCOMPARE(ini.ReadInteger("Position", "OtherWidth", 0), closedAt.width());
    QCOMPARE(window.Pane()->Msg().Number, window.Main().MainIndex().Row(0).Number);
    // Closing the main window closes the rest.
    window.close();
    QTRY_COMPARE(window.findChildren<MessageWindow*>().size(), 0);
    QVERIFY(window.Main().OpenWindows().Items().empty());

    // A main window that goes while a view window is open takes it along.
    MainWindow again(ProgramFolder{folder.home}, folder.platform);
    again.Start({});
    ClickRow(again.List(), 1);
    again.List()->setFocus();
    QTest::keyClick(again.List(), Qt::Key_Return);
    QCOMPARE(again.findChildren<MessageWindow*>().size(), 1);
}

void ViewTest::HostileMessageShowsWhatItCan() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    // One message with a 10 MB line, 100,000 attachment lines, a remote picture and a script.
    std::string text =
        "From eve@example.test 03/12/2026 09:00:00\r\nFrom: eve@example.test\r\n"
        "Subject: Hostile\r\nContent-Type: text/html\r\nStatus: U\r\n\r\n"
        "<html><body><p id=\"p\">Still readable</p>"
        "<img id=\"remote\" src=\"http://127.0.0.1:9/pixel.gif\">"
        "<script>document.title = 'script ran';</script>\r\n<p>";
    text.append(10 * 1024 * 1024, 'x');
    text += "</p></body></html>\r\n";
    for (int k = 0; k < 100000; ++k) {
        text += "Attachment Converted: \"/old/file" + std::to_string(k) + ".bin\"\r\n";
    }
    test::WriteFile(home / "Mail" / "In.mbx", text + "\r\n");

    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ClickRow(window.List(), 0);
    MessageView* view = window.View();
    // Read without copying the whole page's text out of the view.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return view->Loaded() &&
                   RunInOwnWorld(view->Page(), "document.getElementById('p') !== null").toBool();
        },
        120000));
    QCOMPARE(RunInOwnWorld(view->Page(), "document.getElementById('p').textContent").toString(),
             QString("Still readable"));
    QCOMPARE(window.Pane()->AttachmentList()->model()->rowCount(), 100000);
    QVERIFY(view->Page()->title() != "script ran");
    QVERIFY(view->BlockedCount() >= 1);
    QVERIFY(view->findChild<QWidget*>("remoteContentBar")->isVisible());
    // The window still answers: the list takes a key press.
    window.List()->setFocus();
    QTest::keyClick(window.List(), Qt::Key_Home);
    QCOMPARE(window.Main().MainIndex().Focused(), 0);
}

// Each hostile message of the fixtures (pictures, style sheets, fonts, frames, SVG, resource
// hints, a base address, media, scripts, refresh, its own policy) shows its text, runs
// nothing and reaches the logging server not once.
void ViewTest::HostileMessagesFetchNothingUntilAsked() {
    LoggingServer server;
    QVERIFY(server.Listening());
    MessageView view;
    view.resize(700, 500);
    view.show();
    const fs::path folder = test::DataPath("view/hostile");
    int shown = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        view.ShowMessageHtml(HostileLines(entry.path(), server), true, {});
        QVERIFY2(
            WaitFor([&] {
                return view.Loaded() &&
                       RunInOwnWorld(view.Page(), "!!document.getElementById('text')").toBool();
            }),
            qPrintable(name));
        QTest::qWait(400);
        QVERIFY2(view.Page()->title() != "script ran" && view.Page()->title() != "handler ran",
                 qPrintable(name));
        QVERIFY2(server.Connections() == 0, qPrintable(name + ": " + server.Requests().join(", ")));
        // The page has no further address of its own: a refresh would have replaced it.
        QVERIFY2(view.Page()->url().scheme() == "kivo-message", qPrintable(name));
        ++shown;
    }
    QVERIFY(shown >= 10);
}

// "Show remote content" loads a message's pictures and frames once: its refresh, and a frame
// that asks to be loaded again, go nowhere.
void ViewTest::RemoteContentOnceAllowedIsFetchedOnce() {
    LoggingServer server;
    QVERIFY(server.Listening());
    MessageView view;
    view.resize(700, 500);
    view.show();
    const QString remote = server.Url();
    const std::string page =
        "<html><head><meta http-equiv=\"refresh\" content=\"1\"></head><body>"
        "<p id=\"text\">Refreshing</p><img src=\"" +
        remote.toStdString() +
        "/pixel.gif\">"
        "<iframe src=\"" +
        remote.toStdString() + "/frame.html\"></iframe></body></html>";
    view.ShowMessageHtml({page}, true, {});
    QVERIFY(Shows(&view, "Refreshing"));
    QTest::qWait(300);
    QCOMPARE(server.Connections(), 0);
    QVERIFY(view.BlockedCount() >= 2);

    view.ShowRemoteContent();
    QVERIFY(WaitFor(
        [&] { return server.CountOf("/pixel.gif") >= 1 && server.CountOf("/inner.gif") >= 1; }));
    // The page asked for a reload each second and the frame's answer too.
    QTest::qWait(2500);
    QCOMPARE(server.CountOf("/pixel.gif"), 1);
    QCOMPARE(server.CountOf("/frame.html"), 1);
    QCOMPARE(server.CountOf("/inner.gif"), 1);
    QCOMPARE(server.Requests().size(), 3);
}

// A message's own Content-Security-Policy cannot take the view's colours away nor stop its
// inline pictures.
void ViewTest::MessagesOwnPolicyLeavesTheViewsLook() {
    test::TempDir dir;
    SavePicture(dir / "pic.png", 5, 2);
    LoggingServer server;
    MessageView view;
    view.resize(600, 400);
    view.show();
    view.SetLook("Sans", 12, QColor("#123456"), QColor("#ffffff"), QColor("#0000ff"));
    view.ShowMessageHtml(HostileLines(test::DataPath("view/hostile/policy.html"), server), true,
                         [&](std::string_view reference) -> std::optional<fs::path> {
                             if (reference == "cid:pic@x") return dir / "pic.png";
                             return std::nullopt;
                         });
    QVERIFY(Shows(&view, "Own policy"));
    QCOMPARE(RunInOwnWorld(view.Page(), "getComputedStyle(document.getElementById('text')).color")
                 .toString(),
             QString("rgb(18, 52, 86)"));
    QTRY_COMPARE_WITH_TIMEOUT(
        RunInOwnWorld(view.Page(), "document.getElementById('own').naturalWidth").toInt(), 5,
        10000);
    QCOMPARE(server.Connections(), 0);
}

// Clicking each kind of link: web addresses reach the desktop (after a question when the text
// shows another address), a mail address opens Kivo's composer, everything else is named in a
// tip and goes nowhere.
void ViewTest::LinksOpenOnlyWebAndMailAddresses() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    const std::string links =
        "<html><body style=\"font-size:20px\">"
        "<p id=\"plain\">Some text beside the links</p>"
        "<p><a id=\"same\" href=\"https://www.example.test/a\">https://example.test/a</a></p>"
        "<p><a id=\"other\" "
        "href=\"http://tracker.test/r?to=bank\">https://bank.example/login</a></p>"
        "<p><a id=\"blank\" href=\"https://example.test/new\" target=\"_blank\">new window</a></p>"
        "<p><a id=\"mail\" href=\"mailto:ann@example.test?subject=Hello\">write to Ann</a></p>"
        "<p><a id=\"smb\" href=\"smb://host/share\">share</a></p>"
        "<p><a id=\"file\" href=\"file:///etc/passwd\">local file</a></p>"
        "<p><a id=\"ftp\" href=\"ftp://example.test/f\">ftp</a></p>"
        "<p><a id=\"custom\" href=\"vscode://file/etc/passwd\">custom scheme</a></p>"
        "<p><a id=\"js\" href=\"javascript:alert(1)\">script</a></p>"
        "<p><a id=\"data\" href=\"data:text/html,hello\">data</a></p>"
        "</body></html>";
    test::WriteFile(home / "Mail" / "In.mbx",
                    "From eve@example.test 03/12/2026 09:00:00\r\nFrom: eve@example.test\r\n"
                    "Subject: Links\r\nContent-Type: text/html\r\nStatus: U\r\n\r\n" +
                        links + "\r\n\r\n");
    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ClickRow(window.List(), 0);
    MessageView* view = window.View();
    QVERIFY(Shows(view, "custom scheme"));

    QVERIFY(ClickElement(view, "same"));
    QVERIFY(WaitFor([&] { return platform.opened.size() == 1; }));
    QCOMPARE(platform.opened.back(), std::string("https://www.example.test/a"));

    // The shown address is another: asked, and "No" opens nothing; "Yes" opens it.
    auto question = std::make_shared<QString>();
    AnswerQuestion("&No", question);
    QVERIFY(ClickElement(view, "other"));
    QVERIFY(WaitFor([&] { return !question->isEmpty(); }));
    QVERIFY(question->contains("https://bank.example/login"));
    QVERIFY(question->contains("http://tracker.test/r?to=bank"));
    QTest::qWait(200);
    QCOMPARE(platform.opened.size(), 1u);
    question->clear();
    AnswerQuestion("&Yes", question);
    QVERIFY(ClickElement(view, "other"));
    QVERIFY(WaitFor([&] { return platform.opened.size() == 2; }));
    QCOMPARE(platform.opened.back(), std::string("http://tracker.test/r?to=bank"));
    // A middle click (a new window) asks the same, also after a click beside the links.
    QVERIFY(ClickElement(view, "plain"));
    question->clear();
    AnswerQuestion("&No", question);
    QVERIFY(ClickElement(view, "other", Qt::MiddleButton));
    QVERIFY(WaitFor([&] { return !question->isEmpty(); }));
    QTest::qWait(200);
    QCOMPARE(platform.opened.size(), 2u);

    QVERIFY(ClickElement(view, "blank"));
    QVERIFY(WaitFor([&] { return platform.opened.size() == 3; }));
    QCOMPARE(platform.opened.back(), std::string("https://example.test/new"));

    QVERIFY(ClickElement(view, "mail"));
    QVERIFY(WaitFor([&] { return window.Composers().Windows().size() == 1; }));
    QVERIFY(window.Composers().Windows().front()->ToField()->toPlainText().contains(
        "ann@example.test"));

    struct Refused {
        const char* id;
        const char* shown;
    };
    for (const Refused& link :
         {Refused{"smb", "smb://host/share"}, Refused{"file", "file:///etc/passwd"},
          Refused{"ftp", "ftp://example.test/f"}, Refused{"custom", "vscode://file/etc/passwd"},
          Refused{"js", "javascript:alert(1)"}, Refused{"data", "data:text/html,hello"}}) {
        QVERIFY(ClickElement(view, link.id));
        QVERIFY2(WaitFor([&] { return platform.TipText().contains(link.shown); }, 10000), link.id);
        QVERIFY(platform.TipText().contains("Kivo does not open links of this kind"));
        // The page keeps the link as the message wrote it.
        QCOMPARE(RunInOwnWorld(
                     view->Page(),
                     QString("document.getElementById('%1').getAttribute('href')").arg(link.id))
                     .toString(),
                 QString(link.shown));
    }
    QTest::qWait(300);
    QCOMPARE(platform.opened.size(), 3u);
    QCOMPARE(window.Composers().Windows().size(), 1u);
    QCOMPARE(view->Page()->url().scheme(), QString("kivo-message"));
}

// An attached message opens in a message window of Kivo's own, with the view's protections,
// never through the desktop; its own attachments live in a folder that goes with the window.
void ViewTest::AttachedMessageOpensInKivosOwnWindow() {
    LoggingServer server;
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    const std::string remote = server.Url().toStdString();
    test::WriteFile(
        home / "Attach" / "Attached Message 1.html",
        "From: Mallory <mallory@example.test>\r\nSubject: Inner offer\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
        "Content-Type: text/html\r\n\r\n<html><head><meta http-equiv=\"refresh\" "
        "content=\"1\"></head><body><p>Inner words</p><img src=\"" +
            remote +
            "/inner-pixel.gif\"><script>document.title='script ran'</script></body></html>\r\n"
            "--b\r\nContent-Type: text/plain; name=\"notes.txt\"\r\n"
            "Content-Disposition: attachment; filename=\"notes.txt\"\r\n\r\nnotes\r\n--b--\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    "From ann@example.test 01/12/2026 10:00:00\r\nFrom: ann@example.test\r\n"
                    "Subject: Forwarded\r\nStatus: U\r\n\r\nSee the attached message.\r\n"
                    "Attachment Converted: \"/old/Attach/Attached Message 1.html\"\r\n\r\n");
    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ClickRow(window.List(), 0);
    QVERIFY(Shows(window.View(), "See the attached message."));
    QListView* attachments = window.Pane()->AttachmentList();
    attachments->setFocus();
    attachments->setCurrentIndex(attachments->model()->index(0, 0));
    QTest::keyClick(attachments, Qt::Key_Return);

    QTRY_COMPARE(window.findChildren<MessageWindow*>().size(), 1);
    MessageWindow* inner = window.findChildren<MessageWindow*>().front();
    QVERIFY(Shows(inner->Pane()->View(), "Inner words"));
    QCOMPARE(inner->windowTitle(), QString("Inner offer, from Mallory <mallory@example.test>"));
    QVERIFY(inner->Pane()->View()->Page()->title() != "script ran");
    QVERIFY(platform.opened.empty());
    QTest::qWait(1500);
    QCOMPARE(server.Connections(), 0);
    QCOMPARE(inner->Pane()->View()->Page()->url().scheme(), QString("kivo-message"));
    // Its own attachment is listed and found in the window's private folder.
    const std::vector<TMsgAttachment>& parts = inner->Pane()->Msg().Attachments();
    QCOMPARE(parts.size(), 1u);
    QCOMPARE(parts[0].FileName, std::string("notes.txt"));
    QVERIFY(parts[0].Found);
    const fs::path partsFolder = parts[0].File.parent_path();
    QVERIFY(partsFolder != home / "Attach");
    QVERIFY(!fs::exists(home / "Attach" / "notes.txt"));

    inner->findChild<QAction*>("closeWindow")->trigger();
    QTRY_COMPARE(window.findChildren<MessageWindow*>().size(), 0);
    QVERIFY(!fs::exists(partsFolder));
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    // A desktop-sized screen, so the windows open at a real share of it.
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KIVO_TEST_DATA "/screen1600.json");
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::ViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "view_test.moc"
