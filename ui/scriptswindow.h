#pragma once
// "Filters and Scripts": the window over TScriptsWindow. It owns the program's script
// interpreter (TFrmScripts) and shows its runs in the progress panel at the bottom; the pages
// draw what the core decides: the filter lists (Settings), a script's user settings (Setup),
// the editor with its help and debug table (Script) and the ten user buttons (Buttons).

#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <optional>

#include "app/autochecktimer.h"
#include "script/KivoParser.h"
#include "script/scripthost.h"
#include "script/scriptswindow.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTreeWidget;
class QVBoxLayout;

namespace kivo::ui {

class ScriptsWindow : public QWidget, public TScriptsView, public TScriptHost {
    Q_OBJECT
  public:
    ScriptsWindow(const TScriptPaths& paths, Platform& platform, TAutoCheckTimer& timer,
                  QWidget* parent = nullptr);
    ~ScriptsWindow() override;

    // Shows the window with its pages filled afresh (F4), the page in front.
    void Open(std::optional<TScriptsPage> page = std::nullopt);
    TScriptsWindow& Core() { return core_; }
    TFrmScripts& Scripts() { return scripts_; }
    bool Running() const { return scripts_.Running(); }
    // The window's place and size in kivo.ini's [Scripts].
    void SavePosition();

    // What the main window lends: the index window whose selected messages "Now" runs on,
    // and the guard that runs it as one of its store operations (false when it did not run
    // or failed; the guard shows why).
    std::function<TFrmIndex*()> Index = [] { return nullptr; };
    std::function<bool(const std::function<void()>&)> Guard = [](const auto& f) {
        f();
        return true;
    };
    // The main window's hint panel and progress log.
    std::function<void(std::string_view)> HintText = [](std::string_view) {};
    std::function<void(int, std::string_view)> LogEntry = [](int, std::string_view) {};
    // The program options at their "Drag and Drop" page; without it the button is off.
    std::function<void()> OpenDragAndDrop;
    // A composer on a message a script made ("EditMessage").
    std::function<void(const TmsMessage&)> Compose;
    // The program's message font, which the editor and the help text use.
    void SetMessageFont(const QString& family, int size);

    // --- the parts, for the keyboard, the tests and the screen shots ---
    QTabWidget* Pages() const { return pages_; }
    QTabWidget* ScriptPages() const { return scriptPages_; }
    QListWidget* FilterList(TFilterList list) const;
    QComboBox* AddChoice(TFilterList list) const;
    QComboBox* RunChoice() const { return runChoice_; }
    QComboBox* SetupChoice() const { return setupChoice_; }
    QComboBox* ScriptName() const { return scriptName_; }
    QPlainTextEdit* Editor() const { return editor_; }
    QPlainTextEdit* HelpText() const { return helpText_; }
    QTreeWidget* HelpIndex() const { return helpIndex_; }
    QTableWidget* Debug() const { return debug_; }
    QComboBox* ButtonScript(int row) const { return buttonScripts_[static_cast<std::size_t>(row)]; }
    QLineEdit* ButtonDescription(int row) const {
        return buttonDescs_[static_cast<std::size_t>(row)];
    }
    QLineEdit* DataField(int k) const { return dataFields_[static_cast<std::size_t>(k)]; }
    QPushButton* FileButton(int k) const { return fileButtons_[static_cast<std::size_t>(k)]; }
    QWidget* ProgressPanel() const { return progressPanel_; }
    QPushButton* Button(const QString& name) const;

    // TScriptsView
    void ShowScriptNames(const std::vector<std::string>& names) override;
    void ShowFilterLists(const std::vector<std::string>& incoming,
                         const std::vector<std::string>& outgoing) override;
    void ShowSetup(std::string_view script, const TUserSettings& settings) override;
    void ShowEditor(std::string_view script, const std::vector<std::string>& lines) override;
    void ShowDebugWorking() override;
    void ShowDebug(const TDebugColumns& columns) override;
    void ShowButtons(const TButtonRows& rows) override;
    void ShowPage(TScriptsPage page) override;
    void ShowSubPage(TScriptSubPage page) override;
    void SelectHelp(const THelpMatch& match) override;
    void OpenDragAndDropOptions() override;
    void UserButtonsChanged() override;
    void HideWindow() override;

    // TScriptHost
    void RunShown(std::string_view scriptName, int lineCount) override;
    void RunProgress(int line, int lineCount) override;
    void RunHidden() override;
    void Hint(std::string_view text) override { HintText(text); }
    void Beep() override;
    void RefreshMailboxes() override { emit MailboxesChanged(); }
    void EditMessage(const TmsMessage& message) override;
    bool SendMessage(TmsMessage& message, std::string_view server,
                     std::string_view account) override;
    void Log(int level, std::string_view text) override { LogEntry(level, text); }

  signals:
    // "Now" ran: the messages of the main list may have changed.
    void MessagesChanged();
    // A script asked for the mailbox tree to be read again.
    void MailboxesChanged();
    // The button rows were written to kivo.ini.
    void ButtonsChanged();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* BuildSettingsPage();
    QWidget* BuildSetupPage();
    QWidget* BuildScriptPage();
    QWidget* BuildButtonsPage();
    QWidget* BuildProgressPanel();
    QGroupBox* BuildFilterGroup(TFilterList list);
    QPushButton* AddButton(const QString& name, const QString& text, QWidget* parent);
    void FillCombo(QComboBox* combo, const std::vector<std::string>& names, bool emptyFirst);
    std::vector<int> SelectedRows(TFilterList list) const;
    void SelectRows(TFilterList list, const std::vector<int>& rows);
    std::vector<std::string> EditorLines() const;
    // Runs a user action; a failure shows its text and ends the action.
    void Act(const std::function<void()>& action);
    void SaveScript();
    void DryRun();
    void RunNow();
    void HelpAtCaret();
    void DataFieldLeft();
    void OpenScriptFolder();
    void RestorePosition();
    void ShowEditorMenu(const QPoint& at);

    TScriptPaths paths_;
    Platform& platform_;
    TAutoCheckTimer& timer_;
    TFrmScripts scripts_;
    TScriptsWindow core_;

    QTabWidget* pages_ = nullptr;
    QTabWidget* scriptPages_ = nullptr;
    std::array<QListWidget*, 2> lists_{};
    std::array<QComboBox*, 2> addChoices_{};
    QComboBox* runChoice_ = nullptr;
    QComboBox* setupChoice_ = nullptr;
    QLabel* noSettings_ = nullptr;
    std::array<QLabel*, 4> dataLabels_{};
    std::array<QLineEdit*, 4> dataFields_{};
    std::array<QPushButton*, 4> fileButtons_{};
    QWidget* fileColumn_ = nullptr;
    QWidget* dataColumn_ = nullptr;
    QComboBox* scriptName_ = nullptr;
    QPlainTextEdit* editor_ = nullptr;
    QTreeWidget* helpIndex_ = nullptr;
    QPlainTextEdit* helpText_ = nullptr;
    QTableWidget* debug_ = nullptr;
    std::array<QComboBox*, 10> buttonScripts_{};
    std::array<QLineEdit*, 10> buttonDescs_{};
    QWidget* progressPanel_ = nullptr;
    QLabel* runningName_ = nullptr;
    QLabel* totalLines_ = nullptr;
    QLabel* currentLine_ = nullptr;
    QProgressBar* runProgress_ = nullptr;
    std::map<QString, QPushButton*> buttons_;
    // The editor's text is being set by the program, not typed.
    bool loading_ = false;
    // The name the script-name list showed before the user chose another.
    QString shownScript_;
    std::optional<TAutoCheckSuspension> hold_;
};

}  // namespace kivo::ui
