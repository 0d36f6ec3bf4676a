// The kivo executable: the headless commands; with no command on a display (or "/m" there) it
// hands over to kivo-windows when the build has windows.
#include "app/cli/climain.h"
#include "app/cli/windowsprogram.h"

int main(int argc, char** argv) {
#ifdef KIVO_WITH_WINDOWS
    return kivo::cli::Main(argc, argv, &kivo::cli::StartWindowsProgram);
#else
    return kivo::cli::Main(argc, argv, nullptr);
#endif
}
