// The kivo executable of a build without windows: the headless commands only.
#include "app/cli/climain.h"

int main(int argc, char** argv) {
    return kivo::cli::Main(argc, argv, nullptr);
}
