// The filters and scripts window as a person uses it, through the real widgets on Qt's
// offscreen platform: writing a filter in the editor, saving it, trying it with Dry Run and on
// a chosen message, putting it on the Incoming list and seeing a check against the Dovecot
// rig file the fetched mail; a broken script that says what is wrong and loses nothing; and
// the question about unsaved edits.

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "base/inifile.h"
#include "store/mbxfile.h"
#include "tests/support/mailrig.h"
#include "tests/support/testutil.h"
#include "ui/composerwindow.h"
#include "ui/indexmodel.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
#include "ui/qtplatform.h"
#include "ui/scriptswindow.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;

// Boxes are recorded instead of waiting for a click; questions take the answers given.
class AnsweringPlatform : public QtPlatform {
  public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return answer;
    }
    bool ShellOpen(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> opened;
    bool answer = true;
};

std::string Stored(const std::string& from, const std::string& subject) {
    return "From " + from + " 01/12/2026 10:00:00\r\nFrom: " + from +
           "\r\nTo: me@example.test\r\nSubject: " + subject +
           "\r\nDate: Tue, 1 Dec 2026 10:00:00 +0000\r\nStatus: U\r\n\r\nHello.\r\n\r\n";
}

// A program folder after some use: In holds mail from Carol, Dora and Bob; the script folder
// holds one script of the user's.
void MakeFolder(const fs::path& home) {
    fs::create_directories(home / "Mail");
    fs::create_directories(home / "Scripts");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    Stored("carol@example.test", "Budget for March") +
                        Stored("Dora <dora@example.test>", "Holiday pictures") +
                        Stored("bob@example.test", "Apples and pears"));
    test::WriteFile(home / "Scripts" / "Keep.kiv", "{### Keep\r\nSet $kept \"yes\"\r\n");
}

QString FileText(const fs::path& file) {
    return QString::fromStdString(test::ReadFile(file));
}

// Chooses an entry of a drop-down list with the mouse, as a person does.
void Choose(QComboBox* combo, const QString& text) {
    const int at = combo->findText(text);
    QVERIFY2(at >= 0, qPrintable(text));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QRect cell = view->visualRect(view->model()->index(at, 0));
    view->scrollTo(view->model()->index(at, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTRY_COMPARE(combo->currentText(), text);
}

void Click(ScriptsWindow* window, const char* button) {
    QPushButton* b = window->Button(button);
    QVERIFY2(b && b->isVisible() && b->isEnabled(), button);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Chooses the message of `subject` in the main list.
void ChooseMessage(MainWindow& window, const QString& subject) {
    QTableView* list = window.List();
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        if (list->model()->index(row, 0).data().toString() == subject) {
            const QRect cell = list->visualRect(list->model()->index(row, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            return;
        }
    }
    QFAIL(qPrintable("no message " + subject));
}

// Types text into the editor, Enter between its lines.
void TypeLines(QPlainTextEdit* editor, const QString& text) {
    const QStringList lines = text.split('\n');
    for (qsizetype k = 0; k < lines.size(); ++k) {
        if (k > 0) QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, lines[k]);
    }
}

// The editor's new script, typed into the name field and the editor.
void WriteScript(ScriptsWindow* scripts, const QString& name, const QString& text) {
    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Script));
    QLineEdit* nameField = scripts->ScriptName()->lineEdit();
    nameField->selectAll();
    QTest::keyClicks(nameField, name);
    QPlainTextEdit* editor = scripts->Editor();
    editor->setFocus();
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    TypeLines(editor, text);
    QCOMPARE(editor->toPlainText(), text);
}

QString DebugCell(ScriptsWindow* scripts, int row, int column) {
    QTableWidgetItem* item = scripts->Debug()->item(row, column);
    return item ? item->text() : QString();
}

// The Debug row of a variable, or -1.
int DebugRow(ScriptsWindow* scripts, const QString& name) {
    for (int row = 0; row < scripts->Debug()->rowCount(); ++row) {
        if (DebugCell(scripts, row, 0) == name) return row;
    }
    return -1;
}

// A program folder with the main window on it; with the rig, its account is a new rig user's.
class Desk {
  public:
    explicit Desk(std::string_view userPrefix) : rig(test::MailRig::FromEnvironment()) {
        MakeFolder(home);
        if (rig) {
            user = rig->AddUser(userPrefix);
            added =
                test::RunKivoIn(home, {"account", "add", "Rig", "--pop-server", rig->Pop3Server(),
                                       "--pop-user", user, "--password", user + "pw", "--yes"})
                    .status == 0;
        }
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
    }

    // The filters and scripts window as F4 opens it, in front so its keys (Ctrl+S) work.
    ScriptsWindow* OpenScripts() {
        if (!added || !QTest::qWaitForWindowExposed(window.get())) return nullptr;
        window->Action("filters")->trigger();
        ScriptsWindow* scripts = window->Scripts();
        if (!QTest::qWaitForWindowExposed(scripts)) return nullptr;
        scripts->activateWindow();
        return QTest::qWaitForWindowActive(scripts) ? scripts : nullptr;
    }

    test::TempDir dir;
    fs::path home = dir / "home";
    std::optional<test::MailRig> rig;
    std::string user;
    bool added = true;
    AnsweringPlatform platform;
    std::unique_ptr<MainWindow> window;
};

std::string FromServer(const std::string& from, const std::string& subject) {
    return "From: " + from + "\r\nTo: me@example.test\r\nSubject: " + subject +
           "\r\nDate: Thu, 10 Dec 2026 09:00:00 +0000\r\n\r\nFresh from the server.\r\n";
}

}  // namespace

class ScriptsTest : public QObject {
    Q_OBJECT
  private slots:
    void PersonWritesAFilterThatFilesFetchedMail();
    void BrokenScriptSaysWhatIsWrongAndLosesNothing();
    void CloseAsksAgainAboutUnsavedEdits();
    void SetupAndButtonsPagesKeepWhatIsTyped();
    void EditMessageOpensAComposer();
};

void ScriptsTest::PersonWritesAFilterThatFilesFetchedMail() {
    Desk desk("uiscr");
    const fs::path& home = desk.home;
    MainWindow& window = *desk.window;
    AnsweringPlatform& platform = desk.platform;
    ScriptsWindow* scripts = desk.OpenScripts();
    QVERIFY(scripts);
    QCOMPARE(window.List()->model()->rowCount(), 3);
    QCOMPARE(scripts->windowTitle(), QString("Filters and Scripts"));

    // The filter: mail from Dora goes to her own mailbox and leaves the one it came to.
    const QString text =
        "{### Sort Dora\n"
        "AppendToFile True\n"
        "ReadHeader $from \"From\" %message\n"
        "Lowercase $from\n"
        "Set $who \"dora@example.test\"\n"
        "If $who ^ $from then File\n"
        "Exit\n"
        ":File\n"
        "SaveMessage %message \"Dora.mbx\"\n"
        "RefreshMailboxes\n"
        "DeleteMessage %message";
    WriteScript(scripts, "Sort Dora", text);

    // F1 on a command shows its paragraph of the help.
    QPlainTextEdit* editor = scripts->Editor();
    QTextCursor caret = editor->textCursor();
    caret.setPosition(static_cast<int>(text.indexOf("ReadHeader")) + 3);
    editor->setTextCursor(caret);
    QTest::keyClick(editor, Qt::Key_F1);
    QCOMPARE(scripts->ScriptPages()->currentIndex(), static_cast<int>(TScriptSubPage::Help));
    QVERIFY2(scripts->HelpText()->textCursor().selectedText().startsWith("ReadHeader"),
             qPrintable(scripts->HelpText()->textCursor().selectedText()));
    // The index finds its topics in the same text.
    QTreeWidgetItem* operators = scripts->HelpIndex()->topLevelItem(0)->child(2);
    QCOMPARE(operators->text(0), QString("Operators"));
    QTest::mouseClick(scripts->HelpIndex()->viewport(), Qt::LeftButton, {},
                      scripts->HelpIndex()->visualItemRect(operators).center());
    QCOMPARE(scripts->HelpText()->textCursor().selectedText(), QString("Operators"));

    // Ctrl+S saves the editor's text under the typed name.
    scripts->ScriptPages()->setCurrentIndex(static_cast<int>(TScriptSubPage::Edit));
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(fs::exists(home / "Scripts" / "Sort Dora.kiv"));
    QCOMPARE(FileText(home / "Scripts" / "Sort Dora.kiv"),
             QString(text).replace("\n", "\r\n") + "\r\n");
    QVERIFY(scripts->Core().EditorClean());
    QVERIFY(scripts->RunChoice()->findText("Sort Dora") >= 0);

    // Dry Run: the variables of the run in the Debug table, the message variable last.
    Click(scripts, "dryRun");
    QCOMPARE(scripts->ScriptPages()->currentIndex(), static_cast<int>(TScriptSubPage::Debug));
    const int who = DebugRow(scripts, "$who");
    QVERIFY(who >= 0);
    QCOMPARE(DebugCell(scripts, who, 1), QString("dora@example.test"));
    QVERIFY(DebugRow(scripts, "$mailpath") >= 0);
    const int last = scripts->Debug()->rowCount() - 1;
    QCOMPARE(DebugCell(scripts, last, 0), QString("%message"));
    QCOMPARE(DebugCell(scripts, last, 1), QString("<mail message>"));
    QVERIFY(platform.messages.empty());
    QVERIFY(!fs::exists(home / "Mail" / "Dora.mbx"));

    // "Now" on Dora's message in the main list files it and takes it out of In.
    ChooseMessage(window, "Holiday pictures");
    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Settings));
    Choose(scripts->RunChoice(), "Sort Dora");
    Click(scripts, "now");
    QVERIFY2(platform.messages.empty(),
             platform.messages.empty() ? "" : platform.messages.front().c_str());
    QCOMPARE(FindLastIndex(home / "Mail" / "Dora.mbx"), 1);
    QTRY_COMPARE(window.List()->model()->rowCount(), 2);
    QVERIFY(window.Tree()->ItemOf("Dora"));

    // On the Incoming list it runs on every message a check brings.
    Choose(scripts->AddChoice(TFilterList::Incoming), "Sort Dora");
    Click(scripts, "incomingAdd");
    QCOMPARE(scripts->FilterList(TFilterList::Incoming)->count(), 1);
    QCOMPARE(scripts->FilterList(TFilterList::Incoming)->item(0)->text(), QString("Sort Dora"));
    Click(scripts, "close");
    QVERIFY(scripts->isHidden());
    QCOMPARE(IniFile(home / "kivo.ini").ReadString("Scripts", "Incoming", ""),
             std::string("\"Sort Dora\""));

    if (!desk.rig)
        QSKIP("no mail server rig: run scripts/test.sh or export the output of mailpeers env");
    desk.rig->Seed(desk.user, {FromServer("Erin <erin@example.test>", "Minutes of the meeting"),
                               FromServer("Dora <Dora@Example.test>", "Train times")});
    window.Action("check")->trigger();
    QTRY_COMPARE(window.List()->model()->rowCount(), 3);
    QCOMPARE(window.List()->model()->index(2, 0).data().toString(),
             QString("Minutes of the meeting"));
    QCOMPARE(FindLastIndex(home / "Mail" / "Dora.mbx"), 2);
    const QString dora = FileText(home / "Mail" / "Dora.mbx");
    QVERIFY(dora.contains("Subject: Holiday pictures"));
    QVERIFY(dora.contains("Subject: Train times"));
    QVERIFY(!FileText(home / "Mail" / "In.mbx").contains("Train times"));
    QVERIFY(fs::is_empty(desk.rig->Maildir(desk.user) / "new"));
}

// A script's EditMessage opens a composer on its message, in script mode, and the run goes on.
void ScriptsTest::EditMessageOpensAComposer() {
    Desk desk("uiedt");
    ScriptsWindow* scripts = desk.OpenScripts();
    QVERIFY(scripts);
    WriteScript(scripts, "Draft",
                "CreateMessage %m\nSetHeader %m Subject \"Draft from a script\"\n"
                "AddTo %m \"Ann Lee <ann@example.test>\"\nAssignBody %m \"Written by a script\"\n"
                "EditMessage %m\nSet $after \"ran on\"");
    Click(scripts, "dryRun");
    const int after = DebugRow(scripts, "$after");
    QVERIFY(after >= 0);
    QCOMPARE(DebugCell(scripts, after, 1), QString("ran on"));
    ComposerWindow* composer = nullptr;
    QTRY_VERIFY((composer = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* c = qobject_cast<ComposerWindow*>(w); c && c->isVisible()) return c;
        }
        return static_cast<ComposerWindow*>(nullptr);
    }()));
    QCOMPARE(composer->Composer().Mode(), cmScript);
    QCOMPARE(composer->Composer().Subject().text, std::string("Draft from a script"));
    QCOMPARE(composer->Composer().To().text, std::string("ann@example.test"));
    QCOMPARE(composer->Composer().Body(), std::vector<std::string>{"Written by a script"});
}

void ScriptsTest::BrokenScriptSaysWhatIsWrongAndLosesNothing() {
    Desk desk("uibrk");
    const fs::path& home = desk.home;
    MainWindow& window = *desk.window;
    AnsweringPlatform& platform = desk.platform;
    ScriptsWindow* scripts = desk.OpenScripts();
    QVERIFY(scripts);

    // The second line reads a variable nothing wrote.
    const QString text =
        "Set $subject \"kept\"\nSet $copy $nosuch\nSaveMessage %message \"Lost.mbx\"";
    WriteScript(scripts, "Broken", text);
    Click(scripts, "save");
    QCOMPARE(FileText(home / "Scripts" / "Broken.kiv"),
             QString(text).replace("\n", "\r\n") + "\r\n");

    // Dry Run names the line and the fault, and shows what the run had made by then.
    Click(scripts, "dryRun");
    QCOMPARE(platform.messages.size(), std::size_t{1});
    QVERIFY2(platform.messages[0].find("Line 2") != std::string::npos &&
                 platform.messages[0].find("not previously declared") != std::string::npos,
             platform.messages[0].c_str());
    const int subject = DebugRow(scripts, "$subject");
    QVERIFY(subject >= 0);
    QCOMPARE(DebugCell(scripts, subject, 1), QString("kept"));
    QCOMPARE(scripts->Editor()->toPlainText(), text);

    // Run on a message: the same error, the message stays where it was.
    const std::string before = test::ReadFile(home / "Mail" / "In.mbx");
    ChooseMessage(window, "Budget for March");
    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Settings));
    Choose(scripts->RunChoice(), "Broken");
    Click(scripts, "now");
    QCOMPARE(platform.messages.size(), std::size_t{2});
    QVERIFY2(platform.messages[1].find("line 2: Source variable not previously declared") !=
                 std::string::npos,
             platform.messages[1].c_str());
    QCOMPARE(window.List()->model()->rowCount(), 3);
    QCOMPARE(test::ReadFile(home / "Mail" / "In.mbx"), before);
    QVERIFY(!fs::exists(home / "Mail" / "Lost.mbx"));
    QVERIFY(scripts->ProgressPanel()->isHidden());

    // As a filter it fails on each fetched message, and each is stored all the same.
    Choose(scripts->AddChoice(TFilterList::Incoming), "Broken");
    Click(scripts, "incomingAdd");
    Click(scripts, "close");
    if (!desk.rig)
        QSKIP("no mail server rig: run scripts/test.sh or export the output of mailpeers env");
    desk.rig->Seed(desk.user, {FromServer("Erin <erin@example.test>", "Still here")});
    window.Action("check")->trigger();
    QTRY_COMPARE(window.List()->model()->rowCount(), 4);
    QCOMPARE(window.List()->model()->index(3, 0).data().toString(), QString("Still here"));
    QVERIFY(!fs::exists(home / "Mail" / "Lost.mbx"));
}

void ScriptsTest::CloseAsksAgainAboutUnsavedEdits() {
    Desk desk("uiclo");
    const fs::path& home = desk.home;
    AnsweringPlatform& platform = desk.platform;
    ScriptsWindow* scripts = desk.OpenScripts();
    QVERIFY(scripts);
    const QString saved = FileText(home / "Scripts" / "Keep.kiv");

    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Script));
    Choose(scripts->ScriptName(), "Keep");
    QCOMPARE(scripts->Editor()->toPlainText(), QString("{### Keep\nSet $kept \"yes\""));
    QVERIFY(scripts->Core().EditorClean());
    scripts->Editor()->setFocus();
    scripts->Editor()->moveCursor(QTextCursor::End);
    TypeLines(scripts->Editor(), "\nSet $more \"edits\"");
    QVERIFY(!scripts->Core().EditorClean());

    // The first Close only warns; the window stays with the edits.
    Click(scripts, "close");
    QVERIFY(scripts->isVisible());
    QCOMPARE(platform.TipText(), QString("Script is not saved!\nClick again to continue."));
    QVERIFY(scripts->Editor()->toPlainText().endsWith("Set $more \"edits\""));
    // While the tip shows, closing again (here by the window frame's button) goes on.
    QVERIFY(scripts->close());
    QVERIFY(scripts->isHidden());
    // The edits were given up; the file is as it was.
    QCOMPARE(FileText(home / "Scripts" / "Keep.kiv"), saved);

    // Ending the program with unsaved edits asks the same first.
    QVERIFY(desk.OpenScripts());
    QCOMPARE(scripts->Editor()->toPlainText(), QString("{### Keep\nSet $kept \"yes\""));
    scripts->Editor()->setFocus();
    TypeLines(scripts->Editor(), "\nSet $late \"edits\"");
    platform.RemoveTip();
    QVERIFY(!desk.window->close());
    QVERIFY(desk.window->isVisible());
    QVERIFY(scripts->isVisible());
    QCOMPARE(platform.TipText(), QString("Script is not saved!\nClick again to continue."));
}

void ScriptsTest::SetupAndButtonsPagesKeepWhatIsTyped() {
    Desk desk("uiset");
    const fs::path& home = desk.home;
    test::WriteFile(home / "Scripts" / "Ask.kiv",
                    "External $userdata1 \"Mailbox to file into\" \"Work\"\r\nExit\r\n");
    ScriptsWindow* scripts = desk.OpenScripts();
    QVERIFY(scripts);

    // A data setting is a labelled field; leaving it writes the value into the script.
    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Setup));
    Choose(scripts->SetupChoice(), "Ask");
    QLineEdit* field = scripts->DataField(0);
    QVERIFY(field->isVisible());
    QCOMPARE(field->text(), QString("Work"));
    QCOMPARE(field->accessibleName(), QString("Mailbox to file into"));
    QVERIFY(!scripts->DataField(1)->isVisible());
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "Archive");
    QTest::keyClick(field, Qt::Key_Tab);
    QCOMPARE(FileText(home / "Scripts" / "Ask.kiv"),
             QString("External $userdata1 \"Mailbox to file into\" \"Archive\"\r\nExit\r\n"));
    // A script without settings says so.
    Choose(scripts->SetupChoice(), "Keep");
    QVERIFY(!field->isVisible());
    QVERIFY(scripts->findChild<QLabel*>("noSettings")->isVisible());

    // A button row takes the script's name as its description until one is typed.
    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Buttons));
    Choose(scripts->ButtonScript(2), "Ask");
    QCOMPARE(scripts->ButtonDescription(2)->text(), QString("Ask"));
    scripts->ButtonDescription(2)->selectAll();
    QTest::keyClicks(scripts->ButtonDescription(2), "File it");
    Click(scripts, "close");
    const IniFile ini(home / "kivo.ini");
    QCOMPARE(ini.ReadString("Scripts", "Button3Script", ""), std::string("Ask"));
    QCOMPARE(ini.ReadString("Scripts", "Button3Desc", ""), std::string("File it"));
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::ScriptsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "scripts_test.moc"
