#pragma once
// The update check's dialogue in the windows: message boxes and questions, the "Please Wait"
// window while the page is read, the "Read Me" window, the save dialog and the progress
// window of a download with its Cancel button. TWebFileInfo decides what is asked and when.

#include <QPointer>
#include <QString>
#include <memory>

#include "app/webfileinfo.h"

class QDialog;
class QProgressDialog;
class QWidget;

namespace kivo {
struct ProgramFolder;
}

namespace kivo::ui {

class QtPlatform;

class UpdateDialogs : public TWebFileInfoView {
  public:
    UpdateDialogs(QtPlatform& platform, QWidget* parent);
    ~UpdateDialogs() override;

    void Message(const std::string& text, const std::string& title) override;
    bool Ask(const std::string& text, const std::string& title) override;
    void Waiting(bool shown) override;
    void ShowReadMe(const std::string& text) override;
    std::optional<std::filesystem::path> SaveAs(const std::string& proposed,
                                                int& fileType) override;
    bool Progress(const std::string& title, std::uint64_t received, std::uint64_t total) override;
    bool ShellOpen(const std::filesystem::path& file, const std::string& parameters) override;
    void Quit() override;

  private:
    // A download's progress window goes when the dialogue moves on.
    void EndProgress();

    QtPlatform& platform_;
    QPointer<QWidget> parent_;
    std::unique_ptr<QDialog> waiting_;
    std::unique_ptr<QProgressDialog> progress_;
};

// "Check for &Update...": reads [Program] "HomeURL" (the program's home page by default) and
// runs the check with these dialogs.
void CheckForUpdate(const ProgramFolder& folder, QtPlatform& platform, QWidget* parent);

}  // namespace kivo::ui
