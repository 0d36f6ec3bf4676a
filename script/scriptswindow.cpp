#include "script/scriptswindow.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "script/scriptvalues.h"

namespace kivo {

namespace {

constexpr std::chrono::milliseconds kTipTime{3000};
constexpr std::string_view kForbidden = "\\/:*?\"<>|";

bool SameName(std::string_view a, std::string_view b) {
    return LowerCase(a) == LowerCase(b);
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return SameName(n, name); });
}

std::string ButtonKey(int row) {
    return "Button" + std::to_string((row + 1) % 10);
}

// Every "NAME.kiv" of the folder, sorted as a file manager lists them.
std::vector<std::string> CollectScriptNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::filesystem::path& p = entry.path();
        if (LowerCase(p.extension().string()) == ".kiv" && entry.is_regular_file(ec)) {
            names.push_back(p.stem().string());
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return LowerCase(a) < LowerCase(b);
    });
    return names;
}

bool ScriptExists(const std::filesystem::path& folder, std::string_view name) {
    std::error_code ec;
    return !Trim(name).empty() && std::filesystem::is_regular_file(ScriptFile(folder, name), ec);
}

}  // namespace

TDebugColumns DebugColumns(const std::vector<TDebugRow>& rows) {
    TDebugColumns columns;
    for (const TDebugRow& row : rows) {
        std::vector<std::string> lines = ValueLines(row.value);
        if (lines.empty()) lines.emplace_back();
        columns.names.push_back(row.name);
        columns.names.resize(columns.names.size() + lines.size() - 1);
        columns.values.insert(columns.values.end(), lines.begin(), lines.end());
    }
    return columns;
}

TScriptsWindow::TScriptsWindow(TFrmScripts& scripts, Platform& platform, TScriptsView& view,
                               Clock clock)
    : scripts_(scripts), platform_(platform), view_(view), clock_(std::move(clock)) {}

void TScriptsWindow::Show() {
    const std::filesystem::path& folder = scripts_.Paths().scriptFolder;
    names_ = CollectScriptNames(folder);
    const IniFile ini(scripts_.Paths().settingsFile);
    const auto existing = [&](TFilterList which) {
        std::vector<std::string> list = ReadFilterList(ini, which);
        std::erase_if(list, [&](const std::string& n) { return !ScriptExists(folder, n); });
        return list;
    };
    incoming_ = existing(TFilterList::Incoming);
    outgoing_ = existing(TFilterList::Outgoing);
    for (int row = 0; row < 10; ++row) {
        const std::string script = Trim(ini.ReadString("Scripts", ButtonKey(row) + "Script", ""));
        TButtonRow& button = buttons_[row];
        button.script = Contains(names_, script) ? script : "";
        button.description = button.script.empty()
                                 ? ""
                                 : Trim(ini.ReadString("Scripts", ButtonKey(row) + "Desc", ""));
    }
    view_.ShowScriptNames(names_);
    view_.ShowFilterLists(incoming_, outgoing_);
    view_.ShowButtons(buttons_);
    if (!setupScript_.empty()) LoadSetup(setupScript_);
}

const std::vector<std::string>& TScriptsWindow::List(TFilterList list) const {
    return list == TFilterList::Incoming ? incoming_ : outgoing_;
}

std::vector<std::string>& TScriptsWindow::ListOf(TFilterList list) {
    return list == TFilterList::Incoming ? incoming_ : outgoing_;
}

void TScriptsWindow::Add(TFilterList list, std::string_view name) {
    if (name.empty()) return;
    ListOf(list).emplace_back(name);
    view_.ShowFilterLists(incoming_, outgoing_);
}

void TScriptsWindow::Remove(TFilterList list, const std::vector<int>& selected) {
    std::vector<std::string>& names = ListOf(list);
    std::vector<int> rows = selected;
    std::sort(rows.rbegin(), rows.rend());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) {
        if (row >= 0 && row < static_cast<int>(names.size())) names.erase(names.begin() + row);
    }
    view_.ShowFilterLists(incoming_, outgoing_);
}

std::vector<int> TScriptsWindow::MoveUp(TFilterList list, const std::vector<int>& selected) {
    std::vector<std::string>& names = ListOf(list);
    std::vector<int> rows = selected;
    std::sort(rows.begin(), rows.end());
    std::vector<int> moved;
    // A selected entry at the top, and those stuck below it, stay where they are.
    int blocked = -1;
    for (int row : rows) {
        if (row < 0 || row >= static_cast<int>(names.size())) continue;
        if (row - 1 == blocked) {
            blocked = row;
            moved.push_back(row);
            continue;
        }
        std::swap(names[row], names[row - 1]);
        moved.push_back(row - 1);
    }
    view_.ShowFilterLists(incoming_, outgoing_);
    return moved;
}

std::vector<int> TScriptsWindow::MoveDown(TFilterList list, const std::vector<int>& selected) {
    std::vector<std::string>& names = ListOf(list);
    const int count = static_cast<int>(names.size());
    std::vector<int> rows = selected;
    std::sort(rows.rbegin(), rows.rend());
    std::vector<int> moved;
    int blocked = count;
    for (int row : rows) {
        if (row < 0 || row >= count) continue;
        if (row + 1 == blocked) {
            blocked = row;
            moved.push_back(row);
            continue;
        }
        std::swap(names[row], names[row + 1]);
        moved.push_back(row + 1);
    }
    std::sort(moved.begin(), moved.end());
    view_.ShowFilterLists(incoming_, outgoing_);
    return moved;
}

void TScriptsWindow::SetupFromList(TFilterList list, const std::vector<int>& selected,
                                   std::string_view addChoice) {
    const std::vector<std::string>& names = ListOf(list);
    std::string name(addChoice);
    if (selected.size() == 1 && selected[0] >= 0 && selected[0] < static_cast<int>(names.size())) {
        name = names[selected[0]];
    }
    if (name.empty()) return;
    view_.ShowPage(TScriptsPage::Setup);
    ChooseSetupScript(name);
}

void TScriptsWindow::RunNow(std::string_view script, TFrmIndex& index) {
    if (script.empty()) return;
    try {
        scripts_.RunOnSelectedMessages(script, index);
    } catch (const ESyntaxError& e) {
        // Several scripts can run on the same messages: the text says which one failed where.
        platform_.ShowMessage(ScriptErrorText(script, e));
    } catch (const std::exception& e) {
        platform_.ShowMessage(e.what());
    }
}

void TScriptsWindow::ChooseSetupScript(std::string_view name) {
    if (scripts_.Running()) return;
    LoadSetup(std::string(name));
}

void TScriptsWindow::LoadSetup(std::string name) {
    const std::filesystem::path file = ScriptFile(scripts_.Paths().scriptFolder, name);
    std::error_code ec;
    setupLines_ = std::filesystem::is_regular_file(file, ec) ? LoadScriptLines(file)
                                                             : std::vector<std::string>{};
    setupScript_ = std::move(name);
    settings_ = CollectUserSettings(setupLines_);
    view_.ShowSetup(setupScript_, settings_);
}

void TScriptsWindow::DataSettingsEdited(const std::array<std::string, 4>& values) {
    if (setupScript_.empty()) return;
    bool changed = false;
    for (int i = 0; i < 4; ++i) {
        TUserSetting& setting = settings_.data[i];
        if (!setting.present) continue;
        changed = changed || setting.value != values[i];
        setting.value = values[i];
    }
    if (!changed) return;
    setupLines_ = WriteBackDataSettings(std::move(setupLines_), settings_);
    WriteFileAtomic(scripts_.Paths().scriptFolder / (setupScript_ + ".kiv"),
                    JoinValueLines(setupLines_));
    if (SameName(editorScript_, setupScript_)) {
        view_.ShowEditor(editorScript_, setupLines_);
        clean_ = true;
    }
}

void TScriptsWindow::OpenUserFile(int index) {
    if (index < 0 || index >= 4 || !settings_.files[index].present) return;
    const std::string name = UserFileName(settings_.files[index]);
    if (name.empty()) return;
    const std::filesystem::path file = scripts_.Paths().mailFolder / name;
    std::error_code ec;
    // A template the user is asked to write may not exist yet: start it empty.
    if (!std::filesystem::exists(file, ec)) WriteFileAtomic(file, "");
    if (!platform_.ShellOpen(file.string())) {
        platform_.ShowMessage("Could not open " + file.string());
    }
}

void TScriptsWindow::EditScript() {
    if (setupScript_.empty()) return;
    LoadEditor(setupScript_);
    view_.ShowPage(TScriptsPage::Script);
    view_.ShowSubPage(TScriptSubPage::Edit);
}

bool TScriptsWindow::MayLeaveEditor(bool forClose) {
    if (!clean_) {
        platform_.ShowTip("Script is not saved!\nClick again to continue.");
        clean_ = true;
        warnedAt_ = clock_();
        return false;
    }
    // After the tip went away a Close counts the edits as unsaved again.
    if (forClose && warnedAt_ && clock_() - *warnedAt_ >= kTipTime) {
        warnedAt_.reset();
        clean_ = false;
        return MayLeaveEditor(forClose);
    }
    warnedAt_.reset();
    return true;
}

void TScriptsWindow::LoadEditor(std::string name) {
    const std::filesystem::path file = ScriptFile(scripts_.Paths().scriptFolder, name);
    std::error_code ec;
    const std::vector<std::string> lines = std::filesystem::is_regular_file(file, ec)
                                               ? LoadScriptLines(file)
                                               : std::vector<std::string>{};
    editorScript_ = std::move(name);
    clean_ = true;
    warnedAt_.reset();
    view_.ShowEditor(editorScript_, lines);
}

bool TScriptsWindow::ChooseEditorScript(std::string_view name) {
    if (!MayLeaveEditor(false)) return false;
    LoadEditor(std::string(name));
    return true;
}

void TScriptsWindow::Save(std::string_view nameText, const std::vector<std::string>& lines) {
    const std::string name = Trim(nameText);
    if (name.empty()) return;
    if (name.find_first_of(kForbidden) != std::string::npos) {
        platform_.ShowTip("Invalid filename! Cannot use \\/:*?\"<>|");
        return;
    }
    const std::filesystem::path& folder = scripts_.Paths().scriptFolder;
    const bool renamed = !SameName(name, editorScript_);
    const bool exists = ScriptExists(folder, name);
    if (renamed && exists && !platform_.AskYesNo("File exists! Overwrite?")) return;
    // An existing file keeps the letter case of its name.
    const std::filesystem::path file = exists ? ScriptFile(folder, name) : folder / (name + ".kiv");
    WriteFileAtomic(file, JoinValueLines(lines));
    editorScript_ = name;
    clean_ = true;
    warnedAt_.reset();
    if (renamed && !exists) {
        WriteSettings();
        Show();
    }
    if (SameName(name, setupScript_)) LoadSetup(setupScript_);
}

void TScriptsWindow::Delete(std::string_view nameText) {
    const std::string name = Trim(nameText);
    if (name.empty()) return;
    const std::filesystem::path& folder = scripts_.Paths().scriptFolder;
    if (!ScriptExists(folder, name)) {
        platform_.ShowTip("Script \"" + name + "\" does not exist!");
        return;
    }
    if (!platform_.AskYesNo("I am about to delete script \"" + name + "\".\nAre you sure?")) {
        return;
    }
    std::filesystem::remove(ScriptFile(folder, name));
    editorScript_.clear();
    clean_ = true;
    warnedAt_.reset();
    view_.ShowEditor("", {});
    for (std::vector<std::string>* list : {&incoming_, &outgoing_}) {
        std::erase_if(*list, [&](const std::string& n) { return SameName(n, name); });
    }
    WriteSettings();
    if (SameName(name, setupScript_)) {
        setupScript_.clear();
        setupLines_.clear();
        settings_ = {};
        view_.ShowSetup("", settings_);
    }
    Show();
}

TDryRunResult TScriptsWindow::DryRun(const std::vector<std::string>& lines) {
    view_.ShowDebugWorking();
    TDryRunResult result = scripts_.DryRun(lines, editorScript_);
    view_.ShowDebug(DebugColumns(result.variables));
    if (!result.error.empty()) platform_.ShowMessage(result.error);
    return result;
}

void TScriptsWindow::HelpIndex(std::string_view entry) {
    const std::optional<THelpMatch> match = FindHelpTopic(ScriptHelpText(), entry);
    if (!match) return;
    view_.ShowSubPage(TScriptSubPage::Help);
    view_.SelectHelp(*match);
}

void TScriptsWindow::HelpAtCaret(std::string_view text, std::size_t caret) {
    HelpIndex(WordAtCaret(text, caret));
}

void TScriptsWindow::ChooseButtonScript(int row, std::string_view name) {
    if (row < 0 || row >= 10) return;
    buttons_[row].script = std::string(name);
    buttons_[row].description = std::string(name);
    view_.ShowButtons(buttons_);
}

void TScriptsWindow::SetButtonDescription(int row, std::string_view text) {
    if (row < 0 || row >= 10) return;
    buttons_[row].description = std::string(text);
}

void TScriptsWindow::WriteSettings() const {
    IniFile ini(scripts_.Paths().settingsFile);
    WriteFilterList(ini, TFilterList::Incoming, incoming_);
    WriteFilterList(ini, TFilterList::Outgoing, outgoing_);
    for (int row = 0; row < 10; ++row) {
        ini.WriteString("Scripts", ButtonKey(row) + "Script", buttons_[row].script);
        ini.WriteString("Scripts", ButtonKey(row) + "Desc", buttons_[row].description);
    }
    ini.UpdateFile();
}

bool TScriptsWindow::Close() {
    const bool warned = warnedAt_.has_value();
    if (!MayLeaveEditor(true)) return false;
    // Edits given up after the warning are gone: the editor shows the saved script again, so
    // reopening the window does not offer them as if saved.
    if (warned) LoadEditor(editorScript_);
    WriteSettings();
    view_.UserButtonsChanged();
    view_.HideWindow();
    return true;
}

}  // namespace kivo
