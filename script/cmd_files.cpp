// The file commands: AppendToFile, OpenBody, SaveBody, DeleteFile, FileExists. Relative
// names mean files in the mail folder.

#include <filesystem>

#include "base/files.h"
#include "script/commandhelp.h"
#include "script/scriptvalues.h"

namespace kivo {

namespace {

void AppendToFileCmd(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1,
               "AppendToFile only needs one boolean parameter (AppendToFile &var/true/false)");
    s.SetAppendMode(StrToBool(s.GetValue(p[0])));
}

void OpenBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "OpenBody needs 2 parameters");
    const int index =
        OutputVar(s, p[0], '$', "First parameter for OpenBody has to be a string variable ($var)");
    const std::filesystem::path path = s.FilePath(s.GetValue(p[1]));
    std::error_code ec;
    s.VarValue(index) = std::filesystem::exists(path, ec)
                            ? JoinValueLines(ValueLines(ReadFileBytes(path)))
                            : std::string();
}

void SaveBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "SaveBody needs 2 parameters");
    NeedSigil(p[0], '$', "First parameter for SaveBody has to be a string variable ($var)");
    const int index = s.FindVar(p[0]);
    if (index < 0) throw ESyntaxError("Destination variable not previously declared");
    const std::filesystem::path path = s.FilePath(s.GetValue(p[1]));
    const std::string text = JoinValueLines(ValueLines(s.VarValue(index)));
    if (!s.AppendMode()) {
        WriteFileAtomic(path, text);
    } else if (!text.empty()) {
        AppendLocked(path, text);
    }
}

void DeleteFileCmd(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "DeleteFile only needs one string parameter ($var)");
    std::error_code ec;
    std::filesystem::remove(s.FilePath(s.GetValue(p[0])), ec);
}

void FileExists(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "FileExists needs 2 parameters");
    const int index = OutputVar(
        s, p[0], '&', "First parameter for FileExists has to be a boolean variable (&var)");
    std::error_code ec;
    s.VarValue(index) = BoolToStr(std::filesystem::exists(s.FilePath(s.GetValue(p[1])), ec));
}

constexpr TCommandEntry kCommands[] = {
    {"appendtofile", AppendToFileCmd}, {"openbody", OpenBody},     {"savebody", SaveBody},
    {"deletefile", DeleteFileCmd},     {"fileexists", FileExists},
};

}  // namespace

std::span<const TCommandEntry> FileCommands() {
    return kCommands;
}

}  // namespace kivo
