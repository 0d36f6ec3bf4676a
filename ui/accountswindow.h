#pragma once
// "E-mail Accounts": the accounts window over TFrmAccounts. The list of accounts with their
// check-mail boxes, the shown account's fields, New and Delete, the default account, OK and
// Cancel. What the user types goes straight into the core's fields; the core decides what
// is stored, and the window draws what the core shows.

#include <QDialog>
#include <optional>
#include <string>

#include "accounts/KivoAccounts.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kivo::ui {

class AccountsWindow : public QDialog, public AccountsView {
    Q_OBJECT
  public:
    // Opens on the program folder's accounts; `defaultAccount` is [Mail] "DefaultAccount".
    AccountsWindow(const std::filesystem::path& programFolder, std::string_view defaultAccount,
                   QWidget* parent = nullptr);
    // The core closes a window still open as it goes; there is no window to close by then.
    ~AccountsWindow() override { closing_ = true; }

    TFrmAccounts& Core() { return core_; }
    // After OK: the default account to keep in the settings.
    const std::optional<std::string>& ChosenDefault() const { return chosen_; }
    QListWidget* List() const { return list_; }
    QLineEdit* AccountName() const { return account_; }
    QPushButton* NewButton() const { return new_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;
    void reject() override;

    // AccountsView
    void ShowList(const std::vector<AccountEntry>& entries, int selected) override;
    void ShowFields(const AccountFields& fields, bool sizeEnabled) override;
    void ShowSignatures(const std::vector<std::string>& names) override;
    void ShowDefaultAccount(const std::vector<std::string>& choices,
                            std::string_view shown) override;
    void FocusAccountName() override;
    void CloseWindow() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QLineEdit* Field(const QString& name, std::string AccountFields::*field);
    QComboBox* Choice(const QString& name, const std::vector<std::pair<QString, QString>>& items,
                      std::string AccountSecurity::*field);

    TFrmAccounts core_;
    std::optional<std::string> chosen_;
    bool updating_ = false;
    bool closing_ = false;
    QListWidget* list_ = nullptr;
    QLineEdit* account_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* ok_ = nullptr;
    std::vector<std::pair<QLineEdit*, std::string AccountFields::*>> edits_;
    QLineEdit* password_ = nullptr;
    QCheckBox* skipBig_ = nullptr;
    QLineEdit* skipBigSize_ = nullptr;
    QCheckBox* leaveMail_ = nullptr;
    QCheckBox* sound_ = nullptr;
    QComboBox* sig_ = nullptr;
    std::vector<std::pair<QComboBox*, std::string AccountSecurity::*>> security_;
    QLineEdit* smtpUser_ = nullptr;
    QLineEdit* smtpPass_ = nullptr;
    QComboBox* default_ = nullptr;
};

}  // namespace kivo::ui
