// A person's paths through Kivo's windows, driven through the real widgets on Qt's offscreen
// platform: reading, deleting, sorting and filing messages by drag; checking mail against the
// Dovecot rig; and the message view, which must run nothing and fetch nothing a message asks
// for until the user chooses to show remote content.

#include "ui/windows.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <chrono>
#include <cstdlib>

#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/indexmodel.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
#include "ui/messagepane.h"
#include "ui/messageview.h"
#include "ui/qtplatform.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;

using namespace uitest;

// A program folder as a person has it after some use: settings that ask nothing at start, In
// with three messages, an empty Work mailbox.
void MakeFolder(const fs::path& home) {
    fs::create_directories(home / "Mail");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    StoredMessage("carol@example.test", "Budget for March", "The first body.") +
                        StoredMessage("alice@example.test", "Zebra crossing", "Second body.") +
                        StoredMessage("bob@example.test", "Apples and pears", "Third body."));
    test::WriteFile(home / "Mail" / "Work.mbx", "");
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void MessageViewRunsAndFetchesNothingUntilAsked();
    void PersonReadsSortsDeletesAndFilesMessages();
    void CheckMailBringsNewMailIntoTheList();
    void KeysToggleUnreadAndQuitAndTheMenusShowThem();
    void FirstStartUsesTheScreenAndTheColumnsFillTheList();
    void SavedPlaceWinsAndAttachmentsDoNotWidenTheWindow();
};

void WindowsTest::MessageViewRunsAndFetchesNothingUntilAsked() {
    // A server on loopback stands for the tracker: any request the view makes reaches it.
    QTcpServer tracker;
    QVERIFY(tracker.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&tracker, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = tracker.nextPendingConnection()) {
            ++connections;
            s->close();
        }
    });
    const QString remote = QString("http://127.0.0.1:%1").arg(tracker.serverPort());
    test::TempDir dir;
    QImage picture(1, 1, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(QString::fromStdString((dir / "pic.png").string())));
    const QString html =
        "<html><head><title>original</title><link rel=\"stylesheet\" href=\"" + remote +
        "/style.css\"></head><body><p id=\"text\">Hello reader</p>"
        "<script>document.title = 'script ran';</script>"
        "<img id=\"remote\" src=\"" +
        remote +
        "/pixel.gif\" onerror=\"document.title='handler ran'\">"
        "<iframe src=\"" +
        remote +
        "/frame.html\"></iframe>"
        "<img id=\"own\" src=\"cid:pic1@example.test\">"
        "<a id=\"link\" href=\"https://example.com/offer\">offer</a></body></html>";

    RecordingPlatform platform;
    MessageView view;
    view.resize(600, 400);
    view.show();
    QSignalSpy loaded(&view, &MessageView::ContentLoaded);
    view.ShowHtml(html.toUtf8(), [&](std::string_view reference) -> std::optional<fs::path> {
        if (reference == "cid:pic1@example.test") return dir / "pic.png";
        return std::nullopt;
    });
    QVERIFY(loaded.wait(30000));
    QTest::qWait(500);

    QCOMPARE(view.Page()->title(), QString("original"));
    QVERIFY(PlainText(view.Page()).contains("Hello reader"));
    // The style sheet, the picture and the frame were each stopped, and nothing got through.
    QVERIFY2(view.BlockedCount() >= 3, qPrintable(QString::number(view.BlockedCount())));
    QCOMPARE(connections, 0);
    // The message's own picture came from its attachment file.
    QCOMPARE(RunInOwnWorld(view.Page(), "document.getElementById('own').naturalWidth").toInt(), 1);
    QCOMPARE(RunInOwnWorld(view.Page(), "document.getElementById('remote').naturalWidth").toInt(),
             0);
    QVERIFY(view.findChild<QWidget*>("remoteContentBar")->isVisible());

    // Chosen for this message, the remote content loads.
    loaded.clear();
    view.ShowRemoteContent();
    QVERIFY(loaded.wait(30000));
    QVERIFY(WaitFor([&] { return connections > 0; }, 10000));

    // The next message is blocked again.
    const int before = connections;
    loaded.clear();
    view.ShowHtml(html.toUtf8());
    QVERIFY(loaded.wait(30000));
    QTest::qWait(500);
    QCOMPARE(connections, before);
    QVERIFY(view.BlockedCount() >= 3);
}

void WindowsTest::PersonReadsSortsDeletesAndFilesMessages() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    QCOMPARE(list->model()->rowCount(), 3);
    QCOMPARE(window.StatusPanel(2)->text(), QString("3 messages"));

    // Clicking a message shows it and marks it read.
    ClickRow(list, 0);
    QVERIFY(WaitFor([&] { return PlainText(window.View()->Page()).contains("The first body."); }));
    QVERIFY(!window.Main().MainIndex().Row(0).Unread);

    // A click on the Subject header sorts by subject.
    window.List()->horizontalHeader()->sectionClicked(0);
    QCOMPARE(list->model()->index(0, 0).data().toString(), QString("Apples and pears"));

    // The Delete key sends the chosen message to the Trash.
    ClickRow(list, 0);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->model()->rowCount(), 2);
    QCOMPARE(FindLastIndex(home / "Mail" / "Trash.mbx"), 1);
    QVERIFY(ExtractForView(home / "Mail" / "Trash.mbx", 1).headers.size() > 0);

    // Dragged onto Work, the selected message moves there.
    ClickRow(list, 0);
    const QString moved = list->model()->index(0, 0).data().toString();
    MailboxTree* tree = window.Tree();
    QTreeWidgetItem* work = tree->ItemOf("Work");
    QVERIFY(work);
    const QPoint at = tree->visualItemRect(work).center();
    std::unique_ptr<QMimeData> data(
        window.Model()->mimeData(list->selectionModel()->selectedIndexes()));
    QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
    QCOMPARE(list->model()->rowCount(), 1);
    QCOMPARE(FindLastIndex(home / "Mail" / "Work.mbx"), 1);
    QVERIFY(list->model()->index(0, 0).data().toString() != moved);

    // Opening Work in the tree lists the moved message.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(WaitFor([&] {
        return list->model()->rowCount() == 1 &&
               list->model()->index(0, 0).data().toString() == moved;
    }));
    QCOMPARE(window.Main().MainIndex().MailboxName, std::string("Work"));
}

void WindowsTest::CheckMailBringsNewMailIntoTheList() {
    const fs::path rig = test::Env("MAILPEERS_DIR");
    if (rig.empty() || test::Env("MAILPEERS_POP3_PORT").empty()) {
        QSKIP("no mail server rig: run scripts/test.sh or export the output of mailpeers env");
    }
    // A rig user of this test's own, as the check fetches and deletes everything.
    const std::string user = "uichk" + std::to_string(::getpid());
    const fs::path userHome = test::AddRigUser(user);

    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    for (int k = 0; k < 2; ++k) {
        const fs::path file = dir / ("m" + std::to_string(k) + ".eml");
        test::WriteFile(file, "From: Dora <dora@example.test>\r\nTo: " + user +
                                  "@example.test\r\nSubject: Fresh news " + std::to_string(k) +
                                  "\r\nDate: Thu, 10 Dec 2026 09:00:00 +0000\r\n\r\nHello.\r\n");
        QCOMPARE(
            test::RunProgram(
                {"bash",
                 (fs::path(KIVO_SOURCE_DIR) / ".." / "shared" / "peers" / "mailpeers").string(),
                 "seed", rig.string(), user, file.string()})
                .status,
            0);
    }
    const std::string server =
        (test::Env("MAILPEERS_HOST").empty() ? "127.0.0.1" : test::Env("MAILPEERS_HOST")) + ":" +
        test::Env("MAILPEERS_POP3_PORT");
    QCOMPARE(test::RunKivo({"--home", home.string(), "account", "add", "Rig", "--pop-server",
                            server, "--pop-user", user, "--password", user + "pw", "--yes"})
                 .status,
             0);

    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.List()->model()->rowCount(), 3);
    // The check runs inside the click; the window keeps painting through the pump.
    window.Action("check")->trigger();
    QCOMPARE(window.List()->model()->rowCount(), 5);
    QCOMPARE(window.List()->model()->index(4, 0).data().toString().left(10), QString("Fresh news"));
    QCOMPARE(window.NewMailNotices(), 1);
    QCOMPARE(window.StatusPanel(2)->text(), QString("5 messages"));
    QVERIFY(window.Action("check")->isVisible());
    QVERIFY(!window.Action("stop")->isVisible());
    // The server kept nothing (the account does not leave mail there).
    QVERIFY(fs::is_empty(userHome / "Maildir" / "new"));
    QVERIFY(fs::is_empty(userHome / "Maildir" / "cur"));
}

void WindowsTest::KeysToggleUnreadAndQuitAndTheMenusShowThem() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTableView* list = window.List();
    const TFrmIndex& index = window.Main().MainIndex();

    // Ctrl+Shift+U in the list marks the read message unread and back; with two selected each
    // turns over.
    ClickRow(list, 0);
    QTRY_VERIFY(!index.Row(0).Unread);
    QVERIFY(index.Row(1).Unread);
    list->setFocus();
    const auto toggle = [&] {
        QTest::keyClick(list, Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
    };
    toggle();
    QVERIFY(index.Row(0).Unread);
    toggle();
    QVERIFY(!index.Row(0).Unread);
    list->selectionModel()->select(list->model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    toggle();
    QVERIFY(index.Row(0).Unread);
    QVERIFY(!index.Row(1).Unread);

    // Ctrl+C in the list copies the selected messages, as Edit > Copy does.
    QApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QVERIFY2(copied.contains("The first body.") && copied.contains("Second body."),
             qPrintable(copied));

    // Each menu item shows its key, those the list handles itself too.
    std::map<QString, QString> keys;
    for (QAction* menu : window.menuBar()->actions()) {
        if (!menu->menu()) continue;
        for (QAction* item : menu->menu()->actions())
            keys[item->text()] = item->shortcut().toString();
    }
    const std::pair<const char*, const char*> shown[] = {
        {"E&xit", "Ctrl+Q"}, {"&Delete Message", "Del"}, {"&Copy", "Ctrl+C"}};
    for (const auto& [text, key] : shown) QCOMPARE(keys[text], QString(key));

    // Ctrl+Q quits.
    QTest::keyClick(list, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!window.isVisible());
}

void WindowsTest::FirstStartUsesTheScreenAndTheColumnsFillTheList() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    // A date of wide digits, unread so it shows in bold.
    test::WriteFile(home / "Mail" / "In.mbx",
                    "From dora@example.test 28/08/2028 08:08:08\r\nFrom: dora@example.test\r\n"
                    "Subject: Wide date\r\nStatus: U\r\n\r\nBody.\r\n\r\n");
    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The first start takes most of the screen, centred.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(window.size(), screen.size() * 4 / 5);
    // Within the width of the frame the desktop draws.
    QVERIFY(std::abs(window.geometry().center().x() - screen.center().x()) <= 3);
    QVERIFY(std::abs(window.geometry().center().y() - screen.center().y()) <= 3);

    // At any width the subject takes what the others leave and the columns fill the list;
    // every date shows whole.
    QTableView* list = window.List();
    QHeaderView* header = list->horizontalHeader();
    QFont bold = window.Model()->ListFont();
    bold.setBold(true);
    const QString date = list->model()->index(0, icDate).data().toString();
    QCOMPARE(date, QString("28/08/2028 08:08:08"));
    for (const QSize size : {QSize(1280, 800), QSize(1900, 1000)}) {
        window.resize(size);
        QTRY_COMPARE(header->length(), list->viewport()->width());
        QVERIFY(QFontMetrics(bold).horizontalAdvance(date) < header->sectionSize(icDate));
    }
    // Wide, the subject is the widest column.
    for (int k = 1; k < 6; ++k) QVERIFY(header->sectionSize(icSubject) > header->sectionSize(k));
}

void WindowsTest::SavedPlaceWinsAndAttachmentsDoNotWidenTheWindow() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    // The user's own place and column widths, the date column too narrow for a date.
    test::WriteFile(home / "kivo.ini",
                    "[Mail]\r\nPrompt=0\r\nAttachPath=" + (home / "Attach").string() +
                        "\r\n[Program]\r\nOpened=In\r\n[Position]\r\nLeft=30\r\nTop=40\r\n"
                        "Width=1100\r\nHeight=700\r\nCol1=90\r\nCol2=30\r\n");
    fs::create_directories(home / "Attach");
    test::WriteFile(home / "Attach" / "a-rather-long-attachment-file-name-for-the-pane.pdf", "%PDF");
    test::WriteFile(home / "Mail" / "In.mbx",
                    StoredMessage("bob@example.test", "Plain", "No file.") +
                    StoredMessage("ann@example.test", "With a file",
                                  "See it.\r\nAttachment Converted: \"" +
                                      (home / "Attach").string() +
                                      "/a-rather-long-attachment-file-name-for-the-pane.pdf\""));
    RecordingPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(1100, 700));
    QCOMPARE(window.List()->columnWidth(icFrom), 90);
    QVERIFY(window.List()->columnWidth(icDate) > 30);

    // Showing a message with an attachment brings the pane up in the window's own width, even
    // with the window as narrow as it goes.
    QListView* attachments = window.Pane()->AttachmentList();
    ClickRow(window.List(), 0);
    QTRY_VERIFY(window.Pane()->findChild<QLabel*>("fromText")->text().contains("bob"));
    QVERIFY(!attachments->isVisible());
    window.resize(window.minimumSizeHint().width(), 700);
    QTest::qWait(50);
    window.resize(window.minimumSizeHint().width(), 700);
    QTest::qWait(50);
    const int narrow = window.width();
    ClickRow(window.List(), 1);
    QTRY_VERIFY(attachments->isVisible());
    QTest::qWait(50);
    QCOMPARE(window.width(), narrow);
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    // A desktop-sized screen, so the first-start place is a real share of it.
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KIVO_TEST_DATA "/screen1600.json");
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "windows_test.moc"
