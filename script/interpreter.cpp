#include "script/interpreter.h"

#include <chrono>
#include <thread>

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "script/scripthost.h"
#include "script/scriptvalues.h"
#include "script/tokenizer.h"

namespace kivo {

namespace {

std::string FolderText(const std::filesystem::path& folder) {
    std::string text = folder.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

bool HasValueSigil(std::string_view token) {
    return !token.empty() && (token[0] == '$' || token[0] == '#' || token[0] == '&');
}

// Clean-up that runs however the loop ends, an error included.
class RunEnd {
  public:
    RunEnd(bool& running, bool& abort, std::vector<TScriptMsgVar>& msgs, TScriptHost& host)
        : running_(running), abort_(abort), msgs_(msgs), host_(host) {}
    ~RunEnd() {
        host_.RunHidden();
        // The entry point owns "%message" at position 0; every other message is freed. The
        // names stay for the Debug table until the tables are reset.
        const bool keepFirst = !msgs_.empty() && EqualsNoCase(msgs_.front().name, "%message");
        for (std::size_t i = keepFirst ? 1 : 0; i < msgs_.size(); ++i) msgs_[i].message.reset();
        abort_ = false;
        running_ = false;
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

  private:
    bool& running_;
    bool& abort_;
    std::vector<TScriptMsgVar>& msgs_;
    TScriptHost& host_;
};

}  // namespace

TScriptInterpreter::TScriptInterpreter(TScriptPaths paths, Platform& platform, TScriptHost& host)
    : paths_(std::move(paths)), platform_(platform), host_(host) {}

void TScriptInterpreter::ResetTables() {
    vars_.clear();
    msgs_.clear();
    appendMode_ = false;
}

bool TScriptInterpreter::AbortPending() const {
    return abort_ || platform_.AbortRequested();
}

int TScriptInterpreter::FindVar(std::string_view name) const {
    for (std::size_t i = vars_.size(); i-- > 0;) {
        if (EqualsNoCase(vars_[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

int TScriptInterpreter::CreateVar(std::string_view name) {
    const int found = FindVar(name);
    if (found >= 0) return found;
    vars_.push_back({std::string(name), std::string()});
    return static_cast<int>(vars_.size() - 1);
}

void TScriptInterpreter::SetVar(std::string_view name, std::string value) {
    VarValue(CreateVar(name)) = std::move(value);
}

TmsMessage& TScriptInterpreter::CreateMsg(std::string_view name) {
    for (std::size_t i = msgs_.size(); i-- > 0;) {
        if (!EqualsNoCase(msgs_[i].name, name)) continue;
        if (!msgs_[i].message) msgs_[i].message = std::make_unique<TmsMessage>();
        return *msgs_[i].message;
    }
    msgs_.push_back({std::string(name), std::make_unique<TmsMessage>()});
    return *msgs_.back().message;
}

std::string TScriptInterpreter::GetValue(std::string_view token) const {
    if (token.empty()) return {};
    if (HasValueSigil(token)) {
        const int index = FindVar(token);
        if (index < 0) {
            throw ESyntaxError("Variable not previously declared: " + std::string(token));
        }
        return vars_[static_cast<std::size_t>(index)].value;
    }
    return ProcessString(token);
}

std::string TScriptInterpreter::EvalBool(std::string_view left, std::string_view op,
                                         std::string_view right) const {
    if (op.empty() || std::string_view("!<=>^").find(op[0]) == std::string_view::npos) {
        throw ESyntaxError("Malformed boolean expression, " + std::string(left) + std::string(op) +
                           std::string(right));
    }
    const std::string a = GetValue(left);
    const std::string b = GetValue(right);
    if (op[0] == '^') return BoolToStr(!TrimView(a).empty() && b.find(a) != std::string::npos);
    int x = 0;
    int y = 0;
    int order = 0;
    if (!left.starts_with("$$") && ReadScriptInt(a, x) && ReadScriptInt(b, y)) {
        order = x < y ? -1 : (x > y ? 1 : 0);
    } else {
        const int c = a.compare(b);  // byte codes, case-sensitive
        order = c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    switch (op[0]) {
        case '=':
            return BoolToStr(order == 0);
        case '!':
            return BoolToStr(order != 0);
        case '<':
            return BoolToStr(order < 0);
        default:
            return BoolToStr(order > 0);
    }
}

std::filesystem::path TScriptInterpreter::FilePath(std::string_view name) const {
    std::string text(name);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    const std::filesystem::path path(text);
    // An existing file of another letter case is the same file ("Out.mbx" is "out.mbx").
    return ResolveNoCase(path.is_absolute() ? path : paths_.mailFolder / path);
}

void TScriptInterpreter::Wait(int seconds) {
    if (seconds <= 0) return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!AbortPending() && std::chrono::steady_clock::now() < end) {
        platform_.Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TScriptInterpreter::JumpTo(std::string_view label) {
    const auto it = labels_.find(LowerCase(":" + std::string(label)));
    if (it != labels_.end()) line_ = it->second;
}

void TScriptInterpreter::EndRun() {
    line_ = lines_ ? lines_->size() : 0;
}

void TScriptInterpreter::StartRun(const std::vector<std::string>& lines) {
    lines_ = &lines;
    labels_.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].empty() && lines[i][0] == ':') labels_[LowerCase(lines[i])] = i;
    }
    vars_.push_back({"$mailpath", FolderText(paths_.mailFolder)});
    vars_.push_back({"$scriptpath", FolderText(paths_.scriptFolder)});
    vars_.push_back({"$apppath", FolderText(paths_.programFolder)});
    currentAccount_ = IniFile(paths_.settingsFile).ReadString("Mail", "DefaultAccount", "");
}

void TScriptInterpreter::ExecuteLine(const std::vector<std::string>& tokens) {
    const TScriptCommand command = FindScriptCommand(LowerCase(tokens.front()));
    if (command) command(*this, TScriptParams(tokens).subspan(1));
}

bool TScriptInterpreter::ParseScript(const std::vector<std::string>& lines,
                                     std::string_view scriptName) {
    if (running_) return false;
    running_ = true;
    abort_ = false;
    RunEnd end(running_, abort_, msgs_, host_);
    StartRun(lines);
    bool result = true;
    const int count = static_cast<int>(lines.size());
    host_.RunShown(scriptName, count);
    int executed = 0;
    for (line_ = 0; line_ < lines.size(); ++line_) {
        const std::vector<std::string> tokens = GetTokens(lines[line_]);
        if (tokens.empty()) continue;
        const std::size_t at = line_;
        try {
            ExecuteLine(tokens);
        } catch (const ESyntaxError& e) {
            throw ESyntaxError(e.what(), static_cast<int>(at) + 1);
        } catch (const std::exception& e) {
            // A platform failure inside a command (a file that cannot be written) ends the
            // run the same way, with the system's text.
            throw ESyntaxError(e.what(), static_cast<int>(at) + 1);
        }
        if (++executed % 10 == 0) host_.RunProgress(static_cast<int>(line_), count);
        platform_.Pump();
        if (AbortPending()) {
            line_ = lines.size();
            result = false;
        }
    }
    lines_ = nullptr;
    return result;
}

}  // namespace kivo
