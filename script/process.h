#pragma once
// Starting programs for the script commands Execute and ExecuteAndWait: directly with
// posix_spawnp, never through a shell, so no text of a script is ever interpreted by one.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The program and its arguments: `params` split at blanks.
std::vector<std::string> ProgramArgs(std::string_view file, std::string_view params);
// True when `file` names a program: a path to an executable file, or a name found in PATH.
bool IsProgram(std::string_view file);
// Starts the program in a session of its own ("setsid -f") and returns without waiting for
// it; false when it could not be started.
bool StartDetached(const std::vector<std::string>& argv);
// Starts the program and waits for its end, calling `keepWaiting` between short sleeps;
// stops waiting (the program keeps running) once it returns false. False when the start
// failed.
bool StartAndWait(const std::vector<std::string>& argv, const std::function<bool()>& keepWaiting);

}  // namespace kivo
