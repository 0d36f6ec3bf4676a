#include "script/KivoParser.h"

#include <sys/stat.h>

#include <algorithm>

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "script/filterlists.h"
#include "script/prepmessage.h"
#include "script/scripthost.h"
#include "script/scriptvalues.h"
#include "store/KivoIndex.h"
#include "store/mailboxlock.h"
#include "store/mbxfile.h"
#include "store/msgops.h"
#include "store/storefeedback.h"

namespace kivo {

namespace {

// Clears the hint panel and the run's tables however the run ends.
class RunScope {
  public:
    RunScope(TScriptInterpreter& script, TScriptHost& host, std::string_view hint)
        : script_(script), host_(host) {
        host_.Hint(hint);
    }
    ~RunScope() {
        host_.Hint("");
        script_.ResetTables();
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

  private:
    TScriptInterpreter& script_;
    TScriptHost& host_;
};

// Deletes the messages of `numbers` from the window as the Delete command does without a
// Trash copy, keeping the other rows selected.
void DeleteNumbers(TFrmIndex& window, const std::vector<int>& numbers) {
    if (numbers.empty()) return;
    std::vector<int> keep;
    for (int n : window.SelectedNumbers()) {
        if (std::find(numbers.begin(), numbers.end(), n) == numbers.end()) keep.push_back(n);
    }
    window.ClearSelection();
    for (int n : numbers) {
        const int row = window.RowOfNumber(n);
        if (row >= 0) window.SetSelected(row, true);
    }
    DeleteSelected(window, /*toTrash=*/false, NoFeedback());
    window.ClearSelection();
    for (int n : keep) {
        const int row = window.RowOfNumber(n);
        if (row >= 0) window.SetSelected(row, true);
    }
}

// "Line 3: ..." -> "line 3: ...".
std::string LowerFirst(std::string text) {
    if (!text.empty()) text[0] = LowerChar(text[0]);
    return text;
}

}  // namespace

std::filesystem::path ScriptFile(const std::filesystem::path& scriptFolder, std::string_view name) {
    return FindFileNoCase(scriptFolder, std::string(name) + ".kiv");
}

std::vector<std::string> LoadScriptLines(const std::filesystem::path& file) {
    return ValueLines(ReadFileBytes(file));
}

// The deleted mark is a capital D; the other letters of a message from elsewhere stay.
void ClearDeleteMark(TmsMessage& message) {
    std::string status = message.Headers().GetFieldValue("Status");
    std::erase(status, 'D');
    message.Headers().RemoveField("Status");
    message.Headers().Add("Status: " + status);
}

bool HasDeleteRequest(const TmsMessage& message) {
    return message.Headers().GetFieldValue("Status").find('D') != std::string::npos;
}

std::vector<TDebugRow> DebugRows(const TScriptInterpreter& script) {
    std::vector<TDebugRow> rows;
    for (const TScriptVar& var : script.Variables()) rows.push_back({var.name, var.value});
    for (const TScriptMsgVar& msg : script.Messages()) rows.push_back({msg.name, "<mail message>"});
    return rows;
}

TFrmScripts::TFrmScripts(TScriptPaths paths, Platform& platform, TScriptHost& host)
    : script_(std::move(paths), platform, host) {}

void TFrmScripts::RunOnMessage(std::string_view scriptName, TmsMessage& message) {
    if (script_.Running()) return;
    const std::filesystem::path file = ScriptFile(Paths().scriptFolder, scriptName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return;
    const std::vector<std::string> lines = LoadScriptLines(file);
    RunScope scope(script_, script_.Host(),
                   "Press ESC to abort script " + std::string(scriptName) + "...");
    script_.ResetTables();
    script_.CreateMsg("%message") = message;
    script_.ParseScript(lines, scriptName);
    message = script_.CreateMsg("%message");
}

std::string ScriptErrorText(std::string_view scriptName, const ESyntaxError& error) {
    return "Script \"" + std::string(scriptName) + "\", " + LowerFirst(error.WithLine());
}

void TFrmScripts::RunList(const std::vector<std::string>& names, TmsMessage& message) {
    ClearDeleteMark(message);
    for (const std::string& name : names) {
        try {
            RunOnMessage(name, message);
        } catch (const ESyntaxError& e) {
            // The mail pipelines log the text: it names the script and the line.
            throw ESyntaxError(ScriptErrorText(name, e), e.Line());
        }
    }
}

const TFrmScripts::TLists& TFrmScripts::Lists() const {
    const std::filesystem::path& file = Paths().settingsFile;
    struct stat st {};
    const bool seen = ::stat(file.c_str(), &st) == 0;
    if (!seen || !lists_.read || st.st_mtim.tv_sec != lists_.seconds ||
        st.st_mtim.tv_nsec != lists_.nanoseconds || st.st_size != lists_.size) {
        const IniFile ini(file);
        lists_.incoming = ReadFilterList(ini, TFilterList::Incoming);
        lists_.outgoing = ReadFilterList(ini, TFilterList::Outgoing);
        // A file that cannot be looked at is read again every time.
        lists_.read = seen;
        lists_.seconds = st.st_mtim.tv_sec;
        lists_.nanoseconds = st.st_mtim.tv_nsec;
        lists_.size = st.st_size;
    }
    return lists_;
}

std::vector<std::string> TFrmScripts::IncomingList() const {
    return Lists().incoming;
}

std::vector<std::string> TFrmScripts::OutgoingList() const {
    return Lists().outgoing;
}

void TFrmScripts::RunIncoming(TmsMessage& message) {
    RunList(IncomingList(), message);
}

void TFrmScripts::RunOutgoing(TmsMessage& message) {
    RunList(OutgoingList(), message);
}

bool TFrmScripts::RunOnRaw(const std::vector<std::string>& lines, std::vector<std::string> raw,
                           std::string_view name, bool& goOn) {
    script_.ResetTables();
    PrepMessage(raw);
    TmsMessage& message = script_.CreateMsg("%message");
    message.LoadFromBytes(JoinValueLines(raw));
    ClearDeleteMark(message);
    goOn = script_.ParseScript(lines, name);
    return HasDeleteRequest(script_.CreateMsg("%message"));
}

void TFrmScripts::RunOnSelectedMessages(std::string_view scriptName, TFrmIndex& window) {
    if (script_.Running() || window.ItemCount() == 0) return;
    const std::filesystem::path file = ScriptFile(Paths().scriptFolder, scriptName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return;
    const std::vector<std::string> lines = LoadScriptLines(file);
    // An Esc pressed before the user started this run (closing a list, say) is no abort of it.
    script_.Plat().ClearAbortRequest();
    RunScope scope(script_, script_.Host(),
                   "Press ESC to abort " + std::string(scriptName) + "...");

    std::vector<int> deleted;
    TMessageReader reader(window.Files().Mbx);
    try {
        for (int number : window.SelectedNumbers()) {
            std::vector<std::string> raw;
            {
                // The lock is held only while the message is read: a script may append to
                // this very mailbox, which takes the lock itself.
                const TMailboxLock lock(window.Files());
                CheckIndexCurrent(window, lock.fd());
                try {
                    reader.Extract(number, raw);
                } catch (const EIndexInvalid&) {
                    raw.clear();
                }
            }
            bool goOn = true;
            if (RunOnRaw(lines, std::move(raw), scriptName, goOn)) deleted.push_back(number);
            if (!goOn) break;
        }
    } catch (...) {
        // The deletions asked for before the failure still happen.
        DeleteNumbers(window, deleted);
        throw;
    }
    DeleteNumbers(window, deleted);
}

TDryRunResult TFrmScripts::DryRun(const std::vector<std::string>& lines,
                                  std::string_view scriptName) {
    TDryRunResult result;
    if (script_.Running()) return result;
    script_.Plat().ClearAbortRequest();
    RunScope scope(script_, script_.Host(),
                   "Press ESC to abort script " + std::string(scriptName) + "...");
    script_.ResetTables();
    try {
        result.completed = script_.ParseScript(lines, scriptName);
    } catch (const ESyntaxError& e) {
        result.error = e.WithLine();
    }
    result.variables = DebugRows(script_);
    return result;
}

}  // namespace kivo
