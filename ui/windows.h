#pragma once
// The program with its windows: the application object, single instance, the main window.

#include <span>
#include <string>

#include "app/programfolder.h"

namespace kivo::ui {

// Runs Kivo's windows on the program folder until the main window closes. `args` is the
// start's "/m" command or empty. A second start on the same folder hands its command over
// and ends.
int RunWindows(const ProgramFolder& folder, int argc, char** argv,
               std::span<const std::string> args);

// Registrations every start with windows makes before the application object exists.
void PrepareApplication();

}  // namespace kivo::ui
