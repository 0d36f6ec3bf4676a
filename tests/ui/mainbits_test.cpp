// A person's paths through the main window's smaller parts: printing a message into a PDF
// file, the help window, the update check against a web server on loopback, and the user
// buttons. Modal dialogs are answered by a timer that runs inside their event loops.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "tests/net/tlspeer.h"
#include "tests/support/testutil.h"
#include "tests/ui/uitest.h"
#include "ui/helpwindow.h"
#include "ui/mainwindow.h"
#include "ui/printing.h"
#include "ui/qtplatform.h"
#include "ui/userbuttonspanel.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;

using uitest::RecordingPlatform;
using uitest::StoredMessage;

// In with two messages, the second with a German subject; `ini` adds to kivo.ini.
void MakeFolder(const fs::path& home, const std::string& ini = {}) {
    fs::create_directories(home / "Mail");
    // A script folder: the start does not write its first-run scripts and button settings.
    fs::create_directories(home / "Scripts");
    test::WriteFile(home / "kivo.ini", "[Mail]\r\nPrompt=0\r\n[Program]\r\nOpened=In\r\n" + ini);
    test::WriteFile(home / "Mail" / "In.mbx",
                    StoredMessage("carol@example.test", "Budget for March", "First body.") +
                        StoredMessage("j\xc3\xbcrgen@example.test",
                                      "Gr\xc3\xbc\xc3\x9f"
                                      "e aus K\xc3\xb6ln",
                                      "Der Dom steht noch."));
}

// A person's program folder and the main window started on it.
struct Session {
    explicit Session(const std::string& ini = {}) {
        MakeFolder(home, ini);
        window.Start({});
    }
    test::TempDir dir;
    fs::path home = dir / "home";
    RecordingPlatform platform;
    MainWindow window{ProgramFolder{home}, platform};
};

// Answers the modal dialogs of one command: each step waits for its dialog (by object name)
// and acts on it; dialogs of no step are left alone. A step that never comes closes whatever
// is open after the time-out, so a broken command fails the test instead of hanging it.
class DialogAnswers : public QObject {
  public:
    struct Step {
        QString objectName;
        std::function<bool(QWidget*)> act;  // true when done with this dialog
    };
    explicit DialogAnswers(std::vector<Step> steps) : steps_(std::move(steps)) {
        connect(&timer_, &QTimer::timeout, this, &DialogAnswers::Tick);
        timer_.start(30);
        started_.start();
    }
    bool AllDone() const { return next_ == steps_.size(); }
    QString Failure() const { return failure_; }

  private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (next_ < steps_.size() && modal && modal->objectName() == steps_[next_].objectName &&
            steps_[next_].act(modal)) {
            ++next_;
            started_.restart();
            return;
        }
        if (started_.elapsed() > 30000 && modal) {
            failure_ = "gave up waiting for " +
                       (next_ < steps_.size() ? steps_[next_].objectName : QString("nothing")) +
                       " while " + modal->objectName() + " was open";
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            modal->close();
        }
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
    QElapsedTimer started_;
    QString failure_;
};

// Chooses `file` in a file dialog and accepts it, once the dialog has taken the name (it
// reads its folder in the background and may change its choice meanwhile).
bool SaveAs(QWidget* w, const QString& file) {
    auto* dialog = static_cast<QFileDialog*>(w);
    const QFileInfo target(file);
    if (dialog->directory().absolutePath() != target.absolutePath()) {
        dialog->setDirectory(target.absolutePath());
    }
    if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
        name->setText(target.fileName());
    if (dialog->selectedFiles().value(0) != file) return false;
    static_cast<QDialog*>(dialog)->accept();
    return true;
}

void ClickButton(QWidget* box, QMessageBox::StandardButton which) {
    auto* message = qobject_cast<QMessageBox*>(box);
    message->button(which)->click();
}

// A web server on loopback: the version page at "/", an update at "/kivo-2.0.tar.gz" that
// announces 5 MB, sends 64 kB and then stalls, so its download can only end by a cancel.
// The update's web server on loopback, over TLS with a certificate the process trusts (the
// update check speaks https only): the version page, and a download that sends 64 KB of its
// 5 MB and then waits, so the progress shows and the download can be canceled.
class UpdateServer {
  public:
    UpdateServer() : cert_("127.0.0.1") {
        const char* old = std::getenv("SSL_CERT_FILE");
        oldCertFile_ = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("SSL_CERT_FILE", cert_.CertFile().c_str(), 1);
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            throw std::runtime_error("no loopback server");
        }
        port_ = ntohs(addr.sin_port);
        accepter_ = std::thread([this] { Accept(); });
    }
    ~UpdateServer() {
        stop_ = true;
        accepter_.join();
        for (std::thread& t : workers_) t.join();
        ::close(listener_);
        if (oldCertFile_) {
            ::setenv("SSL_CERT_FILE", oldCertFile_->c_str(), 1);
        } else {
            ::unsetenv("SSL_CERT_FILE");
        }
    }
    QString Url() const { return QString("https://127.0.0.1:%1/").arg(port_); }
    std::atomic<int> downloads{0};
    void SetVersion(const std::string& version) {
        std::lock_guard<std::mutex> hold(mutex_);
        version_ = version;
    }

  private:
    void Accept() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) workers_.emplace_back([this, fd] { Serve(fd); });
        }
    }
    void Serve(int fd) {
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        SSL* ssl = SSL_new(cert_.ServerContext());
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) Answer(ssl);
        SSL_shutdown(ssl);
        SSL_free(ssl);
        ::close(fd);
    }
    void Answer(SSL* ssl) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0) return;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        auto send = [ssl](const std::string& data) {
            return SSL_write(ssl, data.data(), static_cast<int>(data.size())) > 0;
        };
        if (path == "/") {
            std::string version;
            {
                std::lock_guard<std::mutex> hold(mutex_);
                version = version_;
            }
            // The digest is never checked here: the download is canceled first.
            const std::string page =
                "<html><head><title>Kivo</title>\n"
                "<META HTTP-EQUIV=\"kivoversion\" CONTENT=\"" + version + "\">\n"
                "<meta http-equiv=\"kivodownload\" CONTENT=\"" + Url().toStdString() +
                "kivo-2.0.tar.gz\">\n<meta http-equiv=\"kivosha256\" CONTENT=\"" +
                std::string(64, 'a') + "\">\n</head><body>Kivo</body></html>\n";
            send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                 std::to_string(page.size()) + "\r\n\r\n" + page);
            return;
        }
        ++downloads;
        if (!send("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                  "Content-Length: 5000000\r\n\r\n" + std::string(65536, 'k'))) {
            return;
        }
        // Holds the connection until the client gives up or the test ends.
        while (!stop_) {
            pollfd p{SSL_get_fd(ssl), POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && SSL_read(ssl, buffer, sizeof buffer) <= 0) return;
        }
    }

    test::TestCertificate cert_;
    std::optional<std::string> oldCertFile_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string version_ = "2.0";
    std::thread accepter_;
    std::vector<std::thread> workers_;
};

// A kivo process left running with its own environment; killed at the end if still there.
class Spawned {
  public:
    Spawned(std::vector<std::string> args, const std::vector<std::string>& drop,
            const fs::path& output) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_ = test::SpawnKivo(std::move(args), actions, drop);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Spawned() {
        if (Running()) Stop(SIGKILL);
    }
    bool Running() {
        if (pid_ < 0 || exited_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
        return !exited_;
    }
    void Stop(int signal) {
        if (!Running()) return;
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
    }

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 400; ++i) {
        if (done()) return true;
        QTest::qWait(50);
    }
    return done();
}

}  // namespace

class MainBitsTest : public QObject {
    Q_OBJECT
  private slots:
    void PrintsAMessageIntoAPdfFileAndPreviewsIt();
    void HelpOpensOnTheContentsFollowsTopicsAndGoesBack();
    void UpdateCheckShowsTheNewVersionAndACanceledDownloadLeavesNothing();
    void UserButtonRunsItsScriptOnTheSelectedMessage();
    void SlashMToAnInstanceWithoutWindowsOpensAComposerOfItsOwn();
};

void MainBitsTest::PrintsAMessageIntoAPdfFileAndPreviewsIt() {
    if (PrinterInstalled()) QSKIP("a printer is installed: the test would print on paper");
    if (test::RunProgram({"sh", "-c", "command -v pdftotext"}).status != 0) {
        QSKIP("pdftotext is missing: scripts/deps.sh installs poppler-utils");
    }
    Session session;
    MainWindow& window = session.window;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.List()->model()->rowCount(), 2);
    // Start-up selects the last message: the German one.
    const fs::path pdf = session.dir /
                         "Gr\xc3\xbc\xc3\x9f"
                         "e.pdf";
    DialogAnswers answers({{"pdfFileDialog", [&](QWidget* w) {
                                return SaveAs(w, QString::fromStdString(pdf.string()));
                            }}});
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    QVERIFY2(answers.AllDone(), qPrintable(answers.Failure()));
    QVERIFY(fs::exists(pdf));
    const test::ProcessResult text = test::RunProgram({"pdftotext", pdf.string(), "-"});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.find("Message from j\xc3\xbcrgen@example.test, Gr\xc3\xbc\xc3\x9f"
                           "e aus K\xc3\xb6ln") != std::string::npos,
             text.out.c_str());
    QVERIFY(text.out.find("Der Dom steht noch.") != std::string::npos);
    QCOMPARE(window.StatusPanel(0)->text(), QString());

    // The preview lays out the same message on its pages.
    int pages = 0;
    DialogAnswers preview({{"printPreview", [&](QWidget* w) {
                                auto* widget = w->findChild<QPrintPreviewWidget*>();
                                if (!widget || widget->pageCount() == 0) return false;
                                pages = widget->pageCount();
                                static_cast<QDialog*>(w)->reject();
                                return true;
                            }}});
    window.Action("printPreview")->trigger();
    QVERIFY2(preview.AllDone(), qPrintable(preview.Failure()));
    QCOMPARE(pages, 1);
}

void MainBitsTest::HelpOpensOnTheContentsFollowsTopicsAndGoesBack() {
    Session session;
    MainWindow& window = session.window;
    const fs::path& home = session.home;
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    HelpWindow* help = window.Help();
    QVERIFY(!help->isVisible());

    // F1 opens the help at its contents.
    QTest::keyClick(&window, Qt::Key_F1);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QCOMPARE(help->CurrentFile(), home / "Help" / "index.html");
    QVERIFY(help->Browser()->toPlainText().contains("Reading mail"));

    // A topic's link opens the topic; a web link goes to the desktop's browser.
    emit help->Browser()->anchorClicked(QUrl("reading.html"));
    QCOMPARE(help->CurrentFile(), home / "Help" / "reading.html");
    emit help->Browser()->anchorClicked(QUrl("https://example.org/kivo"));
    QCOMPARE(session.platform.opened, std::vector<std::string>{"https://example.org/kivo"});
    QCOMPARE(help->CurrentFile(), home / "Help" / "reading.html");

    // Back returns to the contents; Back on the first page stays there.
    auto* back = help->findChild<QPushButton*>("helpBackButton");
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(help->CurrentFile(), home / "Help" / "index.html");
    QTest::mouseClick(back, Qt::LeftButton);
    QCOMPARE(help->CurrentFile(), home / "Help" / "index.html");

    // Closed on a topic, the help opens again with F1, at the contents.
    emit help->Browser()->anchorClicked(QUrl("scripts.html"));
    help->close();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    QVERIFY(help->isVisible());
    QCOMPARE(help->CurrentFile(), home / "Help" / "index.html");

    // Without the page the help says so instead of showing nothing.
    fs::remove(home / "Help" / "index.html");
    QTest::mouseClick(help->findChild<QPushButton*>("helpContentsButton"), Qt::LeftButton);
    QVERIFY(help->CurrentFile().empty());
    QVERIFY(help->Browser()->toPlainText().contains("not found"));
}

void MainBitsTest::UpdateCheckShowsTheNewVersionAndACanceledDownloadLeavesNothing() {
    UpdateServer server;
    Session session("HomeURL=" + server.Url().toStdString() + "\r\n");
    MainWindow& window = session.window;
    const fs::path downloads = session.dir / "downloads";
    fs::create_directories(downloads);
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QString question, failure;
    int progressShown = 0;
    DialogAnswers answers({
        {"updateQuestion",
         [&](QWidget* w) {
             question = static_cast<QMessageBox*>(w)->text();
             ClickButton(w, QMessageBox::Yes);
             return true;
         }},
        {"updateSaveDialog",
         [&](QWidget* w) {
             return SaveAs(w, QString::fromStdString((downloads / "kivo-2.0.tar.gz").string()));
         }},
        {"updateProgress",
         [&](QWidget* w) {
             auto* progress = static_cast<QProgressDialog*>(w);
             if (progress->value() <= 0) return false;
             progressShown = progress->value();
             progress->cancel();
             return true;
         }},
        {"updateMessage",
         [&](QWidget* w) {
             failure = w->windowTitle() + ": " + static_cast<QMessageBox*>(w)->text();
             ClickButton(w, QMessageBox::Ok);
             return true;
         }},
    });
    window.Action("update")->trigger();
    QVERIFY2(answers.AllDone(), qPrintable(answers.Failure()));
    QCOMPARE(question, QString("Current version is 1.0.\nVersion 2.0 is available.\n"
                               "Download the update?"));
    QVERIFY(progressShown > 0);
    QVERIFY2(failure.startsWith("Download Error: Error occurred while downloading update."),
             qPrintable(failure));
    QCOMPARE(server.downloads.load(), 1);
    // Neither the file nor a partial one is left.
    QVERIFY(fs::is_empty(downloads));
    QVERIFY(window.Action("update")->isEnabled());

    // The same version as the program's: nothing to get.
    server.SetVersion("1.0");
    QString notice;
    DialogAnswers none({{"updateMessage", [&](QWidget* w) {
                             notice =
                                 w->windowTitle() + ": " + static_cast<QMessageBox*>(w)->text();
                             ClickButton(w, QMessageBox::Ok);
                             return true;
                         }}});
    window.Action("update")->trigger();
    QVERIFY2(none.AllDone(), qPrintable(none.Failure()));
    QCOMPARE(notice, QString("No Update Found: There is no update available."));
}

void MainBitsTest::UserButtonRunsItsScriptOnTheSelectedMessage() {
    Session session(
        "ButtonsShowing=400\r\n[Scripts]\r\n"
        "Button3Script=Pick\r\nButton3Desc=Pick & go  - Copy to Picked\r\n"
        "Button4Script=Gone\r\nButton4Desc=Gone\r\n");
    MainWindow& window = session.window;
    const fs::path& home = session.home;
    test::WriteFile(home / "Scripts" / "Pick.kiv",
                    "AppendToFile True\r\nSaveMessage %message \"Picked.mbx\"\r\n");
    window.resize(1280, 720);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    UserButtonsPanel* panel = window.UserButtons();
    QToolButton* pick = panel->Button(2);
    QVERIFY(pick->isVisible());
    QCOMPARE(pick->text(), QString("Pick && go"));
    QCOMPARE(pick->toolTip(), QString("Pick & go  - Copy to Picked"));
    QVERIFY(!panel->Button(0)->isVisible());
    QVERIFY(window.Action("quickRun3")->isVisible());
    QVERIFY(!window.Action("quickRun1")->isVisible());

    // The first message chosen, the button copies it into Picked.
    window.List()->selectRow(0);
    QTest::mouseClick(pick, Qt::LeftButton);
    const std::string picked = test::ReadFile(home / "Mail" / "Picked.mbx");
    QVERIFY2(picked.find("Subject: Budget for March") != std::string::npos, picked.c_str());
    QVERIFY(picked.find("K\xc3\xb6ln") == std::string::npos);

    // Ctrl+3 runs the same script: the second copy goes after the first.
    QTest::keyClick(&window, Qt::Key_3, Qt::ControlModifier);
    const std::string twice = test::ReadFile(home / "Mail" / "Picked.mbx");
    QVERIFY(twice.find("Budget for March", twice.find("Budget for March") + 1) !=
            std::string::npos);
    QCOMPARE(window.StatusPanel(0)->text(), QString());

    // A button whose script is gone says so, and the list stays as it was.
    QTest::mouseClick(panel->Button(3), Qt::LeftButton);
    QVERIFY(session.platform.TipText().contains("could not run"));
    QVERIFY(window.Main().Transfer().Log.CopyText().find("Gone") != std::string::npos);
    QCOMPARE(window.List()->model()->rowCount(), 2);
}

// `kivo run` has no windows: a later start on a display opens the new message in a composer
// window of its own (which places itself in kivo.ini) and stays until it is closed.
void MainBitsTest::SlashMToAnInstanceWithoutWindowsOpensAComposerOfItsOwn() {
    test::TempDir dir;
    const fs::path home = dir / "home";
    MakeFolder(home);
    Spawned instance({"--home", home.string(), "run"},
                     {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, dir / "instance.log");
    QVERIFY(WaitUntil([&] { return fs::exists(home / ".kivo.sock"); }));
    QVERIFY(test::ReadFile(home / "kivo.ini").find("OtherWidth") == std::string::npos);

    Spawned start({"--home", home.string(), "/m", "someone@example.test"}, {}, dir / "start.log");
    QVERIFY(WaitUntil([&] {
        return test::ReadFile(dir / "instance.log").find("refused, no windows") != std::string::npos;
    }));
    QVERIFY(WaitUntil([&] {
        return test::ReadFile(home / "kivo.ini").find("OtherWidth") != std::string::npos ||
               !start.Running();
    }));
    QVERIFY2(start.Running(), test::ReadFile(dir / "start.log").c_str());
    start.Stop(SIGKILL);
    instance.Stop(SIGTERM);
    QVERIFY(!fs::exists(home / ".kivo.sock"));
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::MainBitsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "mainbits_test.moc"
