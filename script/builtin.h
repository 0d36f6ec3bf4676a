#pragma once
// The built-in scripts: a collection of sample scripts the program writes into the script
// folder when it creates that folder, and the filter template auto scripts are made from.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The whole collection; each script starts with its header line "{### " + name.
std::string_view BuiltInScripts();
// Writes every script of the collection as NAME.kiv into the folder, overwriting files of
// the same names; returns the names in order. Throws std::system_error.
std::vector<std::string> SaveBuiltIn(const std::filesystem::path& scriptFolder);
// The lines of the built-in "Filter Message" script after its header line.
std::vector<std::string> FilterMessageTemplate();

}  // namespace kivo
