#include "ui/updatedialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "app/programfolder.h"
#include "base/files.h"
#include "base/inifile.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

namespace {

// The component's texts break lines with a carriage return.
QString DialogText(const std::string& text) {
    QString q = ToQ(text);
    q.replace('\r', '\n');
    return q;
}

const QStringList kFileTypes = {"Application (*.EXE)", "Zipped File (*.ZIP)", "All Files (*)"};

}  // namespace

UpdateDialogs::UpdateDialogs(QtPlatform& platform, QWidget* parent)
    : platform_(platform), parent_(parent) {}

UpdateDialogs::~UpdateDialogs() = default;

void UpdateDialogs::EndProgress() {
    if (progress_) progress_->hide();
    progress_.reset();
}

void UpdateDialogs::Message(const std::string& text, const std::string& title) {
    EndProgress();
    const bool error = title.find("Error") != std::string::npos;
    QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information, ToQ(title),
                    DialogText(text), QMessageBox::Ok, parent_);
    box.setObjectName("updateMessage");
    box.setAccessibleName(ToQ(title));
    box.exec();
}

bool UpdateDialogs::Ask(const std::string& text, const std::string& title) {
    EndProgress();
    QMessageBox box(QMessageBox::Question, ToQ(title), DialogText(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setObjectName("updateQuestion");
    box.setAccessibleName(ToQ(title));
    return box.exec() == QMessageBox::Yes;
}

void UpdateDialogs::Waiting(bool shown) {
    if (!shown) {
        waiting_.reset();
        return;
    }
    waiting_ = std::make_unique<QDialog>(parent_, Qt::Dialog);
    waiting_->setObjectName("updateWaiting");
    waiting_->setWindowTitle("Please Wait");
    waiting_->setAccessibleName("Please Wait");
    waiting_->setWindowModality(Qt::ApplicationModal);
    auto* label = new QLabel("Checking For Update...", waiting_.get());
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(waiting_.get());
    layout->addWidget(label);
    waiting_->setFixedSize(240, 100);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        waiting_->move(screen->availableGeometry().center() - QPoint(120, 50));
    }
    // Shown without blocking: the page is read while the event pump runs.
    waiting_->show();
    platform_.Pump();
}

void UpdateDialogs::ShowReadMe(const std::string& text) {
    EndProgress();
    QDialog dialog(parent_);
    dialog.setObjectName("updateReadMe");
    dialog.setWindowTitle("Read Me");
    dialog.setAccessibleName("Read Me");
    auto* field = new QPlainTextEdit(DialogText(text), &dialog);
    field->setReadOnly(true);
    field->setAccessibleName("Read me text");
    auto* ok = new QPushButton("&Ok", &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(field, 1);
    layout->addWidget(ok, 0, Qt::AlignRight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog.resize(area.width() * 4 / 5, area.height() * 4 / 5);
    }
    dialog.exec();
}

std::optional<std::filesystem::path> UpdateDialogs::SaveAs(const std::string& proposed,
                                                           int& fileType) {
    EndProgress();
    QFileDialog dialog(parent_, "Save the update");
    dialog.setObjectName("updateSaveDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(kFileTypes);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    dialog.setDirectory(folder);
    dialog.selectFile(ToQ(proposed));
    // A file name with another extension keeps it: the type only adds a missing one.
    const QString suffix = QFileInfo(ToQ(proposed)).suffix();
    dialog.selectNameFilter(suffix.compare("exe", Qt::CaseInsensitive) == 0   ? kFileTypes[0]
                            : suffix.compare("zip", Qt::CaseInsensitive) == 0 ? kFileTypes[1]
                                                                              : kFileTypes[2]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    fileType = static_cast<int>(kFileTypes.indexOf(dialog.selectedNameFilter())) + 1;
    if (fileType < 1) fileType = 3;
    return std::filesystem::path(FromQ(dialog.selectedFiles().front()));
}

bool UpdateDialogs::Progress(const std::string& title, std::uint64_t received,
                             std::uint64_t total) {
    if (!progress_ || progress_->windowTitle() != ToQ(title)) {
        progress_ = std::make_unique<QProgressDialog>(parent_);
        progress_->setObjectName("updateProgress");
        progress_->setWindowTitle(ToQ(title));
        progress_->setAccessibleName(ToQ(title));
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setCancelButtonText("&Cancel");
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumDuration(0);
        progress_->setMinimumWidth(320);
        progress_->show();
    }
    // Byte counts beyond int's range are shown in kilobytes on the bar.
    const bool big = total > 0x7fffffffULL;
    progress_->setMaximum(total == 0 ? 0 : static_cast<int>(big ? total / 1024 : total));
    progress_->setValue(static_cast<int>(big ? received / 1024 : received));
    progress_->setLabelText(QString("%1 of %2 bytes received.")
                                .arg(QString::number(received))
                                .arg(total == 0 ? QString("?") : QString::number(total)));
    return !progress_->wasCanceled();
}

bool UpdateDialogs::ShellOpen(const std::filesystem::path& file, const std::string&) {
    EndProgress();
    return platform_.ShellOpen(file.string());
}

void UpdateDialogs::Quit() {
    if (parent_) parent_->window()->close();
}

void CheckForUpdate(const ProgramFolder& folder, QtPlatform& platform, QWidget* parent) {
    UpdateDialogs dialogs(platform, parent);
    TCurlHttpClient http(platform);
    TWebFileInfo info(http, dialogs);
    ConfigureKivoUpdate(info, HomeUrl(IniFile(folder.SettingsFile())));
    info.ApplicationTitle = "Kivo";
    info.TempFolder = TempFolder();
    info.Execute();
}

}  // namespace kivo::ui
