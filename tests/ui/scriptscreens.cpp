#include "tests/ui/scriptscreens.h"

#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "script/builtin.h"
#include "ui/mainwindow.h"
#include "ui/scriptswindow.h"

namespace kivo::ui {

namespace {

void Pick(QComboBox* combo, const QString& text) {
    const int at = combo->findText(text);
    if (at < 0) return;
    combo->setCurrentIndex(at);
    emit combo->activated(at);
}

}  // namespace

int ShootScriptsWindow(MainWindow& window, const QString& out,
                       const std::function<bool(QWidget*, const QString&)>& shoot) {
    SaveBuiltIn(window.Main().Folder().ScriptFolder());
    window.Action("filters")->trigger();
    ScriptsWindow* scripts = window.Scripts();
    scripts->move(160, 60);
    int failures = 0;

    // Two filters on the incoming list, one on the outgoing list.
    Pick(scripts->AddChoice(TFilterList::Incoming), "Filter Message");
    scripts->Button("incomingAdd")->click();
    Pick(scripts->AddChoice(TFilterList::Incoming), "Archive Old Mail");
    scripts->Button("incomingAdd")->click();
    Pick(scripts->AddChoice(TFilterList::Outgoing), "Vacation Message");
    scripts->Button("outgoingAdd")->click();
    Pick(scripts->RunChoice(), "Display Raw Message");
    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Settings));
    failures += !shoot(scripts, out + "/scripts-settings.png");

    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Setup));
    Pick(scripts->SetupChoice(), "Filter Message");
    failures += !shoot(scripts, out + "/scripts-setup.png");
    Pick(scripts->SetupChoice(), "New Message Template");
    failures += !shoot(scripts, out + "/scripts-setup-files.png");
    Pick(scripts->SetupChoice(), "Calculator");
    failures += !shoot(scripts, out + "/scripts-setup-none.png");

    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Script));
    Pick(scripts->ScriptName(), "Filter Message");
    failures += !shoot(scripts, out + "/scripts-edit.png");

    QTreeWidgetItem* commands = scripts->HelpIndex()->topLevelItem(0)->child(3);
    scripts->HelpIndex()->setCurrentItem(commands);
    failures += !shoot(scripts, out + "/scripts-help.png");

    scripts->Editor()->setPlainText(
        "Set $greeting \"Hello\\nfrom the dry run\"\nSet #count 3\nSet &done 1\n"
        "CreateMessage %draft");
    scripts->Button("dryRun")->click();
    failures += !shoot(scripts, out + "/scripts-debug.png");

    // The progress panel while a dry run waits.
    scripts->Editor()->setPlainText("Set $a 1\nWait 3\nSet $b 2");
    QTimer::singleShot(300, scripts,
                       [&] { failures += !shoot(scripts, out + "/scripts-running.png"); });
    scripts->Button("dryRun")->click();

    scripts->Pages()->setCurrentIndex(static_cast<int>(TScriptsPage::Buttons));
    Pick(scripts->ButtonScript(0), "Reply with Template");
    Pick(scripts->ButtonScript(1), "Archive Old Mail");
    failures += !shoot(scripts, out + "/scripts-buttons.png");
    return failures;
}

}  // namespace kivo::ui
