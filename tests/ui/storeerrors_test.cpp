// The windows against a store that fails and against long store work: every operation that
// fails shows its error and leaves the window usable, an error escaping a slot is logged and
// the program goes on, changes wait for a running check, and a compress lets the window paint.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>
#include <system_error>

#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/application.h"
#include "ui/mailboxtree.h"
#include "ui/mainwindow.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;
using uitest::StoredMessage;
using uitest::WaitFor;

// Boxes and tips are recorded; a password prompt is answered.
class NotingPlatform : public QtPlatform {
  public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowTip(std::string_view text) override { tips.emplace_back(text); }
    bool InputPassword(std::string_view, std::string_view, std::string& value) override {
        value = "secret";
        return true;
    }
    std::vector<std::string> messages;
    std::vector<std::string> tips;
};

bool Contains(const std::vector<std::string>& texts, std::string_view part) {
    for (const std::string& t : texts) {
        if (t.find(part) != std::string::npos) return true;
    }
    return false;
}

// A program folder with three messages in In, an empty Trash and Work, a folder Sub; the
// main window on it once started.
struct Desk {
    Desk() : home(dir / "home") {
        fs::create_directories(home / "Mail" / "Sub");
        test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
        test::WriteFile(home / "Mail" / "In.mbx",
                        StoredMessage("ann@example.test", "First", "One.") +
                            StoredMessage("bob@example.test", "Second", "Two.") +
                            StoredMessage("cy@example.test", "Third", "Three."));
        test::WriteFile(home / "Mail" / "Trash.mbx", "");
        test::WriteFile(home / "Mail" / "Work.mbx", "");
    }
    MainWindow& Start() {
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
        return *window;
    }
    fs::path Mail(const std::string& name) const { return home / "Mail" / name; }
    // A file turned into a folder that cannot simply be removed, and back.
    void MakeFolderOf(const std::string& name) const {
        fs::rename(Mail(name), Mail(name + ".saved"));
        fs::create_directories(Mail(name) / "inside");
    }
    void RestoreFile(const std::string& name) const {
        fs::remove_all(Mail(name));
        fs::rename(Mail(name + ".saved"), Mail(name));
    }
    void SelectRow(int row) const {
        window->Main().MainIndex().SelectOnly(row);
        window->RefreshList();
    }
    test::TempDir dir;
    fs::path home;
    NotingPlatform platform;
    std::unique_ptr<MainWindow> window;
};

// The list shows what the core holds.
bool ListMatchesCore(MainWindow& window) {
    return window.List()->model()->rowCount() == window.Main().MainIndex().RowCount();
}

}  // namespace

class StoreErrorsTest : public QObject {
    Q_OBJECT
  private slots:
    void EachFailedOperationShowsItsErrorAndTheWindowGoesOn();
    void AFailedMessageShowLetsTheNextOneShow();
    void AnErrorEscapingASlotIsLoggedAndTheProgramGoesOn();
    void ChangesWaitForARunningCheck();
    void TheWindowPaintsDuringACompress();
};

void StoreErrorsTest::EachFailedOperationShowsItsErrorAndTheWindowGoesOn() {
    struct Case {
        const char* name;
        std::function<void(Desk&)> fault;
        std::function<void(Desk&)> run;
        std::function<void(Desk&)> mend;
        // What the run does once the fault is mended.
        std::function<bool(Desk&)> done;
    };
    const auto subNode = [](Desk& d) {
        MailboxTree* tree = d.window->Tree();
        tree->setCurrentItem(tree->ItemOf("Sub"));
        return tree;
    };
    const Case cases[] = {
        {"compress", [](Desk& d) { fs::create_directories(d.Mail("In.tmp") / "inside"); },
         [](Desk& d) { d.window->CompressMailbox(); },
         [](Desk& d) { fs::remove_all(d.Mail("In.tmp")); },
         [](Desk& d) { return !fs::exists(d.Mail("In.tmp")); }},
        {"delete", [](Desk& d) { d.MakeFolderOf("Trash.mbx"); },
         [](Desk& d) {
             d.SelectRow(0);
             d.window->DeleteSelected();
         },
         [](Desk& d) { d.RestoreFile("Trash.mbx"); },
         [](Desk& d) {
             return test::ReadFile(d.Mail("Trash.mbx")).find("First") != std::string::npos;
         }},
        {"empty trash",
         [](Desk& d) {
             test::WriteFile(d.Mail("Trash.mbx"), StoredMessage("x@example.test", "Old", "x"));
             fs::create_directories(d.Mail("Trash.d") / "inside");
         },
         [](Desk& d) { d.window->Action("emptyTrash")->trigger(); },
         [](Desk& d) { fs::remove_all(d.Mail("Trash.d")); },
         [](Desk& d) { return fs::file_size(d.Mail("Trash.mbx")) == 0; }},
        {"drop on the tree", [](Desk& d) { d.MakeFolderOf("Work.mbx"); },
         [](Desk& d) {
             d.SelectRow(1);
             MailboxTree* tree = d.window->Tree();
             tree->DropMessagesOn(tree->NodeOf(tree->ItemOf("Work")), true);
         },
         [](Desk& d) { d.RestoreFile("Work.mbx"); },
         [](Desk& d) {
             return test::ReadFile(d.Mail("Work.mbx")).find("Second") != std::string::npos;
         }},
        {"new mailbox",
         [](Desk& d) {
             // The folder the new mailbox goes into has become a file.
             fs::remove_all(d.Mail("Sub"));
             test::WriteFile(d.Mail("Sub"), "not a folder");
         },
         [subNode](Desk& d) { subNode(d)->NewMailbox(); },
         [](Desk& d) {
             fs::remove(d.Mail("Sub"));
             fs::create_directories(d.Mail("Sub"));
         },
         [](Desk& d) { return fs::exists(d.Mail("Sub") / "New Mailbox.mbx"); }},
    };
    for (const Case& c : cases) {
        Desk desk;
        MainWindow& window = desk.Start();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        c.fault(desk);
        c.run(desk);
        QVERIFY2(!desk.platform.messages.empty(), c.name);
        QVERIFY2(ListMatchesCore(window), c.name);
        QVERIFY2(window.StatusPanel(0)->text().isEmpty(), c.name);
        // The window takes the next operation: the same one, with the fault mended, works.
        desk.platform.messages.clear();
        c.mend(desk);
        c.run(desk);
        QVERIFY2(desk.platform.messages.empty(),
                 (std::string(c.name) + ": " + desk.platform.messages.front()).c_str());
        QVERIFY2(c.done(desk), c.name);
        QVERIFY2(!Contains(desk.platform.tips, "mailbox operation is running"), c.name);
        QVERIFY2(ListMatchesCore(window), c.name);
    }
}

void StoreErrorsTest::AFailedMessageShowLetsTheNextOneShow() {
    Desk desk;
    MainWindow& window = desk.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    desk.SelectRow(0);
    desk.MakeFolderOf("In.mbx");
    window.Action("next")->trigger();
    QVERIFY(!desk.platform.messages.empty());
    QCOMPARE(window.StatusPanel(0)->text(), QString());
    desk.RestoreFile("In.mbx");
    desk.platform.messages.clear();
    // The first row has not been shown yet: showing it marks it read.
    desk.SelectRow(1);
    QVERIFY(window.Main().MainIndex().Row(0).Unread);
    window.Action("previous")->trigger();
    QVERIFY(desk.platform.messages.empty());
    QVERIFY(!window.Main().MainIndex().Row(0).Unread);
}

void StoreErrorsTest::AnErrorEscapingASlotIsLoggedAndTheProgramGoesOn() {
    auto* app = qobject_cast<KivoApplication*>(qApp);
    QVERIFY(app);
    std::vector<std::string> escaped;
    app->Escaped = [&](const std::string& text) { escaped.push_back(text); };
    const int before = app->EscapedCount();
    QTimer::singleShot(0, [] { throw std::runtime_error("a timer's slot failed"); });
    QVERIFY(WaitFor([&] { return escaped.size() == 1; }, 5000));
    QPushButton button("Go");
    QObject::connect(&button, &QPushButton::clicked, [] {
        throw std::system_error(std::make_error_code(std::errc::no_space_on_device), "cannot save");
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    app->Escaped = nullptr;
    QCOMPARE(escaped.size(), std::size_t{2});
    QCOMPARE(escaped[0], std::string("a timer's slot failed"));
    QVERIFY(escaped[1].find("cannot save") != std::string::npos);
    QCOMPARE(app->EscapedCount(), before + 2);
    // Events keep flowing.
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    QVERIFY(WaitFor([&] { return later; }, 5000));
}

void StoreErrorsTest::ChangesWaitForARunningCheck() {
    // A server that takes the connection and never says a word: the check waits in the pump.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    std::vector<QTcpSocket*> held;
    connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection()) held.push_back(s);
    });
    Desk desk;
    test::WriteFile(desk.home / "accounts.ini",
                    "[Main]\r\nName=Tess\r\nEmail=tess@example.test\r\nPOPServer=127.0.0.1:" +
                        std::to_string(silent.serverPort()) + "\r\nPOPUser=tess\r\n");
    MainWindow& window = desk.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::string in = test::ReadFile(desk.Mail("In.mbx"));
    desk.SelectRow(0);
    bool tried = false;
    bool shownDuringCheck = false;
    QTimer::singleShot(300, &window, [&] {
        window.CompressMailbox();
        window.DeleteSelected();
        window.Action("emptyTrash")->trigger();
        // Reading goes on beside the check.
        window.Action("next")->trigger();
        shownDuringCheck = !window.Main().MainIndex().Row(1).Unread;
        tried = true;
        window.StopTransfer();
    });
    window.CheckMail();
    QVERIFY(tried);
    QVERIFY(shownDuringCheck);
    QVERIFY(Contains(desk.platform.tips, "Mail is being checked or sent"));
    QCOMPARE(window.Main().MainIndex().RowCount(), 3);
    QCOMPARE(test::ReadFile(desk.Mail("In.mbx")), in);
    QCOMPARE(fs::file_size(desk.Mail("Trash.mbx")), std::uintmax_t{0});
    // Once the check is over the same click deletes.
    desk.SelectRow(0);
    window.DeleteSelected();
    QCOMPARE(window.Main().MainIndex().RowCount(), 2);
}

void StoreErrorsTest::TheWindowPaintsDuringACompress() {
    Desk desk;
    std::string many;
    for (int k = 0; k < 400; ++k) {
        many += StoredMessage("ann@example.test", "Note " + std::to_string(k),
                              std::string(2000, 'x'));
    }
    test::WriteFile(desk.Mail("In.mbx"), many);
    MainWindow& window = desk.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.Main().MainIndex().RowCount(), 400);
    window.Main().MainIndex().SelectOnly(0);
    for (int k = 1; k < 200; ++k) window.Main().MainIndex().SetSelected(k, true);
    window.DeleteSelected();
    QCOMPARE(window.Main().MainIndex().RowCount(), 200);
    // The pump of the delete has had its turn; a timer due now runs inside the compress,
    // which shows its status there and moves the bar.
    QTest::qWait(100);
    QString statusSeen;
    QTimer::singleShot(0, &window, [&] { statusSeen = window.StatusPanel(0)->text(); });
    int highest = 0;
    connect(window.ProgressBar(), &QProgressBar::valueChanged,
            [&](int value) { highest = std::max(highest, value); });
    window.CompressMailbox();
    QCOMPARE(statusSeen, QString("Compressing mailbox..."));
    QVERIFY(highest > 50);
    QCOMPARE(window.ProgressBar()->value(), 0);
    QCOMPARE(window.StatusPanel(0)->text(), QString());
    QCOMPARE(window.Main().MainIndex().RowCount(), 200);
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    kivo::ui::KivoApplication app(argc, argv);
    kivo::ui::StoreErrorsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "storeerrors_test.moc"
