#include "app/cli/windowsprogram.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

namespace kivo::cli {

int StartWindowsProgram(const ProgramFolder&, int argc, char** argv,
                        std::span<const std::string>) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    const std::filesystem::path program =
        (ec ? std::filesystem::path(argv[0]).parent_path() : self.parent_path()) / "kivo-windows";
    const std::string programText = program.string();
    std::vector<char*> arguments;
    arguments.push_back(const_cast<char*>(programText.c_str()));
    for (int i = 1; i < argc; ++i) arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    ::execv(programText.c_str(), arguments.data());
    const int error = errno;
    std::cerr << "kivo: cannot start the windows (" << programText << "): " << std::strerror(error)
              << '\n';
    return 1;
}

}  // namespace kivo::cli
