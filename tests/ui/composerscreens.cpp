#include "tests/ui/composerscreens.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <fstream>

#include "app/KivoMain.h"
#include "ui/composerlist.h"
#include "ui/composerwindow.h"
#include "ui/mainwindow.h"

namespace kivo::ui {

int ShootComposer(MainWindow& window, const QString& out,
                  const std::function<bool(QWidget*, const QString&)>& shoot) {
    int failures = 0;
    ComposerWindow* plain = window.Composers().New("ann@example.test");
    plain->SubjectField()->setText("Lunch on Friday?");
    plain->Body()->setPlainText(
        "Hi Ann,\n\nshall we meet at the usual place at noon? I can bring the minutes of "
        "Tuesday's meeting.\n\nTess");
    failures += !shoot(plain, out + "/composer-plain.png");
    plain->Composer().SetCloseQuietly(true);
    plain->close();

    ComposerWindow* styled = window.Composers().New("team@example.test");
    styled->SubjectField()->setText("Caf\u00e9 order \u2014 \u0437\u0430\u043a\u0430\u0437");
    QTextEdit* body = styled->Body();
    body->setFocus();
    body->insertPlainText("Please bring:\n");
    styled->Action("bullets")->trigger();
    body->insertPlainText("croissants\ncaf\u00e9 au lait (\u20ac 3,50)\n\u65e5\u672c\u8336\n");
    styled->Action("bullets")->trigger();
    styled->Style().Bold(true);
    body->insertPlainText("Thanks! ");
    styled->Style().Bold(false);
    styled->Style().FontColour(0x0000C0);  // dark red, 0x00BBGGRR
    body->insertPlainText("\u0421\u043f\u0430\u0441\u0438\u0431\u043e");
    const std::filesystem::path report = window.Main().Folder().root / "Quarterly report.pdf";
    std::ofstream(report) << "%PDF-1.4\n";
    styled->AttachFiles({QString::fromStdString(report.string())});
    failures += !shoot(styled, out + "/composer-styled.png");
    styled->Composer().SetCloseQuietly(true);
    styled->close();
    return failures;
}

}  // namespace kivo::ui
