#pragma once
// The filters and scripts window's core, TFrmScripts: it owns the one interpreter of the
// program and runs scripts on a received or sent message (the filter lists), on the messages
// selected in an index window, and as a dry run of editor text. It never draws; its screen
// is a TScriptHost and the Platform. A run in progress makes every entry point return at
// once.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "script/interpreter.h"
#include "transfer/filterlists.h"

namespace kivo {

class TFrmIndex;

// One row of the Debug table: a variable name and its value ("<mail message>" for messages).
struct TDebugRow {
    std::string name;
    std::string value;
};

struct TDryRunResult {
    bool completed = false;  // ParseScript's result
    std::string error;       // the error with its line, empty without one
    std::vector<TDebugRow> variables;
};

// The script file of a name in the script folder ("NAME.kiv", found without regard to case).
std::filesystem::path ScriptFile(const std::filesystem::path& scriptFolder, std::string_view name);
// Reads a script's lines; CR LF, CR and LF all end a line.
std::vector<std::string> LoadScriptLines(const std::filesystem::path& file);
// Removes every "d" and "D" from the message's "Status" value and puts the field last.
void ClearDeleteMark(TmsMessage& message);
// True when the message's "Status" value holds "d" or "D".
bool HasDeleteRequest(const TmsMessage& message);

class TFrmScripts : public TFilterLists {
  public:
    TFrmScripts(TScriptPaths paths, Platform& platform, TScriptHost& host);

    // Runs the script on a copy of the message and copies the result back when the run
    // ended without an error; an error leaves the message as it was and is thrown. Does
    // nothing when the script file is missing or a run is going on.
    void RunOnMessage(std::string_view scriptName, TmsMessage& message);
    // Runs the script once on each selected message of the window, each with a fresh run
    // state. Messages whose "Status" the script marked deleted are deleted from the mailbox
    // (deleted list and index), also those before a failing one; the mailbox file itself
    // never changes. Stops after an aborted run.
    void RunOnSelectedMessages(std::string_view scriptName, TFrmIndex& window);
    // Runs editor text without "%message" and reports the variables as the Debug table shows
    // them, also after an error.
    TDryRunResult DryRun(const std::vector<std::string>& lines, std::string_view scriptName);

    // The filter lists of kivo.ini's [Scripts] "Incoming" and "Outgoing".
    std::vector<std::string> IncomingList() const;
    std::vector<std::string> OutgoingList() const;
    // An error names its script and line: "Script \"Junk\", line 3: ...".
    void RunIncoming(TmsMessage& message) override;
    void RunOutgoing(TmsMessage& message) override;

    bool Running() const { return script_.Running(); }
    void RequestAbort() { script_.RequestAbort(); }
    const TScriptPaths& Paths() const { return script_.Paths(); }

  private:
    // kivo.ini's [Scripts] lists as last read; read again only when the file changed, as a
    // check asks for them once a message.
    struct TLists {
        bool read = false;
        long long seconds = 0, nanoseconds = 0, size = 0;  // of the file as read
        std::vector<std::string> incoming, outgoing;
    };
    const TLists& Lists() const;
    void RunList(const std::vector<std::string>& names, TmsMessage& message);
    // Runs the script on the message's raw lines; true when it asked for a deletion. False
    // in `go_on` after an aborted run.
    bool RunOnRaw(const std::vector<std::string>& lines, std::vector<std::string> raw,
                  std::string_view name, bool& goOn);

    TScriptInterpreter script_;
    mutable TLists lists_;
};

// A script error as the program reports it: "Script \"Junk\", line 3: ...".
std::string ScriptErrorText(std::string_view scriptName, const ESyntaxError& error);

// Debug rows of a run's tables: every variable in creation order, then every message.
std::vector<TDebugRow> DebugRows(const TScriptInterpreter& script);

}  // namespace kivo
