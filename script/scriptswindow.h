#pragma once
// What the "Filters and Scripts" window's pages show and do, without the window: the
// Settings page's filter lists, the Setup page's user settings, the Script page's editor
// rules (Save, Del, the unsaved-changes check, Dry Run and help) and the Buttons page. The
// runs themselves are TFrmScripts'; the filter lists and button rows are copies of kivo.ini
// written back when the window closes.

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "script/KivoParser.h"
#include "script/filterlists.h"
#include "script/scripthelp.h"
#include "script/usersettings.h"

namespace kivo {

enum class TScriptsPage { Settings, Setup, Script, Buttons };
enum class TScriptSubPage { Edit, Help, Debug };

struct TButtonRow {
    std::string script;  // empty for none
    std::string description;

    bool operator==(const TButtonRow&) const = default;
};
using TButtonRows = std::array<TButtonRow, 10>;  // "Button 1" .. "Button 9", "Button 0"

// The Debug page's two columns, line by line: a value of several lines gets empty name
// lines beside its later lines so that the next name stands level with its value.
struct TDebugColumns {
    std::vector<std::string> names;
    std::vector<std::string> values;
};
TDebugColumns DebugColumns(const std::vector<TDebugRow>& rows);

// The window's drawing side.
class TScriptsView {
  public:
    virtual ~TScriptsView() = default;
    // Every script drop-down list (the button rows add an empty first entry themselves).
    virtual void ShowScriptNames(const std::vector<std::string>& names) = 0;
    virtual void ShowFilterLists(const std::vector<std::string>& incoming,
                                 const std::vector<std::string>& outgoing) = 0;
    // The Setup page; empty settings show "This script has no user settings" / "that you can
    // setup.", an empty name clears the page.
    virtual void ShowSetup(std::string_view script, const TUserSettings& settings) = 0;
    virtual void ShowEditor(std::string_view script, const std::vector<std::string>& lines) = 0;
    // "Working..." in both Debug columns while a dry run goes on, then the table.
    virtual void ShowDebugWorking() = 0;
    virtual void ShowDebug(const TDebugColumns& columns) = 0;
    virtual void ShowButtons(const TButtonRows& rows) = 0;
    virtual void ShowPage(TScriptsPage page) = 0;
    virtual void ShowSubPage(TScriptSubPage page) = 0;
    virtual void SelectHelp(const THelpMatch& match) = 0;
    // "Configure Auto Script creation...": the options at their "Drag and Drop" page.
    virtual void OpenDragAndDropOptions() = 0;
    // The button rows were written: the main window rebuilds its user buttons.
    virtual void UserButtonsChanged() = 0;
    virtual void HideWindow() = 0;
};

class TScriptsWindow {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    TScriptsWindow(TFrmScripts& scripts, Platform& platform, TScriptsView& view,
                   Clock clock = std::chrono::steady_clock::now);

    // Fills every page from the script folder and kivo.ini (also after a Save or Del).
    void Show();
    const std::vector<std::string>& ScriptNames() const { return names_; }
    const std::vector<std::string>& List(TFilterList list) const;
    const TButtonRows& Buttons() const { return buttons_; }

    // Settings page. `selected` are row numbers of the list.
    void Add(TFilterList list, std::string_view name);
    void Remove(TFilterList list, const std::vector<int>& selected);
    // Moves each selected entry one place; returns the rows that stay selected.
    std::vector<int> MoveUp(TFilterList list, const std::vector<int>& selected);
    std::vector<int> MoveDown(TFilterList list, const std::vector<int>& selected);
    // "Setup..." and a double click: the one selected entry, else the "Add:" choice.
    void SetupFromList(TFilterList list, const std::vector<int>& selected,
                       std::string_view addChoice);
    // "Now": the chosen script on the messages selected in the index window.
    void RunNow(std::string_view script, TFrmIndex& index);
    void ConfigureAutoScript() { view_.OpenDragAndDropOptions(); }

    // Setup page.
    void ChooseSetupScript(std::string_view name);
    const TUserSettings& SetupSettings() const { return settings_; }
    const std::string& SetupScript() const { return setupScript_; }
    // A data field lost the focus: the four shown values (absent settings ignored).
    void DataSettingsEdited(const std::array<std::string, 4>& values);
    // A file setting's button: the file in the mail folder, made when missing, opened.
    void OpenUserFile(int index);
    void EditScript();

    // Script page. The view passes the editor's lines and reports every edit.
    // False when the unsaved-changes check refused: the view shows the previous name again.
    bool ChooseEditorScript(std::string_view name);
    void EditorModified() { clean_ = false; }
    bool EditorClean() const { return clean_; }
    const std::string& EditorScript() const { return editorScript_; }
    void Save(std::string_view nameText, const std::vector<std::string>& lines);
    void Delete(std::string_view nameText);
    TDryRunResult DryRun(const std::vector<std::string>& lines);
    void HelpIndex(std::string_view entry);
    // F1 in the editor: help on the word at the caret.
    void HelpAtCaret(std::string_view text, std::size_t caret);

    // Buttons page.
    void ChooseButtonScript(int row, std::string_view name);
    void SetButtonDescription(int row, std::string_view text);

    // "Close": false when the unsaved-changes check refused.
    bool Close();

  private:
    std::vector<std::string>& ListOf(TFilterList list);
    // The unsaved-changes check before the editor's script is given up.
    bool MayLeaveEditor(bool forClose);
    void LoadEditor(std::string name);
    void LoadSetup(std::string name);
    void WriteSettings() const;

    TFrmScripts& scripts_;
    Platform& platform_;
    TScriptsView& view_;
    Clock clock_;

    std::vector<std::string> names_;
    std::vector<std::string> incoming_;
    std::vector<std::string> outgoing_;
    TButtonRows buttons_;

    std::string setupScript_;
    std::vector<std::string> setupLines_;
    TUserSettings settings_;

    std::string editorScript_;
    bool clean_ = true;
    // Set when the unsaved-changes tip showed; a Close while it shows goes on.
    std::optional<std::chrono::steady_clock::time_point> warnedAt_;
};

}  // namespace kivo
