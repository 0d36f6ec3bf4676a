// kivo_screens FOLDER OUTDIR: opens Kivo's windows on a program folder, as a person starting
// it would see them, and writes a PNG of each window and dialog into OUTDIR. Run it on a
// display (scripts/screens.sh starts one with Xvfb).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QWindow>
#include <iostream>

#include "accounts/KivoWizard.h"
#include "app/settings.h"
#include "tests/ui/composerscreens.h"
#include "tests/ui/indexwindowscreens.h"
#include "tests/ui/screens_addressbook.h"
#include "tests/ui/scriptscreens.h"
#include "tests/ui/settingsscreens.h"
#include "ui/findwindow.h"
#include "ui/helpwindow.h"
#include "ui/indexmodel.h"
#include "ui/indexpane.h"
#include "ui/mainwindow.h"
#include "ui/messagepane.h"
#include "ui/messageview.h"
#include "ui/messagewindow.h"
#include "ui/printing.h"
#include "ui/progresswindow.h"
#include "ui/qtplatform.h"
#include "ui/setupwizard.h"
#include "ui/splash.h"
#include "ui/updatedialog.h"
#include "ui/userbuttonspanel.h"
#include "ui/windows.h"

namespace {

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window as the screen shows it, frame and all.
bool Shoot(QWidget* window, const QString& file) {
    window->raise();
    window->activateWindow();
    Wait(600);
    QScreen* screen = window->screen();
    const QRect frame = window->frameGeometry();
    const QPixmap pix = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const bool ok = pix.save(file);
    std::cout << (ok ? "wrote " : "FAILED ") << file.toStdString() << '\n';
    return ok;
}

// Shoots the modal dialog that the next command opens, then closes it.
void ShootNextModal(const QString& file, int& failures) {
    QTimer::singleShot(1500, [file, &failures] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            std::cout << "FAILED " << file.toStdString() << " (no dialog)\n";
            ++failures;
            return;
        }
        failures += !Shoot(modal, file);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        if (modal->isVisible()) modal->close();
    });
}

bool WaitLoaded(kivo::ui::MessageView* view) {
    for (int k = 0; k < 100 && !view->Loaded(); ++k) Wait(100);
    return view->Loaded();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kivo_screens FOLDER OUTDIR\n";
        return 2;
    }
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    kivo::ui::QtPlatform platform;
    kivo::ProgramFolder folder{argv[1]};
    int failures = 0;
    {
        kivo::ui::Splash splash;
        splash.show();
        splash.SetProgress("Loading user files...");
        splash.SetVersion(kivo::kProgramVersion);
        failures += !Shoot(&splash, out + "/splash.png");
    }
    kivo::ui::MainWindow window(folder, platform);
    window.Start({});
    window.resize(1100, 720);
    window.move(20, 20);
    WaitLoaded(window.View());
    failures += !Shoot(&window, out + "/main.png");

    // An HTML message (the newsletter with its inline picture, its remote parts blocked).
    QTableView* list = window.List();
    const auto selectSubject = [&](const QString& subject) {
        for (int row = 0; row < window.Model()->rowCount(); ++row) {
            if (window.Model()->index(row, 0).data().toString().startsWith(subject)) {
                list->selectRow(row);
                break;
            }
        }
        Wait(300);
        WaitLoaded(window.View());
    };
    selectSubject("Spring sale");
    failures += !Shoot(&window, out + "/main-html-message.png");

    // Its raw lines, with the headers shown.
    window.Pane()->Action("headers")->trigger();
    window.Pane()->Action("rawView")->trigger();
    WaitLoaded(window.View());
    failures += !Shoot(&window, out + "/main-raw-message.png");
    window.Pane()->Action("headers")->trigger();
    WaitLoaded(window.View());

    // A message with attachments (one of them deleted since) and non-ASCII text.
    selectSubject(QString::fromUtf8("Smørrebrød"));
    failures += !Shoot(&window, out + "/main-attachments.png");

    // The newsletter in a window of its own.
    selectSubject("Spring sale");
    list->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    const QList<kivo::ui::MessageWindow*> separate =
        window.findChildren<kivo::ui::MessageWindow*>();
    if (separate.isEmpty()) {
        std::cout << "FAILED no separate message window\n";
        ++failures;
    } else {
        WaitLoaded(separate.front()->Pane()->View());
        failures += !Shoot(separate.front(), out + "/message-window.png");
        separate.front()->close();
    }

    // Sorted by sender, a folder's mailbox open.
    list->horizontalHeader()->sectionClicked(1);
    failures += !Shoot(&window, out + "/main-sorted-by-from.png");

    // The Show filter with the rest hidden, then the Find window over the main window.
    kivo::ui::IndexPane* listPane = window.ListPane();
    listPane->Criterion()->setCurrentIndex(kivo::scSubject);
    listPane->ShowText()->setText("re");
    listPane->ApplyFilter();
    failures += !Shoot(&window, out + "/main-show-filter.png");
    listPane->HideRest()->setChecked(true);
    listPane->ApplyFilter();
    failures += !Shoot(&window, out + "/main-show-filter-hide-rest.png");
    listPane->Criterion()->setCurrentIndex(kivo::scEverything);
    listPane->HideRest()->setChecked(false);
    listPane->ApplyFilter();
    window.Action("find")->trigger();
    window.Find()->move(140, 110);
    failures += !Shoot(window.Find(), out + "/find-window.png");
    window.Find()->hide();

    window.ToggleProgressWindow();
    window.Progress()->move(120, 120);
    failures += !Shoot(window.Progress(), out + "/progress-window.png");
    window.ToggleProgressWindow();

    // Nothing is finished here, so no server is ever tried.
    kivo::TFrmSetupWizard wizardState(
        folder.root / "wizard-accounts.ini",
        [](const kivo::TServerGuess&) { return kivo::TProbeResult{}; });
    kivo::ui::SetupWizard wizard(wizardState, &window);
    wizard.Field(kivo::TWizardField::Email)->setText("jo.doe@mail-provider.example");
    wizard.show();
    wizard.move(150, 100);
    failures += !Shoot(&wizard, out + "/setup-wizard.png");
    wizard.hide();

    failures += kivo::ui::ShootSettingsWindows(window, out, Shoot);
    failures += kivo::ui::AddressBookScreens(window, out, Shoot);
    failures += kivo::ui::ShootScriptsWindow(window, out, Shoot);
    failures += kivo::ui::ShootComposer(window, out, Shoot);
    failures += kivo::ui::ShootIndexWindows(window, out, Shoot);
    // Printing: the preview of the selected message (the shots above changed the selection).
    list->selectRow(0);
    ShootNextModal(out + "/print-preview.png", failures);
    if (!kivo::ui::PreviewSelectedMessage(window.Main(), &window)) {
        std::cout << "FAILED print preview (nothing to print)\n";
        ++failures;
        Wait(2000);
    }

    window.ShowHelp();
    window.Help()->move(660, 120);
    failures += !Shoot(window.Help(), out + "/help-window.png");
    window.Help()->hide();

    // The update check's question and its download progress.
    {
        kivo::ui::UpdateDialogs dialogs(platform, &window);
        ShootNextModal(out + "/update-available.png", failures);
        dialogs.Ask("Current version is 1.0.\rVersion 2.0 is available.\rDownload the update?",
                    "Update Available");
        dialogs.Progress("Downloading Update", 1523712, 5000000);
        QWidget* progress = window.findChild<QWidget*>("updateProgress");
        if (progress) failures += !Shoot(progress, out + "/update-progress.png");
    }

    return failures == 0 ? 0 : 1;
}
