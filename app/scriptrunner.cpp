#include "app/scriptrunner.h"

#include <stdexcept>

namespace kivo {

void TScriptButtonRunner::RunOnSelectedMessages(std::string_view scriptName) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(ScriptFile(scripts_.Paths().scriptFolder, scriptName),
                                          ec)) {
        throw std::runtime_error("Script \"" + std::string(scriptName) + "\" does not exist!");
    }
    try {
        scripts_.RunOnSelectedMessages(scriptName, index_);
    } catch (const ESyntaxError& e) {
        throw std::runtime_error(e.WithLine());
    }
}

}  // namespace kivo
