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
#include <QHeaderView>
#include <QImage>
#include <QLabel>
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

#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/indexmodel.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
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

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "windows_test.moc"
