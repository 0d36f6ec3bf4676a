// kivo-windows, which kivo starts with the same arguments when the windows are to open: the
// headless commands are here too, so it takes the same path to the windows kivo took.
#include "app/cli/climain.h"
#include "ui/windows.h"

int main(int argc, char** argv) {
    return kivo::cli::Main(argc, argv, &kivo::ui::RunWindows);
}
