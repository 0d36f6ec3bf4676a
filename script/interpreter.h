#pragma once
// The KivoScript interpreter: runs a script's lines one statement at a time, holding the run
// state (variables, message variables, append mode, current account, abort request). A line
// is tokenised only when control reaches it; the first error ends the run with an
// ESyntaxError carrying the line. It never touches a mailbox itself except through the
// commands, and never keeps anything from one run to the next.

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mail/msmsg.h"
#include "script/scripterror.h"

namespace kivo {

class Platform;
class TScriptHost;

// The folders and files a run works with.
struct TScriptPaths {
    std::filesystem::path programFolder;
    std::filesystem::path mailFolder;
    std::filesystem::path scriptFolder;
    std::filesystem::path signatureFolder;
    std::filesystem::path settingsFile;  // kivo.ini
    std::filesystem::path accountsFile;  // accounts.ini
};

struct TScriptVar {
    std::string name;  // with its sigil
    std::string value;
};

struct TScriptMsgVar {
    std::string name;
    std::unique_ptr<TmsMessage> message;  // null once the run that made it has ended
};

using TScriptParams = std::span<const std::string>;

class TScriptInterpreter {
  public:
    TScriptInterpreter(TScriptPaths paths, Platform& platform, TScriptHost& host);

    // --- entry support ---
    // Empties the variable and message tables and clears append mode.
    void ResetTables();
    // Runs the lines; true when the run reached its end or "Exit", false when it was aborted
    // or another run is going on. A script error leaves as ESyntaxError with its line, after
    // the clean-up.
    bool ParseScript(const std::vector<std::string>& lines, std::string_view scriptName = {});
    bool Running() const { return running_; }
    // Ends the run after the current line (Cancel, a cancelled InputBox, program exit).
    void RequestAbort() { abort_ = true; }
    bool AbortPending() const;

    // --- variables ---
    int FindVar(std::string_view name) const;
    int CreateVar(std::string_view name);
    std::string& VarValue(int index) { return vars_.at(static_cast<std::size_t>(index)).value; }
    // Creates the variable when needed and writes it.
    void SetVar(std::string_view name, std::string value);
    TmsMessage& CreateMsg(std::string_view name);
    const std::vector<TScriptVar>& Variables() const { return vars_; }
    const std::vector<TScriptMsgVar>& Messages() const { return msgs_; }

    // --- what commands use ---
    std::string GetValue(std::string_view token) const;
    std::string EvalBool(std::string_view left, std::string_view op, std::string_view right) const;
    // A file name of a command: relative names mean files in the mail folder.
    std::filesystem::path FilePath(std::string_view name) const;
    const TScriptPaths& Paths() const { return paths_; }
    Platform& Plat() { return platform_; }
    TScriptHost& Host() { return host_; }
    bool AppendMode() const { return appendMode_; }
    void SetAppendMode(bool on) { appendMode_ = on; }
    const std::string& CurrentAccount() const { return currentAccount_; }
    void SetCurrentAccount(std::string name) { currentAccount_ = std::move(name); }
    // Pauses the run, letting events run, until `seconds` passed or an abort was requested.
    void Wait(int seconds);
    // "Goto" and a true "If": continue after the last line ":label" (any letter case).
    void JumpTo(std::string_view label);
    // "Exit": no further line runs.
    void EndRun();

  private:
    void ExecuteLine(const std::vector<std::string>& tokens);
    void StartRun(const std::vector<std::string>& lines);

    TScriptPaths paths_;
    Platform& platform_;
    TScriptHost& host_;

    std::vector<TScriptVar> vars_;
    std::vector<TScriptMsgVar> msgs_;
    bool appendMode_ = false;
    std::string currentAccount_;
    bool abort_ = false;
    bool running_ = false;

    // The run's lines and where control is.
    const std::vector<std::string>* lines_ = nullptr;
    std::size_t line_ = 0;
    std::unordered_map<std::string, std::size_t> labels_;  // lower-case line -> last index
};

// Command handlers: one function per command, found by the lower-case command name.
using TScriptCommand = void (*)(TScriptInterpreter&, TScriptParams);
// Null when the word is no command.
TScriptCommand FindScriptCommand(std::string_view lowerName);

}  // namespace kivo
