// A person writing mail in the composer window: a styled message with a bulleted list, a
// colour and words in several scripts, a file dropped on it, sent through Postfix, fetched
// back through Dovecot and replied to from the main window; an attachment that vanishes
// before sending; nicknames, the caption, the abandon tip and the cascade of new windows; a
// huge paste.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "base/bytes.h"
#include "mail/msmsg.h"
#include "store/indexitem.h"
#include "tests/support/testutil.h"
#include "ui/composerlist.h"
#include "ui/composerwindow.h"
#include "ui/mainwindow.h"
#include "ui/minilist.h"
#include "ui/qtplatform.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;

// The program folder of a user with an address book and, unless `accounts` is false, one
// account that sends through a server nobody listens on.
void MakeFolder(const fs::path& home, bool accounts = true) {
    fs::create_directories(home / "Mail");
    test::WriteFile(home / "kivo.ini",
                    "[Mail]\r\nPrompt=0\r\nDefaultAccount=Main\r\n"
                    "[Program]\r\nOpened=In\r\n");
    if (accounts) {
        test::WriteFile(home / "accounts.ini",
                        "[Main]\r\nName=Tess Tester\r\n"
                        "Email=tess@example.test\r\nSMTP=127.0.0.1:1\r\n");
    }
    test::WriteFile(home / "address.ini", "Ann,Lee,ann@example.test\r\n");
    test::WriteFile(home / "Mail" / "In.mbx", "");
}

ComposerWindow* LastComposer(MainWindow& window) {
    const auto& windows = window.Composers().Windows();
    return windows.empty() ? nullptr : windows.back().get();
}

// A user's program folder and, once started, the main window on it.
struct Desk {
    explicit Desk(bool accounts = true) : home(dir / "home") { MakeFolder(home, accounts); }
    MainWindow& Start() {
        window = std::make_unique<MainWindow>(ProgramFolder{home}, platform);
        window->Start({});
        return *window;
    }
    // "New Message" from the main window's menu; null when no composer showed.
    ComposerWindow* NewComposer() {
        window->Action("newMessage")->trigger();
        ComposerWindow* composer = LastComposer(*window);
        return composer && QTest::qWaitForWindowExposed(composer) ? composer : nullptr;
    }

    test::TempDir dir;
    fs::path home;
    QtPlatform platform;
    std::unique_ptr<MainWindow> window;
};

// Files dropped from the file manager onto a widget.
void DropFiles(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// A message of the rig user fetched as the server keeps it (RETR, nothing deleted).
std::string FetchFromDovecot(const std::string& user, int number) {
    QTcpSocket pop;
    const QString host = QString::fromStdString(
        test::Env("MAILPEERS_HOST").empty() ? "127.0.0.1" : test::Env("MAILPEERS_HOST"));
    pop.connectToHost(host, static_cast<quint16>(std::stoi(test::Env("MAILPEERS_POP3_PORT"))));
    if (!pop.waitForConnected(10000)) return {};
    QByteArray received;
    const auto until = [&](const QByteArray& end) {
        while (!received.endsWith(end) &&
               !(received.startsWith("-ERR") && received.endsWith("\r\n"))) {
            if (!pop.waitForReadyRead(10000)) return false;
            received += pop.readAll();
        }
        return received.startsWith("+OK");
    };
    const auto command = [&](const std::string& line, const QByteArray& end) {
        received.clear();
        pop.write(QByteArray::fromStdString(line + "\r\n"));
        return until(end);
    };
    until("\r\n");
    if (!command("USER " + user, "\r\n") || !command("PASS " + user + "pw", "\r\n")) return {};
    const bool found = command("RETR " + std::to_string(number), "\r\n.\r\n");
    const QByteArray answer = received;
    command("QUIT", "\r\n");
    if (!found) return {};
    received = answer;
    std::string message = received.toStdString();
    message.erase(0, message.find("\r\n") + 2);
    message.resize(message.size() - 3);
    // Dot-stuffed lines back as they were.
    for (std::size_t at = 0; (at = message.find("\r\n..", at)) != std::string::npos; at += 3)
        message.erase(at + 2, 1);
    return message;
}

void AnswerColourDialog(const QColor& colour) {
    QTimer::singleShot(0, [colour] {
        QTRY_VERIFY(qobject_cast<QColorDialog*>(QApplication::activeModalWidget()));
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        dialog->setCurrentColor(colour);
        dialog->accept();
    });
}

}  // namespace

class ComposerTest : public QObject {
    Q_OBJECT
  private slots:
    void StyledMessageTravelsThroughTheRigAndIsRepliedTo();
    void AVanishedAttachmentLeavesNothingInOut();
    void FieldsCaptionAbandonTipAndCascade();
    void TheFirstComposerTakesTheMainWindowsSizeAndTheBodyTheSpace();
    void AHugePasteDoesNotHang();
    void SendingKeepsTheToolbarsAndKeysSendAndClose();
};

void ComposerTest::StyledMessageTravelsThroughTheRigAndIsRepliedTo() {
    if (test::Env("MAILPEERS_DIR").empty() || test::Env("MAILPEERS_SMTP_PORT").empty())
        QSKIP("no mail server rig: run scripts/test.sh or export the output of mailpeers env");
    // Postfix delivers only to the rig's own users: carol's mailbox is emptied into In first.
    const std::string user = "carol";
    const std::string address = user + "@example.test";
    Desk desk(false);
    const fs::path& home = desk.home;
    const std::string host =
        test::Env("MAILPEERS_HOST").empty() ? "127.0.0.1" : test::Env("MAILPEERS_HOST");
    QCOMPARE(
        test::RunKivoIn(home, {"account", "add", "Main", "--name", "Tess Tester", "--email",
                               address, "--smtp", host + ":" + test::Env("MAILPEERS_SMTP_PORT"),
                               "--pop-server", host + ":" + test::Env("MAILPEERS_POP3_PORT"),
                               "--pop-user", user, "--password", user + "pw", "--yes"})
            .status,
        0);
    const fs::path report = desk.dir / "report.pdf";
    test::WriteFile(report, "%PDF-1.4 the quarterly figures\n");

    MainWindow& window = desk.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Action("check")->trigger();
    const int before = window.List()->model()->rowCount();
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
    ComposerWindow* composer = LastComposer(window);
    QVERIFY(composer);
    QVERIFY(QTest::qWaitForWindowExposed(composer));
    QCOMPARE(composer->windowTitle(), QString("New"));

    QTRY_VERIFY(composer->ToField()->hasFocus());
    QTest::keyClicks(composer->ToField(), QString::fromStdString(address));
    composer->SubjectField()->setFocus();
    QTest::keyClicks(composer->SubjectField(), "Styled hello");
    QCOMPARE(composer->windowTitle(), QString("New, Styled hello"));
    composer->Body()->setFocus();
    QTest::keyClicks(composer->Body(), "Shopping list:");
    QTest::keyClick(composer->Body(), Qt::Key_Return);
    composer->Action("bullets")->trigger();
    QTest::keyClicks(composer->Body(), "bread");
    QTest::keyClick(composer->Body(), Qt::Key_Return);
    QTest::keyClicks(composer->Body(), "milk");
    QTest::keyClick(composer->Body(), Qt::Key_Return);
    composer->Action("bullets")->trigger();
    // Red from the colour button's palette, black again through "Other".
    auto* palette = composer->findChild<QMenu*>("fontColourPalette");
    QVERIFY(palette);
    auto* red = palette->findChild<QToolButton*>("swatch10");
    QVERIFY(red);
    QCOMPARE(red->accessibleName(), QString("#ff0000"));
    red->click();
    QTest::keyClicks(composer->Body(), "Urgent");
    AnswerColourDialog(QColor(0, 0, 0));
    composer->Action("fontColour")->trigger();
    // Words in other scripts come from the input method, as a keyboard layout or IME gives them.
    QInputMethodEvent typed;
    typed.setCommitString(
        QString::fromUtf8(" Gr\u00fc\u00dfe \u20ac \u041f\u0440\u0438\u0432"
                          "\u0435\u0442 \u65e5\u672c \xF0\x9F\x98\x80"));
    QApplication::sendEvent(composer->Body(), &typed);
    QTest::keyClicks(composer->Body(), " {\\} \\'e9;");
    QVERIFY(composer->Action("styled")->isChecked());
    QVERIFY(composer->Action("plain")->isChecked());

    DropFiles(composer->Body()->viewport(), {QString::fromStdString(report.string())});
    QCOMPARE(composer->AttachmentList()->count(), 1);
    QVERIFY(composer->AttachmentList()->isVisible());
    QCOMPARE(composer->Body()->toPlainText().count("report"), 0);

    composer->Action("send")->trigger();
    QTRY_VERIFY(window.Composers().Windows().empty());
    const std::string sent = test::ReadFile(home / "Mail" / "sent.mbx");
    QVERIFY2(sent.find("Status: RS") != std::string::npos,
             ("not in Sent; Out holds:\n" + test::ReadFile(home / "Mail" / "out.mbx") + "\nlog:\n" +
              window.Main().Transfer().Log.Html())
                 .c_str());
    QVERIFY(sent.find("Attachment Converted: \"" + report.string() + "\"") != std::string::npos);

    // As Dovecot keeps it: the HTML alternative and the file.
    std::string raw;
    QTRY_VERIFY_WITH_TIMEOUT(!(raw = FetchFromDovecot(user, 1)).empty(), 20000);
    TmsMessage message;
    message.LoadFromBytes(raw);
    std::string html, pdf;
    for (const TmsAttItem& item : message.Attachments()) {
        if (item.Data().find("<html>") != std::string::npos) html = item.Data();
        if (item.Data().starts_with("%PDF")) pdf = item.Data();
    }
    QVERIFY2(!html.empty(), raw.c_str());
    QCOMPARE(pdf, std::string("%PDF-1.4 the quarterly figures\n"));
    for (const char* expected : {"<P>Shopping list:", "<UL>bread", "<LI>milk", "</UL>",
                                 "<FONT FACE=\"", "COLOR=\"#FF0000\"", "Urgent<FONT",
                                 " Gr\xC3\xBC\xC3\x9F"
                                 "e \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
                                 "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 {\\} \\'e9;"}) {
        QVERIFY2(html.find(expected) != std::string::npos, (expected + ("\n" + html)).c_str());
    }
    QVERIFY2(JoinLinesCrLf(message.Body())
                     .find("Gr\xC3\xBC\xC3\x9F"
                           "e") != std::string::npos,
             raw.c_str());

    // Fetched into In and answered from the main window: the reply quotes the text.
    window.Action("check")->trigger();
    QTRY_COMPARE(window.List()->model()->rowCount(), before + 1);
    window.List()->selectRow(before);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.List(), Qt::Key_R, Qt::ControlModifier);
    ComposerWindow* reply = LastComposer(window);
    QVERIFY(reply);
    QVERIFY(QTest::qWaitForWindowExposed(reply));
    QCOMPARE(reply->SubjectField()->text(), QString("Re: Styled hello"));
    QCOMPARE(reply->ToField()->toPlainText(), QString::fromStdString(address));
    QCOMPARE(reply->windowTitle(), QString("Reply, Re: Styled hello"));
    const QString quote = reply->Body()->toPlainText();
    QVERIFY2(quote.contains("you wrote:") && quote.contains(">milk") &&
                 quote.contains(QString::fromUtf8(">Shopping list:")),
             qPrintable(quote));
    QTRY_VERIFY(reply->Body()->hasFocus());
    QCOMPARE(window.Main().MainIndex().Item(before).Icon / 4, static_cast<int>(igReplied));
    // Nothing typed: the reply closes without asking.
    QVERIFY(reply->close());
}

void ComposerTest::AVanishedAttachmentLeavesNothingInOut() {
    Desk desk;
    const fs::path& home = desk.home;
    const fs::path file = desk.dir / "vanishing.txt";
    test::WriteFile(file, "here for now");
    MainWindow& window = desk.Start();
    QtPlatform& platform = desk.platform;
    ComposerWindow* composer = desk.NewComposer();
    QVERIFY(composer);
    QTest::keyClicks(composer->ToField(), "someone@example.test");
    DropFiles(composer, {QString::fromStdString(file.string())});
    QCOMPARE(composer->AttachmentList()->count(), 1);
    fs::remove(file);

    for (const char* command : {"queue", "send"}) {
        composer->Action(command)->trigger();
        QVERIFY2(platform.TipText().startsWith("Cannot read the attachment file"),
                 qPrintable(platform.TipText()));
        QVERIFY(platform.TipText().contains(QString::fromStdString(file.string())));
        QVERIFY(composer->isVisible());
        QVERIFY(!fs::exists(home / "Mail" / "out.mbx") ||
                fs::file_size(home / "Mail" / "out.mbx") == 0);
        QVERIFY(!fs::exists(home / "Mail" / "sent.mbx"));
    }
    // Back in place, the message is queued whole.
    test::WriteFile(file, "here again");
    composer->Action("queue")->trigger();
    QTRY_VERIFY(window.Composers().Windows().empty());
    const std::string out = test::ReadFile(home / "Mail" / "out.mbx");
    QVERIFY(out.find("Status: RQ") != std::string::npos);
    QVERIFY(out.find("Attachment Converted: \"" + file.string() + "\"") != std::string::npos);
}

void ComposerTest::FieldsCaptionAbandonTipAndCascade() {
    Desk desk;
    MainWindow& window = desk.Start();
    QtPlatform& platform = desk.platform;
    ComposerWindow* first = desk.NewComposer();
    ComposerWindow* second = desk.NewComposer();
    QVERIFY(first && second);
    QCOMPARE(second->pos() - first->pos(), QPoint(16, 16));
    QCOMPARE(window.Main().OpenWindows().Items().size(), 2u);

    // A nickname and an address; leaving the field resolves and joins them.
    second->ToField()->setFocus();
    QTest::keyClicks(second->ToField(), "ann; bob@example.test");
    second->SubjectField()->setFocus();
    QTRY_COMPARE(second->ToField()->toPlainText(), QString("ann@example.test, bob@example.test"));
    QCOMPARE(second->windowTitle(), QString("New to ann@example.test, bob@example."));
    QTest::keyClicks(second->SubjectField(), "Plans");
    QCOMPARE(second->windowTitle(), QString("New, Plans"));
    QCOMPARE(window.Main().OpenWindows().MenuCaptions().back(), std::string("New, Plans"));

    // The Cc button takes the keyboard to Cc and links the mini address list to the window.
    QTest::mouseClick(second->findChild<QPushButton*>("ccFieldButton"), Qt::LeftButton);
    QTRY_VERIFY(second->CcField()->hasFocus());
    QVERIFY(window.MiniList()->Link().Linked() != nullptr);

    // Typed text is guarded: the first close shows the tip, a second one closes.
    QVERIFY(!second->close());
    QVERIFY(second->isVisible());
    QCOMPARE(platform.TipText(), QString("Abandon this message?\nClick again to really close."));
    QVERIFY(second->close());
    QTRY_COMPARE(window.Composers().Windows().size(), 1u);
    QCOMPARE(window.Main().OpenWindows().Items().size(), 1u);
    QVERIFY(window.MiniList()->Link().Linked() == nullptr);
    // Nothing typed in the first: it closes at once.
    QVERIFY(first->close());
    QTRY_VERIFY(window.Composers().Windows().empty());
}

void ComposerTest::AHugePasteDoesNotHang() {
    Desk desk;
    desk.Start();
    QtPlatform& platform = desk.platform;
    ComposerWindow* composer = desk.NewComposer();
    QVERIFY(composer);
    composer->Body()->setFocus();
    // 50 MB of text, offered as HTML too, as a browser puts it on the clipboard.
    const QString line = QString(99, 'x') + '\n';
    QString text;
    text.reserve(50 * 1024 * 1024);
    while (text.size() < 50 * 1024 * 1024) text += line;
    auto* data = new QMimeData;
    data->setText(text);
    data->setHtml("<p>" + text + "</p>");
    QApplication::clipboard()->setMimeData(data);
    composer->Action("paste")->trigger();
    QVERIFY2(platform.TipText().startsWith("Too much text for a message body."),
             qPrintable(platform.TipText()));
    QVERIFY(composer->Body()->toPlainText().isEmpty());
    // A few megabytes, as a long log pasted in, go into the body.
    auto* smaller = new QMimeData;
    smaller->setText(text.left(4 * 1024 * 1024));
    smaller->setHtml("<p>" + smaller->text() + "</p>");
    QApplication::clipboard()->setMimeData(smaller);
    composer->Action("paste")->trigger();
    QCOMPARE(composer->Body()->document()->characterCount(), 4 * 1024 * 1024 + 1);
    QApplication::clipboard()->clear();
    // Typing goes on in the window.
    QTest::keyClicks(composer->Body(), "end");
    QVERIFY(composer->Body()->toPlainText().endsWith("end"));
}

void ComposerTest::SendingKeepsTheToolbarsAndKeysSendAndClose() {
    Desk desk;
    MainWindow& window = desk.Start();
    QtPlatform& platform = desk.platform;
    const auto newComposer = [&] {
        ComposerWindow* composer = desk.NewComposer();
        return composer && QTest::qWaitForWindowActive(composer) ? composer : nullptr;
    };
    const auto kept = [&](const char* to) {
        const std::string mail = test::ReadFile(desk.home / "Mail" / "out.mbx");
        return mail.find(std::string("<") + to + ">") != std::string::npos;
    };

    // Sent from the toolbar (the server refuses, so the message waits in Out), the window hides
    // before it closes: the toolbars are still the user's choice for the next window.
    ComposerWindow* composer = newComposer();
    QVERIFY(composer);
    QTest::keyClicks(composer->ToField(), "first@example.test");
    auto* sendButton = composer->findChild<QToolButton*>("sendButton");
    QVERIFY(sendButton);
    QTest::mouseClick(sendButton, Qt::LeftButton);
    QTRY_VERIFY(window.Composers().Windows().empty());
    QVERIFY(kept("first@example.test"));
    const std::string ini = test::ReadFile(desk.home / "kivo.ini");
    QVERIFY2(ini.find("Toolbar1=0") == std::string::npos, ini.c_str());
    QVERIFY2(ini.find("Toolbar2=0") == std::string::npos, ini.c_str());
    composer = newComposer();
    QVERIFY(composer);
    QVERIFY(composer->findChild<QToolBar*>("mailToolbar")->isVisible());
    QVERIFY(composer->Action("showMailToolbar")->isChecked());

    // Ctrl+Enter sends from the body, the Enter of the keypad too; Ctrl+E stays.
    const std::pair<const char*, Qt::Key> sends[] = {{"second@example.test", Qt::Key_Return},
                                                     {"third@example.test", Qt::Key_Enter}};
    for (const auto& [to, key] : sends) {
        if (!composer) composer = newComposer();
        QVERIFY(composer);
        QTest::keyClicks(composer->ToField(), to);
        composer->Body()->setFocus();
        QTest::keyClicks(composer->Body(), "Hello");
        QTest::keyClick(composer->Body(), key, Qt::ControlModifier);
        QTRY_VERIFY(window.Composers().Windows().empty());
        QVERIFY2(kept(to), to);
        composer = nullptr;
    }
    QCOMPARE(newComposer()->Action("send")->shortcut(), QKeySequence("Ctrl+E"));

    // Esc closes: at once with nothing typed, after the abandon question with text.
    composer = LastComposer(window);
    QTest::keyClick(composer->ToField(), Qt::Key_Escape);
    QTRY_VERIFY(window.Composers().Windows().empty());
    composer = newComposer();
    QVERIFY(composer);
    composer->Body()->setFocus();
    QTest::keyClicks(composer->Body(), "A draft");
    QTest::keyClick(composer->Body(), Qt::Key_Escape);
    QVERIFY(composer->isVisible());
    QCOMPARE(platform.TipText(), QString("Abandon this message?\nClick again to really close."));
    QTest::keyClick(composer->Body(), Qt::Key_Escape);
    QTRY_VERIFY(window.Composers().Windows().empty());
}

void ComposerTest::TheFirstComposerTakesTheMainWindowsSizeAndTheBodyTheSpace() {
    Desk desk;
    MainWindow& window = desk.Start();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ComposerWindow* composer = desk.NewComposer();
    QVERIFY(composer);
    QCOMPARE(composer->size(), window.size());
    // The body has most of the height; the style bar shows whole, nothing in its overflow.
    QVERIFY(composer->Body()->height() > composer->height() / 2);
    auto* styleBar = composer->findChild<QToolBar*>("styleToolbar");
    QVERIFY(styleBar && styleBar->isVisible());
    QVERIFY(styleBar->sizeHint().width() <= styleBar->width());
    // Once the file keeps a place, that place wins over the main window's size.
    QVERIFY(composer->close());
    window.resize(1000, 700);
    ComposerWindow* next = desk.NewComposer();
    QVERIFY(next);
    QVERIFY(next->size() != window.size());
    QVERIFY(next->close());
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    // A desktop-sized screen, so the windows open at a real share of it.
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KIVO_TEST_DATA "/screen1600.json");
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::ComposerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "composer_test.moc"
