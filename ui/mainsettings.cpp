// The main window's Tools that change its settings: the accounts window, the options window
// and the privacy sheet with its panel.
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolButton>

#include "app/startupmailer.h"
#include "base/inifile.h"
#include "net/agRasCmp.h"
#include "ui/accountswindow.h"
#include "ui/indexmodel.h"
#include "ui/mainwindow.h"
#include "ui/messageview.h"
#include "ui/optionswindow.h"
#include "ui/privacysheet.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

void MainWindow::OpenAccounts() {
    AccountsWindow window(main_.Folder().root, main_.Settings().Mail.DefaultAccount, this);
    if (window.exec() != QDialog::Accepted || !window.ChosenDefault()) return;
    // The default account is the program's at once and in kivo.ini.
    main_.Settings().Mail.DefaultAccount = *window.ChosenDefault();
    try {
        IniFile ini(main_.Folder().SettingsFile());
        ini.WriteString("Mail", "DefaultAccount", *window.ChosenDefault());
        ini.UpdateFile();
    } catch (const std::exception& e) {
        main_.Transfer().ErrorLevel(2, e.what());
        platform_.ShowMessage(e.what());
    }
}

void MainWindow::OpenOptions(TSettingsPage page) {
    std::error_code ec;
    TXdgDefaultMailer mailer(std::filesystem::canonical("/proc/self/exe", ec), main_.Folder().root,
                             TXdgDefaultMailer::UserApplications());
    TagRas ras(platform_);
    OptionsWindow window(main_.Settings(), main_.Folder().SettingsFile(), ras.Entries(), page,
                         platform_, mailer, this);
    if (window.exec() != QDialog::Accepted) return;
    // The windows take on what was chosen: timer, colours, fonts, grid, panels.
    main_.Transfer().ApplyTimerSettings();
    Action("fastRead")->setChecked(main_.MessageArea().FastRead());
    ApplyLook();
    model_->Reload();
}

namespace {

// Holds back the tool tips of every window while [Program] "ShowHints" is off.
class HintsSwitch : public QObject {
  public:
    HintsSwitch(const TProgramSettings& settings, QObject* parent)
        : QObject(parent), settings_(settings) {}
    bool eventFilter(QObject*, QEvent* event) override {
        return event->type() == QEvent::ToolTip && !settings_.ShowHints;
    }

  private:
    const TProgramSettings& settings_;
};

}  // namespace

void MainWindow::BuildSettingsControls() {
    QApplication::instance()->installEventFilter(new HintsSwitch(main_.Settings().Program, this));
    privacySheet_ = new PrivacySheet(
        main_.PrivacySheet(), [this] { return main_.Settings().Mail.PrivacyPass; }, this);
    privacyPanel_ = new QToolButton(this);
    privacyPanel_->setObjectName("privacyPanel");
    privacyPanel_->setAccessibleName("Privacy sheet");
    privacyPanel_->setText("Privacy");
    privacyPanel_->setToolTip("Activate the privacy sheet (Shift+F12)");
    privacyPanel_->setAutoRaise(true);
    privacyPanel_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(privacyPanel_, &QToolButton::clicked, this, &MainWindow::ActivatePrivacySheet);
    connect(privacyPanel_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction("&Hide Privacy Sheet", this, [this] {
            main_.Settings().Program.Privacy = false;
            privacyPanel_->hide();
        });
        menu.exec(privacyPanel_->mapToGlobal(at));
    });
    statusBar()->addPermanentWidget(privacyPanel_);
    privacyPanel_->setVisible(main_.Settings().Program.Privacy);
}

void MainWindow::ActivatePrivacySheet() {
    if (privacySheet_->isVisible()) return;
    privacySheet_->Activate();
}

}  // namespace kivo::ui
