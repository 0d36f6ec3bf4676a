// A person's paths through the address book's windows, with real widgets on Qt's offscreen
// platform: adding a contact in the editor, adding a message's sender from the main window,
// picking and dragging contacts out of the mini address list, and choosing between two
// contacts that share a nickname.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "addressbook/contactdrag.h"
#include "compose/parseaddresses.h"
#include "tests/support/testutil.h"
#include "ui/addressbookwindow.h"
#include "ui/addressdrop.h"
#include "ui/chooseaddress.h"
#include "ui/composerlist.h"
#include "ui/composerwindow.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
#include "ui/minilist.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;

// Message boxes are recorded instead of shown.
class RecordingPlatform : public QtPlatform {
  public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    std::vector<std::string> messages;
};

void MakeFolder(const fs::path& home, const std::string& addressBook) {
    fs::create_directories(home / "Mail");
    fs::create_directories(home / "Scripts");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    "From ann@example.test 01/12/2026 10:00:00\r\n"
                    "From: \"Ann Lee\" <Ann@Example.test>\r\nTo: me@example.test\r\n"
                    "Subject: Lunch\r\nStatus: U\r\n\r\nTomorrow?\r\n\r\n");
    if (!addressBook.empty()) test::WriteFile(home / "address.ini", addressBook);
}

// Kivo's windows started on a program folder with the given address book.
struct Kivo {
    explicit Kivo(const std::string& addressBook) {
        MakeFolder(home, addressBook);
        window.Start({});
    }
    test::TempDir dir;
    fs::path home = dir / "home";
    RecordingPlatform platform;
    MainWindow window{ProgramFolder{home}, platform};
};

QStringList Entries(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

void ClickEntry(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.front()).center());
}

// Drops data on a widget as a drag would; true when the widget took it.
bool Drop(QWidget* target, const QPoint& at, const QMimeData* data) {
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Answers the next modal dialog once it shows.
template <typename Answer>
void AnswerModal(Answer answer) {
    QTimer::singleShot(0, [answer] {
        QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(QTest::qWaitForWindowExposed(modal));
        answer(modal);
        // Whatever the answer did, the dialog goes, so a failed check cannot hang the test.
        if (modal->isVisible()) modal->close();
    });
}

}  // namespace

class AddressBookTest : public QObject {
    Q_OBJECT
  private slots:
    void PersonAddsAContactWithANickname();
    void PersonAddsTheSenderFromTheMainWindow();
    void PersonPicksAndDragsContactsFromTheMiniList();
    void ChoiceDialogPicksOneOfTwoCandidates();
};

void AddressBookTest::PersonAddsAContactWithANickname() {
    Kivo kivo("Zed,Ray,zed@example.test\r\n");
    MainWindow& window = kivo.window;
    RecordingPlatform& platform = kivo.platform;
    const fs::path& home = kivo.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    window.Action("addressBook")->trigger();
    AddressBookWindow* book = window.AddressBook();
    QVERIFY(QTest::qWaitForWindowExposed(book));
    QCOMPARE(book->List()->topLevelItemCount(), 1);
    QCOMPARE(book->FirstName()->text(), QString("Zed"));

    // New, a nickname with a non-ASCII letter, a last name and two addresses on two lines.
    QTest::mouseClick(book->Button("newContact"), Qt::LeftButton);
    QVERIFY(book->FirstName()->hasFocus());
    QVERIFY(book->FirstName()->text().isEmpty());
    QTest::keyClicks(book->FirstName(), "Zo");
    // A letter beyond ASCII, as a keyboard layout types it.
    QTest::sendKeyEvent(QTest::Click, book->FirstName(), Qt::Key_unknown, QString::fromUtf8("ë"),
                        Qt::NoModifier);
    QTest::keyClicks(book->LastName(), "Ng");
    QCOMPARE(book->List()->topLevelItem(1)->text(0), QString::fromUtf8("Zoë"));
    book->Email()->setFocus();
    QTest::keyClicks(book->Email(), "zoe@example.test;");
    QTest::keyClick(book->Email(), Qt::Key_Return);
    QTest::keyClicks(book->Email(), "zn@example.test");
    QCOMPARE(book->List()->topLevelItem(1)->text(2), QString("zoe@example.test, zn@example.test"));
    // Leaving the field shows the addresses as they are kept.
    book->LastName()->setFocus();
    QCOMPARE(book->Email()->toPlainText(), QString("zoe@example.test, zn@example.test"));
    // A nickname beside the name, kept after the three columns.
    QTest::keyClicks(book->Nickname(), "zz");

    QTest::mouseClick(book->Button("ok"), Qt::LeftButton);
    QVERIFY(!book->isVisible());
    QCOMPARE(test::ReadFile(home / "address.ini"),
             std::string("Zed,Ray,zed@example.test\r\n"
                         "Zoë,Ng,\"zoe@example.test, zn@example.test\",NICKNAME:zz\r\n"));
    // The mini list read the saved book: the first name stands for both addresses, the
    // nickname for the first.
    QVERIFY(Entries(window.MiniList()->Entries()).contains("zoe@example.test, zn@example.test"));
    QCOMPARE(window.MiniList()->Book().ResolveNick("zoë", 7),
             std::vector<std::string>{"zoe@example.test, zn@example.test"});
    QCOMPARE(window.MiniList()->Book().ResolveNick("ZZ", 7),
             std::vector<std::string>{"zoe@example.test"});

    // A change and closing: refused with a tip (also after an earlier OK), and the second
    // Cancel closes unsaved.
    window.Action("addressBook")->trigger();
    QVERIFY(book->isVisible());
    QTest::keyClicks(book->FirstName(), "x");
    QVERIFY(!book->close());
    QVERIFY(book->isVisible());
    QCOMPARE(platform.TipText(), QString("Address book changed -\nclick again to really cancel"));
    QTest::mouseClick(book->Button("cancel"), Qt::LeftButton);
    QVERIFY(!book->isVisible());
    QVERIFY(test::ReadFile(home / "address.ini").starts_with("Zed,Ray,"));

    // vCards: a card from another program comes in once; the book goes out whole.
    window.Action("addressBook")->trigger();
    test::WriteFile(home / "in.vcf",
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nEMAIL:jane@example.test\r\n"
                    "END:VCARD\r\n");
    book->AskFile = [&](bool save) {
        return ToQ(((save ? home / "out.vcf" : home / "in.vcf")).string());
    };
    QTest::mouseClick(book->Button("import"), Qt::LeftButton);
    QTest::mouseClick(book->Button("import"), Qt::LeftButton);
    QCOMPARE(book->List()->topLevelItemCount(), 3);
    QCOMPARE(platform.TipText(), QString("0 contacts imported, 1 merged"));
    QTest::mouseClick(book->Button("export"), Qt::LeftButton);
    const std::string exported = test::ReadFile(home / "out.vcf");
    QVERIFY(exported.find("N:Ng;Zoë;;;\r\n") != std::string::npos);
    QVERIFY(exported.find("NICKNAME:zz\r\n") != std::string::npos);
    QVERIFY(exported.find("EMAIL;TYPE=INTERNET:jane@example.test\r\n") != std::string::npos);
    QTest::mouseClick(book->Button("ok"), Qt::LeftButton);
    QVERIFY(test::ReadFile(home / "address.ini").starts_with("Jane,Doe,jane@example.test\r\n"));

    // Delete empties the book; OK writes it empty.
    window.Action("addressBook")->trigger();
    book->List()->setFocus();
    QTest::keyClick(book->List(), Qt::Key_Delete);
    QTest::mouseClick(book->Button("deleteContact"), Qt::LeftButton);
    QTest::mouseClick(book->Button("deleteContact"), Qt::LeftButton);
    QVERIFY(!book->FirstName()->isEnabled());
    QTest::mouseClick(book->Button("ok"), Qt::LeftButton);
    QCOMPARE(test::ReadFile(home / "address.ini"), std::string());
    QCOMPARE(window.MiniList()->Entries()->count(), 0);
}

void AddressBookTest::PersonAddsTheSenderFromTheMainWindow() {
    Kivo kivo("");
    MainWindow& window = kivo.window;
    RecordingPlatform& platform = kivo.platform;
    const fs::path& home = kivo.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* list = window.List();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());

    window.Action("addSender")->trigger();
    QCOMPARE(test::ReadFile(home / "address.ini"), std::string("Ann,Lee,ann@example.test\r\n"));
    QCOMPARE(Entries(window.MiniList()->Entries()), QStringList{"ann@example.test"});
    QCOMPARE(platform.TipText(), QString("Sender added to the Address Book"));

    window.Action("addSender")->trigger();
    QCOMPARE(platform.TipText(), QString("Address is already in the Address Book"));
    QCOMPARE(test::ReadFile(home / "address.ini"), std::string("Ann,Lee,ann@example.test\r\n"));
}

void AddressBookTest::PersonPicksAndDragsContactsFromTheMiniList() {
    Kivo kivo(
        "Ann,Lee,ann@example.test\r\n"
        "Bo,,\r\n"
        ",Ørsted,\"hc@example.dk, hco@example.dk\"\r\n");
    MainWindow& window = kivo.window;
    RecordingPlatform& platform = kivo.platform;
    const fs::path& home = kivo.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MiniAddressList* mini = window.MiniList();
    window.Action("miniList")->trigger();
    QVERIFY(mini->isVisible());
    QVERIFY(!mini->isFloating());
    QListWidget* entries = mini->Entries();
    QCOMPARE(Entries(entries), (QStringList{"ann@example.test", "hc@example.dk, hco@example.dk"}));
    mini->Selector()->setCurrentIndex(1);  // "By Last name"
    QCOMPARE(Entries(entries), (QStringList{"Lee", QString::fromUtf8("Ørsted")}));
    mini->Selector()->setCurrentIndex(0);  // "By First/Nickname"
    QCOMPARE(Entries(entries), (QStringList{"Ann", "Bo"}));

    // A composer's To button links it: the list floats beside it, yellow, with the way back.
    QWidget composer;
    composer.setWindowTitle("New");
    auto* to = new QPlainTextEdit(&composer);
    to->setObjectName("to");
    auto* cc = new QPlainTextEdit(&composer);
    cc->setAccessibleName("Cc");
    auto* subject = new QLineEdit(&composer);
    subject->setObjectName("subject");
    auto* layout = new QVBoxLayout(&composer);
    layout->addWidget(to);
    layout->addWidget(cc);
    layout->addWidget(subject);
    composer.setGeometry(60, 60, 400, 300);
    composer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&composer));
    to->setFocus();
    mini->LinkComposer(&composer);
    QVERIFY(mini->isFloating());
    QVERIFY(mini->geometry().left() >= composer.frameGeometry().right());
    QCOMPARE(entries->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(platform.TipText(), QString("Pick addresses to insert into message"));
    QVERIFY(mini->Back()->isVisible());

    // Clicks add the entries to the focused field, one line each; the subject takes none.
    ClickEntry(entries, "Ann");
    QCOMPARE(entries->palette().color(QPalette::Base),
             QApplication::palette(entries).color(QPalette::Base));
    ClickEntry(entries, "Bo");
    QCOMPARE(to->toPlainText(), QString("Ann\nBo"));
    QCOMPARE(platform.TipText(), QString("Address added to the message"));
    subject->setFocus();
    ClickEntry(entries, "Ann");
    QCOMPARE(subject->text(), QString());
    // Enter on an entry does what a click does.
    cc->setFocus();
    entries->setCurrentRow(1);
    QTest::keyClick(entries, Qt::Key_Return);
    QCOMPARE(cc->toPlainText(), QString("Bo"));
    cc->clear();

    // A dragged contact carries its addresses as text: an address field takes them as a new
    // line, after what it holds; a vCard from another program gives its addresses.
    AcceptAddressDrops(cc);
    cc->setPlainText("bo@example.test");
    mini->Selector()->setCurrentIndex(1);
    QListWidgetItem* orsted = entries->findItems(QString::fromUtf8("Ørsted"), Qt::MatchExactly)[0];
    std::unique_ptr<QMimeData> data(
        entries->model()->mimeData({entries->model()->index(entries->row(orsted), 0)}));
    QVERIFY(data);
    QCOMPARE(data->text(), QString("hc@example.dk, hco@example.dk"));
    QVERIFY(Drop(cc->viewport(), QPoint(2, 2), data.get()));
    QCOMPARE(cc->toPlainText(), QString("bo@example.test\nhc@example.dk, hco@example.dk"));
    QMimeData card;
    card.setText("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Di\r\nEMAIL:di@example.test\r\nEND:VCARD\r\n");
    QVERIFY(Drop(cc->viewport(), QPoint(2, 2), &card));
    QVERIFY(cc->toPlainText().endsWith("\ndi@example.test"));

    // Dropped on the mailbox tree below its nodes, the contact gets a mailbox and a script.
    MailboxTree* tree = window.Tree();
    const QPoint below(5, tree->viewport()->height() - 3);
    QVERIFY(tree->itemAt(below) == nullptr);
    QVERIFY(Drop(tree->viewport(), below, data.get()));
    QTRY_VERIFY(tree->ItemOf(QString::fromUtf8("Ørsted")) != nullptr);
    QVERIFY(fs::exists(home / "Mail" / "Ørsted.mbx"));
    QVERIFY(fs::exists(home / "Scripts" / "AUTO, Sort mail from Ørsted.kiv"));

    // The way back brings the composer to the front; closing it ends the link and the list
    // docks again.
    QTest::mouseClick(mini->Back()->findChild<QPushButton*>("backButton"), Qt::LeftButton);
    QVERIFY(!mini->Back()->isVisible());
    mini->UnlinkComposer(&composer);
    QVERIFY(!mini->isFloating());
    QVERIFY(mini->Link().Linked() == nullptr);
    to->setFocus();
    ClickEntry(entries, "Lee");
    QCOMPARE(to->toPlainText(), QString("Ann\nBo"));

    // Messages dropped on an entry are forwarded to it: the selected message's forward opens
    // with the entry as its To line.
    QMimeData messages;
    messages.setData("application/x-kivo-messages", "1");
    QListWidgetItem* lee = entries->findItems("Lee", Qt::MatchExactly)[0];
    QVERIFY(Drop(entries->viewport(), entries->visualItemRect(lee).center(), &messages));
    QCOMPARE(window.Composers().Windows().size(), 1u);
    ComposerWindow* forwarded = window.Composers().Windows().back().get();
    QCOMPARE(forwarded->Composer().Mode(), cmForward);
    QCOMPARE(forwarded->ToField()->toPlainText(), QString("Lee"));
    QCOMPARE(mini->Link().TakeDropTo(), std::nullopt);
    QVERIFY(forwarded->close());
    // A contact dropped back on the list is no message: nothing happens.
    QVERIFY(!Drop(entries->viewport(), entries->visualItemRect(lee).center(), data.get()));

    // Closing the docked list floats it by the main window first, then hides it; the place is
    // what the settings keep.
    mini->close();
    QVERIFY(!mini->isVisible());
    QVERIFY(mini->isFloating());
    QCOMPARE(mini->pos(), window.pos() + QPoint(-16, 16));
    const TListPlace kept = mini->PlaceToKeep({});
    QCOMPARE(QString::fromStdString(kept.docked), QString("F"));
    QVERIFY(!kept.visible);
}

void AddressBookTest::ChoiceDialogPicksOneOfTwoCandidates() {
    TfrmAddress book;
    book.Load({{"Ann", "Lee", "ann@example.test"}, {"Ann", "Ørsted", "ann@example.dk"}});
    QtChooseAddress chooser;

    // The second candidate, chosen with the keyboard and OK.
    AnswerModal([](QWidget* modal) {
        auto* dialog = qobject_cast<ChooseAddressDialog*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QString("Choose address"));
        QVERIFY(dialog->findChild<QLabel*>("chooseText")->text() == "ann");
        QCOMPARE(dialog->Candidates()->count(), 2);
        QTest::keyClick(dialog->Candidates(), Qt::Key_Down);
        QTest::mouseClick(dialog->findChild<QPushButton*>("chooseOk"), Qt::LeftButton);
    });
    QCOMPARE(ParseAddresses("ann; bo@example.test", book, 7, chooser),
             (std::vector<std::string>{"ann@example.dk", "bo@example.test"}));

    // A double-click takes the first.
    AnswerModal([](QWidget* modal) {
        auto* list = qobject_cast<ChooseAddressDialog*>(modal)->Candidates();
        const QPoint at = list->visualItemRect(list->item(0)).center();
        // The first click of the two, then the second as a double-click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    });
    QCOMPARE(ParseAddresses("Ann", book, 7, chooser), std::vector<std::string>{"ann@example.test"});

    // None keeps what was typed.
    AnswerModal([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>("chooseNone"), Qt::LeftButton);
    });
    QCOMPARE(ParseAddresses("ann", book, 7, chooser), std::vector<std::string>{"ann"});
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::AddressBookTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "addressbook_test.moc"
