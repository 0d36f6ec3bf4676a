// The first-start wizard driven through its widgets on Qt's offscreen platform: Cancel (and
// Esc) writes nothing, also while the guesses are tried; the servers that answered land in
// accounts.ini with TLS and the SMTP log-in; a password that would go unencrypted asks first;
// guesses that all fail leave the window open to correct them.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "accounts/KivoWizard.h"
#include "accounts/account.h"
#include "tests/support/testutil.h"
#include "ui/setupwizard.h"
#include "ui/windows.h"

namespace kivo::ui {
namespace {

namespace fs = std::filesystem;
using F = TWizardField;

QPushButton* Button(QWidget* w, const QString& name) {
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->accessibleName() == name) return b;
    return nullptr;
}

// Types into a field as a user does: with the focus, key by key.
void Type(SetupWizard& dialog, F field, const QString& text) {
    QLineEdit* edit = dialog.Field(field);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    edit->clear();
    QTest::keyClicks(edit, text);
}

// The next message box that opens is answered with `button`; its text is kept.
struct BoxAnswer {
    QString text;
    QString name;
    bool seen = false;
    void Expect(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [this, button] { Poll(button); });
    }

  private:
    void Poll(QMessageBox::StandardButton button) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(20, [this, button] { Poll(button); });
            return;
        }
        text = box->text();
        name = box->objectName();
        seen = true;
        box->button(button)->click();
    }
};

// Answers for the servers in `answering` and notes what the status line said meanwhile.
struct Prober {
    QStringList answering;
    QStringList tried;
    QStringList status;
    std::function<void()> during;
    SetupWizard* dialog = nullptr;

    TServerProber Fn() {
        return [this](const TServerGuess& guess) {
            tried << QString::fromStdString(guess.server);
            if (dialog) status << dialog->findChild<QLabel*>("probeStatus")->text();
            if (during) during();
            return TProbeResult{answering.contains(QString::fromStdString(guess.server)),
                                "Operation timed out"};
        };
    }
};

}  // namespace

class WizardTest : public QObject {
    Q_OBJECT
  private slots:
    void CancelAndEscWriteNothing();
    void CancelWhileTheGuessesAreTried();
    void AnsweringGuessesLandWithTlsAndTheSmtpLogIn();
    void PlainTextAsksAndNoKeepsTheWindow();
    void GuessesThatAllFailLeaveTheWindowOpen();
};

void WizardTest::CancelAndEscWriteNothing() {
    for (const bool esc : {false, true}) {
        test::TempDir dir;
        Prober probe;
        TFrmSetupWizard wizard(dir / "accounts.ini", probe.Fn());
        SetupWizard dialog(wizard);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Type(dialog, F::Email, "jo@isp.example");
        Type(dialog, F::Password, "s3cret");
        QCOMPARE(dialog.Field(F::POPServer)->text(), QString("pop.isp.example:995"));
        if (esc)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            QTest::mouseClick(Button(&dialog, "Cancel"), Qt::LeftButton);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(wizard.Closed());
        QVERIFY(!fs::exists(dir / "accounts.ini"));
        QVERIFY(probe.tried.isEmpty());
    }
}

void WizardTest::CancelWhileTheGuessesAreTried() {
    test::TempDir dir;
    Prober probe;
    TFrmSetupWizard wizard(dir / "accounts.ini", probe.Fn());
    SetupWizard dialog(wizard);
    probe.during = [&] { QTest::mouseClick(Button(&dialog, "Cancel"), Qt::LeftButton); };
    dialog.show();
    Type(dialog, F::Email, "jo@isp.example");
    QTest::mouseClick(Button(&dialog, "Finish"), Qt::LeftButton);
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(probe.tried.size(), 1);
    QVERIFY(!fs::exists(dir / "accounts.ini"));
}

void WizardTest::AnsweringGuessesLandWithTlsAndTheSmtpLogIn() {
    test::TempDir dir;
    Prober probe;
    probe.answering = {"mail.isp.example:995", "smtp.isp.example:465"};
    TFrmSetupWizard wizard(dir / "accounts.ini", probe.Fn());
    SetupWizard dialog(wizard);
    probe.dialog = &dialog;
    dialog.show();
    Type(dialog, F::Email, "jo@isp.example");
    Type(dialog, F::FullName, "Jo Doe");
    Type(dialog, F::Password, "s3cret");
    QTest::mouseClick(Button(&dialog, "Finish"), Qt::LeftButton);
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(probe.tried,
             QStringList({"pop.isp.example:995", "mail.isp.example:995", "smtp.isp.example:465"}));
    QCOMPARE(probe.status.front(), QString("Trying pop.isp.example:995..."));
    QCOMPARE(dialog.Field(F::POPServer)->text(), QString("mail.isp.example:995"));

    const Account a = ReadAccounts(dir / "accounts.ini").at(0);
    QCOMPARE(a.account, std::string("My Account"));
    QCOMPARE(a.name, std::string("Jo Doe"));
    QCOMPARE(a.popServer, std::string("mail.isp.example:995"));
    QCOMPARE(a.smtp, std::string("smtp.isp.example:465"));
    QVERIFY(a.PopSecurity() == TSecurity::implicit);
    QVERIFY(a.SmtpSecurity() == TSecurity::implicit);
    QCOMPARE(a.SmtpAuthUser(), std::string("jo"));
    QCOMPARE(a.SmtpAuthPassword(), std::string("s3cret"));
}

void WizardTest::PlainTextAsksAndNoKeepsTheWindow() {
    test::TempDir dir;
    Prober probe;
    probe.answering = {"smtp.isp.example:465"};
    TFrmSetupWizard wizard(dir / "accounts.ini", probe.Fn());
    SetupWizard dialog(wizard);
    dialog.show();
    Type(dialog, F::Email, "jo@isp.example");
    Type(dialog, F::Password, "s3cret");
    Type(dialog, F::POPServer, "pop.isp.example");  // typed: no port, so no TLS

    BoxAnswer no;
    no.Expect(QMessageBox::No);
    QTest::mouseClick(Button(&dialog, "Finish"), Qt::LeftButton);
    QTRY_VERIFY(no.seen);
    QCOMPARE(no.name, QString("plainTextQuestion"));
    QVERIFY2(no.text.contains("unencrypted to the POP server pop.isp.example"),
             qPrintable(no.text));
    QVERIFY(dialog.isVisible());
    QVERIFY(Button(&dialog, "Finish")->isEnabled());
    QVERIFY(!fs::exists(dir / "accounts.ini"));

    BoxAnswer yes;
    yes.Expect(QMessageBox::Yes);
    QTest::mouseClick(Button(&dialog, "Finish"), Qt::LeftButton);
    QTRY_VERIFY(!dialog.isVisible());
    QVERIFY(yes.seen);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const Account a = ReadAccounts(dir / "accounts.ini").at(0);
    QCOMPARE(a.popServer, std::string("pop.isp.example"));
    QVERIFY(a.PopSecurity() == TSecurity::none);
    QVERIFY(a.SmtpSecurity() == TSecurity::implicit);
    // The server that answered the first time is not tried again.
    QCOMPARE(probe.tried, QStringList({"smtp.isp.example:465"}));
}

void WizardTest::GuessesThatAllFailLeaveTheWindowOpen() {
    test::TempDir dir;
    Prober probe;
    TFrmSetupWizard wizard(dir / "accounts.ini", probe.Fn());
    SetupWizard dialog(wizard);
    dialog.show();
    Type(dialog, F::Email, "jo@isp.example");
    BoxAnswer ok;
    ok.Expect(QMessageBox::Ok);
    QTest::mouseClick(Button(&dialog, "Finish"), Qt::LeftButton);
    QTRY_VERIFY(ok.seen);
    QVERIFY2(ok.text.contains("mail.isp.example:995: Operation timed out"), qPrintable(ok.text));
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.Field(F::Email)->isReadOnly());
    QVERIFY(!fs::exists(dir / "accounts.ini"));
    QCOMPARE(probe.tried.size(), 2 + 4);
}

}  // namespace kivo::ui

int main(int argc, char** argv) {
    kivo::ui::PrepareApplication();
    QApplication app(argc, argv);
    kivo::ui::WizardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wizard_test.moc"
