#pragma once
// "Address Book": the editor over TFrmAddressBook. The list of contacts with the fields of
// the selected one, New, Delete, OK (which saves address.ini) and Cancel (which asks again
// when something changed), and vCard import and export through file dialogs.

#include <QDialog>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "addressbook/KivoAddressBook.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace kivo::ui {

class QtPlatform;

class AddressBookWindow : public QDialog {
    Q_OBJECT
  public:
    AddressBookWindow(std::filesystem::path addressFile, QtPlatform& platform,
                      QWidget* parent = nullptr);

    // Reads address.ini again (each time the window is opened) and selects the first row.
    void Load();
    TFrmAddressBook& Editor() { return editor_; }

    QTreeWidget* List() const { return list_; }
    QLineEdit* FirstName() const { return first_; }
    QLineEdit* LastName() const { return last_; }
    QLineEdit* Nickname() const { return nick_; }
    QPlainTextEdit* Email() const { return email_; }
    QPushButton* Button(const QString& name) const;

    // The file dialogs of import (save false) and export (save true); tests answer them.
    std::function<QString(bool save)> AskFile;

  signals:
    // address.ini was written: the mini list reads it again.
    void Saved();

  public slots:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Fill();
    void ShowRow(int row);
    void ShowSelected();
    void RowChanged();
    void New();
    void Delete();
    void OK();
    // Cancel and closing: true when the window may go.
    bool MayClose();
    void Import();
    void Export();

    std::filesystem::path file_;
    QtPlatform& platform_;
    TFrmAddressBook editor_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* first_ = nullptr;
    QLineEdit* last_ = nullptr;
    QLineEdit* nick_ = nullptr;
    QPlainTextEdit* email_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer cancelTip_;
    // The fields are being filled from a row: their changes are not the user's.
    bool filling_ = false;
};

}  // namespace kivo::ui
