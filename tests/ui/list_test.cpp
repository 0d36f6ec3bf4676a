// A person's paths through the message list and the mailbox tree: finding messages, the Show
// filter and its tags, separate list windows, making, renaming and deleting mailboxes,
// compressing, the columns a first start shows, and a mailbox whose index is garbage.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>

#include "base/files.h"
#include "store/mbxfile.h"
#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/composerlist.h"
#include "ui/composerwindow.h"
#include "ui/findwindow.h"
#include "ui/indexmodel.h"
#include "ui/indexpane.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
#include "ui/messageview.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;
using uitest::ClickRow;
using uitest::PlainText;
using uitest::WaitFor;

// Questions are answered as the test says; tips are recorded.
class AnsweringPlatform : public QtPlatform {
  public:
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return answer;
    }
    void ShowTip(std::string_view text) override {
        tips.emplace_back(text);
        QtPlatform::ShowTip(text);
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool answer = true;
    std::vector<std::string> questions;
    std::vector<std::string> tips;
    std::vector<std::string> messages;
};

std::string Stored(const std::string& from, const std::string& subject, const std::string& body,
                   const std::string& extra = {}) {
    return "From " + from + " 01/12/2026 10:00:00\r\nFrom: " + from +
           "\r\nTo: me@example.test\r\nSubject: " + subject +
           "\r\nDate: Tue, 1 Dec 2026 10:00:00 +0000\r\nStatus: U\r\n" + extra + "\r\n" + body +
           "\r\n\r\n";
}

// In with four messages (one with an attachment line), an empty Work mailbox.
void MakeFolder(const fs::path& home) {
    fs::create_directories(home / "Mail");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    Stored("carol@example.test", "Budget for March", "The first body.") +
                        Stored("alice@example.test", "Zebra crossing", "Second body.") +
                        Stored("bob@example.test", "Apples and pears",
                               "Third body.\r\nAttachment Converted: /tmp/x.pdf") +
                        Stored("alice@example.test", "Lunch", "Fourth body."));
    test::WriteFile(home / "Mail" / "Work.mbx", "");
}

QStringList Subjects(QTableView* list) {
    QStringList subjects;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        subjects << list->model()->index(row, 0).data().toString();
    }
    return subjects;
}

// Types a name into the tree's in-place editor and ends the edit with Enter.
QLineEdit* Editor(MailboxTree* tree) {
    QLineEdit* editor = nullptr;
    WaitFor([&] {
        for (QLineEdit* e : tree->findChildren<QLineEdit*>()) {
            if (e->isVisible()) editor = e;
        }
        return tree->Editing() && editor;
    });
    return editor;
}

bool TypeName(MailboxTree* tree, const QString& name) {
    QLineEdit* editor = Editor(tree);
    if (!editor) return false;
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, name);
    QTest::keyClick(editor, Qt::Key_Return);
    return true;
}

// A program folder with the main window started on it.
struct Started {
    explicit Started(const std::function<void(const fs::path&)>& prepare = MakeFolder)
        : home(dir / "home") {
        prepare(home);
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
    }
    fs::path Mail(const std::string& name) const { return home / "Mail" / name; }
    test::TempDir dir;
    fs::path home;
    AnsweringPlatform platform;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

class ListTest : public QObject {
    Q_OBJECT
  private slots:
    void PersonFindsAWordAndOpensAFoundMessage();
    void ShowFilterTagsAndHidesTheRest();
    void PersonMakesRenamesAndDeletesMailboxes();
    void PersonCompressesAMailbox();
    void FirstStartShowsWholeDatesAndNames();
    void GarbageIndexIsRebuiltAndTheListAnswers();
    void PopUpMenuActsOnTheList();
};

void ListTest::PersonFindsAWordAndOpensAFoundMessage() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();

    // Ctrl+F, a word, Enter: the results mailbox opens in the list and in the tree.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    FindWindow* find = window.Find();
    QVERIFY(find->isVisible());
    QTest::keyClicks(find->FindText(), "ZEBRA");
    QTest::keyClick(find->FindText(), Qt::Key_Return);
    QVERIFY(WaitFor([&] { return window.Main().MainIndex().MailboxName == "Found"; }));
    QCOMPARE(Subjects(list), QStringList{"Zebra crossing"});
    QCOMPARE(find->Result()->text(), QString("1 message found"));
    QVERIFY(window.Tree()->ItemOf("Found"));
    QCOMPARE(window.ListPane()->findChild<QLabel*>("mailboxName")->text(), QString("Found"));

    // The found message opens; the results mailbox names where it was found.
    ClickRow(list, 0);
    QVERIFY(WaitFor([&] { return PlainText(window.View()->Page()).contains("Second body."); }));
    QVERIFY(test::ReadFile(s.Mail("Found.mbx")).find("\r\nX-Found: In\r\n") != std::string::npos);

    // A second search with the proposed name collects into Found 1; Found is not searched.
    find->close();
    window.Action("find")->trigger();
    QVERIFY(find->isVisible());
    QTest::keyClicks(find->FindText(), "body");
    QTest::keyClick(find->FindText(), Qt::Key_Return);
    QVERIFY(WaitFor([&] { return window.Main().MainIndex().MailboxName == "Found 1"; }));
    QCOMPARE(list->model()->rowCount(), 4);
    QCOMPARE(find->Result()->text(), QString("4 messages found"));
    QVERIFY(window.Tree()->ItemOf("Found 1"));
}

void ListTest::ShowFilterTagsAndHidesTheRest() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    IndexPane* pane = window.ListPane();
    QTableView* list = window.List();
    QAction* selectTagged = window.Action("selectTagged");
    QVERIFY(!selectTagged->isEnabled());

    // Show "from" containing part of an address, Go!: every row stays, the matches tagged.
    pane->Criterion()->setCurrentIndex(scFrom);
    emit pane->Criterion()->activated(scFrom);
    QVERIFY(pane->ShowText()->isEnabled());
    QTest::keyClicks(pane->ShowText(), "ALICE@");
    QTest::mouseClick(pane->GoButton(), Qt::LeftButton);
    QCOMPARE(list->model()->rowCount(), 4);
    const QColor grey = ColourOf(kUntaggedGrey, QApplication::palette());
    QCOMPARE(list->model()->index(0, 1).data(Qt::ForegroundRole).value<QColor>(), grey);
    QVERIFY(list->model()->index(1, 1).data(Qt::ForegroundRole).value<QColor>() != grey);
    QVERIFY(selectTagged->isEnabled());

    // Ctrl+T selects exactly the tagged rows.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(window.Main().MainIndex().SelectedRows(), (std::vector<int>{1, 3}));
    QCOMPARE(list->selectionModel()->selectedRows().size(), 2);

    // "Hide rest": only the matches are listed, and counted.
    QTest::mouseClick(pane->HideRest(), Qt::LeftButton);
    QCOMPARE(Subjects(list), (QStringList{"Zebra crossing", "Lunch"}));
    QCOMPARE(window.StatusPanel(2)->text(), QString("2 messages"));

    // Reply answers the message on the row, not the one at that place in the whole mailbox.
    list->selectRow(0);
    QCOMPARE(window.Main().MainIndex().SelectedRows(), std::vector<int>{0});
    window.Action("reply")->trigger();
    QCOMPARE(window.Composers().Windows().size(), std::size_t{1});
    ComposerWindow* reply = window.Composers().Windows().back().get();
    QCOMPARE(reply->Composer().Subject().text, std::string("Re: Zebra crossing"));
    reply->Discard();

    // "with attached" takes no text; its one match is the only row.
    pane->Criterion()->setCurrentIndex(scWithAttached);
    emit pane->Criterion()->activated(scWithAttached);
    QVERIFY(!pane->ShowText()->isEnabled());
    QCOMPARE(Subjects(list), QStringList{"Apples and pears"});

    // The filter stays when another mailbox opens: Work has nothing with attachments.
    QTreeWidgetItem* work = window.Tree()->ItemOf("Work");
    QTest::mouseClick(window.Tree()->viewport(), Qt::LeftButton, {},
                      window.Tree()->visualItemRect(work).center());
    QVERIFY(WaitFor([&] { return window.Main().MainIndex().MailboxName == "Work"; }));
    QCOMPARE(pane->Criterion()->currentIndex(), int(scWithAttached));
    QCOMPARE(list->model()->rowCount(), 0);

    // "everything" turns the filter off: all rows in the list colours, Ctrl+T unavailable.
    QTest::mouseClick(window.Tree()->viewport(), Qt::LeftButton, {},
                      window.Tree()->visualItemRect(window.Tree()->ItemOf("In")).center());
    QVERIFY(WaitFor([&] { return window.Main().MainIndex().MailboxName == "In"; }));
    QCOMPARE(list->model()->rowCount(), 1);
    pane->Criterion()->setCurrentIndex(scEverything);
    emit pane->Criterion()->activated(scEverything);
    QCOMPARE(list->model()->rowCount(), 4);
    QVERIFY(list->model()->index(0, 1).data(Qt::ForegroundRole).value<QColor>() != grey);
    QVERIFY(!selectTagged->isEnabled());
}

void ListTest::PersonMakesRenamesAndDeletesMailboxes() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MailboxTree* tree = window.Tree();
    QPushButton* newButton = window.findChild<QPushButton*>("newMailboxButton");
    QVERIFY(newButton);

    // Two "New Mailbox" clicks: New Mailbox and New Mailbox 1, each with its file; the
    // second is named at once by typing.
    QTest::mouseClick(newButton, Qt::LeftButton);
    QVERIFY(fs::exists(s.Mail("New Mailbox.mbx")));
    QVERIFY(Editor(tree));
    QTest::keyClick(Editor(tree), Qt::Key_Escape);
    QVERIFY(WaitFor([&] { return !tree->Editing(); }));
    tree->setCurrentItem(tree->ItemOf("Work"));
    QTest::mouseClick(newButton, Qt::LeftButton);
    QVERIFY(fs::exists(s.Mail("New Mailbox 1.mbx")));
    QVERIFY(TypeName(tree, "Projects"));
    QVERIFY(WaitFor([&] { return tree->ItemOf("Projects") != nullptr; }));
    QVERIFY(fs::exists(s.Mail("Projects.mbx")));
    QVERIFY(!fs::exists(s.Mail("New Mailbox 1.mbx")));

    // Renamed (F2) to a name a sibling has: the tip, and the name with " 1".
    tree->setCurrentItem(tree->ItemOf("Projects"));
    tree->setFocus();
    window.Action("renameMailbox")->trigger();
    QVERIFY(TypeName(tree, "Work"));
    QVERIFY(WaitFor([&] { return tree->ItemOf("Work 1") != nullptr; }));
    QVERIFY(fs::exists(s.Mail("Work 1.mbx")));
    QVERIFY(std::ranges::count(s.platform.tips, std::string("Name already exists!")) == 1);

    // The system mailboxes keep their names and cannot be deleted.
    tree->setCurrentItem(tree->ItemOf("In"));
    window.Action("renameMailbox")->trigger();
    QVERIFY(TypeName(tree, "Inbox"));
    QVERIFY(WaitFor([&] { return s.platform.tips.back() == "Cannot rename system mailbox!"; }));
    QCOMPARE(tree->ItemOf("In")->text(0), QString("In"));
    QVERIFY(fs::exists(s.Mail("In.mbx")));
    tree->setFocus();
    tree->setCurrentItem(tree->ItemOf("In"));
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(s.platform.messages.back(), std::string("Cannot delete system mailbox!"));
    QVERIFY(fs::exists(s.Mail("In.mbx")));

    // Renaming the open mailbox keeps the list on it, under its new name.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->ItemOf("Work")).center());
    // The tree marks the open mailbox once it has read the folder again.
    QVERIFY(WaitFor([&] { return tree->ItemOf("Work")->font(0).bold(); }));
    tree->setCurrentItem(tree->ItemOf("Work"));
    window.Action("renameMailbox")->trigger();
    QVERIFY(TypeName(tree, "Office"));
    QVERIFY(WaitFor([&] { return window.Main().MainIndex().MailboxName == "Office"; }));
    QVERIFY(fs::exists(s.Mail("Office.mbx")));
    QCOMPARE(window.ListPane()->findChild<QLabel*>("mailboxName")->text(), QString("Office"));

    // A mailbox with messages asks first; "no" keeps it, "yes" deletes it, its messages to
    // the Trash.
    test::WriteFile(s.Mail("Work 1.mbx"), Stored("dan@example.test", "Kept", "Body."));
    tree->setFocus();
    tree->setCurrentItem(tree->ItemOf("Work 1"));
    s.platform.answer = false;
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(s.platform.questions.size(), std::size_t{1});
    QVERIFY(s.platform.questions[0].find("\"Work 1\" is not empty!") != std::string::npos);
    QVERIFY(fs::exists(s.Mail("Work 1.mbx")));
    QVERIFY(tree->ItemOf("Work 1"));
    s.platform.answer = true;
    tree->setCurrentItem(tree->ItemOf("Work 1"));
    QTest::mouseClick(window.findChild<QPushButton*>("deleteMailboxButton"), Qt::LeftButton);
    QVERIFY(!fs::exists(s.Mail("Work 1.mbx")));
    QVERIFY(!tree->ItemOf("Work 1"));
    QCOMPARE(FindLastIndex(s.Mail("Trash.mbx")), 1);

    // The empty open mailbox goes without a question, and the list empties.
    tree->setCurrentItem(tree->ItemOf("Office"));
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(s.platform.questions.size(), std::size_t{2});
    QVERIFY(!fs::exists(s.Mail("Office.mbx")));
    QCOMPARE(window.List()->model()->rowCount(), 0);
    QCOMPARE(window.ListPane()->findChild<QLabel*>("mailboxName")->text(), QString());
}

void ListTest::PersonCompressesAMailbox() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    const auto before = fs::file_size(s.Mail("In.mbx"));

    // The person deletes the second message: the file keeps it until compressed.
    ClickRow(list, 1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(Subjects(list), (QStringList{"Budget for March", "Apples and pears", "Lunch"}));
    QCOMPARE(fs::file_size(s.Mail("In.mbx")), before);

    window.Action("compress")->trigger();
    QVERIFY(fs::file_size(s.Mail("In.mbx")) < before);
    QCOMPARE(FindLastIndex(s.Mail("In.mbx")), 3);
    QCOMPARE(Subjects(list), (QStringList{"Budget for March", "Apples and pears", "Lunch"}));
    QCOMPARE(window.StatusPanel(2)->text(), QString("3 messages"));
    // Each row still opens its own message after the numbers changed.
    ClickRow(list, 2);
    QVERIFY(WaitFor([&] { return PlainText(window.View()->Page()).contains("Fourth body."); }));
    QVERIFY(test::ReadFile(s.Mail("In.mbx")).find("Zebra") == std::string::npos);
}

void ListTest::FirstStartShowsWholeDatesAndNames() {
    Started s;
    MainWindow& window = *s.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    const QFontMetrics fm(window.Model()->ListFont());
    const QString date = list->model()->index(0, icDate).data().toString();
    QVERIFY2(date.size() >= 19, qPrintable(date));
    // The whole date and the sender's address fit their cells; Priority takes no more than
    // its word needs.
    QVERIFY(list->columnWidth(icDate) > fm.horizontalAdvance(date));
    QVERIFY(list->columnWidth(icFrom) > fm.horizontalAdvance("carol@example.test"));
    QVERIFY(list->columnWidth(icPriority) < fm.horizontalAdvance("Priority") * 2 + 40);
    // The widths chosen are the ones kept at exit.
    const int dateWidth = list->columnWidth(icDate);
    window.close();
    QVERIFY(test::ReadFile(s.home / "kivo.ini").find("Col2=" + std::to_string(dateWidth)) !=
            std::string::npos);
}

void ListTest::GarbageIndexIsRebuiltAndTheListAnswers() {
    Started s([](const fs::path& home) {
        MakeFolder(home);
        std::string garbage;
        for (int k = 0; k < 5000; ++k) garbage += static_cast<char>((k * 7919) % 256);
        garbage += "\r\n1,2,3\r\n,,,,,,,,,,,,,,,\r\n99999999999999999999\r\n\"unclosed";
        test::WriteFile(home / "Mail" / "In.idx", garbage);
    });
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    QCOMPARE(Subjects(list),
             (QStringList{"Budget for March", "Zebra crossing", "Apples and pears", "Lunch"}));
    ClickRow(list, 1);
    QVERIFY(WaitFor([&] { return PlainText(window.View()->Page()).contains("Second body."); }));
    window.List()->horizontalHeader()->sectionClicked(icSubject);
    QCOMPARE(list->model()->index(0, 0).data().toString(), QString("Apples and pears"));
}

// Opens the list's pop-up menu over `row`, notes its items and chooses `choose` in it.
QStringList ChooseFromListMenu(QTableView* list, int row, const QString& choose) {
    QStringList items;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            items << action->text() + (action->isEnabled() ? "" : " (off)");
            if (action->text() == choose) chosen = action;
        }
        menu->close();
        if (chosen) chosen->trigger();
    });
    emit list->customContextMenuRequested(list->visualRect(list->model()->index(row, 0)).center());
    return items;
}

void ListTest::PopUpMenuActsOnTheList() {
    Started s;
    MainWindow& window = *s.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    TFrmIndex& index = window.Main().MainIndex();
    list->selectRow(0);
    QVERIFY(index.Row(0).Unread);

    const QStringList items = ChooseFromListMenu(list, 0, "Toggle &Unread/Read");
    QCOMPARE(items,
             (QStringList{"Select &Tagged Messages (off)", "&Invert Selection", "Select &All",
                          "&Copy", "Toggle &Unread/Read", "&Delete Message", "&New", "&Reply",
                          "Reply to A&ll", "&Forward", "&Bounce", "Change Display Fon&t...",
                          "C&hange Display Colours...", "Colu&mn Shading Options..."}));
    QVERIFY(WaitFor([&] { return !index.Row(0).Unread; }));
    ChooseFromListMenu(list, 0, "Toggle &Unread/Read");
    QVERIFY(WaitFor([&] { return index.Row(0).Unread; }));

    // Reply to all answers the selected message.
    ChooseFromListMenu(list, 0, "Reply to A&ll");
    QVERIFY(WaitFor([&] { return window.Composers().Windows().size() == 1; }));
    ComposerWindow* reply = window.Composers().Windows().back().get();
    QCOMPARE(reply->Composer().Subject().text, std::string("Re: Budget for March"));
    reply->Discard();

    ChooseFromListMenu(list, 0, "&Delete Message");
    QVERIFY(WaitFor([&] { return list->model()->rowCount() == 3; }));
    const std::string trash = test::ReadFile(FindFileNoCase(s.home / "Mail", "trash.mbx"));
    QVERIFY(trash.find("Budget for March") != std::string::npos);
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::ListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "list_test.moc"
