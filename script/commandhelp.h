#pragma once
// Small helpers every command handler uses: parameter counts, output variables with their
// sigil, and integer parameters with a fallback.

#include <string>
#include <string_view>

#include "script/interpreter.h"

namespace kivo {

// Throws ESyntaxError(message) unless min <= count <= max.
void NeedParams(TScriptParams params, std::size_t min, std::size_t max, const char* message);
inline void NeedParams(TScriptParams params, std::size_t count, const char* message) {
    NeedParams(params, count, count, message);
}
// Throws ESyntaxError(message) unless the token begins with the sigil.
void NeedSigil(std::string_view token, char sigil, const char* message);
// Checks the sigil, then creates the variable when needed; returns its position.
int OutputVar(TScriptInterpreter& script, std::string_view token, char sigil, const char* message);
// The token's value read as an integer; any failure, an undeclared variable included, gives
// the fallback.
int IntOr(const TScriptInterpreter& script, std::string_view token, int fallback);

// Registration of the command groups into one table (lower-case name -> handler).
struct TCommandEntry {
    std::string_view name;
    TScriptCommand run;
};
std::span<const TCommandEntry> ControlCommands();
std::span<const TCommandEntry> StringCommands();
std::span<const TCommandEntry> NumberCommands();
std::span<const TCommandEntry> FileCommands();
std::span<const TCommandEntry> SystemCommands();
std::span<const TCommandEntry> MessageCommands();
std::span<const TCommandEntry> SendCommands();
std::span<const TCommandEntry> AccountCommands();

}  // namespace kivo
