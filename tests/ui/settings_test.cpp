// A person's paths through the windows that change the settings, driven through the real
// widgets on Qt's offscreen platform: an account added in the accounts window is the one the
// next check fetches from (against the Dovecot rig); fonts and colours chosen in the options
// window reach the message list, the message view and kivo.ini; the privacy sheet locks the
// window and lets the user back in only with the password.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <functional>
#include <memory>

#include "base/inifile.h"
#include "tests/support/rigusers.h"
#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/accountswindow.h"
#include "ui/indexmodel.h"
#include "ui/mainwindow.h"
#include "ui/messageview.h"
#include "ui/optionswindow.h"
#include "ui/privacysheet.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;
using uitest::RunInOwnWorld;

void MakeFolder(const fs::path& home) {
    fs::create_directories(home / "Mail");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n");
    test::WriteFile(home / "Mail" / "In.mbx",
                    "From carol@example.test 01/12/2026 10:00:00\r\nFrom: carol@example.test\r\n"
                    "To: me@example.test\r\nSubject: Budget for March\r\n"
                    "Date: Tue, 1 Dec 2026 10:00:00 +0000\r\nStatus: U\r\n\r\nThe body.\r\n\r\n");
}

// A program folder as a person has it, and the main window started on it.
struct Opened {
    Opened() {
        MakeFolder(home);
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
    }
    test::TempDir dir;
    fs::path home = dir / "home";
    QtPlatform platform;
    std::unique_ptr<MainWindow> window;
};

template <typename W>
W* Named(QWidget* parent, const QString& name) {
    for (W* w : parent->findChildren<W*>()) {
        if (w->accessibleName() == name) return w;
    }
    return nullptr;
}

// Runs `person` on the modal dialog of type D once `open` has shown it; `open` returns when
// the dialog has closed. False when no such dialog came up.
template <typename D>
bool OnModal(const std::function<void()>& open, const std::function<void(D&)>& person) {
    bool found = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<D*>(QApplication::activeModalWidget()), 5000);
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        found = true;
        person(*dialog);
        // Whatever the person left open is closed, so the test never hangs.
        if (dialog->isVisible()) dialog->reject();
    });
    open();
    return found;
}

// A click on a check box's indicator.
void Tick(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

void Type(QWidget* field, const QString& text) {
    QTest::keyClicks(field, text);
}

void ChoosePage(OptionsWindow& w, const QString& caption) {
    const QList<QTreeWidgetItem*> items = w.Tree()->findItems(caption, Qt::MatchRecursive);
    QVERIFY(!items.isEmpty());
    const QRect cell = w.Tree()->visualItemRect(items.front());
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.Tree()->currentItem()->text(0), caption);
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT
  private slots:
    void AccountAddedInTheWindowIsTheOneTheCheckFetchesFrom();
    void FontsAndColoursChosenInTheOptionsReachListViewAndFile();
    void PrivacySheetOpensOnlyForThePassword();
    void ABadNumberKeepsTheOptionsOpenAndChangesNothing();
    void ADarkPresetReachesTheViewAtOnceAndHtmlMailStaysReadable();
};

void SettingsTest::AccountAddedInTheWindowIsTheOneTheCheckFetchesFrom() {
    if (!test::RigAvailable()) {
        QSKIP("no mail server rig: run scripts/test.sh or export the output of mailpeers env");
    }
    const std::optional<test::RigUser> user = test::NewRigUser("uiacc");
    QVERIFY(user);
    QVERIFY(test::SeedRig(*user, {"From: Dora <dora@example.test>\r\nTo: " + user->name +
                                  "@example.test\r\nSubject: Window account works\r\n"
                                  "Date: Thu, 10 Dec 2026 09:00:00 +0000\r\n\r\nHello.\r\n"}));
    Opened opened;
    MainWindow& window = *opened.window;
    const fs::path& home = opened.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.Model()->rowCount(), 1);

    const bool shown = OnModal<AccountsWindow>(
        [&] { window.Action("accounts")->trigger(); },
        [&](AccountsWindow& w) {
            QCOMPARE(w.windowTitle(), QString("E-mail Accounts"));
            // No accounts yet: the list holds one empty line, and the name is typed first.
            QCOMPARE(w.List()->count(), 1);
            Type(w.AccountName(), "Rig");
            QCOMPARE(w.List()->item(0)->text(), QString("Rig"));
            Type(Named<QLineEdit>(&w, "Full Name"), "Dora Explorer");
            Type(Named<QLineEdit>(&w, "E-mail Address"),
                 QString::fromStdString(user->name + "@example.test"));
            Type(Named<QLineEdit>(&w, "POP Server"), QString::fromStdString(user->popServer));
            Type(Named<QLineEdit>(&w, "Username"), QString::fromStdString(user->name));
            Type(Named<QLineEdit>(&w, "Password"), QString::fromStdString(user->password));
            // A second account, not checked for mail, whose server does not exist.
            QTest::mouseClick(w.NewButton(), Qt::LeftButton);
            QCOMPARE(w.AccountName()->text(), QString("Unnamed"));
            w.AccountName()->selectAll();
            Type(w.AccountName(), "Elsewhere");
            Type(Named<QLineEdit>(&w, "POP Server"), "127.0.0.1:1");
            QListWidgetItem* other = w.List()->findItems("Elsewhere", Qt::MatchExactly).front();
            other->setCheckState(Qt::Unchecked);
            QCOMPARE(w.List()->count(), 2);
            QTest::mouseClick(w.OkButton(), Qt::LeftButton);
            QVERIFY(!w.isVisible());
        });
    QVERIFY(shown);
    QVERIFY(!fs::exists(home / "accounts.bak"));
    const IniFile accounts(home / "accounts.ini");
    QCOMPARE(accounts.Sections(), (std::vector<std::string>{"Elsewhere", "Rig"}));
    QCOMPARE(accounts.ReadString("Rig", "POPServer", ""), user->popServer);
    QCOMPARE(accounts.ReadString("Rig", "Name", ""), std::string("Dora Explorer"));
    // The password is stored scrambled, never as typed.
    const std::string stored = accounts.ReadString("Rig", "POPPass", "");
    QVERIFY(!stored.empty());
    QVERIFY(stored.find(user->password) == std::string::npos);
    QCOMPARE(accounts.ReadBool("Elsewhere", "CheckMail", true), false);
    // The first account made is the default, at once and in kivo.ini.
    QCOMPARE(window.Main().Settings().Mail.DefaultAccount, std::string("Rig"));
    QCOMPARE(IniFile(home / "kivo.ini").ReadString("Mail", "DefaultAccount", ""),
             std::string("Rig"));

    test::AwaitRigUser(*user);
    window.Action("check")->trigger();
    QCOMPARE(window.Model()->rowCount(), 2);
    QCOMPARE(window.Model()->index(1, 0).data().toString(), QString("Window account works"));
    QVERIFY(fs::is_empty(user->maildir / "new"));
    QVERIFY(fs::is_empty(user->maildir / "cur"));
}

void SettingsTest::FontsAndColoursChosenInTheOptionsReachListViewAndFile() {
    Opened opened;
    MainWindow& window = *opened.window;
    const fs::path& home = opened.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.List()->selectRow(0);
    QTRY_VERIFY_WITH_TIMEOUT(window.View()->Loaded(), 20000);

    // A font of the machine's that is neither list's nor view's now.
    QString family;
    for (const QString& f : QFontDatabase::families()) {
        if (QFontInfo(QFont(f)).family() == f && f != window.List()->font().family() &&
            !f.startsWith("Arial")) {
            family = f;
            break;
        }
    }
    if (family.isEmpty()) QSKIP("only one font is installed");

    // A preset tried and canceled changes nothing.
    const QVariant textBefore = window.Model()->index(0, 0).data(Qt::ForegroundRole);
    const std::string iniBefore = test::ReadFile(home / "kivo.ini");
    QVERIFY(OnModal<OptionsWindow>([&] { window.Action("options")->trigger(); },
                                   [&](OptionsWindow& w) {
                                       ChoosePage(w, "Colours");
                                       auto* presets = Named<QComboBox>(&w, "Presets");
                                       QTest::keyClick(presets, Qt::Key_Down);  // Midnight
                                       QCOMPARE(w.Core().Fields().IndexColor, 0u);
                                       w.reject();
                                   }));
    QCOMPARE(window.Model()->index(0, 0).data(Qt::ForegroundRole), textBefore);
    QCOMPARE(test::ReadFile(home / "kivo.ini"), iniBefore);

    const bool shown = OnModal<OptionsWindow>(
        [&] { window.Action("options")->trigger(); },
        [&](OptionsWindow& w) {
            QCOMPARE(w.windowTitle(), QString("Mail Settings"));
            // F7 opens on "Program".
            QCOMPARE(w.Tree()->currentItem()->text(0), QString("Program"));
            ChoosePage(w, "Fonts");
            auto* indexFace = Named<QFontComboBox>(&w, "Index list font face");
            auto* indexSize = Named<QComboBox>(&w, "Index list font size");
            auto* messageFace = Named<QFontComboBox>(&w, "Message font face");
            auto* messageSize = Named<QComboBox>(&w, "Message font size");
            QVERIFY(indexFace && indexSize && messageFace && messageSize);
            indexFace->setCurrentFont(QFont(family));
            messageFace->setCurrentFont(QFont(family));
            indexSize->lineEdit()->selectAll();
            Type(indexSize->lineEdit(), "15");
            messageSize->lineEdit()->selectAll();
            Type(messageSize->lineEdit(), "21");
            // The sample follows at once.
            QCOMPARE(Named<QLabel>(&w, "Index list font sample")->font().pointSize(), 15);

            ChoosePage(w, "Colours");
            w.ChooseColour = [](const QColor&) { return QColor(0, 0, 200); };
            QTest::mouseClick(Named<QPushButton>(&w, "Index Text colour"), Qt::LeftButton);
            QTest::mouseClick(Named<QPushButton>(&w, "Text colour"), Qt::LeftButton);
            QTest::mouseClick(w.OkButton(), Qt::LeftButton);
            QVERIFY(!w.isVisible());
        });
    QVERIFY(shown);

    const QModelIndex cell = window.Model()->index(0, 0);
    const QFont listFont = cell.data(Qt::FontRole).value<QFont>();
    QCOMPARE(listFont.family(), family);
    QCOMPARE(listFont.pointSize(), 15);
    QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 200));
    // The message on show is shown again in the new font, size and colour.
    QTRY_VERIFY_WITH_TIMEOUT(window.View()->Loaded(), 20000);
    const QString style = RunInOwnWorld(window.View()->Page(),
                                        "var s = getComputedStyle(document.body); "
                                        "s.fontFamily + '|' + s.fontSize + '|' + s.color")
                              .toString();
    QVERIFY2(style.contains(family), qPrintable(style));
    QVERIFY2(style.contains("|28px|"), qPrintable(style));  // 21 points
    QVERIFY2(style.endsWith("rgb(0, 0, 200)"), qPrintable(style));
    const IniFile ini(home / "kivo.ini");
    QCOMPARE(ini.ReadString("Program", "IndexFont", ""), family.toStdString());
    QCOMPARE(ini.ReadInteger("Program", "MessageFontSize", 0), 21);
    QCOMPARE(ini.ReadColour("Program", "IndexFontColor", 0), 0xC80000u);
}

void SettingsTest::PrivacySheetOpensOnlyForThePassword() {
    Opened opened;
    MainWindow& window = *opened.window;
    const fs::path& home = opened.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.PrivacyPanel()->isVisible());

    // The user turns the panel on and sets a password in the options.
    const bool shown = OnModal<OptionsWindow>(
        [&] { window.Action("options")->trigger(); },
        [&](OptionsWindow& w) {
            ChoosePage(w, "Misc");
            Tick(Named<QCheckBox>(&w, "Show the privacy sheet"));
            Type(Named<QLineEdit>(&w, "Privacy sheet password"), "open sesame");
            Type(Named<QLineEdit>(&w, "Privacy sheet password again"), "open sesame");
            QTest::mouseClick(w.OkButton(), Qt::LeftButton);
        });
    QVERIFY(shown);
    QVERIFY(window.PrivacyPanel()->isVisible());
    QVERIFY(IniFile(home / "kivo.ini").ReadBool("Program", "Privacy", false));

    // During the countdown any key lets the user out.
    PrivacySheet* sheet = window.Privacy();
    window.Action("privacy")->trigger();
    QTRY_VERIFY(sheet->isVisible());
    // It counts down from 2 (a busy machine may have passed a second already).
    QVERIFY(QStringList({"2", "1"}).contains(sheet->CountdownLabel()->text()));
    QTest::keyClick(sheet, Qt::Key_Space);
    QTRY_VERIFY(!sheet->isVisible());

    // After it, only the password does: not a key, not Esc, not a wrong password.
    QTest::mouseClick(window.PrivacyPanel(), Qt::LeftButton);
    QTRY_VERIFY(sheet->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(sheet->PasswordField()->isVisible(), 6000);
    QVERIFY(sheet->Clock()->isVisible());
    QTest::keyClick(sheet, Qt::Key_Escape);
    QTest::mouseClick(sheet, Qt::LeftButton);
    Type(sheet->PasswordField(), "open sesam");
    QTest::mouseClick(sheet->UnlockButton(), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(sheet->isVisible());
    sheet->PasswordField()->clear();
    Type(sheet->PasswordField(), "open sesame");
    QTest::mouseClick(sheet->UnlockButton(), Qt::LeftButton);
    QTRY_VERIFY(!sheet->isVisible());
}

void SettingsTest::ABadNumberKeepsTheOptionsOpenAndChangesNothing() {
    Opened opened;
    MainWindow& window = *opened.window;
    const std::string before = test::ReadFile(opened.home / "kivo.ini");
    QVERIFY(!window.Main().Transfer().Timer.AutoCheck());
    QWidget* checkButton = window.findChild<QWidget*>("checkButton");
    QVERIFY(checkButton);
    const auto hintShows = [&] {
        QToolTip::hideText();
        QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), checkButton->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(checkButton, &hover);
        return QToolTip::isVisible();
    };
    QVERIFY(hintShows());
    const bool shown = OnModal<OptionsWindow>(
        [&] { window.Action("options")->trigger(); },
        [&](OptionsWindow& w) {
            ChoosePage(w, "Misc");
            auto* minutes = Named<QLineEdit>(&w, "Minutes between checks");
            QVERIFY(!minutes->isEnabled());
            Tick(Named<QCheckBox>(&w, "Check for new mail every"));
            QVERIFY(minutes->isEnabled());
            minutes->selectAll();
            Type(minutes, "ten");
            ChoosePage(w, "Index Shading");
            Tick(Named<QCheckBox>(&w, "Show index grid"));
            // The error box is answered; the window stays, on the page of the bad number.
            QString error;
            QTimer::singleShot(0, [&] {
                QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                error = box->text();
                box->accept();
            });
            QTest::mouseClick(w.OkButton(), Qt::LeftButton);
            QTRY_VERIFY(!error.isEmpty());
            QVERIFY2(error.contains("'ten'"), qPrintable(error));
            QVERIFY(w.isVisible());
            QCOMPARE(w.Tree()->currentItem()->text(0), QString("Misc"));
            QCOMPARE(w.focusWidget(), static_cast<QWidget*>(minutes));
            QCOMPARE(test::ReadFile(opened.home / "kivo.ini"), before);
            QVERIFY(!window.Main().Settings().Program.Grid);

            minutes->selectAll();
            Type(minutes, "10");
            Tick(Named<QCheckBox>(&w, "Show tool tips"));
            QTest::mouseClick(w.OkButton(), Qt::LeftButton);
            QVERIFY(!w.isVisible());
        });
    QVERIFY(shown);
    // The timer runs at once with the new interval, and the grid shows.
    QVERIFY(window.Main().Transfer().Timer.AutoCheck());
    QCOMPARE(window.Main().Transfer().Timer.IntervalMs(), 600000);
    QVERIFY(window.List()->showGrid());
    QVERIFY(!hintShows());
    const IniFile ini(opened.home / "kivo.ini");
    QCOMPARE(ini.ReadInteger("Mail", "AutoCheckTime", 0), 10);
    // Fonts the machine may lack show as stand-ins but keep their names unless changed.
    QCOMPARE(ini.ReadString("Program", "IndexFont", ""), std::string("Arial"));
    QCOMPARE(ini.ReadString("Defaults", "MainFont", ""), std::string("Arial"));
}

void SettingsTest::ADarkPresetReachesTheViewAtOnceAndHtmlMailStaysReadable() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    // After the text message: a newsletter that sets no colours, and one on its own dark page.
    const auto html = [](const std::string& subject, const std::string& body) {
        return "From news@example.test 02/12/2026 10:00:00\r\nFrom: news@example.test\r\n"
               "Subject: " +
               subject + "\r\nContent-Type: text/html\r\nStatus: U\r\n\r\n" + body + "\r\n\r\n";
    };
    test::WriteFile(home / "Mail" / "In.mbx",
                    test::ReadFile(home / "Mail" / "In.mbx") +
                        html("Plain news", "<html><body><p id=\"t\">News</p></body></html>") +
                        html("Dark news",
                             "<html><body style=\"background:#202020;color:#eeeeee\">"
                             "<p id=\"t\">Dark</p></body></html>"));
    // The text colour, the document's background and the page's beneath it.
    const auto colours = [](MessageView* view, const char* element) {
        return RunInOwnWorld(view->Page(),
                             QString("var s = getComputedStyle(%1); "
                                     "s.color + '|' + getComputedStyle(document.documentElement)"
                                     ".backgroundColor")
                                 .arg(element))
                   .toString() +
               "|" + view->Page()->backgroundColor().name();
    };
    {
        QtPlatform platform;
        MainWindow window(ProgramFolder{home}, platform);
        window.Start({});
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.List()->selectRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(window.View()->Loaded(), 20000);
        // Midnight, chosen with a message on show: it turns white on black at once.
        QVERIFY(OnModal<OptionsWindow>([&] { window.Action("options")->trigger(); },
                                       [&](OptionsWindow& w) {
                                           ChoosePage(w, "Colours");
                                           auto* presets = Named<QComboBox>(&w, "Presets");
                                           QTest::keyClick(presets, Qt::Key_Down);  // Midnight
                                           QTest::mouseClick(w.OkButton(), Qt::LeftButton);
                                       }));
        QTRY_COMPARE_WITH_TIMEOUT(colours(window.View(), "document.body"),
                                  QString("rgb(255, 255, 255)|rgb(0, 0, 0)|#000000"), 20000);
        window.close();
    }

    // Started again: HTML mail keeps the white page it was written for, with dark text on it;
    // one that sets its own colours shows them.
    QtPlatform platform;
    MainWindow window(ProgramFolder{home}, platform);
    window.Start({});
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const std::pair<int, const char*> pages[] = {
        {1, "rgb(0, 0, 0)|rgba(0, 0, 0, 0)|#ffffff"},
        {2, "rgb(238, 238, 238)|rgba(0, 0, 0, 0)|#ffffff"}};
    for (const auto& [row, expected] : pages) {
        uitest::ClickRow(window.List(), row);
        QTRY_COMPARE_WITH_TIMEOUT(colours(window.View(), "document.getElementById('t')"),
                                  QString(expected), 20000);
    }
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::SettingsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "settings_test.moc"
