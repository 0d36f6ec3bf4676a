// kivo script list, run, dry-run and filters: the filters and scripts window's work on the
// terminal. Script errors end the command with their text and line and exit status 1.

#include <algorithm>
#include <functional>
#include <ostream>

#include "app/cli/scriptcli.h"
#include "app/cli/storecli.h"
#include "app/terminalfeedback.h"
#include "base/bytes.h"
#include "base/inifile.h"
#include "base/terminaltext.h"
#include "net/mssmtp.h"
#include "script/KivoParser.h"
#include "script/builtin.h"
#include "script/filterlists.h"
#include "script/scriptswindow.h"
#include "script/scriptvalues.h"
#include "transfer/smtpsender.h"

namespace kivo::cli {

void TerminalScriptHost::EditMessage(const TmsMessage& message) {
    feedback_.ErrorLevel(1, "SCRIPT: EditMessage needs the windows; the message \"" +
                                message.Subject() + "\" was not opened in a composer");
}

namespace {

// The names of the scripts in the folder, sorted without regard to case.
std::vector<std::string> ScriptNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() > 4 && EqualsNoCase(file.substr(file.size() - 4), ".kiv")) {
            names.push_back(file.substr(0, file.size() - 4));
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return LowerCase(a) < LowerCase(b);
    });
    return names;
}

// The comment lines that follow a script's header line, joined with blanks.
std::string HeaderComment(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string line = Trim(lines[i]);
        if (!line.starts_with("{") || line.starts_with("{###")) break;
        std::string inner = line.substr(1);
        if (!inner.empty() && inner.back() == '}') inner.pop_back();
        if (!text.empty()) text += ' ';
        text += Trim(inner);
    }
    return text;
}

[[noreturn]] void ReportScriptError(const ESyntaxError& e) {
    throw std::runtime_error(e.WithLine());
}

}  // namespace

int ScriptListCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    const std::filesystem::path folder = ctx.folder.ScriptFolder();
    for (const std::string& name : ScriptNames(folder)) {
        ctx.out << FieldText(name) << '\t'
                << FieldText(HeaderComment(LoadScriptLines(ScriptFile(folder, name)))) << '\n';
    }
    return 0;
}

int ScriptFiltersCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    TScriptHost host;
    TFrmScripts scripts(ScriptPathsOf(ctx.folder), ctx.platform, host);
    ctx.out << "Incoming:";
    for (const std::string& name : scripts.IncomingList()) ctx.out << "\n\t" << name;
    ctx.out << "\nOutgoing:";
    for (const std::string& name : scripts.OutgoingList()) ctx.out << "\n\t" << name;
    ctx.out << '\n';
    return 0;
}

namespace {

TFilterList FilterListOf(const std::string& word) {
    if (EqualsNoCase(word, "incoming")) return TFilterList::Incoming;
    if (EqualsNoCase(word, "outgoing")) return TFilterList::Outgoing;
    throw UsageError("the list is incoming or outgoing, not '" + word + "'");
}

// The list's entries that name the script (names are matched without regard to case, as
// the script files are).
std::vector<std::string>::iterator FindEntry(std::vector<std::string>& list,
                                             std::string_view name) {
    return std::find_if(list.begin(), list.end(),
                        [&](const std::string& entry) { return EqualsNoCase(entry, name); });
}

// Reads one filter list, lets `change` edit it, writes it back in the program's quoting and
// prints it as kivo script filters does.
int ChangeFilterList(Context& ctx, const std::string& which,
                     const std::function<void(std::vector<std::string>&)>& change) {
    const TFilterList list = FilterListOf(which);
    IniFile ini(ctx.folder.SettingsFile());
    std::vector<std::string> names = ReadFilterList(ini, list);
    change(names);
    WriteFilterList(ini, list, names);
    ini.UpdateFile();
    ctx.out << FilterListKey(list) << ':';
    for (const std::string& name : names) ctx.out << "\n\t" << FieldText(name);
    ctx.out << '\n';
    return 0;
}

}  // namespace

int ScriptFiltersAddCommand(Context& ctx, Args args) {
    if (args.size() != 2) throw UsageError("needs incoming or outgoing and a script name");
    const std::filesystem::path file = ScriptFile(ctx.folder.ScriptFolder(), args[1]);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        throw std::runtime_error("no script " + args[1]);
    // The list names the script as its file does.
    const std::string name = file.stem().string();
    return ChangeFilterList(ctx, args[0], [&](std::vector<std::string>& names) {
        if (FindEntry(names, name) != names.end()) {
            throw std::runtime_error(name + " is on the " + FilterListKey(FilterListOf(args[0])) +
                                     " list already");
        }
        names.push_back(name);
    });
}

int ScriptFiltersRemoveCommand(Context& ctx, Args args) {
    if (args.size() != 2) throw UsageError("needs incoming or outgoing and a script name");
    return ChangeFilterList(ctx, args[0], [&](std::vector<std::string>& names) {
        const std::size_t before = names.size();
        std::erase_if(names,
                      [&](const std::string& entry) { return EqualsNoCase(entry, args[1]); });
        if (names.size() == before) {
            throw std::runtime_error(args[1] + " is not on the " +
                                     FilterListKey(FilterListOf(args[0])) + " list");
        }
    });
}

int ScriptFiltersMoveCommand(Context& ctx, Args args) {
    if (args.size() != 3)
        throw UsageError("needs incoming or outgoing, a script name and a position");
    return ChangeFilterList(ctx, args[0], [&](std::vector<std::string>& names) {
        const auto entry = FindEntry(names, args[1]);
        if (entry == names.end()) {
            throw std::runtime_error(args[1] + " is not on the " +
                                     FilterListKey(FilterListOf(args[0])) + " list");
        }
        int position = 0;
        if (!ParseInt(args[2], position) || position < 1 ||
            position > static_cast<int>(names.size())) {
            throw UsageError("the position is a number from 1 to " + std::to_string(names.size()) +
                             ", not '" + args[2] + "'");
        }
        std::string name = *entry;
        names.erase(entry);
        names.insert(names.begin() + (position - 1), std::move(name));
    });
}

int ScriptDryRunCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("needs one script file");
    const std::vector<std::string> lines = LoadScriptLines(args[0]);
    TTerminalFeedback feedback(ctx.platform, ctx.err, ctx.verbosity);
    TerminalScriptHost host(feedback, ctx.platform, ctx.folder.AccountsFile());
    TFrmScripts scripts(ScriptPathsOf(ctx.folder), ctx.platform, host);
    const TDryRunResult result =
        scripts.DryRun(lines, std::filesystem::path(args[0]).stem().string());
    // The Debug table: a value of several lines continues on lines of its own.
    const TDebugColumns table = DebugColumns(result.variables);
    for (std::size_t i = 0; i < table.names.size(); ++i) {
        ctx.out << table.names[i] << '\t' << table.values[i] << '\n';
    }
    if (!result.error.empty()) throw std::runtime_error(result.error);
    if (!result.completed) ctx.err << "kivo script dry-run: stopped before the end of the script\n";
    return result.completed ? 0 : 1;
}

int ScriptRunCommand(Context& ctx, Args args) {
    if (args.size() < 3) throw UsageError("needs a script, a mailbox and message numbers");
    const std::string name = args[0];
    std::error_code ec;
    if (!std::filesystem::is_regular_file(ScriptFile(ctx.folder.ScriptFolder(), name), ec)) {
        throw std::runtime_error("no script " + name);
    }
    StoreView view;
    TFrmMain main(ctx.folder, ctx.platform, view);
    OpenMailbox(main, args[1]);
    TFrmIndex& index = main.MainIndex();
    SelectNumbers(index, NumbersOf(std::span(args.Positional()).subspan(2)));
    TTerminalFeedback feedback(ctx.platform, ctx.err, ctx.verbosity);
    TerminalScriptHost host(feedback, ctx.platform, ctx.folder.AccountsFile());
    TFrmScripts scripts(ScriptPathsOf(ctx.folder), ctx.platform, host);
    try {
        scripts.RunOnSelectedMessages(name, index);
    } catch (const ESyntaxError& e) {
        SaveAfterCommand(ctx, main);
        ReportScriptError(e);
    }
    SaveAfterCommand(ctx, main);
    return 0;
}

int ScriptBuiltinCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    std::filesystem::create_directories(ctx.folder.ScriptFolder());
    for (const std::string& name : SaveBuiltIn(ctx.folder.ScriptFolder())) ctx.out << name << '\n';
    return 0;
}

}  // namespace kivo::cli
