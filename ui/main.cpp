// The kivo executable: the headless commands, and the windows when it is started without a
// command on a display.
#include "app/cli/climain.h"
#include "ui/windows.h"

int main(int argc, char** argv) {
    return kivo::cli::Main(argc, argv, &kivo::ui::RunWindows);
}
