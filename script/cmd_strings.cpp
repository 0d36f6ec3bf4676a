// The variable and string commands: External, InputBox, AddStrings ... ExtractEmail.

#include "base/bytes.h"
#include "base/platform.h"
#include "script/commandhelp.h"
#include "script/scriptvalues.h"
#include "store/mailaddress.h"

namespace kivo {

namespace {

void External(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, 3, "External needs at least 2, and at most 3 parameters.");
    const int index =
        OutputVar(s, p[0], '$', "First parameter for External has to be a string variable ($var)");
    s.VarValue(index) = p.size() == 3 ? s.GetValue(p[2]) : std::string();
}

void InputBox(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, 3, "InputBox needs at least 2, and at most 3 parameters.");
    const int index =
        OutputVar(s, p[0], '$', "First parameter for InputBox has to be a string variable ($var)");
    const std::string desc = s.GetValue(p[1]);
    std::string value = p.size() == 3 ? s.GetValue(p[2]) : std::string();
    // The prompt says who asks: a script, not the program itself.
    const std::string prompt = desc +
                               "\n(This question comes from a running script, not from Kivo "
                               "itself; do not give sensitive information to a script you do "
                               "not trust.)";
    if (s.Plat().InputText("Script running requires input...", prompt, value)) {
        s.VarValue(index) = value;
    } else {
        s.RequestAbort();
    }
}

void AddStrings(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, SIZE_MAX, "AddStrings needs at least 2 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for AddStrings has to be a string variable ($var)");
    std::string text = s.VarValue(index);
    for (std::size_t i = 1; i < p.size(); ++i) text += s.GetValue(p[i]);
    s.VarValue(index) = std::move(text);
}

void SubStrings(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "SubStrings needs 2 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for SubStrings has to be a string variable ($var)");
    const std::string part = s.GetValue(p[1]);
    std::string& text = s.VarValue(index);
    const std::size_t at = part.empty() ? std::string::npos : text.find(part);
    if (at != std::string::npos) text.erase(at, part.size());
}

void Lowercase(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "Lowercase needs 1 parameter");
    std::string& text = s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for Lowercase has to be a string variable ($var)"));
    text = LowerCase(text);
}

void Uppercase(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "Uppercase needs 1 parameter");
    std::string& text = s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for Uppercase has to be a string variable ($var)"));
    text = UpperCase(text);
}

void TrimCmd(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "Trim needs 1 parameter");
    std::string& text = s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for Trim has to be a string variable ($var)"));
    text = Trim(text);
}

void InsertString(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "InsertString needs 3 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for InsertString has to be a string variable ($var)");
    const int length = static_cast<int>(s.VarValue(index).size());
    const int pos = IntOr(s, p[1], length);
    const std::string part = s.GetValue(p[2]);
    std::string& text = s.VarValue(index);
    const std::size_t at = pos < 1 ? 0 : std::min<std::size_t>(pos - 1, text.size());
    text.insert(at, part);
}

void InsertLine(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "InsertLine needs 3 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for InsertLine has to be a string variable ($var)");
    const int pos = IntOr(s, p[1], -1);
    std::string line = s.GetValue(p[2]);
    std::vector<std::string> lines = ValueLines(s.VarValue(index));
    if (pos >= 0 && pos < static_cast<int>(lines.size())) {
        lines.insert(lines.begin() + pos, std::move(line));
    } else {
        lines.push_back(std::move(line));
    }
    s.VarValue(index) = JoinValueLines(lines);
}

void StringPos(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "StringPos needs 3 parameters");
    const int index = OutputVar(
        s, p[0], '#', "First parameter for StringPos has to be an integer variable (#var)");
    const std::string text = s.GetValue(p[2]);
    const std::string part = s.GetValue(p[1]);
    const std::size_t at = part.empty() ? std::string::npos : text.find(part);
    s.VarValue(index) = std::to_string(at == std::string::npos ? 0 : at + 1);
}

void GetLine(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "LinePos needs 3 parameters");
    const int index =
        OutputVar(s, p[0], '$', "First parameter for LinePos has to be a string variable ($var)");
    const int pos = IntOr(s, p[1], -1);
    const std::vector<std::string> lines = ValueLines(s.GetValue(p[2]));
    s.VarValue(index) =
        pos >= 0 && pos < static_cast<int>(lines.size()) ? lines[pos] : std::string();
}

void ChopString(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "ChopString needs 3 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for ChopString has to be a string variable ($var)");
    const int length = static_cast<int>(s.VarValue(index).size());
    const int pos = IntOr(s, p[1], length);
    const int count = IntOr(s, p[2], 0);
    if (count < 1 || pos < 1 || pos > length) return;
    s.VarValue(index).erase(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(count));
}

void AppendBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "AppendBody needs 2 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for AppendBody has to be a string variable ($var)");
    s.VarValue(index) += JoinValueLines(ValueLines(s.GetValue(p[1])));
}

void QuoteBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, 2, "QuoteBody needs 1 or 2 parameters");
    const int index =
        OutputVar(s, p[0], '$', "First parameter for QuoteBody has to be a string variable ($var)");
    const std::string quote = p.size() == 2 ? s.GetValue(p[1]) : ">";
    std::vector<std::string> lines = ValueLines(s.VarValue(index));
    for (std::string& line : lines) line.insert(0, quote);
    s.VarValue(index) = JoinValueLines(lines);
}

void UnquoteBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, 2, "UnquoteBody needs 1 or 2 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for UnquoteBody has to be a string variable ($var)");
    const std::string quote = p.size() == 2 ? s.GetValue(p[1]) : ">";
    std::vector<std::string> lines = ValueLines(s.VarValue(index));
    for (std::string& line : lines) {
        if (!line.empty() && line.starts_with(quote)) line.erase(0, quote.size());
    }
    s.VarValue(index) = JoinValueLines(lines);
}

void ExtractNameCmd(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ExtractName needs 1 parameter");
    std::string& text = s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for ExtractName has to be a string variable ($var)"));
    text = ExtractName(text);
}

void ExtractEmail(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ExtractEmail needs 1 parameter");
    std::string& text = s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for ExtractEmail has to be a string variable ($var)"));
    text = ExtractAddress(text);
}

constexpr TCommandEntry kCommands[] = {
    {"external", External},
    {"inputbox", InputBox},
    {"addstrings", AddStrings},
    {"substrings", SubStrings},
    {"lowercase", Lowercase},
    {"uppercase", Uppercase},
    {"trim", TrimCmd},
    {"insertstring", InsertString},
    {"insertline", InsertLine},
    {"stringpos", StringPos},
    {"getline", GetLine},
    {"chopstring", ChopString},
    {"appendbody", AppendBody},
    {"quotebody", QuoteBody},
    {"unquotebody", UnquoteBody},
    {"extractname", ExtractNameCmd},
    {"extractemail", ExtractEmail},
};

}  // namespace

std::span<const TCommandEntry> StringCommands() {
    return kCommands;
}

}  // namespace kivo
