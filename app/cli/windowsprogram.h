#pragma once
// The hand-over from `kivo` to its windows. The windows are a program of their own,
// kivo-windows beside kivo, so the headless commands (a cron check, a send) never load the
// GUI and web-engine libraries: they cost every start tens of megabytes of relocated memory.

#include <span>
#include <string>

#include "app/programfolder.h"

namespace kivo::cli {

// Replaces this process with kivo-windows from the folder of the running executable, with the
// same arguments, so it takes the same path to the windows; returns only when that fails,
// with status 1 and the reason on standard error. Fits `WindowsEntry`.
int StartWindowsProgram(const ProgramFolder& folder, int argc, char** argv,
                        std::span<const std::string> args);

}  // namespace kivo::cli
