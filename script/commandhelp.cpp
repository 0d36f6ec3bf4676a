#include "script/commandhelp.h"

#include <unordered_map>

#include "script/scriptvalues.h"

namespace kivo {

void NeedParams(TScriptParams params, std::size_t min, std::size_t max, const char* message) {
    if (params.size() < min || params.size() > max) throw ESyntaxError(message);
}

void NeedSigil(std::string_view token, char sigil, const char* message) {
    if (token.empty() || token[0] != sigil) throw ESyntaxError(message);
}

int OutputVar(TScriptInterpreter& script, std::string_view token, char sigil, const char* message) {
    NeedSigil(token, sigil, message);
    return script.CreateVar(token);
}

int IntOr(const TScriptInterpreter& script, std::string_view token, int fallback) {
    try {
        int value = 0;
        return ReadScriptInt(script.GetValue(token), value) ? value : fallback;
    } catch (const ESyntaxError&) {
        return fallback;
    }
}

TScriptCommand FindScriptCommand(std::string_view lowerName) {
    // Built once, never changed: the command set is fixed.
    static const std::unordered_map<std::string_view, TScriptCommand> table = [] {
        std::unordered_map<std::string_view, TScriptCommand> map;
        for (auto group :
             {ControlCommands(), StringCommands(), NumberCommands(), FileCommands(),
              SystemCommands(), MessageCommands(), SendCommands(), AccountCommands()}) {
            for (const TCommandEntry& entry : group) map.emplace(entry.name, entry.run);
        }
        return map;
    }();
    const auto it = table.find(lowerName);
    return it == table.end() ? nullptr : it->second;
}

}  // namespace kivo
