// The system commands: Execute, ExecuteAndWait, MessageBox, Beep, PlaySound, Wait and
// RefreshMailboxes.

#include <filesystem>

#include "base/bytes.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "script/commandhelp.h"
#include "script/process.h"
#include "script/scripthost.h"
#include "script/scriptvalues.h"

namespace kivo {

namespace {

void Execute(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, 2, "Execute needs one or two string parameters ($var)");
    const std::string file = s.GetValue(p[0]);
    const std::string params = p.size() == 2 ? s.GetValue(p[1]) : std::string();
    // A program starts with its arguments; documents, folders and URLs go to the desktop's
    // handler. A failure to start is not reported.
    std::error_code ec;
    if (IsProgram(file)) {
        StartDetached(ProgramArgs(file, params));
    } else if (!file.empty() && std::filesystem::exists(s.FilePath(file), ec)) {
        s.Plat().ShellOpen(s.FilePath(file).string());  // a file of the mail folder
    } else {
        s.Plat().ShellOpen(file);
    }
}

void ExecuteAndWait(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, 2, "ExecuteAndWait needs one or two string parameters ($var)");
    const std::string file = s.GetValue(p[0]);
    const std::string params = p.size() == 2 ? s.GetValue(p[1]) : std::string();
    // The abort request ends the wait (the program keeps running), so a script can never
    // hang the program on a program that does not end.
    StartAndWait(ProgramArgs(file, params), [&s] {
        s.Plat().Pump();
        return !s.AbortPending();
    });
}

void MessageBox(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "MessageBox needs only one string parameter ($var)");
    const std::string text = s.GetValue(p[0]);
    s.Host().Beep();
    s.Plat().ShowMessage(text);
}

void Beep(TScriptInterpreter& s, TScriptParams) {
    s.Host().Beep();
}

void PlaySound(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "PlaySound needs only one string parameter ($var)");
    const std::string sound = s.GetValue(p[0]);
    std::string file;
    if (EqualsNoCase(sound, "system")) {
        s.Plat().PlaySound("");
        return;
    }
    if (EqualsNoCase(sound, "user")) {
        file = IniFile(s.Paths().settingsFile).ReadString("Program", "SoundFile", "");
    } else {
        file = s.FilePath(sound).string();
    }
    std::error_code ec;
    if (!file.empty() && std::filesystem::is_regular_file(file, ec)) s.Plat().PlaySound(file);
}

void Wait(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "Wait only needs one integer parameter (#var)");
    int seconds = -1;
    if (!ReadScriptInt(s.GetValue(p[0]), seconds)) seconds = -1;
    // The pause is counted in milliseconds as a 32-bit number.
    if (seconds > 2147483) throw ESyntaxError("Arithmetic overflow");
    s.Wait(seconds);
}

void RefreshMailboxes(TScriptInterpreter& s, TScriptParams) {
    s.Host().RefreshMailboxes();
}

constexpr TCommandEntry kCommands[] = {
    {"execute", Execute},
    {"executeandwait", ExecuteAndWait},
    {"messagebox", MessageBox},
    {"beep", Beep},
    {"playsound", PlaySound},
    {"wait", Wait},
    {"refreshmailboxes", RefreshMailboxes},
};

}  // namespace

std::span<const TCommandEntry> SystemCommands() {
    return kCommands;
}

}  // namespace kivo
