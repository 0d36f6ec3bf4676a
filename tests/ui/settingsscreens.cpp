#include "tests/ui/settingsscreens.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>

#include "app/startupmailer.h"
#include "ui/accountswindow.h"
#include "ui/mainwindow.h"
#include "ui/optionswindow.h"
#include "ui/privacysheet.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

int ShootSettingsWindows(MainWindow& window, const QString& out,
                         const std::function<bool(QWidget*, const QString&)>& shoot) {
    int failures = 0;
    TFrmMain& main = window.Main();
    {
        AccountsWindow accounts(main.Folder().root, main.Settings().Mail.DefaultAccount, &window);
        accounts.show();
        accounts.move(120, 80);
        failures += !shoot(&accounts, out + "/accounts.png");
        accounts.reject();
    }
    {
        // A copy: the shots change nothing the program keeps.
        TSettings settings = main.Settings();
        TNoDefaultMailer mailer;
        OptionsWindow options(settings, main.Folder().root / "screens-kivo.ini",
                              std::vector<std::string>{"Home DSL", "Office VPN"},
                              TSettingsPage::Settings, window.Platform(), mailer, &window);
        options.show();
        options.move(120, 80);
        for (const TSettingsPageNode& node : kSettingsPages) {
            options.ShowPage(node.page);
            QString name =
                QString::fromUtf8(node.caption.data(), static_cast<qsizetype>(node.caption.size()))
                    .toLower()
                    .replace(' ', '-');
            failures += !shoot(&options, out + "/options-" + name + ".png");
        }
        options.reject();
    }
    window.ActivatePrivacySheet();
    failures += !shoot(window.Privacy(), out + "/privacy-countdown.png");
    // Locked after the countdown: the clock and the password field.
    QEventLoop loop;
    QTimer::singleShot(3200, &loop, &QEventLoop::quit);
    loop.exec();
    failures += !shoot(window.Privacy(), out + "/privacy-locked.png");
    window.Privacy()->PasswordField()->setText(
        QString::fromStdString(main.Settings().Mail.PrivacyPass));
    window.Privacy()->UnlockButton()->click();
    return failures;
}

}  // namespace kivo::ui
