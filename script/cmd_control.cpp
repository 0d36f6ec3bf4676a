// Set, If, Goto and Exit: assignment and control flow.

#include "base/bytes.h"
#include "script/commandhelp.h"
#include "script/scriptvalues.h"
#include "script/tokenizer.h"

namespace kivo {

namespace {

bool IsVariable(std::string_view token) {
    return !token.empty() && (token[0] == '$' || token[0] == '#' || token[0] == '&');
}

std::string CanonicalInt(std::string_view text) {
    int value = 0;
    if (!ReadScriptInt(text, value)) throw ESyntaxError("Non-integer assigned to integer variable");
    return std::to_string(value);
}

void Set(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, SIZE_MAX, "Set needs at least 2 parameters");
    const std::string& target = p[0];
    const char kind = target[0];
    if (kind != '&' && p.size() != 2) {
        throw ESyntaxError("Set needs 2 parameters for non-boolean operations (set $var $a)");
    }
    if (!IsVariable(target)) {
        throw ESyntaxError("First parameter for Set needs to be a variable ($var, #var or &var)");
    }
    const int index = s.CreateVar(target);
    if (kind == '&' && p.size() != 2) {
        if (p.size() != 4) {
            throw ESyntaxError("Set needs 4 parameters for boolean operations (set $var #a < #b)");
        }
        s.VarValue(index) = s.EvalBool(p[1], p[2], p[3]);
        return;
    }
    const std::string& source = p[1];
    std::string value;
    if (!IsVariable(source)) {
        value = kind == '#' ? CanonicalInt(source) : ProcessString(source);
    } else {
        const int from = s.FindVar(source);
        if (from < 0) throw ESyntaxError("Source variable not previously declared");
        value = s.VarValue(from);
        if (kind == '#') value = CanonicalInt(value);
    }
    s.VarValue(index) = std::move(value);
}

void If(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, SIZE_MAX, "If needs at least 3 parameters (If &var then $label)");
    if (p[0][0] == '&') {
        NeedParams(p, 3,
                   "If only needs 3 parameters when using boolean variable (If &var then $label)");
        const int index = s.FindVar(p[0]);
        if (index < 0) throw ESyntaxError("List index out of bounds (-1)");
        if (StrToBool(s.VarValue(index))) s.JumpTo(s.GetValue(p[2]));
        return;
    }
    NeedParams(p, 5,
               "If needs 5 parameters when using boolean expression (If #a < #b then $label)");
    if (!EqualsNoCase(p[3], "then")) {
        throw ESyntaxError("Missing \"then\" or malformed If statement (If #a < #b then $label)");
    }
    if (s.EvalBool(p[0], p[1], p[2]) == "1") s.JumpTo(s.GetValue(p[4]));
}

void Goto(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "GoTo needs 1 parameter");
    s.JumpTo(s.GetValue(p[0]));
}

void Exit(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 0, "Exit needs no parameters");
    s.EndRun();
}

constexpr TCommandEntry kCommands[] = {{"set", Set}, {"if", If}, {"goto", Goto}, {"exit", Exit}};

}  // namespace

std::span<const TCommandEntry> ControlCommands() {
    return kCommands;
}

}  // namespace kivo
