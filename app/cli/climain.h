#pragma once
// The kivo executable's entry: the command line, the headless commands, and the hand-over to
// the windows. The executable that has windows passes their entry; without one (a build
// without Qt) `kivo` with no command prints its usage.

#include <span>
#include <string>

#include "app/programfolder.h"

namespace kivo::cli {

// Opens the windows on the program folder and runs them until the program ends; `args` is
// empty or the "/m" command of the start. Returns the process exit status.
using WindowsEntry = int (*)(const ProgramFolder& folder, int argc, char** argv,
                             std::span<const std::string> args);

int Main(int argc, char** argv, WindowsEntry windows);

}  // namespace kivo::cli
