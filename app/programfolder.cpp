#include "app/programfolder.h"

#include <unistd.h>

#include <cstdlib>

namespace kivo {

namespace {
fs::path EnvPath(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? fs::path(value) : fs::path();
}
}  // namespace

ProgramFolder ProgramFolder::Locate(const std::optional<fs::path>& homeOption,
                                    const fs::path& executable) {
    if (homeOption && !homeOption->empty()) return {fs::absolute(*homeOption)};
    if (fs::path home = EnvPath("KIVO_HOME"); !home.empty()) return {fs::absolute(home)};
    std::error_code ec;
    fs::path exeDir = fs::canonical(executable, ec).parent_path();
    if (!ec && !exeDir.empty() && access(exeDir.c_str(), W_OK) == 0) return {exeDir};
    fs::path data = EnvPath("XDG_DATA_HOME");
    if (data.empty()) data = EnvPath("HOME") / ".local" / "share";
    return {data / "kivo"};
}

}  // namespace kivo
