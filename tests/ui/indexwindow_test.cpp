// A person's paths through the message index windows: closing the docked list floats it in a
// window of its own (listed in the Window menu) and closing that docks it again under the
// view; a further mailbox in its own window; rows dropped from one list on another; the
// user buttons' setup beside a working main window; long titles in the Window menu.

#include "ui/indexwindow.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/openwindows.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/composerlist.h"
#include "ui/composerwindow.h"
#include "ui/indexmodel.h"
#include "ui/indexpane.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
#include "ui/messagepane.h"
#include "ui/messagewindow.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"
#include "ui/scriptswindow.h"
#include "ui/userbuttonspanel.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;
using uitest::ClickRow;
using uitest::StoredMessage;
using uitest::WaitFor;

// A subject of 70 characters, most of them two bytes long in UTF-8.
const std::string kLongSubject =
    "\xc3\x9c"
    "berweisung f\xc3\xbc"
    "r M\xc3\xa4rz " +
    std::string(50, 'x') + " \xc3\xa9t\xc3\xa9";

// In with three messages (the last with a long non-ASCII subject), Work with one.
void MakeFolder(const fs::path& home) {
    fs::create_directories(home / "Mail");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    StoredMessage("carol@example.test", "Budget for March", "The first body.") +
                        StoredMessage("alice@example.test", "Zebra crossing", "Second body.") +
                        StoredMessage("bob@example.test", kLongSubject, "Third body."));
    test::WriteFile(home / "Mail" / "Trash.mbx", "");
    test::WriteFile(home / "Mail" / "Work.mbx",
                    StoredMessage("dave@example.test", "Work plan", "Work body."));
}

struct Started {
    Started() : home(dir / "home") {
        MakeFolder(home);
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
    }
    fs::path Mail(const std::string& name) const { return home / "Mail" / name; }
    test::TempDir dir;
    fs::path home;
    uitest::RecordingPlatform platform;
    std::unique_ptr<MainWindow> window;
};

// The Window menu's items as the menu shows them when it opens.
QStringList WindowMenu(MainWindow& window) {
    QMenu* menu = nullptr;
    for (QAction* action : window.menuBar()->actions()) {
        if (action->text() == "&Window") menu = action->menu();
    }
    if (!menu) return {"(no Window menu)"};
    emit menu->aboutToShow();
    QStringList items;
    for (QAction* action : menu->actions()) items << action->text();
    return items;
}

QAction* WindowMenuItem(MainWindow& window, const QString& text) {
    for (QAction* action : window.menuBar()->actions()) {
        if (action->text() != "&Window") continue;
        emit action->menu()->aboutToShow();
        for (QAction* item : action->menu()->actions()) {
            if (item->text() == text) return item;
        }
    }
    return nullptr;
}

// The window itself has the keyboard (a window opened from the main window counts as active
// while the main window is, which is not enough for its own keys).
bool ActivateOwn(QWidget* window) {
    window->activateWindow();
    return WaitFor([&] { return QGuiApplication::focusWindow() == window->windowHandle(); }, 5000);
}

int Messages(const fs::path& mbx) {
    return FindLastIndex(mbx);
}

}  // namespace

class IndexWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void ClosingFloatsTheListAndClosingAgainDocksItUnderTheView();
    void RowsDroppedOnAnotherListMoveOrCopyThere();
    void DraggingRowsSaysWhatADropDoes();
    void AMailboxWindowsKeysActOnItsOwnList();
    void ScriptButtonsSetupLeavesTheMainWindowUsable();
    void WindowMenuCutsLongTitlesBetweenCharacters();
};

void IndexWindowTest::ClosingFloatsTheListAndClosingAgainDocksItUnderTheView() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IndexPane* pane = window.ListPane();
    QTableView* list = window.List();
    auto* area = window.findChild<QSplitter*>("messageArea");
    QCOMPARE(area->widget(0), pane);  // docked over the view at first
    window.Composers().New();         // an older window comes first in the menu
    const QStringList before = WindowMenu(window);
    QCOMPARE(before.size(), 1);

    // The title panel's close button: the list floats at the main window's corner + 20.
    QToolButton* close = pane->CloseButton();
    QCOMPARE(close->accessibleName(), QString("Separate message index"));
    QTest::mouseClick(close, Qt::LeftButton);
    IndexWindow* floating = window.FloatingIndex();
    QVERIFY(floating);
    QVERIFY(QTest::qWaitForWindowExposed(floating));
    QCOMPARE(pane->window(), floating);
    QCOMPARE(floating->frameGeometry().topLeft(),
             window.frameGeometry().topLeft() + QPoint(20, 20));
    QCOMPARE(area->count(), 1);
    QCOMPARE(close->accessibleName(), QString("Close message index"));
    QCOMPARE(WindowMenu(window), before + QStringList{"Message Index - In"});
    // Zoom has nothing to collapse while the list floats.
    QVERIFY(!window.Action("zoom")->isEnabled());
    window.Action("zoom")->trigger();
    QVERIFY(!window.Main().Settings().Position.IndexMin);

    // The floating list still reads: a click shows the message in the main view, Enter opens
    // it in a window of its own, Delete sends it to the Trash, the main window's keys work.
    ClickRow(list, 1);
    QVERIFY(WaitFor(
        [&] { return window.Pane()->Msg().Number == window.Main().MainIndex().Row(1).Number; }));
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(WaitFor([&] { return window.findChildren<MessageWindow*>().size() == 1; }));
    floating->Show();
    QVERIFY(ActivateOwn(floating));
    ClickRow(list, 0);
    QTest::keyClick(list, Qt::Key_Delete);
    QVERIFY(WaitFor([&] { return list->model()->rowCount() == 2; }));
    QCOMPARE(Messages(s.Mail("trash.mbx")), 1);
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window.Main().MainIndex().SelectedRows().size(), 2u);
    QTest::keyClick(list, Qt::Key_N, Qt::ControlModifier);  // the main window's New Message
    QCOMPARE(window.Composers().Windows().size(), 2u);
    // The Window menu brings it back to the front.
    QVERIFY(ActivateOwn(&window));
    WindowMenuItem(window, "Message Index - In")->trigger();
    QVERIFY(WaitFor([&] { return QGuiApplication::focusWindow() == floating->windowHandle(); }));

    // Closing the separate window docks the list again, under the view, and zoom is back.
    floating->close();
    QVERIFY(!window.FloatingIndex());
    QCOMPARE(pane->window(), &window);
    QCOMPARE(area->count(), 2);
    QCOMPARE(area->widget(1), pane);
    QCOMPARE(area->orientation(), Qt::Vertical);
    QCOMPARE(window.Main().Settings().Position.DockAlign, 2);
    QVERIFY(!floating->isVisible());
    QCOMPARE(WindowMenu(window).size(), 3);  // the composers and the message window
    QVERIFY(!WindowMenu(window).contains("Message Index - In"));
    QVERIFY(window.Action("zoom")->isEnabled());
    window.Action("zoom")->trigger();
    QVERIFY(window.Main().Settings().Position.IndexMin);
    window.Action("zoom")->trigger();

    // Float and dock once more by the button: the same window serves again.
    QTest::mouseClick(close, Qt::LeftButton);
    QCOMPARE(window.FloatingIndex(), floating);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!window.FloatingIndex());
    QCOMPARE(area->widget(1), pane);
}

void IndexWindowTest::RowsDroppedOnAnotherListMoveOrCopyThere() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.ListPane()->CloseButton(), Qt::LeftButton);
    QVERIFY(window.FloatingIndex());

    // "Open in New Window" from the tree: Work in a window of its own, after the main list.
    IndexWindow* work = window.OpenMailboxWindow("Work");
    QVERIFY(work);
    QVERIFY(QTest::qWaitForWindowExposed(work));
    QCOMPARE(WindowMenu(window), (QStringList{"Message Index - In", "Message Index - Work"}));
    QCOMPARE(window.OpenMailboxWindow("work"), work);  // a mailbox gets one window
    QCOMPARE(window.OpenMailboxWindow("In"), window.FloatingIndex());
    QTableView* workList = work->Pane()->List();
    QCOMPARE(workList->model()->rowCount(), 1);

    // A row of the Work window shows in the main view.
    ClickRow(workList, 0);
    QVERIFY(WaitFor([&] { return window.Pane()->Msg().Title() == "Work plan"; }));

    // Zebra crossing dropped from the floating main list on Work moves there.
    ClickRow(window.List(), 1);
    window.Main().MainIndex().SelectOnly(1);
    work->Pane()->DropMessages(window.List(), false);
    QCOMPARE(Messages(s.Mail("Work.mbx")), 2);
    QCOMPARE(workList->model()->rowCount(), 2);
    QCOMPARE(workList->model()->index(1, 0).data().toString(), QString("Zebra crossing"));
    QCOMPARE(window.List()->model()->rowCount(), 2);
    QCOMPARE(window.StatusPanel(2)->text(), QString("2 messages"));

    // Work plan dropped back with Ctrl held: a copy, Work keeps it.
    work->Pane()->Index().SelectOnly(0);
    window.ListPane()->DropMessages(workList, true);
    QCOMPARE(Messages(s.Mail("In.mbx")), 4);
    QCOMPARE(window.List()->model()->rowCount(), 3);
    QCOMPARE(workList->model()->rowCount(), 2);
    // A list dropped on itself, or a drag from elsewhere, changes nothing.
    window.ListPane()->DropMessages(window.List(), false);
    window.ListPane()->DropMessages(window.Tree(), false);
    QCOMPARE(Messages(s.Mail("In.mbx")), 4);

    // Rows of the Work window dragged on the tree's Trash move there, and the window follows.
    work->Pane()->Index().SelectOnly(0);
    QVERIFY(window.Tree()->SourceIndex);
    const QTreeWidgetItem* trash = window.Tree()->ItemOf("Trash");
    QVERIFY(trash);
    window.Tree()->DropMessagesOn(window.Tree()->NodeOf(trash), false,
                                  window.Tree()->SourceIndex(workList));
    QCOMPARE(Messages(s.Mail("trash.mbx")), 1);
    QCOMPARE(workList->model()->rowCount(), 1);
    QCOMPARE(window.List()->model()->rowCount(), 3);  // the main list lost nothing

    // A main-list row dropped on Work in the tree shows in Work's own window at once.
    window.Main().MainIndex().SelectOnly(0);
    window.Tree()->DropMessagesOn(window.Tree()->NodeOf(window.Tree()->ItemOf("Work")), true,
                                  nullptr);
    QCOMPARE(Messages(s.Mail("Work.mbx")), 3);
    QCOMPARE(workList->model()->rowCount(), 2);

    // Closing the Work window saves its index; it leaves the Window menu.
    work->close();
    QVERIFY(WaitFor([&] { return window.MailboxWindows().empty(); }));
    QVERIFY(fs::exists(s.Mail("Work.idx")));
    QCOMPARE(WindowMenu(window), QStringList{"Message Index - In"});

    // The main list opening a mailbox shown in a window of its own closes that window first.
    QVERIFY(window.OpenMailboxWindow("Work"));
    window.Main().SaveInfo();
    window.Main().MainIndex().MailboxName = "Work";
    window.Main().Init();
    window.RefreshList();
    QVERIFY(WaitFor([&] { return window.MailboxWindows().empty(); }));
    QCOMPARE(window.FloatingIndex()->windowTitle(), QString("Message Index - Work"));
}

void IndexWindowTest::DraggingRowsSaysWhatADropDoes() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    ClickRow(list, 0);
    // What the first status panel says as the drag starts and once it is over.
    QStringList said;
    connect(window.ListPane(), &IndexPane::DragStarted, this,
            [&] { said << window.StatusPanel(0)->text(); });
    connect(window.ListPane(), &IndexPane::DragEnded, this,
            [&] { said << window.StatusPanel(0)->text(); });
    // Should the drag run a loop of its own, Esc ends it.
    QTimer::singleShot(500, [&] {
        if (said.size() == 1) QTest::keyClick(list, Qt::Key_Escape);
    });
    const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    // Moves with the button held, as the desktop reports them.
    for (const int dy : {10, 40, 60}) {
        const QPoint to = at + QPoint(0, dy);
        QMouseEvent move(QEvent::MouseMove, to, list->viewport()->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
    }
    QVERIFY(WaitFor([&] { return said.size() == 2; }, 3000));
    QCOMPARE(said, (QStringList{"Move message, hold CTRL to copy", ""}));
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at + QPoint(0, 60));
    QCOMPARE(list->model()->rowCount(), 3);  // a drag that goes nowhere moves nothing
}

void IndexWindowTest::AMailboxWindowsKeysActOnItsOwnList() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Main().MainIndex().SelectOnly(0);
    window.RefreshList();
    IndexWindow* work = window.OpenMailboxWindow("Work");
    QVERIFY(work);
    QTableView* workList = work->Pane()->List();
    // Ctrl+R answers Work's message, not the main list's.
    QVERIFY(ActivateOwn(work));
    QTest::keyClick(workList, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(WaitFor([&] { return window.Composers().Windows().size() == 1; }));
    QVERIFY(window.Composers().Windows().front()->windowTitle().contains("Work plan"));
    // Delete from the window's list goes to the Trash; the main list keeps its rows.
    QVERIFY(ActivateOwn(work));
    QTest::keyClick(workList, Qt::Key_Delete);
    QVERIFY(WaitFor([&] { return workList->model()->rowCount() == 0; }));
    QCOMPARE(Messages(s.Mail("Trash.mbx")), 1);
    QCOMPARE(window.List()->model()->rowCount(), 3);
    QCOMPARE(window.Main().MainIndex().SelectedRows(), std::vector<int>{0});
    // Its title panel's close button closes it for good; the main list stays docked.
    QPointer<IndexWindow> gone(work);
    QCOMPARE(work->Pane()->CloseButton()->accessibleName(), QString("Close message index"));
    QTest::mouseClick(work->Pane()->CloseButton(), Qt::LeftButton);
    QVERIFY(WaitFor([&] { return gone.isNull(); }));
    QVERIFY(window.MailboxWindows().empty());
    QVERIFY(!window.FloatingIndex());
}

void IndexWindowTest::ScriptButtonsSetupLeavesTheMainWindowUsable() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    emit window.UserButtons()->SetupRequested();
    ScriptsWindow* scripts = window.Scripts();
    QVERIFY(QTest::qWaitForWindowExposed(scripts));
    QCOMPARE(scripts->windowModality(), Qt::NonModal);
    QVERIFY(!QApplication::activeModalWidget());
    // The main window answers the mouse and keys while the setup stays open.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ClickRow(window.List(), 0);
    QVERIFY(WaitFor(
        [&] { return window.Pane()->Msg().Number == window.Main().MainIndex().Row(0).Number; }));
    QTest::keyClick(window.List(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window.Main().MainIndex().SelectedRows().size(), 3u);
    QVERIFY(scripts->isVisible());
}

void IndexWindowTest::WindowMenuCutsLongTitlesBetweenCharacters() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ClickRow(window.List(), 2);
    QTest::keyClick(window.List(), Qt::Key_Return);
    QVERIFY(WaitFor([&] { return window.findChildren<MessageWindow*>().size() == 1; }));
    MessageWindow* message = window.findChildren<MessageWindow*>().front();
    const QString title = message->windowTitle();
    QVERIFY(title.startsWith(ToQ(kLongSubject)));
    const QStringList items = WindowMenu(window);
    QCOMPARE(items.size(), 1);
    // Sixty characters (not bytes) of the title, then "...": no broken letter at the cut.
    QCOMPARE(items.front(), title.left(60) + "...");
    QVERIFY(!items.front().contains(QChar::ReplacementCharacter));
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::IndexWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "indexwindow_test.moc"
